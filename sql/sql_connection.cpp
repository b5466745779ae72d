#include "sql/sql_connection.h"

#include "data/db_error.h"
#include "rtl/exceptions.h"
#include "rtl/files.h"
#include "rtl/try_finally.h"
#include "sql/connection_factory.h"
#include "sql/dbx_common.h"
#include "sql/sql_dataset.h"

namespace sql {
namespace {

constexpr const char16_t* SConnectionOpen = u"Cannot perform this operation on an open connection";
constexpr const char16_t* SConnectionClosed = u"Cannot perform this operation on a closed connection";
constexpr const char16_t* SMissingDriverName = u"Missing DriverName property";

// Holds the connection factory's lock for a scope.
class FactoryLock {
public:
    FactoryLock() { TDBXConnectionFactory::Lock(); }
    ~FactoryLock() { TDBXConnectionFactory::Unlock(); }
    FactoryLock(const FactoryLock&) = delete;
    FactoryLock& operator=(const FactoryLock&) = delete;
};

void SetScreenCursor(int Code) {
    if (data::ScreenCursorProc) data::ScreenCursorProc(Code);
}

constexpr int kSQLWaitCursor = -11;
constexpr int kDefaultCursor = 0;

}  // namespace

TSQLConnection::TSQLConnection(rtl::TComponent* AOwner) : TCustomConnection(AOwner) {
    FParams.OnChange = [this](rtl::TStringList&) { ParamsChanged(); };
    // The per-user setting "Connection Registry File" would name the
    // definition file; no settings store exists on this platform, so it is
    // the one beside the executable, joined with the platform's separator.
    const String folder = rtl::ExtractFilePath(rtl::ExecutableFileName());
    if (!folder.empty()) FConnectionRegistryFile = folder + u"dbxconnections.ini";
}

TSQLConnection::~TSQLConnection() {
    Destroying();
    try {
        CloseClientDataSets(true);
        SetConnected(false);
    } catch (...) {
        // Destruction goes on whatever closing reported.
    }
    for (int i = DataSetCount() - 1; i >= 0; --i)
        if (auto* ds = dynamic_cast<TCustomSQLDataSet*>(DataSets(i))) ds->DetachConnection();
    FDBXConnection.reset();
}

void TSQLConnection::ParamsChanged() {
    if (!FConnectionData) return;
    FConnectionData->Clear();
    FConnectionData->AddProperties(FParams);
}

void TSQLConnection::SetParams(const rtl::TStringList& Value) {
    CheckInactive();
    FParams.Assign(Value);
}

void TSQLConnection::SetDriverName(const String& Value) {
    if (Value == FDriverName) return;
    CheckInactive();
    if (FConnectionName.empty()) FParams.Clear();
    rtl::TStringList remembered;
    if (FDriverName.empty()) remembered.Assign(FParams);
    FDriverName = Value;
    FConnectionData.reset();
    if (FDriverName.empty()) return;
    FactoryLock lock;
    TDBXConnectionFactory& factory = TDBXConnectionFactory::GetConnectionFactory();
    if (TDBXProperties* defaults = factory.GetDriverProperties(FDriverName)) {
        FConnectionData = defaults->Clone();
        FConnectionData->MergeProperties(remembered);
    }
}

void TSQLConnection::SetConnectionName(const String& Value) {
    if (Value == FConnectionName) return;
    const bool loading = ComponentState().Contains(rtl::csLoading);
    if (!loading && Connected()) SetConnected(false);
    if (FDriverName.empty() && Value.empty()) FParams.Clear();
    FParamsLoaded = false;
    FConnectionName = Value;
    if (!loading) CloseClientDataSets(false);
}

void TSQLConnection::SetKeepConnection(bool Value) {
    FKeepConnection = Value;
    // No statement holds the connection: close it at once.
    if (!Value && FActiveStatements == 0) SetConnected(false);
}

bool TSQLConnection::GetConnected() {
    return FDBXConnection && FConnectionState != csStateClosed && FConnectionState != csStateConnecting &&
           FConnectionState != csStateDisconnecting;
}

void TSQLConnection::CheckConnection(TConnectionAction Action) {
    switch (Action) {
        case eConnect:
            if (!Connected()) SetConnected(true);
            break;
        case eReconnect:
            SetConnected(false);
            SetConnected(true);
            break;
        case eDisconnect: SetConnected(false); break;
    }
}

void TSQLConnection::CheckInactive() {
    if (Connected()) data::DatabaseError(SConnectionOpen, this);
}

void TSQLConnection::CheckActive() {
    if (!Connected()) data::DatabaseError(SConnectionClosed, this);
}

TDBXDatabaseMetaData& TSQLConnection::GetMetaData() {
    CheckActive();
    return FDBXConnection->GetDatabaseMetaData();
}

String TSQLConnection::GetQuoteChar() {
    FQuoteChar = FDBXConnection ? FDBXConnection->GetDatabaseMetaData().FQuoteChar : String(u"\"");
    return FQuoteChar;
}

TIdentifierOption TSQLConnection::GetIdOption() {
    if (!Connected()) return idMixCase;
    const TDBXDatabaseMetaData& meta = FDBXConnection->GetDatabaseMetaData();
    if (meta.FMetaDataVersion != u"4.0") return idMixCase;
    if (!meta.FSupportsLowerCaseIdentifiers) return idMakeUpperCase;
    if (!meta.FSupportsUpperCaseIdentifiers) return idMakeLowerCase;
    return idMixCase;
}

void TSQLConnection::CheckLoginParams(TDBXConnectionFactory& Factory) {
    if (FLoadParamsOnConnect) {
        FParams.Assign(Factory.GetConnectionProperties(FConnectionName).GetProperties());
        FDriverName = FParams.Values(u"DriverName");
        FParamsLoaded = true;
    }
    if (FDriverName.empty()) data::DatabaseError(SMissingDriverName);
}

void TSQLConnection::GetLoginParams(TDBXConnectionFactory& Factory, rtl::TStringList& LoginParams) {
    LoginParams.Clear();
    TDBXProperties merged;
    if (TDBXProperties* defaults = Factory.GetDriverProperties(FDriverName))
        merged.AddProperties(defaults->GetProperties());
    merged.MergeProperties(FParams);
    for (const char16_t* name : {u"Password", u"User_Name", u"Database"}) {
        const String value = merged.GetValue(name);
        if (!value.empty()) LoginParams.SetValue(name, value);
    }
    // LoginPrompt would ask for the user name and password here; no login
    // dialog exists in this program, so the stored values stand.
}

void TSQLConnection::DoConnect() {
    rtl::TStringList login;
    auto props = std::make_unique<TDBXProperties>();
    std::unique_ptr<TDBXConnectionFactory> ownFactory;
    TDBXConnectionFactory* factory = nullptr;
    try {
        factory = &TDBXConnectionFactory::GetConnectionFactory();
    } catch (const rtl::Exception&) {
        ownFactory = std::make_unique<TDBXMemoryConnectionFactory>();
        ownFactory->Open();
        factory = ownFactory.get();
    }
    rtl::TryFinally(
        [&] {
            if (FLoadParamsOnConnect && !FConnectionName.empty()) {
                props->AddProperties(factory->GetConnectionProperties(FConnectionName).GetProperties());
            } else {
                props->AddProperties(FParams);
                if (!props->HasName(u"DriverName")) props->SetValue(u"DriverName", FDriverName);
            }
            CheckLoginParams(*factory);
            FConnectionState = csStateConnecting;
            GetLoginParams(*factory, login);
            if (login.Values(u"Database") != props->GetValue(u"Database"))
                props->SetValue(u"Database", login.Values(u"Database"));
            if (FSQLHourGlass) SetScreenCursor(kSQLWaitCursor);
            FLoginUsername = login.Values(u"User_Name");
            if (!FLoginUsername.empty()) props->SetValue(u"User_Name", FLoginUsername);
            if (!login.Values(u"Password").empty()) props->SetValue(u"Password", login.Values(u"Password"));
            props->SetComponentOwner(this);
            props->SetEvent(ValidatePeerCertificateEventName,
                            TValidatePeerCertificateEvent(
                                [this](rtl::TComponent*, const String& Certificate, int Depth, bool& Accept) {
                                    if (OnValidatePeerCertificate)
                                        OnValidatePeerCertificate(*this, Certificate, Depth, Accept);
                                }));
            {
                FactoryLock lock;
                FDBXConnection = factory->GetConnection(*props);
            }
            if (FSQLHourGlass) SetScreenCursor(kSQLWaitCursor);
            if (OnTrace) FDBXConnection->SetTraceInfoEvent(OnTrace);
            // A schema-based server would give its DEFAULT_SCHEMA here; SQLite
            // has no schemas, so only a "SchemaOverride" of the form A.B sets one.
            FDefaultSchema.clear();
            const String schema = props->GetValue(u"SchemaOverride");
            if (const auto dot = schema.find(u'.'); dot != String::npos && schema.find(u'.', dot + 1) == String::npos) {
                const String owner = schema.substr(0, dot);
                if (owner == u"%" || owner == FLoginUsername) FDefaultSchema = schema.substr(dot + 1);
            }
            ConnectionOptions();
            FConnectionState = csStateOpen;
        },
        [&] {
            // A step that failed leaves the state at connecting.
            SetScreenCursor(kDefaultCursor);
            if (FConnectionState == csStateConnecting) {
                FConnectionState = csStateClosed;
                FDBXConnection.reset();
            }
        });
}

void TSQLConnection::ConnectionOptions() {
    FQuoteChar = GetQuoteChar();
    if (FDBXConnection) {
        const TDBXDatabaseMetaData& meta = FDBXConnection->GetDatabaseMetaData();
        FProcedureQuoteChar = meta.FProcedureQuoteChar;
        FTransactionsSupported = meta.FSupportsTransactions;
        FSupportsNestedTrans = meta.FSupportsNestedTransactions;
        FMaxStmtsPerConn = meta.FMaxCommands;
    } else {
        FProcedureQuoteChar.assign(1, u'"');
        FTransactionsSupported = true;
        FSupportsNestedTrans = false;
        FMaxStmtsPerConn = 0;
    }
}

void TSQLConnection::CloseClientDataSets(bool FreeCommands) {
    for (int i = DataSetCount() - 1; i >= 0; --i) {
        data::TDataSet* ds = DataSets(i);
        if (ds->Active()) ds->Close();
        if (FreeCommands)
            if (auto* sqlds = dynamic_cast<TCustomSQLDataSet*>(ds)) sqlds->FreeCommand();
    }
}

void TSQLConnection::DoDisconnect() {
    if (FDBXConnection) {
        FConnectionState = csStateDisconnecting;
        try {
            CloseClientDataSets(true);
        } catch (...) {
            FConnectionState = csStateOpen;
            throw;
        }
        FDBXConnection->SetTraceInfoEvent(nullptr);
        FTransactionCount = 0;
        FDBXConnection.reset();
        FConnectionState = csStateClosed;
        FSelectStatements = 0;
    }
    FParamsLoaded = false;
}

void TSQLConnection::CheckDisconnect() {
    if (!Connected() || FKeepConnection || InTransaction() || ComponentState().Contains(rtl::csLoading)) return;
    for (int i = 0; i < DataSetCount(); ++i)
        if (DataSets(i)->State() != data::dsInactive) return;
    SetConnected(false);
}

}  // namespace sql
