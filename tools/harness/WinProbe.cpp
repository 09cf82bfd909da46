// winprobe: looks at and drives the windows of a Wine session for the end-to-end harness.
// Every command prints one JSON value (ASCII, non-ASCII text as \u escapes) and exits 0, or
// prints {"error": "..."} and exits 1.
//
//   winprobe windows [all]           top-level windows (visible ones unless "all"), children
//   winprobe dialogs                 dialog boxes (#32770) with their texts and buttons
//   winprobe press HWND ID           clicks the dialog button with control id ID
//   winprobe click HWND X Y [right]  posts a button press and release at client point (X, Y)
//   winprobe mouse X Y [right]       real input: moves the cursor to screen (X, Y) and clicks
//   winprobe close HWND              posts WM_CLOSE
//   winprobe post HWND MSG WPARAM LPARAM    queued (passes the client's message filter)
//   winprobe send HWND MSG WPARAM LPARAM    sent without waiting (SendNotifyMessage)
//   winprobe screenshot FILE.bmp     the whole screen as a 24-bit BMP
//   winprobe kill PID                terminates a process
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

std::string g_out;

void Emit(const std::string& text) {
    g_out += text;
}

std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", unsigned(c));
            out += escape;
        }
    }
    return out + "\"";
}

std::string Number(long long value) {
    return std::to_string(value);
}

std::string Rect(const RECT& r) {
    return "[" + Number(r.left) + "," + Number(r.top) + "," + Number(r.right) + "," +
           Number(r.bottom) + "]";
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[32768] = {};
    GetWindowTextW(hwnd, buffer, 32767);
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetClassNameW(hwnd, buffer, 255);
    return buffer;
}

std::map<DWORD, std::wstring> ProcessNames() {
    std::map<DWORD, std::wstring> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return names;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
        names[entry.th32ProcessID] = entry.szExeFile;
    CloseHandle(snapshot);
    return names;
}

std::string Handle(HWND hwnd) {
    return Number(static_cast<long long>(reinterpret_cast<uintptr_t>(hwnd)));
}

std::string Describe(HWND hwnd, const std::map<DWORD, std::wstring>& names) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    RECT window = {}, client = {};
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    auto name = names.find(pid);
    std::string out =
        "{\"hwnd\":" + Handle(hwnd) + ",\"pid\":" + Number(pid) +
        ",\"exe\":" + Json(name == names.end() ? L"" : name->second) +
        ",\"class\":" + Json(ClassOf(hwnd)) + ",\"text\":" + Json(Text(hwnd)) +
        ",\"rect\":" + Rect(window) + ",\"client\":" + Rect(client) + ",\"origin\":[" +
        Number(origin.x) + "," + Number(origin.y) + "]" +
        ",\"style\":" + Number(static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE))) +
        ",\"exstyle\":" + Number(static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_EXSTYLE))) +
        ",\"visible\":" + (IsWindowVisible(hwnd) ? "true" : "false") +
        ",\"enabled\":" + (IsWindowEnabled(hwnd) ? "true" : "false") +
        ",\"owner\":" + Handle(GetWindow(hwnd, GW_OWNER)) +
        ",\"parent\":" + Handle(GetAncestor(hwnd, GA_PARENT)) +
        ",\"id\":" + Number(GetDlgCtrlID(hwnd));
    return out;
}

struct Collect {
    std::vector<HWND> windows;
    bool all = true;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
    auto* c = reinterpret_cast<Collect*>(lp);
    if (c->all || IsWindowVisible(hwnd))
        c->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevel(bool all) {
    Collect c;
    c.all = all;
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&c));
    return c.windows;
}

std::vector<HWND> Children(HWND parent) {
    Collect c;
    EnumChildWindows(parent, &CollectWindow, reinterpret_cast<LPARAM>(&c));
    return c.windows;
}

int Windows(bool all) {
    const auto names = ProcessNames();
    Emit("[");
    bool first = true;
    for (HWND hwnd : TopLevel(all)) {
        Emit(first ? "" : ",\n");
        first = false;
        Emit(Describe(hwnd, names) + ",\"children\":[");
        bool firstChild = true;
        for (HWND child : Children(hwnd)) {
            Emit(firstChild ? "" : ",");
            firstChild = false;
            Emit(Describe(child, names) + "}");
        }
        Emit("]}");
    }
    Emit("]\n");
    return 0;
}

int Dialogs() {
    const auto names = ProcessNames();
    Emit("[");
    bool first = true;
    for (HWND hwnd : TopLevel(false)) {
        if (ClassOf(hwnd) != L"#32770")
            continue;
        Emit(first ? "" : ",\n");
        first = false;
        std::wstring message;
        std::string buttons;
        for (HWND child : Children(hwnd)) {
            const std::wstring cls = ClassOf(child);
            if (cls == L"Static" && !Text(child).empty())
                message += (message.empty() ? L"" : L"\n") + Text(child);
            if (cls == L"Button" && IsWindowVisible(child)) {
                buttons += (buttons.empty() ? "" : ",");
                buttons += "{\"id\":" + Number(GetDlgCtrlID(child)) +
                           ",\"text\":" + Json(Text(child)) + ",\"hwnd\":" + Handle(child) + "}";
            }
        }
        Emit(Describe(hwnd, names) + ",\"message\":" + Json(message) + ",\"buttons\":[" + buttons +
             "]}");
    }
    Emit("]\n");
    return 0;
}

HWND ParseHwnd(const wchar_t* text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(text, nullptr, 0)));
}

int Fail(const char* message) {
    Emit(std::string("{\"error\":") + Json(std::wstring(message, message + strlen(message))) +
         "}\n");
    return 1;
}

int Press(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!IsWindow(dialog) || !button)
        return Fail("no such dialog button");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    Emit("{\"ok\":true}\n");
    return 0;
}

int Click(HWND hwnd, int x, int y, bool right) {
    if (!IsWindow(hwnd))
        return Fail("no such window");
    const LPARAM point = MAKELPARAM(x, y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, point);
    PostMessageW(hwnd, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                 point);
    PostMessageW(hwnd, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, point);
    Emit("{\"ok\":true}\n");
    return 0;
}

int Mouse(int x, int y, bool right) {
    SetCursorPos(x, y);
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    const UINT sent = SendInput(2, inputs, sizeof(INPUT));
    Emit(sent == 2 ? "{\"ok\":true}\n" : "{\"ok\":false}\n");
    return sent == 2 ? 0 : 1;
}

int Screenshot(const wchar_t* path) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        GdiFlush();
        const DWORD stride = DWORD((width * 3 + 3) & ~3);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
        file.bfSize = file.bfOffBits + stride * DWORD(height);
        HANDLE out = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                 WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                 WriteFile(out, bits, stride * DWORD(height), &written, nullptr);
            CloseHandle(out);
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!ok)
        return Fail("screenshot failed");
    Emit("{\"ok\":true,\"width\":" + Number(width) + ",\"height\":" + Number(height) + "}\n");
    return 0;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return Fail("usage: winprobe windows|dialogs|press|click|mouse|close|post|screenshot|kill");
    const std::wstring command = argv[1];
    if (command == L"windows")
        return Windows(argc > 2 && std::wstring(argv[2]) == L"all");
    if (command == L"dialogs")
        return Dialogs();
    if (command == L"press" && argc >= 4)
        return Press(ParseHwnd(argv[2]), _wtoi(argv[3]));
    if (command == L"click" && argc >= 5)
        return Click(ParseHwnd(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]),
                     argc > 5 && std::wstring(argv[5]) == L"right");
    if (command == L"mouse" && argc >= 4)
        return Mouse(_wtoi(argv[2]), _wtoi(argv[3]), argc > 4 && std::wstring(argv[4]) == L"right");
    if (command == L"close" && argc >= 3) {
        HWND hwnd = ParseHwnd(argv[2]);
        if (!IsWindow(hwnd))
            return Fail("no such window");
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        Emit("{\"ok\":true}\n");
        return 0;
    }
    if ((command == L"post" || command == L"send") && argc >= 6) {
        const auto deliver = command == L"post" ? &PostMessageW : &SendNotifyMessageW;
        const BOOL ok =
            deliver(ParseHwnd(argv[2]), UINT(wcstoul(argv[3], nullptr, 0)),
                    WPARAM(wcstoul(argv[4], nullptr, 0)), LPARAM(wcstol(argv[5], nullptr, 0)));
        Emit(ok ? "{\"ok\":true}\n" : "{\"ok\":false}\n");
        return ok ? 0 : 1;
    }
    if (command == L"screenshot" && argc >= 3)
        return Screenshot(argv[2]);
    if (command == L"kill" && argc >= 3) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(_wtoi(argv[2])));
        if (!process)
            return Fail("no such process");
        const BOOL ok = TerminateProcess(process, 99);
        CloseHandle(process);
        Emit(ok ? "{\"ok\":true}\n" : "{\"ok\":false}\n");
        return ok ? 0 : 1;
    }
    return Fail("unknown command or missing arguments");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int code = Run(argc, argv);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), g_out.data(), DWORD(g_out.size()), &written,
              nullptr);
    return code;
}
