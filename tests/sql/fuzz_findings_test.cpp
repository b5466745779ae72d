// Inputs the fuzzers of fuzz/ broke a property with, kept as cases of the
// ordinary suite.

#include <gtest/gtest.h>

#include "sql/sql_tokenizer.h"

using namespace sql;
using rtl::String;

// A quote left open runs to the end of the text, and everything after the
// opening quote is its text, a doubled quote at the end included: only a
// closing quote is dropped, and these texts have none.
TEST(SqlFuzzFindings, OpenQuoteEndingInADoubledQuoteKeepsIt) {
    struct Case {
        String sql, token;
    } cases[] = {
        {u"'ab''", u"ab''"},
        {u"\"t\"\"", u"t\"\""},
        {u"`x``", u"x``"},
        {u"where w = 'Д''", u"Д''"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rtl::StringToUtf8(c.sql));
        std::size_t pos = 0;
        String token;
        TSQLToken kind;
        do kind = NextSQLTokenEx(c.sql, pos, token, stWhere, idMixCase);
        while (kind != stEnd && pos < c.sql.size());
        EXPECT_EQ(token, c.token);
        EXPECT_EQ(pos, c.sql.size());
    }
    EXPECT_EQ(GetTableNameFromSQLEx(u"select a from \"t\"\"", idMixCase), u"t\"\"");
}
