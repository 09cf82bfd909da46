// Disk serial texts decoded from the raw answers of the drive queries. No Windows header: the
// answers are taken as plain byte buffers, and every offset in them is checked against the
// buffer's size (a short or malformed answer gives an empty text, never a read beyond it).
#pragma once

#include <cstddef>
#include <string>

// Bytes of the 256-word IDENTIFY (PACKET) DEVICE answer.
constexpr size_t kIdentifyDataSize = 512;

// The 20-character serial field (words 10 to 19): each word's high byte, then its low byte,
// each sign-extended to one character; spaces dropped wherever they stand; a zero byte ends it.
std::wstring SerialFromIdentify(const unsigned char* identify, size_t size);

// Whether the first byte of word 27 (where the model number starts) is not zero: a drive
// really answered.
bool IdentifyHasModel(const unsigned char* identify, size_t size);

// The storage device descriptor's serial: the narrow text at its SerialNumberOffset (bytes 24
// to 27, little-endian) read as hex in groups of four, group AABB giving BB then AA; characters
// that are not hex digits count as 0; bytes 0 and space are dropped.
std::wstring SerialFromStorageDescriptor(const unsigned char* descriptor, size_t size);

// The media serial answer: the narrow text 16 bytes in, every fourth byte of it from the first,
// spaces dropped.
std::wstring SerialFromMediaSerial(const unsigned char* answer, size_t size);

// A decoded serial is kept only when its first character is an ASCII letter or digit.
bool IsAcceptableSerial(const std::wstring& serial);
