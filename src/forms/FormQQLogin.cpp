#include "forms/FormQQLogin.h"

#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "forms/FormCommon.h"
#include "forms/ScreenRules.h"

#include <cstdint>

namespace {

void SetBox(CZKBaseControl& control, const Box& b) {
    const RECT rc = MakeRect(b.left, b.top, b.right, b.bottom);
    control.SetRect(&rc);
}

void LoadKeyedImage(CZKImage& image, int id, const RECT* rc) {
    image.SetBitmap(LoadBitmapResource(id), true);
    if (rc)
        image.SetRect(rc);
}

} // namespace

bool CFormQQLogin::InitForm(const wchar_t* url) {
    CGlobalModule& module = GetGlobalModule();
    Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    // A plain pop-up with a taskbar button of its own; never topmost.
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, (style & 0xFF3AFFFF) | 0x000A0008);

    LoadKeyedImage(m_imgTitle, 148, nullptr);
    AddControl(&m_imgTitle);
    RECT rc = MakeRect(0, 27, 3, 500);
    LoadKeyedImage(m_imgLeft, 182, &rc);
    AddControl(&m_imgLeft);
    rc = MakeRect(797, 27, 800, 500);
    LoadKeyedImage(m_imgRight, 182, &rc);
    AddControl(&m_imgRight);
    rc = MakeRect(0, 496, 800, 500);
    LoadKeyedImage(m_imgBottom, 184, &rc);
    AddControl(&m_imgBottom);

    m_btnClose.LoadBitmaps(138, 158, 158, module.m_hInstance);
    m_btnClose.m_hCursor = HandCursor();
    AddControl(&m_btnClose);

    m_lblCaption.SetOwner(m_hWnd);
    m_lblCaption.SetText(L"Velmora", true);
    m_lblCaption.SetTextColor(0x0000FFFF, true);
    AddControl(&m_lblCaption);

    m_view.Create(L"about:blank", MakeRect(308, 170, 910, 547), m_hWnd);
    m_view.m_webNotify.AddHandler(this, &CFormQQLogin::OnWebNotify);
    m_view.m_bBlockNewWindow = true;
    m_view.Navigate(url ? url : L"", std::string());
    return true;
}

bool CFormQQLogin::CenterAndShow() {
    if (!m_hWnd)
        return false;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int w = m_rc.right - m_rc.left;
    const int h = m_rc.bottom - m_rc.top;
    // Same as centring (0,0)-(work.right, work.bottom) for a form whose rectangle starts at 0.
    const int x = (m_rc.left + work.right - m_rc.right) / 2;
    const int y = (m_rc.top + work.bottom - m_rc.bottom) / 2;
    SetWindowPos(m_hWnd, HWND_TOP, x, y, w, h, SWP_SHOWWINDOW);
    Layout();
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    UpdateWindow(m_hWnd);
    return true;
}

void CFormQQLogin::Layout() {
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    const QQLayout l = LayoutQQWindow(
        client.right - client.left, client.bottom - client.top, m_imgTitle.GetHeight(),
        Size2{m_btnClose.GetBitmapWidth(), m_btnClose.GetBitmapHeight()});
    SetBox(m_imgTitle, l.title);
    SetBox(m_btnClose, l.close);
    SetBox(m_lblCaption, l.caption);
    SetWindowPos(m_view.GetHwnd(), nullptr, l.view.left, l.view.top, l.view.right - l.view.left,
                 l.view.bottom - l.view.top, SWP_SHOWWINDOW | SWP_NOZORDER);
}

LRESULT CFormQQLogin::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CZKForm::WindowProc(hwnd, message, wParam, lParam) == 0)
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool CFormQQLogin::OnLButtonDown(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (!hit)
        return false;
    if (hit == &m_imgTitle || hit == &m_lblCaption) {
        SendMessageW(m_hWnd, WM_SYSCOMMAND, 0xF011, 0);
        return true;
    }
    return hit->OnLButtonDown(keys, pt);
}

bool CFormQQLogin::OnLButtonUp(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (!hit)
        return false;
    hit->OnLButtonUp(keys, pt);
    if (hit == &m_btnClose) {
        Close();
        return true;
    }
    return false;
}

bool CFormQQLogin::PreTranslateMessage(MSG* msg) {
    const bool ctrlDown = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (QQKeyFilter(msg->message, static_cast<unsigned>(msg->wParam), ctrlDown) ==
        FilterAction::OfferToView)
        return m_view.PreTranslateMessage(msg) != 0;
    return false;
}

void CFormQQLogin::OnWebNotify(unsigned code, unsigned, long lParam) {
    switch (code) {
    case WEBNOTIFY_BEFORE_NAVIGATE: {
        const std::wstring url = m_view.GetUrl();
        if (IsAccountReturnUrl(url, VELMORA_ACCOUNT_HOST)) {
            // The signed-in page continues in the login window; this window has done its job.
            GetGlobalModule().m_formLogin.m_view.Navigate(url, std::string());
            Close();
        }
        if (IsReturnToLoginUrl(url) && IsWindow(m_hWnd))
            Close();
        break;
    }
    case WEBNOTIFY_TITLE_CHANGE: {
        const wchar_t* title = reinterpret_cast<const wchar_t*>(static_cast<intptr_t>(lParam));
        m_lblCaption.SetText(title ? title : L"", true);
        break;
    }
    case WEBNOTIFY_NEW_WINDOW:
        OpenPageOutside(m_view.GetUrl());
        break;
    default:
        break;
    }
}
