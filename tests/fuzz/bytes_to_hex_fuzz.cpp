// BytesToHex: 32 lower-case hex digits that read back as the 16 bytes.
#include "FuzzInput.h"
#include "app/Text.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char bytes[16] = {};
    std::memcpy(bytes, data, size < 16 ? size : 16);
    const std::wstring hex = BytesToHex(bytes);
    FUZZ_CHECK(hex.size() == 32);
    for (size_t i = 0; i < 16; ++i) {
        int pair = 0;
        for (size_t k = 0; k < 2; ++k) {
            const wchar_t c = hex[i * 2 + k];
            FUZZ_CHECK((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'));
            pair = pair * 16 + (c <= L'9' ? c - L'0' : c - L'a' + 10);
        }
        FUZZ_CHECK(pair == bytes[i]);
    }
    return 0;
}
