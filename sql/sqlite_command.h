#pragma once
// A SQLite statement: prepared from UTF-16 text when opened, stepped once and
// reset by each execution, finalized when closed or given new text.

#include "sql/dbx_common.h"

struct sqlite3_stmt;

namespace sql {

class TDBXSqliteConnection;
class TDBXSqliteRow;

struct TSqliteStatementFinalizer {
    void operator()(sqlite3_stmt* Statement) const;
};

class TDBXSqliteCommand : public TDBXCommand {
public:
    TDBXSqliteCommand(TDBXContextPtr Context, TDBXSqliteConnection& Connection);
    ~TDBXSqliteCommand() override;

    // Closes first, so the next open prepares the new text.
    void SetText(const String& Value) override;
    void SetRowSetSize(std::int64_t) override {}
    void SetMaxBlobSize(std::int64_t) override {}
    std::int64_t GetRowsAffected() override { return FRowsAffected; }
    std::unique_ptr<TDBXRow> CreateParameterRow() override;

    sqlite3_stmt* StatementHandle() const { return FStatementHandle.get(); }

protected:
    std::unique_ptr<TDBXReader> DerivedGetNextReader() override { return nullptr; }
    void DerivedOpen() override;
    void DerivedClose() override;
    void DerivedPrepare() override {}
    std::unique_ptr<TDBXReader> DerivedExecuteQuery() override;
    void DerivedExecuteUpdate() override;

private:
    void Trace(StringView Message) const;
    // Steps the statement once: SQLITE_ROW or SQLITE_DONE. A failed step
    // resets the statement, so the command can run again, and raises the
    // step's error.
    int Step();
    // Resets the statement to run again from its start.
    void Reset();

    int FRowsAffected = 0;
    // The statement may change what reads give without changing a row (a
    // PRAGMA that sets a value, DDL, ATTACH): each run counts as a change.
    bool FChangesSettings = false;
    TDBXSqliteRow* FParameterRow = nullptr;  // owned by the parameter list
    TDBXSqliteConnection& FSqliteConnection;
    std::unique_ptr<sqlite3_stmt, TSqliteStatementFinalizer> FStatementHandle;
};

}  // namespace sql
