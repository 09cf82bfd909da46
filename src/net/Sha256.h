// SHA-256 digest of the published package, checked before the upgrader is started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CSha256 {
public:
    CSha256();
    void Update(const void* data, size_t size);
    // Ends the digest; the object must be reset before it is used again.
    void Final(uint8_t digest[32]);
    void Reset();

private:
    void Block(const uint8_t* block);

    uint32_t m_state[8];
    uint64_t m_nBytes;
    uint8_t m_buffer[64];
    size_t m_nBuffered;
};

// 64 lower-case hex digits.
std::string Sha256Hex(const void* data, size_t size);
std::string DigestToHex(const uint8_t digest[32]);

// True when `text` is 64 hex digits (either case) equal to `hexDigest` (lower case).
bool Sha256TextMatches(const std::wstring& text, const std::string& hexDigest);
