// MD5 message digest (RFC 1321). No Windows header: builds natively too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Md5Bytes = std::array<unsigned char, 16>;

// Incremental form: Update any number of times, then Final once.
class CMd5 {
public:
    CMd5();
    void Update(const unsigned char* data, size_t length);
    Md5Bytes Final();

private:
    void Transform(const unsigned char block[64]);

    uint32_t m_state[4];
    uint64_t m_nBitCount;
    unsigned char m_buffer[64];
    size_t m_nBuffered;
};

// Digest of `length` bytes at `data` (null with length 0 is the empty message).
Md5Bytes Md5Digest(const unsigned char* data, size_t length);
