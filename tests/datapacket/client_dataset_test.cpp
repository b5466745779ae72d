// The client dataset over the whole chain (SQLite query -> provider -> packet
// -> record store): opening, moving, refreshing onto a new statement, fetching
// further packets, closing, and the failures the user can meet.

#include "chain_fixture.h"

#include "data/data_links.h"
#include "data/dataset.h"
#include "datapacket/ds_errors.h"

using namespace datapacket;
using chain_test::ChainTest;
using rtl::String;
using sql_test::MessageOf;

namespace {

constexpr const char16_t* Startup = u"select id, lx_word, lx_text, lx_title from lx_items limit 1000";

String Between(int From, int To) {
    return u"select id, lx_word, lx_text, lx_title from lx_items where id between " + rtl::IntToStr(From) + u" and " +
           rtl::IntToStr(To) + u" limit 1000";
}

class ClientDataSetTest : public ChainTest {};

}  // namespace

TEST_F(ClientDataSetTest, OpensWithTheQueryRowsAndFields) {
    OpenQuery(Startup, 12);
    Client->Open();
    ASSERT_TRUE(Client->Active());
    EXPECT_TRUE(Client->ProviderEOF());
    EXPECT_EQ(Client->RecordCount(), 12);
    EXPECT_FALSE(Client->CanModify());

    const struct {
        const char16_t* name;
        data::TFieldType type;
        int size;
    } fields[] = {{u"id", data::ftLargeint, 0},
                  {u"lx_word", data::ftWideString, 40},
                  {u"lx_text", data::ftWideMemo, -1},
                  {u"lx_title", data::ftWideString, 100}};
    ASSERT_EQ(Client->FieldCount(), 4);
    for (int i = 0; i < 4; ++i) {
        data::TField* f = Client->Fields()[i];
        SCOPED_TRACE(rtl::StringToUtf8(f->FieldName()));
        EXPECT_EQ(f->FieldName(), fields[i].name);
        EXPECT_EQ(f->DataType(), fields[i].type);
        EXPECT_EQ(f->FieldNo(), i + 1);
        if (fields[i].size >= 0) {
            EXPECT_EQ(f->Size(), fields[i].size);
        }
    }
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(Text(u"lx_word"), u"кітап1");
    EXPECT_EQ(Text(u"lx_text"), u"Мәтін 1");
    EXPECT_EQ(Text(u"lx_title"), u"Орфографиялық сөздік");
    EXPECT_EQ(Client->RecNo(), 1);

    // The non-native read of a wide string gives the same text.
    data::TValueBuffer buffer;
    ASSERT_TRUE(Client->GetFieldData(Client->FieldByName(u"lx_word"), buffer, false));
    EXPECT_EQ(String(reinterpret_cast<const char16_t*>(buffer.data())), u"кітап1");
}

TEST_F(ClientDataSetTest, MovesBothWaysWithRecordNumbersAndBookmarks) {
    OpenQuery(Startup, 12);
    Client->Open();
    int seen = 0;
    for (; !Client->Eof(); Client->Next()) {
        ++seen;
        EXPECT_EQ(Client->RecNo(), seen);
        EXPECT_EQ(Id(), seen);
    }
    EXPECT_EQ(seen, 12);
    Client->Prior();
    EXPECT_EQ(Id(), 11);
    Client->First();
    EXPECT_TRUE(Client->Bof());
    Client->Last();
    EXPECT_EQ(Client->RecNo(), 12);
    EXPECT_EQ(Text(u"lx_word"), u"кітап12");
    EXPECT_EQ(Client->MoveBy(-5), -5);
    EXPECT_EQ(Id(), 7);

    Client->SetRecNo(3);
    EXPECT_EQ(Id(), 3);
    const data::TBookmark third = Client->GetBookmark();
    Client->SetRecNo(9);
    const data::TBookmark ninth = Client->GetBookmark();
    EXPECT_EQ(Client->CompareBookmarks(third, ninth), -1);
    EXPECT_EQ(Client->CompareBookmarks(ninth, third), 1);
    EXPECT_EQ(Client->CompareBookmarks(third, third), 0);
    EXPECT_EQ(Client->CompareBookmarks({}, third), 1);
    EXPECT_TRUE(Client->BookmarkValid(third));
    Client->GotoBookmark(third);
    EXPECT_EQ(Id(), 3);
    EXPECT_EQ(MessageOf([&] { Client->SetRecNo(13); }), u"At end of table.");
}

// After a search the application reopens the query on the new statement and
// refreshes the client dataset: the new rows replace the old ones and the
// active row keeps its number where the new result has it.
TEST_F(ClientDataSetTest, RefreshTakesTheNewStatementsRowsKeepingTheRowNumber) {
    const struct {
        int from, to;  // the new statement's id range
        int recNo;     // the active row afterwards, 0 for none
        std::int64_t id;
    } cases[] = {
        // clang-format off
        {101, 120, 7, 107},  // 20 new rows: row 7 of the new result
        {201, 203, 3, 203},  // 3 rows: the last one
        {900, 899, 0, 0},    // none
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        if (!Conn->Connected()) OpenQuery(Between(1, 20), 300);
        SetSql(Between(1, 20));
        if (!Client->Active()) Client->Open();
        Client->Refresh();
        Client->SetRecNo(7);
        ASSERT_EQ(Id(), 7);

        SetSql(Between(c.from, c.to));
        Client->Refresh();
        EXPECT_EQ(Client->RecordCount(), std::max(0, c.to - c.from + 1));
        if (c.recNo == 0) {
            EXPECT_TRUE(Client->IsEmpty());
            EXPECT_EQ(Client->RecNo(), 0);
        } else {
            EXPECT_EQ(Client->RecNo(), c.recNo);
            EXPECT_EQ(Id(), c.id);
            EXPECT_EQ(Text(u"lx_word"), u"кітап" + rtl::IntToStr(c.id));
        }
    }
    // From an empty result back to rows: the first row is active.
    SetSql(Between(1, 5));
    Client->Refresh();
    EXPECT_EQ(Client->RecNo(), 1);
    EXPECT_EQ(Id(), 1);
}

// A view showing ten rows: after a refresh the active row keeps its number
// and its place in the view's window, with the rows before it above it.
TEST_F(ClientDataSetTest, RefreshKeepsTheActiveRowsPlaceInAViewsWindow) {
    OpenQuery(Between(1, 30), 300);
    data::TDataSource source(nullptr);
    source.SetDataSet(Client);
    data::TDataLink grid;
    grid.SetBufferCount(10);
    grid.SetDataSource(&source);
    Client->Open();
    Client->SetRecNo(20);  // centred: the window shows rows 16..25
    Client->MoveBy(-2);
    ASSERT_EQ(Id(), 18);
    const int place = grid.ActiveRecord();
    ASSERT_GT(place, 0);

    SetSql(Between(101, 130));
    Client->Refresh();
    EXPECT_EQ(Client->RecNo(), 18);
    EXPECT_EQ(Id(), 118);
    EXPECT_EQ(grid.ActiveRecord(), place);
    Client->MoveBy(-place);
    EXPECT_EQ(grid.ActiveRecord(), 0);
    EXPECT_EQ(Id(), 118 - place);
    grid.SetDataSource(nullptr);
}

// A refresh keeps rows by number: a bookmark of a row the new result still
// has stays valid, one of a row it lacks does not, and asking moves nothing.
TEST_F(ClientDataSetTest, BookmarkOfARowARefreshDroppedIsNoLongerValid) {
    OpenQuery(Between(1, 20), 300);
    Client->Open();
    Client->SetRecNo(9);
    const data::TBookmark ninth = Client->GetBookmark();
    Client->SetRecNo(2);
    const data::TBookmark second = Client->GetBookmark();
    ASSERT_TRUE(Client->BookmarkValid(ninth));

    SetSql(Between(101, 103));
    Client->Refresh();
    ASSERT_EQ(Id(), 102);
    EXPECT_FALSE(Client->BookmarkValid(ninth));
    EXPECT_TRUE(Client->BookmarkValid(second));
    EXPECT_FALSE(Client->BookmarkValid({}));
    EXPECT_EQ(Id(), 102);
    Client->Next();
    EXPECT_EQ(Id(), 103);
    // Nor after the rows are gone altogether.
    SetSql(Between(900, 899));
    Client->Refresh();
    EXPECT_FALSE(Client->BookmarkValid(second));
}

TEST_F(ClientDataSetTest, FailingProviderDuringRefreshKeepsTheOldRows) {
    OpenQuery(u"select id, lx_word from lx_items", 5);
    Exec(u"create table words as select id, lx_word from lx_items");
    SetSql(u"select id, lx_word from words");
    Client->Open();
    Client->SetRecNo(4);
    Exec(u"drop table words");  // the query closes; the provider must open it again

    const String message = MessageOf([&] { Client->Refresh(); });
    EXPECT_NE(message.find(u"no such table: words"), String::npos) << rtl::StringToUtf8(message);
    ASSERT_TRUE(Client->Active());
    EXPECT_EQ(Client->RecordCount(), 5);
    EXPECT_EQ(Id(), 4);
    Client->First();
    EXPECT_EQ(Text(u"lx_word"), u"кітап1");
}

TEST_F(ClientDataSetTest, RepeatedColumnNamesAreNumbered) {
    OpenQuery(u"select 1", 0);
    Exec(u"create table t (w VARCHAR(10), w_1 VARCHAR(10))");
    Exec(u"insert into t values ('a', 'b')");
    SetSql(u"select w, w, w_1, w from t");
    Client->Open();
    std::vector<String> names;
    for (data::TField* f : Client->Fields()) names.push_back(f->FieldName() + u"=" + f->AsString());
    EXPECT_EQ(names, (std::vector<String>{u"w=a", u"w_1=a", u"w_1_1=b", u"w_2=a"}));
}

TEST_F(ClientDataSetTest, LongNamesComeBackWhole) {
    const String name = u"сөздің_жазылуы_туралы_мәлімет";
    OpenQuery(u"select 1", 0);
    Exec(u"create table notes (\"" + name + u"\" INTEGER)");
    Exec(u"insert into notes values (5)");
    SetSql(u"select * from notes");
    Client->Open();
    ASSERT_EQ(Client->FieldCount(), 1);
    EXPECT_EQ(Client->Fields()[0]->FieldName(), name);
}

TEST_F(ClientDataSetTest, EmptyMemoReadsAsNull) {
    OpenQuery(Startup, 3);
    Exec(u"update lx_items set lx_text = '' where id = 1");
    Exec(u"update lx_items set lx_text = NULL where id = 2");
    SetSql(Startup);
    Client->Open();
    data::TField* memo = Client->FieldByName(u"lx_text");
    EXPECT_TRUE(memo->IsNull());
    EXPECT_EQ(memo->AsString(), u"");
    Client->Next();
    EXPECT_TRUE(memo->IsNull());
    Client->Next();
    EXPECT_FALSE(memo->IsNull());
    EXPECT_EQ(memo->AsString(), u"Мәтін 3");
}

TEST_F(ClientDataSetTest, EmptyResultOpensEmpty) {
    OpenQuery(Startup, 0);
    Client->Open();
    EXPECT_EQ(Client->RecordCount(), 0);
    Client->First();
    EXPECT_TRUE(Client->Bof());
    EXPECT_TRUE(Client->Eof());
    EXPECT_EQ(Client->FieldCount(), 4);
}

TEST_F(ClientDataSetTest, SmallPacketsAreFetchedOnDemandAndByLast) {
    OpenQuery(Startup, 12);
    Client->SetPacketRecords(5);
    Client->Open();
    EXPECT_FALSE(Client->ProviderEOF());
    EXPECT_EQ(Client->RecordCount(), 5);
    for (int i = 0; i < 5; ++i) Client->Next();  // past the fifth row: the next packet
    EXPECT_EQ(Id(), 6);
    EXPECT_EQ(Client->RecordCount(), 10);
    Client->Last();  // every row still at the provider
    EXPECT_TRUE(Client->ProviderEOF());
    EXPECT_EQ(Client->RecordCount(), 12);
    EXPECT_EQ(Client->RecNo(), 12);
    EXPECT_EQ(Client->GetNextPacket(), 0);
}

TEST_F(ClientDataSetTest, ClosingAsksForAResetUnlessBeingDestroyed) {
    OpenQuery(Startup, 3);
    Client->Open();
    Query->Next();  // off its first row, so that a reset must run it again
    int executions = static_cast<int>(Statements.size());
    Client->Close();
    EXPECT_EQ(static_cast<int>(Statements.size()), executions + 1);  // the pure reset ran the query again
    EXPECT_FALSE(Client->HasAppServer());

    Client->Open();
    Query->Next();
    executions = static_cast<int>(Statements.size());
    delete Client;
    Client = nullptr;
    EXPECT_EQ(static_cast<int>(Statements.size()), executions);
}

TEST_F(ClientDataSetTest, ProviderFailures) {
    OpenQuery(Startup, 3);
    Client->SetProviderName(u"NoSuchProvider");
    EXPECT_EQ(MessageOf([&] { Client->Open(); }), u"ClientDataSet1: Missing data provider or data packet");
    EXPECT_FALSE(Client->Active());

    Client->SetProviderName(u"DataSetProvider1");
    Provider->SetDataSet(Client);
    EXPECT_EQ(MessageOf([&] { Client->Open(); }), u"ClientDataSet1: Circular provider references not allowed");

    Provider->SetDataSet(nullptr);
    EXPECT_EQ(MessageOf([&] { Client->Open(); }), u"Missing DataSet property");
    EXPECT_FALSE(Client->Active());
    // The store from a failed open is gone: the next open starts afresh.
    Provider->SetDataSet(Query);
    Client->Open();
    EXPECT_EQ(Client->RecordCount(), 3);
}

// A wide string's slot takes 2 bytes a character and a 2-byte count, and
// may take 65531 bytes: 32764 characters fit, 32765 do not.
TEST_F(ClientDataSetTest, WideStringTooWideForAnEngineSlotCannotOpen) {
    OpenQuery(u"select 1", 0);
    const struct {
        int characters;
        const char16_t* message;
    } cases[] = {{32764, u"(no exception)"}, {32765, u"Invalid field type."}, {40000, u"Invalid field type."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.characters);
        const String table = u"wide" + rtl::IntToStr(c.characters);
        Exec(u"create table " + table + u" (t VARCHAR(" + rtl::IntToStr(c.characters) + u"))");
        Exec(u"insert into " + table + u" values ('x')");
        SetSql(u"select t from " + table);
        EXPECT_EQ(MessageOf([&] { Client->Open(); }), c.message);
        EXPECT_EQ(Client->Active(), c.message == String(u"(no exception)"));
        if (Client->Active()) {
            EXPECT_EQ(Client->FieldByName(u"t")->AsString(), u"x");
            Client->Close();
        }
    }
}

TEST_F(ClientDataSetTest, BlobStreamsAreReadOnly) {
    OpenQuery(Startup, 2);
    Client->Open();
    data::TField* memo = Client->FieldByName(u"lx_text");
    EXPECT_EQ(MessageOf([&] { Client->CreateBlobStream(memo, data::bmWrite); }),
              u"ClientDataSet1: Dataset not in edit or insert mode");
    memo->SetReadOnly(true);
    EXPECT_EQ(MessageOf([&] { Client->CreateBlobStream(memo, data::bmWrite); }),
              u"ClientDataSet1: Field 'lx_text' cannot be modified");
    auto stream = Client->CreateBlobStream(memo, data::bmRead);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Size(), static_cast<std::int64_t>(2 * String(u"Мәтін 1").size()));
}

// A refreshed query may describe a text column as a wide string (first row
// holds text, declared with a length) or as a wide memo (first row NULL).
// The packet keeps the column as first described; values are converted to it
// and a change that cannot be converted fails without touching the rows.
TEST_F(ClientDataSetTest, ColumnsReDescribedByARefreshKeepTheirFirstLayout) {
    OpenQuery(Startup, 10);
    Exec(u"update lx_items set lx_title = NULL where id in (1, 5)");
    Exec(u"update lx_items set lx_title = '" + String(150, u'ж') + u"' where id = 6");
    SetSql(Between(2, 10));  // first row text: lx_title is a wide string of 100
    Client->Open();
    ASSERT_EQ(Client->FieldByName(u"lx_title")->DataType(), data::ftWideString);

    SetSql(Between(5, 7));  // first row NULL: the query now sees a wide memo
    ASSERT_EQ(Query->FieldByName(u"lx_title")->DataType(), data::ftWideMemo);
    Client->Refresh();
    ASSERT_EQ(Client->RecordCount(), 3);
    Client->First();
    EXPECT_TRUE(Client->FieldByName(u"lx_title")->IsNull());
    Client->Next();
    EXPECT_EQ(Text(u"lx_title"), String(100, u'ж'));  // cut to the column's 100 characters
    Client->Next();
    EXPECT_EQ(Text(u"lx_title"), u"Орфографиялық сөздік");

    // The other way round: opened on a NULL first row, refreshed onto text.
    Client->Close();
    SetSql(Between(1, 3));
    Client->Open();
    ASSERT_EQ(Client->FieldByName(u"lx_title")->DataType(), data::ftWideMemo);
    SetSql(Between(2, 3));
    ASSERT_EQ(Query->FieldByName(u"lx_title")->DataType(), data::ftWideString);
    Client->Refresh();
    EXPECT_EQ(Client->RecordCount(), 2);
    EXPECT_EQ(Text(u"lx_title"), u"Орфографиялық сөздік");

    // A column that turns from text into a number cannot be converted.
    Client->Close();
    SetSql(u"select lx_word from lx_items");
    Client->Open();
    SetSql(u"select id from lx_items");
    const String message = MessageOf([&] { Client->Refresh(); });
    EXPECT_EQ(message,
              u"Field 'id' is now of type LargeInt; its rows cannot be sent in the WideString column the "
              u"packet describes");
    EXPECT_EQ(Client->RecordCount(), 10);
    EXPECT_EQ(Text(u"lx_word"), u"кітап1");

    // Nor can a different number of columns.
    SetSql(u"select lx_word, id from lx_items");
    EXPECT_EQ(MessageOf([&] { Client->Refresh(); }),
              u"The number of fields changed from 1 to 2 since the packet's columns were described");
    EXPECT_EQ(Client->RecordCount(), 10);
}
