#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

#include "rtl/exceptions.h"
#include "sql/sqlite_reader.h"
#include "sql_test_support.h"

using namespace sql;
using sql_test::CatchDBXError;
using sql_test::Connect;
using sql_test::Execute;

namespace {

struct Description {
    String name;
    int type, subType;
    std::int64_t size, precision;
    int flags;  // 0x01 nullable, 0x08 auto-increment
    bool operator==(const Description&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Description& d) {
    return out << rtl::StringToUtf8(d.name) << " type " << d.type << "/" << d.subType << " size " << d.size
               << " precision " << d.precision << " flags " << d.flags;
}

std::vector<Description> Describe(TDBXReader& Reader) {
    std::vector<Description> out;
    for (int i = 0; i < Reader.GetColumnCount(); ++i) {
        const TDBXValueType& t = Reader.GetValueType(i);
        EXPECT_EQ(t.GetOrdinal(), i);
        out.push_back({t.GetName(), t.GetDataType(), t.GetSubType(), t.GetSize(), t.GetPrecision(),
                       t.GetFlags() & (TDBXValueTypeFlags::Nullable | TDBXValueTypeFlags::AutoIncrement)});
    }
    return out;
}

// A connection over ":memory:" with the table t, and queries on it.
class SqliteReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Connection = Connect(u":memory:");
        Execute(*Connection, u"create table t (id INTEGER PRIMARY KEY, w VARCHAR(40) NOT NULL, x TEXT)");
    }

    std::unique_ptr<TDBXReader> Query(const String& Text, TDBXConnection* On = nullptr) {
        Commands.push_back((On ? On : Connection.get())->CreateCommand());
        Commands.back()->SetText(Text);
        return Commands.back()->ExecuteQuery();
    }
    std::vector<Description> DescribeQuery(const String& Text, TDBXConnection* On = nullptr) {
        auto reader = Query(Text, On);
        return reader ? Describe(*reader) : std::vector<Description>{};
    }
    std::unique_ptr<TDBXConnection> StatementPathConnection() {
        auto properties = sql_test::SqliteProperties(u":memory:");
        properties->SetValue(u"ColumnMetaDataSupported", u"False");
        auto connection = TDBXConnectionFactory::GetConnectionFactory().GetConnection(*properties);
        Execute(*connection, u"create table t (id INTEGER PRIMARY KEY, w VARCHAR(40) NOT NULL, x TEXT)");
        return connection;
    }

    std::unique_ptr<TDBXConnection> Connection;
    std::vector<std::unique_ptr<TDBXCommand>> Commands;  // freed before the connection

    void TearDown() override { Commands.clear(); }
};

const Description Memo(const String& Name, int Flags) { return {Name, 3, 32, 1, 1, Flags}; }

}  // namespace

TEST_F(SqliteReaderTest, DescribesColumnsFromTableMetadataAndTheFirstRow) {
    Execute(*Connection, u"insert into t values (1, 'a', 'b')");
    EXPECT_EQ(DescribeQuery(u"select id, w, x from t"),
              (std::vector<Description>{{u"id", 18, 0, 8, 0, 0}, {u"w", 26, 0, 40, 40, 0}, Memo(u"x", 1)}));

    Execute(*Connection, u"update t set x = null");
    EXPECT_EQ(DescribeQuery(u"select x from t"), std::vector<Description>{Memo(u"x", 1)});

    EXPECT_EQ(DescribeQuery(u"select id, w, x from t where id = 99"),
              (std::vector<Description>{Memo(u"id", 0), Memo(u"w", 0), Memo(u"x", 1)}));

    Execute(*Connection, u"create table u (w VARCHAR(40), n REAL, b BLOB, k INTEGER PRIMARY KEY AUTOINCREMENT)");
    Execute(*Connection, u"insert into u values (null, 1.5, x'0102', 1)");
    EXPECT_EQ(DescribeQuery(u"select w, n, b, k from u"),
              (std::vector<Description>{
                  Memo(u"w", 1), {u"n", 7, 0, 8, 0, 1}, {u"b", 3, 23, 0, 1, 1}, {u"k", 18, 0, 8, 0, 8}}));
}

TEST_F(SqliteReaderTest, ExpressionsAndAliasesOnBothPaths) {
    Execute(*Connection, u"insert into t values (1, 'a', 'b')");
    EXPECT_EQ(DescribeQuery(u"select w as word, 1+1, count(*) from t"),
              (std::vector<Description>{{u"w", 26, 0, 40, 40, 0}, Memo(u"Column1", 0), Memo(u"Column2", 0)}));

    auto statementPath = StatementPathConnection();
    Execute(*statementPath, u"insert into t values (1, 'a', 'b')");
    EXPECT_EQ(DescribeQuery(u"select w as word, 1+1, x from t", statementPath.get()),
              (std::vector<Description>{{u"word", 26, 0, 40, 40, 1}, {u"1+1", 18, 0, 8, 0, 1}, Memo(u"x", 1)}));
    Commands.clear();
}

// A compiled statement run again keeps the descriptions of its last run only
// while they would come out the same: the same storage classes in its first
// row (or no row again), the same schema, the same description path.
TEST_F(SqliteReaderTest, RunAgainAStatementIsDescribedAsItsFirstRowAndSchemaNowAre) {
    Execute(*Connection, u"insert into t values (1, 'a', 'b')");
    auto command = Connection->CreateCommand();
    command->SetText(u"select w as word, x from t");
    const auto run = [&] { return Describe(*command->ExecuteQuery()); };
    const Description word40{u"w", 26, 0, 40, 40, 0};
    EXPECT_EQ(run(), (std::vector<Description>{word40, Memo(u"x", 1)}));
    EXPECT_EQ(run(), (std::vector<Description>{word40, Memo(u"x", 1)}));
    Execute(*Connection, u"update t set x = x'01'");
    EXPECT_EQ(run(), (std::vector<Description>{word40, {u"x", 3, 23, 0, 1, 1}}));
    Execute(*Connection, u"drop table t");
    Execute(*Connection, u"create table t (id INTEGER PRIMARY KEY, w VARCHAR(12) NOT NULL, x TEXT)");
    Execute(*Connection, u"insert into t values (1, 'a', x'01')");
    EXPECT_EQ(run(), (std::vector<Description>{{u"w", 26, 0, 12, 12, 0}, {u"x", 3, 23, 0, 1, 1}}));
    Execute(*Connection, u"delete from t");
    EXPECT_EQ(run(), (std::vector<Description>{Memo(u"w", 0), Memo(u"x", 1)}));
    Connection->GetConnectionProperties().SetValue(u"ColumnMetaDataSupported", u"False");
    EXPECT_EQ(run(), (std::vector<Description>{Memo(u"word", 1), Memo(u"x", 1)}));
}

TEST_F(SqliteReaderTest, CountIsReadAsUtf16Digits) {
    Execute(*Connection,
            u"insert into t (w) with recursive c(n) as (select 1 union all select n + 1 from c where n < 1234) "
            u"select 'w' || n from c");
    auto reader = Query(u"select count(*) from t");
    EXPECT_EQ(Describe(*reader), std::vector<Description>{Memo(u"Column0", 0)});
    ASSERT_TRUE(reader->Next());
    std::int64_t length = -1;
    bool isNull = true;
    reader->GetByteReader().GetByteLength(0, length, isNull);
    EXPECT_FALSE(isNull);
    ASSERT_EQ(length, 8);
    std::vector<std::uint8_t> bytes(8);
    EXPECT_EQ(reader->GetByteReader().GetBytes(0, 0, bytes, 0, length, isNull), 8);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'1', 0, '2', 0, '3', 0, '4', 0}));
    EXPECT_EQ(reader->GetValue(0).GetWideString(), u"1234");
}

TEST_F(SqliteReaderTest, DeclaredTypesThatAreNotSizesEndTheQuery) {
    Execute(*Connection, u"create table d (price DECIMAL(10,2))");
    Execute(*Connection, u"create table v (name \"VARCHAR(50\", other 'VARCHAR)50(')");
    Execute(*Connection, u"insert into d values ('n/a')");
    Execute(*Connection, u"insert into v values ('n', 'o')");
    const auto conversionError = [&](const String& Text) {
        try {
            Query(Text);
        } catch (const TDBXError&) {
            return String(u"TDBXError");
        } catch (const rtl::EConvertError& e) {
            return e.Message();
        }
        return String(u"(none)");
    };
    EXPECT_EQ(conversionError(u"select price from d"), u"'10,2' is not a valid integer value");
    EXPECT_EQ(conversionError(u"select price from d"), u"'10,2' is not a valid integer value");  // again, same way
    EXPECT_EQ(conversionError(u"select name from v"), u"'' is not a valid integer value");
    EXPECT_EQ(conversionError(u"select other from v"), u"'' is not a valid integer value");
    EXPECT_EQ(DescribeQuery(u"select 1 as one"), (std::vector<Description>{Memo(u"Column0", 0)}));

    Execute(*Connection, u"update d set price = 1.5");
    EXPECT_EQ(DescribeQuery(u"select price from d"), (std::vector<Description>{{u"price", 7, 0, 8, 0, 1}}));
    Execute(*Connection, u"update d set price = 2");
    EXPECT_EQ(DescribeQuery(u"select price from d"), (std::vector<Description>{{u"price", 18, 0, 8, 0, 1}}));
}

TEST(SqliteColumnMapping, DeclaredTypeAndStorageClassTables) {
    struct Case {
        const char16_t* declared;
        int type;
        std::int64_t size;
    };
    for (const Case& c : {Case{u"VARCHAR(50)", 26, 50}, Case{u"NVARCHAR(50)", 26, 50}, Case{u"char( 8 )", 26, 8},
                          Case{u"TEXT", 3, 1}, Case{u"", 3, 1}, Case{u"INTEGER", 3, 1}, Case{u"CLOB", 3, 1}}) {
        TDBXValueType t;
        SetupTextInfo(t, c.declared);
        EXPECT_EQ(t.GetDataType(), c.type) << rtl::StringToUtf8(c.declared);
        EXPECT_EQ(t.GetSize(), c.size) << rtl::StringToUtf8(c.declared);
        EXPECT_EQ(t.GetSubType(), c.type == 3 ? 32 : 0);
    }
    TDBXValueType t;
    EXPECT_THROW(SetupTextInfo(t, u"VARCHAR)50("), rtl::EConvertError);
    const TDBXError e = CatchDBXError([&] { SetupTypeInfo(t, 9, nullptr); });
    EXPECT_EQ(e.ErrorCode(), 1);
    EXPECT_EQ(e.Message(), u"Internal: Type 9 is not currently supported");
}

TEST_F(SqliteReaderTest, EveryByteReaderCallIsTracedByTheLibraryCallsItMakes) {
    Execute(*Connection, u"insert into t values (1, 'a', 'b')");
    auto log = std::make_shared<std::vector<String>>();
    Connection->SetTraceInfoEvent([log](const TDBXTraceInfo& info) { log->push_back(info.FTraceMessage); });
    auto reader = Query(u"select id, w, x from t");
    ASSERT_TRUE(reader->Next());
    TDBXByteReader& bytes = reader->GetByteReader();
    std::vector<std::uint8_t> buffer(64);
    bool isNull = false;
    std::int64_t length = 0;
    struct Case {
        const char* Name;
        std::function<void()> Read;
        std::vector<String> Calls;
    } cases[] = {
        {"GetInt64", [&] { bytes.GetInt64(0, buffer, 0, isNull); }, {u"sqlite3_column_type", u"sqlite3_column_int64"}},
        {"GetWideString",
         [&] { bytes.GetWideString(1, buffer, 0, isNull); },
         {u"sqlite3_column_type", u"sqlite3_column_text16", u"sqlite3_column_bytes16"}},
        {"GetByteLength",
         [&] { bytes.GetByteLength(2, length, isNull); },
         {u"sqlite3_column_type", u"sqlite3_column_bytes16"}},
        {"GetBytes",
         [&] { bytes.GetBytes(2, 0, buffer, 0, 2, isNull); },
         {u"sqlite3_column_type", u"sqlite3_column_bytes16", u"sqlite3_column_blob"}},
    };
    for (const Case& c : cases) {
        log->clear();
        c.Read();
        EXPECT_EQ(*log, c.Calls) << c.Name;
    }
}

TEST_F(SqliteReaderTest, ReaderStatesBeforeOnAndAfterTheRows) {
    Execute(*Connection, u"insert into t values (1, 'a', 'b')");
    auto log = std::make_shared<int>(0);
    Connection->SetTraceInfoEvent([log](const TDBXTraceInfo& info) {
        if (info.FTraceMessage == u"sqlite3_step") ++*log;
    });
    auto reader = Query(u"select id, w from t");

    EXPECT_EQ(reader->GetColumnCount(), 2);
    EXPECT_EQ(reader->GetValueType(1).GetName(), u"w");
    TDBXError e = CatchDBXError([&] { reader->GetValue(0); });
    EXPECT_EQ(e.ErrorCode(), 100);
    EXPECT_EQ(e.Message(), u"Reader Next method has not been called");

    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValue(0).GetInt64(), 1);
    EXPECT_EQ(reader->GetValueByName(u"W").GetWideString(), u"a");
    EXPECT_EQ(reader->GetOrdinal(u"ID"), 0);
    e = CatchDBXError([&] { reader->GetValue(-1); });
    EXPECT_EQ(e.ErrorCode(), 8);
    EXPECT_EQ(e.Message(), u"Invalid Ordinal:  -1");
    EXPECT_EQ(CatchDBXError([&] { reader->GetValue(2); }).Message(), u"Invalid Ordinal:  2");
    EXPECT_EQ(CatchDBXError([&] { reader->GetOrdinal(u"nope"); }).Message(), u"Invalid Ordinal:  -1");
    e = CatchDBXError([&] { reader->GetValue(0).GetWideString(); });
    EXPECT_EQ(e.ErrorCode(), 7);
    EXPECT_EQ(e.Message(), u"TDBXTypes.INT64 value type cannot be accessed as TDBXTypes.WideString value type");
    EXPECT_EQ(reader->GetValue(0).GetAsString(), u"1");

    EXPECT_FALSE(reader->Next());
    const int steps = *log;
    EXPECT_FALSE(reader->Next());
    EXPECT_EQ(*log, steps);  // the ended reader does not step again
    EXPECT_EQ(CatchDBXError([&] { reader->GetValue(0); }).Message(), u"Reader has no more rows");
    EXPECT_EQ(CatchDBXError([&] { reader->GetValueType(0); }).Message(), u"Reader has no more rows");
    bool isNull = false;
    std::vector<std::uint8_t> buffer(8);
    EXPECT_EQ(CatchDBXError([&] { reader->GetByteReader().GetInt64(0, buffer, 0, isNull); }).ErrorCode(), 100);
    EXPECT_EQ(reader->GetColumnCount(), 2);
}

TEST_F(SqliteReaderTest, ValuesAreReadFreshOnEachRow) {
    Execute(*Connection, u"insert into t values (1, 'one', null), (2, 'two', 'x')");
    auto reader = Query(u"select id, w, x from t order by id");
    TDBXByteReader& bytes = reader->GetByteReader();
    std::vector<std::uint8_t> buffer(8, 0xEE);
    bool isNull = false;

    ASSERT_TRUE(reader->Next());
    EXPECT_TRUE(reader->GetValue(2).IsNull());
    bytes.GetWideString(2, buffer, 0, isNull);
    EXPECT_TRUE(isNull);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(8, 0xEE));  // a null writes nothing
    bytes.GetInt64(0, buffer, 0, isNull);
    EXPECT_FALSE(isNull);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));

    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValue(0).GetInt64(), 2);
    EXPECT_EQ(reader->GetValue(1).GetWideString(), u"two");
    EXPECT_FALSE(reader->GetValue(2).IsNull());
    EXPECT_EQ(reader->GetValue(2).GetAsString(), u"x");
    bytes.GetInt32(0, buffer, 4, isNull);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(CatchDBXError([&] { bytes.GetInt64(0, buffer, 4, isNull); }).ErrorCode(), 14);  // would not fit
}

TEST_F(SqliteReaderTest, LongValuesAreCutToTheBuffer) {
    const String longText(100000, u'ж');
    Execute(*Connection, u"insert into t values (1, 'abcdefgh', '" + longText + u"')");
    auto reader = Query(u"select w, x from t");
    ASSERT_TRUE(reader->Next());
    TDBXByteReader& bytes = reader->GetByteReader();
    bool isNull = true;

    std::vector<std::uint8_t> backing(16, 0xEE);
    bytes.GetWideString(0, std::span(backing).first(10), 0, isNull);
    EXPECT_FALSE(isNull);
    EXPECT_EQ(backing,
              (std::vector<std::uint8_t>{'a', 0, 'b', 0, 'c', 0, 'd', 0, 'e', 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    std::vector<std::uint8_t> whole(18, 0xEE);
    bytes.GetWideString(0, whole, 0, isNull);
    EXPECT_EQ(whole[16], 0);  // with its terminator
    EXPECT_EQ(whole[17], 0);
    bytes.GetAnsiString(0, std::span(backing).first(4), 0, isNull);
    EXPECT_EQ(std::string(backing.begin(), backing.begin() + 4), "abcd");

    std::vector<std::uint8_t> small(64, 0xEE);
    EXPECT_EQ(bytes.GetBytes(1, 0, std::span(small).first(40), 8, 1000000, isNull), 32);
    EXPECT_EQ(small[7], 0xEE);
    EXPECT_EQ(small[8], 0x36);  // 'ж' is U+0436
    EXPECT_EQ(small[40], 0xEE);
    EXPECT_EQ(reader->GetValue(1).GetWideString(), longText);
}

TEST_F(SqliteReaderTest, ABlobColumnStaysBlobAndLaterTextIsReadAsUtf16) {
    Execute(*Connection, u"create table m (v)");
    Execute(*Connection, u"insert into m values (x'00FF10'), ('hé')");
    auto reader = Query(u"select v from m order by rowid");
    EXPECT_EQ(Describe(*reader), (std::vector<Description>{{u"v", 3, 23, 0, 1, 1}}));
    ASSERT_TRUE(reader->Next());
    const auto& first = static_cast<TDBXByteArrayValue&>(reader->GetValue(0)).Bytes();
    EXPECT_EQ(first, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
    ASSERT_TRUE(reader->Next());
    std::int64_t length = 0;
    bool isNull = true;
    reader->GetByteReader().GetByteLength(0, length, isNull);
    ASSERT_EQ(length, 4);
    std::vector<std::uint8_t> text(4);
    EXPECT_EQ(reader->GetByteReader().GetBytes(0, 0, text, 0, length, isNull), 4);
    EXPECT_EQ(text, (std::vector<std::uint8_t>{'h', 0, 0xE9, 0}));
    auto stream = reader->GetValue(0).GetStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Size(), 4);
}
