#pragma once
// CRC-32 (ISO 3309 / IEEE 802.3, reflected 0xEDB88320) and MD5 (RFC 1321),
// fed in pieces of any size. No windows.h: the checksum lists, the native
// tests and the benchmark share them.
#include <stddef.h>
#include <stdint.h>

// state := Crc32Update(kCrc32Start, ...) ...; value := Crc32Final(state).
const uint32_t kCrc32Start = 0xFFFFFFFFu;
uint32_t Crc32Update(uint32_t state, const void* data, size_t size);
inline uint32_t Crc32Final(uint32_t state) { return ~state; }

struct Md5State {
    uint32_t h[4];
    uint64_t length;  // bytes fed so far
    uint8_t block[64];
};
void Md5Init(Md5State* s);
void Md5Update(Md5State* s, const void* data, size_t size);
void Md5Final(Md5State* s, uint8_t digest[16]);
