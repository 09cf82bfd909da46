// Turns a fuzzer's bytes into the client's UTF-16 texts and checks properties.
//
// Fields are separated by the byte 0x01. Inside a field every byte below 0xF0 is one character
// (so seeds stay readable and dictionary words work as they are); 0xF0 to 0xFF start an escape
// whose next two bytes are one 16-bit unit, little-endian, so every UTF-16 unit is reachable.
// Characters never exceed 0xFFFF even where wchar_t is 4 bytes, as on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

constexpr unsigned char kFieldSeparator = 0x01;

inline std::wstring DecodeField(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] < 0xF0) {
            text.push_back(static_cast<wchar_t>(data[i]));
        } else if (i + 2 < size) {
            text.push_back(static_cast<wchar_t>(data[i + 1] | (data[i + 2] << 8)));
            i += 2;
        } else {
            break; // a cut-off escape ends the field
        }
    }
    return text;
}

// The first `count` fields; missing ones are empty, the last takes the rest (separators too).
inline std::vector<std::wstring> DecodeFields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t f = 0; f < count; ++f) {
        size_t end = size;
        if (f + 1 < count) {
            for (size_t i = start; i < size; ++i) {
                if (data[i] == kFieldSeparator) {
                    end = i;
                    break;
                }
            }
        }
        if (start < size)
            fields.push_back(DecodeField(data + start, end - start));
        else
            fields.emplace_back();
        start = end < size ? end + 1 : size;
    }
    return fields;
}

inline std::string Printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        char buf[12];
        if (c >= 0x20 && c < 0x7F && c != '\\')
            out.push_back(static_cast<char>(c));
        else {
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

// A broken property is a finding: report it and abort so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

} // namespace fuzz

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            ::fuzz::Fail(__FILE__, __LINE__, #cond);                                               \
    } while (0)
