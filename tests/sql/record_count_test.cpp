// When a query's count may come from its own read: only where that number is
// certainly the one its count statement gives now. Each case is a change
// the read cannot see, made between the read and the count, or a statement
// whose count statement counts something else or cannot run at all.

#include <gtest/gtest.h>

#include "sql_components_support.h"

using namespace sql;
using namespace sql_test;
using rtl::String;

namespace {

const String kNotSupported = u"[0x0005]: Operation Not Supported";

// A count, or the message it failed with.
struct Counted {
    int Rows = -1;
    String Failure;
    bool operator==(const Counted&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const Counted& C) {
    return C.Failure.empty() ? Out << C.Rows : Out << rtl::StringToUtf8(C.Failure);
}

class RecordCountTest : public SqlComponentsTest {
protected:
    void SetUp() override {
        SqlComponentsTest::SetUp();
        UseDatabase(u"lx_items.db");
        Query = MakeQuery();
    }

    // Points the connection at a new database File holding the table t.
    void UseDatabase(const String& File) {
        if (Query) Query->Close();
        Connection->Close();
        Database = Dir.File(rtl::StringToUtf8(File));
        auto db = Connect(Database);
        Execute(*db, u"create table t (a INTEGER, b VARCHAR(10))");
        Execute(*db, u"insert into t values (1, 'x1'), (2, 'X2'), (3, 'y3')");
        UseStartupParams();
    }
    void TearDown() override { Query.reset(); }

    // Opens Sql and reads it to its end; gives the rows read.
    int ReadToTheEnd(const String& Sql) {
        Query->SQL().SetText(Sql);
        Query->Open();
        int rows = 0;
        for (; !Query->Eof(); Query->Next()) ++rows;
        return rows;
    }

    Counted Count() {
        Statements.clear();
        Counted c;
        try {
            c.Rows = Query->RecordCount();
        } catch (const rtl::Exception& e) {
            c.Failure = e.Message();
        }
        return c;
    }

    // Statements through the query's own connection.
    void OwnExecute(const String& Sql) { Execute(*Connection->DBXConnection(), Sql); }

    std::unique_ptr<TSQLQuery> Query;
};

}  // namespace

// The baseline the other cases depart from: a plain statement read to its end
// is counted from its rows, without a statement.
TEST_F(RecordCountTest, ReadToItsEndIsCountedWithoutAStatement) {
    EXPECT_EQ(ReadToTheEnd(u"select a from t where b like 'x%'"), 2);
    EXPECT_EQ(Count(), (Counted{2, u""}));
    EXPECT_TRUE(CountStatements().empty());
}

// In WAL mode another connection may commit while the rows are read; the
// read does not see the row, the count must.
TEST_F(RecordCountTest, CommitByAnotherConnectionDuringTheRead) {
    auto other = Connect(Database);
    Execute(*other, u"pragma journal_mode = wal");
    Query->SQL().SetText(u"select a from t where a < 100");
    Query->Open();
    Query->Next();
    Execute(*other, u"insert into t values (4, 'x4')");
    int rows = 1;
    for (; !Query->Eof(); Query->Next()) ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(Count(), (Counted{4, u""}));
    EXPECT_EQ(CountStatements().size(), 1u);
    // The next execution that does not read to its end counts afresh too.
    Query->Close();
    Query->Open();
    EXPECT_EQ(Count(), (Counted{4, u""}));
}

// A reset of a query standing on its first row runs nothing, but a count
// asked for after it is the database's as it is then, not one taken before.
TEST_F(RecordCountTest, CountTakenBeforeAResetIsNotGivenAfterIt) {
    Query->SQL().SetText(u"select a from t where a < 100 limit 1000");
    Query->Open();
    EXPECT_EQ(Count(), (Counted{3, u""}));
    OwnExecute(u"insert into t values (4, 'x4')");
    EXPECT_EQ(Count(), (Counted{3, u""}));  // the dataset's own count, until something resets it
    Query->PSReset();
    ASSERT_TRUE(Query->Bof());
    EXPECT_EQ(Count(), (Counted{4, u""}));
    EXPECT_EQ(CountStatements().size(), 1u);
}

// Changes through the query's own connection that change no row but what
// the count statement would find.
TEST_F(RecordCountTest, OwnChangesThatAreNoRowChanges) {
    const struct {
        const char* name;
        String change;
        Counted expected;
    } cases[] = {
        // clang-format off
        {"LIKE made case-sensitive", u"pragma case_sensitive_like = 1", {1, u""}},
        {"a temporary table in front", u"create temp table t (a INTEGER, b VARCHAR(10))", {0, u""}},
        {"the table renamed", u"alter table t rename to t2", {-1, kNotSupported}},
        {"the table dropped", u"drop table t", {-1, kNotSupported}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadToTheEnd(u"select a from t where b like 'x%'"), 2);
        Query->Close();
        OwnExecute(c.change);
        EXPECT_EQ(Count(), c.expected);
        UseDatabase(rtl::Utf8ToString(std::string(c.name) + ".db"));
    }
}

// A table of an attached database, written by another connection after the
// read.
TEST_F(RecordCountTest, AttachedDatabaseWrittenByAnotherConnection) {
    const String attached = Dir.File("aux.db");
    {
        auto db = Connect(attached);
        Execute(*db, u"create table u (a INTEGER)");
        Execute(*db, u"insert into u values (1), (2)");
    }
    Connection->Open();
    OwnExecute(u"attach database '" + attached + u"' as aux");
    EXPECT_EQ(ReadToTheEnd(u"select a from u where a > 0"), 2);
    EXPECT_EQ(Count(), (Counted{2, u""}));
    {
        auto db = Connect(attached);
        Execute(*db, u"insert into u values (3)");
    }
    EXPECT_EQ(ReadToTheEnd(u"select a from u where a > 0"), 3);
    Query->Close();
    {
        auto db = Connect(attached);
        Execute(*db, u"insert into u values (4)");
    }
    Query->Open();
    EXPECT_EQ(Count(), (Counted{4, u""}));
}

// A database attached after the connection's first read: a write to it by
// another connection shows as well.
TEST_F(RecordCountTest, DatabaseAttachedAfterTheFirstRead) {
    const String attached = Dir.File("late.db");
    {
        auto db = Connect(attached);
        Execute(*db, u"create table u (a INTEGER)");
        Execute(*db, u"insert into u values (1), (2)");
    }
    EXPECT_EQ(ReadToTheEnd(u"select a from t where a > 0"), 3);
    EXPECT_EQ(Count(), (Counted{3, u""}));
    Query->Close();
    OwnExecute(u"attach database '" + attached + u"' as late");
    EXPECT_EQ(ReadToTheEnd(u"select a from u where a > 0"), 2);
    {
        auto db = Connect(attached);
        Execute(*db, u"insert into u values (3)");
    }
    EXPECT_EQ(Count(), (Counted{3, u""}));
}

// Statements whose derived count statement names no table that exists: the
// read finds rows, the count statement fails, and so must the count.
TEST_F(RecordCountTest, CountStatementThatCannotRunIsNotAnsweredByTheRead) {
    auto db = Connect(Database);
    Execute(*db, u"create table `x``y` (a INTEGER, b INTEGER)");
    Execute(*db, u"create table [p\"q] (a INTEGER, b INTEGER)");
    Execute(*db, u"insert into `x``y` values (1, 1), (2, 1)");
    Execute(*db, u"insert into [p\"q] values (1, 1), (2, 1)");
    db.reset();
    const String statements[] = {
        u"select a from t/**/where a > 1",   u"select a from t--c\nwhere a > 1",  u"select a from t\fwhere a > 1",
        u"select a from `x``y` where b = 1", u"select a from [p\"q] where b = 1",
    };
    for (const String& sql : statements) {
        SCOPED_TRACE(rtl::StringToUtf8(sql));
        EXPECT_EQ(ReadToTheEnd(sql), 2);
        EXPECT_EQ(Count(), (Counted{-1, kNotSupported}));
        Query->Close();
    }
}

// A condition whose result depends on the moment it runs: the count
// statement runs.
TEST_F(RecordCountTest, ConditionsOfTimeOrChanceRunTheCountStatement) {
    const String statements[] = {
        u"select a from t where random() is not null",
        u"select a from t where date('now') > '2000-01-01'",
        u"select a from t where current_timestamp > '2000'",
        u"select a from t where a < abs(random()) + 10",
    };
    for (const String& sql : statements) {
        SCOPED_TRACE(rtl::StringToUtf8(sql));
        EXPECT_EQ(ReadToTheEnd(sql), 3);
        EXPECT_EQ(Count(), (Counted{3, u""}));
        EXPECT_EQ(CountStatements().size(), 1u);
        Query->Close();
    }
}
