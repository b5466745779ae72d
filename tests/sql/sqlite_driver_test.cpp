#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "rtl/files.h"
#include "rtl/format.h"

#include "sql/sqlite_command.h"
#include "sql/sqlite_connection.h"
#include "sql_test_support.h"

using namespace sql;
using sql_test::CatchDBXError;
using sql_test::Connect;
using sql_test::Execute;
using sql_test::TempDir;

namespace {

std::unique_ptr<TDBXConnection> ConnectWith(const TDBXProperties& Properties) {
    return TDBXConnectionFactory::GetConnectionFactory().GetConnection(Properties);
}

std::int64_t CountRows(TDBXConnection& Connection, const String& Table) {
    auto command = Connection.CreateCommand();
    command->SetText(u"select count(*) from " + Table);
    auto reader = command->ExecuteQuery();
    EXPECT_TRUE(reader->Next());
    return rtl::StrToInt64(reader->GetValue(0).GetAsString());
}

// Collects the texts the connection traces.
std::shared_ptr<std::vector<String>> Record(TDBXConnection& Connection) {
    auto log = std::make_shared<std::vector<String>>();
    Connection.SetTraceInfoEvent([log](const TDBXTraceInfo& info) { log->push_back(info.FTraceMessage); });
    return log;
}

bool Contains(const std::vector<String>& Log, StringView Text) {
    return std::find(Log.begin(), Log.end(), Text) != Log.end();
}

// Whether this process may take the unprivileged user's identity that
// ExpectAsUnprivilegedUser uses: a root without the right to change its user
// (a container that drops it, a user namespace that does not map the user)
// cannot. Tried in a child process, so this one keeps its own identity.
bool CanBecomeUnprivilegedUser() {
    if (geteuid() != 0) return true;  // already bound by file permissions
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 ? 0 : 1);
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs Check as an unprivileged user (file permissions bind root only
// through another user), in a child process; it passes when Check gives true.
void ExpectAsUnprivilegedUser(const std::function<bool()>& Check) {
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            bool passed = false;
            try {
                passed = Check();
            } catch (...) {
            }
            _exit(passed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

TEST(SqliteConnection, FailIfMissingChoosesBetweenStrictAndCreatingOpens) {
    struct Case {
        const char16_t* line;  // the FailIfMissing line, or null for none
        bool creates;
        // clang-format off
    };
    const Case cases[] = {{u"FailIfMissing=True", false},  {u"FailIfMissing=true", false},
                          {u"FailIfMissing=TRUE", false},  {nullptr, false},
                          {u"FailIfMissing=False", true},  {u"FailIfMissing=", true},
                          {u"FailIfMissing=yes", true}};
    // clang-format on
    int n = 0;
    for (const Case& c : cases) {
        TempDir dir;
        const String file = dir.File("missing" + std::to_string(n++) + ".db");
        TDBXProperties properties;
        properties.SetValue(u"DriverName", u"Sqlite");
        properties.SetValue(u"Database", file);
        if (c.line) properties.Properties().Add(c.line);
        const std::string label = c.line ? rtl::StringToUtf8(c.line) : "(none)";
        if (c.creates) {
            EXPECT_TRUE(ConnectWith(properties)->GetIsOpen()) << label;
            EXPECT_TRUE(rtl::FileExists(file)) << label;
        } else {
            const TDBXError e = CatchDBXError([&] { ConnectWith(properties); });
            EXPECT_EQ(e.ErrorCode(), SQLITE_CANTOPEN) << label;
            EXPECT_EQ(e.Message(), u"unable to open database file") << label;
            EXPECT_FALSE(rtl::FileExists(file)) << label;
            // An existing file opens strictly.
            Connect(file, u"False").reset();
            EXPECT_TRUE(ConnectWith(properties)->GetIsOpen()) << label;
        }
    }
}

TEST(SqliteConnection, AnEmptyCreatedFileFailsAtTheFirstStatementNamingATable) {
    TempDir dir;
    auto connection = Connect(dir.File("lx_items.db"), u"False");
    auto command = connection->CreateCommand();
    command->SetText(u"select lx_word from lx_items");
    const TDBXError e = CatchDBXError([&] { command->ExecuteQuery(); });
    EXPECT_EQ(e.ErrorCode(), 1);
    EXPECT_EQ(e.Message(), u"no such table: lx_items");
    EXPECT_FALSE(command->IsOpen());
}

TEST(SqliteConnection, ReportsItsPropertiesAndDatabaseMetaData) {
    auto connection = Connect(u":memory:");
    EXPECT_EQ(connection->GetVendorProperty(u"ColumnMetaDataSupported"), u"True");
    EXPECT_EQ(connection->GetVendorProperty(u"columnmetadatasupported"), u"");
    EXPECT_EQ(connection->GetVendorProperty(u"DriverDataTypes"), u"{18,0},{7,0},{3,23},{3,32}");
    EXPECT_EQ(connection->GetVendorProperty(u"Other"), u"");
    EXPECT_EQ(connection->GetProductName(), u"Sqlite");
    EXPECT_EQ(connection->GetProductVersion(), rtl::Utf8ToString(sqlite3_libversion()));

    const TDBXDatabaseMetaData& meta = connection->GetDatabaseMetaData();
    EXPECT_EQ(meta.FQuoteChar, u"\"");
    EXPECT_EQ(meta.FProcedureQuoteChar, u"\"");
    EXPECT_EQ(meta.FQuotePrefix, u"\"");
    EXPECT_EQ(meta.FQuoteSuffix, u"\"");
    EXPECT_EQ(meta.FMaxCommands, 0);
    EXPECT_TRUE(meta.FSupportsTransactions);
    EXPECT_TRUE(meta.FSupportsNestedTransactions);
    EXPECT_FALSE(meta.FSupportsRowSetSize);
    EXPECT_EQ(meta.FMetaDataVersion, u"4.0");
    EXPECT_TRUE(meta.FSupportsLowerCaseIdentifiers);
    EXPECT_TRUE(meta.FSupportsUpperCaseIdentifiers);
    EXPECT_FALSE(meta.FSupportsSPReturnCode);
    EXPECT_FALSE(meta.FSupportsSchemas);

    // A caller's own setting survives the open.
    auto properties = sql_test::SqliteProperties(u":memory:");
    properties->SetValue(u"ColumnMetaDataSupported", u"False");
    EXPECT_EQ(ConnectWith(*properties)->GetVendorProperty(u"ColumnMetaDataSupported"), u"False");
}

TEST(SqliteConnection, BrokenDatabaseFilesGiveTheLibrarysError) {
    TempDir dir;
    {
        std::ofstream out(dir.Path() / "text.db", std::ios::binary);
        out << std::string(4096, 'x');
    }
    auto connection = Connect(dir.File("text.db"), u"True");
    auto command = connection->CreateCommand();
    command->SetText(u"select * from sqlite_master");
    const TDBXError notADatabase = CatchDBXError([&] { command->ExecuteQuery(); });
    EXPECT_EQ(notADatabase.ErrorCode(), SQLITE_NOTADB);
    EXPECT_EQ(notADatabase.Message(), u"file is not a database");

    std::filesystem::create_directory(dir.Path() / "folder.db");
    for (const char16_t* failIfMissing : {u"True", u"False"}) {
        const TDBXError e = CatchDBXError([&] { Connect(dir.File("folder.db"), failIfMissing); });
        EXPECT_EQ(e.ErrorCode(), SQLITE_CANTOPEN);
        EXPECT_EQ(e.Message(), u"unable to open database file");
    }
}

TEST(SqliteConnection, ReadOnlyAndUnreadableFilesGiveTheLibrarysError) {
    if (!CanBecomeUnprivilegedUser())
        GTEST_SKIP() << "this machine does not let the test switch to an unprivileged user, and as root "
                        "file permissions do not apply";
    TempDir dir;
    const String readOnly = dir.File("readonly.db");
    const String unreadable = dir.File("unreadable.db");
    for (const String& file : {readOnly, unreadable}) {
        auto connection = Connect(file, u"False");
        Execute(*connection, u"create table t (id integer)");
        Execute(*connection, u"insert into t values (1)");
    }
    using std::filesystem::perms;
    std::filesystem::permissions(dir.Path() / "readonly.db",
                                 perms::owner_read | perms::group_read | perms::others_read);
    std::filesystem::permissions(dir.Path() / "unreadable.db", perms::none);

    ExpectAsUnprivilegedUser([&] {
        auto connection = Connect(readOnly, u"False");
        if (CountRows(*connection, u"t") != 1) return false;
        const TDBXError e = CatchDBXError([&] { Execute(*connection, u"insert into t values (2)"); });
        return e.ErrorCode() == SQLITE_READONLY && e.Message() == u"attempt to write a readonly database";
    });
    ExpectAsUnprivilegedUser([&] {
        for (const char16_t* failIfMissing : {u"True", u"False"}) {
            const TDBXError e = CatchDBXError([&] { Connect(unreadable, failIfMissing); });
            if (e.ErrorCode() != SQLITE_CANTOPEN || e.Message() != u"unable to open database file") return false;
        }
        return true;
    });
}

TEST(SqliteConnection, KazakhTextAndANonAsciiPathRoundTrip) {
    TempDir dir;
    const String file = dir.File("Сөздік қоры.db");
    const String word = u"Қазақ тілі: әліпби ғ ү ұ һ і ө ң — 😀";
    {
        auto connection = Connect(file, u"False");  // UTF-16 path
        Execute(*connection, u"create table words (w text)");
        Execute(*connection, u"insert into words values ('" + word + u"')");
    }
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "Сөздік қоры.db"));
    auto connection = Connect(file, u"True");  // UTF-8 path
    auto command = connection->CreateCommand();
    command->SetText(u"select w from words where w = '" + word + u"'");
    auto reader = command->ExecuteQuery();
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValue(0).GetWideString(), word);
    std::int64_t length = 0;
    bool isNull = true;
    reader->GetByteReader().GetByteLength(0, length, isNull);
    ASSERT_EQ(length, static_cast<std::int64_t>(word.size() * 2));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    EXPECT_EQ(reader->GetByteReader().GetBytes(0, 0, bytes, 0, length, isNull), length);
    EXPECT_EQ(String(reinterpret_cast<const char16_t*>(bytes.data()), word.size()), word);
}

TEST(SqliteCommand, MisuseMessagesAndStatementsWithoutColumns) {
    auto connection = Connect(u":memory:");
    auto command = connection->CreateCommand();
    EXPECT_EQ(CatchDBXError([&] { command->ExecuteQuery(); }).Message(), u"No statement to execute");
    EXPECT_EQ(CatchDBXError([&] { command->ExecuteUpdate(); }).ErrorCode(), 30);

    command->SetText(u"create table t (id integer primary key, w text)");
    EXPECT_EQ(command->ExecuteQuery(), nullptr);
    command->SetText(u"insert into t (w) values ('a'), ('b'), ('c')");
    EXPECT_EQ(command->ExecuteQuery(), nullptr);
    EXPECT_EQ(command->GetRowsAffected(), 3);
    command->SetText(u"update t set w = 'x' where id > 1");
    command->ExecuteUpdate();
    EXPECT_EQ(command->GetRowsAffected(), 2);

    command->SetText(u"select * from t");
    command->Prepare();
    const TDBXError twice = CatchDBXError([&] { command->Prepare(); });
    EXPECT_EQ(twice.ErrorCode(), 30);
    EXPECT_EQ(twice.Message(), u"Command can only be prepared once");
    EXPECT_EQ(command->GetParameters().GetCount(), 0);
    command->GetParameters().SetCount(0);

    // Only the first of two statements runs.
    command->SetText(u"delete from t where id = 1; delete from t");
    command->ExecuteUpdate();
    EXPECT_EQ(CountRows(*connection, u"t"), 2);

    // Blanks or a comment alone make no statement.
    command->SetText(u"  -- nothing");
    EXPECT_EQ(CatchDBXError([&] { command->ExecuteUpdate(); }).ErrorCode(), 30);

    const TDBXError syntax = CatchDBXError([&] {
        command->SetText(u"selec 1");
        command->ExecuteQuery();
    });
    EXPECT_EQ(syntax.ErrorCode(), 1);
    EXPECT_EQ(syntax.Message(), u"near \"selec\": syntax error");
}

// An unpaired surrogate in a literal must not take the character after it
// for its other half: the literal's closing apostrophe would go with it and
// the rest of the text would run as SQL. It reaches the library as U+FFFD.
TEST(SqliteCommand, UnpairedSurrogatesStayInsideTheirLiteral) {
    auto connection = Connect(u":memory:");
    Execute(*connection, u"create table t (w text)");
    Execute(*connection, u"insert into t values ('a'), ('b')");
    for (const char16_t surrogate : {char16_t(0xD800), char16_t(0xDBFF), char16_t(0xDC00), char16_t(0xDFFF)}) {
        SCOPED_TRACE(static_cast<int>(surrogate));
        const String lone(1, surrogate);
        // The apostrophe after the surrogate is doubled: one apostrophe inside the literal.
        EXPECT_EQ(CountRows(*connection, u"t where w = '" + lone + u"'' or 1=1 --'"), 0);
        auto command = connection->CreateCommand();
        command->SetText(u"select '" + lone + u"x', 'x" + lone + u"', '\U0001F600'");
        auto reader = command->ExecuteQuery();
        ASSERT_TRUE(reader->Next());
        EXPECT_EQ(reader->GetValue(0).GetWideString(), u"\uFFFDx");
        EXPECT_EQ(reader->GetValue(1).GetWideString(), u"x\uFFFD");
        EXPECT_EQ(reader->GetValue(2).GetWideString(), u"\U0001F600");  // a pair stays a pair
    }
}

TEST(SqliteCommand, NewTextIsPreparedAgainAndTheSameTextStaysPrepared) {
    auto connection = Connect(u":memory:");
    Execute(*connection, u"create table t (a integer)");
    auto log = Record(*connection);
    auto command = connection->CreateCommand();
    command->SetText(u"select a from t");
    command->ExecuteQuery().reset();
    command->ExecuteQuery().reset();
    EXPECT_EQ(std::count(log->begin(), log->end(), u"sqlite3_prepare16_v2"), 1);

    Execute(*connection, u"alter table t add column b text");
    log->clear();
    command->SetText(u"select a from t");  // the same text again: finalized and prepared anew
    EXPECT_TRUE(Contains(*log, u"sqlite3_finalize"));
    command->SetText(u"select * from t");
    auto reader = command->ExecuteQuery();
    EXPECT_EQ(reader->GetColumnCount(), 2);
    EXPECT_TRUE(Contains(*log, u"sqlite3_prepare16_v2"));
}

// A command notes what its statement reads while compiling it, as the
// connection finds by compiling the text alone; once the library has had to
// compile it again for a changed schema, the note tells nothing.
TEST(SqliteCommand, NotesWhatItsStatementReadsUntilTheSchemaChanges) {
    auto connection = Connect(u":memory:");
    Execute(*connection, u"create table t (a integer)");
    Execute(*connection, u"create table u (b integer)");
    const struct {
        String text;
        std::vector<String> tables;
        bool repeatable;
    } cases[] = {
        // clang-format off
        {u"select a from t where a in (select b from u) and abs(a) > 0", {u"t", u"u"}, true},
        {u"select a from t where random() > 0", {u"t"}, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(rtl::StringToUtf8(c.text));
        auto command = connection->CreateCommand();
        EXPECT_FALSE(command->GetStatementReads());  // nothing compiled yet
        command->SetText(c.text);
        command->Prepare();
        const std::optional<TDBXStatementReads> reads = command->GetStatementReads();
        ASSERT_TRUE(reads);
        EXPECT_EQ(reads->Tables, c.tables);
        EXPECT_EQ(reads->Repeatable, c.repeatable);
        EXPECT_EQ(reads, connection->GetStatementReads(c.text));
    }
    auto command = connection->CreateCommand();
    command->SetText(u"select a from t");
    command->ExecuteQuery().reset();
    EXPECT_TRUE(command->GetStatementReads());
    Execute(*connection, u"create index ta on t (a)");
    command->ExecuteQuery().reset();  // compiled again by the library
    EXPECT_FALSE(command->GetStatementReads());
}

// A first step keeps only the pages its statement's compile left in the
// library's cache: when another statement read the file in between, the step
// reads it afresh, and a file copied over in place (the same change counter,
// other rows) shows its own rows.
TEST(SqliteCommand, AFileCopiedOverBetweenThePrepareAndTheFirstStepIsReadAfresh) {
    TempDir dir;
    const auto make = [&](const std::string& Name, const String& Word) {
        auto db = Connect(dir.File(Name));
        Execute(*db, u"create table t (w TEXT)");
        Execute(*db, u"insert into t values ('" + Word + u"')");
    };
    make("a.db", u"old");
    make("b.db", u"new");
    auto connection = Connect(dir.File("a.db"));
    auto first = connection->CreateCommand();
    first->SetText(u"select w from t");
    first->Prepare();
    {
        auto other = connection->CreateCommand();
        other->SetText(u"select w from t where w <> ''");
        auto reader = other->ExecuteQuery();
        ASSERT_TRUE(reader->Next());
        EXPECT_EQ(reader->GetValue(0).GetAsString(), u"old");
    }
    std::ifstream in(dir.Path() / "b.db", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir.Path() / "a.db", std::ios::binary | std::ios::trunc) << bytes;  // as cp does
    auto reader = first->ExecuteQuery();
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValue(0).GetAsString(), u"new");
}

// Another connection's commit between the prepare and the first step is no
// change under the read: the read sees the new row and ends without error.
TEST(SqliteCommand, ACommitByAnotherConnectionBeforeTheFirstStepIsReadAsItIs) {
    TempDir dir;
    auto writer = Connect(dir.File("w.db"));
    Execute(*writer, u"create table t (w TEXT)");
    Execute(*writer, u"insert into t values ('a'), ('b')");
    auto connection = Connect(dir.File("w.db"));
    auto command = connection->CreateCommand();
    command->SetText(u"select w from t");
    command->Prepare();
    Execute(*writer, u"insert into t values ('c')");
    auto reader = command->ExecuteQuery();
    int rows = 0;
    while (reader->Next()) ++rows;
    EXPECT_EQ(rows, 3);
}

TEST(SqliteCommand, TheMorphicCommandKeepsItsDriverCommandUntilTheTypeChanges) {
    auto connection = Connect(u":memory:");
    auto owned = connection->CreateCommand();
    auto& command = dynamic_cast<TDBXMorphicCommand&>(*owned);
    EXPECT_EQ(command.GetCommandType(), u"Dbx.SQL");
    EXPECT_EQ(command.DriverCommand(), nullptr);
    command.SetText(u"select 1");
    command.Prepare();
    TDBXCommand* driverCommand = command.DriverCommand();
    EXPECT_NE(dynamic_cast<TDBXSqliteCommand*>(driverCommand), nullptr);
    command.SetCommandType(u"Dbx.SQL");
    EXPECT_EQ(command.DriverCommand(), driverCommand);
    command.SetCommandType(u"Dbx.MetaData");
    EXPECT_EQ(command.DriverCommand(), nullptr);
    command.SetText(u"GetDatabase");
    auto reader = command.ExecuteQuery();
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->GetColumnCount(), 17);
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValueByName(u"productname").GetWideString(), u"Sqlite");
    EXPECT_FALSE(reader->Next());
    command.SetCommandType(u"Dbx.SQL");
    command.SetText(u"select 2");
    reader = command.ExecuteQuery();
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValue(0).GetAsString(), u"2");
}

TEST(SqliteCommand, ClosingOrFreeingTheConnectionLeavesItsCommandsClosedForGood) {
    struct Case {
        const char* name;
        std::function<void(std::unique_ptr<TDBXConnection>&)> end;
        bool readerFreedFirst;
    };
    const Case cases[] = {
        {"closed",
         [](std::unique_ptr<TDBXConnection>& connection) {
             connection->Close();
             EXPECT_FALSE(connection->GetIsOpen());
         },
         false},
        {"freed", [](std::unique_ptr<TDBXConnection>& connection) { connection.reset(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto connection = Connect(u":memory:");
        auto command = connection->CreateCommand();
        command->SetText(u"select 1 union all select 2");
        auto reader = command->ExecuteQuery();
        ASSERT_TRUE(reader->Next());
        c.end(connection);
        EXPECT_FALSE(command->IsOpen());
        EXPECT_FALSE(reader->Next());  // ended with the command
        const TDBXError e = CatchDBXError([&] { command->ExecuteQuery(); });
        EXPECT_EQ(e.ErrorCode(), 30);
        EXPECT_EQ(e.Message(), u"Operation failed.  Connection was closed");
        // Everything left may still be freed in any order.
        if (c.readerFreedFirst) reader.reset();
        connection.reset();
        command.reset();
        reader.reset();
    }
}

TEST(SqliteCommand, AStepErrorLeavesTheCommandReadyToRunAgain) {
    auto connection = Connect(u":memory:");
    auto command = connection->CreateCommand();
    command->SetText(u"select abs(-9223372036854775808)");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TDBXError e = CatchDBXError([&] { command->ExecuteQuery(); });
        EXPECT_EQ(e.ErrorCode(), 1);
        EXPECT_EQ(e.Message(), u"integer overflow");
    }
    EXPECT_NO_THROW(command->Close());

    // An error on a later row ends nothing else: the command closes quietly
    // and runs again from the first row.
    command->SetText(u"select abs(v) from (select 1 as v union all select -9223372036854775808)");
    auto reader = command->ExecuteQuery();
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(CatchDBXError([&] { reader->Next(); }).Message(), u"integer overflow");
    EXPECT_NO_THROW(command->Close());
    reader = command->ExecuteQuery();
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValue(0).GetAsString(), u"1");
}

TEST(SqliteTransactions, SavepointsAreNumberedPerConnectionAndNeverReused) {
    auto connection = Connect(u":memory:");
    Execute(*connection, u"create table t (a integer)");
    auto log = Record(*connection);
    TDBXTransaction* outer = connection->BeginTransaction();
    TDBXTransaction* inner = connection->BeginTransaction(TDBXIsolations::Serializable);
    EXPECT_EQ(connection->TransactionCount(), 2);
    connection->CommitFreeAndNil(inner);
    EXPECT_EQ(inner, nullptr);
    EXPECT_TRUE(Contains(*log, u"SAVEPOINT TRANS1"));
    EXPECT_TRUE(Contains(*log, u"SAVEPOINT TRANS2"));
    EXPECT_TRUE(Contains(*log, u"RELEASE SAVEPOINT TRANS2"));
    connection->CommitFreeAndNil(outer);
    TDBXTransaction* third = connection->BeginTransaction();
    EXPECT_TRUE(Contains(*log, u"SAVEPOINT TRANS3"));
    EXPECT_EQ(static_cast<TDBXSqliteTransaction*>(third)->Id(), 3);
    connection->RollbackTransaction();
    EXPECT_EQ(connection->TransactionCount(), 0);
    // With none begun there is nothing to end.
    for (const auto& end : {std::function<void()>([&] { connection->CommitTransaction(); }),
                            std::function<void()>([&] { connection->RollbackTransaction(); })}) {
        const TDBXError none = CatchDBXError(end);
        EXPECT_EQ(none.ErrorCode(), 29);
        EXPECT_EQ(none.Message(), u"Invalid transaction Object");
    }

    TDBXTransaction* stale = third;  // already freed: not on the stack
    const TDBXError e = CatchDBXError([&] { connection->CommitFreeAndNil(stale); });
    EXPECT_EQ(e.ErrorCode(), 29);
    EXPECT_EQ(e.Message(), u"Invalid transaction Object");
    connection->RollbackIncompleteFreeAndNil(stale);
    EXPECT_EQ(stale, nullptr);
}

TEST(SqliteTransactions, RollbackUndoesChangesAndLaterChangesAreKept) {
    TempDir dir;
    const String file = dir.File("tx.db");
    {
        auto connection = Connect(file, u"False");
        Execute(*connection, u"create table t (a integer)");
        TDBXTransaction* outer = connection->BeginTransaction();
        Execute(*connection, u"insert into t values (1)");
        TDBXTransaction* inner = connection->BeginTransaction();
        Execute(*connection, u"insert into t values (2)");
        connection->RollbackFreeAndNil(outer);  // frees the inner one too
        EXPECT_EQ(connection->TransactionCount(), 0);
        (void)inner;
        Execute(*connection, u"insert into t values (3)");
        TDBXTransaction* open = connection->BeginTransaction();
        Execute(*connection, u"insert into t values (4)");
        (void)open;  // still open when the connection closes: rolled back
    }
    auto connection = Connect(file, u"True");
    auto command = connection->CreateCommand();
    command->SetText(u"select group_concat(a) from t");
    auto reader = command->ExecuteQuery();
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->GetValue(0).GetAsString(), u"3");
}
