#include "app/RunClient.h"

#include "app/AppModule.h"
#include "app/Config.h"
#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "app/Text.h"
#include "app/WinHandles.h"

#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlwapi.h>

namespace {

const int kIdsTitle = 103;
const int kIdsWindowClass = 109;
const int kIdiClient = 151;

// The receiver window of the non-interactive modes: never shown, no taskbar button.
void CreateBareWindow(CGlobalModule& module) {
    CFormLogin& login = module.m_formLogin;
    login.Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    const HWND hwnd = login.GetHwnd();
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    SetWindowLongW(hwnd, GWL_STYLE, (style & 0x7F30FF7F) | 0x000A0000);
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    SetWindowLongW(hwnd, GWL_EXSTYLE, (exStyle & ~0x00040101L) | WS_EX_TOOLWINDOW);
}

// Visible but outside every screen until the login page has loaded.
void ShowOffScreen(HWND hwnd, bool topMost) {
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    SetWindowLongW(hwnd, GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
    SetWindowPos(hwnd, topMost ? HWND_TOPMOST : HWND_TOP, -2000, -2000, 0, 0,
                 SWP_NOSIZE | SWP_SHOWWINDOW);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
}

} // namespace

ATOM RegisterClientWindowClass(CGlobalModule& module) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &CGlobalModule::MainWndProc;
    wc.hInstance = module.m_hInstance;
    wc.hIcon = LoadIconW(module.m_hInstance, MAKEINTRESOURCEW(kIdiClient));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = module.m_szWindowClass;
    return RegisterClassExW(&wc);
}

bool ToggleDesktop() {
    const HRESULT init = CoInitialize(nullptr);
    bool toggled = false;
    {
        ComPtr<IShellDispatch4> shell;
        if (SUCCEEDED(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_ALL, IID_IShellDispatch4,
                                       reinterpret_cast<void**>(shell.Out())))) {
            toggled = SUCCEEDED(shell->ToggleDesktop());
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return toggled;
}

void LaunchIconAnimator() {
    const std::wstring path = GetDataFolder() + L"iconAnimate.exe";
    if (PathFileExistsW(path.c_str()))
        ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

int RunClient(CGlobalModule& module, CAppModule& appModule) {
    const RunMode mode = ChooseRunMode(GetProcessCommandLine());
    switch (mode) {
    case RunMode::InstallSuccess:
    case RunMode::UninstallSuccess:
        // The receiver exists before the beacon is queued, so its completion always lands.
        CreateBareWindow(module);
        if (mode == RunMode::InstallSuccess)
            module.m_stats.SendInstallBeacon();
        else
            module.m_stats.SendUninstallBeacon();
        break;
    case RunMode::ShowDesktop:
        CreateBareWindow(module);
        ToggleDesktop();
        PostMessageW(module.m_formLogin.GetHwnd(), WM_CLOSE_CLIENT, 0, 0);
        break;
    case RunMode::Normal: {
        const RECT rc = {0, 0, 1213, 749};
        const bool topMost = module.m_nTopMost == 1;
        module.m_formLogin.SetRect(&rc);
        module.m_formLogin.InitForm();
        ShowOffScreen(module.m_formLogin.GetHwnd(), topMost);
        module.m_formBack.SetRect(&rc);
        module.m_formBack.InitForm();
        ShowOffScreen(module.m_formBack.GetHwnd(), topMost);
        LaunchIconAnimator();
        break;
    }
    }
    return RunMessageLoop(appModule, &module);
}

int ClientMain(HINSTANCE instance, CGlobalModule& module, CAppModule& appModule) {
    CoInitialize(nullptr);
    OleInitialize(nullptr);
    appModule.Init(instance);
    module.m_hInstance = instance;
    LoadStringW(instance, kIdsTitle, module.m_szTitle, 100);
    LoadStringW(instance, kIdsWindowClass, module.m_szWindowClass, 100);
    RegisterClientWindowClass(module);
    const int result = RunClient(module, appModule);
    appModule.Term();
    OleUninitialize();
    CoUninitialize();
    return result;
}
