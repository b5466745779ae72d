#pragma once
// A set of enumeration values of at most 64 members, kept as a bit mask.

#include <cstdint>
#include <initializer_list>

namespace rtl {

template <class E>
class Set {
public:
    constexpr Set() = default;
    constexpr Set(std::initializer_list<E> values) {
        for (E v : values) Include(v);
    }

    constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
    constexpr Set& Include(E v) {
        FBits |= Bit(v);
        return *this;
    }
    constexpr Set& Exclude(E v) {
        FBits &= ~Bit(v);
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr std::uint64_t Bits() const { return FBits; }

    constexpr Set operator+(Set o) const { return FromBits(FBits | o.FBits); }
    constexpr Set operator-(Set o) const { return FromBits(FBits & ~o.FBits); }
    constexpr Set operator*(Set o) const { return FromBits(FBits & o.FBits); }
    constexpr bool operator==(const Set&) const = default;

private:
    static constexpr std::uint64_t Bit(E v) { return std::uint64_t(1) << static_cast<unsigned>(v); }
    static constexpr Set FromBits(std::uint64_t b) {
        Set s;
        s.FBits = b;
        return s;
    }
    std::uint64_t FBits = 0;
};

}  // namespace rtl
