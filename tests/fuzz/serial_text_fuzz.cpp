// Disk serial decoding from raw drive answers. libFuzzer hands over a buffer of exactly the
// input's size, so any read beyond the answer is caught by the address sanitizer.
#include "FuzzInput.h"
#include "stats/SerialText.h"

namespace {

// No spaces and no zero characters in any decoded serial.
void CheckClean(const std::wstring& serial) {
    for (wchar_t c : serial) {
        FUZZ_CHECK(c != L' ');
        FUZZ_CHECK(c != 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring identify = SerialFromIdentify(data, size);
    CheckClean(identify);
    // At most the 20 bytes of the serial field, each a sign-extended byte.
    FUZZ_CHECK(identify.size() <= 20);
    for (wchar_t c : identify)
        FUZZ_CHECK(c < 0x80 || (c >= 0xFF80 && c <= 0xFFFF));
    if (size < 40)
        FUZZ_CHECK(identify.empty());
    IdentifyHasModel(data, size);

    const std::wstring storage = SerialFromStorageDescriptor(data, size);
    CheckClean(storage);
    // Two bytes per group of four hex characters, all inside the answer.
    FUZZ_CHECK(storage.size() <= (size / 4 + 1) * 2);
    for (wchar_t c : storage)
        FUZZ_CHECK(c <= 0xFF);

    const std::wstring media = SerialFromMediaSerial(data, size);
    CheckClean(media);
    FUZZ_CHECK(media.size() <= (size > 16 ? (size - 16 + 3) / 4 : 0));
    for (wchar_t c : media)
        FUZZ_CHECK(c <= 0xFF);

    for (const std::wstring* s : {&identify, &storage, &media}) {
        if (IsAcceptableSerial(*s)) {
            const wchar_t c = (*s)[0];
            FUZZ_CHECK((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ||
                       (c >= L'A' && c <= L'Z'));
        }
    }
    return 0;
}
