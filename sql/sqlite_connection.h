#pragma once
// A connection to one SQLite database file, with transactions as numbered
// savepoints.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sql/dbx_common.h"
#include "sql/sqlite_command.h"

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
    // ChangeCount and the total of rows this connection changed, then for
    // every database of the connection (main, temp, attached) the data
    // version its pager found when one statement began reading them all
    // (it moves with every commit to the file, this connection's own
    // included, which the first two readings see anyway), and how often that
    // statement had to be compiled again for a changed schema.
    std::optional<TDBXDataVersion> GetDataVersion() override;
    // Compiles Text with an authorizer that notes each table read and each
    // function called; only functions known to depend on their arguments
    // alone keep the statement repeatable.
    std::optional<TDBXStatementReads> GetStatementReads(const String& Text) override;
    // Compiles Text for a command as sqlite3_prepare16_v2 does, noting in
    // Reads what it reads as GetStatementReads does; a statement that
    // changes settings is counted in ChangeCount as any other.
    int PrepareNotingReads(const String& Text, sqlite3_stmt** Statement, TDBXStatementReads& Reads);

    sqlite3* ConnectionHandle() const { return FConnectionHandle.get(); }
    int TransactionId() const { return FTransactionId; }

    // Statements compiled or run on this connection that may change what a
    // read gives without changing a row: a PRAGMA that sets a value, ATTACH,
    // DDL, transactions. Counted by an authorizer, so statements run on the
    // handle directly count as well; NoteChange counts one more run of such
    // a statement prepared earlier.
    std::int64_t ChangeCount() const { return FChangeCount; }
    void NoteChange() { ++FChangeCount; }

    // Before a statement is compiled or starts reading, with no other
    // statement of the connection open: the library's cached pages are
    // dropped, and when the database file is no longer the one last seen
    // (another size or modification time: rewritten in place, say) its
    // schema is read again. SQLite itself keeps the pages whenever the file's
    // change counter matches, which a file made anew the same way as the old
    // one can, or after a read came back short, and compiles statements
    // against the schema it read last.
    void ForgetPagesOfAChangedFile();
    // The same, but only when the file is no longer the one last seen: for a
    // statement about to start reading that was compiled just before, with
    // the pages dropped then and none read since. Another connection may have
    // written the file in between, which the read must not take for a change
    // under it.
    void ForgetPagesIfTheFileChanged();
    // The pages this connection's statements have asked the library's cache
    // for so far: unchanged between two moments, no statement read anything
    // in between.
    std::int64_t PagesRequested() const;
    // When a statement has read to its end: fails with "database file
    // changed while it was read" when, since ForgetPagesOfAChangedFile last
    // looked, something other than this connection changed the file under a
    // rollback journal's read lock (a copy over it, a truncation), so that
    // the rows may mix two files. In WAL mode SQLite's own checkpoints
    // rewrite the file and readers keep their snapshot; nothing is checked.
    void CheckFileUnchanged();

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

    static int Authorize(void* Self, int Action, const char* Name1, const char* Name2, const char* Database,
                         const char* Trigger);
    // Compiles VersionStatement anew for the databases now attached.
    bool PrepareVersionStatement();

    std::unique_ptr<sqlite3, TSqliteDatabaseCloser> FConnectionHandle;
    int FTransactionId = 0;
    std::int64_t FChangeCount = 0;
    TDBXStatementReads* FReads = nullptr;  // being filled while a statement compiles
    bool FCompilingOnly = false;           // the statement compiled will not run
    struct TFileIdentity {
        long long Size = -1;  // -1: the file could not be read
        long long ModifiedNs = 0;
        bool operator==(const TFileIdentity&) const = default;
    };
    std::optional<TFileIdentity> FFileSeen;
    // sqlite3_total_changes64 and FChangeCount when FFileSeen was read.
    std::pair<std::int64_t, std::int64_t> FOwnChangesSeen;
    TFileIdentity FileIdentity() const;
    // The statement GetDataVersion runs, the databases it reads (in the
    // order of PRAGMA database_list) and ChangeCount when it was compiled:
    // an ATTACH or DETACH since then counts as a change, and it is compiled
    // again. Declared after the handle, so it is finalized first.
    std::unique_ptr<sqlite3_stmt, TSqliteStatementFinalizer> FVersionStatement;
    std::vector<std::string> FVersionDatabases;
    std::int64_t FVersionChangeCount = 0;
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
