#include "StandinBrowser.h"

#include <exdispid.h>
#include <shobjidl.h>
#include <urlmon.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>

namespace {

const wchar_t kViewClass[] = L"StandinBrowserView";
const wchar_t kNotifyClass[] = L"StandinBrowserNotify";
const UINT WM_LOADED = WM_APP + 1;
const UINT_PTR kRefreshTimer = 1;
const UINT kMenuRefresh = 1;
const size_t kMaxSummaryLinks = 200;

// The CLSID this object answers for: the one hosts create.
const CLSID kClsidWebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

// A BSTR owned for the length of a scope.
class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : m_b(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return m_b; }
    BSTR Detach() { return std::exchange(m_b, nullptr); }

private:
    BSTR m_b;
};

// A VARIANT cleared at the end of a scope.
struct ScopedVariant {
    VARIANT v;
    ScopedVariant() { VariantInit(&v); }
    ~ScopedVariant() { VariantClear(&v); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
};

HRESULT CopyText(const std::wstring& text, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), UINT(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Follows VT_BYREF|VT_VARIANT chains, as hosts wrap optional arguments in several ways.
const VARIANT* Unwrap(const VARIANT* v) {
    for (int depth = 0; v && depth < 8 && V_VT(v) == (VT_BYREF | VT_VARIANT); ++depth)
        v = V_VARIANTREF(v);
    return v;
}

std::wstring TextOf(const VARIANT* v) {
    v = Unwrap(v);
    if (!v)
        return std::wstring();
    if (V_VT(v) == VT_BSTR && V_BSTR(v))
        return std::wstring(V_BSTR(v), SysStringLen(V_BSTR(v)));
    if (V_VT(v) == (VT_BYREF | VT_BSTR) && V_BSTRREF(v) && *V_BSTRREF(v))
        return std::wstring(*V_BSTRREF(v), SysStringLen(*V_BSTRREF(v)));
    return std::wstring();
}

bool IsText(const VARIANT* v) {
    v = Unwrap(v);
    return v && (V_VT(v) == VT_BSTR || V_VT(v) == (VT_BYREF | VT_BSTR));
}

LONG IntOf(const VARIANT* v) {
    v = Unwrap(v);
    if (!v)
        return 0;
    ScopedVariant converted;
    if (FAILED(VariantChangeType(&converted.v, const_cast<VARIANT*>(v), 0, VT_I4)))
        return 0;
    return V_I4(&converted.v);
}

// POST data as the bytes of a one-dimensional byte array (by value or by reference).
std::string BytesOf(const VARIANT* v) {
    v = Unwrap(v);
    if (!v)
        return std::string();
    SAFEARRAY* array = nullptr;
    if (V_VT(v) == (VT_ARRAY | VT_UI1))
        array = V_ARRAY(v);
    else if (V_VT(v) == (VT_BYREF | VT_ARRAY | VT_UI1) && V_ARRAYREF(v))
        array = *V_ARRAYREF(v);
    if (!array || SafeArrayGetDim(array) != 1)
        return std::string();
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    if (high < low)
        return std::string();
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data)))
        return std::string();
    std::string bytes(static_cast<const char*>(data), size_t(high - low + 1));
    SafeArrayUnaccessData(array);
    return bytes;
}

bool IsNewWindowTarget(const std::wstring& target) {
    const std::wstring lower = AsciiLower(target);
    return !(lower.empty() || lower == L"_self" || lower == L"_top" || lower == L"_parent");
}

} // namespace

// --- document ---------------------------------------------------------------------------------

StandinDocument::StandinDocument(StandinBrowser* browser, const std::wstring& url,
                                 const std::wstring& title)
    : m_browser(browser), m_url(url), m_title(title) {}

HRESULT StandinDocument::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument ||
        iid == IID_IHTMLDocument2)
        *out = static_cast<IHTMLDocument2*>(this);
    else if (iid == IID_ICustomDoc)
        *out = static_cast<ICustomDoc*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG StandinDocument::AddRef() {
    return ULONG(InterlockedIncrement(&m_refs));
}

ULONG StandinDocument::Release() {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return ULONG(refs);
}

HRESULT StandinDocument::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT StandinDocument::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
HRESULT StandinDocument::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}
HRESULT StandinDocument::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT StandinDocument::get_parentWindow(IHTMLWindow2** out) {
    if (!out)
        return E_POINTER;
    *out = &m_window;
    AddRef();
    return S_OK;
}

HRESULT StandinDocument::get_body(IHTMLElement** out) {
    if (!out)
        return E_POINTER;
    // The body object answers IHTMLElement queries only through IHTMLBodyElement; hosts
    // query that interface from what they get here.
    *out = reinterpret_cast<IHTMLElement*>(static_cast<IHTMLBodyElement*>(&m_body));
    AddRef();
    return S_OK;
}

HRESULT StandinDocument::get_title(BSTR* out) {
    return CopyText(m_title, out);
}

HRESULT StandinDocument::put_title(BSTR title) {
    m_title = title ? std::wstring(title, SysStringLen(title)) : std::wstring();
    return S_OK;
}

HRESULT StandinDocument::get_URL(BSTR* out) {
    return CopyText(m_url, out);
}

HRESULT StandinDocument::get_readyState(BSTR* out) {
    return CopyText(L"complete", out);
}

HRESULT StandinDocument::SetUIHandler(IDocHostUIHandler* handler) {
    m_handler = ComPtr<IDocHostUIHandler>(handler);
    return S_OK;
}

HRESULT StandinDocument::Window::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLFramesCollection2 ||
        iid == IID_IHTMLWindow2) {
        *out = static_cast<IHTMLWindow2*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}
HRESULT StandinDocument::Window::GetTypeInfoCount(UINT* count) {
    return m_document->GetTypeInfoCount(count);
}
HRESULT StandinDocument::Window::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
HRESULT StandinDocument::Window::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}
HRESULT StandinDocument::Window::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                        EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}
HRESULT StandinDocument::Window::get_document(IHTMLDocument2** out) {
    if (!out)
        return E_POINTER;
    *out = m_document;
    m_document->AddRef();
    return S_OK;
}
HRESULT StandinDocument::Window::focus() {
    if (m_document->m_browser && m_document->m_browser->ViewWindow())
        SetFocus(m_document->m_browser->ViewWindow());
    return S_OK;
}
HRESULT StandinDocument::Window::get_length(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = 0; // no frames
    return S_OK;
}

HRESULT StandinDocument::Body::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLBodyElement) {
        *out = static_cast<IHTMLBodyElement*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}
HRESULT StandinDocument::Body::GetTypeInfoCount(UINT* count) {
    return m_document->GetTypeInfoCount(count);
}
HRESULT StandinDocument::Body::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
HRESULT StandinDocument::Body::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}
HRESULT StandinDocument::Body::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                      UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}
HRESULT StandinDocument::Body::put_scroll(BSTR value) {
    m_document->m_scroll = value ? std::wstring(value, SysStringLen(value)) : std::wstring();
    if (m_document->m_browser)
        m_document->m_browser->SetNoScroll(AsciiLower(m_document->m_scroll) == L"no");
    return S_OK;
}
HRESULT StandinDocument::Body::get_scroll(BSTR* out) {
    return CopyText(m_document->m_scroll, out);
}

// --- browser: lifetime and COM plumbing -------------------------------------------------------

StandinBrowser::StandinBrowser() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.hInstance = g_standinModule;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kViewClass;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &StandinBrowser::ViewProc;
    RegisterClassExW(&wc); // fails harmlessly when already registered
    wc.lpszClassName = kNotifyClass;
    wc.style = 0;
    wc.lpfnWndProc = &StandinBrowser::NotifyProc;
    RegisterClassExW(&wc);
    m_notify = CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               g_standinModule, nullptr);
    if (m_notify)
        SetWindowLongPtrW(m_notify, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

StandinBrowser::~StandinBrowser() {
    if (m_document) {
        m_document->Detach();
        m_document->Release();
    }
    if (m_hwnd) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
    if (m_notify) {
        SetWindowLongPtrW(m_notify, GWLP_USERDATA, 0);
        DestroyWindow(m_notify);
    }
}

HRESULT StandinBrowser::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser ||
        iid == IID_IWebBrowserApp || iid == IID_IWebBrowser2)
        *out = static_cast<IWebBrowser2*>(this);
    else if (iid == IID_IOleObject)
        *out = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
        *out = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IOleInPlaceActiveObject)
        *out = static_cast<IOleInPlaceActiveObject*>(this);
    else if (iid == IID_IOleControl)
        *out = static_cast<IOleControl*>(this);
    else if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
        *out = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *out = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
        *out = static_cast<IProvideClassInfo2*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG StandinBrowser::AddRef() {
    return ULONG(InterlockedIncrement(&m_refs));
}

ULONG StandinBrowser::Release() {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return ULONG(refs);
}

HRESULT StandinBrowser::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT StandinBrowser::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
HRESULT StandinBrowser::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}
HRESULT StandinBrowser::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                               UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT StandinBrowser::GetClassID(CLSID* out) {
    if (!out)
        return E_POINTER;
    *out = kClsidWebBrowser;
    return S_OK;
}

HRESULT StandinBrowser::GetUserClassID(CLSID* out) {
    return GetClassID(out);
}

HRESULT StandinBrowser::GetGUID(DWORD kind, GUID* out) {
    if (!out)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
        return E_INVALIDARG;
    *out = DIID_DWebBrowserEvents2;
    return S_OK;
}

HRESULT StandinBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid != DIID_DWebBrowserEvents2)
        return CONNECT_E_NOCONNECTION;
    *out = &m_eventPoint;
    AddRef();
    return S_OK;
}

HRESULT StandinBrowser::EventPoint::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT StandinBrowser::EventPoint::GetConnectionInterface(IID* out) {
    if (!out)
        return E_POINTER;
    *out = DIID_DWebBrowserEvents2;
    return S_OK;
}

HRESULT StandinBrowser::EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out)
        return E_POINTER;
    *out = m_browser;
    m_browser->AddRef();
    return S_OK;
}

HRESULT StandinBrowser::EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2,
                                    reinterpret_cast<void**>(dispatch.Out()))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Out()))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = m_browser->m_nextCookie++;
    m_browser->m_sinks.push_back(Sink{*cookie, dispatch});
    return S_OK;
}

HRESULT StandinBrowser::EventPoint::Unadvise(DWORD cookie) {
    auto& sinks = m_browser->m_sinks;
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
        if (it->cookie == cookie) {
            sinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

// --- events -----------------------------------------------------------------------------------

void StandinBrowser::Fire(DISPID id, VARIANTARG* reversedArgs, UINT count) {
    // A copy: sinks may unadvise, or release the browser, while they run.
    const std::vector<Sink> sinks = m_sinks;
    DISPPARAMS params = {reversedArgs, nullptr, count, 0};
    for (const Sink& sink : sinks)
        sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                              nullptr, nullptr);
}

bool StandinBrowser::FireBeforeNavigate2(const std::wstring& url, LONG flags,
                                         const std::wstring& targetFrame,
                                         const std::string& postData, const std::wstring& headers) {
    ScopedVariant vUrl, vFlags, vFrame, vPostInner, vHeaders;
    V_VT(&vUrl.v) = VT_BSTR;
    V_BSTR(&vUrl.v) = Bstr(url).Detach();
    V_VT(&vFlags.v) = VT_I4;
    V_I4(&vFlags.v) = flags;
    V_VT(&vFrame.v) = VT_BSTR;
    V_BSTR(&vFrame.v) = Bstr(targetFrame).Detach();
    if (!postData.empty()) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(postData.size()));
        void* data = nullptr;
        if (array && SUCCEEDED(SafeArrayAccessData(array, &data))) {
            memcpy(data, postData.data(), postData.size());
            SafeArrayUnaccessData(array);
            V_VT(&vPostInner.v) = VT_ARRAY | VT_UI1;
            V_ARRAY(&vPostInner.v) = array;
        } else if (array) {
            SafeArrayDestroy(array);
        }
    }
    V_VT(&vHeaders.v) = VT_BSTR;
    V_BSTR(&vHeaders.v) = Bstr(headers).Detach();
    // Post data arrives wrapped twice, the way hosts of the real control unwrap it.
    VARIANT vPostRef;
    V_VT(&vPostRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&vPostRef) = &vPostInner.v;
    VARIANT_BOOL cancel = VARIANT_FALSE;

    VARIANTARG args[7];
    V_VT(&args[6]) = VT_DISPATCH;
    V_DISPATCH(&args[6]) = Self();
    V_VT(&args[5]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[5]) = &vUrl.v;
    V_VT(&args[4]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[4]) = &vFlags.v;
    V_VT(&args[3]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[3]) = &vFrame.v;
    V_VT(&args[2]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[2]) = &vPostRef;
    V_VT(&args[1]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[1]) = &vHeaders.v;
    V_VT(&args[0]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args[0]) = &cancel;
    Fire(DISPID_BEFORENAVIGATE2, args, 7);
    return cancel != VARIANT_FALSE;
}

void StandinBrowser::FireUrlEvent(DISPID id, const std::wstring& url) {
    ScopedVariant vUrl;
    V_VT(&vUrl.v) = VT_BSTR;
    V_BSTR(&vUrl.v) = Bstr(url).Detach();
    VARIANTARG args[2];
    V_VT(&args[1]) = VT_DISPATCH;
    V_DISPATCH(&args[1]) = Self();
    V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[0]) = &vUrl.v;
    Fire(id, args, 2);
}

void StandinBrowser::FireTitleChange(const std::wstring& title) {
    Bstr text(title);
    VARIANTARG arg;
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = text.Get();
    Fire(DISPID_TITLECHANGE, &arg, 1);
}

bool StandinBrowser::FireNavigateError(const std::wstring& url, LONG status) {
    ScopedVariant vUrl, vFrame, vStatus;
    V_VT(&vUrl.v) = VT_BSTR;
    V_BSTR(&vUrl.v) = Bstr(url).Detach();
    V_VT(&vFrame.v) = VT_BSTR;
    V_BSTR(&vFrame.v) = Bstr(L"").Detach();
    V_VT(&vStatus.v) = VT_I4;
    V_I4(&vStatus.v) = status;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG args[5];
    V_VT(&args[4]) = VT_DISPATCH;
    V_DISPATCH(&args[4]) = Self();
    V_VT(&args[3]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[3]) = &vUrl.v;
    V_VT(&args[2]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[2]) = &vFrame.v;
    V_VT(&args[1]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[1]) = &vStatus.v;
    V_VT(&args[0]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args[0]) = &cancel;
    Fire(DISPID_NAVIGATEERROR, args, 5);
    return cancel != VARIANT_FALSE;
}

bool StandinBrowser::FireNewWindow3(const std::wstring& url, IDispatch** created) {
    Bstr context(m_locationUrl);
    Bstr target(url);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG args[5];
    V_VT(&args[4]) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&args[4]) = created;
    V_VT(&args[3]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args[3]) = &cancel;
    V_VT(&args[2]) = VT_UI4;
    V_UI4(&args[2]) = NWMF_USERINITED | NWMF_FIRST;
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = context.Get();
    V_VT(&args[0]) = VT_BSTR;
    V_BSTR(&args[0]) = target.Get();
    Fire(DISPID_NEWWINDOW3, args, 5);
    return cancel != VARIANT_FALSE;
}

bool StandinBrowser::FireNewWindow2(IDispatch** created) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG args[2];
    V_VT(&args[1]) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&args[1]) = created;
    V_VT(&args[0]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args[0]) = &cancel;
    Fire(DISPID_NEWWINDOW2, args, 2);
    return cancel != VARIANT_FALSE;
}

// --- navigation -------------------------------------------------------------------------------

HRESULT StandinBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                                 VARIANT* headers) {
    if (!url)
        return E_INVALIDARG;
    return BeginNavigation(std::wstring(url, SysStringLen(url)), IntOf(flags), TextOf(targetFrame),
                           BytesOf(postData), TextOf(headers));
}

HRESULT StandinBrowser::Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame,
                                  VARIANT* postData, VARIANT* headers) {
    if (!url || !IsText(url))
        return E_INVALIDARG;
    return BeginNavigation(TextOf(url), IntOf(flags), TextOf(targetFrame), BytesOf(postData),
                           TextOf(headers));
}

HRESULT StandinBrowser::BeginNavigation(const std::wstring& url, LONG flags,
                                        const std::wstring& targetFrame,
                                        const std::string& postData, const std::wstring& headers) {
    if (m_closed || !m_notify)
        return E_FAIL;
    if (url.empty())
        return E_INVALIDARG;
    ComPtr<IWebBrowser2> self(this); // a handler may release the last outside reference
    if (FireBeforeNavigate2(url, flags, targetFrame, postData, headers))
        return S_OK; // cancelled by the host: nothing is requested
    if (m_closed)
        return S_OK;
    if (StartsWithNoCase(url, L"javascript:"))
        return S_OK; // no script here
    StartLoad(url, postData, headers, false);
    return S_OK;
}

void StandinBrowser::StartLoad(const std::wstring& url, const std::string& postData,
                               const std::wstring& headers, bool refresh) {
    ++m_serial;
    KillTimer(m_notify, kRefreshTimer);
    m_pending.refresh = refresh;
    m_pending.url = url;
    m_busy = true;
    if (!refresh)
        m_readyState = READYSTATE_LOADING;
    if (AsciiLower(url) == L"about:blank" ||
        !(StartsWithNoCase(url, L"http://") || StartsWithNoCase(url, L"https://"))) {
        // Answered here, but still later, from the message loop, like a real load.
        auto result = std::make_unique<FetchResult>();
        if (AsciiLower(url) == L"about:blank") {
            result->status = 200;
            result->finalUrl = L"about:blank";
        } else {
            result->error = INET_E_UNKNOWN_PROTOCOL;
        }
        if (PostMessageW(m_notify, WM_LOADED, m_serial, reinterpret_cast<LPARAM>(result.get())))
            result.release();
        return;
    }
    FetchRequest request;
    request.url = url;
    request.body = postData;
    request.headers = headers;
    request.referrer = StartsWithNoCase(m_locationUrl, L"http") ? m_locationUrl : std::wstring();
    if (!StartFetch(m_notify, WM_LOADED, m_serial, request)) {
        auto result = std::make_unique<FetchResult>();
        result->error = INET_E_DOWNLOAD_FAILURE;
        if (PostMessageW(m_notify, WM_LOADED, m_serial, reinterpret_cast<LPARAM>(result.get())))
            result.release();
    }
}

void StandinBrowser::OnLoaded(UINT serial, const FetchResult& result) {
    if (Stale(serial))
        return;
    ComPtr<IWebBrowser2> self(this);
    m_busy = false;
    const std::wstring requested = m_pending.url;
    const bool failed = FAILED(result.error) || result.status >= 400;
    if (failed) {
        const LONG status = FAILED(result.error) ? LONG(result.error) : LONG(result.status);
        if (m_pending.refresh) {
            m_readyState = READYSTATE_COMPLETE; // a failed reload keeps the page
            return;
        }
        const bool cancel = FireNavigateError(requested, status);
        if (Stale(serial))
            return;
        if (cancel) {
            m_readyState = READYSTATE_COMPLETE;
            return;
        }
        HtmlPage page;
        page.title = L"Navigation failed";
        HtmlBlock block;
        wchar_t code[32];
        wsprintfW(code, L" (0x%08lX)", static_cast<unsigned long>(status));
        block.runs.push_back(HtmlRun{L"The page " + requested + L" could not be shown" + code, -1});
        page.blocks.push_back(block);
        ShowPage(std::move(page), requested, serial);
        return;
    }
    const std::wstring url = result.finalUrl.empty() ? requested : result.finalUrl;
    ShowPage(ParseHtml(DecodeBody(result.bytes, result.contentType), url), url, serial);
}

void StandinBrowser::ShowPage(HtmlPage page, const std::wstring& url, UINT serial) {
    const bool refresh = m_pending.refresh;
    m_page = std::move(page);
    m_locationUrl = url;
    m_title = m_page.title.empty() ? url : m_page.title;
    m_scrollY = 0;
    m_pressedLink = -1;
    if (!refresh || !m_document) {
        if (m_document) {
            m_document->Detach();
            m_document->Release();
        }
        m_document = new StandinDocument(this, url, m_title);
    } else {
        m_document->SetTitle(m_title);
    }
    Relayout();
    m_readyState = READYSTATE_INTERACTIVE;
    if (!refresh) {
        FireUrlEvent(DISPID_NAVIGATECOMPLETE2, url);
        if (Stale(serial))
            return;
    }
    AskHostInfo();
    FireTitleChange(m_title);
    if (Stale(serial))
        return;
    m_readyState = READYSTATE_COMPLETE;
    if (!refresh) {
        FireUrlEvent(DISPID_DOCUMENTCOMPLETE, url);
        if (Stale(serial))
            return;
    }
    if (m_page.hasRefresh)
        SetTimer(m_notify, kRefreshTimer, UINT(std::max(1, m_page.refreshSeconds * 1000)), nullptr);
}

void StandinBrowser::ActivateLink(int index) {
    if (index < 0 || size_t(index) >= m_page.links.size())
        return;
    const HtmlLink link = m_page.links[size_t(index)]; // the page may be replaced below
    if (IsNewWindowTarget(link.target))
        RaiseNewWindow(link.href);
    else
        BeginNavigation(link.href, 0, std::wstring(), std::string(), std::wstring());
}

void StandinBrowser::RaiseNewWindow(const std::wstring& url) {
    ComPtr<IWebBrowser2> self(this);
    IDispatch* created = nullptr;
    // Both events, newest first; a host may answer either (or both) of them.
    bool cancel = FireNewWindow3(url, &created);
    if (!m_closed && !created)
        cancel = FireNewWindow2(&created) || cancel;
    ComPtr<IDispatch> createdOwner;
    createdOwner.Attach(created);
    if (m_closed || cancel)
        return;
    // The host gave a browser of its own: load the page there; otherwise load it here.
    ComPtr<IWebBrowser2> other;
    if (createdOwner && SUCCEEDED(createdOwner.As(&other))) {
        VARIANT target;
        V_VT(&target) = VT_BSTR;
        Bstr text(url);
        V_BSTR(&target) = text.Get();
        other->Navigate2(&target, nullptr, nullptr, nullptr, nullptr);
        return;
    }
    BeginNavigation(url, 0, std::wstring(), std::string(), std::wstring());
}

HRESULT StandinBrowser::Refresh() {
    if (m_closed || !m_notify)
        return E_FAIL;
    if (!StartsWithNoCase(m_locationUrl, L"http"))
        return S_OK;
    StartLoad(m_locationUrl, std::string(), std::wstring(), true);
    return S_OK;
}

HRESULT StandinBrowser::Refresh2(VARIANT*) {
    return Refresh();
}

HRESULT StandinBrowser::Stop() {
    ++m_serial; // whatever is still loading is dropped when it arrives
    m_busy = false;
    if (m_notify)
        KillTimer(m_notify, kRefreshTimer);
    if (m_readyState == READYSTATE_LOADING)
        m_readyState = READYSTATE_COMPLETE;
    return S_OK;
}

// --- simple properties ------------------------------------------------------------------------

HRESULT StandinBrowser::get_Application(IDispatch** out) {
    if (!out)
        return E_POINTER;
    *out = Self();
    AddRef();
    return S_OK;
}

HRESULT StandinBrowser::get_Document(IDispatch** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_document)
        return S_FALSE;
    *out = static_cast<IHTMLDocument2*>(m_document);
    m_document->AddRef();
    return S_OK;
}

HRESULT StandinBrowser::get_LocationURL(BSTR* out) {
    return CopyText(m_locationUrl, out);
}
HRESULT StandinBrowser::get_LocationName(BSTR* out) {
    return CopyText(m_title, out);
}

HRESULT StandinBrowser::get_Busy(VARIANT_BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = m_busy ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT StandinBrowser::get_ReadyState(READYSTATE* out) {
    if (!out)
        return E_POINTER;
    *out = m_readyState;
    return S_OK;
}

HRESULT StandinBrowser::get_HWND(SHANDLE_PTR* out) {
    if (!out)
        return E_POINTER;
    *out = reinterpret_cast<SHANDLE_PTR>(m_hwnd);
    return m_hwnd ? S_OK : E_FAIL;
}

HRESULT StandinBrowser::get_Visible(VARIANT_BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = m_visible ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT StandinBrowser::put_Visible(VARIANT_BOOL value) {
    m_visible = value != VARIANT_FALSE;
    if (m_hwnd)
        ShowWindow(m_hwnd, m_visible ? SW_SHOWNA : SW_HIDE);
    return S_OK;
}

HRESULT StandinBrowser::get_Silent(VARIANT_BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = m_silent ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT StandinBrowser::put_Silent(VARIANT_BOOL value) {
    m_silent = value != VARIANT_FALSE; // this engine shows no dialogs either way
    return S_OK;
}

HRESULT StandinBrowser::get_RegisterAsDropTarget(VARIANT_BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = m_dropTarget ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT StandinBrowser::put_RegisterAsDropTarget(VARIANT_BOOL value) {
    m_dropTarget = value != VARIANT_FALSE; // nothing is ever accepted as a drop here
    return S_OK;
}

void StandinBrowser::SetNoScroll(bool noScroll) {
    m_noScroll = noScroll;
    if (noScroll && m_scrollY != 0) {
        m_scrollY = 0;
        PublishSummary();
        if (m_hwnd)
            InvalidateRect(m_hwnd, nullptr, FALSE);
    }
}

// --- host questions ---------------------------------------------------------------------------

ComPtr<IDocHostUIHandler> StandinBrowser::HostUIHandler() const {
    if (m_document && m_document->UIHandler())
        return ComPtr<IDocHostUIHandler>(m_document->UIHandler());
    ComPtr<IDocHostUIHandler> handler;
    if (m_site)
        m_site.As(&handler);
    return handler;
}

void StandinBrowser::AskHostInfo() {
    ComPtr<IDocHostUIHandler> handler = HostUIHandler();
    if (!handler)
        return;
    DOCHOSTUIINFO info = {};
    info.cbSize = sizeof(info);
    if (SUCCEEDED(handler->GetHostInfo(&info)))
        m_hostFlags = info.dwFlags;
    CoTaskMemFree(info.pchHostCss);
    CoTaskMemFree(info.pchHostNS);
    if (m_hostFlags & DOCHOSTUIFLAG_SCROLL_NO)
        SetNoScroll(true);
}

void StandinBrowser::ShowContextMenu(POINT screen) {
    ComPtr<IWebBrowser2> self(this);
    POINT client = screen;
    int link = -1;
    if (m_hwnd) {
        ScreenToClient(m_hwnd, &client);
        link = LinkAtClient(client.x, client.y);
    }
    ComPtr<IDocHostUIHandler> handler = HostUIHandler();
    if (handler) {
        IUnknown* target = m_document ? static_cast<IHTMLDocument2*>(m_document) : nullptr;
        IDispatch* element = m_document ? static_cast<IHTMLDocument2*>(m_document) : nullptr;
        if (handler->ShowContextMenu(link >= 0 ? CONTEXT_MENU_ANCHOR : CONTEXT_MENU_DEFAULT,
                                     &screen, target, element) == S_OK)
            return; // the host handled it
    }
    if (!m_hwnd)
        return;
    UniqueMenu menu(CreatePopupMenu());
    if (!menu)
        return;
    AppendMenuW(menu.Get(), MF_STRING, kMenuRefresh, L"Refresh");
    const UINT chosen = UINT(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                            screen.y, 0, m_hwnd, nullptr));
    if (chosen == kMenuRefresh && !m_closed)
        Refresh();
}

// --- OLE embedding ----------------------------------------------------------------------------

HRESULT StandinBrowser::SetClientSite(IOleClientSite* site) {
    if (!site && m_inPlaceActive)
        InPlaceDeactivate();
    m_site = ComPtr<IOleClientSite>(site);
    if (site)
        m_closed = false;
    return S_OK;
}

HRESULT StandinBrowser::GetClientSite(IOleClientSite** out) {
    if (!out)
        return E_POINTER;
    *out = m_site.Get();
    if (*out)
        (*out)->AddRef();
    return S_OK;
}

HRESULT StandinBrowser::Close(DWORD) {
    ComPtr<IWebBrowser2> self(this);
    Stop();
    InPlaceDeactivate();
    m_closed = true;
    m_site.Reset();
    return S_OK;
}

HRESULT StandinBrowser::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                               LPCRECT position) {
    if (site && !m_site)
        SetClientSite(site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(true, parent, position);
    case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(false, parent, position);
    case OLEIVERB_HIDE:
        if (m_hwnd)
            ShowWindow(m_hwnd, SW_HIDE);
        return S_OK;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT StandinBrowser::ActivateInPlace(bool uiActivate, HWND parent, LPCRECT position) {
    if (!m_site)
        return E_UNEXPECTED;
    ComPtr<IWebBrowser2> self(this);
    if (!m_inPlaceActive) {
        ComPtr<IOleInPlaceSite> site;
        if (FAILED(m_site.As(&site)))
            return E_NOINTERFACE;
        if (site->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        site->OnInPlaceActivate();
        m_inPlaceSite = site;
        m_inPlaceActive = true;
    }
    if (!m_hwnd) {
        HWND container = nullptr;
        if (FAILED(m_inPlaceSite->GetWindow(&container)) || !container)
            container = parent;
        RECT pos = {0, 0, 0, 0}, clip = {0, 0, 0, 0};
        OLEINPLACEFRAMEINFO frameInfo = {};
        frameInfo.cb = sizeof(frameInfo);
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> uiWindow;
        if (SUCCEEDED(m_inPlaceSite->GetWindowContext(frame.Out(), uiWindow.Out(), &pos, &clip,
                                                      &frameInfo)))
            m_frame = frame;
        if (position)
            pos = *position;
        if (!container)
            return E_FAIL;
        m_hwnd = CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP,
                                 pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top,
                                 container, nullptr, g_standinModule, this);
        if (!m_hwnd)
            return E_FAIL;
        Relayout();
    }
    if (m_visible)
        ShowWindow(m_hwnd, SW_SHOWNA);
    if (uiActivate && !m_uiActive) {
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        if (m_frame)
            m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), L"");
        if (m_hwnd)
            SetFocus(m_hwnd);
    }
    return S_OK;
}

HRESULT StandinBrowser::UIDeactivate() {
    if (!m_uiActive)
        return S_OK;
    m_uiActive = false;
    if (m_frame)
        m_frame->SetActiveObject(nullptr, nullptr);
    if (m_inPlaceSite)
        m_inPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT StandinBrowser::InPlaceDeactivate() {
    if (!m_inPlaceActive)
        return S_OK;
    ComPtr<IWebBrowser2> self(this);
    UIDeactivate();
    m_inPlaceActive = false;
    if (m_hwnd) {
        HWND view = std::exchange(m_hwnd, nullptr);
        SetWindowLongPtrW(view, GWLP_USERDATA, 0);
        DestroyWindow(view);
    }
    ComPtr<IOleInPlaceSite> site = m_inPlaceSite;
    m_inPlaceSite.Reset();
    m_frame.Reset();
    if (site)
        site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT StandinBrowser::GetWindow(HWND* out) {
    if (!out)
        return E_POINTER;
    *out = m_hwnd;
    return m_hwnd ? S_OK : E_FAIL;
}

HRESULT StandinBrowser::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position)
        return E_POINTER;
    if (m_hwnd) {
        MoveWindow(m_hwnd, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    }
    return S_OK;
}

HRESULT StandinBrowser::TranslateAccelerator(LPMSG message) {
    if (!message)
        return E_POINTER;
    ComPtr<IWebBrowser2> self(this);
    if (ComPtr<IDocHostUIHandler> handler = HostUIHandler()) {
        if (handler->TranslateAccelerator(message, &CGID_MSHTML, 0) == S_OK)
            return S_OK;
    }
    if (message->message == WM_KEYDOWN && message->wParam == VK_F5) {
        Refresh();
        return S_OK;
    }
    return S_FALSE;
}

HRESULT StandinBrowser::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    m_extent = *size;
    return S_OK;
}

HRESULT StandinBrowser::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = m_extent;
    return S_OK;
}

HRESULT StandinBrowser::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

// --- windows ----------------------------------------------------------------------------------

LRESULT CALLBACK StandinBrowser::NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* browser = reinterpret_cast<StandinBrowser*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_LOADED) {
        std::unique_ptr<FetchResult> result(reinterpret_cast<FetchResult*>(lParam));
        if (browser)
            browser->OnLoaded(UINT(wParam), *result);
        return 0;
    }
    if (browser && message == WM_TIMER)
        return browser->OnNotifyMessage(message, wParam, lParam);
    if (message == WM_DESTROY) {
        // Results still queued for this window are freed here, never leaked.
        MSG pending;
        while (PeekMessageW(&pending, hwnd, WM_LOADED, WM_LOADED, PM_REMOVE)) {
            if (pending.message == WM_QUIT) {
                // The quit request is not ours to take: put it back for the host's loop.
                PostQuitMessage(static_cast<int>(pending.wParam));
                break;
            }
            delete reinterpret_cast<FetchResult*>(pending.lParam);
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT StandinBrowser::OnNotifyMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER && wParam == kRefreshTimer) {
        KillTimer(m_notify, kRefreshTimer);
        if (m_page.hasRefresh && !m_closed)
            BeginNavigation(m_page.refreshUrl, 0, std::wstring(), std::string(), std::wstring());
    }
    return 0;
}

LRESULT CALLBACK StandinBrowser::ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* browser = reinterpret_cast<StandinBrowser*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!browser)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The host destroyed its window (and ours with it).
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (browser->m_hwnd == hwnd)
            browser->m_hwnd = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (browser->m_hwnd == nullptr)
        browser->m_hwnd = hwnd; // messages sent during CreateWindowExW
    return browser->OnViewMessage(message, wParam, lParam);
}

LRESULT StandinBrowser::OnViewMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = m_hwnd;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        Paint(dc, client);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // WM_PAINT fills everything
    case WM_SIZE:
        Relayout();
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        m_pressedLink = LinkAtClient(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP: {
        const int link = LinkAtClient(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        const bool clicked = link >= 0 && link == m_pressedLink;
        m_pressedLink = -1;
        if (clicked) {
            ComPtr<IWebBrowser2> self(this); // the host may drop us while it handles events
            ActivateLink(link);
        }
        return 0;
    }
    case WM_CONTEXTMENU: {
        POINT screen = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (screen.x == -1 && screen.y == -1) { // from the keyboard
            screen = {0, 0};
            ClientToScreen(hwnd, &screen);
        }
        ShowContextMenu(screen);
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT cursor;
            GetCursorPos(&cursor);
            ScreenToClient(hwnd, &cursor);
            SetCursor(
                LoadCursorW(nullptr, LinkAtClient(cursor.x, cursor.y) >= 0 ? IDC_HAND : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_MOUSEWHEEL: {
        if (m_noScroll)
            return 0;
        RECT client;
        GetClientRect(hwnd, &client);
        const int limit = std::max(0, m_layout.height - int(client.bottom));
        const int step = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -60 : 60;
        const int next = std::min(limit, std::max(0, m_scrollY + step));
        if (next != m_scrollY) {
            m_scrollY = next;
            PublishSummary();
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_F5) {
            ComPtr<IWebBrowser2> self(this);
            Refresh();
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HFONT StandinBrowser::FontFor(TextStyle style) {
    const int index = int(style);
    if (!m_fonts[index]) {
        LOGFONTW lf = {};
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(lf.lfFaceName, L"WenQuanYi Micro Hei", LF_FACESIZE);
        lf.lfHeight = style == TextStyle::Title ? -22 : style == TextStyle::Heading ? -18 : -14;
        lf.lfWeight =
            (style == TextStyle::Title || style == TextStyle::Heading) ? FW_BOLD : FW_NORMAL;
        lf.lfUnderline = style == TextStyle::Link;
        m_fonts[index].Reset(CreateFontIndirectW(&lf));
    }
    return m_fonts[index].Get();
}

void StandinBrowser::Relayout() {
    if (!m_hwnd)
        return;
    RECT client;
    GetClientRect(m_hwnd, &client);
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc)
        return;
    LayoutMetrics metrics;
    {
        TEXTMETRICW tm;
        SelectGuard body(dc.Get(), FontFor(TextStyle::Body));
        if (GetTextMetricsW(dc.Get(), &tm))
            metrics.bodyHeight = tm.tmHeight + 4;
    }
    {
        TEXTMETRICW tm;
        SelectGuard heading(dc.Get(), FontFor(TextStyle::Heading));
        if (GetTextMetricsW(dc.Get(), &tm))
            metrics.headingHeight = tm.tmHeight + 6;
    }
    {
        TEXTMETRICW tm;
        SelectGuard title(dc.Get(), FontFor(TextStyle::Title));
        if (GetTextMetricsW(dc.Get(), &tm))
            metrics.titleHeight = tm.tmHeight + 8;
    }
    HDC measureDc = dc.Get();
    const MeasureText measure = [this, measureDc](TextStyle style, const std::wstring& text) {
        SelectGuard font(measureDc, FontFor(style));
        SIZE size = {0, 0};
        GetTextExtentPoint32W(measureDc, text.c_str(), int(text.size()), &size);
        return int(size.cx);
    };
    m_layout = LayoutPage(m_page, std::max(40, int(client.right)), measure, metrics);
    PublishSummary();
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

void StandinBrowser::Paint(HDC target, const RECT& client) {
    // Drawn off-screen first so that a refreshing page does not flicker.
    UniqueMemoryDc dc(CreateCompatibleDC(target));
    UniqueBitmap bitmap(
        CreateCompatibleBitmap(target, std::max(1L, client.right), std::max(1L, client.bottom)));
    if (!dc || !bitmap)
        return;
    SelectGuard bitmapGuard(dc.Get(), bitmap.Get());
    FillRect(dc.Get(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc.Get(), TRANSPARENT);
    for (const LaidText& piece : m_layout.pieces) {
        RECT box = {piece.x, piece.y - m_scrollY, piece.x + piece.width + 2,
                    piece.y - m_scrollY + piece.height};
        if (box.bottom < 0 || box.top > client.bottom)
            continue;
        SelectGuard font(dc.Get(), FontFor(piece.style));
        SetTextColor(dc.Get(), piece.style == TextStyle::Link ? RGB(0, 0, 204) : RGB(32, 32, 32));
        DrawTextW(dc.Get(), piece.text.c_str(), int(piece.text.size()), &box,
                  DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
}

int StandinBrowser::LinkAtClient(int x, int y) const {
    return LinkAt(m_layout, x, y + m_scrollY);
}

// The view's window text describes the page for tools that drive it from outside (the test
// harness): "URL\t...", "TITLE\t...", then "LINK\tindex\tx\ty\twidth\theight\ttarget\thref" for
// the first visible piece of each link, in client coordinates.
void StandinBrowser::PublishSummary() {
    if (!m_hwnd)
        return;
    std::wstring text = L"URL\t" + m_locationUrl + L"\nTITLE\t" + m_title + L"\n";
    std::vector<bool> seen(m_page.links.size(), false);
    size_t count = 0;
    for (const LaidText& piece : m_layout.pieces) {
        if (piece.link < 0 || size_t(piece.link) >= seen.size() || seen[size_t(piece.link)])
            continue;
        if (++count > kMaxSummaryLinks)
            break;
        seen[size_t(piece.link)] = true;
        const HtmlLink& link = m_page.links[size_t(piece.link)];
        wchar_t numbers[96];
        wsprintfW(numbers, L"LINK\t%d\t%d\t%d\t%d\t%d\t", piece.link, piece.x, piece.y - m_scrollY,
                  piece.width, piece.height);
        text += numbers + link.target + L"\t" + link.href + L"\n";
    }
    SetWindowTextW(m_hwnd, text.c_str());
}
