#include "sql/dbx_common.h"

#include <algorithm>
#include <exception>

#include "rtl/format.h"
#include "sql/connection_factory.h"
#include "sql/driver_registry.h"

namespace sql {

namespace {

constexpr char16_t NoMoreRows[] = u"Reader has no more rows";

}  // namespace

// ---- TDBXValueList ----------------------------------------------------------

TDBXValueList::TDBXValueList(TDBXContextPtr Context) : FDBXContext(std::move(Context)) {}
TDBXValueList::~TDBXValueList() = default;

int TDBXValueList::FindOrdinal(StringView Name, int Start, int End) {
    End = std::min(End, static_cast<int>(FValues.size()));
    for (int i = std::max(Start, 0); i < End; ++i)
        if (FValues[i] && rtl::SameText(FValues[i]->GetValueType().GetName(), Name)) return i;
    return -1;
}

void TDBXValueList::SetValues(std::vector<std::unique_ptr<TDBXWritableValue>> Values) {
    FValues = std::move(Values);
    FValueCount = -1;
    FLastOrdinal = 0;
    FClosed = false;
}

void TDBXValueList::RaiseOrdinalError(int Ordinal) {
    if (FValueCount == -2) FDBXContext->Error(TDBXErrorCodes::NoData, NoMoreRows);
    if (FValueCount == -1) FDBXContext->Error(TDBXErrorCodes::NoData, u"Reader Next method has not been called");
    FDBXContext->Error(TDBXErrorCodes::InvalidOrdinal, rtl::Format(u"Invalid Ordinal:  %d", {Ordinal}));
}

void TDBXValueList::CheckOrdinal(int Ordinal) {
    if (Ordinal < 0 || Ordinal >= FValueCount) RaiseOrdinalError(Ordinal);
}

TDBXWritableValue& TDBXValueList::GetValue(int Ordinal) {
    CheckOrdinal(Ordinal);
    return *FValues[Ordinal];
}

TDBXWritableValue& TDBXValueList::GetValueByName(StringView Name) { return GetValue(GetOrdinal(Name)); }

const TDBXValueType& TDBXValueList::GetValueType(int Ordinal) {
    if (FClosed) FDBXContext->Error(TDBXErrorCodes::NoData, NoMoreRows);
    if (Ordinal < 0 || Ordinal >= GetColumnCount() || !FValues[Ordinal]) RaiseOrdinalError(Ordinal);
    return FValues[Ordinal]->GetValueType();
}

int TDBXValueList::GetOrdinal(StringView Name) {
    int ordinal = FindOrdinal(Name, FLastOrdinal, GetColumnCount());
    if (ordinal < 0 && FLastOrdinal > 0) ordinal = FindOrdinal(Name, 0, FLastOrdinal);
    if (ordinal < 0) FDBXContext->Error(TDBXErrorCodes::InvalidOrdinal, rtl::Format(u"Invalid Ordinal:  %d", {-1}));
    FLastOrdinal = ordinal;
    return ordinal;
}

// ---- TDBXReader -------------------------------------------------------------

TDBXReader::TDBXReader(TDBXContextPtr Context, std::unique_ptr<TDBXByteReader> ByteReader, std::unique_ptr<TDBXRow> Row)
    : TDBXValueList(std::move(Context)),
      FOwnedByteReader(std::move(ByteReader)),
      FByteReader(FOwnedByteReader.get()),
      FDbxRow(std::move(Row)) {
    if (!FByteReader) FByteReader = &FDBXContext->ClosedByteReader();
}

TDBXReader::~TDBXReader() {
    // A concrete reader has already closed itself; here only unlink, since the
    // driver's DerivedClose no longer exists.
    if (FCommand) {
        FCommand->FLastReader = nullptr;
        FCommand = nullptr;
    }
    CloseValueList();
}

bool TDBXReader::Next() {
    if (FValueCount < -1) return false;
    if (DerivedNext()) {
        if (FValueCount == -1) FValueCount = GetColumnCount();
        FDbxRow->NextGeneration();
        return true;
    }
    if (FCommand) FCommand->CloseReader();
    else if (!FClosed) EndRows();
    return false;
}

void TDBXReader::EndRows() {
    struct Guard {
        TDBXReader* Reader;
        ~Guard() { Reader->CloseValueList(); }
    } guard{this};
    DerivedClose();
}

void TDBXReader::CloseReader() {
    try {
        if (FCommand) FCommand->CloseReader();
    } catch (...) {
    }
    CloseValueList();
}

void TDBXReader::CloseValueList() {
    if (!FClosed) {
        FByteReader = &FDBXContext->ClosedByteReader();
        FOwnedByteReader.reset();
        for (auto& value : FValues) value.reset();
        FValueCount = -2;
    }
    FClosed = true;
}

String TDBXReader::GetObjectTypeName(int) { return String(); }

// ---- TDBXParameterList ------------------------------------------------------

TDBXParameterList::TDBXParameterList(TDBXContextPtr Context, std::unique_ptr<TDBXRow> Row)
    : FDBXContext(std::move(Context)), FRow(std::move(Row)) {}
TDBXParameterList::~TDBXParameterList() = default;

void TDBXParameterList::SetCount(int Count) {
    if (Count != 0) FDBXContext->Error(TDBXErrorCodes::NotImplemented, u"Feature not implemented");
}

// ---- TDBXCommand ------------------------------------------------------------

TDBXCommand::TDBXCommand(TDBXContextPtr Context, TDBXConnection* Connection)
    : FConnection(Connection), FDBXContext(std::move(Context)) {}

TDBXCommand::~TDBXCommand() {
    if (FLastReader) {
        FLastReader->FCommand = nullptr;
        FLastReader = nullptr;
    }
    FFreeOnCloseList.clear();
    if (FListed && FConnection) FConnection->RemoveCommand(this);
}

void TDBXCommand::CloseOnFree() noexcept {
    try {
        Close();
    } catch (...) {
    }
}

void TDBXCommand::CloseReader() {
    TDBXReader* reader = FLastReader;
    if (!reader) return;
    FLastReader = nullptr;
    reader->FCommand = nullptr;
    reader->EndRows();
}

void TDBXCommand::SetCommandType(const String& Value) {
    if (Value == FCommandType) return;
    if (FOpen) Close();
    FCommandType = Value;
}

void TDBXCommand::SetText(const String& Value) {
    if (FOpen && FPrepared && FParameters && FParameters->GetCount() > 0 && Value != FText) Close();
    FPrepared = false;
    FText = Value;
}

std::unique_ptr<TDBXRow> TDBXCommand::CreateParameterRow() {
    FDBXContext->Error(TDBXErrorCodes::NotImplemented, u"Feature not implemented");
}

std::unique_ptr<TDBXParameterList> TDBXCommand::CreateParameters() {
    return std::make_unique<TDBXParameterList>(FDBXContext, CreateParameterRow());
}

TDBXParameterList& TDBXCommand::GetParameters() {
    Open();
    if (!FParameters) FParameters = CreateParameters();
    return *FParameters;
}

void TDBXCommand::Open() {
    if (FOpen) return;
    if (FConnectionClosed)
        throw TDBXError(TDBXErrorCodes::InvalidOperation, u"Operation failed.  Connection was closed");
    DerivedOpen();
    FOpen = true;
}

void TDBXCommand::FreeOnExecute(std::unique_ptr<TDBXFreeOnExecute> Value) {
    FFreeOnCloseList.push_back(std::move(Value));
}

void TDBXCommand::Close() {
    // Every step runs even when an earlier one fails; the first failure is raised.
    std::exception_ptr failure;
    FFreeOnCloseList.clear();
    try {
        CloseReader();
    } catch (...) {
        failure = std::current_exception();
    }
    FParameters.reset();
    if (FOpen) {
        FOpen = false;
        FPrepared = false;
        try {
            DerivedClose();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

void TDBXCommand::Prepare() {
    Open();
    if (FPrepared) FDBXContext->Error(TDBXErrorCodes::InvalidOperation, u"Command can only be prepared once");
    DerivedPrepare();
    FPrepared = true;
}

void TDBXCommand::CheckText() const {
    if (FText.empty()) FDBXContext->Error(TDBXErrorCodes::InvalidOperation, u"No statement to execute");
}

void TDBXCommand::PrepareExecution() {
    CheckText();
    FFreeOnCloseList.clear();
    Open();
    CloseReader();
    if (FParameters && FParameters->GetCount() > 0) {
        if (!FPrepared) Prepare();
        DerivedClearParameters();
    }
}

void TDBXCommand::LinkReader(TDBXReader& Reader) {
    Reader.FCommand = this;
    FLastReader = &Reader;
}

void TDBXCommand::FinishExecution(TDBXReader* Reader) {
    if (Reader) LinkReader(*Reader);
    if (FParameters && FParameters->ParameterRow()) FParameters->ParameterRow()->NextGeneration();
}

std::unique_ptr<TDBXReader> TDBXCommand::ExecuteQuery() {
    PrepareExecution();
    auto reader = DerivedExecuteQuery();
    FinishExecution(reader.get());
    return reader;
}

void TDBXCommand::ExecuteUpdate() {
    PrepareExecution();
    DerivedExecuteUpdate();
    FinishExecution(nullptr);
}

std::unique_ptr<TDBXReader> TDBXCommand::GetNextReader() {
    auto reader = DerivedGetNextReader();
    if (reader) {
        CloseReader();
        LinkReader(*reader);
    }
    return reader;
}

void TDBXCommand::ConnectionClosing() {
    if (FListed && FConnection) FConnection->RemoveCommand(this);
    FListed = false;
    FConnectionClosed = true;
    Close();
}

// ---- TDBXMorphicCommand -----------------------------------------------------

TDBXMorphicCommand::TDBXMorphicCommand(TDBXContextPtr Context, TDBXConnection& Connection)
    : TDBXCommand(std::move(Context), &Connection), FMorphConnection(Connection) {
    const String rowSetSize = Connection.GetConnectionProperties().GetValue(TDBXPropertyNames::RowSetSize);
    FRowSetSize = rowSetSize.empty() ? 20 : rtl::StrToInt(rowSetSize);
}

TDBXMorphicCommand::~TDBXMorphicCommand() {
    CloseOnFree();
    FCommand.reset();
}

void TDBXMorphicCommand::CloseReader() {
    if (FCommand) FCommand->CloseReader();
}

void TDBXMorphicCommand::SetCommandType(const String& Value) {
    if (Value != FCommandType && FCommand) {
        FCommand.reset();
        FOpen = false;
        FPrepared = false;
    }
    FCommandType = Value;
}

void TDBXMorphicCommand::SetText(const String& Value) {
    FText = Value;
    if (FCommand) FCommand->SetText(Value);
}

void TDBXMorphicCommand::SetRowSetSize(std::int64_t Value) {
    FRowSetSize = Value;
    if (FCommand) FCommand->SetRowSetSize(Value);
}

void TDBXMorphicCommand::SetMaxBlobSize(std::int64_t Value) {
    FMaxBlobSize = Value;
    if (FCommand) FCommand->SetMaxBlobSize(Value);
}

std::int64_t TDBXMorphicCommand::GetRowsAffected() { return FCommand ? FCommand->GetRowsAffected() : 0; }

std::unique_ptr<TDBXRow> TDBXMorphicCommand::CreateParameterRow() {
    Open();
    return FCommand->CreateParameterRow();
}

std::unique_ptr<TDBXParameterList> TDBXMorphicCommand::CreateParameters() {
    Open();
    return FCommand->CreateParameters();
}

TDBXParameterList& TDBXMorphicCommand::GetParameters() {
    Open();
    return FCommand->GetParameters();
}

void TDBXMorphicCommand::FreeOnExecute(std::unique_ptr<TDBXFreeOnExecute> Value) {
    if (FCommand) FCommand->FreeOnExecute(std::move(Value));
    else TDBXCommand::FreeOnExecute(std::move(Value));
}

void TDBXMorphicCommand::Prepare() {
    Open();
    FCommand->Prepare();
}

std::unique_ptr<TDBXReader> TDBXMorphicCommand::ExecuteQuery() {
    Open();
    return FCommand->ExecuteQuery();
}

void TDBXMorphicCommand::ExecuteUpdate() {
    Open();
    FCommand->ExecuteUpdate();
}

std::unique_ptr<TDBXReader> TDBXMorphicCommand::GetNextReader() {
    Open();
    return FCommand->GetNextReader();
}

std::optional<TDBXStatementReads> TDBXMorphicCommand::GetStatementReads() const {
    return FCommand ? FCommand->GetStatementReads() : std::nullopt;
}

std::unique_ptr<TDBXReader> TDBXMorphicCommand::DerivedGetNextReader() {
    return FCommand ? FCommand->DerivedGetNextReader() : nullptr;
}

void TDBXMorphicCommand::DerivedOpen() {
    if (FCommand) {
        FCommand->Open();
        return;
    }
    std::unique_ptr<TDBXCommand> command = FMorphConnection.CreateMorphCommand(*this);
    if (!command) FDBXContext->Error(TDBXErrorCodes::UnrecognizedCommandType, u"");
    command->SetText(FText);
    command->SetCommandType(FCommandType);
    if (FMaxBlobSize > -1) command->SetMaxBlobSize(FMaxBlobSize);
    if (FRowSetSize != 20) command->SetRowSetSize(FRowSetSize);
    FCommand = std::move(command);
    FCommand->Open();
}

void TDBXMorphicCommand::DerivedClose() {
    if (FCommand) FCommand->Close();
}

void TDBXMorphicCommand::DerivedPrepare() {
    if (FCommand) FCommand->DerivedPrepare();
}

std::unique_ptr<TDBXReader> TDBXMorphicCommand::DerivedExecuteQuery() {
    return FCommand ? FCommand->DerivedExecuteQuery() : nullptr;
}

void TDBXMorphicCommand::DerivedExecuteUpdate() {
    if (FCommand) FCommand->DerivedExecuteUpdate();
}

void TDBXMorphicCommand::DerivedClearParameters() {
    if (FCommand) FCommand->DerivedClearParameters();
}

// ---- TDBXTransaction, TDBXDatabaseMetaData ----------------------------------

TDBXTransaction::TDBXTransaction(TDBXConnection* Connection, int IsolationLevel)
    : FConnection(Connection), FIsolationLevel(IsolationLevel) {}

void TDBXDatabaseMetaData::Init(TDBXConnection& Connection) {
    std::unique_ptr<TDBXCommand> command = Connection.DerivedCreateCommand();
    command->SetCommandType(TDBXCommandTypes::DbxMetaData);
    command->SetText(u"GetDatabase");
    std::unique_ptr<TDBXReader> reader = command->ExecuteQuery();
    if (!reader) FDBXContext->Error(TDBXErrorCodes::NoData, u"");
    reader->Next();
    FQuoteChar = reader->GetValueByName(u"QuoteChar").GetWideString();
    FProcedureQuoteChar = reader->GetValueByName(u"ProcedureQuoteChar").GetWideString();
    FMaxCommands = reader->GetValueByName(u"MaxCommands").GetInt32();
    FSupportsTransactions = reader->GetValueByName(u"SupportsTransactions").GetBoolean();
    FSupportsNestedTransactions = reader->GetValueByName(u"SupportsNestedTransactions").GetBoolean();
    FSupportsRowSetSize = reader->GetValueByName(u"SupportsRowSetSize").GetBoolean();
    if (reader->GetColumnCount() > 9) {
        FMetaDataVersion = u"4.0";
        FQuotePrefix = reader->GetValueByName(u"QuotePrefix").GetWideString();
        FQuoteSuffix = reader->GetValueByName(u"QuoteSuffix").GetWideString();
        FSupportsLowerCaseIdentifiers = reader->GetValueByName(u"SupportsLowerCaseIdentifiers").GetBoolean();
        FSupportsUpperCaseIdentifiers = reader->GetValueByName(u"SupportsUpperCaseIdentifiers").GetBoolean();
        FSupportsSPReturnCode = reader->GetValueByName(u"SupportsSPReturnCode").GetBoolean();
        const auto optional = [&](StringView Name, bool& Flag) {
            if (reader->FindOrdinal(Name, 0, reader->GetColumnCount()) >= 0)
                Flag = reader->GetValueByName(Name).GetBoolean();
        };
        optional(u"SupportsParameterMetadata", FSupportsParameterMetadata);
        optional(u"SupportsCatalogFunctions", FSupportsCatalogFunctions);
        optional(u"SupportsCatalogs", FSupportsCatalogs);
        optional(u"SupportsSchemas", FSupportsSchemas);
    } else {
        FMetaDataVersion = u"3.0";
    }
}

// ---- TDBXConnection ---------------------------------------------------------

TDBXConnection::TDBXConnection(TDBXConnectionBuilder& Builder)
    : FDriverDelegate(Builder.TakeDelegateDriver()),
      FDBXContext(std::make_shared<TDBXContext>(*Builder.DBXContext())),
      FConnectionProperties(Builder.CreateConnectionProperties()) {
    FConnectionProperties->SetDBXContext(FDBXContext);
}

TDBXConnection::~TDBXConnection() {
    // Concrete connections close themselves (CloseOnFree); this is a fallback.
    DetachCommands();
    FTransactionStack.clear();
    FDatabaseMetaData.reset();
    FConnectionProperties.reset();
    FDBXContext.reset();
    FDriverDelegate.reset();
}

void TDBXConnection::CloseOnFree() noexcept {
    if (FOpen) {
        try {
            Close();
        } catch (...) {
        }
    }
    DetachCommands();
}

void TDBXConnection::DetachCommands() noexcept {
    for (TDBXCommand* command : std::vector<TDBXCommand*>(FCommands)) {
        try {
            command->ConnectionClosing();
        } catch (...) {
        }
    }
    FCommands.clear();
}

TDBXDatabaseMetaData& TDBXConnection::GetDatabaseMetaData() {
    if (!FDatabaseMetaData) {
        auto metaData = std::make_unique<TDBXDatabaseMetaData>(FDBXContext);
        metaData->Init(*this);
        FDatabaseMetaData = std::move(metaData);
    }
    return *FDatabaseMetaData;
}

void TDBXConnection::SetConnectionProperties(std::unique_ptr<TDBXProperties> Value) {
    FConnectionProperties = std::move(Value);
}

void TDBXConnection::Open() {
    FOpen = true;
    DerivedOpen();
    GetDatabaseMetaData();
}

std::unique_ptr<TDBXCommand> TDBXConnection::CreateMorphCommand(TDBXMorphicCommand& MorphicCommand) {
    return FDriverDelegate->CreateMorphCommand(FDBXContext, *this, MorphicCommand);
}

String TDBXConnection::GetProductVersion() {
    if (!FProductVersionInitialized) {
        TDBXProperties* driverProperties = FDriverDelegate->GetDriverProperties();
        FProductVersion = driverProperties ? driverProperties->GetValue(TDBXPropertyNames::ProductVersion) : String();
        if (FProductVersion.empty()) FProductVersion = GetVendorProperty(TDBXPropertyNames::ProductVersion);
        FProductVersionInitialized = true;
    }
    return FProductVersion;
}

String TDBXConnection::GetProductName() {
    TDBXProperties* driverProperties = FDriverDelegate->GetDriverProperties();
    String name = driverProperties ? driverProperties->GetValue(TDBXPropertyNames::ProductName) : String();
    if (name.empty()) name = GetVendorProperty(TDBXPropertyNames::ProductName);
    if (name.empty()) name = FConnectionProperties->GetValue(TDBXPropertyNames::DriverName);
    return name;
}

String TDBXConnection::GetConnectionProperty(StringView Name) { return FConnectionProperties->GetValue(Name); }

void TDBXConnection::Close() {
    std::exception_ptr failure;
    for (TDBXCommand* command : std::vector<TDBXCommand*>(FCommands)) {
        try {
            command->ConnectionClosing();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    while (!FTransactionStack.empty()) {
        TDBXTransaction* transaction = FTransactionStack.back().get();
        try {
            RollbackFreeAndNil(transaction);
        } catch (...) {
            if (!failure) failure = std::current_exception();
            FTransactionStack.pop_back();
        }
    }
    try {
        DerivedClose();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    FDBXContext->RemoveTraceHook();
    FDatabaseMetaData.reset();
    FOpen = false;
    if (failure) std::rethrow_exception(failure);
}

int TDBXConnection::StackIndexOf(TDBXTransaction* Transaction) const {
    for (std::size_t i = 0; i < FTransactionStack.size(); ++i)
        if (FTransactionStack[i].get() == Transaction) return static_cast<int>(i);
    return -1;
}

void TDBXConnection::FreeTransactionsDownTo(TDBXTransaction* Transaction) {
    const int index = StackIndexOf(Transaction);
    if (index >= 0) FTransactionStack.erase(FTransactionStack.begin() + index, FTransactionStack.end());
}

TDBXTransaction* TDBXConnection::BeginTransaction(int Isolation) {
    std::unique_ptr<TDBXTransaction> transaction = CreateAndBeginTransaction(Isolation);
    transaction->FConnection = this;
    FTransactionStack.push_back(std::move(transaction));
    return FTransactionStack.back().get();
}

TDBXTransaction* TDBXConnection::BeginTransaction() { return BeginTransaction(FIsolationLevel); }

void TDBXConnection::CheckOnStack(TDBXTransaction* Transaction) const {
    if (StackIndexOf(Transaction) < 0)
        FDBXContext->Error(TDBXErrorCodes::InvalidArgument, u"Invalid transaction Object");
}

TDBXTransaction* TDBXConnection::TopTransaction() const {
    return FTransactionStack.empty() ? nullptr : FTransactionStack.back().get();
}

void TDBXConnection::CommitFreeAndNil(TDBXTransaction*& Transaction) {
    CheckOnStack(Transaction);
    Commit(*Transaction);
    FreeTransactionsDownTo(Transaction);
    Transaction = nullptr;
}

void TDBXConnection::RollbackFreeAndNil(TDBXTransaction*& Transaction) {
    CheckOnStack(Transaction);
    Rollback(*Transaction);
    FreeTransactionsDownTo(Transaction);
    Transaction = nullptr;
}

void TDBXConnection::RollbackIncompleteFreeAndNil(TDBXTransaction*& Transaction) {
    TDBXTransaction* transaction = Transaction;
    Transaction = nullptr;
    if (StackIndexOf(transaction) >= 0) {
        Rollback(*transaction);
        FreeTransactionsDownTo(transaction);
    }
}

// With no transaction the top is null, which the stack check rejects.
void TDBXConnection::CommitTransaction() {
    TDBXTransaction* top = TopTransaction();
    CommitFreeAndNil(top);
}

void TDBXConnection::RollbackTransaction() {
    TDBXTransaction* top = TopTransaction();
    RollbackFreeAndNil(top);
}

std::unique_ptr<TDBXMorphicCommand> TDBXConnection::DerivedCreateCommand() {
    return std::make_unique<TDBXMorphicCommand>(FDBXContext, *this);
}

std::unique_ptr<TDBXCommand> TDBXConnection::CreateCommand() {
    std::unique_ptr<TDBXMorphicCommand> command = DerivedCreateCommand();
    if (GetDatabaseMetaData().FSupportsRowSetSize) {
        const String rowSetSize = FConnectionProperties->GetValue(TDBXPropertyNames::RowSetSize);
        command->SetRowSetSize(rowSetSize.empty() ? 20 : rtl::StrToInt(rowSetSize));
    }
    FCommands.push_back(command.get());
    command->FConnection = this;
    command->FListed = true;
    return command;
}

String TDBXConnection::GetVendorProperty(StringView) { return String(); }

void TDBXConnection::RemoveCommand(TDBXCommand* Command) {
    std::erase(FCommands, Command);
    Command->FListed = false;
}

// ---- TDBXDriver -------------------------------------------------------------

TDBXDriver::TDBXDriver(const TDBXDriverDef& DriverDef)
    : FDriverName(DriverDef.FDriverName), FDBXContext(DriverDef.FDBXContext) {}

TDBXDriver::~TDBXDriver() = default;

void TDBXDriver::InitDriverProperties(std::unique_ptr<TDBXProperties> Properties) {
    FDriverProperties = std::move(Properties);
}

std::unique_ptr<TDBXCommand> TDBXDriver::CreateMorphCommand(const TDBXContextPtr& Context, TDBXConnection& Connection,
                                                            TDBXMorphicCommand& MorphicCommand) {
    std::unique_ptr<TDBXCommand> command;
    if (auto it = FCommandFactories.find(MorphicCommand.GetCommandType()); it != FCommandFactories.end())
        command = it->second(Context, Connection, MorphicCommand);
    if (!command) {
        if (auto it = FCommandFactories.find(String()); it != FCommandFactories.end())
            command = it->second(Context, Connection, MorphicCommand);
    }
    return command;
}

void TDBXDriver::GetDriverPropertyNames(rtl::TStringList& List) {
    for (const char16_t* name :
         {u"DriverUnit", u"GetDriverFunc", u"VendorLib", u"LibraryName", u"DriverAssembly", u"DriverPackage",
          u"DriverPackageLoader", u"MetaDataPackageLoader", u"MetaDataAssemblyLoader"})
        List.Add(name);
}

void TDBXDriver::AddCommandFactory(const String& CommandType, TDBXCreateCommandMethod Method) {
    FCommandFactories[CommandType] = std::move(Method);
}

void TDBXDriver::AddReference() {
    std::lock_guard lock(TDBXDriverRegistry::DriverListLock());
    ++FReferenceCount;
}

void TDBXDriver::RemoveReference() {
    std::lock_guard lock(TDBXDriverRegistry::DriverListLock());
    if (--FReferenceCount <= 0) TDBXDriverRegistry::FreeDriver(this);  // frees this driver
}

void TDBXDriver::CacheUntilFinalization() {
    if (FCachedUntilFinalization) return;
    FCachedUntilFinalization = true;
    AddReference();
}

void TDBXDriver::UncacheAtFinalization() {
    if (!FCachedUntilFinalization) return;
    FCachedUntilFinalization = false;
    RemoveReference();
}

}  // namespace sql
