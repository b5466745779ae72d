#pragma once
// The SQLite driver, registered as "Sqlite": its default properties, the
// driver object, and CheckError, through which every library result passes.

#include "sql/dbx_common.h"

struct sqlite3;

namespace sql {

// The driver's default properties: DriverUnit, the two loaders and
// FailIfMissing=True (no Database line).
class TDBXSqliteProperties : public TDBXProperties {
public:
    explicit TDBXSqliteProperties(TDBXContextPtr Context);
};

class TDBXSqliteDriver : public TDBXDriver {
public:
    // Merges the definition's properties with the defaults (both ways) and
    // keeps the driver loaded between connections unless AutoUnloadDriver.
    explicit TDBXSqliteDriver(const TDBXDriverDef& DriverDef);
    static std::unique_ptr<TDBXDriver> Create(const TDBXDriverDef& DriverDef);

    std::unique_ptr<TDBXConnection> CreateConnection(TDBXConnectionBuilder& Builder) override;
    void Close() override {}
    void GetDriverPropertyNames(rtl::TStringList& List) override;
    String GetDriverVersion() override { return u"4.0"; }

    // The command factory serving every command type without one of its own.
    static std::unique_ptr<TDBXCommand> CreateSqliteCommand(const TDBXContextPtr& Context, TDBXConnection& Connection,
                                                            TDBXMorphicCommand& MorphicCommand);
};

// Result codes 0, 100 and 101 pass; any other raises TDBXError with that code
// and the library's message for Database, through Context when given.
void CheckError(int ResultCode, sqlite3* Database, TDBXContext* Context);

// The library's message for the last failed call on Database; where it has
// none (it cannot make one once memory has run out), its text for ResultCode.
String LastErrorMessage(sqlite3* Database, int ResultCode);

// Calls sqlite3_initialize; a failure raises code 22 "sqlite3.dll not found".
void InitializeSqliteLibrary();

}  // namespace sql
