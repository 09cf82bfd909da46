// Md5Digest against OpenSSL's MD5, and the incremental form fed in pieces against the
// one-shot digest. The first input byte picks the piece size.
#include "FuzzInput.h"
#include "app/Text.h"
#include "stats/Md5.h"

#include <openssl/evp.h>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Md5Bytes digest = Md5Digest(data, size);

    unsigned char reference[EVP_MAX_MD_SIZE];
    unsigned int referenceSize = 0;
    FUZZ_CHECK(EVP_Digest(data, size, reference, &referenceSize, EVP_md5(), nullptr) == 1);
    FUZZ_CHECK(referenceSize == 16);
    FUZZ_CHECK(std::memcmp(digest.data(), reference, 16) == 0);

    const size_t step = size > 0 ? data[0] % 97 + 1 : 1;
    CMd5 md5;
    for (size_t at = 0; at < size; at += step)
        md5.Update(data + at, size - at < step ? size - at : step);
    FUZZ_CHECK(md5.Final() == digest);

    // The machine id's text form.
    const std::wstring hex = BytesToHex(digest.data());
    FUZZ_CHECK(hex.size() == 32);
    return 0;
}
