// A property list read from arbitrary text (the input, as UTF-8, one line per
// property, as a connection's parameters or a settings section give them):
//
// - taken over whole, the list keeps the lines; GetValue gives the text after
//   the first "=" of the first line of that name, in any letter case;
//   GetBoolean and GetRequiredValue agree with it; GetInteger agrees with a
//   separate reading of decimal and "$"/"0x" hexadecimal text, raising
//   EConvertError where that finds no integer that fits;
// - SetValue puts a value where GetValue finds it, changing only the first
//   line of that name or adding one, and an empty value removes that line;
//   every change is announced once, no change not at all;
// - Clone keeps one line per name, holding its last value; a clone of a
//   clone is the same list;
// - AddUniqueProperties keeps one line per name with its first value trimmed;
//   AddProperties onto a list that is not empty appends every line with its
//   value trimmed.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "rtl/exceptions.h"
#include "rtl/string_list.h"
#include "sql/dbx_properties.h"

using rtl::String;
using rtl::StringView;
using sql::TDBXProperties;

namespace {

constexpr std::size_t npos = String::npos;
// Bounds the work on long inputs: the names looked up one by one.
constexpr std::size_t kNamesChecked = 64;

std::optional<String> NameOf(StringView Line) {
    const std::size_t eq = Line.find(u'=');
    if (eq == npos) return std::nullopt;
    return String(Line.substr(0, eq));
}

// The value of the first (or last) line with a value named Name.
std::optional<String> ValueOf(const std::vector<String>& Lines, StringView Name, bool Last) {
    std::optional<String> found;
    for (const String& line : Lines) {
        const std::size_t eq = line.find(u'=');
        if (eq == npos || !rtl::SameText(StringView(line).substr(0, eq), Name)) continue;
        found = line.substr(eq + 1);
        if (!Last) break;
    }
    return found;
}

// Whether a line without "=" reads as Name (such lines take part in the
// merges as names without a value).
bool HasBareLine(const std::vector<String>& Lines, StringView Name) {
    for (const String& line : Lines)
        if (line.find(u'=') == npos && rtl::SameText(line, Name)) return true;
    return false;
}

// Decimal or "$"/"0x" hexadecimal text with an optional sign, blanks around
// it allowed, read with the standard library.
std::optional<int> ExpectedInteger(StringView Text) {
    const String trimmed = rtl::Trim(Text);
    std::string s;
    for (char16_t c : trimmed) {
        if (c > 0x7F) return std::nullopt;
        s += static_cast<char>(c);
    }
    std::size_t at = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) ++at;
    int base = 10;
    if (s.compare(at, 1, "$") == 0) {
        base = 16;
        at += 1;
    } else if (s.compare(at, 2, "0x") == 0 || s.compare(at, 2, "0X") == 0) {
        base = 16;
        at += 2;
    }
    if (at == s.size()) return std::nullopt;
    unsigned long long magnitude = 0;
    const auto [end, error] = std::from_chars(s.data() + at, s.data() + s.size(), magnitude, base);
    if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    const long long limit =
        negative ? -static_cast<long long>(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    if (magnitude > static_cast<unsigned long long>(limit)) return std::nullopt;
    return static_cast<int>(negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude));
}

void CheckLookups(const TDBXProperties& P, const std::vector<String>& Lines, StringView Name) {
    const std::optional<String> value = ValueOf(Lines, Name, false);
    const String v = value.value_or(String());
    FUZZ_REQUIRE(P.GetValue(Name) == v);
    FUZZ_REQUIRE(P.GetValue(rtl::AnsiLowerCase(Name)) == v);
    FUZZ_REQUIRE(P.HasName(Name) == value.has_value());
    FUZZ_REQUIRE(P.GetBoolean(Name) == (!v.empty() && (v[0] == u't' || v[0] == u'T')));
    if (v.empty()) {
        FUZZ_REQUIRE(P.GetInteger(Name) == -1);
        bool refused = false;
        try {
            P.GetRequiredValue(Name);
        } catch (const sql::TDBXError& e) {
            refused = e.ErrorCode() == 29 && e.Message() == String(Name) + u" property not set";
        }
        FUZZ_REQUIRE(refused);
        return;
    }
    FUZZ_REQUIRE(P.GetRequiredValue(Name) == v);
    const std::optional<int> expected = ExpectedInteger(v);
    try {
        const int got = P.GetInteger(Name);
        FUZZ_REQUIRE(expected && got == *expected);
    } catch (const rtl::EConvertError&) {
        FUZZ_REQUIRE(!expected);
    }
}

// No two lines with a value share a name.
void CheckUniqueNames(const std::vector<String>& Lines) {
    for (std::size_t i = 0; i < Lines.size() && i < kNamesChecked; ++i) {
        const std::optional<String> a = NameOf(Lines[i]);
        if (!a) continue;
        for (std::size_t j = i + 1; j < Lines.size(); ++j) {
            const std::optional<String> b = NameOf(Lines[j]);
            FUZZ_REQUIRE(!b || !rtl::SameText(*a, *b));
        }
    }
}

void CheckSetValue(const rtl::TStringList& List, StringView Name, StringView Value) {
    TDBXProperties p;
    p.AddProperties(List);
    int changes = 0;
    p.OnChange = [&changes](TDBXProperties&) { ++changes; };
    const std::vector<String> before = p.GetProperties().Lines();
    const std::optional<String> old = ValueOf(before, Name, false);
    p.SetValue(Name, Value);
    const std::vector<String>& after = p.GetProperties().Lines();
    // Announced once when the lines changed (a value set again may announce
    // itself too), never when nothing was there to remove.
    FUZZ_REQUIRE(changes <= 1 && (after == before || changes == 1));
    if (Value.empty() && !old) FUZZ_REQUIRE(changes == 0);
    if (Value.empty()) {
        FUZZ_REQUIRE(after.size() == before.size() - (old ? 1 : 0));
        // The line removed was the first of that name: a second one shows now.
        std::vector<String> rest;
        bool skipped = false;
        for (const String& line : before) {
            const std::optional<String> name = NameOf(line);
            if (!skipped && name && rtl::SameText(*name, Name)) {
                skipped = true;
                continue;
            }
            rest.push_back(line);
        }
        FUZZ_REQUIRE(after == rest);
        FUZZ_REQUIRE(p.GetValue(Name) == ValueOf(rest, Name, false).value_or(String()));
        return;
    }
    FUZZ_REQUIRE(p.GetValue(Name) == Value);
    FUZZ_REQUIRE(after.size() == before.size() + (old ? 0 : 1));
    std::size_t differing = 0;
    for (std::size_t i = 0; i < before.size(); ++i) differing += after[i] != before[i];
    FUZZ_REQUIRE(differing <= (old ? 1 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    rtl::TStringList list;
    list.SetText(fuzz::Utf8Text(Data, Size));
    const std::vector<String>& lines = list.Lines();

    TDBXProperties p;
    int changes = 0;
    p.OnChange = [&changes](TDBXProperties&) { ++changes; };
    p.AddProperties(list);
    FUZZ_REQUIRE(p.GetProperties().Lines() == lines && p.GetCount() == list.Count());
    FUZZ_REQUIRE(changes == 1);

    // The lines' names (a line without "=" reads as a name) and one that
    // may be missing.
    std::vector<String> names;
    for (const String& line : lines)
        if (names.size() < kNamesChecked) names.push_back(NameOf(line).value_or(line));
    for (const String& name : names) CheckLookups(p, lines, name);
    CheckLookups(p, lines, u"DriverName");

    const std::unique_ptr<TDBXProperties> clone = p.Clone();
    const std::vector<String>& cloned = clone->GetProperties().Lines();
    FUZZ_REQUIRE(cloned.size() <= lines.size());
    CheckUniqueNames(cloned);
    for (const String& name : names)
        if (!HasBareLine(lines, name))
            FUZZ_REQUIRE(clone->GetValue(name) == ValueOf(lines, name, true).value_or(String()));
    FUZZ_REQUIRE(clone->Clone()->GetProperties().Lines() == cloned);

    TDBXProperties unique;
    unique.AddUniqueProperties(list);
    const std::vector<String>& kept = unique.GetProperties().Lines();
    CheckUniqueNames(kept);
    for (const String& name : names) {
        FUZZ_REQUIRE(unique.HasName(name));
        if (!HasBareLine(lines, name))
            FUZZ_REQUIRE(unique.GetValue(name) == rtl::Trim(ValueOf(lines, name, false).value_or(String())));
    }

    TDBXProperties appended;
    appended.Add(u"DriverName", u"Sqlite");
    appended.AddProperties(list);
    FUZZ_REQUIRE(appended.GetCount() == list.Count() + 1);
    for (int i = 0; i < list.Count() && i < static_cast<int>(kNamesChecked); ++i) {
        const String& line = appended.GetProperties().Strings(i + 1);
        const std::size_t eq = line.find(u'=');
        FUZZ_REQUIRE(eq != npos && StringView(line).substr(0, eq) == StringView(list.Names(i)));
        FUZZ_REQUIRE(StringView(line).substr(eq + 1) == StringView(rtl::Trim(list.ValueFromIndex(i))));
    }

    // A name from the first line and a value from the last (empty when there
    // is one line or none).
    const String name = names.empty() ? String(u"DriverName") : names.front();
    const String value = lines.size() > 1 ? rtl::Trim(lines.back()) : String();
    if (name.find(u'=') == npos) {
        CheckSetValue(list, name, value);
        CheckSetValue(list, name, u"");
    }
    return 0;
}
