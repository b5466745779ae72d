#pragma once
// TSQLConnection: the component through which SQL datasets reach a database.
// It turns its name=value parameters into driver properties, gets an open
// driver connection from the connection factory, and reads the facts of the
// database's metadata that the datasets use.

#include <functional>
#include <memory>

#include "data/connection.h"
#include "rtl/set.h"
#include "rtl/string_list.h"
#include "sql/sql_tokenizer.h"

namespace sql {

class TDBXConnection;
class TDBXConnectionFactory;
class TDBXDatabaseMetaData;
class TDBXProperties;
class TCustomSQLDataSet;
struct TDBXTraceInfo;

// clang-format off
enum TConnectionState {
    csStateClosed, csStateOpen, csStateConnecting, csStateExecuting, csStateFetching, csStateDisconnecting
};
// clang-format on

enum TConnectionAction { eConnect, eReconnect, eDisconnect };

// The kinds of objects a schema listing of tables gives.
enum TTableScope { tsSynonym, tsSysTable, tsTable, tsView };
using TTableScopes = rtl::Set<TTableScope>;

class TSQLConnection : public data::TCustomConnection {
public:
    explicit TSQLConnection(rtl::TComponent* AOwner);
    // Closes the client datasets (freeing their commands) and the connection.
    ~TSQLConnection() override;

    rtl::TStringList& Params() { return FParams; }
    // Replaces the parameters; refused while connected.
    void SetParams(const rtl::TStringList& Value);
    const String& DriverName() const { return FDriverName; }
    void SetDriverName(const String& Value);
    const String& ConnectionName() const { return FConnectionName; }
    void SetConnectionName(const String& Value);
    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool Value) { FLoginPrompt = Value; }
    bool KeepConnection() const { return FKeepConnection; }
    void SetKeepConnection(bool Value);
    bool LoadParamsOnConnect() const { return FLoadParamsOnConnect; }
    void SetLoadParamsOnConnect(bool Value) { FLoadParamsOnConnect = Value; }
    bool SQLHourGlass() const { return FSQLHourGlass; }
    void SetSQLHourGlass(bool Value) { FSQLHourGlass = Value; }
    TConnectionState ConnectionState() const { return FConnectionState; }
    // Whether a dataset may get a second driver connection of its own when
    // the driver's statement limit is reached (SQLite has none).
    bool AutoClone() const { return FAutoClone; }
    void SetAutoClone(bool Value) { FAutoClone = Value; }
    // What schema listings of tables give; this program lists none.
    TTableScopes TableScope() const { return FTableScope; }
    void SetTableScope(TTableScopes Value) { FTableScope = Value; }

    void CheckConnection(TConnectionAction Action);
    // Raises "Cannot perform this operation on an open connection" (prefixed
    // with the component's name) when connected.
    void CheckInactive();
    // Raises "Cannot perform this operation on a closed connection" likewise.
    void CheckActive();

    // The driver connection's database properties; only while connected.
    TDBXDatabaseMetaData& GetMetaData();
    // The metadata's quote character, or a double quote without metadata.
    String GetQuoteChar();
    // How the SQL tokenizer gives identifiers on this connection.
    TIdentifierOption GetIdOption();
    // Closes the connection when nothing needs it open any more.
    virtual void CheckDisconnect();

    // The driver connection, or null while closed.
    TDBXConnection* DBXConnection() const { return FDBXConnection.get(); }
    // The driver's default properties with the remembered lines on top, for
    // tools; null when no driver is named.
    TDBXProperties* ConnectionData() const { return FConnectionData.get(); }
    const String& ConnectionRegistryFile() const { return FConnectionRegistryFile; }
    const String& LoginUsername() const { return FLoginUsername; }
    const String& DefaultSchema() const { return FDefaultSchema; }
    const String& QuoteChar() const { return FQuoteChar; }
    const String& ProcedureQuoteChar() const { return FProcedureQuoteChar; }
    bool TransactionsSupported() const { return FTransactionsSupported; }
    bool SupportsNestedTrans() const { return FSupportsNestedTrans; }
    int MaxStmtsPerConn() const { return FMaxStmtsPerConn; }
    int TransactionCount() const { return FTransactionCount; }
    bool InTransaction() const { return FTransactionCount > 0; }

    // Installed on the driver connection when it connects: sees every traced
    // driver call, the statements run included.
    std::function<void(const TDBXTraceInfo&)> OnTrace;
    // Handed to the driver with the connection properties (as the event
    // "ValidatePeerCertificate"): asked whether to accept a server's
    // certificate. SQLite opens files and never asks.
    std::function<void(TSQLConnection& Sender, const String& Certificate, int Depth, bool& Accept)>
        OnValidatePeerCertificate;
    // Parameters have been loaded from the connection definition file and
    // not yet given up by a disconnect or another ConnectionName.
    bool ParamsLoaded() const { return FParamsLoaded; }

    // Bookkeeping of the datasets that run statements on this connection.
    int ActiveStatements() const { return FActiveStatements; }
    int SelectStatements() const { return FSelectStatements; }
    void IncActiveStatements() { ++FActiveStatements; }
    void DecActiveStatements() {
        if (FActiveStatements > 0) --FActiveStatements;
    }
    void IncSelectStatements() { ++FSelectStatements; }

protected:
    void DoConnect() override;
    void DoDisconnect() override;
    bool GetConnected() override;
    virtual void ConnectionOptions();

private:
    void ParamsChanged();
    void CheckLoginParams(TDBXConnectionFactory& Factory);
    void GetLoginParams(TDBXConnectionFactory& Factory, rtl::TStringList& LoginParams);
    void CloseClientDataSets(bool FreeCommands);

    rtl::TStringList FParams;
    String FDriverName;
    String FConnectionName;
    bool FLoadParamsOnConnect = false;
    bool FKeepConnection = true;
    bool FLoginPrompt = true;
    TConnectionState FConnectionState = csStateClosed;
    std::unique_ptr<TDBXConnection> FDBXConnection;
    String FQuoteChar;
    String FProcedureQuoteChar;
    bool FTransactionsSupported = false;
    bool FSupportsNestedTrans = false;
    int FMaxStmtsPerConn = 0;
    int FSelectStatements = 0;
    int FActiveStatements = 0;
    int FTransactionCount = 0;
    bool FSQLHourGlass = true;
    bool FParamsLoaded = false;
    bool FAutoClone = true;
    TTableScopes FTableScope{tsTable, tsView};
    String FLoginUsername;
    String FDefaultSchema;
    String FConnectionRegistryFile;
    std::unique_ptr<TDBXProperties> FConnectionData;
};

}  // namespace sql
