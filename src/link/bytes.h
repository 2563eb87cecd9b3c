// Byte-level helpers shared by the client and the exchange simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace stanset {

inline void ClearBit(std::uint8_t& b, int n) {
    if (n >= 0 && n <= 7) b = static_cast<std::uint8_t>(b & ~(1u << n));
}

inline void SetBit(std::uint8_t& b, int n) {
    if (n >= 0 && n <= 7) b = static_cast<std::uint8_t>(b | (1u << n));
}

inline int TestBit(std::uint8_t b, int n) { return (n >= 0 && n <= 7) ? (b >> n) & 1 : 0; }

inline std::uint16_t MakeWord(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint16_t>(high * 256u + low);
}

inline void SplitWord(std::uint16_t w, std::uint8_t& low, std::uint8_t& high) {
    low = static_cast<std::uint8_t>(w & 0xFF);
    high = static_cast<std::uint8_t>(w >> 8);
}

// The link's checksum: an 8-bit sum of the bytes as they travel.
inline std::uint8_t Sum8(std::span<const std::uint8_t> bytes) {
    unsigned s = 0;
    for (std::uint8_t b : bytes) s += b;
    return static_cast<std::uint8_t>(s);
}

inline void XorBytes(std::span<std::uint8_t> bytes, std::uint8_t key) {
    for (std::uint8_t& b : bytes) b ^= key;
}

}  // namespace stanset
