#include "sql/sql_tokenizer.h"

#include "rtl/format.h"

namespace sql {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// The characters that end a plain word.
bool EndsWord(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'(' || c == u',' || c == u';';
}

bool IsOpeningQuote(char16_t c) { return c == u'\'' || c == u'"' || c == u'`' || c == u'['; }

char16_t ClosingQuote(char16_t open) { return open == u'[' ? u']' : open; }

// The position just past the quoted text that starts at Pos: past its
// closing quote, or the end of the text when it is left open (Closed tells).
std::size_t SkipQuoted(StringView Text, std::size_t Pos, bool* Closed = nullptr) {
    const char16_t close = ClosingQuote(Text[Pos]);
    std::size_t i = Pos + 1;
    while (i < Text.size()) {
        if (Text[i] == close) {
            // A doubled quote stands for one quote character inside the text.
            if (close != u']' && i + 1 < Text.size() && Text[i + 1] == close) {
                i += 2;
                continue;
            }
            if (Closed) *Closed = true;
            return i + 1;
        }
        ++i;
    }
    if (Closed) *Closed = false;
    return Text.size();
}

bool IsIdentStart(char16_t c) { return c == u'_' || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c > 0x7F; }
bool IsIdentChar(char16_t c) { return IsIdentStart(c) || (c >= u'0' && c <= u'9'); }

String ApplyCase(String Word, TIdentifierOption IdOption) {
    if (IdOption == idMakeLowerCase) return rtl::AnsiLowerCase(Word);
    if (IdOption == idMakeUpperCase) return rtl::AnsiUpperCase(Word);
    return Word;
}

// The next plain word after Pos, without moving past it.
String PeekWord(StringView SQL, std::size_t Pos) {
    while (Pos < SQL.size() && IsBlank(SQL[Pos])) ++Pos;
    std::size_t end = Pos;
    while (end < SQL.size() && !EndsWord(SQL[end])) ++end;
    return String(SQL.substr(Pos, end - Pos));
}

// Consumes the next plain word when it is Word.
bool TakeWord(StringView SQL, std::size_t& Pos, StringView Word) {
    std::size_t p = Pos;
    while (p < SQL.size() && IsBlank(SQL[p])) ++p;
    if (!rtl::SameText(PeekWord(SQL, p), Word)) return false;
    Pos = p + Word.size();
    return true;
}

}  // namespace

bool IsSectionToken(TSQLToken Token) {
    switch (Token) {
        case stSelect:
        case stFrom:
        case stWhere:
        case stGroupBy:
        case stHaving:
        case stUnion:
        case stPlan:
        case stOrderBy:
        case stForUpdate: return true;
        default: return false;
    }
}

TSQLToken NextSQLTokenEx(StringView SQL, std::size_t& Pos, String& Token, TSQLToken CurSection,
                         TIdentifierOption IdOption) {
    Token.clear();
    while (Pos < SQL.size() && IsBlank(SQL[Pos])) ++Pos;
    if (Pos >= SQL.size()) return stEnd;

    const char16_t c = SQL[Pos];
    // Comments.
    if (c == u'-' && Pos + 1 < SQL.size() && SQL[Pos + 1] == u'-') {
        const std::size_t start = Pos;
        while (Pos < SQL.size() && SQL[Pos] != u'\n' && SQL[Pos] != u'\r') ++Pos;
        Token = String(SQL.substr(start, Pos - start));
        return stComment;
    }
    if (c == u'/' && Pos + 1 < SQL.size() && SQL[Pos + 1] == u'*') {
        const std::size_t start = Pos;
        const std::size_t end = SQL.find(u"*/", Pos + 2);
        Pos = end == StringView::npos ? SQL.size() : end + 2;
        Token = String(SQL.substr(start, Pos - start));
        return stComment;
    }
    // Quoted text: a literal value between apostrophes, else an identifier.
    if (IsOpeningQuote(c)) {
        const std::size_t start = Pos;
        bool closed = false;
        Pos = SkipQuoted(SQL, Pos, &closed);
        const StringView whole = SQL.substr(start, Pos - start);
        if (IdOption == idKeepQuotes) Token = String(whole);
        else Token = String(whole.substr(1, whole.size() - (closed ? 2 : 1)));
        if (c == u'\'') return stValue;
        return CurSection == stFrom ? stTableName : stFieldName;
    }
    // Single punctuation characters.
    if (c == u'(' || c == u')' || c == u',' || c == u';') {
        Token = String(1, c);
        ++Pos;
        return stUnknown;
    }
    // A plain word.
    const std::size_t start = Pos;
    while (Pos < SQL.size() && !EndsWord(SQL[Pos])) ++Pos;
    Token = String(SQL.substr(start, Pos - start));

    struct Keyword {
        const char16_t* Word;
        TSQLToken Token;
    };
    static constexpr Keyword kKeywords[] = {
        // clang-format off
        {u"SELECT", stSelect}, {u"FROM", stFrom},     {u"WHERE", stWhere},   {u"HAVING", stHaving},
        {u"UNION", stUnion},   {u"PLAN", stPlan},     {u"DISTINCT", stDistinct}, {u"AND", stAnd},
        {u"OR", stOr},         {u"LIKE", stLike},     {u"ASC", stAscending}, {u"ASCENDING", stAscending},
        {u"DESC", stDescending}, {u"DESCENDING", stDescending},
    };
    // clang-format on
    for (const Keyword& k : kKeywords)
        if (rtl::SameText(Token, k.Word)) return k.Token;
    if (rtl::SameText(Token, u"GROUP") && TakeWord(SQL, Pos, u"BY")) return stGroupBy;
    if (rtl::SameText(Token, u"ORDER") && TakeWord(SQL, Pos, u"BY")) return stOrderBy;
    if (rtl::SameText(Token, u"FOR") && TakeWord(SQL, Pos, u"UPDATE")) return stForUpdate;
    if (rtl::SameText(Token, u"IS")) {
        std::size_t p = Pos;
        if (TakeWord(SQL, p, u"NULL")) {
            Pos = p;
            return stIsNull;
        }
        if (TakeWord(SQL, p, u"NOT") && TakeWord(SQL, p, u"NULL")) {
            Pos = p;
            return stIsNotNull;
        }
    }
    if (Token == u"*") return stAllFields;
    if ((c >= u'0' && c <= u'9') || ((c == u'-' || c == u'.') && Token.size() > 1)) return stNumber;
    if (Token == u"=" || Token == u"<>" || Token == u"<" || Token == u">" || Token == u"<=" || Token == u">=")
        return stPredicate;
    if (!IsIdentStart(c)) return stUnknown;
    Token = ApplyCase(std::move(Token), IdOption);
    return CurSection == stFrom ? stTableName : stFieldName;
}

String GetTableNameFromSQLEx(StringView SQL, TIdentifierOption IdOption) {
    std::size_t pos = 0;
    String token;
    TSQLToken section = stUnknown;
    TSQLToken t;
    do {
        t = NextSQLTokenEx(SQL, pos, token, section, IdOption);
        if (IsSectionToken(t)) section = t;
    } while (t != stFrom && t != stEnd);
    if (t == stEnd) return String();

    section = stFrom;
    do {
        t = NextSQLTokenEx(SQL, pos, token, section, IdOption);
        if (IsSectionToken(t)) {
            section = t;
        } else if (t == stTableName || t == stValue) {
            String result = token;
            if (!result.empty() && result.back() == u';') result.pop_back();
            if (!result.empty() && result.back() == u')') result.pop_back();
            result = rtl::Trim(result);
            // A schema-qualified name written as separate quoted parts.
            while (pos < SQL.size() && SQL[pos] == u'.') {
                ++pos;
                NextSQLTokenEx(SQL, pos, token, section, IdOption);
                result += u'.';
                result += token;
            }
            return result;
        }
    } while (section == stFrom && t != stEnd);
    return String();
}

std::size_t PosOutsideQuotes(StringView What, StringView Text, std::size_t From) {
    if (What.empty()) return From <= Text.size() ? From : StringView::npos;
    std::size_t i = From;
    while (i < Text.size()) {
        if (IsOpeningQuote(Text[i])) {
            i = SkipQuoted(Text, i);
            continue;
        }
        if (Text.compare(i, What.size(), What) == 0) return i;
        ++i;
    }
    return StringView::npos;
}

TParsedParams ParseSQLParams(StringView SQL) {
    TParsedParams out;
    out.NativeText.reserve(SQL.size());
    std::size_t i = 0;
    while (i < SQL.size()) {
        const char16_t c = SQL[i];
        if (c == u'\'' || c == u'"' || c == u'`') {
            const std::size_t end = SkipQuoted(SQL, i);
            out.NativeText.append(SQL.substr(i, end - i));
            i = end;
        } else if (c == u':' && i + 1 < SQL.size() && SQL[i + 1] == u':') {
            out.NativeText += u':';
            i += 2;
        } else if (c == u':' && i + 1 < SQL.size() && IsIdentChar(SQL[i + 1])) {
            std::size_t end = i + 1;
            while (end < SQL.size() && IsIdentChar(SQL[end])) ++end;
            out.Names.emplace_back(SQL.substr(i + 1, end - i - 1));
            out.NativeText += u'?';
            i = end;
        } else {
            out.NativeText += c;
            ++i;
        }
    }
    return out;
}

// ---- statements read as SQLite reads them

namespace {

enum class TLexKind { Word, QuotedName, Literal, Number, Symbol };

struct TLexToken {
    TLexKind Kind;
    std::size_t At;
    StringView Text;
};

// Splits SQL text into tokens as SQLite reads it: blanks and comments
// separate them and are dropped, quoted text is one token. Only what the
// count derivation and ParsePlainSelect need.
std::vector<TLexToken> Lex(StringView SQL) {
    std::vector<TLexToken> tokens;
    std::size_t i = 0;
    auto isSpace = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; };
    while (i < SQL.size()) {
        const char16_t c = SQL[i];
        const std::size_t start = i;
        if (isSpace(c)) {
            ++i;
        } else if (c == u'-' && i + 1 < SQL.size() && SQL[i + 1] == u'-') {
            while (i < SQL.size() && SQL[i] != u'\n') ++i;
        } else if (c == u'/' && i + 1 < SQL.size() && SQL[i + 1] == u'*') {
            const std::size_t end = SQL.find(u"*/", i + 2);
            i = end == StringView::npos ? SQL.size() : end + 2;
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            i = SkipQuoted(SQL, i);
            tokens.push_back(
                {c == u'\'' ? TLexKind::Literal : TLexKind::QuotedName, start, SQL.substr(start, i - start)});
        } else if (c >= u'0' && c <= u'9') {
            while (i < SQL.size() && (IsIdentChar(SQL[i]) || SQL[i] == u'.')) ++i;
            tokens.push_back({TLexKind::Number, start, SQL.substr(start, i - start)});
        } else if (IsIdentStart(c)) {
            while (i < SQL.size() && (IsIdentChar(SQL[i]) || SQL[i] == u'$')) ++i;
            tokens.push_back({TLexKind::Word, start, SQL.substr(start, i - start)});
        } else {
            ++i;
            tokens.push_back({TLexKind::Symbol, start, SQL.substr(start, 1)});
        }
    }
    return tokens;
}

bool IsWord(const TLexToken& Token, StringView Keyword) {
    return Token.Kind == TLexKind::Word && rtl::SameText(Token.Text, Keyword);
}

bool IsSymbol(const TLexToken& Token, char16_t Symbol) {
    return Token.Kind == TLexKind::Symbol && Token.Text.front() == Symbol;
}

bool IsName(const TLexToken& Token) { return Token.Kind == TLexKind::Word || Token.Kind == TLexKind::QuotedName; }

// Words that, outside parentheses, would make the rows differ from the count.
bool ChangesTheRows(const TLexToken& Token) {
    // clang-format off
    static constexpr StringView Words[] = {u"group",   u"having", u"window", u"union",  u"intersect", u"except",
                                           u"offset",  u"select", u"from",   u"values", u"join"};
    // clang-format on
    for (StringView w : Words)
        if (IsWord(Token, w)) return true;
    return IsSymbol(Token, u';');
}

}  // namespace

// ---- the count statement

std::optional<TCountDerivation> DeriveCountStatement(StringView SQL, StringView Quote, TIdentifierOption IdOption) {
    // Tokens rather than " where " between blanks in the lower-cased text:
    // a WHERE after a line break, or one inside a literal, would otherwise
    // give a count statement that filters on the wrong text or fails.
    // The keywords are looked for among the statement's tokens as SQLite
    // reads them: a word in quoted text or in a comment is no keyword, and
    // any whitespace or comment between two words separates them.
    // DISTINCT anywhere is refused; FROM, WHERE and ORDER BY count only
    // outside parentheses: a subquery's own are part of the column list or
    // the condition.
    const std::vector<TLexToken> t = Lex(SQL);
    std::vector<int> depth(t.size());
    for (std::size_t i = 0, open = 0; i < t.size(); ++i) {
        if (IsWord(t[i], u"distinct")) return std::nullopt;
        if (IsSymbol(t[i], u')') && open > 0) --open;
        depth[i] = static_cast<int>(open);
        if (IsSymbol(t[i], u'(')) ++open;
    }
    // The first token from Start on that is Word outside parentheses.
    const auto outside = [&](StringView Word, std::size_t Start) {
        while (Start < t.size() && !(depth[Start] == 0 && IsWord(t[Start], Word))) ++Start;
        return Start;
    };
    const std::size_t from = outside(u"from", 0);
    if (from == t.size()) return std::nullopt;
    const String table = GetTableNameFromSQLEx(SQL.substr(t[from].At), IdOption);
    if (table.empty()) return std::nullopt;
    TCountDerivation count;
    count.Statement = u"select count(*) from " + String(Quote) + table + String(Quote);
    const std::size_t where = outside(u"where", 0);
    if (where == t.size()) return count;
    count.WhereAt = t[where].At;
    // The condition runs to the end, or to the last token before ORDER BY:
    // the blanks and comments between it and ORDER are left out as well.
    std::size_t end = SQL.size();
    for (std::size_t i = outside(u"order", where + 1); i + 1 < t.size(); i = outside(u"order", i + 1)) {
        if (IsWord(t[i + 1], u"by")) {
            count.OrderByAt = t[i].At;
            end = t[i - 1].At + t[i - 1].Text.size();
            break;
        }
    }
    // Whatever separated the table's part from WHERE becomes one space.
    count.Statement += u' ';
    count.Statement += SQL.substr(count.WhereAt, end - count.WhereAt);
    return count;
}

// ---- the plain select

std::optional<TPlainSelect> ParsePlainSelect(StringView SQL) {
    const std::vector<TLexToken> t = Lex(SQL);
    std::size_t i = 0;
    auto at = [&](std::size_t k) -> const TLexToken* { return k < t.size() ? &t[k] : nullptr; };
    if (!at(0) || !IsWord(t[0], u"select")) return std::nullopt;
    i = 1;
    // Column list: * or names (table.column allowed), separated by commas.
    if (at(i) && IsSymbol(t[i], u'*')) {
        ++i;
    } else {
        for (;;) {
            if (!at(i) || !IsName(t[i]) || IsWord(t[i], u"distinct") || IsWord(t[i], u"all") || IsWord(t[i], u"from"))
                return std::nullopt;
            ++i;
            while (at(i + 1) && IsSymbol(t[i], u'.') && IsName(t[i + 1])) i += 2;
            if (at(i) && IsSymbol(t[i], u',')) {
                ++i;
                continue;
            }
            break;
        }
    }
    if (!at(i) || !IsWord(t[i], u"from")) return std::nullopt;
    ++i;
    if (!at(i) || !IsName(t[i])) return std::nullopt;
    ++i;
    TPlainSelect shape;
    auto skipClause = [&]() -> bool {  // to the next ORDER BY, LIMIT or the end, outside parentheses
        int depth = 0;
        for (; at(i); ++i) {
            if (IsSymbol(t[i], u'(')) ++depth;
            else if (IsSymbol(t[i], u')')) {
                if (--depth < 0) return false;
            } else if (depth == 0) {
                if (IsWord(t[i], u"order") || IsWord(t[i], u"limit")) break;
                if (ChangesTheRows(t[i])) return false;
            }
        }
        return depth == 0;
    };
    if (at(i) && IsWord(t[i], u"where")) {
        shape.WhereAt = t[i].At;
        ++i;
        if (!skipClause()) return std::nullopt;
    }
    if (at(i) && IsWord(t[i], u"order")) {
        if (!at(i + 1) || !IsWord(t[i + 1], u"by")) return std::nullopt;
        shape.OrderByAt = t[i].At;
        i += 2;
        if (!skipClause()) return std::nullopt;
    }
    if (at(i) && IsWord(t[i], u"limit")) {
        ++i;
        if (!at(i) || t[i].Kind != TLexKind::Number) return std::nullopt;
        const auto limit = rtl::TryStrToInt64(t[i].Text);
        if (!limit || *limit < 0) return std::nullopt;
        shape.Limit = limit;
        ++i;
    }
    if (at(i)) return std::nullopt;
    return shape;
}

}  // namespace sql
