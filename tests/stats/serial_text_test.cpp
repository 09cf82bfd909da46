// Disk serials decoded from raw drive answers laid out as the drivers return them.
#include "stats/SerialText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// An IDENTIFY answer whose serial field (words 10 to 19) holds `field` as the drive stores
// strings: two characters per little-endian word, the first in the high byte.
std::vector<unsigned char> IdentifyWithSerial(const std::string& field) {
    std::vector<unsigned char> data(kIdentifyDataSize, 0);
    for (size_t i = 0; i < 20 && i < field.size(); ++i) {
        const size_t word = 10 + i / 2;
        data[word * 2 + ((i % 2 == 0) ? 1 : 0)] = static_cast<unsigned char>(field[i]);
    }
    return data;
}

TEST(SerialFromIdentify, FieldCases) {
    struct Case {
        std::string field;
        std::wstring serial;
    };
    const Case cases[] = {
        {"        WD-WCAV12345", L"WD-WCAV12345"},         // padded in front
        {"S1AB2345     ", L"S1AB2345"},                    // padded behind
        {"  ABC DEF   ", L"ABCDEF"},                       // inner space dropped: joined
        {"12345678901234567890", L"12345678901234567890"}, // a full field
        {std::string("AB\0CD", 5), L"AB"},                 // a zero byte ends the text
        {"", L""},
        {"                    ", L""},
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> data = IdentifyWithSerial(c.field);
        EXPECT_EQ(SerialFromIdentify(data.data(), data.size()), c.serial) << c.field;
    }
}

TEST(SerialFromIdentify, HighBytesAreSignExtended) {
    const std::vector<unsigned char> data = IdentifyWithSerial("A\xC4");
    EXPECT_EQ(SerialFromIdentify(data.data(), data.size()), std::wstring(L"A\xFFC4"));
}

TEST(SerialFromIdentify, ShortOrMissingAnswerIsEmpty) {
    const std::vector<unsigned char> data = IdentifyWithSerial("ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(SerialFromIdentify(data.data(), 40), L"ABCDEFGHIJKLMNOPQRST"); // just enough
    // One byte short of the field: nothing is read from it.
    std::vector<unsigned char> shortAnswer(data.begin(), data.begin() + 39);
    EXPECT_EQ(SerialFromIdentify(shortAnswer.data(), shortAnswer.size()), L"");
    EXPECT_EQ(SerialFromIdentify(nullptr, 512), L"");
}

TEST(IdentifyHasModel, FirstByteOfWord27) {
    std::vector<unsigned char> data(kIdentifyDataSize, 0);
    EXPECT_FALSE(IdentifyHasModel(data.data(), data.size()));
    data[54] = 'S';
    EXPECT_TRUE(IdentifyHasModel(data.data(), data.size()));
    EXPECT_FALSE(IdentifyHasModel(data.data(), 54)); // answer ends before the field
    EXPECT_FALSE(IdentifyHasModel(nullptr, 512));
}

// A storage device descriptor of `size` bytes with `text` at `offset` (0: no serial).
std::vector<unsigned char> Descriptor(const std::string& text, uint32_t offset, size_t size = 0) {
    const size_t needed = offset ? offset + text.size() + 1 : 36;
    std::vector<unsigned char> data(size ? size : (needed > 36 ? needed : 36), 0);
    data[0] = 1; // Version
    for (int i = 0; i < 4; ++i)
        data[24 + i] = static_cast<unsigned char>(offset >> (8 * i));
    if (offset && offset < data.size())
        std::memcpy(data.data() + offset, text.data(), std::min(text.size(), data.size() - offset));
    return data;
}

TEST(SerialFromStorageDescriptor, HexGroupsGiveLowByteThenHigh) {
    struct Case {
        std::string hex;
        std::wstring serial;
    };
    const Case cases[] = {
        {"4457", L"WD"},
        {"20204457", L"WD"},  // spaces dropped
        {"57442030", L"DW0"}, // "DW", then "0" and a dropped space
        {"00004457", L"WD"},  // zero bytes dropped
        {"5a5a", L"ZZ"},      // lower-case digits
        {"zz41", L"A"},       // non-digits count as 0
        {"", L""},
        {"445", L"PD"}, // a short last group reads as if padded with 0
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> data = Descriptor(c.hex, 40);
        EXPECT_EQ(SerialFromStorageDescriptor(data.data(), data.size()), c.serial) << c.hex;
    }
}

TEST(SerialFromStorageDescriptor, BadOffsetsAndShortAnswersAreEmpty) {
    // No serial offset.
    std::vector<unsigned char> data = Descriptor("4457", 0);
    EXPECT_EQ(SerialFromStorageDescriptor(data.data(), data.size()), L"");
    // Offset at or past the end of what the driver returned.
    data = Descriptor("4457", 40);
    EXPECT_EQ(SerialFromStorageDescriptor(data.data(), 40), L"");
    data = Descriptor("", 0xFFFFFFF0u, 64);
    EXPECT_EQ(SerialFromStorageDescriptor(data.data(), data.size()), L"");
    // Text without its terminator: read only up to the end of the answer.
    data = Descriptor("44574457", 40);
    EXPECT_EQ(SerialFromStorageDescriptor(data.data(), 44), L"WD");
    // Too short to hold the offset field at all.
    EXPECT_EQ(SerialFromStorageDescriptor(data.data(), 27), L"");
    EXPECT_EQ(SerialFromStorageDescriptor(nullptr, 100), L"");
}

// A media serial answer: 16 header bytes, then the text.
std::vector<unsigned char> MediaAnswer(const std::string& text) {
    std::vector<unsigned char> data(16 + text.size() + 1, 0);
    data[0] = static_cast<unsigned char>(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        data[16 + i] = static_cast<unsigned char>(text[i]);
    return data;
}

TEST(SerialFromMediaSerial, EveryFourthByteFromTheFirst) {
    struct Case {
        std::string text;
        std::wstring serial;
    };
    const Case cases[] = {
        {"A...B...C...", L"ABC"},
        {"A...B...C", L"ABC"},
        {"A... ...C...", L"AC"},                   // spaces dropped
        {std::string("A...B.\0.C...", 12), L"AB"}, // a zero byte ends the text
        {"", L""},
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> data = MediaAnswer(c.text);
        EXPECT_EQ(SerialFromMediaSerial(data.data(), data.size()), c.serial) << c.text;
    }
}

TEST(SerialFromMediaSerial, ShortAnswersAreEmptyAndNeverOverread) {
    const std::vector<unsigned char> data = MediaAnswer("A...B...C...");
    EXPECT_EQ(SerialFromMediaSerial(data.data(), 16), L"");
    EXPECT_EQ(SerialFromMediaSerial(data.data(), 10), L"");
    EXPECT_EQ(SerialFromMediaSerial(data.data(), 21), L"AB"); // cut inside the text
    EXPECT_EQ(SerialFromMediaSerial(nullptr, 64), L"");
}

TEST(IsAcceptableSerial, FirstCharacterIsLetterOrDigit) {
    EXPECT_TRUE(IsAcceptableSerial(L"WD123"));
    EXPECT_TRUE(IsAcceptableSerial(L"9X"));
    EXPECT_TRUE(IsAcceptableSerial(L"z"));
    EXPECT_FALSE(IsAcceptableSerial(L""));
    EXPECT_FALSE(IsAcceptableSerial(L"-12"));
    EXPECT_FALSE(IsAcceptableSerial(L"\xFFC4"
                                    L"AB"));
}

} // namespace
