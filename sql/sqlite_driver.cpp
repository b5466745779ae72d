#include "sql/sqlite_driver.h"

#include <sqlite3.h>

#include "sql/driver_registry.h"
#include "sql/sqlite_command.h"
#include "sql/sqlite_connection.h"
#include "sql/sqlite_metadata.h"

namespace sql {

namespace {

constexpr char16_t SqliteDriverName[] = u"Sqlite";

}  // namespace

String LastErrorMessage(sqlite3* Database, int ResultCode) {
    const auto* message = static_cast<const char16_t*>(sqlite3_errmsg16(Database));
    if (message && *message) return String(message);
    return rtl::Utf8ToString(sqlite3_errstr(ResultCode));
}

void CheckError(int ResultCode, sqlite3* Database, TDBXContext* Context) {
    if (ResultCode == SQLITE_OK || ResultCode == SQLITE_ROW || ResultCode == SQLITE_DONE) return;
    const String message = LastErrorMessage(Database, ResultCode);
    if (Context) Context->Error(ResultCode, message);
    TDBXContext fresh;
    fresh.Error(ResultCode, message);
}

void InitializeSqliteLibrary() {
    if (sqlite3_initialize() != SQLITE_OK) throw TDBXError(TDBXErrorCodes::DriverInitFailed, u"sqlite3.dll not found");
}

TDBXSqliteProperties::TDBXSqliteProperties(TDBXContextPtr Context) : TDBXProperties(std::move(Context)) {
    SetValue(TDBXPropertyNames::DriverUnit, u"Data.DbxSqlite");
    SetValue(TDBXPropertyNames::DriverPackageLoader, u"TDBXSqliteDriverLoader,libkalimdar_sql.a");
    SetValue(TDBXPropertyNames::MetaDataPackageLoader, u"TDBXSqliteMetaDataCommandFactory,libkalimdar_sql.a");
    SetValue(TDBXPropertyNames::FailIfMissing, u"True");
    SetValue(TDBXPropertyNames::Database, u"");
}

TDBXSqliteDriver::TDBXSqliteDriver(const TDBXDriverDef& DriverDef) : TDBXDriver(DriverDef) {
    auto defaults = std::make_unique<TDBXSqliteProperties>(DriverDef.FDBXContext);
    if (TDBXProperties* given = DriverDef.FDriverProperties) {
        rtl::TStringList& own = defaults->Properties();
        const rtl::TStringList& lines = given->GetProperties();
        for (int i = 0; i < lines.Count(); ++i) {
            const int index = own.IndexOfName(lines.Names(i));
            if (index >= 0) own.SetString(index, lines.Strings(i));
        }
        for (int i = 0; i < lines.Count(); ++i)
            if (own.IndexOfName(lines.Names(i)) < 0) own.Add(lines.Strings(i));
        for (int i = 0; i < own.Count(); ++i)
            if (lines.IndexOfName(own.Names(i)) < 0) given->Properties().Add(own.Strings(i));
    }
    AddCommandFactory(String(), &TDBXSqliteDriver::CreateSqliteCommand);
    InitDriverProperties(std::move(defaults));
    if (!FDriverProperties->GetBoolean(TDBXPropertyNames::AutoUnloadDriver)) CacheUntilFinalization();
}

std::unique_ptr<TDBXDriver> TDBXSqliteDriver::Create(const TDBXDriverDef& DriverDef) {
    return std::make_unique<TDBXSqliteDriver>(DriverDef);
}

std::unique_ptr<TDBXConnection> TDBXSqliteDriver::CreateConnection(TDBXConnectionBuilder& Builder) {
    return std::make_unique<TDBXSqliteConnection>(Builder);
}

void TDBXSqliteDriver::GetDriverPropertyNames(rtl::TStringList& List) {
    List.Add(TDBXPropertyNames::DriverUnit);
    List.Add(TDBXPropertyNames::DriverPackageLoader);
    List.Add(TDBXPropertyNames::MetaDataPackageLoader);
}

std::unique_ptr<TDBXCommand> TDBXSqliteDriver::CreateSqliteCommand(const TDBXContextPtr& Context,
                                                                   TDBXConnection& Connection, TDBXMorphicCommand&) {
    auto* sqlite = dynamic_cast<TDBXSqliteConnection*>(&Connection);
    if (!sqlite) RaiseDBXError(Context.get(), TDBXErrorCodes::InvalidArgument, u"");
    return std::make_unique<TDBXSqliteCommand>(Context, *sqlite);
}

namespace {

// The driver's start-up and end: registers "Sqlite" and its metadata command
// factory before main runs, and unloads the driver when the process ends.
struct TSqliteDriverUnit {
    TSqliteDriverUnit() {
        TDBXDriverRegistry::RegisterDriverClass(SqliteDriverName, &TDBXSqliteDriver::Create);
        TDBXMetaDataCommandFactory::RegisterMetaDataCommandFactory(u"TDBXSqliteMetaDataCommandFactory",
                                                                   &TDBXSqliteMetaDataCommandFactory::Create);
    }
    ~TSqliteDriverUnit() { TDBXDriverRegistry::UnloadDriver(SqliteDriverName); }
};

const TSqliteDriverUnit SqliteDriverUnit;

}  // namespace

}  // namespace sql

// Referenced from the link line so that the start-up registration above is
// linked into every program that uses the library.
extern "C" {
extern const int kalimdar_sql_sqlite_unit;
const int kalimdar_sql_sqlite_unit = 1;
}
