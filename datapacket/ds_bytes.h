#pragma once
// Little-endian numbers at any byte position of a packet or a record. Copies go
// through memcpy so that unaligned positions are never dereferenced as numbers.

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace datapacket {

static_assert(std::endian::native == std::endian::little, "packets and records are little-endian");

template <typename T>
inline T GetLE(const std::uint8_t* P) {
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    std::memcpy(&value, P, sizeof(T));
    return value;
}

template <typename T>
inline void PutLE(std::uint8_t* P, T V) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(P, &V, sizeof(T));
}

// The widths a varying value's length prefix may have.
inline bool IsPrefixWidth(std::uint32_t W) { return W == 1 || W == 2 || W == 4; }

// An unsigned number of 1, 2 or 4 bytes (a varying value's length prefix).
inline std::uint32_t GetPrefix(const std::uint8_t* P, std::uint32_t Width) {
    switch (Width) {
        case 1: return P[0];
        case 2: return GetLE<std::uint16_t>(P);
        default: return GetLE<std::uint32_t>(P);
    }
}

inline void PutPrefix(std::uint8_t* P, std::uint32_t Width, std::uint32_t V) {
    switch (Width) {
        case 1: P[0] = static_cast<std::uint8_t>(V); break;
        case 2: PutLE(P, static_cast<std::uint16_t>(V)); break;
        default: PutLE(P, V); break;
    }
}

}  // namespace datapacket
