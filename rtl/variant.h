#pragma once
// Variant: a small tagged value (unassigned, null, integers, Boolean, double,
// string, byte array) passed where the type is known only at run time.

#include <cstdint>
#include <variant>
#include <vector>

#include "rtl/strings.h"

namespace rtl {

using TBytes = std::vector<std::uint8_t>;

enum class TVarType { varEmpty, varNull, varInteger, varInt64, varBoolean, varDouble, varString, varBytes };

class Variant {
public:
    Variant() = default;  // unassigned
    static Variant Null();
    explicit Variant(std::int32_t v) : FValue(v) {}
    explicit Variant(std::int64_t v) : FValue(v) {}
    explicit Variant(bool v) : FValue(v) {}
    explicit Variant(double v) : FValue(v) {}
    explicit Variant(String v) : FValue(std::move(v)) {}
    explicit Variant(const char16_t* v) : FValue(String(v)) {}
    explicit Variant(TBytes v) : FValue(std::move(v)) {}

    TVarType VarType() const { return static_cast<TVarType>(FValue.index()); }
    bool IsEmpty() const { return VarType() == TVarType::varEmpty; }
    bool IsNull() const { return VarType() == TVarType::varNull; }
    // Null or unassigned.
    bool IsClear() const { return IsEmpty() || IsNull(); }

    // Conversions raise EVariantError when the value has no such form.
    std::int64_t AsInt64() const;
    std::int32_t AsInteger() const;
    bool AsBoolean() const;
    double AsDouble() const;
    String AsString() const;
    const TBytes& AsBytes() const;

    bool operator==(const Variant&) const = default;

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    std::variant<std::monostate, NullTag, std::int32_t, std::int64_t, bool, double, String, TBytes> FValue;
};

}  // namespace rtl
