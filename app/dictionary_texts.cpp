#include "app/dictionary_texts.h"

namespace app {
namespace {

// Text between apostrophes as an SQL literal's body: each apostrophe doubled.
rtl::String LiteralBody(rtl::StringView Text) {
    rtl::String body;
    body.reserve(Text.size());
    for (const char16_t c : Text) {
        body += c;
        if (c == u'\'') body += c;
    }
    return body;
}

}  // namespace

rtl::String GroupDigits(std::int64_t Count) {
    // Magnitude as unsigned, so that the smallest 64-bit value has one too.
    std::uint64_t magnitude = Count < 0 ? 0 - static_cast<std::uint64_t>(Count) : static_cast<std::uint64_t>(Count);
    rtl::String reversed;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) reversed += u' ';
        reversed += static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude != 0);
    if (Count < 0) reversed += u'-';
    return rtl::String(reversed.rbegin(), reversed.rend());
}

rtl::String TotalWordsText(std::int64_t Count) { return u"Базада барлығы " + GroupDigits(Count) + u" сөз бар"; }

rtl::String MatchesFoundText(std::int64_t Count) {
    return u"Сұраныс бойынша " + GroupDigits(Count) + u" сөздік табылды";
}

rtl::String SearchConditionLine(int Mode, rtl::StringView UpperText) {
    // Kept on purpose: with the text pasted in as typed, an apostrophe would
    // break the statement or rewrite its condition.
    const rtl::String body = LiteralBody(UpperText);
    rtl::String condition;
    switch (Mode) {
        case mmStartsWith: condition = u" like '" + body + u"%'"; break;
        case mmEquals: condition = u" = '" + body + u"'"; break;
        default: condition = u" like '%" + body + u"%'"; break;
    }
    return u" where lx_word_upper " + condition;
}

}  // namespace app
