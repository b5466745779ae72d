#pragma once
// Text formatting ("%s", "%d", "%x" with width and precision) and the
// conversions between integers and their decimal text.

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "rtl/strings.h"

namespace rtl {

// One argument of Format: a string or an integer.
class FormatArg {
public:
    FormatArg(StringView s) : FIsText(true), FText(s) {}
    FormatArg(const String& s) : FIsText(true), FText(s) {}
    FormatArg(const char16_t* s) : FIsText(true), FText(s) {}
    FormatArg(int v) : FInt(v) {}
    FormatArg(long v) : FInt(v) {}
    FormatArg(long long v) : FInt(v) {}
    FormatArg(unsigned v) : FInt(v) {}
    FormatArg(unsigned long v) : FInt(static_cast<std::int64_t>(v)) {}
    FormatArg(unsigned long long v) : FInt(static_cast<std::int64_t>(v)) {}

    bool IsText() const { return FIsText; }
    StringView Text() const { return FText; }
    std::int64_t Int() const { return FInt; }

private:
    bool FIsText = false;
    StringView FText;
    std::int64_t FInt = 0;
};

// Replaces each "%s", "%d", "%u" or "%x" (optionally "%-8.4x" style width and
// precision) by the next argument; "%%" gives "%". A directive without a
// matching argument raises EConvertError.
String Format(StringView fmt, std::initializer_list<FormatArg> args);

String IntToStr(std::int64_t value);
String IntToHex(std::uint64_t value, int digits);
// Shortest text of at most 15 significant digits, "." as the decimal point.
String FloatToStr(double value);

// Decimal (optionally signed, surrounding blanks allowed) or "$"/"0x" hex text.
std::optional<std::int64_t> TryStrToInt64(StringView text);
std::optional<int> TryStrToInt(StringView text);
// As above, raising EConvertError "'%s' is not a valid integer value".
std::int64_t StrToInt64(StringView text);
int StrToInt(StringView text);

}  // namespace rtl
