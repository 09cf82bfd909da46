// The view's handling of the control's events, driven through its own event sink with the
// arguments laid out as the control passes them, and the view's two sets of document-host
// answers.
#include "BrowserTestSupport.h"

#include "browser/BrowserView.h"

#include <exdisp.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

using test::EventArgs;
using test::RecordingForm;

// A stand-in browser object for the identity comparisons of the frame events.
class FakeFrame : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch)
            return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
};

class BrowserEventsTest : public ::testing::Test {
protected:
    HRESULT BeforeNavigate(IDispatch* frame, const std::wstring& url, VARIANT_BOOL* cancel) {
        EventArgs args;
        args.Dispatch(frame).RefText(url).RefLong(0).RefText(L"").RefEmpty().RefText(L"").Cancel(
            cancel);
        return args.Invoke(m_view.GetEventSink(), DISPID_BEFORENAVIGATE2);
    }
    HRESULT NavigateComplete(IDispatch* frame, const std::wstring& url) {
        EventArgs args;
        args.Dispatch(frame).RefText(url);
        return args.Invoke(m_view.GetEventSink(), DISPID_NAVIGATECOMPLETE2);
    }
    HRESULT DocumentComplete(IDispatch* frame, const std::wstring& url) {
        EventArgs args;
        args.Dispatch(frame).RefText(url);
        return args.Invoke(m_view.GetEventSink(), DISPID_DOCUMENTCOMPLETE);
    }
    HRESULT NavigateError(IDispatch* frame, long status, VARIANT_BOOL* cancel) {
        EventArgs args;
        args.Dispatch(frame).RefText(L"http://h/x").RefText(L"").RefLong(status).Cancel(cancel);
        return args.Invoke(m_view.GetEventSink(), DISPID_NAVIGATEERROR);
    }
    HRESULT NewWindow3(const std::wstring& url, VARIANT_BOOL* cancel, IDispatch** out) {
        EventArgs args;
        args.DispatchOut(out).Cancel(cancel).Long(0).Text(L"http://h/page").Text(url);
        return args.Invoke(m_view.GetEventSink(), DISPID_NEWWINDOW3);
    }

    CBrowserView m_view;
    RecordingForm m_form{m_view};
    FakeFrame m_top;
    FakeFrame m_subFrame;
};

struct BeforeNavigateCase {
    const char* name;
    const wchar_t* url;
    bool newWindowPending;
    bool handlerCancels; // the form sets m_bCancelNavigate while handling the event
    bool cancelBefore;   // m_bCancelNavigate left set by an earlier event
    std::vector<unsigned> fired;
    bool cancelled;
    bool recorded; // GetUrl() is the event's URL afterwards
    bool pendingAfter;
};

TEST_F(BrowserEventsTest, BeforeNavigateRecordsReportsAndCancels) {
    const BeforeNavigateCase cases[] = {
        {"ordinary link", L"http://h/page", false, false, false, {7}, false, true, false},
        {"script link", L"javascript:void(0)", false, false, false, {}, false, false, false},
        {"empty frame", L"about:blank", false, false, false, {}, false, false, false},
        {"script in other case", L"JavaScript:go()", false, false, false, {7}, false, true, false},
        {"program download", L"http://h/setup.exe", false, false, false, {10}, true, true, false},
        {"program in query",
         L"http://h/get?file=a.exe",
         false,
         false,
         false,
         {10},
         true,
         true,
         false},
        {"upper-case program", L"http://h/SETUP.EXE", false, false, false, {7}, false, true, false},
        {"after a new window", L"http://h/popup", true, false, false, {10}, true, true, false},
        {"script keeps the new-window mark",
         L"javascript:x()",
         true,
         false,
         false,
         {},
         false,
         false,
         true},
        {"handler cancels",
         L"http://h/enter?wd_entergame=1",
         false,
         true,
         false,
         {7},
         true,
         true,
         false},
        {"handler may cancel a script link too",
         L"javascript:x()",
         false,
         true,
         false,
         {},
         false,
         false,
         false},
        {"earlier cancel is reset", L"http://h/next", false, false, true, {7}, false, true, false},
        {"earlier cancel is reset for a script link",
         L"javascript:x()",
         false,
         false,
         true,
         {},
         false,
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_form.events.clear();
        m_view.m_strUrl = L"http://h/previous";
        m_view.m_bNewWindowPending = c.newWindowPending;
        m_view.m_bCancelNavigate = c.cancelBefore;
        m_form.onEvent = [&](const test::WebEvent& e) {
            if (c.handlerCancels && e.code == WEBNOTIFY_BEFORE_NAVIGATE)
                m_view.m_bCancelNavigate = true;
        };
        VARIANT_BOOL cancel = VARIANT_FALSE;
        EXPECT_EQ(BeforeNavigate(&m_top, c.url, &cancel), S_OK);
        EXPECT_EQ(m_form.Codes(), c.fired);
        EXPECT_EQ(cancel, c.cancelled ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(m_view.GetUrl(), c.recorded ? std::wstring(c.url) : L"http://h/previous");
        EXPECT_EQ(m_view.m_bNewWindowPending, c.pendingAfter);
        for (const auto& e : m_form.events) {
            EXPECT_EQ(e.url, c.url); // recorded before the form hears of it
            EXPECT_EQ(e.wParam, 0u);
            EXPECT_EQ(e.lParam, reinterpret_cast<long>(&m_view));
        }
    }
}

TEST_F(BrowserEventsTest, CancelPassedInByTheControlIsLeftAlone) {
    VARIANT_BOOL cancel = VARIANT_TRUE;
    BeforeNavigate(&m_top, L"http://h/page", &cancel);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    cancel = VARIANT_TRUE;
    BeforeNavigate(&m_top, L"javascript:void(0)", &cancel);
    EXPECT_EQ(cancel, VARIANT_TRUE);
}

TEST_F(BrowserEventsTest, FirstCompletionAfterNavigateIsReportedOnceAndNamesTheTopFrame) {
    // The state Navigate leaves behind.
    m_view.m_bAwaitFirstComplete = true;
    m_view.m_pTopDisp = nullptr;
    const struct Step {
        const char* name;
        bool complete; // NavigateComplete2, else DocumentComplete
        IDispatch* frame;
        const wchar_t* url;
        std::vector<unsigned> fired;
    } steps[] = {
        {"the control's empty page", true, &m_top, L"about:blank", {}},
        {"the empty page's document", false, &m_top, L"about:blank", {}},
        {"the first page", true, &m_top, L"http://h/first", {8}},
        {"a sub-frame's navigation", true, &m_subFrame, L"http://h/frame", {}},
        {"a sub-frame's document", false, &m_subFrame, L"http://h/frame", {}},
        {"the top-level document", false, &m_top, L"http://h/first", {0}},
        {"a later navigation inside the top frame", true, &m_top, L"http://h/second", {}},
        {"its document", false, &m_top, L"http://h/second", {0}},
        {"no frame", false, nullptr, L"http://h/second", {}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        m_form.events.clear();
        EXPECT_EQ(s.complete ? NavigateComplete(s.frame, s.url) : DocumentComplete(s.frame, s.url),
                  S_OK);
        EXPECT_EQ(m_form.Codes(), s.fired);
    }
    EXPECT_EQ(m_view.m_pTopDisp, &m_top);
    EXPECT_FALSE(m_view.m_bAwaitFirstComplete);
}

TEST_F(BrowserEventsTest, SubFrameCompletingFirstBecomesTheTopReference) {
    // After a new-window request Navigate is armed again while the page stays: whichever
    // frame completes first is taken, and no 0 is fired before that.
    m_view.m_bAwaitFirstComplete = true;
    m_view.m_pTopDisp = nullptr;
    DocumentComplete(&m_top, L"http://h/old");
    EXPECT_TRUE(m_form.events.empty());
    NavigateComplete(&m_subFrame, L"http://h/ad-frame");
    EXPECT_EQ(m_form.Codes(), std::vector<unsigned>{8});
    EXPECT_EQ(m_view.m_pTopDisp, &m_subFrame);
    DocumentComplete(&m_top, L"http://h/old");
    EXPECT_EQ(m_form.Codes(), std::vector<unsigned>{8});
    DocumentComplete(&m_subFrame, L"http://h/ad-frame");
    EXPECT_EQ(m_form.Codes(), (std::vector<unsigned>{8, 0}));
}

TEST_F(BrowserEventsTest, NavigateErrorIsReportedAndCancelledUnlessAborted) {
    const struct {
        const char* name;
        long status;
        bool reported;
    } cases[] = {
        {"aborted by the user", static_cast<long>(0x80004004), false},
        {"host unreachable", static_cast<long>(0x800C0008), true},
        {"no document", static_cast<long>(0x800C0010), true},
        {"server error status", 500, true},
        {"not found", 404, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_form.events.clear();
        VARIANT_BOOL cancel = VARIANT_FALSE;
        EXPECT_EQ(NavigateError(&m_top, c.status, &cancel), S_OK);
        EXPECT_EQ(m_form.Has(WEBNOTIFY_NAVIGATE_ERROR), c.reported);
        EXPECT_EQ(m_form.events.size(), c.reported ? 1u : 0u);
        EXPECT_EQ(cancel, c.reported ? VARIANT_TRUE : VARIANT_FALSE);
    }
}

TEST_F(BrowserEventsTest, TitleChangeCarriesTheText) {
    EventArgs args;
    args.Text(L"新的标题 – title");
    EXPECT_EQ(args.Invoke(m_view.GetEventSink(), DISPID_TITLECHANGE), S_OK);
    ASSERT_EQ(m_form.events.size(), 1u);
    EXPECT_EQ(m_form.events[0].code, static_cast<unsigned>(WEBNOTIFY_TITLE_CHANGE));
    EXPECT_EQ(m_form.events[0].wParam, 0u);
    EXPECT_EQ(m_form.events[0].title, L"新的标题 – title");
}

TEST_F(BrowserEventsTest, NewWindowsAreCancelledWhenBlocked) {
    for (bool block : {true, false}) {
        SCOPED_TRACE(block ? "blocked" : "allowed");
        m_view.m_bBlockNewWindow = block;
        IDispatch* out = reinterpret_cast<IDispatch*>(&m_top);
        VARIANT_BOOL cancel = block ? VARIANT_FALSE : VARIANT_TRUE;
        EventArgs args;
        args.DispatchOut(&out).Cancel(&cancel);
        EXPECT_EQ(args.Invoke(m_view.GetEventSink(), DISPID_NEWWINDOW2), S_OK);
        EXPECT_EQ(cancel, block ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(out, &m_top); // never written
    }
    EXPECT_TRUE(m_form.events.empty());
}

TEST_F(BrowserEventsTest, NewWindow3RenavigatesAndItsNavigationIsCancelledAsNewWindow) {
    // Without a control the re-navigation cannot reach one; the mark and the address are set
    // before that call, so the navigation the control reports next is the one cancelled.
    m_view.m_bBlockNewWindow = true;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* out = nullptr;
    EXPECT_EQ(NewWindow3(L"http://h/popup?x=1", &cancel, &out), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(m_view.m_bNewWindowPending);
    EXPECT_EQ(m_view.GetUrl(), L"http://h/popup?x=1");
    EXPECT_TRUE(m_form.events.empty());

    VARIANT_BOOL navigationCancel = VARIANT_FALSE;
    BeforeNavigate(&m_top, L"http://h/popup?x=1", &navigationCancel);
    EXPECT_EQ(m_form.Codes(), std::vector<unsigned>{WEBNOTIFY_NEW_WINDOW});
    EXPECT_EQ(navigationCancel, VARIANT_TRUE);
    EXPECT_EQ(m_view.GetUrl(), L"http://h/popup?x=1");
    EXPECT_FALSE(m_view.m_bNewWindowPending);

    // The mark is consumed: the next ordinary link is an ordinary 7.
    m_form.events.clear();
    navigationCancel = VARIANT_FALSE;
    BeforeNavigate(&m_top, L"http://h/next", &navigationCancel);
    EXPECT_EQ(m_form.Codes(), std::vector<unsigned>{WEBNOTIFY_BEFORE_NAVIGATE});
    EXPECT_EQ(navigationCancel, VARIANT_FALSE);
}

TEST_F(BrowserEventsTest, MalformedArgumentsAreRefusedWithoutEvents) {
    EventArgs tooFew;
    tooFew.Dispatch(&m_top).RefText(L"http://h/page");
    EXPECT_EQ(tooFew.Invoke(m_view.GetEventSink(), DISPID_BEFORENAVIGATE2), DISP_E_BADPARAMCOUNT);

    EventArgs none;
    for (DISPID id : {DISPID_NEWWINDOW2, DISPID_NEWWINDOW3, DISPID_NAVIGATECOMPLETE2,
                      DISPID_DOCUMENTCOMPLETE, DISPID_NAVIGATEERROR, DISPID_TITLECHANGE})
        EXPECT_EQ(none.Invoke(m_view.GetEventSink(), id), DISP_E_BADPARAMCOUNT) << id;

    // Wrong types: no URL text, no Cancel pointer; nothing is written through them.
    EventArgs wrong;
    wrong.Long(1).Long(2).Long(3).Long(4).Long(5).Long(6).Long(7);
    EXPECT_EQ(wrong.Invoke(m_view.GetEventSink(), DISPID_BEFORENAVIGATE2), S_OK);
    EXPECT_EQ(m_form.Codes(), std::vector<unsigned>{WEBNOTIFY_BEFORE_NAVIGATE});
    EXPECT_EQ(m_view.GetUrl(), L"");

    m_form.events.clear();
    EventArgs badStatus;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    badStatus.Dispatch(&m_top).RefText(L"u").RefText(L"").RefText(L"oops").Cancel(&cancel);
    EXPECT_EQ(badStatus.Invoke(m_view.GetEventSink(), DISPID_NAVIGATEERROR), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(m_form.events.empty());
    EXPECT_EQ(cancel, VARIANT_FALSE);

    // Events the view does not handle.
    EXPECT_EQ(none.Invoke(m_view.GetEventSink(), DISPID_STATUSTEXTCHANGE), S_OK);
    EXPECT_TRUE(m_form.events.empty());

    DISPPARAMS* noParams = nullptr;
    EXPECT_EQ(m_view.GetEventSink()->Invoke(DISPID_TITLECHANGE, IID_NULL, 0, DISPATCH_METHOD,
                                            noParams, nullptr, nullptr, nullptr),
              E_INVALIDARG);
}

TEST_F(BrowserEventsTest, SinkAnswersItsInterfacesAndSharesTheViewsCount) {
    IDispatch* sink = m_view.GetEventSink();
    const struct {
        const IID* iid;
        HRESULT expected;
    } cases[] = {
        {&IID_IUnknown, S_OK},
        {&IID_IDispatch, S_OK},
        {&DIID_DWebBrowserEvents2, S_OK},
        {&IID_IDocHostUIHandler, E_NOINTERFACE},
        {&IID_IWebBrowser2, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(sink->QueryInterface(*c.iid, &out), c.expected);
        if (c.expected == S_OK) {
            EXPECT_EQ(out, sink);
            EXPECT_EQ(m_view.m_nRefCount, 1);
            static_cast<IUnknown*>(out)->Release();
        } else {
            EXPECT_EQ(out, nullptr);
        }
        EXPECT_EQ(m_view.m_nRefCount, 0);
    }
    EXPECT_EQ(sink->AddRef(), 1u);
    EXPECT_EQ(m_view.AddRef(), 2u);
    EXPECT_EQ(sink->Release(), 1u);
    EXPECT_EQ(m_view.Release(), 0u); // the view lives on: its form owns it
}

TEST_F(BrowserEventsTest, HandlerCallingBackIntoTheViewDuringAnEvent) {
    // A form reads the address and starts another navigation while it handles 7.
    CBrowserView other;
    std::wstring seen;
    m_form.onEvent = [&](const test::WebEvent&) {
        seen = m_view.GetUrl();
        EXPECT_FALSE(other.Navigate(L"http://h/other", std::string())); // no control there
    };
    VARIANT_BOOL cancel = VARIANT_FALSE;
    BeforeNavigate(&m_top, L"http://h/login?go", &cancel);
    EXPECT_EQ(seen, L"http://h/login?go");
    EXPECT_EQ(other.GetUrl(), L"http://h/other");
}

// --- document-host answers ------------------------------------------------------------------

TEST(BrowserViewIdentity, QueryInterfaceOfTheUiHandler) {
    CBrowserView view;
    IDocHostUIHandler* handler = &view;
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    void* unknown = nullptr;
    void* again = nullptr;
    ASSERT_EQ(handler->QueryInterface(IID_IUnknown, &unknown), S_OK);
    ASSERT_EQ(static_cast<IUnknown*>(unknown)->QueryInterface(IID_IDocHostUIHandler, &again), S_OK);
    EXPECT_EQ(again, handler);
    void* third = nullptr;
    ASSERT_EQ(static_cast<IDocHostUIHandler*>(again)->QueryInterface(IID_IUnknown, &third), S_OK);
    EXPECT_EQ(third, unknown); // one identity
    EXPECT_EQ(view.m_nRefCount, 3);
    for (void* p : {unknown, again, third})
        static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(view.m_nRefCount, 0);
    for (const IID* iid : {&IID_IDispatch, &DIID_DWebBrowserEvents2, &IID_IOleClientSite}) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(handler->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
}

} // namespace
