#include "browser/NavigationRules.h"

namespace browser_rules {

namespace {

const std::uint32_t kAbortStatus = 0x80004004u; // E_ABORT

bool BeginsWith(const std::wstring& text, const wchar_t* word) {
    return text.compare(0, std::wstring::traits_type::length(word), word) == 0;
}

} // namespace

const wchar_t* const kFormPostHeaders = L"Content-Type: application/x-www-form-urlencoded\r\n";

bool IsUnrecordedUrl(const std::wstring& url) {
    return BeginsWith(url, L"javascript") || BeginsWith(url, L"about:blank");
}

bool IsProgramUrl(const std::wstring& url) {
    return url.find(L".exe") != std::wstring::npos;
}

bool IsBlankPage(const std::wstring& url) {
    return url == L"about:blank";
}

bool IsReportedNavigateError(std::uint32_t status) {
    return status != kAbortStatus;
}

BeforeNavigateAction ClassifyBeforeNavigate(const std::wstring& url, bool newWindowPending) {
    if (IsUnrecordedUrl(url))
        return BeforeNavigateAction::Ignore;
    if (newWindowPending || IsProgramUrl(url))
        return BeforeNavigateAction::ReportNewWindow;
    return BeforeNavigateAction::Report;
}

} // namespace browser_rules
