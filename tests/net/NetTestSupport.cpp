#include "NetTestSupport.h"

#include "TestSupport.h"
#include "app/Messages.h"

#include <algorithm>

namespace nettest {

int Recorder::Callback(void* user, int32_t kind, int32_t event, int32_t result, intptr_t extra) {
    Recorder* self = static_cast<Recorder*>(user);
    Event e = {kind,           event,         result, event == DL_EVENT_PROGRESS ? extra : 0,
               std::wstring(), GetTickCount()};
    if (event == DL_EVENT_END && extra) {
        const DownloadRequest* request = reinterpret_cast<const DownloadRequest*>(extra);
        e.target = request->strTargetPath;
        if (self->onEnd)
            self->onEnd(kind, result, request);
    }
    std::lock_guard<std::mutex> guard(self->m_lock);
    self->m_events.push_back(e);
    if (event == DL_EVENT_END)
        ++self->m_ends;
    self->m_changed.notify_all();
    return 0;
}

bool Recorder::WaitForEnds(size_t count, DWORD timeoutMs) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_ends >= count; });
}

std::vector<Event> Recorder::Events() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_events;
}

std::vector<Event> Recorder::EventsOf(int32_t kind) const {
    std::vector<Event> out;
    for (const Event& e : Events())
        if (e.kind == kind)
            out.push_back(e);
    return out;
}

size_t Recorder::Count(int32_t kind, int32_t event) const {
    size_t n = 0;
    for (const Event& e : Events())
        n += e.kind == kind && e.event == event;
    return n;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(50, timeoutMs - spent),
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

namespace {

struct TextSearch {
    std::wstring text;
};

BOOL CALLBACK FindStaticText(HWND child, LPARAM param) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") != 0)
        return TRUE;
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    if (!text[0])
        return TRUE; // the icon
    reinterpret_cast<TextSearch*>(param)->text = text;
    return FALSE;
}

} // namespace

DialogAnswerer::DialogAnswerer(const wchar_t* caption, Dismiss how)
    : m_caption(caption), m_how(how), m_thread([this] { Watch(); }) {}

DialogAnswerer::~DialogAnswerer() {
    m_stop = true;
    m_thread.join();
}

std::wstring DialogAnswerer::Text() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_text;
}

HWND DialogAnswerer::Owner() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_owner;
}

void DialogAnswerer::Watch() {
    HWND answered = nullptr;
    while (!m_stop) {
        HWND dialog = FindWindowW(L"#32770", m_caption.c_str());
        if (dialog && dialog != answered && IsWindowVisible(dialog)) {
            TextSearch search;
            EnumChildWindows(dialog, &FindStaticText, reinterpret_cast<LPARAM>(&search));
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_text = search.text;
                m_owner = GetWindow(dialog, GW_OWNER);
            }
            ++m_seen;
            answered = dialog;
            const HWND button = GetDlgItem(dialog, IDOK);
            switch (m_how) {
            case Dismiss::Button:
                PostMessageW(button, BM_CLICK, 0, 0);
                break;
            case Dismiss::Escape:
                PostMessageW(button ? button : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageW(button ? button : dialog, WM_KEYUP, VK_ESCAPE, 0xC0000001);
                break;
            case Dismiss::Close:
                PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            }
        }
        if (answered && !IsWindow(answered))
            answered = nullptr;
        Sleep(20);
    }
}

std::wstring WaitForStubRecord(const std::wstring& path, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        if (test::FileExists(path)) {
            const std::string bytes = test::ReadFileBytes(path);
            return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                                bytes.size() / sizeof(wchar_t));
        }
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return std::wstring();
}

} // namespace nettest

namespace {

// Without a window manager, Wine waits up to 2 s each time a window it treats as managed (the
// message box, its owner) is hidden, waiting for a state change only a window manager would
// make. This test executable asks Wine not to hand its windows to a window manager at all; the
// X11 driver reads the setting when it loads, on the first window, after this has run.
struct UnmanagedWindows {
    UnmanagedWindows() {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        const wchar_t* name = wcsrchr(path, L'\\');
        const std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") +
                                 (name ? name + 1 : path) + L"\\X11 Driver";
        HKEY hkey = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &hkey, nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExW(hkey, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                       2 * sizeof(wchar_t));
        RegCloseKey(hkey);
    }
} g_unmanagedWindows;

} // namespace

namespace nettest {

namespace {
const wchar_t kLoginClass[] = L"VelmoraNetTestLogin";
}

LoginWindow::LoginWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &LoginWindow::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kLoginClass;
    RegisterClassW(&wc); // fails harmlessly once registered
    m_hwnd = CreateWindowExW(0, kLoginClass, L"login", WS_POPUP, 10, 10, 300, 200, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(m_hwnd, SW_SHOWNA);
}

LoginWindow::~LoginWindow() { DestroyWindow(m_hwnd); }

void LoginWindow::Drain(DWORD ms) const {
    PumpUntil([] { return false; }, ms);
}

LRESULT CALLBACK LoginWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE_CLIENT) {
        if (auto* self = reinterpret_cast<LoginWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            ++self->m_closes;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool DeleteWhenFree(const std::wstring& path) {
    for (int i = 0; i < 100; ++i) {
        if (!test::FileExists(path) || DeleteFileW(path.c_str()))
            return true;
        Sleep(50);
    }
    return false;
}

} // namespace nettest
