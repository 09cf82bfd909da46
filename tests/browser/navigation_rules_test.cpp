// Which navigations the browser view records, reports, or cancels as a new window.
#include "browser/NavigationRules.h"

#include <gtest/gtest.h>

namespace {

using browser_rules::BeforeNavigateAction;

struct BeforeNavigateCase {
    const wchar_t* url;
    bool newWindowPending;
    BeforeNavigateAction expected;
};

TEST(NavigationRules, BeforeNavigateClassification) {
    const BeforeNavigateCase cases[] = {
        {L"http://www.example.test/index.html", false, BeforeNavigateAction::Report},
        {L"javascript:void(0)", false, BeforeNavigateAction::Ignore},
        {L"javascript:void(0)", true, BeforeNavigateAction::Ignore}, // keeps the mark
        {L"javascriptfoo", false, BeforeNavigateAction::Ignore},
        {L"JavaScript:go()", false, BeforeNavigateAction::Report}, // other letter case
        {L"about:blank", false, BeforeNavigateAction::Ignore},
        {L"about:blank#top", false, BeforeNavigateAction::Ignore},
        {L"about:Blank", false, BeforeNavigateAction::Report},
        {L"about:", false, BeforeNavigateAction::Report},
        {L" javascript:void(0)", false, BeforeNavigateAction::Report}, // not at position 0
        {L"http://h/?u=javascript", false, BeforeNavigateAction::Report},
        {L"http://h/setup.exe", false, BeforeNavigateAction::ReportNewWindow},
        {L"http://h/get?file=a.exe", false, BeforeNavigateAction::ReportNewWindow},
        {L"http://h/a.exec/page", false, BeforeNavigateAction::ReportNewWindow}, // anywhere
        {L"http://h/SETUP.EXE", false, BeforeNavigateAction::Report},
        {L"http://h/Setup.Exe", false, BeforeNavigateAction::Report},
        {L"http://h/page", true, BeforeNavigateAction::ReportNewWindow},
        {L"", false, BeforeNavigateAction::Report},
        {L"", true, BeforeNavigateAction::ReportNewWindow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(browser_rules::ClassifyBeforeNavigate(c.url, c.newWindowPending), c.expected)
            << "url '" << std::string(c.url, c.url + wcslen(c.url)) << "' pending "
            << c.newWindowPending;
    }
}

TEST(NavigationRules, BlankPageIsTheWholeTextOnly) {
    EXPECT_TRUE(browser_rules::IsBlankPage(L"about:blank"));
    EXPECT_FALSE(browser_rules::IsBlankPage(L"about:blank#x"));
    EXPECT_FALSE(browser_rules::IsBlankPage(L"ABOUT:BLANK"));
    EXPECT_FALSE(browser_rules::IsBlankPage(L""));
}

TEST(NavigationRules, OnlyAbortedNavigationsGoUnreported) {
    const struct {
        std::uint32_t status;
        bool reported;
    } cases[] = {
        {0x80004004u, false},                                    // E_ABORT
        {0x800C0008u, true},                                     // host unreachable
        {0x800C0010u, true},                                     // no document
        {0x800C0005u, true},                                     // resource not found
        {0u, true},           {404u, true}, {0x80004005u, true}, // E_FAIL
    };
    for (const auto& c : cases)
        EXPECT_EQ(browser_rules::IsReportedNavigateError(c.status), c.reported) << c.status;
}

} // namespace
