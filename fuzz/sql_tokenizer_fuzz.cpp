// The SQL text functions on arbitrary statement text (the input, as UTF-8):
//
// - NextSQLTokenEx, walked over the whole text to stEnd, always moves forward,
//   skips nothing but blanks and consumes exactly the token it gives; the
//   four identifier options give the same classes at the same positions and
//   differ only in the token's quotes and letter case; a closed quoted token
//   holds its closing quote only doubled;
// - GetTableNameFromSQLEx names a table only after a FROM, built from the
//   statement's own text, and whether it finds one does not depend on the
//   letter-case option;
// - PosOutsideQuotes finds only real occurrences, and in text without quotes
//   exactly what a plain search finds;
// - ParseSQLParams turns each marker into one "?", and when the text holds no
//   "?" and no "::", putting the names back gives the text again;
// - DeriveCountStatement counts a table GetTableNameFromSQLEx names in the
//   text from one of its FROMs on, refuses only a text without one, with a
//   DISTINCT, or whose FROMs may all be inside parentheses, quotes or
//   comments, and copies its condition
//   unchanged from the text at the WHERE it reports, ending before the
//   ORDER BY it reports (what separates the condition from the table is not
//   looked at);
// - ParsePlainSelect reports WHERE and ORDER BY where those words stand, and
//   a trailing line comment or a leading block comment changes nothing but
//   the positions' offset.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fuzz_check.h"
#include "sql/sql_tokenizer.h"

using namespace sql;
using rtl::String;
using rtl::StringView;

namespace {

constexpr std::size_t npos = StringView::npos;
constexpr std::array<TIdentifierOption, 4> kOptions = {idMixCase, idMakeLowerCase, idMakeUpperCase, idKeepQuotes};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsQuote(char16_t c) { return c == u'\'' || c == u'"' || c == u'`' || c == u'['; }
char16_t Closing(char16_t Open) { return Open == u'[' ? u']' : Open; }

// Whether the closing quote of Open stands in Text only doubled (a square
// bracket's not at all).
bool QuotesOnlyDoubled(StringView Text, char16_t Open) {
    std::size_t run = 0;
    for (std::size_t i = 0; i <= Text.size(); ++i) {
        if (i < Text.size() && Text[i] == Closing(Open)) {
            ++run;
            continue;
        }
        if (Open == u'[' ? run != 0 : run % 2 != 0) return false;
        run = 0;
    }
    return true;
}

// Tokens that stand for two or three words, of which the token holds the first.
bool IsMultiWord(TSQLToken Token) {
    return Token == stGroupBy || Token == stOrderBy || Token == stForUpdate || Token == stIsNull ||
           Token == stIsNotNull;
}

struct Step {
    TSQLToken Kind;
    std::size_t Start;  // the first character after the blanks skipped
    std::size_t End;    // the position after the call
    String Token;
};

// Walks the text as GetTableNameFromSQLEx does, keeping the section.
std::vector<Step> Walk(StringView SQL, TIdentifierOption Option) {
    std::vector<Step> steps;
    std::size_t pos = 0;
    TSQLToken section = stUnknown;
    String token;
    for (;;) {
        const std::size_t before = pos;
        std::size_t start = before;
        while (start < SQL.size() && IsBlank(SQL[start])) ++start;
        const TSQLToken kind = NextSQLTokenEx(SQL, pos, token, section, Option);
        FUZZ_REQUIRE(pos <= SQL.size());
        if (kind == stEnd) {
            // The end only when nothing but blanks is left.
            FUZZ_REQUIRE(start == SQL.size() && pos == SQL.size() && token.empty());
            return steps;
        }
        FUZZ_REQUIRE(start < SQL.size() && pos > start);
        steps.push_back({kind, start, pos, token});
        if (IsSectionToken(kind)) section = kind;
    }
}

using Walks = std::array<std::vector<Step>, kOptions.size()>;
using Tables = std::array<String, kOptions.size()>;

Walks CheckTokenizer(StringView SQL) {
    Walks walks;
    for (std::size_t o = 0; o < kOptions.size(); ++o) walks[o] = Walk(SQL, kOptions[o]);
    const std::vector<Step>& mix = walks[0];
    const std::vector<Step>& lower = walks[1];
    const std::vector<Step>& upper = walks[2];
    const std::vector<Step>& keep = walks[3];
    for (const auto& walk : walks) FUZZ_REQUIRE(walk.size() == keep.size());
    for (std::size_t i = 0; i < keep.size(); ++i) {
        const Step& k = keep[i];
        for (const auto& walk : walks)
            FUZZ_REQUIRE(walk[i].Kind == k.Kind && walk[i].Start == k.Start && walk[i].End == k.End);
        const StringView raw = SQL.substr(k.Start, k.End - k.Start);
        // With quotes kept the token is the text read (its first word for a
        // token of several words).
        if (IsMultiWord(k.Kind)) FUZZ_REQUIRE(raw.starts_with(k.Token) && !k.Token.empty());
        else FUZZ_REQUIRE(raw == k.Token);
        const char16_t open = raw.front();
        if (IsQuote(open) && k.Kind != stComment) {
            // Quotes removed: the opening one always, the closing one when the
            // text closes it; a quote that stays open runs to the end.
            const String& t = mix[i].Token;
            const StringView inner = raw.substr(1);
            if (inner == t) {
                FUZZ_REQUIRE(k.End == SQL.size());
            } else {
                FUZZ_REQUIRE(inner.size() == t.size() + 1 && inner.starts_with(t) && inner.back() == Closing(open));
                // Inside a closed quote, its character stands only doubled.
                FUZZ_REQUIRE(QuotesOnlyDoubled(t, open));
            }
            FUZZ_REQUIRE(lower[i].Token == t && upper[i].Token == t);
        } else {
            FUZZ_REQUIRE(mix[i].Token == k.Token);
            // Only plain table and field names change their letter case.
            if (k.Kind == stTableName || k.Kind == stFieldName) {
                FUZZ_REQUIRE(lower[i].Token == rtl::AnsiLowerCase(k.Token));
                FUZZ_REQUIRE(upper[i].Token == rtl::AnsiUpperCase(k.Token));
            } else {
                FUZZ_REQUIRE(lower[i].Token == k.Token && upper[i].Token == k.Token);
            }
        }
    }
    return walks;
}

// Every part of a table name between dots is text of the statement (or, for
// the letter-case options, of the statement in that case).
void CheckTableName(StringView SQL, StringView Table, TIdentifierOption Option) {
    const String cased = Option == idMakeLowerCase   ? rtl::AnsiLowerCase(SQL)
                         : Option == idMakeUpperCase ? rtl::AnsiUpperCase(SQL)
                                                     : String(SQL);
    std::size_t from = 0;
    while (from <= Table.size()) {
        std::size_t dot = Table.find(u'.', from);
        if (dot == npos) dot = Table.size();
        const StringView part = Table.substr(from, dot - from);
        FUZZ_REQUIRE(SQL.find(part) != npos || cased.find(part) != npos);
        from = dot + 1;
    }
}

Tables CheckTableNames(StringView SQL, const Walks& Walked) {
    Tables tables;
    for (std::size_t o = 0; o < kOptions.size(); ++o) {
        tables[o] = GetTableNameFromSQLEx(SQL, kOptions[o]);
        if (!tables[o].empty()) CheckTableName(SQL, tables[o], kOptions[o]);
    }
    FUZZ_REQUIRE(tables[0].empty() == tables[1].empty() && tables[0].empty() == tables[2].empty());
    if (!tables[0].empty()) FUZZ_REQUIRE(!tables[3].empty());
    if (!tables[3].empty()) {
        bool from = false;
        for (const Step& s : Walked[0]) from = from || s.Kind == stFrom;
        FUZZ_REQUIRE(from);
    }
    return tables;
}

void CheckPosOutsideQuotes(StringView SQL) {
    String piece(SQL.substr(SQL.size() / 2, 3));
    std::erase_if(piece, IsQuote);
    bool quoted = false;
    for (char16_t c : SQL) quoted = quoted || IsQuote(c);
    for (const StringView what :
         {StringView(u" where "), StringView(u" order by "), StringView(u"("), StringView(piece)}) {
        for (const std::size_t from : {std::size_t{0}, SQL.size() / 3}) {
            const std::size_t at = PosOutsideQuotes(what, SQL, from);
            const std::size_t plain = SQL.find(what, from);
            if (at == npos) {
                if (!quoted) FUZZ_REQUIRE(plain == npos);
                continue;
            }
            FUZZ_REQUIRE(at >= from && SQL.substr(at, what.size()) == what);
            FUZZ_REQUIRE(plain <= at);
            if (!quoted) FUZZ_REQUIRE(at == plain);
            // Starting at an occurrence finds it.
            FUZZ_REQUIRE(PosOutsideQuotes(what, SQL, at) == at);
        }
    }
}

void CheckParams(StringView SQL) {
    const TParsedParams parsed = ParseSQLParams(SQL);
    const auto marks = [](StringView Text) { return std::count(Text.begin(), Text.end(), u'?'); };
    FUZZ_REQUIRE(marks(parsed.NativeText) == marks(SQL) + static_cast<std::ptrdiff_t>(parsed.Names.size()));
    std::size_t named = 0;
    for (const String& name : parsed.Names) {
        FUZZ_REQUIRE(!name.empty() && name.find(u':') == npos);
        named += name.size();
    }
    FUZZ_REQUIRE(parsed.NativeText.size() + named <= SQL.size());
    if (marks(SQL) == 0 && SQL.find(u"::") == npos) {
        String back;
        std::size_t next = 0;
        for (char16_t c : parsed.NativeText) {
            if (c == u'?') back += u':' + parsed.Names[next++];
            else back += c;
        }
        FUZZ_REQUIRE(back == SQL);
    }
}

void CheckCount(StringView SQL, const Tables& Named) {
    const StringView quote = u"\"";
    const String lowered = rtl::AnsiLowerCase(SQL);
    for (std::size_t o = 0; o < kOptions.size(); ++o) {
        const String& table = Named[o];
        const std::optional<TCountDerivation> count = DeriveCountStatement(SQL, quote, kOptions[o]);
        if (!count) {
            // Refused: no table, a DISTINCT somewhere in the text, or every
            // FROM inside parentheses, quotes or comments.
            const bool hidingPlaces =
                lowered.find_first_of(u"(\"'`[") != npos || lowered.find(u"--") != npos || lowered.find(u"/*") != npos;
            FUZZ_REQUIRE(table.empty() || lowered.find(u"distinct") != npos || hidingPlaces);
            continue;
        }
        std::size_t end = SQL.size();
        if (count->WhereAt != npos) {
            FUZZ_REQUIRE(count->WhereAt + 5 <= SQL.size() && rtl::SameText(SQL.substr(count->WhereAt, 5), u"where"));
            if (count->OrderByAt != npos) {
                FUZZ_REQUIRE(count->OrderByAt > count->WhereAt && count->OrderByAt + 5 <= SQL.size());
                FUZZ_REQUIRE(rtl::SameText(SQL.substr(count->OrderByAt, 5), u"order"));
                end = count->OrderByAt;
            }
        }
        // The statement counts the table after the FROM outside parentheses,
        // one of the names the text gives from a FROM on, and filters by the
        // text's own condition after a blank: from the WHERE it reports up
        // to no further than the ORDER BY it reports.
        bool matched = false;
        for (std::size_t k = lowered.find(u"from"); k != npos && !matched; k = lowered.find(u"from", k + 1)) {
            const String head = u"select count(*) from " + String(quote) +
                                GetTableNameFromSQLEx(SQL.substr(k), kOptions[o]) + String(quote);
            if (count->WhereAt == npos) {
                matched = count->Statement == head;
            } else if (count->Statement.size() > head.size() && count->Statement.starts_with(head)) {
                const std::size_t length = count->Statement.size() - head.size() - 1;
                matched = count->WhereAt + length <= end &&
                          count->Statement == head + u' ' + String(SQL.substr(count->WhereAt, length));
            }
        }
        FUZZ_REQUIRE(matched);
    }
}

void CheckSameShape(const std::optional<TPlainSelect>& A, const std::optional<TPlainSelect>& B, std::size_t Shift) {
    FUZZ_REQUIRE(A.has_value() == B.has_value());
    if (!A) return;
    const auto shifted = [Shift](std::size_t At) { return At == npos ? npos : At + Shift; };
    FUZZ_REQUIRE(shifted(A->WhereAt) == B->WhereAt && shifted(A->OrderByAt) == B->OrderByAt && A->Limit == B->Limit);
}

void CheckPlainSelect(StringView SQL) {
    const std::optional<TPlainSelect> shape = ParsePlainSelect(SQL);
    if (shape) {
        if (shape->WhereAt != npos)
            FUZZ_REQUIRE(shape->WhereAt + 5 <= SQL.size() && rtl::SameText(SQL.substr(shape->WhereAt, 5), u"where"));
        if (shape->OrderByAt != npos) {
            FUZZ_REQUIRE(shape->OrderByAt + 5 <= SQL.size() &&
                         rtl::SameText(SQL.substr(shape->OrderByAt, 5), u"order"));
            FUZZ_REQUIRE(shape->WhereAt == npos || shape->WhereAt < shape->OrderByAt);
        }
        FUZZ_REQUIRE(!shape->Limit || *shape->Limit >= 0);
    }
    CheckSameShape(shape, ParsePlainSelect(String(SQL) + u"\n-- limit 1 offset 2\n"), 0);
    const StringView comment = u"/* select 1 */";
    CheckSameShape(shape, ParsePlainSelect(String(comment) + String(SQL)), comment.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const String sql = fuzz::Utf8Text(Data, Size);
    const Walks walks = CheckTokenizer(sql);
    const Tables tables = CheckTableNames(sql, walks);
    CheckPosOutsideQuotes(sql);
    CheckParams(sql);
    CheckCount(sql, tables);
    CheckPlainSelect(sql);
    return 0;
}
