#pragma once
// A SQLite statement: prepared from UTF-16 text when opened, stepped once and
// reset by each execution, finalized when closed or given new text.

#include <optional>
#include <vector>

#include "sql/dbx_common.h"

struct sqlite3_stmt;

namespace sql {

class TDBXSqliteConnection;
class TDBXSqliteRow;

struct TSqliteStatementFinalizer {
    void operator()(sqlite3_stmt* Statement) const;
};

// Text as it goes to the library: SQLite reads a UTF-16 surrogate as the
// first half of a pair whatever follows it, so an unpaired one would swallow
// the next character (the apostrophe that ends a literal, say); it goes as
// U+FFFD, the replacement character, instead.
String SqliteStatementText(StringView Text);

// The column descriptions a reader made from a statement's first row, with
// what they were made from: they serve the next execution of the same
// compiled statement whose first row has the same storage classes.
struct TSqliteColumnsDescribed {
    int Compilations = -1;            // the statement's recompilations then
    bool TableMetaData = false;       // described from the table metadata
    std::vector<int> StorageClasses;  // of the first row; empty without one
    std::vector<std::unique_ptr<TDBXValueType>> Descriptions;
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
    // What the statement reads, noted while it was compiled for this
    // command; nothing once the library has had to compile it again (a
    // changed schema) or while none is prepared.
    std::optional<TDBXStatementReads> GetStatementReads() const override;

protected:
    std::unique_ptr<TDBXReader> DerivedGetNextReader() override { return nullptr; }
    void DerivedOpen() override;
    void DerivedClose() override;
    void DerivedPrepare() override {}
    std::unique_ptr<TDBXReader> DerivedExecuteQuery() override;
    void DerivedExecuteUpdate() override;

private:
    void Trace(StringView Message) const;
    template <std::size_t N>
    void Trace(const char16_t (&Message)[N]) const {
        FDBXContext->Trace(TDBXTraceFlags::Vendor, Message);
    }
    // Steps the statement once: SQLITE_ROW or SQLITE_DONE. A failed step
    // resets the statement, so the command can run again, and raises the
    // step's error.
    int Step();
    // Resets the statement to run again from its start.
    void Reset();

    int FRowsAffected = 0;
    TDBXStatementReads FReads;
    // The connection's PagesRequested right after the statement compiled,
    // until its first step: when still the same, nothing has read a page
    // since the compile forgot the cached ones, and the step need not again.
    std::optional<std::int64_t> FPagesRequestedAtPrepare;
    TSqliteColumnsDescribed FColumnsDescribed;
    // The statement may change what reads give without changing a row (a
    // PRAGMA that sets a value, DDL, ATTACH): each run counts as a change.
    bool FChangesSettings = false;
    TDBXSqliteRow* FParameterRow = nullptr;  // owned by the parameter list
    TDBXSqliteConnection& FSqliteConnection;
    std::unique_ptr<sqlite3_stmt, TSqliteStatementFinalizer> FStatementHandle;
};

}  // namespace sql
