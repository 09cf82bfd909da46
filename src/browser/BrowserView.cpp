#include "browser/BrowserView.h"

#include "app/WinHandles.h"
#include "browser/BrowserHost.h"
#include "browser/ComSupport.h"
#include "browser/NavigationRules.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>

#include <cstdint>
#include <new>

static_assert(sizeof(long) >= sizeof(void*), "web-notify carries pointers in its lParam");

namespace {

const wchar_t kHostWindowClass[] = L"VelmoraBrowserHost";

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* host = reinterpret_cast<CBrowserHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        // The window holds a reference to its host until WM_NCDESTROY.
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        host = static_cast<CBrowserHost*>(create->lpCreateParams);
        if (!host)
            return FALSE;
        host->AddRef();
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
        break;
    }
    case WM_CREATE: {
        const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        if (!(style & WS_CLIPCHILDREN))
            SetWindowLongW(hwnd, GWL_STYLE, style | WS_CLIPCHILDREN);
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (host && FAILED(host->CreateControl(hwnd, create->lpszName)))
            host->Teardown(); // the window stays, without a control
        return 0;
    }
    case WM_SIZE:
        if (host)
            host->FitToWindow();
        return 0;
    case WM_ERASEBKGND:
        if (host && host->HasControl())
            return 1; // the control paints the whole area
        break;
    case WM_SETFOCUS: {
        const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        if (host) {
            ComPtr<CBrowserHost> keep(host);
            host->ActivateUI();
            if (CBrowserView* view = host->GetView())
                view->FocusDocument();
        }
        return result;
    }
    case WM_FORWARDMSG:
        return host && host->ForwardMessage(reinterpret_cast<MSG*>(lParam)) ? 1 : 0;
    case WM_DESTROY:
        if (host) {
            ComPtr<CBrowserHost> keep(host);
            host->Teardown();
        }
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (host) {
            host->OnWindowGone();
            host->Release();
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterHostWindowClass(HINSTANCE instance) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kHostWindowClass, &existing))
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &HostWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kHostWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The event arguments arrive as the control passes them: by value, or by reference to a
// VARIANT holding the value.
const VARIANT* Deref(const VARIANTARG& arg) {
    const VARIANT* v = &arg;
    while (v->vt == (VT_BYREF | VT_VARIANT)) {
        if (!v->pvarVal)
            return nullptr;
        v = v->pvarVal;
    }
    return v;
}

std::wstring TextOf(const VARIANTARG& arg) {
    const VARIANT* v = Deref(arg);
    if (!v)
        return std::wstring();
    BSTR s = nullptr;
    if (v->vt == VT_BSTR)
        s = v->bstrVal;
    else if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal)
        s = *v->pbstrVal;
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
}

IDispatch* DispatchOf(const VARIANTARG& arg) {
    const VARIANT* v = Deref(arg);
    if (!v)
        return nullptr;
    if (v->vt == VT_DISPATCH)
        return v->pdispVal;
    if (v->vt == (VT_BYREF | VT_DISPATCH) && v->ppdispVal)
        return *v->ppdispVal;
    return nullptr;
}

VARIANT_BOOL* CancelOf(const VARIANTARG& arg) {
    const VARIANT* v = Deref(arg);
    return v && v->vt == (VT_BYREF | VT_BOOL) ? v->pboolVal : nullptr;
}

bool StatusOf(const VARIANTARG& arg, HRESULT* status) {
    const VARIANT* v = Deref(arg);
    if (!v)
        return false;
    switch (v->vt) {
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        *status = static_cast<HRESULT>(v->lVal);
        return true;
    case VT_BYREF | VT_I4:
    case VT_BYREF | VT_UI4:
    case VT_BYREF | VT_ERROR:
        if (!v->plVal)
            return false;
        *status = static_cast<HRESULT>(*v->plVal);
        return true;
    default:
        return false;
    }
}

} // namespace

CBrowserView::CBrowserView() = default;

CBrowserView::~CBrowserView() {
    if (!m_pHost)
        return;
    if (!CBrowserHost::ComIsUsable()) {
        // After COM has ended (a form destroyed at process exit with its window still up) the
        // control and its windows are left alone; the host only forgets this object.
        m_pHost->DetachView();
        m_pHost->Teardown();
        m_pHost->Release();
        m_pHost = nullptr;
        return;
    }
    // The window goes first, so that the control lets go of the sink and handlers while this
    // object still exists.
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    m_pHost->Teardown();
    m_pHost->DetachView();
    m_pHost->Release();
    m_pHost = nullptr;
}

HWND CBrowserView::Create(const wchar_t* name, const RECT& rc, HWND parent) {
    if (m_hWnd)
        return nullptr;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterHostWindowClass(instance))
        return nullptr;
    if (m_pHost) { // left from an earlier window
        m_pHost->DetachView();
        m_pHost->Release();
    }
    m_pHost = new (std::nothrow) CBrowserHost(this);
    if (!m_pHost)
        return nullptr;
    const HWND hwnd = CreateWindowExW(0, kHostWindowClass, name ? name : L"", WS_CHILD | WS_VISIBLE,
                                      rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                                      parent, nullptr, instance, m_pHost);
    if (!hwnd)
        return nullptr;
    m_hWnd = hwnd;
    ComPtr<IWebBrowser2> browser;
    if (SUCCEEDED(QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out())))) {
        browser->put_RegisterAsDropTarget(VARIANT_FALSE);
        m_pHost->ConnectEvents(&m_sink);
    }
    return hwnd;
}

void CBrowserView::OnHostDestroyed() {
    m_hWnd = nullptr;
}

HRESULT CBrowserView::QueryControl(REFIID iid, void** out) const {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return m_pHost ? m_pHost->QueryControl(iid, out) : E_FAIL;
}

IDispatch* CBrowserView::GetEventSink() {
    return &m_sink;
}

bool CBrowserView::Navigate(const std::wstring& url, const std::string& body) {
    m_strUrl = url;
    ComPtr<IWebBrowser2> browser;
    if (FAILED(QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()))) || !browser)
        return false;
    UniqueVariant target;
    target.SetBstr(AllocBstr(url));
    VARIANT empty;
    VariantInit(&empty);
    if (body.empty()) {
        if (FAILED(browser->Navigate2(target.Get(), &empty, &empty, &empty, &empty)))
            return false;
    } else {
        UniqueVariant headers;
        headers.SetBstr(AllocBstr(browser_rules::kFormPostHeaders));
        SAFEARRAYBOUND bound = {static_cast<ULONG>(body.size()), 0};
        SAFEARRAY* bytes = SafeArrayCreate(VT_UI1, 1, &bound);
        if (!bytes)
            throw std::bad_alloc();
        UniqueVariant postData;
        postData.Get()->vt = VT_ARRAY | VT_UI1;
        postData.Get()->parray = bytes;
        void* data = nullptr;
        if (SUCCEEDED(SafeArrayAccessData(bytes, &data))) {
            memcpy(data, body.data(), body.size()); // the bytes as they are: already encoded
            SafeArrayUnaccessData(bytes);
        }
        browser->Navigate2(target.Get(), &empty, &empty, postData.Get(), headers.Get());
    }
    browser->put_Silent(VARIANT_TRUE);
    m_bAwaitFirstComplete = true;
    m_pTopDisp = nullptr;
    return true;
}

void CBrowserView::Refresh() {
    ComPtr<IWebBrowser2> browser;
    if (SUCCEEDED(QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()))))
        browser->Refresh();
}

namespace {

// The loaded HTML document of a browser object; false while there is none.
bool HtmlDocumentOf(IWebBrowser2* browser, ComPtr<IHTMLDocument2>* html) {
    ComPtr<IDispatch> document;
    if (FAILED(browser->get_Document(document.Out())) || !document)
        return false;
    return SUCCEEDED(document.As(html)) && *html;
}

} // namespace

void CBrowserView::FocusDocument() {
    ComPtr<IWebBrowser2> browser;
    if (FAILED(QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()))))
        return;
    ComPtr<IHTMLDocument2> html;
    if (!HtmlDocumentOf(browser.Get(), &html))
        return;
    ComPtr<IHTMLWindow2> window;
    if (FAILED(html->get_parentWindow(window.Out())) || !window)
        return;
    window->focus();
}

bool CBrowserView::PreTranslateMessage(MSG* msg) {
    if (!msg)
        return false;
    const UINT message = msg->message;
    const bool keyboard = message >= 0x0100 && message <= 0x0109;
    const bool mouse = message >= 0x0200 && message <= 0x020E;
    if (!keyboard && !mouse)
        return false;
    if (!m_hWnd || (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd)))
        return false;
    return SendMessageW(m_hWnd, WM_FORWARDMSG, 0, reinterpret_cast<LPARAM>(msg)) != 0;
}

// --- events ---------------------------------------------------------------------------------

void CBrowserView::OnBeforeNavigate2(IDispatch*, const std::wstring& url, VARIANT_BOOL* cancel) {
    using browser_rules::BeforeNavigateAction;
    m_bCancelNavigate = false;
    const BeforeNavigateAction action =
        browser_rules::ClassifyBeforeNavigate(url, m_bNewWindowPending);
    if (action != BeforeNavigateAction::Ignore) {
        m_strUrl = url;
        unsigned code = WEBNOTIFY_BEFORE_NAVIGATE;
        if (action == BeforeNavigateAction::ReportNewWindow) {
            m_bCancelNavigate = true;
            m_bNewWindowPending = false;
            code = WEBNOTIFY_NEW_WINDOW;
        }
        Fire(code, 0, Self());
    }
    if (m_bCancelNavigate && cancel)
        *cancel = VARIANT_TRUE;
}

void CBrowserView::OnNewWindow2(VARIANT_BOOL* cancel) {
    if (cancel)
        *cancel = m_bBlockNewWindow ? VARIANT_TRUE : VARIANT_FALSE;
}

void CBrowserView::OnNewWindow3(VARIANT_BOOL* cancel, const std::wstring& url) {
    if (cancel)
        *cancel = m_bBlockNewWindow ? VARIANT_TRUE : VARIANT_FALSE;
    // Set before the call: the control may report the navigation while Navigate2 runs.
    m_bNewWindowPending = true;
    Navigate(url, std::string());
}

void CBrowserView::OnNavigateComplete2(IDispatch* browser, const std::wstring& url) {
    if (m_bAwaitFirstComplete && !browser_rules::IsBlankPage(url)) {
        m_bAwaitFirstComplete = false;
        m_pTopDisp = browser;
        Fire(WEBNOTIFY_NAVIGATE_COMPLETE, 0, Self());
    }
    InstallDocumentHandler();
}

void CBrowserView::InstallDocumentHandler() {
    ComPtr<IWebBrowser2> browser;
    if (FAILED(QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()))))
        return;
    ComPtr<IHTMLDocument2> html;
    if (!HtmlDocumentOf(browser.Get(), &html))
        return;
    ComPtr<ICustomDoc> custom;
    if (FAILED(html.As(&custom)) || !custom)
        return;
    custom->SetUIHandler(this);
}

void CBrowserView::OnDocumentComplete(IDispatch* browser) {
    if (browser && browser == m_pTopDisp)
        Fire(WEBNOTIFY_DOCUMENT_COMPLETE, 0, Self());
    if (m_bNoScroll)
        HideScrollBars(browser);
}

void CBrowserView::HideScrollBars(IDispatch* frame) {
    if (!frame)
        return;
    ComPtr<IWebBrowser2> browser;
    if (FAILED(frame->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()))) ||
        !browser)
        return;
    ComPtr<IHTMLDocument2> html;
    if (!HtmlDocumentOf(browser.Get(), &html))
        return;
    ComPtr<IHTMLElement> body;
    if (FAILED(html->get_body(body.Out())) || !body)
        return;
    ComPtr<IHTMLBodyElement> bodyElement;
    if (FAILED(body.As(&bodyElement)) || !bodyElement)
        return;
    UniqueBstr no(SysAllocString(L"no"));
    if (no.Get())
        bodyElement->put_scroll(no.Get());
}

void CBrowserView::OnNavigateError(IDispatch*, HRESULT status, VARIANT_BOOL* cancel) {
    if (!browser_rules::IsReportedNavigateError(static_cast<std::uint32_t>(status)))
        return;
    Fire(WEBNOTIFY_NAVIGATE_ERROR, 0, Self());
    if (cancel)
        *cancel = VARIANT_TRUE;
}

void CBrowserView::OnTitleChange(const std::wstring& title) {
    Fire(WEBNOTIFY_TITLE_CHANGE, 0, static_cast<long>(reinterpret_cast<UINT_PTR>(title.c_str())));
}

HRESULT CBrowserView::DispatchEvent(DISPID id, const DISPPARAMS& params) {
    // Arguments are stored last to first: argument i of n is rgvarg[n - 1 - i].
    const UINT n = params.rgvarg ? params.cArgs : 0;
    auto arg = [&](UINT i) -> const VARIANTARG& { return params.rgvarg[n - 1 - i]; };
    switch (id) {
    case DISPID_BEFORENAVIGATE2: // browser, URL, flags, frame, post data, headers, Cancel
        if (n < 7)
            return DISP_E_BADPARAMCOUNT;
        OnBeforeNavigate2(DispatchOf(arg(0)), TextOf(arg(1)), CancelOf(arg(6)));
        return S_OK;
    case DISPID_NEWWINDOW2: // out-pointer, Cancel
        if (n < 2)
            return DISP_E_BADPARAMCOUNT;
        OnNewWindow2(CancelOf(arg(1)));
        return S_OK;
    case DISPID_NEWWINDOW3: // out-pointer, Cancel, flags, URL context, URL
        if (n < 5)
            return DISP_E_BADPARAMCOUNT;
        OnNewWindow3(CancelOf(arg(1)), TextOf(arg(4)));
        return S_OK;
    case DISPID_NAVIGATECOMPLETE2: // browser, URL
        if (n < 2)
            return DISP_E_BADPARAMCOUNT;
        OnNavigateComplete2(DispatchOf(arg(0)), TextOf(arg(1)));
        return S_OK;
    case DISPID_DOCUMENTCOMPLETE: // browser, URL
        if (n < 2)
            return DISP_E_BADPARAMCOUNT;
        OnDocumentComplete(DispatchOf(arg(0)));
        return S_OK;
    case DISPID_NAVIGATEERROR: { // browser, URL, frame, status, Cancel
        if (n < 5)
            return DISP_E_BADPARAMCOUNT;
        HRESULT status = S_OK;
        if (!StatusOf(arg(3), &status))
            return DISP_E_TYPEMISMATCH;
        OnNavigateError(DispatchOf(arg(0)), status, CancelOf(arg(4)));
        return S_OK;
    }
    case DISPID_TITLECHANGE: // text
        if (n < 1)
            return DISP_E_BADPARAMCOUNT;
        OnTitleChange(TextOf(arg(0)));
        return S_OK;
    default:
        return S_OK; // other events are of no interest
    }
}

// --- COM: the view's own identity and its direct document-host answers ----------------------

HRESULT CBrowserView::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDocHostUIHandler)
        *out = static_cast<IDocHostUIHandler*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CBrowserView::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_nRefCount));
}

ULONG CBrowserView::Release() {
    // The form owns the view: the last reference does not end it.
    return static_cast<ULONG>(InterlockedDecrement(&m_nRefCount));
}

HRESULT CBrowserView::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_FALSE; // the control shows its own menu
}

HRESULT CBrowserView::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info)
        return E_POINTER;
    info->cbSize = 20; // the structure as this client knows it
    info->dwFlags |=
        DOCHOSTUIFLAG_DISABLE_HELP_MENU | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER;
    if (m_bNoScroll)
        info->dwFlags |= DOCHOSTUIFLAG_SCROLL_NO;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}

HRESULT CBrowserView::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                             IOleInPlaceUIWindow*) {
    return E_NOTIMPL;
}

HRESULT CBrowserView::HideUI() {
    return S_OK;
}

HRESULT CBrowserView::UpdateUI() {
    return S_OK;
}

HRESULT CBrowserView::EnableModeless(BOOL) {
    return E_NOTIMPL;
}

HRESULT CBrowserView::OnDocWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CBrowserView::OnFrameWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CBrowserView::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return E_NOTIMPL;
}

HRESULT CBrowserView::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return E_NOTIMPL;
}

HRESULT CBrowserView::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key)
        *key = nullptr;
    return S_OK;
}

HRESULT CBrowserView::GetDropTarget(IDropTarget*, IDropTarget** replacement) {
    if (replacement)
        *replacement = nullptr;
    return E_NOTIMPL;
}

HRESULT CBrowserView::GetExternal(IDispatch** external) {
    if (!external)
        return E_POINTER;
    *external = nullptr;
    try {
        Fire(WEBNOTIFY_GET_EXTERNAL, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(external)),
             Self());
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CBrowserView::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CBrowserView::FilterDataObject(IDataObject*, IDataObject** out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

// --- the event sink -------------------------------------------------------------------------

HRESULT CBrowserView::CEventSink::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
        *out = static_cast<IDispatch*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CBrowserView::CEventSink::AddRef() {
    return m_view.AddRef();
}

ULONG CBrowserView::CEventSink::Release() {
    return m_view.Release();
}

HRESULT CBrowserView::CEventSink::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CBrowserView::CEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CBrowserView::CEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT CBrowserView::CEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                         VARIANT*, EXCEPINFO*, UINT*) {
    if (!params)
        return E_INVALIDARG;
    try {
        return m_view.DispatchEvent(id, *params);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
