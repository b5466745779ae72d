#pragma once
// What the text fuzzers share: a check that names the broken property before
// it stops the run (libFuzzer then keeps the input as a crash file), and the
// input read as text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "rtl/strings.h"

#define FUZZ_REQUIRE(Condition)                                                                   \
    do {                                                                                          \
        if (!(Condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #Condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace fuzz {

inline std::string_view Bytes(const std::uint8_t* Data, std::size_t Size) {
    return {reinterpret_cast<const char*>(Data), Size};
}

// The input as UTF-8 text (malformed sequences become U+FFFD).
inline rtl::String Utf8Text(const std::uint8_t* Data, std::size_t Size) { return rtl::Utf8ToString(Bytes(Data, Size)); }

// The input as UTF-16LE units (a last odd byte is dropped), so that every
// unit value, lone surrogates included, can occur.
inline rtl::String Utf16Units(const std::uint8_t* Data, std::size_t Size) {
    rtl::String out;
    out.reserve(Size / 2);
    for (std::size_t i = 0; i + 1 < Size; i += 2) out += static_cast<char16_t>(Data[i] | (Data[i + 1] << 8));
    return out;
}

}  // namespace fuzz
