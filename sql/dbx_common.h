#pragma once
// The abstract driver model the SQL components talk to: driver, connection,
// command (and the morphic command a connection hands out), reader,
// transaction and database properties. Each public operation does the
// framework's bookkeeping and calls a protected Derived operation that the
// driver supplies.

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "rtl/string_list.h"
#include "sql/dbx_properties.h"
#include "sql/dbx_values.h"

namespace sql {

class TDBXCommand;
class TDBXCommandFactory;
class TDBXConnection;
class TDBXConnectionBuilder;
class TDBXDriver;
class TDBXMorphicCommand;
class TDBXReader;

namespace TDBXCommandTypes {
inline constexpr char16_t DbxSQL[] = u"Dbx.SQL";
inline constexpr char16_t DbxMetaData[] = u"Dbx.MetaData";
}  // namespace TDBXCommandTypes

namespace TDBXIsolations {
constexpr int ReadCommitted = 0;
constexpr int RepeatableRead = 1;
constexpr int DirtyRead = 2;
constexpr int Serializable = 3;
}  // namespace TDBXIsolations

// Anything a command frees on its next execution or close.
class TDBXFreeOnExecute {
public:
    virtual ~TDBXFreeOnExecute() = default;
};

// The columns of a result: one value object per column, owned. Before the
// first row the descriptions are readable but not the values; after the end
// neither.
class TDBXValueList {
public:
    explicit TDBXValueList(TDBXContextPtr Context);
    virtual ~TDBXValueList();
    TDBXValueList(const TDBXValueList&) = delete;
    TDBXValueList& operator=(const TDBXValueList&) = delete;

    // The first ordinal in [Start, End) whose name matches Name ignoring case, or -1.
    virtual int FindOrdinal(StringView Name, int Start, int End);
    virtual void SetValues(std::vector<std::unique_ptr<TDBXWritableValue>> Values);
    // Fails with code 100 before the first row or after the end, 8 for a bad ordinal.
    virtual TDBXWritableValue& GetValue(int Ordinal);
    virtual TDBXWritableValue& GetValueByName(StringView Name);
    virtual const TDBXValueType& GetValueType(int Ordinal);
    virtual int GetColumnCount() const { return static_cast<int>(FValues.size()); }
    // Fails with code 8 "Invalid Ordinal:  -1" when no column has that name.
    virtual int GetOrdinal(StringView Name);

    bool Closed() const { return FClosed; }
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }

protected:
    [[noreturn]] void RaiseOrdinalError(int Ordinal);
    void CheckOrdinal(int Ordinal);

    std::vector<std::unique_ptr<TDBXWritableValue>> FValues;
    int FValueCount = -1;
    int FLastOrdinal = 0;
    bool FClosed = false;
    TDBXContextPtr FDBXContext;
};

// A forward-only result. States: before the first row, on a row, ended.
class TDBXReader : public TDBXValueList {
public:
    TDBXReader(TDBXContextPtr Context, std::unique_ptr<TDBXByteReader> ByteReader, std::unique_ptr<TDBXRow> Row);
    ~TDBXReader() override;

    // Moves to the next row; false at the end, after which the reader is closed.
    virtual bool Next();
    // The driver's byte reader, or the context's closed one after the end.
    virtual TDBXByteReader& GetByteReader() { return *FByteReader; }
    // Whether the driver gave the reader a byte reader of its own (false
    // after the end, and for readers that serve their values only).
    bool HasByteReader() const { return FOwnedByteReader != nullptr; }
    virtual int GetReaderHandle() const { return -1; }
    virtual bool IsUpdateable() const { return false; }
    virtual int GetRowHandle() const { return 0; }
    virtual void Reset() {}
    virtual String GetObjectTypeName(int Ordinal);
    TDBXRow& DbxRow() { return *FDbxRow; }
    TDBXCommand* Command() const { return FCommand; }

protected:
    friend class TDBXCommand;

    virtual bool DerivedNext() = 0;
    virtual void DerivedClose() = 0;
    // Ends the reader: unlinks it from its command, DerivedClose, frees the
    // values. Concrete readers call it from their destructors.
    void CloseReader();
    // Frees the values and swaps in the closed byte reader.
    void CloseValueList();
    // DerivedClose, then CloseValueList even when DerivedClose fails.
    void EndRows();

    std::unique_ptr<TDBXByteReader> FOwnedByteReader;
    TDBXByteReader* FByteReader = nullptr;
    TDBXCommand* FCommand = nullptr;
    std::unique_ptr<TDBXRow> FDbxRow;
};

// The parameters of a command. Statements of this system take none: only an
// empty list is supported.
class TDBXParameterList {
public:
    explicit TDBXParameterList(TDBXContextPtr Context, std::unique_ptr<TDBXRow> Row);
    ~TDBXParameterList();
    int GetCount() const { return 0; }
    // Only 0 is accepted; other counts fail with code 27.
    void SetCount(int Count);
    TDBXRow* ParameterRow() const { return FRow.get(); }

private:
    TDBXContextPtr FDBXContext;
    std::unique_ptr<TDBXRow> FRow;
};

// One statement of a connection. Created → open → prepared → executed →
// closed (and reopenable), or unusable once its connection closed.
class TDBXCommand {
public:
    TDBXCommand(TDBXContextPtr Context, TDBXConnection* Connection);
    virtual ~TDBXCommand();
    TDBXCommand(const TDBXCommand&) = delete;
    TDBXCommand& operator=(const TDBXCommand&) = delete;

    virtual void CloseReader();
    virtual void SetCommandType(const String& Value);
    virtual String GetCommandType() const { return FCommandType; }
    virtual String GetText() const { return FText; }
    virtual void SetText(const String& Value);
    virtual void SetRowSetSize(std::int64_t Value) = 0;
    virtual void SetMaxBlobSize(std::int64_t Value) = 0;
    virtual std::int64_t GetRowsAffected() = 0;
    virtual void SetCommandTimeout(int Timeout) { FCommandTimeout = Timeout; }
    virtual int GetCommandTimeout() const { return FCommandTimeout; }
    virtual std::unique_ptr<TDBXRow> CreateParameterRow();
    virtual std::unique_ptr<TDBXParameterList> CreateParameters();
    virtual TDBXParameterList& GetParameters();
    virtual void Open();
    virtual void FreeOnExecute(std::unique_ptr<TDBXFreeOnExecute> Value);
    virtual void Close();
    virtual void Prepare();
    // The reader of the statement's rows (the caller owns it), or none when
    // the statement yields no columns.
    virtual std::unique_ptr<TDBXReader> ExecuteQuery();
    virtual void ExecuteUpdate();
    virtual std::unique_ptr<TDBXReader> GetNextReader();
    // What the prepared statement reads, noted when the driver compiled it;
    // nothing when the driver cannot tell.
    virtual std::optional<TDBXStatementReads> GetStatementReads() const { return std::nullopt; }

    bool IsOpen() const { return FOpen; }
    bool IsPrepared() const { return FPrepared; }
    TDBXConnection* Connection() const { return FConnection; }
    TDBXReader* LastReader() const { return FLastReader; }
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }
    // Called by the connection when it closes: the command closes and every
    // later Open fails.
    void ConnectionClosing();

protected:
    friend class TDBXConnection;
    friend class TDBXMorphicCommand;
    friend class TDBXReader;

    virtual std::unique_ptr<TDBXReader> DerivedGetNextReader() = 0;
    virtual void DerivedOpen() = 0;
    virtual void DerivedClose() = 0;
    virtual void DerivedPrepare() = 0;
    virtual std::unique_ptr<TDBXReader> DerivedExecuteQuery() = 0;
    virtual void DerivedExecuteUpdate() = 0;
    virtual void DerivedClearParameters() {}

    // Closes the command from a destructor, swallowing failures (concrete
    // commands call it, while their Derived operations still exist).
    void CloseOnFree() noexcept;
    void LinkReader(TDBXReader& Reader);

    String FCommandType = TDBXCommandTypes::DbxSQL;
    String FText;
    TDBXReader* FLastReader = nullptr;
    bool FOpen = false;
    bool FPrepared = false;
    int FCommandTimeout = 0;
    TDBXConnection* FConnection = nullptr;
    bool FConnectionClosed = false;
    bool FListed = false;  // on FConnection's command list
    std::vector<std::unique_ptr<TDBXFreeOnExecute>> FFreeOnCloseList;
    std::unique_ptr<TDBXParameterList> FParameters;
    TDBXContextPtr FDBXContext;

private:
    void CheckText() const;
    void PrepareExecution();
    void FinishExecution(TDBXReader* Reader);
};

// The command a connection hands out: it stands in for the driver's command,
// which it creates (for its command type) on first open and owns.
class TDBXMorphicCommand : public TDBXCommand {
public:
    TDBXMorphicCommand(TDBXContextPtr Context, TDBXConnection& Connection);
    ~TDBXMorphicCommand() override;

    void CloseReader() override;
    void SetCommandType(const String& Value) override;
    void SetText(const String& Value) override;
    void SetRowSetSize(std::int64_t Value) override;
    void SetMaxBlobSize(std::int64_t Value) override;
    std::int64_t GetRowsAffected() override;
    std::unique_ptr<TDBXRow> CreateParameterRow() override;
    std::unique_ptr<TDBXParameterList> CreateParameters() override;
    TDBXParameterList& GetParameters() override;
    void FreeOnExecute(std::unique_ptr<TDBXFreeOnExecute> Value) override;
    void Prepare() override;
    std::unique_ptr<TDBXReader> ExecuteQuery() override;
    void ExecuteUpdate() override;
    std::unique_ptr<TDBXReader> GetNextReader() override;
    std::optional<TDBXStatementReads> GetStatementReads() const override;

    // The driver's command, or null before the first open.
    TDBXCommand* DriverCommand() const { return FCommand.get(); }
    std::int64_t RowSetSize() const { return FRowSetSize; }
    std::int64_t MaxBlobSize() const { return FMaxBlobSize; }

protected:
    std::unique_ptr<TDBXReader> DerivedGetNextReader() override;
    void DerivedOpen() override;
    void DerivedClose() override;
    void DerivedPrepare() override;
    std::unique_ptr<TDBXReader> DerivedExecuteQuery() override;
    void DerivedExecuteUpdate() override;
    void DerivedClearParameters() override;

private:
    TDBXConnection& FMorphConnection;
    std::unique_ptr<TDBXCommand> FCommand;
    std::int64_t FRowSetSize = 20;
    std::int64_t FMaxBlobSize = -1;
};

// One begun transaction, kept on its connection's stack.
class TDBXTransaction {
public:
    explicit TDBXTransaction(TDBXConnection* Connection, int IsolationLevel = TDBXIsolations::ReadCommitted);
    virtual ~TDBXTransaction() = default;
    TDBXConnection* Connection() const { return FConnection; }
    int IsolationLevel() const { return FIsolationLevel; }

private:
    friend class TDBXConnection;
    TDBXConnection* FConnection;
    int FIsolationLevel;
};

// The database properties a connection reads when it opens.
class TDBXDatabaseMetaData {
public:
    explicit TDBXDatabaseMetaData(TDBXContextPtr Context) : FDBXContext(std::move(Context)) {}
    // Runs the "GetDatabase" metadata command on Connection and reads its row.
    void Init(TDBXConnection& Connection);

    String FQuoteChar;
    String FProcedureQuoteChar;
    int FMaxCommands = 0;
    bool FSupportsTransactions = false;
    bool FSupportsNestedTransactions = false;
    bool FSupportsRowSetSize = false;
    String FMetaDataVersion;
    String FQuotePrefix;
    String FQuoteSuffix;
    bool FSupportsLowerCaseIdentifiers = false;
    bool FSupportsUpperCaseIdentifiers = false;
    bool FSupportsSPReturnCode = false;
    bool FSupportsParameterMetadata = false;
    bool FSupportsCatalogFunctions = false;
    bool FSupportsCatalogs = false;
    bool FSupportsSchemas = false;

private:
    TDBXContextPtr FDBXContext;
};

// A connection to one database. Owns its properties, context, database
// metadata and its reference on the driver; lists (does not own) its commands.
class TDBXConnection {
public:
    explicit TDBXConnection(TDBXConnectionBuilder& Builder);
    virtual ~TDBXConnection();
    TDBXConnection(const TDBXConnection&) = delete;
    TDBXConnection& operator=(const TDBXConnection&) = delete;

    virtual TDBXDatabaseMetaData& GetDatabaseMetaData();
    virtual TDBXProperties& GetConnectionProperties() { return *FConnectionProperties; }
    virtual void SetConnectionProperties(std::unique_ptr<TDBXProperties> Value);
    virtual TDBXTraceEvent GetTraceInfoEvent() const { return FDBXContext->OnTrace(); }
    virtual void SetTraceInfoEvent(TDBXTraceEvent Event) { FDBXContext->SetOnTrace(std::move(Event)); }
    virtual int GetTraceFlags() const { return FDBXContext->TraceFlags(); }
    virtual void SetTraceFlags(int Flags) { FDBXContext->SetTraceFlags(Flags); }
    virtual TDBXErrorEvent GetErrorEvent() const { return FDBXContext->OnError(); }
    virtual void SetErrorEvent(TDBXErrorEvent Event) { FDBXContext->SetOnError(std::move(Event)); }
    virtual bool GetIsOpen() const { return FOpen; }
    // DerivedOpen, then reads the database metadata.
    virtual void Open();
    virtual std::unique_ptr<TDBXCommand> CreateMorphCommand(TDBXMorphicCommand& MorphicCommand);
    virtual String GetProductVersion();
    virtual String GetProductName();
    virtual String GetConnectionProperty(StringView Name);
    // Closes every listed command, rolls back open transactions, DerivedClose.
    virtual void Close();
    virtual TDBXTransaction* BeginTransaction(int Isolation);
    virtual TDBXTransaction* BeginTransaction();
    // Commit or roll back Transaction (which must be on the stack, else code
    // 29), free it and every transaction begun after it, and clear the pointer.
    virtual void CommitFreeAndNil(TDBXTransaction*& Transaction);
    virtual void RollbackFreeAndNil(TDBXTransaction*& Transaction);
    virtual void RollbackIncompleteFreeAndNil(TDBXTransaction*& Transaction);
    virtual void CommitTransaction();
    virtual void RollbackTransaction();
    // A new morphic command listed on this connection; the caller owns it.
    virtual std::unique_ptr<TDBXCommand> CreateCommand();
    virtual String GetVendorProperty(StringView Name);
    // A value that differs whenever the database's content may have changed
    // since it was last read, by this connection or any other; nothing when
    // the driver cannot tell.
    virtual std::optional<TDBXDataVersion> GetDataVersion() { return std::nullopt; }
    // What Text would read, found by compiling it without running it;
    // nothing when the driver cannot tell or the text does not compile.
    virtual std::optional<TDBXStatementReads> GetStatementReads(const String&) { return std::nullopt; }

    int TransactionCount() const { return static_cast<int>(FTransactionStack.size()); }
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }
    TDBXDriver& Driver() const { return *FDriverDelegate; }
    int IsolationLevel() const { return FIsolationLevel; }
    void SetIsolationLevel(int Level) { FIsolationLevel = Level; }
    // Commands leave the list when they are freed.
    void RemoveCommand(TDBXCommand* Command);

protected:
    friend class TDBXDatabaseMetaData;

    virtual std::unique_ptr<TDBXTransaction> CreateAndBeginTransaction(int Isolation) = 0;
    virtual void Commit(TDBXTransaction& Transaction) = 0;
    virtual void Rollback(TDBXTransaction& Transaction) = 0;
    virtual std::unique_ptr<TDBXMorphicCommand> DerivedCreateCommand();
    virtual void DerivedOpen() = 0;
    virtual void DerivedGetCommandTypes(rtl::TStringList& List) = 0;
    virtual void DerivedGetCommands(const String& CommandType, rtl::TStringList& List) = 0;
    virtual void DerivedClose() = 0;

    // Closes the connection from a destructor, swallowing failures, and
    // tells the commands still listed that it is gone.
    void CloseOnFree() noexcept;

    bool FOpen = false;
    String FProductVersion;
    bool FProductVersionInitialized = false;
    int FIsolationLevel = TDBXIsolations::ReadCommitted;

private:
    void DetachCommands() noexcept;
    void FreeTransactionsDownTo(TDBXTransaction* Transaction);
    int StackIndexOf(TDBXTransaction* Transaction) const;
    // Fails with code 29 unless Transaction is on the stack.
    void CheckOnStack(TDBXTransaction* Transaction) const;
    // The last begun transaction, or null.
    TDBXTransaction* TopTransaction() const;

    // Top of the stack last.
    std::vector<std::unique_ptr<TDBXTransaction>> FTransactionStack;
    std::vector<TDBXCommand*> FCommands;
    std::unique_ptr<TDBXDriver> FDriverDelegate;
    std::unique_ptr<TDBXDatabaseMetaData> FDatabaseMetaData;
    TDBXContextPtr FDBXContext;
    std::unique_ptr<TDBXProperties> FConnectionProperties;
};

// What a driver's constructor receives.
struct TDBXDriverDef {
    String FDriverName;
    TDBXProperties* FDriverProperties = nullptr;  // may be null; not owned
    TDBXContextPtr FDBXContext;
};

using TDBXCreateCommandMethod =
    std::function<std::unique_ptr<TDBXCommand>(const TDBXContextPtr&, TDBXConnection&, TDBXMorphicCommand&)>;

// A database driver: makes connections, and driver commands by command type.
// Loaded once per process by the driver registry and freed when its last
// reference goes.
class TDBXDriver {
public:
    explicit TDBXDriver(const TDBXDriverDef& DriverDef);
    virtual ~TDBXDriver();
    TDBXDriver(const TDBXDriver&) = delete;
    TDBXDriver& operator=(const TDBXDriver&) = delete;

    virtual TDBXProperties* GetDriverProperties() { return FDriverProperties.get(); }
    virtual void InitDriverProperties(std::unique_ptr<TDBXProperties> Properties);
    virtual String GetDriverName() const { return FDriverName; }
    virtual void SetDriverName(const String& Name) { FDriverName = Name; }
    virtual std::unique_ptr<TDBXConnection> CreateConnection(TDBXConnectionBuilder& Builder) = 0;
    virtual void Close() = 0;
    // The driver command for MorphicCommand's type, from the command factory
    // of that type, else from the one registered under the empty name.
    virtual std::unique_ptr<TDBXCommand> CreateMorphCommand(const TDBXContextPtr& Context, TDBXConnection& Connection,
                                                            TDBXMorphicCommand& MorphicCommand);
    virtual void GetDriverPropertyNames(rtl::TStringList& List);
    virtual String GetDriverVersion() = 0;

    void AddCommandFactory(const String& CommandType, TDBXCreateCommandMethod Method);
    // Reference counting under the registry's lock; the last reference frees
    // the driver through the registry.
    virtual void AddReference();
    virtual void RemoveReference();
    // Keeps the driver loaded until the process ends (once per driver).
    void CacheUntilFinalization();
    void UncacheAtFinalization();
    void LoadMetaDataCommandFactory(const String& ClassName, const String& ModuleName);
    int ReferenceCount() const { return FReferenceCount; }
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }

protected:
    String FDriverName;
    int FReferenceCount = 0;
    std::unique_ptr<TDBXProperties> FDriverProperties;
    std::unique_ptr<TDBXCommandFactory> FMetaDataCommandFactory;
    bool FCachedUntilFinalization = false;
    TDBXContextPtr FDBXContext;
    std::unordered_map<String, TDBXCreateCommandMethod, rtl::TextHasher, rtl::TextEqual> FCommandFactories;
};

}  // namespace sql
