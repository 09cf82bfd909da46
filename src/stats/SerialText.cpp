#include "stats/SerialText.h"

#include <cstdint>

namespace {

const size_t kSerialFieldOffset = 10 * 2; // word 10
const size_t kSerialFieldLength = 20;     // words 10 to 19
const size_t kModelFieldOffset = 27 * 2;  // word 27
const size_t kDescriptorSerialOffsetField = 24;
const size_t kMediaSerialTextOffset = 16;

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

// Length of the zero-terminated narrow text at `offset`, never past `size`.
size_t BoundedLength(const unsigned char* data, size_t size, size_t offset) {
    size_t n = 0;
    while (offset + n < size && data[offset + n] != 0)
        ++n;
    return n;
}

} // namespace

std::wstring SerialFromIdentify(const unsigned char* identify, size_t size) {
    std::wstring serial;
    if (!identify || size < kSerialFieldOffset + kSerialFieldLength)
        return serial;
    for (size_t word = 0; word < kSerialFieldLength / 2; ++word) {
        const unsigned char* pair = identify + kSerialFieldOffset + word * 2;
        // IDENTIFY words are little-endian and their strings run high byte first.
        for (const unsigned char byte : {pair[1], pair[0]}) {
            if (byte == 0)
                return serial;
            if (byte == ' ')
                continue;
            const wchar_t wide = static_cast<wchar_t>(
                static_cast<uint16_t>(static_cast<int16_t>(static_cast<signed char>(byte))));
            serial.push_back(wide);
        }
    }
    return serial;
}

bool IdentifyHasModel(const unsigned char* identify, size_t size) {
    // The first byte of word 27 as it lies in the answer.
    return identify && size > kModelFieldOffset && identify[kModelFieldOffset] != 0;
}

std::wstring SerialFromStorageDescriptor(const unsigned char* descriptor, size_t size) {
    std::wstring serial;
    if (!descriptor || size < kDescriptorSerialOffsetField + 4)
        return serial;
    const size_t offset =
        static_cast<size_t>(descriptor[kDescriptorSerialOffsetField]) |
        (static_cast<size_t>(descriptor[kDescriptorSerialOffsetField + 1]) << 8) |
        (static_cast<size_t>(descriptor[kDescriptorSerialOffsetField + 2]) << 16) |
        (static_cast<size_t>(descriptor[kDescriptorSerialOffsetField + 3]) << 24);
    // Offset 0 means the device reported no serial.
    if (offset == 0 || offset >= size)
        return serial;
    const size_t length = BoundedLength(descriptor, size, offset);
    const unsigned char* text = descriptor + offset;
    for (size_t group = 0; group < length; group += 4) {
        // A short last group reads as if padded with non-digits (which count as 0).
        int digits[4] = {0, 0, 0, 0};
        for (size_t i = 0; i < 4 && group + i < length; ++i)
            digits[i] = HexValue(text[group + i]);
        const unsigned char high = static_cast<unsigned char>(digits[0] * 16 + digits[1]);
        const unsigned char low = static_cast<unsigned char>(digits[2] * 16 + digits[3]);
        for (const unsigned char byte : {low, high})
            if (byte != 0 && byte != ' ')
                serial.push_back(static_cast<wchar_t>(byte));
    }
    return serial;
}

std::wstring SerialFromMediaSerial(const unsigned char* answer, size_t size) {
    std::wstring serial;
    if (!answer || size <= kMediaSerialTextOffset)
        return serial;
    const size_t length = BoundedLength(answer, size, kMediaSerialTextOffset);
    for (size_t i = 0; i < length; i += 4) {
        const unsigned char byte = answer[kMediaSerialTextOffset + i];
        if (byte != ' ')
            serial.push_back(static_cast<wchar_t>(byte));
    }
    return serial;
}

bool IsAcceptableSerial(const std::wstring& serial) {
    if (serial.empty())
        return false;
    const wchar_t c = serial[0];
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}
