// Address rules of the browser view's navigation events.
#include "FuzzInput.h"
#include "browser/NavigationRules.h"

using namespace browser_rules;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring url = fuzz::DecodeField(data, size);
    const bool unrecorded = IsUnrecordedUrl(url);
    FUZZ_CHECK(unrecorded == (url.rfind(L"javascript", 0) == 0 || url.rfind(L"about:blank", 0) == 0));
    if (IsBlankPage(url))
        FUZZ_CHECK(unrecorded);
    FUZZ_CHECK(IsProgramUrl(url) == (url.find(L".exe") != std::wstring::npos));
    for (bool pending : {false, true}) {
        const BeforeNavigateAction action = ClassifyBeforeNavigate(url, pending);
        if (unrecorded)
            FUZZ_CHECK(action == BeforeNavigateAction::Ignore);
        else if (pending || IsProgramUrl(url))
            FUZZ_CHECK(action == BeforeNavigateAction::ReportNewWindow);
        else
            FUZZ_CHECK(action == BeforeNavigateAction::Report);
    }
    return 0;
}
