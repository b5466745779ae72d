#pragma once
// The SQL datasets: TCustomSQLDataSet runs one statement through a
// TSQLConnection and reads its rows forward once, each field value straight
// from the driver's current row; TSQLQuery takes the statement as lines,
// TSQLDataSet as one command text. The record count comes from a count
// statement derived from the statement text.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "data/dataset.h"
#include "rtl/string_list.h"
#include "sql/dbx_types.h"

namespace sql {

using rtl::String;
using rtl::StringView;

class TDBXByteReader;
class TDBXCommand;
class TDBXReader;
class TDBXValueByteReader;
class TSQLConnection;
struct TCountDerivation;

// One column's description as the driver gives it.
struct TFLDDesc {
    std::int16_t iFldNum = 0;
    String szName;
    std::int16_t iFldType = 0;
    std::int16_t iSubType = 0;
    // Precision (or length) and scale: 32 bits, so that a declared length
    // above 32767 characters is not wrapped into a negative size.
    std::int32_t iUnits1 = 0;
    std::int32_t iUnits2 = 0;
    std::int32_t iOffset = 0;
    std::int32_t iLen = 0;
    std::int32_t iNullOffset = 0;
    std::int32_t efldvVchk = 0;
    std::int32_t efldrRights = 0;
    bool bCalcField = false;
};

// The field type of a driver data type code (ftUnknown for codes without one).
data::TFieldType FieldTypeOfDataType(int DataType);
// The field type of a blob sub-type (22 to 36; ftBlob for others).
data::TFieldType FieldTypeOfBlobSubType(int SubType);

class TCustomSQLDataSet : public data::TDataSet {
public:
    explicit TCustomSQLDataSet(rtl::TComponent* AOwner);
    // Closes and unprepares, and leaves the connection's client list.
    ~TCustomSQLDataSet() override;

    TSQLConnection* SQLConnection() const { return FSQLConnection; }
    virtual void SetConnection(TSQLConnection* Value);
    void SetSQLConnection(TSQLConnection* Value) { SetConnection(Value); }
    const String& CommandText() const { return FCommandText; }
    virtual void SetCommandText(const String& Value);
    data::TPSCommandType CommandType() const { return FCommandType; }
    virtual void SetCommandType(data::TPSCommandType Value);
    const String& DbxCommandType() const { return FDbxCommandType; }
    // The driver command type the statement runs as ("Dbx.SQL", or
    // "Dbx.MetaData" for the driver's metadata commands); refused while
    // active, and unprepares.
    virtual void SetDbxCommandType(const String& Value);
    const String& NativeCommand() const { return FNativeCommand; }
    int MaxBlobSize() const { return FMaxBlobSize; }
    void SetMaxBlobSize(int Value) { FMaxBlobSize = Value; }
    bool ParamCheck() const { return FParamCheck; }
    void SetParamCheck(bool Value) { FParamCheck = Value; }
    data::TParams& Params() { return FParams; }
    bool NumericMapping() const { return FNumericMapping; }
    void SetNumericMapping(bool Value) { FNumericMapping = Value; }

    bool Prepared() const { return FPrepared; }
    void SetPrepared(bool Value);
    // The driver command, or null while unprepared.
    TDBXCommand* DBXCommand() const { return FDBXCommand.get(); }
    TDBXReader* DBXReader() const { return FDBXReader.get(); }
    std::int64_t RowsAffected() const { return FRowsAffected; }
    // Runs the statement without opening a cursor (preparing it when not
    // prepared; a prepared one runs again) and gives the rows it changed.
    // Refused while active.
    virtual int ExecSQL();

    // Frees the driver command (and reader); the field definitions must be
    // read again.
    void FreeCommand();
    // Called by a connection that goes away: closes and forgets it.
    void DetachConnection();

    using data::TDataSet::GetFieldData;
    bool GetFieldData(data::TField* Field, void* Buffer) override;
    std::unique_ptr<rtl::TStream> CreateBlobStream(data::TField* Field, data::TBlobStreamMode Mode) override;
    int GetBlobFieldData(int FieldNo, rtl::TBytes& Buffer) override;
    void SetFieldData(data::TField* Field, const void* Buffer) override;
    void SetFieldData(data::TField* Field, const void* Buffer, bool NativeFormat) override;
    bool IsSequenced() override { return false; }

    // Provider support.
    void PSGetAttributes(data::TPacketAttributeList& List) override;
    data::TPSCommandType PSGetCommandType() override { return FCommandType; }
    String PSGetCommandText() override { return FCommandText; }
    const data::TIndexDef* PSGetDefaultOrder() override { return nullptr; }
    // PSGetKeyFields is the dataset core's (the fields flagged as key
    // fields): the index metadata that would name a key otherwise is never
    // fetched by these datasets.
    data::TParams* PSGetParams() override { return &FParams; }
    String PSGetQuoteChar() override;
    String PSGetTableName() override;
    data::TIndexDefs PSGetIndexDefs(data::TIndexOptions IndexTypes) override;
    bool PSInTransaction() override;
    bool PSIsSQLBased() override;
    bool PSIsSQLSupported() override { return true; }
    void PSReset() override;
    void PSSetCommandText(StringView CommandText) override;
    void PSSetParams(data::TParams* AParams) override;
    bool PSUpdateRecord(data::TUpdateStatus UpdateKind, data::TDataSet* Delta) override;

    // Runs the one-value count statement Query on a driver command of its own
    // on Connection, as a TSQLDataSet of its own would, and gives its first
    // value as an integer; any failure reports "[0x0005]: Operation Not Supported".
    static int GetRows(const String& Query, TSQLConnection& Connection);

protected:
    void OpenCursor(bool InfoQuery) override;
    void CloseCursor() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalHandleException() override {}
    void InternalInitFieldDefs() override;
    bool IsCursorOpen() override { return FDBXReader != nullptr; }
    void InternalRefresh() override;
    data::TGetResult GetRecord(data::TRecordBuffer Buffer, data::TGetMode GetMode, bool DoCheck) override;
    data::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(data::TRecordBuffer& Buffer) override;
    int GetRecordSize() override { return 0; }
    int GetRecordCount() override;
    bool GetCanModify() override { return false; }
    bool GetCanRefresh() override { return true; }
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    virtual void PrepareStatement();
    void CheckStatement();
    void ExecuteStatement();
    void LoadFieldDef(int FieldID, TFLDDesc& FldDesc);
    void AddFieldDesc(const TFLDDesc& FldDesc, int& FieldNo, bool Required);
    // Rebuilds FParams from the command text (with ParamCheck).
    void ScanParams();
    // Tells the dataset's views that a property changed and forgets the count.
    void PropertyChanged();

    TSQLConnection* FSQLConnection = nullptr;
    String FCommandText;
    data::TPSCommandType FCommandType = data::ctQuery;
    String FDbxCommandType;
    String FNativeCommand;
    data::TParams FParams;
    bool FParamCheck = true;
    bool FPrepared = false;
    std::unique_ptr<TDBXCommand> FDBXCommand;
    std::unique_ptr<TDBXReader> FDBXReader;
    int FRecords = -1;
    std::int64_t FRowsAffected = 0;
    int FMaxBlobSize = 0;
    rtl::TBytes FFieldBuffer;
    rtl::TBytes FBlobBuffer;
    bool FNumericMapping = false;
    data::TIndexDefs FIndexDefs;
    bool FCheckRowsAffected = false;
    bool FActiveCounted = false;  // counted among the connection's active statements

private:
    void FreeReader();
    // The reader's byte reader, or one over its value objects when the
    // driver gave it none. Only while a reader is open.
    TDBXByteReader& ByteReader();
    // Reads the blob of the active row's column FieldNo into FBlobBuffer;
    // gives its length in bytes.
    std::int64_t ReadBlob(int FieldNo);
    std::int64_t BlobLength(int FieldNo);
    int ColumnDataType(int FieldNo) const;

    // The number of rows a read of the statement to its end found, when the
    // count statement would certainly count the same (nothing otherwise).
    std::optional<int> CountFromCompleteRead(const TCountDerivation& Count);

    std::vector<int> FColumnTypes;                          // driver data type of each column
    std::unique_ptr<TDBXValueByteReader> FValueByteReader;  // made by ByteReader, freed with the reader
    data::TRecordBufferPool FRecordBuffers;
    // Rows the reader gave since the statement last ran, and the database's
    // version as the run started; what the last read to the end of the
    // prepared statement found, and the version as that read started.
    // Forgotten with the prepared statement.
    int FRowsRead = 0;
    std::optional<TDBXDataVersion> FReadVersion;
    std::optional<int> FCompleteRows;
    std::optional<TDBXDataVersion> FCompleteVersion;
};

// A dataset on the statement held as lines in SQL.
class TSQLQuery : public TCustomSQLDataSet {
public:
    explicit TSQLQuery(rtl::TComponent* AOwner);
    rtl::TStringList& SQL() { return FSQL; }
    // Replaces the lines; closes the dataset only when the text differs.
    void SetSQL(const rtl::TStringList& Value);
    const String& Text() const { return FText; }

private:
    void QueryChanged();

    rtl::TStringList FSQL;
    String FText;
};

// A dataset on one command text.
class TSQLDataSet : public TCustomSQLDataSet {
public:
    explicit TSQLDataSet(rtl::TComponent* AOwner);
};

}  // namespace sql
