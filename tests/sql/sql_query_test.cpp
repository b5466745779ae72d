#include <gtest/gtest.h>

#include "data/db_error.h"
#include "data/fields.h"
#include "rtl/exceptions.h"
#include "rtl/stream.h"
#include "sql_components_support.h"

using namespace sql;
using namespace sql_test;
using data::TField;
using rtl::String;

namespace {

const String kStartup = u"select id, lx_word, lx_text, lx_title from lx_items limit 1000";

// The three lines of a search, as the main window builds them.
void SetSearch(TSQLQuery& Query, const String& Condition) {
    Query.SQL().Clear();
    Query.SQL().Add(u"select id, lx_word, lx_text, lx_title from lx_items");
    Query.SQL().Add(u" where lx_word_upper " + Condition);
    Query.SQL().Add(u"limit 1000");
}

class SqlQueryTest : public SqlComponentsTest {
protected:
    void SetUp() override {
        SqlComponentsTest::SetUp();
        MakeDictionary(Database, 2500);
        UseStartupParams();
        Query = MakeQuery();
    }
    void TearDown() override { Query.reset(); }

    std::unique_ptr<TSQLQuery> Query;
};

}  // namespace

TEST_F(SqlQueryTest, StartupStatementReadsEveryRowForwardAndCountsTheTable) {
    Query->SQL().Add(kStartup);
    EXPECT_EQ(Query->CommandText(), kStartup + u"\r\n");
    Query->Open();
    int rows = 0;
    std::int64_t lastId = 0;
    while (!Query->Eof()) {
        ++rows;
        const std::int64_t id = Query->FieldByName(u"id")->AsLargeInt();
        EXPECT_GT(id, lastId);
        lastId = id;
        if (rows == 1) {
            EXPECT_EQ(Query->FieldByName(u"lx_word")->AsString(), u"кітап1");
            EXPECT_EQ(Query->FieldByName(u"lx_text")->AsString(), u"Мәтін 1");
            EXPECT_EQ(Query->FieldByName(u"lx_title")->AsString(), u"Орфографиялық сөздік");
        }
        Query->Next();
    }
    EXPECT_EQ(rows, 1000);
    EXPECT_EQ(Query->RecordCount(), 2500);
    EXPECT_EQ(CountStatements(), (std::vector<String>{u"select count(*) from \"lx_items\""}));
}

TEST_F(SqlQueryTest, FieldTypesFollowDeclarationsAndFirstRow) {
    auto db = Connect(Database);
    Execute(*db, u"create table t (a INTEGER, b VARCHAR(10))");
    Execute(*db, u"insert into t values (NULL, NULL), (5, 'x')");
    Query->SQL().Add(kStartup);
    Query->Open();
    struct Expected {
        const char16_t* name;
        data::TFieldType type;
        int size;
    } expected[] = {{u"id", data::ftLargeint, 0},
                    {u"lx_word", data::ftWideString, 40},
                    {u"lx_text", data::ftWideMemo, 1},
                    {u"lx_title", data::ftWideString, 100}};
    ASSERT_EQ(Query->FieldCount(), 4);
    for (int i = 0; i < 4; ++i) {
        TField* f = Query->Fields()[i];
        EXPECT_EQ(f->FieldName(), expected[i].name);
        EXPECT_EQ(f->DataType(), expected[i].type) << rtl::StringToUtf8(expected[i].name);
        EXPECT_EQ(f->Size(), expected[i].size) << rtl::StringToUtf8(expected[i].name);
    }
    EXPECT_EQ(Query->FieldDefs().Items(1)->Required(), true);  // NOT NULL
    EXPECT_EQ(Query->FieldDefs().Items(2)->Required(), false);
    EXPECT_EQ(Query->MaxBlobSize(), 1);  // raised from -1 by the wide memo's size

    // A first row of nulls makes every column a wide memo.
    Query->SQL().SetText(u"select a, b, a as a from t");
    Query->Open();
    EXPECT_EQ(Query->Fields()[0]->DataType(), data::ftWideMemo);
    EXPECT_EQ(Query->Fields()[1]->DataType(), data::ftWideMemo);
    EXPECT_EQ(Query->Fields()[2]->FieldName(), u"a_1");  // a repeated name
    EXPECT_TRUE(Query->Fields()[0]->IsNull());
    Query->Next();
    EXPECT_EQ(Query->Fields()[1]->AsString(), u"x");
}

TEST_F(SqlQueryTest, BackwardMovesAreRefusedAndFirstRunsTheStatementAgain) {
    Query->SQL().Add(kStartup);
    Query->Open();
    Query->Next();
    EXPECT_EQ(MessageOf([&] { Query->Prior(); }), u"SQLQuery1: Operation not allowed on a unidirectional dataset");
    EXPECT_EQ(MessageOf([&] { Query->Last(); }), u"SQLQuery1: Operation not allowed on a unidirectional dataset");
    Query->First();
    EXPECT_TRUE(Query->Bof());
    EXPECT_EQ(Query->FieldByName(u"id")->AsInteger(), 1);
    EXPECT_FALSE(Query->CanModify());
    EXPECT_THROW(Query->Edit(), data::EDatabaseError);
}

TEST_F(SqlQueryTest, ChangingSqlClosesAndUnprepares) {
    Query->SQL().Add(kStartup);
    Query->Open();
    ASSERT_TRUE(Query->Prepared());
    SetSearch(*Query, u" = 'ӘН1501'");
    EXPECT_FALSE(Query->Active());
    EXPECT_FALSE(Query->Prepared());
    EXPECT_EQ(Query->DBXCommand(), nullptr);
    Query->Open();
    EXPECT_EQ(Query->FieldByName(u"lx_word")->AsString(), u"ән1501");
}

TEST_F(SqlQueryTest, ClosedButPreparedQueryRunsAgainWithoutPreparing) {
    Query->SQL().Add(kStartup);
    Query->Open();
    Query->Close();
    EXPECT_TRUE(Query->Prepared());  // the connection stays open, so the command is kept
    Calls.clear();
    Query->Open();
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), u"sqlite3_prepare16_v2"), 0);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), kStartup + u"\r\n"), 1);  // executed again
    EXPECT_EQ(Query->FieldByName(u"id")->AsInteger(), 1);
}

// A reset leaves the query on its first row: a query that moved runs again;
// one that stands on its first row as it ran has nothing to run again.
TEST_F(SqlQueryTest, PSResetLeavesTheQueryOnItsFirstRowRunningAgainOnlyWhenItMoved) {
    Query->SQL().Add(kStartup);
    for (bool moved : {true, false}) {
        Query->Open();
        if (moved) {
            Query->Next();
            Query->Next();
        }
        Statements.clear();
        Query->PSReset();
        EXPECT_TRUE(Query->Active());
        EXPECT_TRUE(Query->Bof());
        EXPECT_EQ(Query->FieldByName(u"id")->AsInteger(), 1);
        EXPECT_EQ(Statements, moved ? std::vector<String>{kStartup + u"\r\n"} : std::vector<String>{})
            << "moved " << moved;
        Query->Next();
        EXPECT_EQ(Query->FieldByName(u"id")->AsInteger(), 2);
        Query->Close();
    }
}

TEST_F(SqlQueryTest, SearchCountsBelowAtAndAboveTheLimit) {
    struct Case {
        String condition;
        int rows, count;
    } cases[] = {
        {u" like '%КІТАП1%'", 612, 612},  // 1, 10-19, 100-199, 1000-1500
        {u" like '%ӘН%'", 1000, 1000},
        {u" like '%КІТАП%'", 1000, 1500},
        {u" like 'КІТАП15%'", 12, 12},
        {u" = 'ӘН1501'", 1, 1},
        {u" = ''", 0, 0},
    };
    for (const auto& c : cases) {
        SetSearch(*Query, c.condition);
        Query->Open();
        int rows = 0;
        for (; !Query->Eof(); Query->Next()) ++rows;
        EXPECT_EQ(rows, c.rows) << rtl::StringToUtf8(c.condition);
        Statements.clear();
        EXPECT_EQ(Query->RecordCount(), c.count) << rtl::StringToUtf8(c.condition);
        // A read that ended below the limit has counted the rows already.
        const std::vector<String> counted{u"select count(*) from \"lx_items\" where lx_word_upper " + c.condition +
                                          u"\r\nlimit 1000"};
        EXPECT_EQ(CountStatements(), c.rows < 1000 ? std::vector<String>{} : counted);
    }
}

// Statements read to their end below any limit whose rows need not be what
// the derived count counts: the count statement must run (or refuse).
TEST_F(SqlQueryTest, CountRunsItsStatementWhereTheReadCannotStandForIt) {
    const String statements[] = {
        u"select id, ' where id < 3' from lx_items where id < 5",  // an expression, " where " in a literal
        u"select count(*) from lx_items where id < 5",             // one row, counting four
        u"select lx_title from lx_items group by lx_title",        // grouping
        u"select a.id from lx_items a join lx_items b on a.id = b.id where a.id < 5",
        u"select id from lx_items where id < 100 limit 10 offset 95",  // an offset
        u"select id from lx_items where id < 3 union select id from lx_items where id > 2498",
        u"select id from lx_items where id < 5 limit 4",  // the read stopped at the limit
    };
    for (const String& sql : statements) {
        SCOPED_TRACE(rtl::StringToUtf8(sql));
        Query->SQL().Clear();
        Query->SQL().Add(sql);
        Query->Open();
        while (!Query->Eof()) Query->Next();
        Statements.clear();
        const String refusal = MessageOf([&] { Query->RecordCount(); });
        EXPECT_TRUE(refusal == u"[0x0005]: Operation Not Supported" || CountStatements().size() == 1u)
            << rtl::StringToUtf8(refusal);
        Query->Close();
    }
}

// Line breaks, tabs and comments around the keywords, and subqueries with
// keywords of their own: the count filters as the statement does, whether the read to the end stands for it or the count
// statement runs because the read stopped at the limit.
TEST_F(SqlQueryTest, CountFiltersWhateverSeparatesTheKeywords) {
    struct Case {
        String sql;
        int rows, count;
        std::vector<String> counted;  // the count statements run
    } cases[] = {
        // clang-format off
        {u"select id from lx_items\nwhere id < 5", 4, 4, {}},
        {u"select id from lx_items /* where id < 3 */ where id < 5", 4, 4, {}},
        {u"select id from lx_items -- where id < 3\nwhere id < 5 -- order by id", 4, 4, {}},
        {u"select id from lx_items\r\nwhere id < 1500\r\nlimit 1000", 1000, 1499,
         {u"select count(*) from \"lx_items\" where id < 1500\r\nlimit 1000"}},
        {u"select id from lx_items\twhere(id > 100)\torder\n\tby id desc limit 1000", 1000, 2400,
         {u"select count(*) from \"lx_items\" where(id > 100)"}},
        // clang-format on
        // A subquery's WHERE and ORDER BY are its own.
        {u"select id from lx_items where id in (select id from lx_items where id > 100 order by id limit 1500) "
         u"order by id limit 1000",
         1000,
         1500,
         {u"select count(*) from \"lx_items\" where id in (select id from lx_items where id > 100 order by id "
          u"limit 1500)"}},
        {u"select id, (select max(id) from lx_items where id < 3) from lx_items where id < 5",
         4,
         4,
         {u"select count(*) from \"lx_items\" where id < 5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rtl::StringToUtf8(c.sql));
        Query->SQL().SetText(c.sql);
        Query->Open();
        int rows = 0;
        for (; !Query->Eof(); Query->Next()) ++rows;
        EXPECT_EQ(rows, c.rows);
        Statements.clear();
        EXPECT_EQ(Query->RecordCount(), c.count);
        EXPECT_EQ(CountStatements(), c.counted);
        Query->Close();
    }
}

// A change to the database after the read, by this connection or another,
// sends the count to its statement.
TEST_F(SqlQueryTest, CountAfterTheDatabaseChangedRunsItsStatement) {
    SetSearch(*Query, u" like 'КІТАП15%'");
    Query->Open();
    while (!Query->Eof()) Query->Next();
    {
        auto other = Connect(Database);
        Execute(*other,
                u"insert into lx_items (id, lx_word, lx_text, lx_title, lx_word_upper) "
                u"values (9001, 'кітап1599', 'т', 'с', 'КІТАП1599')");
    }
    Statements.clear();
    EXPECT_EQ(Query->RecordCount(), 13);
    EXPECT_EQ(CountStatements().size(), 1u);
    // Unchanged since the last read to the end: no statement.
    Query->Close();
    Query->Open();
    while (!Query->Eof()) Query->Next();
    Statements.clear();
    EXPECT_EQ(Query->RecordCount(), 13);
    EXPECT_TRUE(CountStatements().empty());
}

// The same through the query's own connection: after a read to the end, a
// row inserted or deleted there counts as the count statement counts it.
TEST_F(SqlQueryTest, CountAfterAChangeThroughTheQuerysOwnConnection) {
    SetSearch(*Query, u" like 'КІТАП15%'");
    const struct {
        const char16_t* change;
        int read, count;
    } cases[] = {
        {u"insert into lx_items (id, lx_word, lx_text, lx_title, lx_word_upper) "
         u"values (9001, 'кітап1599', 'т', 'с', 'КІТАП1599')",
         12, 13},
        {u"delete from lx_items where id in (150, 151)", 13, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rtl::StringToUtf8(c.change));
        Query->Close();
        Query->Open();
        int read = 0;
        for (; !Query->Eof(); Query->Next()) ++read;
        ASSERT_EQ(read, c.read);
        Execute(*Connection->DBXConnection(), c.change);
        EXPECT_EQ(Query->RecordCount(), c.count);
    }
}

TEST_F(SqlQueryTest, CountIsCachedUntilTheNextExecution) {
    Query->SQL().Add(kStartup);
    Query->Open();
    EXPECT_EQ(Query->RecordCount(), 2500);
    EXPECT_EQ(Query->RecordCount(), 2500);
    EXPECT_EQ(CountStatements().size(), 1u);
    Query->Close();
    Query->Open();
    EXPECT_EQ(Query->RecordCount(), 2500);
    EXPECT_EQ(CountStatements().size(), 2u);
}

TEST_F(SqlQueryTest, DerivedCountStatements) {
    auto db = Connect(Database);
    Execute(*db, u"create table t (a INTEGER, b INTEGER)");
    Execute(*db, u"insert into t values (1, 1), (2, 1), (3, 2)");
    struct Case {
        String sql, count;
        int result;
    } cases[] = {
        {u"select a from t\r\n", u"select count(*) from \"t\"", 3},
        {u"select a from t WHERE b = 1", u"select count(*) from \"t\" WHERE b = 1", 2},
        {u"select a from t order by a", u"select count(*) from \"t\"", 3},
        {u"select a from t where b = 1 order by a", u"select count(*) from \"t\" where b = 1", 2},
        // Literals holding the searched words neither refuse nor cut the count.
        {u"select a from t where 'x where y' <> '' and b = 2",
         u"select count(*) from \"t\" where 'x where y' <> '' and b = 2", 1},
        {u"select ' where ' from t where b = 2", u"select count(*) from \"t\" where b = 2", 1},
        {u"select a from t where ' distinct ' <> b", u"select count(*) from \"t\" where ' distinct ' <> b", 3},
        {u"select a from t where ' order by ' <> b order by a", u"select count(*) from \"t\" where ' order by ' <> b",
         3},
        // Nor do keywords in comments; any whitespace separates them.
        {u"select a from t -- where b = 2\r\nwhere b = 1 -- order by a\r\n",
         u"select count(*) from \"t\" where b = 1 -- order by a", 2},  // the final line break trimmed
        {u"select /* distinct */ a from t\r\n\twhere b = 1\r\n\torder by a", u"select count(*) from \"t\" where b = 1",
         2},
    };
    for (const auto& c : cases) {
        Query->SQL().SetText(c.sql);
        Query->Open();
        Statements.clear();
        EXPECT_EQ(Query->RecordCount(), c.result) << rtl::StringToUtf8(c.sql);
        EXPECT_EQ(CountStatements(), (std::vector<String>{c.count})) << rtl::StringToUtf8(c.sql);
    }
}

TEST_F(SqlQueryTest, CountsThatCannotBeMadeReportOperationNotSupported) {
    auto db = Connect(Database);
    Execute(*db, u"create table t (a INTEGER, b INTEGER)");
    const String texts[] = {
        u"select distinct a from t",
        u"select\r\ndistinct a from t",
        u"select a from t x where x.b = 1",  // the alias is dropped from the count
        u"select 1",                         // no table
        u"select a from t where a = :a",     // parameters
    };
    for (const String& text : texts) {
        Query->SQL().SetText(text);
        if (!Query->Params().Count()) Query->Open();
        EXPECT_EQ(MessageOf([&] { Query->RecordCount(); }), u"[0x0005]: Operation Not Supported")
            << rtl::StringToUtf8(text);
        Query->Close();
    }
    // A failed count is not cached: it runs again.
    Query->SQL().SetText(u"select a from t x where x.b = 1");
    Query->Open();
    Calls.clear();
    EXPECT_THROW(Query->RecordCount(), data::EDatabaseError);
    EXPECT_THROW(Query->RecordCount(), data::EDatabaseError);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), u"sqlite3_prepare16_v2"), 2);
}

TEST_F(SqlQueryTest, FailureMessagesAndPrefixes) {
    EXPECT_EQ(MessageOf([&] { Query->Open(); }), u"Missing query, table name or procedure name");
    EXPECT_EQ(MessageOf([&] { Query->RecordCount(); }), u"Missing query, table name or procedure name");
    EXPECT_EQ(MessageOf([&] { Query->SetPrepared(true); }), u"SQLQuery1: No SQL statement available");
    EXPECT_EQ(MessageOf([&] { Query->CreateBlobStream(nullptr, data::bmRead); }),
              u"Cannot perform this operation on a closed dataset");

    Query->SQL().SetText(u"pragma foreign_keys = on");
    EXPECT_EQ(MessageOf([&] { Query->Open(); }), u"SQLQuery1: Cursor not returned from Query");
    EXPECT_FALSE(Query->Active());

    Query->SQL().SetText(u"select x from nowhere");
    EXPECT_EQ(MessageOf([&] { Query->Open(); }), u"no such table: nowhere");
    EXPECT_FALSE(Query->Prepared());
    EXPECT_EQ(Query->DBXCommand(), nullptr);

    TSQLQuery orphan(nullptr);
    orphan.SQL().Add(kStartup);
    EXPECT_EQ(MessageOf([&] { orphan.Open(); }), u"SQLConnection property required for this operation");
}

TEST_F(SqlQueryTest, WideMemoReadsWholeTextAndLongStringsAreCut) {
    auto db = Connect(Database);
    Execute(*db, u"create table w (s VARCHAR(3), m TEXT, l VARCHAR(40000))");
    Execute(*db, u"insert into w values ('әбвгд', 'Қазақ тілі ' || hex(zeroblob(20000)), 'ұзын')");
    Query->SQL().SetText(u"select s, m, l from w");
    Query->Open();
    EXPECT_EQ(Query->Fields()[0]->AsString(), u"әбв");              // three characters and a terminator fit
    EXPECT_EQ(Query->Fields()[2]->DataType(), data::ftWideString);  // a length beyond 16 bits
    EXPECT_EQ(Query->Fields()[2]->Size(), 40000);
    EXPECT_EQ(Query->Fields()[2]->AsString(), u"ұзын");
    const String memo = Query->Fields()[1]->AsString();
    EXPECT_EQ(memo.size(), 11u + 40000u);
    EXPECT_EQ(memo.substr(0, 11), u"Қазақ тілі ");
    auto stream = Query->CreateBlobStream(Query->Fields()[1], data::bmRead);
    EXPECT_EQ(stream->Size(), static_cast<std::int64_t>(memo.size() * 2));
}

TEST_F(SqlQueryTest, AMetaDataCommandTypeOpensTheDriversRowThroughItsValueObjects) {
    // The driver's "GetDatabase" row comes from a reader without a byte reader.
    TSQLDataSet meta(nullptr);
    meta.SetName(u"Meta");
    meta.SetSQLConnection(Connection.get());
    meta.SetDbxCommandType(u"Dbx.MetaData");
    meta.SetCommandText(u"GetDatabase");
    meta.Open();
    ASSERT_FALSE(meta.Eof());
    EXPECT_EQ(meta.FieldByName(u"QuoteChar")->AsString(), u"\"");
    EXPECT_EQ(meta.FieldByName(u"ProductName")->AsString(), u"Sqlite");
    EXPECT_EQ(meta.FieldByName(u"MaxCommands")->AsInteger(), 0);
    EXPECT_TRUE(meta.FieldByName(u"SupportsTransactions")->AsBoolean());
    EXPECT_FALSE(meta.FieldByName(u"SupportsRowSetSize")->AsBoolean());
    meta.Next();
    EXPECT_TRUE(meta.Eof());

    EXPECT_EQ(MessageOf([&] { meta.SetDbxCommandType(u"Dbx.SQL"); }),
              u"Meta: Cannot perform this operation on an open dataset");
    meta.Close();
    EXPECT_TRUE(meta.Prepared());  // the connection stays open: the command is kept
    meta.SetDbxCommandType(u"Dbx.SQL");
    EXPECT_FALSE(meta.Prepared());
    // As SQL the same text is no statement SQLite knows.
    EXPECT_NE(MessageOf([&] { meta.Open(); }).find(u"syntax error"), String::npos);
}

TEST_F(SqlQueryTest, ExecSQLRunsWithoutACursorAndGivesTheRowsChanged) {
    Query->SQL().SetText(u"update lx_items set lx_title = 'x' where id <= 10");
    EXPECT_EQ(Query->ExecSQL(), 10);
    EXPECT_FALSE(Query->Active());
    EXPECT_TRUE(Query->Prepared());
    EXPECT_EQ(Query->RowsAffected(), 10);
    Query->SQL().SetText(u"delete from lx_items where id > 2000");
    EXPECT_EQ(Query->ExecSQL(), 500);
    EXPECT_EQ(Query->ExecSQL(), 0);  // run again: nothing left to delete

    Query->SQL().SetText(u"select id from lx_items where lx_title = 'x'");
    Query->Open();
    EXPECT_EQ(Query->RecordCount(), 10);
    EXPECT_EQ(MessageOf([&] { Query->ExecSQL(); }), u"SQLQuery1: Cannot perform this operation on an open dataset");
}

TEST_F(SqlQueryTest, TheCountLeavesNoDatasetOrStatementBehind) {
    Query->SQL().SetText(kStartup);
    Query->Open();
    EXPECT_EQ(Query->RecordCount(), 2500);
    EXPECT_EQ(Connection->DataSetCount(), 1);
    EXPECT_EQ(Connection->ActiveStatements(), 1);
    // A count statement that fails (its filter names the alias) as well.
    Query->SQL().SetText(u"select id from lx_items x where x.id = 1");
    Query->Open();
    EXPECT_EQ(MessageOf([&] { Query->RecordCount(); }), u"[0x0005]: Operation Not Supported");
    EXPECT_EQ(Connection->DataSetCount(), 1);
    EXPECT_EQ(Connection->ActiveStatements(), 1);
}
