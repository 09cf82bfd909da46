// Address rules of the browser view's navigation events (no window needed).
#pragma once

#include <cstdint>
#include <string>

namespace browser_rules {

// Headers sent with a request body; the body itself is already URL-encoded text.
extern const wchar_t* const kFormPostHeaders;

// Script links and empty frames are neither recorded nor reported (case-sensitive prefixes).
bool IsUnrecordedUrl(const std::wstring& url);

// A link that would download a program: ".exe" anywhere, case-sensitive.
bool IsProgramUrl(const std::wstring& url);

// Exactly the empty page the control starts with.
bool IsBlankPage(const std::wstring& url);

// Every failed navigation is reported except one the user aborted (E_ABORT).
bool IsReportedNavigateError(std::uint32_t status);

enum class BeforeNavigateAction {
    Ignore,         // not recorded, nothing fired
    Report,         // recorded, WEBNOTIFY_BEFORE_NAVIGATE
    ReportNewWindow // recorded, cancelled, WEBNOTIFY_NEW_WINDOW
};

BeforeNavigateAction ClassifyBeforeNavigate(const std::wstring& url, bool newWindowPending);

} // namespace browser_rules
