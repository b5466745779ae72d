#include "sql/sql_tokenizer.h"

#include <gtest/gtest.h>

using namespace sql;
using rtl::String;

TEST(SqlTokenizer, TableNameAfterFrom) {
    struct Case {
        String sql;
        TIdentifierOption option;
        String table;
    } cases[] = {
        {u"select id, lx_word, lx_text, lx_title from lx_items limit 1000\r\n", idMixCase, u"lx_items"},
        {u"select a from t\r\n where b = 1", idMixCase, u"t"},
        {u"SELECT a FROM T;", idMixCase, u"T"},
        {u"select a from t x where b = 1", idMixCase, u"t"},
        {u"select a from \"my table\" where b = 1", idMixCase, u"my table"},
        {u"select a from \"my table\"", idKeepQuotes, u"\"my table\""},
        {u"select a from [t]", idMixCase, u"t"},
        {u"select a from `t`", idMixCase, u"t"},
        {u"select a from main.t", idMixCase, u"main.t"},
        {u"select a from \"main\".\"t\"", idMixCase, u"main.t"},
        {u"select 'a from b' from t", idMixCase, u"t"},
        {u"select a from LX_Items", idMakeLowerCase, u"lx_items"},
        {u"select a from lx_items", idMakeUpperCase, u"LX_ITEMS"},
        {u"select a from\r\n-- comment\r\nt", idMixCase, u"t"},
        {u"select 1", idMixCase, u""},
        {u"select a from", idMixCase, u""},
        {u"", idMixCase, u""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetTableNameFromSQLEx(c.sql, c.option), c.table) << rtl::StringToUtf8(c.sql);
}

TEST(SqlTokenizer, ClassesTokensBySection) {
    const String sql = u"select distinct a, 'x''y', 12 from t where b is not null order by a desc";
    struct Expected {
        TSQLToken token;
        String text;
    } expected[] = {
        // clang-format off
        {stSelect, u"select"}, {stDistinct, u"distinct"}, {stFieldName, u"a"}, {stUnknown, u","},
        {stValue, u"x''y"},    {stUnknown, u","},         {stNumber, u"12"},   {stFrom, u"from"},
        {stTableName, u"t"},   {stWhere, u"where"},       {stFieldName, u"b"}, {stIsNotNull, u"is"},
        {stOrderBy, u"order"}, {stFieldName, u"a"},       {stDescending, u"desc"}, {stEnd, u""},
    };
    // clang-format on
    std::size_t pos = 0;
    TSQLToken section = stUnknown;
    String token;
    for (const auto& e : expected) {
        const TSQLToken t = NextSQLTokenEx(sql, pos, token, section, idMixCase);
        EXPECT_EQ(t, e.token) << rtl::StringToUtf8(e.text);
        EXPECT_EQ(token, e.text);
        if (IsSectionToken(t)) section = t;
    }
}

TEST(SqlTokenizer, UnclosedQuoteRunsToTheEnd) {
    std::size_t pos = 0;
    String token;
    EXPECT_EQ(NextSQLTokenEx(u"'abc", pos, token, stWhere, idMixCase), stValue);
    EXPECT_EQ(token, u"abc");
    EXPECT_EQ(pos, 4u);
    EXPECT_EQ(NextSQLTokenEx(u"'abc", pos, token, stWhere, idMixCase), stEnd);
}

TEST(SqlTokenizer, SearchesSkipQuotedText) {
    struct Case {
        String what, text;
        std::size_t pos;
    } cases[] = {
        {u" where ", u"select a from t where b = 1", 15},
        {u" where ", u"select ' where ' from t where b = 1", 23},
        {u" where ", u"select \" where \", [ where ], ` where ` from t", StringView::npos},
        {u" where ", u"x like '% where %'", StringView::npos},
        {u" where ", u"'it''s where' where x", 13},  // a doubled quote does not end the literal
        {u" order by ", u"a ' order by ' order by b", 14},
        {u" where ", u"select 'unclosed where ", StringView::npos},
    };
    for (const auto& c : cases) EXPECT_EQ(PosOutsideQuotes(c.what, c.text), c.pos) << rtl::StringToUtf8(c.text);
}

TEST(SqlTokenizer, ParameterMarkersOutsideQuotes) {
    const TParsedParams parsed =
        ParseSQLParams(u"select :a, ':b', \"c:d\", `e:f`, x::y from t where z = :z_1 and w = :Сөз");
    EXPECT_EQ(parsed.Names, (std::vector<String>{u"a", u"z_1", u"Сөз"}));
    EXPECT_EQ(parsed.NativeText, u"select ?, ':b', \"c:d\", `e:f`, x:y from t where z = ? and w = ?");
    EXPECT_TRUE(ParseSQLParams(u"select id from lx_items where lx_word_upper  like '%:А%'").Names.empty());
}

TEST(SqlTokenizer, PlainSelectShapes) {
    constexpr std::size_t none = StringView::npos;
    struct Case {
        String sql;
        std::size_t where, orderBy;
        std::optional<std::int64_t> limit;
    } accepted[] = {
        // clang-format off
        {u"select id, lx_word, lx_text, lx_title from lx_items\r\n where lx_word_upper  like '%А%'\r\nlimit 1000\r\n",
         54, none, 1000},
        {u"select id, lx_word, lx_text, lx_title from lx_items limit 1000", none, none, 1000},
        {u"SELECT * FROM \"lx items\" WHERE (a = 1 OR b IN (1, 2)) ORDER BY a, b LIMIT 5", 25, 54, 5},
        {u"select t.a, [b] from t where x = 'group by, union; limit 3 offset 1' order by a", 23, 69, std::nullopt},
        {u"select a from t where a in (select b from u limit 2 offset 1)", 16, none, std::nullopt},
        {u"select a from t -- where b\n where c /* limit */ = 1", 28, none, std::nullopt},
    };
    // clang-format on
    for (const auto& c : accepted) {
        SCOPED_TRACE(rtl::StringToUtf8(c.sql));
        const std::optional<TPlainSelect> shape = ParsePlainSelect(c.sql);
        ASSERT_TRUE(shape.has_value());
        EXPECT_EQ(shape->WhereAt, c.where);
        EXPECT_EQ(shape->OrderByAt, c.orderBy);
        EXPECT_EQ(shape->Limit, c.limit);
    }
    const String rejected[] = {
        u"select count(*) from t where a = 1",
        u"select a as b from t",
        u"select distinct a from t",
        u"select a, 'x' from t",
        u"select a from t, u",
        u"select a from t join u on t.a = u.a",
        u"select a from t natural join u",
        u"select a from t x",
        u"select a from (select a from t)",
        u"select a from t group by a",
        u"select a from t where a = 1 group by a having count(*) > 1",
        u"select a from t union select a from u",
        u"select a from t except select a from u",
        u"select a from t limit 10 offset 5",
        u"select a from t limit 5, 10",
        u"select a from t limit :n",
        u"select a from t limit 1.5",
        u"select a from t; select b from u",
        u"select a from t where (a = 1",
        u"with x as (select a from t) select a from x",
        u"update t set a = 1",
        u"select a from t window w as (order by a)",
    };
    for (const String& sql : rejected) EXPECT_FALSE(ParsePlainSelect(sql).has_value()) << rtl::StringToUtf8(sql);
}

TEST(SqlTokenizer, CountStatementDerivedFromTheText) {
    constexpr std::size_t none = StringView::npos;
    struct Case {
        String sql, count;
        std::size_t where, orderBy;
    } cases[] = {
        // clang-format off
        {u"select id, lx_word from lx_items limit 1000", u"select count(*) from \"lx_items\"", none, none},
        // The search's three lines: the count keeps them as they are.
        {u"select id from lx_items\r\n where a  like '%X%'\r\nlimit 1000\r\n",
         u"select count(*) from \"lx_items\" where a  like '%X%'\r\nlimit 1000\r\n", 26, none},
        {u"select id from t where a = ' order by ' order by a",
         u"select count(*) from \"t\" where a = ' order by '", 17, 40},
        {u"select id from t where a = ' DISTINCT '", u"select count(*) from \"t\" where a = ' DISTINCT '", 17, none},
        {u"select a from t WHERE b = 1 ORDER BY a", u"select count(*) from \"t\" WHERE b = 1", 16, 28},
        // Any whitespace, or a symbol, separates WHERE from its neighbours.
        {u"select a from t\r\nwhere b = 1", u"select count(*) from \"t\" where b = 1", 17, none},
        {u"select a from t\twhere\tb = 1\n\torder\n  by a", u"select count(*) from \"t\" where\tb = 1", 16, 29},
        {u"select a from t where(b = 1)order by a", u"select count(*) from \"t\" where(b = 1)", 16, 28},
        {u"select a from t where b = 1 order/* x */by a", u"select count(*) from \"t\" where b = 1", 16, 28},
        // Keywords inside comments are none; the comments themselves stay
        // where they are part of the condition.
        {u"select a from t /* where b = 2 */ where b = 1", u"select count(*) from \"t\" where b = 1", 34, none},
        {u"select a from t -- where b = 2\nwhere b = 1", u"select count(*) from \"t\" where b = 1", 31, none},
        {u"select a from t where b = 1 -- order by a", u"select count(*) from \"t\" where b = 1 -- order by a", 16,
         none},
        {u"select a from t where b = 1 /* c */ order by a", u"select count(*) from \"t\" where b = 1", 16, 36},
        {u"select /* distinct */ a from t -- distinct", u"select count(*) from \"t\"", none, none},
        // Words that only contain the keywords are no keywords.
        {u"select a from t where nowhere = 1 and b_order by_x",
         u"select count(*) from \"t\" where nowhere = 1 and b_order by_x", 16, none},
        {u"select a from t order by a", u"select count(*) from \"t\"", none, none},
        // A subquery's own WHERE and ORDER BY belong to the condition or the
        // column list; only the statement's own count.
        {u"select a from t where a in (select b from u order by b limit 2) order by a",
         u"select count(*) from \"t\" where a in (select b from u order by b limit 2)", 16, 64},
        {u"select a, (select max(b) from u where u.c = t.c) from t order by a", u"select count(*) from \"t\"",
         none, none},
        {u"select a from t where a = (select min(b) from u where (c) = 1 order by c) and d = ')'",
         u"select count(*) from \"t\" where a = (select min(b) from u where (c) = 1 order by c) and d = ')'", 16,
         none},
        // A comment or literal left open runs to the end.
        {u"select a from t /* where b = 1", u"select count(*) from \"t\"", none, none},
        {u"select a from t where b = 'x order by a", u"select count(*) from \"t\" where b = 'x order by a", 16, none},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(rtl::StringToUtf8(c.sql));
        const std::optional<TCountDerivation> count = DeriveCountStatement(c.sql, u"\"", idMixCase);
        ASSERT_TRUE(count.has_value());
        EXPECT_EQ(rtl::StringToUtf8(count->Statement), rtl::StringToUtf8(c.count));
        EXPECT_EQ(count->WhereAt, c.where);
        EXPECT_EQ(count->OrderByAt, c.orderBy);
        // The count and the statement's shape agree on where the keywords are.
        if (const std::optional<TPlainSelect> shape = ParsePlainSelect(c.sql)) {
            EXPECT_EQ(shape->WhereAt, count->WhereAt);
            if (count->WhereAt != none) {
                EXPECT_EQ(shape->OrderByAt, count->OrderByAt);
            }
        }
    }
    for (const String sql : {u"select distinct a from t", u"select\ndistinct a from t", u"select/**/DISTINCT a from t",
                             u"select count(distinct a) from t where b = 1", u"select 1"})
        EXPECT_FALSE(DeriveCountStatement(sql, u"\"", idMixCase).has_value()) << rtl::StringToUtf8(sql);
}
