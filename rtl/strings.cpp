#include "rtl/strings.h"

#include <algorithm>
#include <array>

namespace rtl {
namespace {

struct CasePair {
    char16_t from;
    char16_t to;
};

#include "rtl/case_table.inc"

using CaseMap = std::array<char16_t, 0x10000>;

CaseMap BuildMap(const CasePair* begin, const CasePair* end) {
    CaseMap map{};
    for (std::size_t i = 0; i < map.size(); ++i) map[i] = static_cast<char16_t>(i);
    for (const CasePair* p = begin; p != end; ++p) map[p->from] = p->to;
    return map;
}

const CaseMap& UpperMap() {
    static const CaseMap map = BuildMap(std::begin(kUpperPairs), std::end(kUpperPairs));
    return map;
}

const CaseMap& LowerMap() {
    static const CaseMap map = BuildMap(std::begin(kLowerPairs), std::end(kLowerPairs));
    return map;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

constexpr char16_t kReplacement = 0xFFFD;

bool IsSpace(char16_t c) { return c <= u' '; }

}  // namespace

String Utf8ToString(std::string_view utf8) {
    String out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const unsigned char b0 = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        std::size_t len;
        if (b0 < 0x80) {
            cp = b0;
            len = 1;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1F;
            len = 2;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0F;
            len = 3;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07;
            len = 4;
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        bool ok = i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            const unsigned char b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = (cp << 6) | (b & 0x3F);
            }
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

std::string StringToUtf8(StringView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

String AnsiUpperCase(StringView text) {
    const CaseMap& map = UpperMap();
    String out(text);
    for (char16_t& c : out) c = map[c];
    return out;
}

String AnsiLowerCase(StringView text) {
    const CaseMap& map = LowerMap();
    String out(text);
    for (char16_t& c : out) c = map[c];
    return out;
}

String UpperCase(StringView text) {
    String out(text);
    for (char16_t& c : out)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return out;
}

String LowerCase(StringView text) {
    String out(text);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return out;
}

int CompareText(StringView a, StringView b) {
    const CaseMap& map = LowerMap();
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = map[a[i]];
        const char16_t y = map[b[i]];
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(StringView a, StringView b) { return a.size() == b.size() && CompareText(a, b) == 0; }

std::size_t TextHash(StringView text) {
    const CaseMap& map = LowerMap();
    std::size_t h = 14695981039346656037ull;  // FNV-1a over the lower forms
    for (char16_t c : text) {
        h = (h ^ map[c]) * 1099511628211ull;
    }
    return h;
}

String Trim(StringView text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsSpace(text[b])) ++b;
    while (e > b && IsSpace(text[e - 1])) --e;
    return String(text.substr(b, e - b));
}

}  // namespace rtl
