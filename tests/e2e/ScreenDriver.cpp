#include "ScreenDriver.h"

#include <objidl.h> // GDI+ needs it and the lean Windows header leaves it out
#include <gdiplus.h>
#include <tlhelp32.h>

#include <fstream>
#include <memory>

namespace e2e {

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return done();
        Sleep(50);
    }
}

ClientProcess::~ClientProcess() {
    if (!m_pi.hProcess)
        return;
    if (WaitForSingleObject(m_pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(m_pi.hProcess, 99);
    WaitForSingleObject(m_pi.hProcess, 5000);
    CloseHandle(m_pi.hProcess);
    CloseHandle(m_pi.hThread);
}

bool ClientProcess::Start(const std::wstring& exe, const std::wstring& arguments,
                          const std::wstring& environment, const std::wstring& folder) {
    std::vector<wchar_t> block;
    if (!environment.empty()) {
        wchar_t* current = GetEnvironmentStringsW();
        for (const wchar_t* p = current; *p; p += wcslen(p) + 1)
            block.insert(block.end(), p, p + wcslen(p) + 1);
        FreeEnvironmentStringsW(current);
        for (wchar_t c : environment)
            block.push_back(c == L'\n' ? L'\0' : c);
        block.push_back(L'\0');
        block.push_back(L'\0');
    }
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          block.empty() ? nullptr : block.data(),
                          folder.empty() ? nullptr : folder.c_str(), &si, &m_pi) != FALSE;
}

bool ClientProcess::Running() const {
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD ClientProcess::WaitExit(DWORD timeoutMs) {
    if (!m_pi.hProcess || WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return 0xFFFFFFFF;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

namespace {

struct WindowSearch {
    DWORD pid;
    const wchar_t* className;
    bool includeHidden;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<WindowSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid)
        return TRUE;
    if (!s->includeHidden && !IsWindowVisible(hwnd))
        return TRUE;
    if (s->className && *s->className && ClassName(hwnd) != s->className)
        return TRUE;
    s->found.push_back(hwnd);
    return TRUE;
}

struct ChildSearch {
    HWND parent;
    const wchar_t* part;
    HWND found;
};

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (GetParent(hwnd) != s->parent)
        return TRUE;
    if (ClassName(hwnd).find(s->part) == std::wstring::npos)
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

BOOL CALLBACK CollectStaticText(HWND hwnd, LPARAM lp) {
    auto* text = reinterpret_cast<std::wstring*>(lp);
    std::wstring cls = ClassName(hwnd);
    for (wchar_t& c : cls)
        c = static_cast<wchar_t>(towlower(c));
    if (cls == L"static") {
        const std::wstring t = WindowText(hwnd);
        if (!t.empty()) {
            if (!text->empty())
                text->push_back(L'\n');
            *text += t;
        }
    }
    return TRUE;
}

} // namespace

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* className, bool includeHidden) {
    WindowSearch s{pid, className, includeHidden, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

RECT WindowRect(HWND hwnd) {
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

RECT ChildRect(HWND child) {
    RECT rc = WindowRect(child);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[512] = {};
    // WM_GETTEXT by message: works across processes for any window.
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return buffer;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buffer[128] = {};
    GetClassNameW(hwnd, buffer, 128);
    return buffer;
}

HWND FindChild(HWND parent, const wchar_t* part) {
    ChildSearch s{parent, part, nullptr};
    EnumChildWindows(parent, &FindChildProc, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindMessageBox(DWORD pid) {
    const std::vector<HWND> boxes = TopWindows(pid, L"#32770");
    return boxes.empty() ? nullptr : boxes.front();
}

std::wstring MessageBoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(box, &CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void AnswerMessageBox(HWND box, int buttonId) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
}

std::wstring WaitAndAnswerMessageBox(DWORD pid, int buttonId, DWORD timeoutMs) {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindMessageBox(pid)) != nullptr; }, timeoutMs))
        return std::wstring();
    // The text is set while the box is built: wait until it is there.
    std::wstring text;
    WaitUntil([&] { return !(text = MessageBoxText(box)).empty(); }, 5000);
    AnswerMessageBox(box, buttonId);
    WaitUntil([&] { return !IsWindow(box); }, 5000);
    return text;
}

void Click(HWND hwnd, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

void DoubleClick(HWND hwnd, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

namespace {

bool PngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0)
        return false;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

} // namespace

bool SaveScreenPng(const RECT& rc, const std::wstring& path) {
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool saved = false;
    {
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY | CAPTUREBLT);
        SelectObject(memory, old);
        {
            Gdiplus::Bitmap image(bitmap, nullptr);
            CLSID png;
            if (PngEncoder(&png))
                saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
        }
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string all;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        all.append(buffer, got);
    CloseHandle(file);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        std::string line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool ProcessRunning(const wchar_t* imageName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry))
        found = lstrcmpiW(entry.szExeFile, imageName) == 0;
    CloseHandle(snapshot);
    return found;
}

} // namespace e2e
