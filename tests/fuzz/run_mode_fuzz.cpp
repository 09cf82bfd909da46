// Run mode and counting from a command line (case-sensitive switch tests).
#include "FuzzInput.h"
#include "app/Text.h"

namespace {
bool Has(const std::wstring& line, const wchar_t* s) {
    return line.find(s) != std::wstring::npos;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring line = fuzz::DecodeField(data, size);
    const RunMode mode = ChooseRunMode(line);
    const bool setup = Has(line, L"/setupsucc");
    const bool uninstall = Has(line, L"/uninstallsucc");
    const bool desktop = Has(line, L"/ShowDeskTop");

    // The first switch in the order setup, uninstall, desktop decides.
    RunMode expected = RunMode::Normal;
    if (setup)
        expected = RunMode::InstallSuccess;
    else if (uninstall)
        expected = RunMode::UninstallSuccess;
    else if (desktop)
        expected = RunMode::ShowDesktop;
    FUZZ_CHECK(mode == expected);
    FUZZ_CHECK(IsCountedRun(line) == !(setup || desktop));
    return 0;
}
