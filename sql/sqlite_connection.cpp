#include "sql/sqlite_connection.h"

#include <sqlite3.h>

#include "rtl/format.h"
#include "sql/connection_factory.h"
#include "sql/sqlite_command.h"
#include "sql/sqlite_driver.h"

namespace sql {

void TSqliteDatabaseCloser::operator()(sqlite3* Database) const { sqlite3_close_v2(Database); }

TDBXSqliteConnection::TDBXSqliteConnection(TDBXConnectionBuilder& Builder) : TDBXConnection(Builder) {}

TDBXSqliteConnection::~TDBXSqliteConnection() { CloseOnFree(); }

std::optional<TDBXDataVersion> TDBXSqliteConnection::GetDataVersion() {
    sqlite3* db = FConnectionHandle.get();
    if (!db) return std::nullopt;
    sqlite3_stmt* prepared = nullptr;
    const int result = sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &prepared, nullptr);
    const std::unique_ptr<sqlite3_stmt, TSqliteStatementFinalizer> statement(prepared);
    if (result != SQLITE_OK || sqlite3_step(statement.get()) != SQLITE_ROW) return std::nullopt;
    return TDBXDataVersion{sqlite3_column_int64(statement.get(), 0), sqlite3_total_changes64(db)};
}

void TDBXSqliteConnection::DerivedOpen() {
    InitializeSqliteLibrary();
    TDBXProperties& properties = GetConnectionProperties();
    if (properties.GetValue(TDBXPropertyNames::ColumnMetaDataSupported).empty())
        properties.SetValue(TDBXPropertyNames::ColumnMetaDataSupported, u"True");
    const String database = properties.GetValue(TDBXPropertyNames::Database);
    const bool failIfMissing = rtl::SameText(properties.GetValue(TDBXPropertyNames::FailIfMissing), u"True");
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
    // Reads go through a memory map of the file instead of copies into the
    // page cache: a scan of the whole table, as a search and its count make,
    // then costs about two thirds. The setting lasts for this connection
    // only. A map is not anonymous memory, so it adds nothing to the
    // program's own. Where the library cannot map the file, reads go through
    // the page cache as before.
    DBXContext()->Trace(TDBXTraceFlags::Vendor, u"sqlite3_exec");
    if (sqlite3_exec(handle, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr) != SQLITE_OK)
        DBXContext()->Trace(TDBXTraceFlags::Vendor, u"memory map refused");
}

void TDBXSqliteConnection::DerivedClose() {
    if (!FConnectionHandle) return;
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
