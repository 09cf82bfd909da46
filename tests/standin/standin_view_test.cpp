// The stand-in engine hosted by the client's own browser view, as the forms use it, against
// the demo platform (VELMORA_PLATFORM, set by tests/e2e/harness.py).
#include "app/WinHandles.h"
#include "browser/BrowserView.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <wininet.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring PlatformBase() {
    wchar_t buffer[256] = {};
    GetEnvironmentVariableW(L"VELMORA_PLATFORM", buffer, 256);
    return buffer;
}

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

bool Requested(const std::string& query) {
    return PlatformLog().find("\"query\": \"" + query + "\"") != std::string::npos;
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

struct Notice {
    unsigned code;
    std::wstring url;   // the view's recorded address when the code came
    std::wstring title; // code 9 only
};

// Stands for a form: registers itself with the view and records what it is told.
class RecordingForm {
public:
    explicit RecordingForm(CBrowserView& view) : m_view(view) {
        view.m_webNotify.AddHandler(this, &RecordingForm::OnWebNotify);
    }
    void OnWebNotify(unsigned code, unsigned, long lParam) {
        Notice notice{code, m_view.GetUrl(), std::wstring()};
        if (code == WEBNOTIFY_TITLE_CHANGE && lParam)
            notice.title = reinterpret_cast<const wchar_t*>(lParam);
        notices.push_back(notice);
        if (onNotice)
            onNotice(notice);
    }
    std::vector<unsigned> Codes() const {
        std::vector<unsigned> codes;
        for (const Notice& n : notices)
            codes.push_back(n.code);
        return codes;
    }
    bool Has(unsigned code, const std::wstring& url) const {
        for (const Notice& n : notices) {
            if (n.code == code && n.url == url)
                return true;
        }
        return false;
    }

    std::vector<Notice> notices;
    std::function<void(const Notice&)> onNotice;

private:
    CBrowserView& m_view;
};

BOOL CALLBACK FindStandinView(HWND hwnd, LPARAM lp) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (wcscmp(cls, L"StandinBrowserView") == 0) {
        *reinterpret_cast<HWND*>(lp) = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct Link {
    int x = 0, y = 0;
    std::wstring target, href;
};

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

class StandinViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"StandinViewTestForm";
        RegisterClassW(&wc);
        // One form window for the suite: destroying a shown top-level window costs Wine
        // two seconds without a window manager.
        s_form = CreateWindowExW(0, wc.lpszClassName, L"form", WS_POPUP | WS_VISIBLE, 0, 0, 600,
                                 400, nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite() {
        if (s_form)
            DestroyWindow(s_form);
        s_form = nullptr;
        OleUninitialize();
    }

    void SetUp() override {
        ASSERT_FALSE(PlatformBase().empty())
            << "run through tests/e2e/harness.py with-platform (VELMORA_PLATFORM is not set)";
        ASSERT_TRUE(s_form);
        const RECT rc = {10, 10, 590, 390};
        ASSERT_TRUE(m_view.Create(L"about:blank", rc, s_form));
        m_form = std::make_unique<RecordingForm>(m_view);
        m_view.m_bBlockNewWindow = true;
        Pump(300); // the control's own about:blank
        m_form->notices.clear();
    }
    void TearDown() override {
        if (m_view.GetHwnd())
            DestroyWindow(m_view.GetHwnd());
        Pump(50);
    }

    static void Pump(DWORD ms) {
        const DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } while (GetTickCount() - start < ms);
    }

    bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            Pump(20);
        }
        return true;
    }

    bool Notified(unsigned code, const std::wstring& url) {
        return WaitFor([&] { return m_form->Has(code, url); });
    }

    HWND StandinWindow() const {
        HWND found = nullptr;
        EnumChildWindows(m_view.GetHwnd(), &FindStandinView, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::wstring Page(const std::wstring& query) {
        return PlatformBase() + L"/t/page.html?" + query;
    }

    static HWND s_form;
    CBrowserView m_view;
    std::unique_ptr<RecordingForm> m_form;
};

HWND StandinViewTest::s_form = nullptr;

TEST_F(StandinViewTest, PageLoadReportsBeforeCompleteTitleAndDocument) {
    ASSERT_TRUE(StandinWindow()) << "the view does not host the stand-in engine";
    const std::wstring url = Page(L"title=Velmora%20View&m=view_order");
    ASSERT_TRUE(m_view.Navigate(url, std::string()));
    ASSERT_TRUE(Notified(WEBNOTIFY_DOCUMENT_COMPLETE, url));
    EXPECT_EQ((std::vector<unsigned>{WEBNOTIFY_BEFORE_NAVIGATE, WEBNOTIFY_NAVIGATE_COMPLETE,
                                     WEBNOTIFY_TITLE_CHANGE, WEBNOTIFY_DOCUMENT_COMPLETE}),
              m_form->Codes());
    EXPECT_EQ(L"Velmora View", m_form->notices[2].title);
    for (const Notice& n : m_form->notices)
        EXPECT_EQ(url, n.url);
    EXPECT_FALSE(m_view.m_bAwaitFirstComplete);
    EXPECT_TRUE(m_view.m_pTopDisp);
}

TEST_F(StandinViewTest, CancelAtBeforeNavigateSendsNoRequest) {
    m_form->onNotice = [&](const Notice& n) {
        if (n.code == WEBNOTIFY_BEFORE_NAVIGATE &&
            n.url.find(L"wd_entergame=1") != std::wstring::npos)
            m_view.m_bCancelNavigate = true;
    };
    const std::wstring game = Page(L"m=view_game&wd_entergame=1&wd_server=3");
    m_view.Navigate(game, std::string());
    const std::wstring after = Page(L"m=view_after_cancel");
    m_view.Navigate(after, std::string());
    ASSERT_TRUE(Notified(WEBNOTIFY_DOCUMENT_COMPLETE, after));
    EXPECT_TRUE(m_form->Has(WEBNOTIFY_BEFORE_NAVIGATE, game));
    EXPECT_FALSE(m_form->Has(WEBNOTIFY_NAVIGATE_COMPLETE, game));
    EXPECT_TRUE(Requested("m=view_after_cancel"));
    EXPECT_FALSE(Requested("m=view_game&wd_entergame=1&wd_server=3"));
}

TEST_F(StandinViewTest, FailedPageIsReportedAsNavigateError) {
    const std::wstring missing = Page(L"status=404&m=view_missing");
    m_view.Navigate(missing, std::string());
    ASSERT_TRUE(Notified(WEBNOTIFY_NAVIGATE_ERROR, missing));
    EXPECT_EQ((std::vector<unsigned>{WEBNOTIFY_BEFORE_NAVIGATE, WEBNOTIFY_NAVIGATE_ERROR}),
              m_form->Codes());
    Pump(300);
    // The view cancelled the error: no error page, so nothing completes.
    EXPECT_EQ(2u, m_form->notices.size());
}

TEST_F(StandinViewTest, BlankTargetLinkIsReportedAsNewWindowWithItsAddress) {
    const std::wstring target = Page(L"m=view_popup");
    const std::wstring start = Page(L"title=Start&m=view_links&blank=" + Escape(target));
    m_view.Navigate(start, std::string());
    ASSERT_TRUE(Notified(WEBNOTIFY_DOCUMENT_COMPLETE, start));
    const HWND standin = StandinWindow();
    ASSERT_TRUE(standin);
    const std::vector<Link> links = ViewLinks(standin);
    ASSERT_EQ(1u, links.size());
    m_form->notices.clear();
    PostMessageW(standin, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(links[0].x, links[0].y));
    PostMessageW(standin, WM_LBUTTONUP, 0, MAKELPARAM(links[0].x, links[0].y));
    ASSERT_TRUE(Notified(WEBNOTIFY_NEW_WINDOW, target));
    EXPECT_EQ(std::vector<unsigned>{WEBNOTIFY_NEW_WINDOW}, m_form->Codes());
    EXPECT_EQ(target, m_view.GetUrl());
    // The page stays where it was and the address was never requested.
    ComPtr<IWebBrowser2> browser;
    ASSERT_HRESULT_SUCCEEDED(
        m_view.QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out())));
    BSTR location = nullptr;
    browser->get_LocationURL(&location);
    EXPECT_EQ(start, std::wstring(location ? location : L""));
    SysFreeString(location);
    Pump(300);
    EXPECT_FALSE(Requested("m=view_popup"));
}

} // namespace
