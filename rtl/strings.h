#pragma once
// UTF-16 text, the one string type of every layer, with its conversions,
// case mapping and comparisons that ignore letter case.

#include <cstddef>
#include <string>
#include <string_view>

namespace rtl {

using String = std::u16string;
using StringView = std::u16string_view;

String Utf8ToString(std::string_view utf8);
std::string StringToUtf8(StringView text);

// Upper- and lower-casing that maps each UTF-16 unit to its capital or small
// form by Unicode's simple mapping, whatever the user's locale: the length
// never changes, units without a counterpart (surrogates, digits) stay.
String AnsiUpperCase(StringView text);
String AnsiLowerCase(StringView text);

// ASCII-only casing, for keywords and identifiers of the machine.
String UpperCase(StringView text);
String LowerCase(StringView text);

// Comparisons and hashing that ignore letter case (per-unit lower forms).
bool SameText(StringView a, StringView b);
int CompareText(StringView a, StringView b);
std::size_t TextHash(StringView text);

String Trim(StringView text);

// Hash and equality functors for containers keyed by names compared without
// regard to letter case.
struct TextHasher {
    using is_transparent = void;
    std::size_t operator()(StringView s) const { return TextHash(s); }
};
struct TextEqual {
    using is_transparent = void;
    bool operator()(StringView a, StringView b) const { return SameText(a, b); }
};

}  // namespace rtl
