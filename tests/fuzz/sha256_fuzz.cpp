// The package digest against OpenSSL's SHA-256, the incremental form fed in pieces, and the
// comparison with a published digest text (64 hex digits, either case, nothing else).
#include "FuzzInput.h"
#include "net/Sha256.h"

#include <openssl/evp.h>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char reference[EVP_MAX_MD_SIZE];
    unsigned int referenceSize = 0;
    FUZZ_CHECK(EVP_Digest(data, size, reference, &referenceSize, EVP_sha256(), nullptr) == 1);
    FUZZ_CHECK(referenceSize == 32);
    const std::string hex = Sha256Hex(data, size);
    FUZZ_CHECK(hex == DigestToHex(reference));
    FUZZ_CHECK(hex.size() == 64);
    for (char c : hex)
        FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));

    const size_t step = size > 0 ? data[0] % 131 + 1 : 1;
    CSha256 sha;
    for (size_t at = 0; at < size; at += step)
        sha.Update(data + at, size - at < step ? size - at : step);
    uint8_t digest[32];
    sha.Final(digest);
    FUZZ_CHECK(std::memcmp(digest, reference, 32) == 0);

    // The published text matches in either case and with nothing around it.
    std::wstring text(hex.begin(), hex.end());
    FUZZ_CHECK(Sha256TextMatches(text, hex));
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'f')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    FUZZ_CHECK(Sha256TextMatches(text, hex));
    FUZZ_CHECK(!Sha256TextMatches(text + L" ", hex));
    FUZZ_CHECK(!Sha256TextMatches(text.substr(1), hex));

    // Any text made from the input matches only when it is that digest, whatever its case.
    const std::wstring other = fuzz::DecodeField(data, size);
    std::wstring lowered = other;
    for (wchar_t& c : lowered)
        if (c >= L'A' && c <= L'F')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    FUZZ_CHECK(Sha256TextMatches(other, hex) == (lowered == std::wstring(hex.begin(), hex.end())));
    return 0;
}
