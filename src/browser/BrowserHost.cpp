#include "browser/BrowserHost.h"

#include "browser/BrowserView.h"

#include <utility>

CBrowserHost::CBrowserHost(CBrowserView* view) : m_pView(view) {}

CBrowserHost::~CBrowserHost() {
    Teardown();
}

HRESULT CBrowserHost::CreateControl(HWND hwnd, const wchar_t* url) {
    if (m_pOleObject)
        return E_UNEXPECTED;
    m_hWnd = hwnd;
    ComPtr<IOleObject> ole;
    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(ole.Out()));
    if (FAILED(hr))
        return hr;
    // Kept from here on, so that a failure below still goes through Teardown.
    m_pOleObject = ole;
    DWORD misc = 0;
    ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst)
        ole->SetClientSite(this);
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(ole.As(&persist)))
        persist->InitNew();
    if (!siteFirst)
        ole->SetClientSite(this);
    ole->SetHostNames(L"Velmora", nullptr);

    RECT rc = {};
    GetClientRect(hwnd, &rc);
    hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, hwnd, &rc);
    if (FAILED(hr))
        return hr;
    if (!m_pInPlaceObject)
        ole.As(&m_pInPlaceObject);
    if (!m_pActiveObject)
        ole.As(&m_pActiveObject);
    FitToWindow();

    ComPtr<IWebBrowser2> browser;
    if (url && *url && SUCCEEDED(ole.As(&browser))) {
        VARIANT target;
        VariantInit(&target);
        target.vt = VT_BSTR;
        target.bstrVal = SysAllocString(url);
        if (target.bstrVal) {
            VARIANT empty;
            VariantInit(&empty);
            browser->Navigate2(&target, &empty, &empty, &empty, &empty);
        }
        VariantClear(&target);
    }
    return S_OK;
}

HRESULT CBrowserHost::ConnectEvents(IDispatch* sink) {
    if (!m_pOleObject || !sink)
        return E_UNEXPECTED;
    if (m_pEventPoint)
        return S_FALSE;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = m_pOleObject.As(&container);
    if (FAILED(hr))
        return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Out());
    if (FAILED(hr))
        return hr;
    DWORD cookie = 0;
    hr = point->Advise(sink, &cookie);
    if (FAILED(hr))
        return hr;
    m_pEventPoint = point;
    m_dwEventCookie = cookie;
    return S_OK;
}

bool CBrowserHost::ComIsUsable() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier));
}

void CBrowserHost::Teardown() {
    if (!ComIsUsable()) {
        m_pEventPoint.Detach();
        m_pOleObject.Detach();
        m_pInPlaceObject.Detach();
        m_pActiveObject.Detach();
        m_dwEventCookie = 0;
        return;
    }
    // Taken out first: the control may call back into the host while it shuts down.
    ComPtr<IConnectionPoint> point = std::move(m_pEventPoint);
    const DWORD cookie = std::exchange(m_dwEventCookie, 0);
    ComPtr<IOleObject> ole = std::move(m_pOleObject);
    ComPtr<IOleInPlaceObject> inPlace = std::move(m_pInPlaceObject);
    ComPtr<IOleInPlaceActiveObject> active = std::move(m_pActiveObject);
    if (point)
        point->Unadvise(cookie);
    if (inPlace)
        inPlace->InPlaceDeactivate();
    if (ole) {
        ole->SetClientSite(nullptr);
        ole->Close(OLECLOSE_NOSAVE);
    }
    // An active object handed over during the deactivation is dropped too.
    m_pActiveObject.Reset();
    m_pInPlaceObject.Reset();
    m_bInPlaceActive = false;
}

void CBrowserHost::OnWindowGone() {
    m_hWnd = nullptr;
    if (m_pView)
        m_pView->OnHostDestroyed();
}

HRESULT CBrowserHost::QueryControl(REFIID iid, void** out) const {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_pOleObject)
        return E_FAIL;
    return m_pOleObject->QueryInterface(iid, out);
}

bool CBrowserHost::ForwardMessage(MSG* msg) {
    if (!msg || !m_pActiveObject)
        return false;
    ComPtr<IOleInPlaceActiveObject> active = m_pActiveObject; // the call may tear us down
    return active->TranslateAccelerator(msg) == S_OK;
}

void CBrowserHost::FitToWindow() {
    if (!m_pInPlaceObject || !m_hWnd)
        return;
    RECT rc = {};
    GetClientRect(m_hWnd, &rc);
    ComPtr<IOleInPlaceObject> inPlace = m_pInPlaceObject;
    inPlace->SetObjectRects(&rc, &rc);
}

void CBrowserHost::ActivateUI() {
    if (!m_pOleObject || !m_hWnd)
        return;
    RECT rc = {};
    GetClientRect(m_hWnd, &rc);
    ComPtr<IOleObject> ole = m_pOleObject;
    ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, this, 0, m_hWnd, &rc);
}

// --- IUnknown -----------------------------------------------------------------------------

HRESULT CBrowserHost::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IDocHostUIHandler)
        *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IOleInPlaceFrame || iid == IID_IOleInPlaceUIWindow)
        *out = static_cast<IOleInPlaceFrame*>(&m_frame);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CBrowserHost::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_nRef));
}

ULONG CBrowserHost::Release() {
    const LONG count = InterlockedDecrement(&m_nRef);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

// --- IOleClientSite -------------------------------------------------------------------------

HRESULT CBrowserHost::SaveObject() {
    return E_NOTIMPL;
}

HRESULT CBrowserHost::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CBrowserHost::GetContainer(IOleContainer** container) {
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBrowserHost::ShowObject() {
    return S_OK;
}

HRESULT CBrowserHost::OnShowWindow(BOOL) {
    return S_OK;
}

HRESULT CBrowserHost::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

// --- IOleInPlaceSite ------------------------------------------------------------------------

HRESULT CBrowserHost::GetWindow(HWND* hwnd) {
    if (!hwnd)
        return E_POINTER;
    *hwnd = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}

HRESULT CBrowserHost::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT CBrowserHost::CanInPlaceActivate() {
    return m_hWnd ? S_OK : S_FALSE;
}

HRESULT CBrowserHost::OnInPlaceActivate() {
    m_bInPlaceActive = true;
    if (m_pOleObject && !m_pInPlaceObject)
        m_pOleObject.As(&m_pInPlaceObject);
    return S_OK;
}

HRESULT CBrowserHost::OnUIActivate() {
    return S_OK;
}

HRESULT CBrowserHost::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                       LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (frame) {
        *frame = &m_frame;
        m_frame.AddRef();
    }
    if (doc)
        *doc = nullptr; // the frame is also the document window
    RECT rc = {};
    if (m_hWnd)
        GetClientRect(m_hWnd, &rc);
    if (pos)
        *pos = rc;
    if (clip)
        *clip = rc;
    if (info) {
        info->cb = sizeof(OLEINPLACEFRAMEINFO);
        info->fMDIApp = FALSE;
        info->hwndFrame = m_hWnd ? GetAncestor(m_hWnd, GA_ROOT) : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return frame ? S_OK : E_POINTER;
}

HRESULT CBrowserHost::Scroll(SIZE) {
    return E_NOTIMPL;
}

HRESULT CBrowserHost::OnUIDeactivate(BOOL) {
    return S_OK;
}

HRESULT CBrowserHost::OnInPlaceDeactivate() {
    m_bInPlaceActive = false;
    return S_OK;
}

HRESULT CBrowserHost::DiscardUndoState() {
    return S_OK;
}

HRESULT CBrowserHost::DeactivateAndUndo() {
    if (m_pInPlaceObject) {
        ComPtr<IOleInPlaceObject> inPlace = m_pInPlaceObject;
        inPlace->UIDeactivate();
    }
    return S_OK;
}

HRESULT CBrowserHost::OnPosRectChange(LPCRECT pos) {
    if (!pos)
        return E_POINTER;
    if (m_pInPlaceObject && m_hWnd) {
        RECT clip = {};
        GetClientRect(m_hWnd, &clip);
        ComPtr<IOleInPlaceObject> inPlace = m_pInPlaceObject;
        inPlace->SetObjectRects(pos, &clip);
    }
    return S_OK;
}

// --- IDocHostUIHandler through the host ---------------------------------------------------
// The host keeps the platform's own UI out of the client: no context menu, no UI of the
// control's own, and it leaves the host information as the control prepared it.

HRESULT CBrowserHost::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_OK; // handled: no menu
}

HRESULT CBrowserHost::GetHostInfo(DOCHOSTUIINFO* info) {
    return info ? S_OK : E_POINTER;
}

HRESULT CBrowserHost::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                             IOleInPlaceUIWindow*) {
    return S_OK;
}

HRESULT CBrowserHost::HideUI() {
    return S_OK;
}

HRESULT CBrowserHost::UpdateUI() {
    return S_OK;
}

HRESULT CBrowserHost::EnableModeless(BOOL) {
    return S_OK;
}

HRESULT CBrowserHost::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT CBrowserHost::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT CBrowserHost::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT CBrowserHost::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return S_FALSE; // the key is not handled here: the document processes it
}

HRESULT CBrowserHost::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key)
        *key = nullptr;
    return S_OK;
}

HRESULT CBrowserHost::GetDropTarget(IDropTarget*, IDropTarget** replacement) {
    if (replacement)
        *replacement = nullptr;
    return S_OK;
}

HRESULT CBrowserHost::GetExternal(IDispatch** external) {
    if (!external)
        return E_POINTER;
    *external = nullptr;
    if (m_pView)
        return m_pView->GetExternal(external);
    return S_OK;
}

HRESULT CBrowserHost::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CBrowserHost::FilterDataObject(IDataObject*, IDataObject** out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

// --- IOleInPlaceFrame -----------------------------------------------------------------------

HRESULT CBrowserHost::CFrame::QueryInterface(REFIID iid, void** out) {
    return m_host.QueryInterface(iid, out);
}

ULONG CBrowserHost::CFrame::AddRef() {
    return m_host.AddRef();
}

ULONG CBrowserHost::CFrame::Release() {
    return m_host.Release();
}

HRESULT CBrowserHost::CFrame::GetWindow(HWND* hwnd) {
    if (!hwnd)
        return E_POINTER;
    *hwnd = m_host.m_hWnd ? GetAncestor(m_host.m_hWnd, GA_ROOT) : nullptr;
    return *hwnd ? S_OK : E_FAIL;
}

HRESULT CBrowserHost::CFrame::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT CBrowserHost::CFrame::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT CBrowserHost::CFrame::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT CBrowserHost::CFrame::SetBorderSpace(LPCBORDERWIDTHS widths) {
    return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

HRESULT CBrowserHost::CFrame::SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) {
    // Ignored once torn down, so that no reference to the control outlives the window.
    if (m_host.m_pOleObject || !active)
        m_host.m_pActiveObject = ComPtr<IOleInPlaceActiveObject>(active);
    return S_OK;
}

HRESULT CBrowserHost::CFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL;
}

HRESULT CBrowserHost::CFrame::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}

HRESULT CBrowserHost::CFrame::RemoveMenus(HMENU) {
    return S_OK;
}

HRESULT CBrowserHost::CFrame::SetStatusText(LPCOLESTR) {
    return S_OK;
}

HRESULT CBrowserHost::CFrame::EnableModeless(BOOL) {
    return S_OK;
}

HRESULT CBrowserHost::CFrame::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}
