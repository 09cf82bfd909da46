// Digest of the published package: the published test vectors, and feeding in pieces.
#include "net/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Vector {
    std::string message;
    const char* digest;
};

TEST(Sha256, PublishedVectors) {
    const Vector vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Vector& v : vectors)
        EXPECT_EQ(Sha256Hex(v.message.data(), v.message.size()), v.digest)
            << "length " << v.message.size();
}

// Lengths around the padding boundaries (55/56 bytes leave no room for the length field),
// fed in every split, must give the one-shot digest.
TEST(Sha256, PiecesGiveTheSameDigest) {
    for (size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
        std::string message(length, '\0');
        for (size_t i = 0; i < length; ++i)
            message[i] = char((i * 37 + 11) & 0xFF);
        const std::string whole = Sha256Hex(message.data(), message.size());
        for (size_t split = 0; split <= length; ++split) {
            CSha256 sha;
            sha.Update(message.data(), split);
            sha.Update(message.data() + split, length - split);
            uint8_t digest[32];
            sha.Final(digest);
            ASSERT_EQ(DigestToHex(digest), whole) << "length " << length << " split " << split;
        }
    }
}

TEST(Sha256, ResetStartsAgain) {
    CSha256 sha;
    sha.Update("junk", 4);
    uint8_t digest[32];
    sha.Final(digest);
    sha.Reset();
    sha.Update("abc", 3);
    sha.Final(digest);
    EXPECT_EQ(DigestToHex(digest),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, PublishedTextMatching) {
    const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    struct Case {
        const wchar_t* text;
        bool matches;
    };
    const Case cases[] = {
        {L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", true},
        {L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", true},
        {L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae", false},
        {L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a", false},
        {L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad0", false},
        {L"", false},
        {L"zz7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sha256TextMatches(c.text, digest), c.matches) << std::wstring(c.text).size();
}

} // namespace
