// MD5 against the published test suite, whole and fed in pieces.
#include "stats/Md5.h"

#include "app/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Hex(const Md5Bytes& digest) {
    return BytesToHex(digest.data());
}

std::wstring DigestOf(const std::string& text) {
    return Hex(Md5Digest(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

struct Md5Case {
    std::string text;
    const wchar_t* digest;
};

const Md5Case kSuite[] = {
    {"", L"d41d8cd98f00b204e9800998ecf8427e"},
    {"a", L"0cc175b9c0f1b6a831c399e269772661"},
    {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     L"d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     L"57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, PublishedSuite) {
    for (const Md5Case& c : kSuite)
        EXPECT_EQ(DigestOf(c.text), c.digest) << '"' << c.text << '"';
}

TEST(Md5, EmptyInputWithoutBuffer) {
    EXPECT_EQ(Hex(Md5Digest(nullptr, 0)), L"d41d8cd98f00b204e9800998ecf8427e");
}

// Lengths around the 56- and 64-byte padding boundaries, and input fed in uneven pieces,
// must give the digest of the whole.
TEST(Md5, PiecewiseUpdatesMatchWholeAcrossBlockBoundaries) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text.push_back(static_cast<char>('a' + i % 26));
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
        const std::string part = text.substr(0, length);
        const std::wstring whole = DigestOf(part);
        for (size_t step : {1u, 3u, 7u, 64u}) {
            CMd5 md5;
            for (size_t pos = 0; pos < part.size(); pos += step)
                md5.Update(reinterpret_cast<const unsigned char*>(part.data()) + pos,
                           std::min(step, part.size() - pos));
            EXPECT_EQ(Hex(md5.Final()), whole) << "length " << length << " step " << step;
        }
    }
    // A known digest past one block: 64 letters 'a'.
    EXPECT_EQ(DigestOf(std::string(64, 'a')), L"014842d480b571495a4a0363793f7367");
}

} // namespace
