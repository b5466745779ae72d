#include "rtl/format.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "rtl/exceptions.h"

namespace rtl {
namespace {

String Ascii(std::string_view s) { return String(s.begin(), s.end()); }

[[noreturn]] void BadFormat(StringView fmt) {
    throw EConvertError(Format(u"Format '%s' invalid or incompatible with argument", {fmt}));
}

String Pad(String body, std::size_t width, bool left) {
    if (body.size() >= width) return body;
    const String fill(width - body.size(), u' ');
    return left ? body + fill : fill + body;
}

// At least `precision` digits; the sign does not count as one.
String ZeroExtend(String digits, int precision) {
    const std::size_t sign = !digits.empty() && digits[0] == u'-' ? 1 : 0;
    if (precision < 0 || digits.size() - sign >= static_cast<std::size_t>(precision)) return digits;
    digits.insert(sign, static_cast<std::size_t>(precision) - (digits.size() - sign), u'0');
    return digits;
}

}  // namespace

String Format(StringView fmt, std::initializer_list<FormatArg> args) {
    String out;
    out.reserve(fmt.size() + 16);
    auto next = args.begin();
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        const char16_t c = fmt[i];
        if (c != u'%') {
            out += c;
            continue;
        }
        if (++i >= fmt.size()) BadFormat(fmt);
        if (fmt[i] == u'%') {
            out += u'%';
            continue;
        }
        bool left = false;
        if (fmt[i] == u'-') {
            left = true;
            ++i;
        }
        std::size_t width = 0;
        while (i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9') width = width * 10 + (fmt[i++] - u'0');
        int precision = -1;
        if (i < fmt.size() && fmt[i] == u'.') {
            precision = 0;
            ++i;
            while (i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9') precision = precision * 10 + (fmt[i++] - u'0');
        }
        if (i >= fmt.size() || next == args.end()) BadFormat(fmt);
        const FormatArg& arg = *next++;
        String body;
        switch (fmt[i]) {
            case u's':
            case u'S':
                if (!arg.IsText()) BadFormat(fmt);
                body = String(arg.Text());
                if (precision >= 0 && body.size() > static_cast<std::size_t>(precision)) body.resize(precision);
                break;
            case u'd':
            case u'D':
            case u'u':
            case u'U':
                if (arg.IsText()) BadFormat(fmt);
                body = ZeroExtend(IntToStr(arg.Int()), precision);
                break;
            case u'x':
            case u'X':
                if (arg.IsText()) BadFormat(fmt);
                body = IntToHex(static_cast<std::uint64_t>(arg.Int()), precision < 0 ? 0 : precision);
                break;
            default: BadFormat(fmt);
        }
        out += Pad(std::move(body), width, left);
    }
    return out;
}

String IntToStr(std::int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return Ascii(std::string_view(buf, r.ptr - buf));
}

String IntToHex(std::uint64_t value, int digits) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value, 16);
    String out = UpperCase(Ascii(std::string_view(buf, r.ptr - buf)));
    if (out.size() < static_cast<std::size_t>(digits)) out.insert(0, digits - out.size(), u'0');
    return out;
}

String FloatToStr(double value) {
    if (value != value) return u"NAN";
    if (value == std::numeric_limits<double>::infinity()) return u"INF";
    if (value == -std::numeric_limits<double>::infinity()) return u"-INF";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s(buf);
    // "%G" may give "1E+20"; write exponents as the runtime does ("1E20").
    if (auto e = s.find('E'); e != std::string::npos) {
        std::string mant = s.substr(0, e);
        std::string exp = s.substr(e + 1);
        bool neg = exp[0] == '-';
        std::size_t k = (exp[0] == '+' || exp[0] == '-') ? 1 : 0;
        while (k + 1 < exp.size() && exp[k] == '0') ++k;
        s = mant + "E" + (neg ? "-" : "") + exp.substr(k);
    }
    return Ascii(s);
}

std::optional<std::int64_t> TryStrToInt64(StringView text) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] <= u' ') ++b;
    while (e > b && text[e - 1] <= u' ') --e;
    if (b == e) return std::nullopt;
    bool negative = false;
    if (text[b] == u'-' || text[b] == u'+') {
        negative = text[b] == u'-';
        ++b;
    }
    int base = 10;
    if (b < e && text[b] == u'$') {
        base = 16;
        ++b;
    } else if (b + 1 < e && text[b] == u'0' && (text[b + 1] == u'x' || text[b + 1] == u'X')) {
        base = 16;
        b += 2;
    }
    if (b == e) return std::nullopt;
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    for (std::size_t i = b; i < e; ++i) {
        const char16_t c = text[i];
        int digit;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else return std::nullopt;
        if (magnitude > (limit - digit) / base) return std::nullopt;
        magnitude = magnitude * base + digit;
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

std::optional<int> TryStrToInt(StringView text) {
    auto v = TryStrToInt64(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(*v);
}

std::int64_t StrToInt64(StringView text) {
    if (auto v = TryStrToInt64(text)) return *v;
    throw EConvertError(Format(u"'%s' is not a valid integer value", {text}));
}

int StrToInt(StringView text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw EConvertError(Format(u"'%s' is not a valid integer value", {text}));
}

}  // namespace rtl
