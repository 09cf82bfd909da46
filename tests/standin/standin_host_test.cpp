// The stand-in engine created through the registry by a small OLE container of its own,
// loading pages from the demo platform (VELMORA_PLATFORM, set by tests/e2e/harness.py).
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <wininet.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const CLSID kClsidWebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const IID kIidCustomDoc = {
    0x3050f3f0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

std::wstring PlatformBase() {
    wchar_t buffer[256] = {};
    GetEnvironmentVariableW(L"VELMORA_PLATFORM", buffer, 256);
    return buffer;
}

// The platform's request log, fetched over HTTP like any other page.
std::string PlatformLog() {
    std::string text;
    HINTERNET session =
        InternetOpenW(L"standin-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session)
        return text;
    const std::wstring url = PlatformBase() + L"/__platform/log";
    HINTERNET request = InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request) {
        char buffer[8192];
        DWORD got = 0;
        while (InternetReadFile(request, buffer, sizeof(buffer), &got) && got > 0)
            text.append(buffer, got);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return text;
}

struct Event {
    DISPID id = 0;
    IDispatch* disp = nullptr; // identity only
    std::wstring url;
    std::wstring text; // title, headers or target frame
    LONG status = 0;
    std::string post;
};

std::wstring VariantText(const VARIANT* v) {
    while (v && V_VT(v) == (VT_BYREF | VT_VARIANT))
        v = V_VARIANTREF(v);
    if (v && V_VT(v) == VT_BSTR && V_BSTR(v))
        return V_BSTR(v);
    return std::wstring();
}

std::string VariantBytes(const VARIANT* v) {
    while (v && V_VT(v) == (VT_BYREF | VT_VARIANT))
        v = V_VARIANTREF(v);
    if (!v || V_VT(v) != (VT_ARRAY | VT_UI1))
        return std::string();
    SAFEARRAY* array = V_ARRAY(v);
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    void* data = nullptr;
    if (high < low || FAILED(SafeArrayAccessData(array, &data)))
        return std::string();
    std::string bytes(static_cast<char*>(data), size_t(high - low + 1));
    SafeArrayUnaccessData(array);
    return bytes;
}

// Records DWebBrowserEvents2 and answers Cancel as the test asks.
class EventSink : public IDispatch {
public:
    std::vector<Event> events;
    std::function<bool(const std::wstring&)> cancelBefore = [](const std::wstring&) {
        return false;
    };
    bool cancelNewWindow = true;
    bool cancelError = true;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        Event e;
        e.id = id;
        VARIANT* a = p->rgvarg; // reversed
        switch (id) {
        case DISPID_BEFORENAVIGATE2:
            EXPECT_EQ(7u, p->cArgs);
            EXPECT_EQ(VT_DISPATCH, V_VT(&a[6]));
            EXPECT_EQ(VT_BYREF | VT_VARIANT, V_VT(&a[5]));
            EXPECT_EQ(VT_BYREF | VT_BOOL, V_VT(&a[0]));
            e.disp = V_DISPATCH(&a[6]);
            e.url = VariantText(&a[5]);
            e.post = VariantBytes(&a[2]);
            e.text = VariantText(&a[1]);
            if (cancelBefore(e.url))
                *V_BOOLREF(&a[0]) = VARIANT_TRUE;
            break;
        case DISPID_NAVIGATECOMPLETE2:
        case DISPID_DOCUMENTCOMPLETE:
            EXPECT_EQ(2u, p->cArgs);
            e.disp = V_DISPATCH(&a[1]);
            e.url = VariantText(&a[0]);
            break;
        case DISPID_TITLECHANGE:
            EXPECT_EQ(VT_BSTR, V_VT(&a[0]));
            e.text = V_BSTR(&a[0]) ? V_BSTR(&a[0]) : L"";
            break;
        case DISPID_NAVIGATEERROR: {
            EXPECT_EQ(5u, p->cArgs);
            e.disp = V_DISPATCH(&a[4]);
            e.url = VariantText(&a[3]);
            const VARIANT* status = V_VARIANTREF(&a[1]);
            e.status = V_VT(status) == VT_I4 ? V_I4(status) : 0;
            if (cancelError)
                *V_BOOLREF(&a[0]) = VARIANT_TRUE;
            break;
        }
        case DISPID_NEWWINDOW3:
            EXPECT_EQ(5u, p->cArgs);
            EXPECT_EQ(VT_BYREF | VT_DISPATCH, V_VT(&a[4]));
            e.url = V_BSTR(&a[0]) ? V_BSTR(&a[0]) : L"";
            e.text = V_BSTR(&a[1]) ? V_BSTR(&a[1]) : L""; // the page that asked
            if (cancelNewWindow)
                *V_BOOLREF(&a[3]) = VARIANT_TRUE;
            break;
        case DISPID_NEWWINDOW2:
            EXPECT_EQ(2u, p->cArgs);
            if (cancelNewWindow)
                *V_BOOLREF(&a[0]) = VARIANT_TRUE;
            break;
        default:
            return S_OK;
        }
        events.push_back(e);
        return S_OK;
    }

    const Event* Find(DISPID id, const std::wstring& urlPart) const {
        for (const Event& e : events) {
            if (e.id == id && e.url.find(urlPart) != std::wstring::npos)
                return &e;
        }
        return nullptr;
    }
    const Event* FindExact(DISPID id, const std::wstring& url) const {
        for (const Event& e : events) {
            if (e.id == id && e.url == url)
                return &e;
        }
        return nullptr;
    }
    size_t Count(DISPID id) const {
        size_t n = 0;
        for (const Event& e : events)
            n += e.id == id;
        return n;
    }
};

// A document-host UI handler that counts the questions it is asked.
class UIHandler : public IDocHostUIHandler {
public:
    int hostInfo = 0;
    int contextMenu = 0;
    DWORD lastMenuId = 0xFFFF;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDocHostUIHandler) {
            *out = static_cast<IDocHostUIHandler*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT*, IUnknown*, IDispatch*) override {
        ++contextMenu;
        lastMenuId = id;
        return S_OK; // handled: no menu
    }
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
        ++hostInfo;
        EXPECT_EQ(sizeof(DOCHOSTUIINFO), info->cbSize);
        info->dwFlags |= DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                     IOleInPlaceFrame*, IOleInPlaceUIWindow*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override {
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override {
        *key = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override {
        *out = nullptr;
        return S_FALSE;
    }
};

// The container: client site and in-place site of one window; its UI handler is `siteHandler`.
class Site : public IOleClientSite, public IOleInPlaceSite {
public:
    HWND window = nullptr;
    UIHandler siteHandler;
    int activations = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IDocHostUIHandler)
            *out = static_cast<IDocHostUIHandler*>(&siteHandler);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        *out = window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
        ++activations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        GetClientRect(window, pos);
        *clip = *pos;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
};

struct Link {
    int x = 0, y = 0;
    std::wstring target, href;
};

// Links of the page as the view publishes them in its window text.
std::vector<Link> ViewLinks(HWND view) {
    std::vector<Link> links;
    wchar_t text[16384] = {};
    GetWindowTextW(view, text, 16383);
    std::wstringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line)) {
        std::vector<std::wstring> fields;
        std::wstringstream parts(line);
        std::wstring field;
        while (std::getline(parts, field, L'\t'))
            fields.push_back(field);
        if (fields.size() >= 8 && fields[0] == L"LINK") {
            Link link;
            link.x = _wtoi(fields[2].c_str()) + 2;
            link.y = _wtoi(fields[3].c_str()) + _wtoi(fields[5].c_str()) / 2;
            link.target = fields[6];
            link.href = fields[7];
            links.push_back(link);
        }
    }
    return links;
}

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
            c == L'-' || c == L'_' || c == L'.') {
            out.push_back(c);
        } else {
            wchar_t hex[8];
            wsprintfW(hex, L"%%%02X", unsigned(c) & 0xFF);
            out += hex;
        }
    }
    return out;
}

class StandinHostTest : public ::testing::Test {
protected:
    // One host window for all the tests: destroying a shown top-level window under a screen
    // without a window manager costs Wine two seconds.
    static void SetUpTestSuite() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"StandinTestHost";
        RegisterClassW(&wc);
        s_window = CreateWindowExW(0, L"StandinTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   0, 0, 800, 600, nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite() {
        if (s_window)
            DestroyWindow(s_window);
        s_window = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(PlatformBase().empty())
            << "run through tests/e2e/harness.py with-platform (VELMORA_PLATFORM is not set)";
        OleInitialize(nullptr);
        m_site.window = s_window;
        ASSERT_TRUE(m_site.window);
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(kClsidWebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IOleObject,
                                                  reinterpret_cast<void**>(&m_ole)));
        ASSERT_TRUE(GetModuleHandleW(L"StandinBrowser.dll"))
            << "CLSID_WebBrowser is not the stand-in in this prefix";
        DWORD misc = 0;
        m_ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
        EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
        ASSERT_HRESULT_SUCCEEDED(m_ole->SetClientSite(&m_site));
        RECT rc;
        GetClientRect(m_site.window, &rc);
        ASSERT_HRESULT_SUCCEEDED(
            m_ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &m_site, 0, m_site.window, &rc));
        ASSERT_HRESULT_SUCCEEDED(
            m_ole->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser)));
        IConnectionPointContainer* container = nullptr;
        ASSERT_HRESULT_SUCCEEDED(m_ole->QueryInterface(IID_IConnectionPointContainer,
                                                       reinterpret_cast<void**>(&container)));
        ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_point));
        container->Release();
        ASSERT_HRESULT_SUCCEEDED(m_point->Advise(static_cast<IDispatch*>(&m_sink), &m_cookie));
        IOleInPlaceObject* inPlace = nullptr;
        ASSERT_HRESULT_SUCCEEDED(
            m_ole->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)));
        inPlace->GetWindow(&m_view);
        inPlace->Release();
        ASSERT_TRUE(IsWindow(m_view));
        EXPECT_EQ(m_site.window, GetParent(m_view));
        EXPECT_EQ(1, m_site.activations);
    }

    void TearDown() override {
        if (m_point) {
            m_point->Unadvise(m_cookie);
            m_point->Release();
        }
        if (m_browser)
            m_browser->Release();
        if (m_ole) {
            m_ole->Close(OLECLOSE_NOSAVE);
            m_ole->SetClientSite(nullptr);
            m_ole->Release();
        }
        OleUninitialize();
    }

    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            Pump();
        }
        return true;
    }

    HRESULT Go(const std::wstring& url) {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(url.c_str());
        VARIANT empty;
        VariantInit(&empty);
        const HRESULT hr = m_browser->Navigate2(&v, &empty, &empty, &empty, &empty);
        VariantClear(&v);
        return hr;
    }

    bool Completed(const std::wstring& urlPart) {
        return WaitFor([&] { return m_sink.Find(DISPID_DOCUMENTCOMPLETE, urlPart) != nullptr; });
    }

    bool CompletedExact(const std::wstring& url) {
        return WaitFor([&] { return m_sink.FindExact(DISPID_DOCUMENTCOMPLETE, url) != nullptr; });
    }

    // Whether the platform saw a request for /t/page.html with exactly this query.
    static bool Requested(const std::string& query) {
        return PlatformLog().find("\"query\": \"" + query + "\"") != std::string::npos;
    }

    std::wstring Page(const std::wstring& query) {
        return PlatformBase() + L"/t/page.html?" + query;
    }

    IDispatch* BrowserDispatch() { return static_cast<IDispatch*>(m_browser); }

    static HWND s_window;
    Site m_site;
    EventSink m_sink;
    IOleObject* m_ole = nullptr;
    IWebBrowser2* m_browser = nullptr;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = 0;
    HWND m_view = nullptr;
};

HWND StandinHostTest::s_window = nullptr;

TEST_F(StandinHostTest, PageLoadFiresTheTopLevelEventsInOrder) {
    const std::wstring url = Page(L"title=Hello%20Stand-in&m=order1");
    ASSERT_HRESULT_SUCCEEDED(Go(url));
    // BeforeNavigate2 comes synchronously, inside Navigate2, as the real control does it.
    ASSERT_EQ(1u, m_sink.Count(DISPID_BEFORENAVIGATE2));
    ASSERT_TRUE(Completed(L"order1"));
    std::vector<DISPID> order;
    for (const Event& e : m_sink.events)
        order.push_back(e.id);
    EXPECT_EQ((std::vector<DISPID>{DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2,
                                   DISPID_TITLECHANGE, DISPID_DOCUMENTCOMPLETE}),
              order);
    EXPECT_EQ(url, m_sink.events[0].url);
    EXPECT_EQ(url, m_sink.events[1].url);
    EXPECT_EQ(L"Hello Stand-in", m_sink.events[2].text);
    EXPECT_EQ(url, m_sink.events[3].url);
    // The browser object reported is the control itself, so hosts can tell the top frame.
    for (const Event& e : m_sink.events) {
        if (e.id != DISPID_TITLECHANGE) {
            EXPECT_EQ(BrowserDispatch(), e.disp);
        }
    }
    BSTR location = nullptr;
    ASSERT_HRESULT_SUCCEEDED(m_browser->get_LocationURL(&location));
    EXPECT_EQ(url, std::wstring(location));
    SysFreeString(location);
    // The site's handler was asked for its host information for the new document.
    EXPECT_GE(m_site.siteHandler.hostInfo, 1);
}

TEST_F(StandinHostTest, DocumentObjectsAnswerWhatHostsAsk) {
    IDispatch* none = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(S_FALSE, m_browser->get_Document(&none));
    EXPECT_EQ(nullptr, none);
    ASSERT_HRESULT_SUCCEEDED(Go(Page(L"title=Doc%20Title&m=doc1")));
    ASSERT_TRUE(Completed(L"doc1"));
    IDispatch* disp = nullptr;
    ASSERT_EQ(S_OK, m_browser->get_Document(&disp));
    IHTMLDocument2* doc = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        disp->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&doc)));
    BSTR title = nullptr;
    ASSERT_HRESULT_SUCCEEDED(doc->get_title(&title));
    EXPECT_STREQ(L"Doc Title", title);
    SysFreeString(title);
    IHTMLWindow2* window = nullptr;
    ASSERT_HRESULT_SUCCEEDED(doc->get_parentWindow(&window));
    EXPECT_HRESULT_SUCCEEDED(window->focus());
    EXPECT_EQ(m_view, GetFocus());
    window->Release();
    IHTMLElement* element = nullptr;
    ASSERT_HRESULT_SUCCEEDED(doc->get_body(&element));
    IHTMLBodyElement* body = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        element->QueryInterface(IID_IHTMLBodyElement, reinterpret_cast<void**>(&body)));
    BSTR no = SysAllocString(L"no");
    EXPECT_HRESULT_SUCCEEDED(body->put_scroll(no));
    SysFreeString(no);
    body->Release();
    element->Release();
    ICustomDoc* custom = nullptr;
    ASSERT_HRESULT_SUCCEEDED(doc->QueryInterface(kIidCustomDoc, reinterpret_cast<void**>(&custom)));
    UIHandler direct;
    EXPECT_HRESULT_SUCCEEDED(custom->SetUIHandler(&direct));
    // A right click now asks the document's own handler, not the site's.
    const int siteMenus = m_site.siteHandler.contextMenu;
    SendMessageW(m_view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 300));
    SendMessageW(m_view, WM_RBUTTONUP, 0, MAKELPARAM(300, 300));
    Pump();
    EXPECT_EQ(1, direct.contextMenu);
    EXPECT_EQ(DWORD(CONTEXT_MENU_DEFAULT), direct.lastMenuId);
    EXPECT_EQ(siteMenus, m_site.siteHandler.contextMenu);
    EXPECT_HRESULT_SUCCEEDED(custom->SetUIHandler(nullptr));
    custom->Release();
    doc->Release();
    disp->Release();
}

TEST_F(StandinHostTest, RightClickWithoutDocumentHandlerAsksTheSite) {
    ASSERT_HRESULT_SUCCEEDED(Go(Page(L"title=Menu&m=menu1")));
    ASSERT_TRUE(Completed(L"menu1"));
    SendMessageW(m_view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 300));
    SendMessageW(m_view, WM_RBUTTONUP, 0, MAKELPARAM(300, 300));
    Pump();
    EXPECT_EQ(1, m_site.siteHandler.contextMenu);
}

TEST_F(StandinHostTest, CancelAtBeforeNavigateSendsNoRequest) {
    m_sink.cancelBefore = [](const std::wstring& url) {
        return url.find(L"cancel_me_7") != std::wstring::npos;
    };
    ASSERT_HRESULT_SUCCEEDED(Go(Page(L"m=cancel_me_7")));
    ASSERT_HRESULT_SUCCEEDED(Go(Page(L"m=after_cancel")));
    ASSERT_TRUE(Completed(L"after_cancel"));
    EXPECT_TRUE(m_sink.Find(DISPID_BEFORENAVIGATE2, L"cancel_me_7"));
    EXPECT_FALSE(m_sink.Find(DISPID_NAVIGATECOMPLETE2, L"cancel_me_7"));
    const std::string log = PlatformLog();
    EXPECT_NE(std::string::npos, log.find("after_cancel"));
    EXPECT_EQ(std::string::npos, log.find("cancel_me_7"));
}

TEST_F(StandinHostTest, FailedLoadsFireNavigateError) {
    struct Case {
        std::wstring url;
        LONG httpStatus; // 0: a failure code is expected instead
    };
    const Case cases[] = {
        {Page(L"status=404&m=missing1"), 404},
        {PlatformBase() + L"/no/such/page?m=missing2", 404},
        {Page(L"status=500&m=broken3"), 500},
        {L"http://127.0.0.1:1/unreachable", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.url.begin(), c.url.end()));
        m_sink.events.clear();
        ASSERT_HRESULT_SUCCEEDED(Go(c.url));
        ASSERT_TRUE(WaitFor([&] { return m_sink.Find(DISPID_NAVIGATEERROR, c.url) != nullptr; }));
        const Event* error = m_sink.Find(DISPID_NAVIGATEERROR, c.url);
        EXPECT_EQ(BrowserDispatch(), error->disp);
        if (c.httpStatus)
            EXPECT_EQ(c.httpStatus, error->status);
        else
            EXPECT_TRUE(FAILED(error->status)) << std::hex << error->status;
        Pump();
        // Cancelled by the host: no error page is loaded.
        EXPECT_FALSE(m_sink.Find(DISPID_NAVIGATECOMPLETE2, c.url));
    }
}

TEST_F(StandinHostTest, BlankTargetLinkRaisesNewWindowEvents) {
    const std::wstring target = Page(L"m=new_window_target");
    ASSERT_HRESULT_SUCCEEDED(Go(Page(L"title=Links&m=links1&blank=" + Escape(target))));
    ASSERT_TRUE(Completed(L"links1"));
    const std::vector<Link> links = ViewLinks(m_view);
    ASSERT_EQ(1u, links.size());
    EXPECT_EQ(L"_blank", links[0].target);
    EXPECT_EQ(target, links[0].href);
    m_sink.events.clear();
    PostMessageW(m_view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(links[0].x, links[0].y));
    PostMessageW(m_view, WM_LBUTTONUP, 0, MAKELPARAM(links[0].x, links[0].y));
    ASSERT_TRUE(WaitFor([&] { return m_sink.Count(DISPID_NEWWINDOW2) > 0; }));
    ASSERT_GE(m_sink.events.size(), 2u);
    EXPECT_EQ(DISPID_NEWWINDOW3, m_sink.events[0].id);
    EXPECT_EQ(target, m_sink.events[0].url);
    EXPECT_NE(std::wstring::npos, m_sink.events[0].text.find(L"links1"));
    EXPECT_EQ(DISPID_NEWWINDOW2, m_sink.events[1].id);
    // Cancelled: nothing loads, neither here nor elsewhere.
    ASSERT_HRESULT_SUCCEEDED(Go(Page(L"m=after_new_window")));
    ASSERT_TRUE(Completed(L"after_new_window"));
    EXPECT_FALSE(m_sink.FindExact(DISPID_BEFORENAVIGATE2, target));
    EXPECT_FALSE(Requested("m=new_window_target"));
    EXPECT_TRUE(Requested("m=after_new_window"));
}

TEST_F(StandinHostTest, LinksNavigateInPlace) {
    struct Case {
        const wchar_t* kind; // "link" or "blank"
        bool cancelNewWindow;
    };
    // An ordinary link, and a new-window link that the host lets through.
    const Case cases[] = {{L"link", true}, {L"blank", false}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        m_sink.cancelNewWindow = c.cancelNewWindow;
        const std::wstring mark = L"followed_" + std::to_wstring(++n);
        const std::wstring target = Page(L"title=Target&m=" + mark);
        const std::wstring from = L"from_" + std::to_wstring(n);
        const std::wstring start = Page(L"m=" + from + L"&" + c.kind + L"=" + Escape(target));
        ASSERT_HRESULT_SUCCEEDED(Go(start));
        ASSERT_TRUE(CompletedExact(start));
        const std::vector<Link> links = ViewLinks(m_view);
        ASSERT_EQ(1u, links.size());
        PostMessageW(m_view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(links[0].x, links[0].y));
        PostMessageW(m_view, WM_LBUTTONUP, 0, MAKELPARAM(links[0].x, links[0].y));
        ASSERT_TRUE(CompletedExact(target));
        EXPECT_TRUE(m_sink.FindExact(DISPID_BEFORENAVIGATE2, target));
        EXPECT_TRUE(Requested("title=Target&m=" + std::string(mark.begin(), mark.end())));
    }
}

TEST_F(StandinHostTest, MetaRefreshIsFollowed) {
    const std::wstring second = Page(L"title=Second&m=refresh_target");
    const std::wstring first = Page(L"title=First&m=refresh_first&refresh=0&to=" + Escape(second));
    ASSERT_HRESULT_SUCCEEDED(Go(first));
    ASSERT_TRUE(CompletedExact(first));
    ASSERT_TRUE(CompletedExact(second));
    // Followed like a navigation of the page's own: the host is asked first.
    EXPECT_TRUE(m_sink.FindExact(DISPID_BEFORENAVIGATE2, second));
    EXPECT_TRUE(m_sink.FindExact(DISPID_NAVIGATECOMPLETE2, second));
    std::vector<std::wstring> titles;
    for (const Event& e : m_sink.events) {
        if (e.id == DISPID_TITLECHANGE)
            titles.push_back(e.text);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"First", L"Second"}), titles);
}

TEST_F(StandinHostTest, PostDataAndHeadersReachTheServer) {
    const std::string body = "user=alice&mark=posted_form_9";
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(body.size()));
    void* data = nullptr;
    ASSERT_HRESULT_SUCCEEDED(SafeArrayAccessData(array, &data));
    memcpy(data, body.data(), body.size());
    SafeArrayUnaccessData(array);
    VARIANT post;
    V_VT(&post) = VT_ARRAY | VT_UI1;
    V_ARRAY(&post) = array;
    // Hosts also pass the post data by reference; both forms are understood.
    VARIANT postRef;
    V_VT(&postRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&postRef) = &post;
    VARIANT headers;
    V_VT(&headers) = VT_BSTR;
    V_BSTR(&headers) = SysAllocString(L"Content-Type: application/x-www-form-urlencoded\r\n");
    VARIANT url;
    V_VT(&url) = VT_BSTR;
    V_BSTR(&url) = SysAllocString(Page(L"m=post_target").c_str());
    VARIANT empty;
    VariantInit(&empty);
    ASSERT_HRESULT_SUCCEEDED(m_browser->Navigate2(&url, &empty, &empty, &postRef, &headers));
    ASSERT_TRUE(Completed(L"post_target"));
    const Event* before = m_sink.Find(DISPID_BEFORENAVIGATE2, L"post_target");
    ASSERT_TRUE(before);
    EXPECT_EQ(body, before->post);
    EXPECT_EQ(L"Content-Type: application/x-www-form-urlencoded\r\n", before->text);
    const std::string log = PlatformLog();
    const size_t at = log.find("\"body\": \"user=alice&mark=posted_form_9\"");
    ASSERT_NE(std::string::npos, at) << log;
    const size_t lineStart = log.rfind('\n', at) + 1;
    EXPECT_NE(std::string::npos,
              log.substr(lineStart, at - lineStart).find("\"method\": \"POST\""));
    VariantClear(&url);
    VariantClear(&headers);
    VariantClear(&post);
}

TEST_F(StandinHostTest, PaintsTextAndLinks) {
    const std::wstring page = Page(
        L"title=%E4%B8%AD%E6%96%87%20Title&text=Some%20words&link=http%3A%2F%2Fx%2Fa&m=paint1");
    ASSERT_HRESULT_SUCCEEDED(Go(page));
    ASSERT_TRUE(CompletedExact(page));
    const std::vector<Link> links = ViewLinks(m_view);
    ASSERT_EQ(1u, links.size());
    InvalidateRect(m_view, nullptr, TRUE);
    UpdateWindow(m_view);
    HDC dc = GetDC(m_view);
    RECT client;
    GetClientRect(m_view, &client);
    // Link text is blue; the rest of the page is white and dark text.
    int blue = 0, dark = 0;
    for (int y = links[0].y - 10; y < links[0].y + 10; ++y) {
        for (int x = links[0].x; x < links[0].x + 60; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            blue += GetBValue(c) > 150 && GetRValue(c) < 100 && GetGValue(c) < 100;
        }
    }
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 300; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            dark += GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
        }
    }
    const COLORREF corner = GetPixel(dc, client.right - 2, client.bottom - 2);
    ReleaseDC(m_view, dc);
    EXPECT_GT(blue, 10);
    EXPECT_GT(dark, 20); // the title
    EXPECT_EQ(RGB(255, 255, 255), corner);
}

TEST_F(StandinHostTest, BadArgumentsAreRefused) {
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 5;
    EXPECT_EQ(E_INVALIDARG, m_browser->Navigate2(&number, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, m_browser->Navigate2(nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, m_sink.events.size());
    // javascript: addresses are reported and then ignored; nothing is requested.
    ASSERT_HRESULT_SUCCEEDED(Go(L"javascript:void(0)"));
    EXPECT_EQ(1u, m_sink.Count(DISPID_BEFORENAVIGATE2));
    Pump();
    EXPECT_EQ(0u, m_sink.Count(DISPID_NAVIGATECOMPLETE2));
}

} // namespace
