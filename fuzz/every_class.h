#pragma once
// One column of every class the record store holds: the columns of the store
// that the fuzzer feeds later packets to, and of the seed that matches it.

#include <cstdint>

inline constexpr std::uint32_t EveryClassTypes[] = {
    // clang-format off
    0x10001, 0x10002, 0x10004, 0x10008, 0x20001, 0x20002, 0x20004, 0x20008, 0x30001, 0x30002,
    0x30004, 0x40004, 0x40008, 0x4000A, 0x50012, 0x60004, 0x70004, 0x80008, 0x490001, 0x490002,
    0x4A0001, 0x4A0002, 0x4B0001, 0x4B0002, 0xB0004, 0x4B0004, 0x110010, 0x120012, 0x1B0004, 0x240014,
};
// clang-format on
// The "WIDTH" of varying columns, and the precision of the 18-byte decimals.
inline constexpr std::int32_t EveryClassWidth = 20;
inline constexpr std::int32_t EveryClassPrecision = 32;
