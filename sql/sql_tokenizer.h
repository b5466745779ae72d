#pragma once
// Reading SQL text as the SQL components need it: the tokenizer, the table
// name after FROM, the parameter markers, and searches that skip quoted text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "rtl/strings.h"

namespace sql {

using rtl::String;
using rtl::StringView;

// clang-format off
enum TSQLToken {
    stUnknown, stTableName, stFieldName, stAscending, stDescending, stSelect, stFrom, stWhere, stGroupBy,
    stHaving, stUnion, stPlan, stOrderBy, stForUpdate, stEnd, stPredicate, stValue, stIsNull, stIsNotNull,
    stLike, stAnd, stOr, stNumber, stAllFields, stComment, stDistinct
};
// clang-format on

// How the tokenizer gives identifiers: quotes kept or removed, and the case
// of table and field names.
enum TIdentifierOption { idMixCase, idMakeLowerCase, idMakeUpperCase, idKeepQuotes };

// Reads the token at Pos (skipping blanks), gives its class and text, and
// moves Pos past it. CurSection is the section the text is in (stSelect,
// stFrom, ...); it decides how plain words are classed. Quoted text runs to
// its closing quote (a doubled quote inside stays part of it) or to the end.
TSQLToken NextSQLTokenEx(StringView SQL, std::size_t& Pos, String& Token, TSQLToken CurSection,
                         TIdentifierOption IdOption);

// True for the tokens that start a section of a statement.
bool IsSectionToken(TSQLToken Token);

// The first table name after the FROM of a statement ("" when there is none).
String GetTableNameFromSQLEx(StringView SQL, TIdentifierOption IdOption);

// The position of the first occurrence of What in Text that lies outside
// quoted text (apostrophes, double quotes, back-quotes, square brackets), at
// or after From; npos when there is none. What must not hold a quote.
std::size_t PosOutsideQuotes(StringView What, StringView Text, std::size_t From = 0);

// The parameter markers of a statement: ":" followed by a name, outside
// quoted text; "::" stands for a literal colon.
struct TParsedParams {
    std::vector<String> Names;
    // The text with every marker replaced by "?" and every "::" by ":".
    String NativeText;
};
TParsedParams ParseSQLParams(StringView SQL);

// The count statement derived from a query's text: "select count(*) from "
// and the table after FROM between Quote characters, then one space and the
// text from the keyword WHERE to the end of the condition before ORDER BY
// (the end of the text when there is no ORDER BY after WHERE). Keywords are
// read as SQLite reads them: not inside quoted text or comments, and
// separated from their neighbours by any whitespace, comment or symbol.
// WhereAt and OrderByAt are the positions of the first letters of WHERE and
// ORDER in the text (npos when not found; ORDER BY is looked for only after
// WHERE). Nothing when the text names no table after FROM or holds the
// keyword DISTINCT.
struct TCountDerivation {
    String Statement;
    std::size_t WhereAt = StringView::npos;
    std::size_t OrderByAt = StringView::npos;
};
std::optional<TCountDerivation> DeriveCountStatement(StringView SQL, StringView Quote, TIdentifierOption IdOption);

// A statement of the one shape whose rows, read to their end, are as many as
// its derived count statement counts: SELECT of plain column names (or *)
// FROM one table, then optionally WHERE, ORDER BY and LIMIT with a whole
// number. Positions are those of the keywords' first letters in the text.
struct TPlainSelect {
    std::size_t WhereAt = StringView::npos;
    std::size_t OrderByAt = StringView::npos;
    std::optional<std::int64_t> Limit;
};
// The statement's shape, or nothing when it is of any other: an expression,
// alias or DISTINCT in the column list; joins, several tables, a subquery
// or anything more in FROM; GROUP BY, HAVING, WINDOW, compound selects,
// OFFSET or a second statement outside parentheses; a LIMIT that is not
// one whole number. Comments and any whitespace separate tokens, as in SQL.
std::optional<TPlainSelect> ParsePlainSelect(StringView SQL);

}  // namespace sql
