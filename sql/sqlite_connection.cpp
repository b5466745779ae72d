#include "sql/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rtl/format.h"
#include "sql/connection_factory.h"
#include "sql/sqlite_command.h"
#include "sql/sqlite_driver.h"

namespace sql {

void TSqliteDatabaseCloser::operator()(sqlite3* Database) const { sqlite3_close_v2(Database); }

TDBXSqliteConnection::TDBXSqliteConnection(TDBXConnectionBuilder& Builder) : TDBXConnection(Builder) {}

TDBXSqliteConnection::~TDBXSqliteConnection() { CloseOnFree(); }

namespace {

// SQLite's functions whose result depends on their arguments alone. Any
// other (random(), date('now'), current_timestamp, changes(), a function the
// application defined) makes a statement's result a matter of the moment.
bool IsRepeatableFunction(const char* Name) {
    static constexpr std::string_view Names[] = {
        // clang-format off
        "abs",     "avg",     "char",   "coalesce", "concat",     "concat_ws", "count",  "format",
        "glob",    "group_concat",      "hex",      "iif",        "ifnull",    "instr",  "length",
        "like",    "likelihood",        "likely",   "lower",      "ltrim",     "max",    "min",
        "nullif",  "octet_length",      "printf",   "quote",      "replace",   "round",  "rtrim",
        "sign",    "string_agg",        "substr",   "substring",  "sum",       "total",  "trim",
        "typeof",  "unhex",   "unicode", "unlikely", "upper",     "zeroblob"};
    // clang-format on
    const std::string_view name(Name);
    for (std::string_view n : Names) {
        if (n.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < n.size() && same; ++i)
            same = n[i] == (name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i]);
        if (same) return true;
    }
    return false;
}

// Runs Sql and hands each row to OnRow; false when it does not compile or
// fails to run to its end.
template <typename OnRow>
bool ForEachRow(sqlite3* Database, const std::string& Sql, OnRow&& Row) {
    sqlite3_stmt* prepared = nullptr;
    const int result = sqlite3_prepare_v2(Database, Sql.c_str(), -1, &prepared, nullptr);
    const std::unique_ptr<sqlite3_stmt, TSqliteStatementFinalizer> statement(prepared);
    if (result != SQLITE_OK || !prepared) return false;
    int step;
    while ((step = sqlite3_step(prepared)) == SQLITE_ROW) Row(prepared);
    return step == SQLITE_DONE;
}

}  // namespace

int TDBXSqliteConnection::Authorize(void* Self, int Action, const char* Name1, const char* Name2, const char*,
                                    const char*) {
    auto& self = *static_cast<TDBXSqliteConnection*>(Self);
    // A PRAGMA without a value only reads a setting.
    const bool reads = Action == SQLITE_SELECT || Action == SQLITE_READ || Action == SQLITE_FUNCTION ||
                       Action == SQLITE_RECURSIVE || (Action == SQLITE_PRAGMA && !Name2);
    if (TDBXStatementReads* r = self.FReads) {
        if (Action == SQLITE_READ) {
            // Called from the library's C code, which no exception may cross.
            try {
                if (Name1) r->Tables.push_back(rtl::Utf8ToString(Name1));
            } catch (...) {
                r->Repeatable = false;
            }
        } else if (Action == SQLITE_FUNCTION) {
            if (!Name2 || !IsRepeatableFunction(Name2)) r->Repeatable = false;
        } else if (Action != SQLITE_SELECT && Action != SQLITE_RECURSIVE) {
            r->Repeatable = false;
        }
    }
    if (!reads && !self.FCompilingOnly) ++self.FChangeCount;
    return SQLITE_OK;
}

bool TDBXSqliteConnection::PrepareVersionStatement() {
    sqlite3* db = FConnectionHandle.get();
    FVersionStatement.reset();
    FVersionDatabases.clear();
    FVersionChangeCount = FChangeCount;
    if (!ForEachRow(db, "PRAGMA database_list", [&](sqlite3_stmt* row) {
            const unsigned char* name = sqlite3_column_text(row, 1);
            FVersionDatabases.emplace_back(name ? reinterpret_cast<const char*>(name) : "");
        }))
        return false;
    // Naming each database's schema table makes the statement begin a read
    // of every database when it runs; WHERE 0 then ends it without reading
    // a row.
    std::string sql = "SELECT 1 FROM ";
    for (std::size_t i = 0; i < FVersionDatabases.size(); ++i) {
        if (i > 0) sql += ", ";
        sql += '"';
        for (char c : FVersionDatabases[i]) sql += c == '"' ? std::string("\"\"") : std::string(1, c);
        sql += "\".sqlite_master";
    }
    sql += " WHERE 0";
    sqlite3_stmt* prepared = nullptr;
    const int result = sqlite3_prepare_v2(db, sql.c_str(), -1, &prepared, nullptr);
    FVersionStatement.reset(prepared);
    if (result == SQLITE_OK && prepared) return true;
    FVersionStatement.reset();
    return false;
}

std::optional<TDBXDataVersion> TDBXSqliteConnection::GetDataVersion() {
    sqlite3* db = FConnectionHandle.get();
    if (!db) return std::nullopt;
    if ((!FVersionStatement || FVersionChangeCount != FChangeCount) && !PrepareVersionStatement()) return std::nullopt;
    TDBXDataVersion version;
    version.Readings = {FChangeCount, sqlite3_total_changes64(db)};
    sqlite3_stmt* statement = FVersionStatement.get();
    const int step = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (step != SQLITE_DONE) {
        FVersionStatement.reset();  // compiled again on the next call
        return std::nullopt;
    }
    // Each pager's data version as the statement's read of it began; a
    // database without a file yet (temp before its first table) has none.
    for (const std::string& name : FVersionDatabases) {
        unsigned int dataVersion = 0;
        const bool known = sqlite3_file_control(db, name.c_str(), SQLITE_FCNTL_DATA_VERSION, &dataVersion) == SQLITE_OK;
        version.Readings.push_back(known ? static_cast<std::int64_t>(dataVersion) : -1);
    }
    // A schema changed under the statement makes the library compile it again.
    version.Readings.push_back(sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_REPREPARE, 0));
    return version;
}

int TDBXSqliteConnection::PrepareNotingReads(const String& Text, sqlite3_stmt** Statement, TDBXStatementReads& Reads) {
    FReads = &Reads;
    const void* tail = nullptr;
    const int result = sqlite3_prepare16_v2(FConnectionHandle.get(), Text.c_str(), static_cast<int>(Text.size() * 2),
                                            Statement, &tail);
    FReads = nullptr;
    if (result == SQLITE_OK && *Statement) {
        if (!sqlite3_stmt_readonly(*Statement)) Reads.Repeatable = false;
        std::sort(Reads.Tables.begin(), Reads.Tables.end());
        Reads.Tables.erase(std::unique(Reads.Tables.begin(), Reads.Tables.end()), Reads.Tables.end());
    }
    return result;
}

std::optional<TDBXStatementReads> TDBXSqliteConnection::GetStatementReads(const String& Text) {
    if (!FConnectionHandle) return std::nullopt;
    TDBXStatementReads reads;
    sqlite3_stmt* prepared = nullptr;
    FCompilingOnly = true;
    // Compiled as a command would compile it.
    const int result = PrepareNotingReads(SqliteStatementText(Text), &prepared, reads);
    FCompilingOnly = false;
    const std::unique_ptr<sqlite3_stmt, TSqliteStatementFinalizer> statement(prepared);
    if (result != SQLITE_OK || !prepared) return std::nullopt;
    return reads;
}

std::int64_t TDBXSqliteConnection::PagesRequested() const {
    std::int64_t total = 0;
    for (int counter : {SQLITE_DBSTATUS_CACHE_HIT, SQLITE_DBSTATUS_CACHE_MISS, SQLITE_DBSTATUS_CACHE_WRITE}) {
        int current = 0, highest = 0;
        if (sqlite3_db_status(FConnectionHandle.get(), counter, &current, &highest, 0) == SQLITE_OK) total += current;
    }
    return total;
}

TDBXSqliteConnection::TFileIdentity TDBXSqliteConnection::FileIdentity() const {
    TFileIdentity identity;
    const char* path = sqlite3_db_filename(FConnectionHandle.get(), "main");
    if (!path || !*path) return identity;  // a database in memory
    std::error_code error;
    const std::filesystem::path file(reinterpret_cast<const char8_t*>(path));
    const auto size = std::filesystem::file_size(file, error);
    if (error) return identity;
    const auto modified = std::filesystem::last_write_time(file, error);
    if (error) return identity;
    identity.Size = static_cast<long long>(size);
    identity.ModifiedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
    return identity;
}

void TDBXSqliteConnection::ForgetPagesOfAChangedFile() {
    sqlite3* db = FConnectionHandle.get();
    if (!db) return;
    // A statement still reading holds the pages it stands on, and SQLite
    // reads no other version of the file until it ends.
    for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s))
        if (sqlite3_stmt_busy(s)) return;
    // Every statement that starts alone reads the file afresh (from the
    // system's cache): a page SQLite kept may be of a file since rewritten
    // in place, or made of zeros where a read once came back short. A scan
    // of a big table never found its pages kept anyway; the few an index
    // search reads cost microseconds.
    sqlite3_db_release_memory(db);
    const TFileIdentity now = FileIdentity();
    if (FFileSeen && *FFileSeen != now) {
        // The schema read from the file before stays, and a statement is
        // compiled against it without looking at the file: one that names a
        // table of the new file would fail with "no such table". Running a
        // read compares the file's schema cookie with the one the schema was
        // read with and reads the schema again when they differ.
        ForEachRow(db, "SELECT 1 FROM main.sqlite_master LIMIT 1", [](sqlite3_stmt*) {});
    }
    FFileSeen = now;
    FOwnChangesSeen = {sqlite3_total_changes64(db), FChangeCount};
}

void TDBXSqliteConnection::ForgetPagesIfTheFileChanged() {
    if (!FFileSeen || *FFileSeen != FileIdentity()) ForgetPagesOfAChangedFile();
}

void TDBXSqliteConnection::CheckFileUnchanged() {
    sqlite3* db = FConnectionHandle.get();
    if (!db || !FFileSeen || *FFileSeen == FileIdentity()) return;
    // This connection may have written it.
    if (std::pair<std::int64_t, std::int64_t>(sqlite3_total_changes64(db), FChangeCount) != FOwnChangesSeen) return;
    bool wal = false;
    ForEachRow(db, "PRAGMA main.journal_mode", [&](sqlite3_stmt* row) {
        const unsigned char* mode = sqlite3_column_text(row, 0);
        wal = mode && std::string_view(reinterpret_cast<const char*>(mode)) == "wal";
    });
    if (wal) return;
    DBXContext()->Error(SQLITE_IOERR, u"database file changed while it was read");
}

void TDBXSqliteConnection::DerivedOpen() {
    InitializeSqliteLibrary();
    TDBXProperties& properties = GetConnectionProperties();
    if (properties.GetValue(TDBXPropertyNames::ColumnMetaDataSupported).empty())
        properties.SetValue(TDBXPropertyNames::ColumnMetaDataSupported, u"True");
    const String database = properties.GetValue(TDBXPropertyNames::Database);
    const bool failIfMissing = rtl::SameText(properties.GetValue(TDBXPropertyNames::FailIfMissing), u"True");
    FVersionStatement.reset();
    FConnectionHandle.reset();
    sqlite3* handle = nullptr;
    int result;
    if (failIfMissing) {
        DBXContext()->Trace(TDBXTraceFlags::Vendor, u"sqlite3_open_v2");
        result = sqlite3_open_v2(rtl::StringToUtf8(database).c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    } else {
        DBXContext()->Trace(TDBXTraceFlags::Vendor, u"sqlite3_open16");
        result = sqlite3_open16(database.c_str(), &handle);
    }
    // Kept even when the open failed: the library wants it closed.
    FConnectionHandle.reset(handle);
    CheckError(result, handle, DBXContext().get());
    // Reads go through the library's page cache, never through a memory map
    // of the file: a file that shrinks or a medium that fails under a map
    // ends the process with SIGBUS, where a read reports an error. The
    // setting is made explicit because the library's default can be changed
    // for the whole process; if it fails, that default (none) stays.
    DBXContext()->Trace(TDBXTraceFlags::Vendor, u"sqlite3_exec");
    sqlite3_exec(handle, "PRAGMA mmap_size = 0", nullptr, nullptr, nullptr);
    sqlite3_set_authorizer(handle, &TDBXSqliteConnection::Authorize, this);
    FFileSeen.reset();
}

void TDBXSqliteConnection::DerivedClose() {
    if (!FConnectionHandle) return;
    FVersionStatement.reset();
    DBXContext()->Trace(TDBXTraceFlags::Vendor, u"sqlite3_close");
    const int result = sqlite3_close(FConnectionHandle.get());
    if (result == SQLITE_OK) {
        (void)FConnectionHandle.release();
        return;
    }
    CheckError(result, FConnectionHandle.get(), DBXContext().get());
}

String TDBXSqliteConnection::GetProductVersion() {
    InitializeSqliteLibrary();
    return rtl::Utf8ToString(sqlite3_libversion());
}

String TDBXSqliteConnection::GetVendorProperty(StringView Name) {
    if (Name == u"ColumnMetaDataSupported")
        return GetConnectionProperties().GetValue(TDBXPropertyNames::ColumnMetaDataSupported);
    if (Name == u"DriverDataTypes") return u"{18,0},{7,0},{3,23},{3,32}";
    return String();
}

void TDBXSqliteConnection::RunStatement(const String& Text) {
    std::unique_ptr<TDBXCommand> command = CreateCommand();
    command->SetText(Text);
    command->SetCommandType(TDBXCommandTypes::DbxSQL);
    DBXContext()->Trace(TDBXTraceFlags::Transact, Text);
    command->ExecuteUpdate();
}

std::unique_ptr<TDBXTransaction> TDBXSqliteConnection::CreateAndBeginTransaction(int) {
    ++FTransactionId;
    RunStatement(u"SAVEPOINT TRANS" + rtl::IntToStr(FTransactionId));
    return std::make_unique<TDBXSqliteTransaction>(this, FTransactionId);
}

void TDBXSqliteConnection::Commit(TDBXTransaction& Transaction) {
    RunStatement(u"RELEASE SAVEPOINT TRANS" + rtl::IntToStr(static_cast<TDBXSqliteTransaction&>(Transaction).Id()));
}

void TDBXSqliteConnection::Rollback(TDBXTransaction& Transaction) {
    const String id = rtl::IntToStr(static_cast<TDBXSqliteTransaction&>(Transaction).Id());
    RunStatement(u"ROLLBACK TO TRANS" + id);
    // Rolling back to a savepoint keeps it open (and with the outermost one,
    // the whole transaction); release it so later changes are not held back.
    RunStatement(u"RELEASE SAVEPOINT TRANS" + id);
}

}  // namespace sql
