#pragma once
// A connection to one SQLite database file, with transactions as numbered
// savepoints.

#include "sql/dbx_common.h"

struct sqlite3;

namespace sql {

struct TSqliteDatabaseCloser {
    void operator()(sqlite3* Database) const;
};

class TDBXSqliteConnection : public TDBXConnection {
public:
    explicit TDBXSqliteConnection(TDBXConnectionBuilder& Builder);
    ~TDBXSqliteConnection() override;

    String GetProductName() override { return u"Sqlite"; }
    // The library's version text.
    String GetProductVersion() override;
    // "ColumnMetaDataSupported" and "DriverDataTypes" (names matched exactly).
    String GetVendorProperty(StringView Name) override;
    // PRAGMA data_version for other connections' commits, the total of rows
    // changed for this one's.
    std::optional<TDBXDataVersion> GetDataVersion() override;

    sqlite3* ConnectionHandle() const { return FConnectionHandle.get(); }
    int TransactionId() const { return FTransactionId; }

protected:
    std::unique_ptr<TDBXTransaction> CreateAndBeginTransaction(int Isolation) override;
    void Commit(TDBXTransaction& Transaction) override;
    void Rollback(TDBXTransaction& Transaction) override;
    // Opens the "Database" file: strictly (must exist) when FailIfMissing is
    // "True" in any letter case, else creating it.
    void DerivedOpen() override;
    void DerivedGetCommandTypes(rtl::TStringList&) override {}
    void DerivedGetCommands(const String&, rtl::TStringList&) override {}
    void DerivedClose() override;

private:
    void RunStatement(const String& Text);

    std::unique_ptr<sqlite3, TSqliteDatabaseCloser> FConnectionHandle;
    int FTransactionId = 0;
};

// A begun savepoint, numbered per connection from 1.
class TDBXSqliteTransaction : public TDBXTransaction {
public:
    TDBXSqliteTransaction(TDBXSqliteConnection* Connection, int TransactionId)
        : TDBXTransaction(Connection), FId(TransactionId) {}
    int Id() const { return FId; }

private:
    int FId;
};

}  // namespace sql
