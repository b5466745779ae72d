// Case mapping, case-blind comparison and the UTF-8 conversions on arbitrary
// text. The input is read twice: as UTF-16LE units (so that every unit, lone
// surrogates included, occurs) and as UTF-8 split at 0xFF bytes (a byte no
// UTF-8 holds) into up to three strings to compare.
//
// - Utf8ToString never gives more units than bytes nor a lone surrogate;
//   StringToUtf8 then Utf8ToString gives the text back, lone surrogates
//   turned into U+FFFD; UTF-8 that decodes without U+FFFD encodes back to the
//   same bytes;
// - AnsiUpperCase and AnsiLowerCase keep the length, map each unit on its
//   own (the casing of a part is the part of the casing), leave surrogates
//   alone, agree with the ASCII casing on ASCII, and a second pass changes
//   nothing;
// - CompareText orders by the lower-cased units: it is antisymmetric,
//   transitive, zero exactly when SameText holds, and SameText texts hash
//   alike; a text is the same text as its lower-cased form, and upper-casing
//   both keeps them the same;
// - Trim leaves no blank at either end, is a piece of its text, and is
//   idempotent.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"

using rtl::String;
using rtl::StringView;

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The text with every surrogate that is not half of a pair replaced by U+FFFD.
String WithoutLoneSurrogates(StringView Text) {
    String out(Text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsHigh(out[i]) && i + 1 < out.size() && IsLow(out[i + 1])) {
            ++i;
        } else if (IsHigh(out[i]) || IsLow(out[i])) {
            out[i] = 0xFFFD;
        }
    }
    return out;
}

int Sign(int v) { return (v > 0) - (v < 0); }

void CheckUtf8(std::string_view Bytes) {
    const String text = rtl::Utf8ToString(Bytes);
    FUZZ_REQUIRE(text.size() <= Bytes.size());
    FUZZ_REQUIRE(WithoutLoneSurrogates(text) == text);
    const std::string back = rtl::StringToUtf8(text);
    FUZZ_REQUIRE(back.size() <= 3 * text.size());
    FUZZ_REQUIRE(rtl::Utf8ToString(back) == text);
    if (text.find(u'\uFFFD') == String::npos) FUZZ_REQUIRE(back == Bytes);
}

void CheckUtf16(StringView Units) {
    const std::string utf8 = rtl::StringToUtf8(Units);
    FUZZ_REQUIRE(rtl::Utf8ToString(utf8) == WithoutLoneSurrogates(Units));
}

void CheckCasing(StringView Text, std::size_t Split) {
    const String upper = rtl::AnsiUpperCase(Text);
    const String lower = rtl::AnsiLowerCase(Text);
    FUZZ_REQUIRE(upper.size() == Text.size() && lower.size() == Text.size());
    FUZZ_REQUIRE(rtl::AnsiUpperCase(upper) == upper && rtl::AnsiLowerCase(lower) == lower);
    // Each unit is mapped on its own.
    Split = Text.empty() ? 0 : Split % (Text.size() + 1);
    FUZZ_REQUIRE(rtl::AnsiUpperCase(Text.substr(0, Split)) + rtl::AnsiUpperCase(Text.substr(Split)) == upper);
    FUZZ_REQUIRE(rtl::AnsiLowerCase(Text.substr(0, Split)) + rtl::AnsiLowerCase(Text.substr(Split)) == lower);
    const String asciiUpper = rtl::UpperCase(Text);
    const String asciiLower = rtl::LowerCase(Text);
    FUZZ_REQUIRE(asciiUpper.size() == Text.size() && asciiLower.size() == Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char16_t c = Text[i];
        if (IsHigh(c) || IsLow(c)) FUZZ_REQUIRE(upper[i] == c && lower[i] == c);
        if (c < 0x80) FUZZ_REQUIRE(upper[i] == asciiUpper[i] && lower[i] == asciiLower[i]);
        else FUZZ_REQUIRE(asciiUpper[i] == c && asciiLower[i] == c);
    }
    // Case-blind comparison takes a text and its lower-cased form as the same.
    FUZZ_REQUIRE(rtl::SameText(Text, lower) && rtl::CompareText(Text, lower) == 0);
    FUZZ_REQUIRE(rtl::TextHash(Text) == rtl::TextHash(lower));
    FUZZ_REQUIRE(rtl::SameText(upper, rtl::AnsiLowerCase(upper)));
    // Texts the same but for letter case stay so when both are upper-cased.
    FUZZ_REQUIRE(rtl::SameText(upper, rtl::AnsiUpperCase(lower)));
}

void CheckComparison(StringView A, StringView B, StringView C) {
    const String la = rtl::AnsiLowerCase(A), lb = rtl::AnsiLowerCase(B);
    const int ab = rtl::CompareText(A, B), ba = rtl::CompareText(B, A);
    FUZZ_REQUIRE(Sign(ab) == -Sign(ba));
    FUZZ_REQUIRE(Sign(ab) == Sign(la.compare(lb)));
    FUZZ_REQUIRE((ab == 0) == rtl::SameText(A, B));
    FUZZ_REQUIRE(rtl::SameText(A, B) == (la == lb));
    if (rtl::SameText(A, B)) FUZZ_REQUIRE(rtl::TextHash(A) == rtl::TextHash(B));
    const int bc = rtl::CompareText(B, C), ac = rtl::CompareText(A, C);
    if (ab <= 0 && bc <= 0) FUZZ_REQUIRE(ac <= 0);
    if (ab < 0 && bc <= 0) FUZZ_REQUIRE(ac < 0);
    FUZZ_REQUIRE(rtl::CompareText(A, A) == 0 && rtl::SameText(C, C));
}

void CheckTrim(StringView Text) {
    const String trimmed = rtl::Trim(Text);
    FUZZ_REQUIRE(Text.find(trimmed) != StringView::npos);
    if (!trimmed.empty()) FUZZ_REQUIRE(trimmed.front() > u' ' && trimmed.back() > u' ');
    FUZZ_REQUIRE(rtl::Trim(trimmed) == trimmed);
    for (char16_t c : Text)
        if (c > u' ') FUZZ_REQUIRE(!trimmed.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view bytes = fuzz::Bytes(Data, Size);
    const String units = fuzz::Utf16Units(Data, Size);
    CheckUtf8(bytes);
    CheckUtf16(units);
    CheckCasing(units, Size ? Data[0] : 0);
    CheckTrim(units);

    std::vector<String> parts;
    std::size_t start = 0;
    while (parts.size() < 3) {
        const std::size_t end = bytes.find('\xFF', start);
        parts.push_back(rtl::Utf8ToString(bytes.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    while (parts.size() < 3) parts.push_back(rtl::AnsiUpperCase(parts.back()));
    CheckCasing(parts[0], parts[1].size());
    CheckComparison(parts[0], parts[1], parts[2]);
    CheckComparison(parts[2], parts[0], parts[1]);
    return 0;
}
