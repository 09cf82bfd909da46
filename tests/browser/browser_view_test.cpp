// The browser view with the platform's real WebBrowser control in a real window, navigating
// against the loopback server started around this program.
#include "BrowserTestSupport.h"

#include "app/WinHandles.h"
#include "browser/BrowserView.h"

#include <exdisp.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using test::LoopbackServer;
using test::ParentWindow;
using test::PumpUntil;
using test::RecordingForm;

class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
::testing::Environment* const g_ole = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

const RECT kViewRect = {10, 20, 410, 320};

ComPtr<IWebBrowser2> BrowserOf(const CBrowserView& view) {
    ComPtr<IWebBrowser2> browser;
    view.QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()));
    return browser;
}

// The document-host answers the control gets from its client site.
ComPtr<IDocHostUIHandler> HostHandlerOf(const CBrowserView& view) {
    ComPtr<IOleObject> ole;
    ComPtr<IOleClientSite> site;
    ComPtr<IDocHostUIHandler> handler;
    if (SUCCEEDED(view.QueryControl(IID_IOleObject, reinterpret_cast<void**>(ole.Out()))) &&
        SUCCEEDED(ole->GetClientSite(site.Out())) && site)
        site.As(&handler);
    return handler;
}

class BrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoopbackServer::Available())
            << "run through with_http_server.py (ctest does), which provides the server";
        ASSERT_NE(m_parent.Get(), nullptr);
    }
    // What every form does: create, register, block new windows.
    void CreateView() {
        ASSERT_NE(m_view->Create(L"about:blank", kViewRect, m_parent.Get()), nullptr);
        m_form = std::make_unique<RecordingForm>(*m_view);
        m_view->m_bBlockNewWindow = true;
    }
    bool WaitForEvent(unsigned code, DWORD timeoutMs = 30000) {
        return PumpUntil([&] { return m_form->Has(code); }, timeoutMs);
    }

    ParentWindow m_parent;
    std::unique_ptr<CBrowserView> m_view = std::make_unique<CBrowserView>();
    std::unique_ptr<RecordingForm> m_form;
};

TEST_F(BrowserViewTest, CreateHostsTheControlInAChildWindowOfItsOwnClass) {
    CreateView();
    const HWND hwnd = m_view->GetHwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsChild(m_parent.Get(), hwnd));
    EXPECT_EQ(GetParent(hwnd), m_parent.Get());
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(style & WS_CLIPCHILDREN);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);
    EXPECT_EQ(GetDlgCtrlID(hwnd), 0);
    wchar_t text[64] = {};
    GetWindowTextW(hwnd, text, 64);
    EXPECT_STREQ(text, L"about:blank");
    wchar_t viewClass[64] = {};
    wchar_t parentClass[64] = {};
    GetClassNameW(hwnd, viewClass, 64);
    GetClassNameW(m_parent.Get(), parentClass, 64);
    EXPECT_STRNE(viewClass, parentClass);
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, m_parent.Get(), reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, kViewRect.left);
    EXPECT_EQ(rc.top, kViewRect.top);
    EXPECT_EQ(rc.right, kViewRect.right);
    EXPECT_EQ(rc.bottom, kViewRect.bottom);

    ComPtr<IWebBrowser2> browser = BrowserOf(*m_view);
    ASSERT_TRUE(browser);
    VARIANT_BOOL dropTarget = VARIANT_TRUE;
    EXPECT_EQ(browser->get_RegisterAsDropTarget(&dropTarget), S_OK);
    EXPECT_EQ(dropTarget, VARIANT_FALSE);
    // The control keeps the event sink, and the in-place control window lives inside ours.
    EXPECT_GT(m_view->m_nRefCount, 0);
    EXPECT_NE(GetWindow(hwnd, GW_CHILD), nullptr);
    EXPECT_TRUE(HostHandlerOf(*m_view));
    // A second Create on the same view makes no second window.
    EXPECT_EQ(m_view->Create(L"about:blank", kViewRect, m_parent.Get()), nullptr);
}

TEST_F(BrowserViewTest, DestroyingTheFormsWindowReleasesTheControl) {
    CreateView();
    const HWND hwnd = m_view->GetHwnd();
    ComPtr<IOleObject> ole;
    ASSERT_EQ(m_view->QueryControl(IID_IOleObject, reinterpret_cast<void**>(ole.Out())), S_OK);
    m_parent.Destroy();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(m_view->GetHwnd(), nullptr);
    // The control has let go of our site and our sink; no event reaches the form any more.
    ComPtr<IOleClientSite> site;
    ole->GetClientSite(site.Out());
    EXPECT_FALSE(site);
    ole.Reset();
    EXPECT_TRUE(PumpUntil([&] { return m_view->m_nRefCount == 0; }, 10000)) << m_view->m_nRefCount;
    EXPECT_FALSE(BrowserOf(*m_view));
    EXPECT_FALSE(m_view->Navigate(LoopbackServer::Url(L"/after-destroy"), std::string()));
    EXPECT_EQ(m_view->GetUrl(), LoopbackServer::Url(L"/after-destroy"));
    m_view->Refresh();       // nothing to refresh, nothing happens
    m_view->FocusDocument(); // likewise
    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = WM_KEYDOWN;
    EXPECT_FALSE(m_view->PreTranslateMessage(&msg));
    EXPECT_TRUE(m_form->events.empty());
}

TEST_F(BrowserViewTest, DestroyingTheViewFirstTakesItsWindowAndHandlers) {
    CreateView();
    const HWND hwnd = m_view->GetHwnd();
    struct Counted : ICWebNotifyEventHandler {
        explicit Counted(int* deleted) : m_deleted(deleted) {}
        ~Counted() override { ++*m_deleted; }
        void OnEvent(unsigned, unsigned, long) override {}
        int* m_deleted;
    };
    int deleted = 0;
    m_view->m_webNotify.AddHandler(new Counted(&deleted));
    m_view->m_webNotify.AddHandler(new Counted(&deleted));
    m_form.reset();
    m_view.reset();
    EXPECT_EQ(deleted, 2);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(IsWindow(m_parent.Get()));
    test::PumpFor(200); // late messages of the control find nothing of the view
    m_parent.Destroy();
}

TEST_F(BrowserViewTest, ViewDestroyedAfterComEndedLeavesTheControlAlone) {
    // The process-exit order: the message loop has ended and COM is shut down before the
    // static forms, with a window possibly still up, are destroyed.
    CreateView();
    const HWND hwnd = m_view->GetHwnd();
    ComPtr<IOleObject> ole;
    ASSERT_EQ(m_view->QueryControl(IID_IOleObject, reinterpret_cast<void**>(ole.Out())), S_OK);
    IOleObject* control = ole.Detach(); // released by hand below, once COM is back
    OleUninitialize();
    m_form.reset();
    m_view.reset();
    const bool windowLeft = IsWindow(hwnd) != FALSE;
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    EXPECT_TRUE(windowLeft);
    ComPtr<IOleClientSite> site;
    control->GetClientSite(site.Out());
    EXPECT_TRUE(site); // never closed
    site.Reset();
    control->Release();
    m_parent.Destroy(); // the window's own destruction still works without its view
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(BrowserViewTest, NavigateReportsTheAddressAndReachesTheServer) {
    CreateView();
    const std::wstring url = LoopbackServer::Url(L"/navigate-page?a=1");
    EXPECT_TRUE(m_view->Navigate(url, std::string()));
    EXPECT_TRUE(m_view->m_bAwaitFirstComplete);
    EXPECT_EQ(m_view->m_pTopDisp, nullptr);
    ASSERT_TRUE(WaitForEvent(WEBNOTIFY_BEFORE_NAVIGATE));
    const auto& first = m_form->events.front();
    EXPECT_EQ(first.code, static_cast<unsigned>(WEBNOTIFY_BEFORE_NAVIGATE));
    EXPECT_EQ(first.url, url);
    EXPECT_EQ(first.lParam, reinterpret_cast<long>(m_view.get()));
    EXPECT_EQ(m_view->GetUrl(), url);
    EXPECT_TRUE(LoopbackServer::WaitFor("/navigate-page?a=1"));
    ComPtr<IWebBrowser2> browser = BrowserOf(*m_view);
    ASSERT_TRUE(browser);
    VARIANT_BOOL silent = VARIANT_FALSE;
    EXPECT_EQ(browser->get_Silent(&silent), S_OK);
    EXPECT_EQ(silent, VARIANT_TRUE);
}

TEST_F(BrowserViewTest, HandlerCancelMeansTheServerGetsNoRequest) {
    CreateView();
    m_form->onEvent = [&](const test::WebEvent& e) {
        if (e.code == WEBNOTIFY_BEFORE_NAVIGATE && e.url.find(L"wd_entergame=1") != e.url.npos)
            m_view->m_bCancelNavigate = true;
    };
    m_view->Navigate(LoopbackServer::Url(L"/cancelled?wd_entergame=1"), std::string());
    ASSERT_TRUE(WaitForEvent(WEBNOTIFY_BEFORE_NAVIGATE));
    // A later navigation that goes through shows the server has had its chance.
    m_view->Navigate(LoopbackServer::Url(L"/after-cancel"), std::string());
    ASSERT_TRUE(LoopbackServer::WaitFor("/after-cancel"));
    test::PumpFor(300);
    EXPECT_FALSE(LoopbackServer::Saw("/cancelled?wd_entergame=1"));
}

TEST_F(BrowserViewTest, ProgramLinksAndNewWindowsAreCancelledAndReported) {
    CreateView();
    const std::wstring program = LoopbackServer::Url(L"/files/setup.exe");
    m_view->Navigate(program, std::string());
    ASSERT_TRUE(WaitForEvent(WEBNOTIFY_NEW_WINDOW));
    EXPECT_EQ(m_form->events.back().url, program);
    EXPECT_EQ(m_view->GetUrl(), program);

    // The control asks for a new window: the view cancels it, re-navigates itself, and the
    // control's BeforeNavigate2 for that is cancelled as 10.
    m_form->events.clear();
    const std::wstring popup = LoopbackServer::Url(L"/popup-window");
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* out = nullptr;
    test::EventArgs args;
    args.DispatchOut(&out).Cancel(&cancel).Long(0).Text(LoopbackServer::Url(L"/")).Text(popup);
    EXPECT_EQ(args.Invoke(m_view->GetEventSink(), DISPID_NEWWINDOW3), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    ASSERT_TRUE(WaitForEvent(WEBNOTIFY_NEW_WINDOW));
    EXPECT_EQ(m_form->events.front().code, static_cast<unsigned>(WEBNOTIFY_NEW_WINDOW));
    EXPECT_EQ(m_form->events.front().url, popup);
    EXPECT_EQ(m_view->GetUrl(), popup);
    EXPECT_FALSE(m_view->m_bNewWindowPending);
    EXPECT_TRUE(m_view->m_bAwaitFirstComplete); // armed again by the re-navigation

    m_view->Navigate(LoopbackServer::Url(L"/after-popup"), std::string());
    ASSERT_TRUE(LoopbackServer::WaitFor("/after-popup"));
    test::PumpFor(300);
    EXPECT_FALSE(LoopbackServer::Saw("/files/setup.exe"));
    EXPECT_FALSE(LoopbackServer::Saw("/popup-window"));
}

TEST_F(BrowserViewTest, UnreachableServerIsReportedAsNavigateError) {
    CreateView();
    const std::wstring url = LoopbackServer::ClosedPortUrl(L"/nobody-home");
    m_view->Navigate(url, std::string());
    ASSERT_TRUE(WaitForEvent(WEBNOTIFY_NAVIGATE_ERROR));
    EXPECT_EQ(m_form->Codes().front(), static_cast<unsigned>(WEBNOTIFY_BEFORE_NAVIGATE));
    EXPECT_EQ(m_view->GetUrl(), url);
}

TEST_F(BrowserViewTest, PostBodyAndHeaderReachTheServer) {
    CreateView();
    // Already encoded text goes out byte for byte; so do bytes nobody encoded.
    const std::string body = "user=%E5%BC%A0&pass=a%26b&raw=\xE5\xBC\xA0+\x01&empty=";
    EXPECT_TRUE(m_view->Navigate(LoopbackServer::Url(L"/form-post"), body));
    ASSERT_TRUE(LoopbackServer::WaitFor("/form-post"));
    const auto requests = LoopbackServer::Requests();
    const auto it =
        std::find_if(requests.begin(), requests.end(),
                     [](const test::ServerRequest& r) { return r.path == "/form-post"; });
    ASSERT_NE(it, requests.end());
    EXPECT_EQ(it->method, "POST");
    EXPECT_EQ(it->contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(it->body, body);
    EXPECT_TRUE(m_view->m_bAwaitFirstComplete);
}

TEST_F(BrowserViewTest, HandlerNavigatesAnotherViewWhileItsEventIsDelivered) {
    // The sign-in screen hands the platform's return address to the login screen's view from
    // inside its own 7; the login view may report its own events during that call or later.
    CreateView();
    CBrowserView login;
    ASSERT_NE(login.Create(L"about:blank", kViewRect, m_parent.Get()), nullptr);
    RecordingForm loginForm(login);
    login.m_bBlockNewWindow = true;
    const std::wstring returned = LoopbackServer::Url(L"/login?go=nested");
    m_form->onEvent = [&](const test::WebEvent& e) {
        if (e.code == WEBNOTIFY_BEFORE_NAVIGATE && e.url.find(L"/qq-return") != e.url.npos) {
            EXPECT_TRUE(login.Navigate(returned, std::string()));
        }
    };
    m_view->Navigate(LoopbackServer::Url(L"/qq-return"), std::string());
    ASSERT_TRUE(WaitForEvent(WEBNOTIFY_BEFORE_NAVIGATE));
    ASSERT_TRUE(PumpUntil([&] { return loginForm.Has(WEBNOTIFY_BEFORE_NAVIGATE); }));
    EXPECT_EQ(loginForm.events.front().url, returned);
    EXPECT_EQ(loginForm.events.front().lParam, reinterpret_cast<long>(&login));
    EXPECT_EQ(login.GetUrl(), returned);
    EXPECT_EQ(m_view->GetUrl(), LoopbackServer::Url(L"/qq-return"));
    EXPECT_TRUE(LoopbackServer::WaitFor("/login?go=nested"));
}

TEST_F(BrowserViewTest, FormClosingItsWindowWhileHandlingAnEvent) {
    // A form may close itself while it handles an event (as the sign-in and game screens do
    // on their return addresses): during Navigate2, and from the control's own message work.
    const struct {
        const char* name;
        unsigned closeOn;
        std::wstring url;
    } cases[] = {
        {"before navigating", WEBNOTIFY_BEFORE_NAVIGATE,
         LoopbackServer::Url(L"/game?wd_returnlogin=1")},
        {"on a failed navigation", WEBNOTIFY_NAVIGATE_ERROR,
         LoopbackServer::ClosedPortUrl(L"/unreachable")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ParentWindow parent;
        CBrowserView view;
        ASSERT_NE(view.Create(L"about:blank", kViewRect, parent.Get()), nullptr);
        RecordingForm form(view);
        view.m_bBlockNewWindow = true;
        const HWND hwnd = view.GetHwnd();
        form.onEvent = [&](const test::WebEvent& e) {
            if (e.code == c.closeOn)
                parent.Destroy();
        };
        view.Navigate(c.url, std::string());
        ASSERT_TRUE(PumpUntil([&] { return form.Has(c.closeOn); }));
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(view.GetHwnd(), nullptr);
        EXPECT_TRUE(PumpUntil([&] { return view.m_nRefCount == 0; }, 10000)) << view.m_nRefCount;
        const size_t seen = form.events.size();
        test::PumpFor(300);
        EXPECT_EQ(form.events.size(), seen); // nothing after the window went
    }
}

int g_forwarded = 0;
WNDPROC g_hostProc = nullptr;

LRESULT CALLBACK CountingHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_FORWARDMSG)
        ++g_forwarded;
    return CallWindowProcW(g_hostProc, hwnd, message, wParam, lParam);
}

TEST_F(BrowserViewTest, PreTranslateForwardsOnlyInputOfTheViewsWindows) {
    CreateView();
    const HWND hwnd = m_view->GetHwnd();
    const HWND inner = GetWindow(hwnd, GW_CHILD);
    // Count what reaches the host window's accelerator forwarding.
    g_forwarded = 0;
    g_hostProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingHostProc));
    const struct {
        const char* name;
        UINT message;
        HWND target;
        bool forward;
    } cases[] = {
        {"key down on the view", WM_KEYDOWN, hwnd, true},
        {"key up inside the control", WM_KEYUP, inner, true},
        {"character", WM_CHAR, inner, true},
        {"last keyboard message", 0x0109, inner, true},
        {"mouse move", WM_MOUSEMOVE, hwnd, true},
        {"wheel", WM_MOUSEWHEEL, inner, true},
        {"last mouse message", 0x020E, inner, true},
        {"timer", WM_TIMER, hwnd, false},
        {"paint", WM_PAINT, inner, false},
        {"below the keyboard range", 0x00FF, hwnd, false},
        {"between the ranges", 0x010A, hwnd, false},
        {"above the mouse range", 0x020F, hwnd, false},
        {"key for the form itself", WM_KEYDOWN, m_parent.Get(), false},
        {"key for no window", WM_KEYDOWN, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.target == inner) {
            ASSERT_NE(inner, nullptr);
        }
        g_forwarded = 0;
        MSG msg = {};
        msg.hwnd = c.target;
        msg.message = c.message;
        msg.wParam = 'A';
        const bool consumed = m_view->PreTranslateMessage(&msg);
        EXPECT_EQ(g_forwarded, c.forward ? 1 : 0);
        if (!c.forward) {
            EXPECT_FALSE(consumed);
        }
    }
    EXPECT_FALSE(m_view->PreTranslateMessage(nullptr));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_hostProc));
}

// --- the two sets of document-host answers --------------------------------------------------

struct UiCase {
    const char* name;
    std::function<HRESULT(IDocHostUIHandler*)> call;
    HRESULT throughHost;
    HRESULT direct;
};

TEST_F(BrowserViewTest, DocumentHostAnswersThroughTheHostAndDirectly) {
    CreateView();
    ComPtr<IDocHostUIHandler> host = HostHandlerOf(*m_view);
    ASSERT_TRUE(host);
    IDocHostUIHandler* direct = m_view.get();
    POINT pt = {1, 2};
    RECT border = {0, 0, 1, 1};
    MSG msg = {};
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_TAB;
    const UiCase cases[] = {
        {"ShowContextMenu",
         [&](IDocHostUIHandler* h) { return h->ShowContextMenu(0, &pt, nullptr, nullptr); }, S_OK,
         S_FALSE},
        {"ShowUI",
         [](IDocHostUIHandler* h) { return h->ShowUI(0, nullptr, nullptr, nullptr, nullptr); },
         S_OK, E_NOTIMPL},
        {"HideUI", [](IDocHostUIHandler* h) { return h->HideUI(); }, S_OK, S_OK},
        {"UpdateUI", [](IDocHostUIHandler* h) { return h->UpdateUI(); }, S_OK, S_OK},
        {"EnableModeless", [](IDocHostUIHandler* h) { return h->EnableModeless(TRUE); }, S_OK,
         E_NOTIMPL},
        {"OnDocWindowActivate", [](IDocHostUIHandler* h) { return h->OnDocWindowActivate(TRUE); },
         S_OK, E_NOTIMPL},
        {"OnFrameWindowActivate",
         [](IDocHostUIHandler* h) { return h->OnFrameWindowActivate(FALSE); }, S_OK, E_NOTIMPL},
        {"ResizeBorder",
         [&](IDocHostUIHandler* h) { return h->ResizeBorder(&border, nullptr, TRUE); }, S_OK,
         E_NOTIMPL},
        // Through the host the key counts as not handled, so the document still processes it.
        {"TranslateAccelerator",
         [&](IDocHostUIHandler* h) { return h->TranslateAccelerator(&msg, nullptr, 0); }, S_FALSE,
         E_NOTIMPL},
        {"GetOptionKeyPath",
         [](IDocHostUIHandler* h) {
             LPOLESTR key = reinterpret_cast<LPOLESTR>(1);
             const HRESULT hr = h->GetOptionKeyPath(&key, 0);
             return key == nullptr ? hr : E_UNEXPECTED;
         },
         S_OK, S_OK},
        {"GetDropTarget",
         [](IDocHostUIHandler* h) {
             IDropTarget* target = reinterpret_cast<IDropTarget*>(1);
             const HRESULT hr = h->GetDropTarget(nullptr, &target);
             return target == nullptr ? hr : E_UNEXPECTED;
         },
         S_OK, E_NOTIMPL},
        {"TranslateUrl",
         [](IDocHostUIHandler* h) {
             LPWSTR out = reinterpret_cast<LPWSTR>(1);
             wchar_t in[] = L"http://h/";
             const HRESULT hr = h->TranslateUrl(0, in, &out);
             return out == nullptr ? hr : E_UNEXPECTED;
         },
         E_NOTIMPL, E_NOTIMPL},
        {"FilterDataObject",
         [](IDocHostUIHandler* h) {
             IDataObject* out = reinterpret_cast<IDataObject*>(1);
             const HRESULT hr = h->FilterDataObject(nullptr, &out);
             return out == nullptr ? hr : E_UNEXPECTED;
         },
         E_NOTIMPL, E_NOTIMPL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(host.Get()), c.throughHost) << "through the host";
        EXPECT_EQ(c.call(direct), c.direct) << "directly";
    }
    EXPECT_TRUE(m_form->events.empty());
}

TEST_F(BrowserViewTest, HostInformationThroughTheHostAndDirectly) {
    CreateView();
    ComPtr<IDocHostUIHandler> host = HostHandlerOf(*m_view);
    ASSERT_TRUE(host);
    wchar_t css[] = L"body{}";
    wchar_t ns[] = L"ns";
    const auto prepared = [&] {
        DOCHOSTUIINFO info = {};
        info.cbSize = 99;
        info.dwFlags = DOCHOSTUIFLAG_DIALOG; // 0x1, as the control may pass it
        info.dwDoubleClick = DOCHOSTUIDBLCLK_SHOWPROPERTIES;
        info.pchHostCss = css;
        info.pchHostNS = ns;
        return info;
    };

    DOCHOSTUIINFO info = prepared();
    EXPECT_EQ(host->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.cbSize, 99u); // left as passed
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(DOCHOSTUIFLAG_DIALOG));
    EXPECT_EQ(info.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_SHOWPROPERTIES));
    EXPECT_EQ(info.pchHostCss, css);

    const struct {
        bool noScroll;
        DWORD added;
    } cases[] = {{true, 0x20000E}, {false, 0x200006}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.noScroll ? "scroll bars hidden" : "scroll bars shown");
        m_view->m_bNoScroll = c.noScroll;
        info = prepared();
        EXPECT_EQ(m_view->GetHostInfo(&info), S_OK);
        EXPECT_EQ(info.cbSize, 20u);
        EXPECT_EQ(info.dwFlags, c.added | DOCHOSTUIFLAG_DIALOG);
        EXPECT_EQ(info.dwDoubleClick, 0u);
        EXPECT_EQ(info.pchHostCss, nullptr);
        EXPECT_EQ(info.pchHostNS, nullptr);
    }
    EXPECT_EQ(m_view->GetHostInfo(nullptr), E_POINTER);
    EXPECT_EQ(host->GetHostInfo(nullptr), E_POINTER);
}

TEST_F(BrowserViewTest, ExternalObjectComesFromTheFormsHandlerEitherWay) {
    CreateView();
    ComPtr<IDocHostUIHandler> host = HostHandlerOf(*m_view);
    ASSERT_TRUE(host);
    IDispatch* provided = m_view->GetEventSink(); // any IDispatch will do
    bool provide = false;
    m_form->onEvent = [&](const test::WebEvent& e) {
        if (e.code == WEBNOTIFY_GET_EXTERNAL && provide) {
            provided->AddRef();
            *reinterpret_cast<IDispatch**>(static_cast<UINT_PTR>(e.wParam)) = provided;
        }
    };
    for (IDocHostUIHandler* handler : {host.Get(), static_cast<IDocHostUIHandler*>(m_view.get())}) {
        for (bool p : {false, true}) {
            SCOPED_TRACE(p ? "provided" : "none");
            provide = p;
            m_form->events.clear();
            IDispatch* external = reinterpret_cast<IDispatch*>(1);
            EXPECT_EQ(handler->GetExternal(&external), S_OK);
            ASSERT_EQ(m_form->Codes(), std::vector<unsigned>{WEBNOTIFY_GET_EXTERNAL});
            EXPECT_EQ(m_form->events[0].wParam,
                      static_cast<unsigned>(reinterpret_cast<UINT_PTR>(&external)));
            EXPECT_EQ(m_form->events[0].lParam, reinterpret_cast<long>(m_view.get()));
            EXPECT_EQ(external, p ? provided : nullptr);
            if (external)
                external->Release();
        }
    }
}

} // namespace
