#include "stats/NetbarDetect.h"

#include "app/WinHandles.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

namespace {

enum class TraceKind { Key, Process };

struct Trace {
    TraceKind kind;
    const wchar_t* text;
    int32_t code;
};

// Checked in this order; the first hit decides. Three keys start with a backslash and are
// passed that way.
const Trace kTraces[] = {
    {TraceKind::Key, L"SOFTWARE\\Hintsoft\\PubwinClient", 0},
    {TraceKind::Key, L"SOFTWARE\\Hintsoft\\pubwin", 0},
    {TraceKind::Key, L"SOFTWARE\\Sicent\\wx2004Clt", 1},
    {TraceKind::Key, L"SOFTWARE\\MpSoft\\smenu", 2},
    {TraceKind::Key, L"SOFTWARE\\Microsoft\\jingzu", 4},
    {TraceKind::Key, L"SOFTWARE\\iCafe8", 6},
    {TraceKind::Key, L"SOFTWARE\\Goyoo\\i8desk", 7},
    {TraceKind::Key, L"SOFTWARE\\Hintsoft1\\XunShanPro", 8},
    {TraceKind::Key, L"SOFTWARE\\SyncExpertNetBar", 9},
    {TraceKind::Key, L"SOFTWARE\\EYOOCLIENTSTATUS", 11},
    {TraceKind::Key, L"SOFTWARE\\Richtech", 12},
    {TraceKind::Key, L"SOFTWARE\\杭州顺网信息技术有限公司\\网维大师蝌蚪娱乐平台", 14},
    {TraceKind::Key, L"SOFTWARE\\Sicent\\WxAdv", 15},
    {TraceKind::Key, L"SOFTWARE\\Grabsun\\Netsense", 16},
    {TraceKind::Process, L"娱乐中心.exe", 17},
    {TraceKind::Process, L"网吧游戏外挂总管管理器.exe", 19},
    {TraceKind::Process, L"QQmenu.exe", 20},
    {TraceKind::Process, L"Txwu.exe", 20},
    {TraceKind::Process, L"网吧游戏管理专家2006.exe", 21},
    {TraceKind::Process, L"connetbar.exe", 22},
    {TraceKind::Key, L"SOFTWARE\\MpSoft\\scon", 24},
    {TraceKind::Process, L"wbc.exe", 26},
    {TraceKind::Process, L"sunflowerTools.exe", 27},
    {TraceKind::Key, L"SOFTWARE\\MpSoft\\VOD", 30},
    {TraceKind::Process, L"LBSserver.exe", 31},
    {TraceKind::Key, L"\\QvodNetBar\\install", 32},
    {TraceKind::Process, L"TLnbLdr.exe", 33},
    {TraceKind::Process, L"DeepinStatus.exe", 35},
    {TraceKind::Key,
     L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\网升游戏更新客户端", 36},
    {TraceKind::Key, L"\\SOFTWARE\\netcafe-admin.com", 37},
};

static_assert(sizeof(PROCESSENTRY32W) == 556, "PROCESSENTRY32W layout");

} // namespace

int32_t DetectNetbar() {
    for (const Trace& trace : kTraces) {
        const bool found = trace.kind == TraceKind::Key ? IsRegKeyPresent(trace.text)
                                                        : IsProcessRunning(trace.text);
        if (found)
            return trace.code;
    }
    return -1;
}

bool IsRegKeyPresent(const wchar_t* path) {
    if (!path)
        return false;
    UniqueRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.Out()) == ERROR_SUCCESS;
}

bool IsProcessRunning(const wchar_t* exeName) {
    if (!exeName)
        return false;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = 0;
        if (wcscmp(entry.szExeFile, exeName) == 0)
            return true;
    }
    return false;
}
