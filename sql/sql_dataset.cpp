#include "sql/sql_dataset.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "data/db_error.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/stream.h"
#include "sql/dbx_common.h"
#include "sql/dbx_value_byte_reader.h"
#include "sql/sql_connection.h"
#include "sql/sql_tokenizer.h"

namespace sql {

using namespace data;

namespace {

constexpr const char16_t* SMissingSQL = u"Missing query, table name or procedure name";
constexpr const char16_t* SMissingSQLConnection = u"SQLConnection property required for this operation";
constexpr const char16_t* SNoSQLStatement = u"No SQL statement available";
constexpr const char16_t* SNoCursor = u"Cursor not returned from Query";
constexpr const char16_t* SPrepareError = u"Unable to execute Query";
constexpr const char16_t* SNotSupported = u"[0x0005]: Operation Not Supported";

constexpr std::int64_t kBlobChunk = 32768;

// The types whose definition's size raises MaxBlobSize: the blob types,
// except a typed binary, which the rule leaves out.
bool IsBlobLike(TFieldType Type) { return IsBlobType(Type) && Type != ftTypedBinary; }

std::span<std::uint8_t> Span(rtl::TBytes& Bytes, std::size_t Size) {
    return std::span<std::uint8_t>(Bytes.data(), std::min(Size, Bytes.size()));
}

}  // namespace

TFieldType FieldTypeOfDataType(int DataType) {
    static constexpr TFieldType kMap[] = {
        // clang-format off
        ftUnknown,  ftString,   ftDate,      ftBlob,      ftBoolean,   ftSmallint, ftInteger, ftFloat,
        ftFMTBcd,   ftBytes,    ftTime,      ftDateTime,  ftWord,      ftInteger,  ftUnknown, ftVarBytes,
        ftUnknown,  ftCursor,   ftLargeint,  ftLargeint,  ftADT,       ftArray,    ftReference, ftDataSet,
        ftTimeStamp, ftBCD,     ftWideString, ftSingle,   ftShortint,  ftByte,     ftUnknown, ftUnknown,
        ftUnknown,  ftUnknown,  ftUnknown,   ftVariant,   ftTimeStampOffset, ftObject, ftObject,
    };
    // clang-format on
    if (DataType < 0 || DataType >= static_cast<int>(std::size(kMap))) return ftUnknown;
    return kMap[DataType];
}

TFieldType FieldTypeOfBlobSubType(int SubType) {
    static constexpr TFieldType kMap[] = {
        // clang-format off
        ftMemo, ftBlob, ftFmtMemo, ftParadoxOle, ftGraphic, ftDBaseOle, ftTypedBinary, ftBlob,
        ftBlob, ftBlob, ftWideMemo, ftOraClob,   ftOraBlob, ftBlob,     ftBlob,
    };
    // clang-format on
    if (SubType < TDBXSubDataTypes::MemoSubType || SubType > TDBXSubDataTypes::LastBlobSubType) return ftBlob;
    return kMap[SubType - TDBXSubDataTypes::MemoSubType];
}

// ---- TCustomSQLDataSet -------------------------------------------------------

TCustomSQLDataSet::TCustomSQLDataSet(rtl::TComponent* AOwner)
    : TDataSet(AOwner), FDbxCommandType(TDBXCommandTypes::DbxSQL) {
    FIsUniDirectional = true;
}

TCustomSQLDataSet::~TCustomSQLDataSet() {
    Destroying();
    try {
        Close();
    } catch (const rtl::Exception&) {
        // Destruction goes on whatever closing reported.
    }
    FreeCommand();
    if (FSQLConnection) FSQLConnection->UnRegisterClient(this);
}

void TCustomSQLDataSet::SetConnection(TSQLConnection* Value) {
    if (Value == FSQLConnection) return;
    CheckInactive();
    FreeCommand();  // a prepared command belongs to its connection
    if (FSQLConnection) FSQLConnection->UnRegisterClient(this);
    FSQLConnection = Value;
    if (!Value) return;
    Value->RegisterClient(this);
    if (FMaxBlobSize == 0) {
        const auto size = rtl::TryStrToInt(rtl::Trim(Value->Params().Values(u"BlobSize")));
        FMaxBlobSize = size.value_or(-1);
    }
}

void TCustomSQLDataSet::DetachConnection() {
    try {
        Close();
    } catch (const rtl::Exception&) {
    }
    FreeCommand();
    FSQLConnection = nullptr;
}

void TCustomSQLDataSet::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TDataSet::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && AComponent == FSQLConnection) {
        FreeCommand();
        FSQLConnection = nullptr;
    }
}

void TCustomSQLDataSet::SetCommandText(const String& Value) {
    if (Value == FCommandText) return;
    CheckInactive();
    SetPrepared(false);
    FCommandText = Value;
    FNativeCommand.clear();
    ScanParams();
    PropertyChanged();
}

void TCustomSQLDataSet::SetCommandType(TPSCommandType Value) {
    if (Value == FCommandType) return;
    CheckInactive();
    SetPrepared(false);
    FCommandType = Value;
    PropertyChanged();
}

void TCustomSQLDataSet::SetDbxCommandType(const String& Value) {
    if (Value == FDbxCommandType) return;
    CheckInactive();
    SetPrepared(false);  // the prepared command is of the old type
    FDbxCommandType = Value;
    PropertyChanged();
}

int TCustomSQLDataSet::ExecSQL() {
    CheckInactive();
    SetPrepared(true);
    if (!FDBXCommand) DatabaseError(SPrepareError);
    FDBXCommand->ExecuteUpdate();
    FRowsAffected = FDBXCommand->GetRowsAffected();
    FCheckRowsAffected = false;
    FRecords = -1;
    return static_cast<int>(FRowsAffected);
}

void TCustomSQLDataSet::ScanParams() {
    if (!FParamCheck) return;
    FParams.Clear();
    for (const String& name : ParseSQLParams(FCommandText).Names)
        FParams.Add(TParam{name, ftUnknown, ptInput, rtl::Variant()});
}

void TCustomSQLDataSet::PropertyChanged() {
    FRecords = -1;
    if (!ComponentState().Contains(rtl::csLoading)) DataEvent(dePropertyChange, 0);
}

// ---- preparing and opening

void TCustomSQLDataSet::FreeReader() {
    FValueByteReader.reset();
    FDBXReader.reset();
}

TDBXByteReader& TCustomSQLDataSet::ByteReader() {
    if (FDBXReader->HasByteReader()) return FDBXReader->GetByteReader();
    // A reader that serves its values only is read through its value objects.
    if (!FValueByteReader) FValueByteReader = std::make_unique<TDBXValueByteReader>(*FDBXReader);
    return *FValueByteReader;
}

void TCustomSQLDataSet::FreeCommand() {
    FreeReader();
    FDBXCommand.reset();
    FCompleteRows.reset();
    FCompleteVersion.reset();
    FPrepared = false;
    FieldDefs().SetUpdated(false);
    FIndexDefs.clear();
}

void TCustomSQLDataSet::SetPrepared(bool Value) {
    if (Value) {
        if (!FSQLConnection) DatabaseError(SMissingSQLConnection);
        FSQLConnection->CheckConnection(eConnect);
    }
    FreeReader();
    if (FPrepared == Value) return;
    if (Value) {
        FRowsAffected = -1;
        FCheckRowsAffected = true;
        try {
            PrepareStatement();
        } catch (...) {
            FreeCommand();
            throw;
        }
        FPrepared = true;
    } else {
        try {
            if (FCheckRowsAffected && FDBXCommand) FRowsAffected = FDBXCommand->GetRowsAffected();
            FCheckRowsAffected = false;
            FreeCommand();
            if (FSQLConnection) FSQLConnection->CheckDisconnect();
        } catch (const rtl::Exception&) {
            FreeCommand();
        }
        FPrepared = false;
    }
}

void TCustomSQLDataSet::PrepareStatement() {
    if (FCommandText.empty()) DatabaseError(SNoSQLStatement, this);
    std::size_t pos = 0;
    String token;
    if (NextSQLTokenEx(FCommandText, pos, token, stUnknown, idMixCase) == stSelect)
        FSQLConnection->IncSelectStatements();
    CheckStatement();
    FDBXCommand->SetCommandType(FDbxCommandType);
    FDBXCommand->SetText(FNativeCommand);
    FDBXCommand->GetParameters().SetCount(FParams.Count());
    FDBXCommand->Prepare();
}

void TCustomSQLDataSet::CheckStatement() {
    TDBXConnection* connection = FSQLConnection->DBXConnection();
    if (!connection) DatabaseError(SMissingSQLConnection);
    FDBXCommand.reset();
    FDBXCommand = connection->CreateCommand();
    FDBXCommand->SetCommandType(FDbxCommandType);
    if (connection->GetDatabaseMetaData().FSupportsRowSetSize)
        FDBXCommand->SetRowSetSize(rtl::TryStrToInt(FSQLConnection->Params().Values(u"RowsetSize")).value_or(20));
    if (FNativeCommand.empty())
        FNativeCommand = FParams.Count() > 0 ? ParseSQLParams(FCommandText).NativeText : FCommandText;
}

void TCustomSQLDataSet::OpenCursor(bool InfoQuery) {
    if (FCommandText.empty()) DatabaseError(SMissingSQL);
    if (!FSQLConnection) DatabaseError(SMissingSQLConnection);
    FSQLConnection->CheckConnection(eConnect);
    // Read before the statement is prepared and runs: a change committed
    // while the rows are read then shows as a difference from it, and
    // nothing runs between the prepare and the first step.
    TDBXConnection* connection = FSQLConnection->DBXConnection();
    FReadVersion = connection ? connection->GetDataVersion() : std::nullopt;
    SetPrepared(true);
    if (!FDBXCommand) DatabaseError(SPrepareError);
    FSQLConnection->IncActiveStatements();
    FActiveCounted = true;
    TDataSet::OpenCursor(InfoQuery);
}

void TCustomSQLDataSet::ExecuteStatement() {
    FValueByteReader.reset();
    FDBXReader = FDBXCommand->ExecuteQuery();
    FRecords = -1;
    FRowsRead = 0;
}

void TCustomSQLDataSet::InternalOpen() {
    ExecuteStatement();
    if (!FDBXReader) {
        FreeCommand();
        DatabaseError(SNoCursor, this);
    }
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    if (FMaxBlobSize > 0) FBlobBuffer.resize(static_cast<std::size_t>(FMaxBlobSize) * 1024);
}

// ---- field definitions

void TCustomSQLDataSet::InternalInitFieldDefs() {
    if (!FDBXReader) DatabaseError(SDataSetClosed, this);
    const int count = FDBXReader->GetColumnCount();
    FieldDefs().Clear();
    FColumnTypes.assign(static_cast<std::size_t>(count), TDBXDataTypes::UnknownType);
    int fieldNo = 1;
    for (int i = 1; i <= count; ++i) {
        const bool required = !FDBXReader->GetValueType(i - 1).IsNullable();
        TFLDDesc desc;
        LoadFieldDef(i, desc);
        AddFieldDesc(desc, fieldNo, required);
    }
    FieldDefs().SetUpdated(true);
}

void TCustomSQLDataSet::LoadFieldDef(int FieldID, TFLDDesc& FldDesc) {
    const TDBXValueType& type = FDBXReader->GetValueType(FieldID - 1);
    FldDesc.iFldNum = static_cast<std::int16_t>(FieldID);
    FldDesc.szName = type.GetName();
    FldDesc.iFldType = static_cast<std::int16_t>(type.GetDataType());
    FldDesc.iSubType = static_cast<std::int16_t>(type.GetSubType());
    FldDesc.iLen = static_cast<std::int32_t>(type.GetSize());
    FldDesc.iUnits1 = static_cast<std::int32_t>(type.GetPrecision());
    FldDesc.iUnits2 = type.GetScale();
    if (type.GetFlags() & TDBXValueTypeFlags::ReadOnly) FldDesc.efldrRights = 1;
    if (FldDesc.iUnits1 == 0) {
        switch (FldDesc.iFldType) {
            case TDBXDataTypes::AnsiStringType: FldDesc.iUnits1 = FldDesc.iLen; break;
            case TDBXDataTypes::BytesType:
            case TDBXDataTypes::VarBytesType:
                FldDesc.iUnits1 = FldDesc.iUnits2;
                FldDesc.iLen = FldDesc.iUnits2;
                break;
            case TDBXDataTypes::WideStringType:
                FldDesc.iUnits1 = FldDesc.iLen == 0 && !FDBXCommand ? 128 : FldDesc.iLen;
                break;
            default: break;
        }
    }
}

void TCustomSQLDataSet::AddFieldDesc(const TFLDDesc& FldDesc, int& FieldNo, bool Required) {
    const String name = FieldDefs().UniqueName(FldDesc.szName);

    int dataType = FldDesc.iFldType;
    TFieldType fieldType = dataType >= TDBXDataTypes::MaxBaseTypes ? ftUnknown : FieldTypeOfDataType(dataType);
    int size = 0;
    int precision = 0;
    int units1 = FldDesc.iUnits1;
    int units2 = FldDesc.iUnits2;
    switch (dataType) {
        case TDBXDataTypes::AnsiStringType:
        case TDBXDataTypes::WideStringType:
            size = units1;
            if (units1 == 0) fieldType = ftUnknown;
            break;
        case TDBXDataTypes::BlobType:
            size = units1;
            if (FldDesc.iSubType >= TDBXSubDataTypes::MemoSubType &&
                FldDesc.iSubType <= TDBXSubDataTypes::LastBlobSubType)
                fieldType = FieldTypeOfBlobSubType(FldDesc.iSubType);
            break;
        case TDBXDataTypes::Int16Type:
        case TDBXDataTypes::UInt16Type:
            if (FldDesc.iLen != 2) fieldType = ftUnknown;
            break;
        case TDBXDataTypes::Int32Type:
            if (FldDesc.iSubType == TDBXSubDataTypes::AutoIncSubType) {
                fieldType = ftAutoInc;
                Required = false;
            }
            break;
        case TDBXDataTypes::DoubleType:
            if (FldDesc.iSubType == TDBXSubDataTypes::MoneySubType) fieldType = ftCurrency;
            break;
        case TDBXDataTypes::BcdType:
        case TDBXDataTypes::CurrencyType:
            units2 = std::abs(units2);
            units1 = std::max(units1, units2);
            if (units1 > 14 || units2 > 4 || FNumericMapping) {
                fieldType = ftFMTBcd;
                dataType = TDBXDataTypes::BcdType;
                units1 = std::min(units1, 32);
            }
            size = units2;
            precision = units1;
            break;
        case TDBXDataTypes::BytesType:
        case TDBXDataTypes::VarBytesType:
        case TDBXDataTypes::RefType:
            size = units1;
            if (units1 == 0) fieldType = ftUnknown;
            break;
        case TDBXDataTypes::AdtType:
        case TDBXDataTypes::ArrayType:
            size = units2;
            precision = units1;
            break;
        default: break;
    }

    TFieldDef* def = FieldDefs().AddFieldDef();
    def->SetName(name);
    def->SetDataType(fieldType);
    if (size != 0) def->SetSize(size);
    def->SetPrecision(precision);
    def->SetFieldNo(FieldNo);
    TFieldAttributes attributes;
    if (Required) attributes.Include(faRequired);
    if (FldDesc.efldrRights == 1) attributes.Include(faReadonly);
    if (FldDesc.iSubType == TDBXSubDataTypes::FixedSubType) attributes.Include(faFixed);
    def->SetAttributes(attributes);
    def->SetInternalCalcField(FldDesc.bCalcField);
    if (FieldNo - 1 < static_cast<int>(FColumnTypes.size())) FColumnTypes[FieldNo - 1] = dataType;
    ++FieldNo;

    if (IsBlobLike(fieldType) && def->Size() > FMaxBlobSize) FMaxBlobSize = def->Size();
}

// ---- fetching

TRecordBuffer TCustomSQLDataSet::AllocRecordBuffer() {
    // The record buffer holds no values (they are read from the driver's
    // current row); only the calculated fields keep something.
    return FRecordBuffers.Alloc(static_cast<std::size_t>(std::max(FCalcFieldsSize, 1)));
}

void TCustomSQLDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) { FRecordBuffers.Free(Buffer); }

TGetResult TCustomSQLDataSet::GetRecord(TRecordBuffer Buffer, TGetMode, bool DoCheck) {
    if (!FDBXReader || FDBXReader->Closed()) return grEOF;
    try {
        if (!FDBXReader->Next()) {
            FCompleteRows = FRowsRead;
            FCompleteVersion = FReadVersion;
            return grEOF;
        }
        ++FRowsRead;
    } catch (const rtl::Exception&) {
        if (DoCheck) throw;
        return grError;
    }
    if (FCalcFieldsSize > 0) GetCalcFields(Buffer);
    return grOK;
}

int TCustomSQLDataSet::ColumnDataType(int FieldNo) const {
    if (FieldNo < 1 || FieldNo > static_cast<int>(FColumnTypes.size())) return TDBXDataTypes::UnknownType;
    return FColumnTypes[FieldNo - 1];
}

bool TCustomSQLDataSet::GetFieldData(TField* Field, void* Buffer) {
    const int fieldNo = Field->FieldNo();
    if (fieldNo < 1) return false;
    if (Eof() && !Bof()) return false;  // past the last row: the reader has ended
    if (!FDBXReader || FDBXReader->Closed()) return false;
    TDBXByteReader& reader = ByteReader();
    const int ordinal = fieldNo - 1;
    bool isNull = false;
    std::size_t size = 0;
    // Sizes and zero-fills the field buffer; gives the part a getter may write.
    auto prepare = [&](std::size_t bytes, std::size_t reserved) {
        size = bytes;
        if (FFieldBuffer.size() < bytes) FFieldBuffer.resize(bytes);
        std::fill_n(FFieldBuffer.begin(), bytes, std::uint8_t{0});
        return Span(FFieldBuffer, bytes > reserved ? bytes - reserved : 0);
    };
    // Reserved bytes at the end stay zero: text cut to the field's size keeps
    // its terminator.
    auto readInto = [&](std::size_t bytes, auto getter, std::size_t reserved = 0) {
        (reader.*getter)(ordinal, prepare(bytes, reserved), 0, isNull);
    };
    const auto dataSize = static_cast<std::size_t>(std::max(Field->DataSize(), 0));
    switch (ColumnDataType(fieldNo)) {
        case TDBXDataTypes::WideStringType: readInto(dataSize, &TDBXByteReader::GetWideString, 2); break;
        case TDBXDataTypes::AnsiStringType: readInto(dataSize, &TDBXByteReader::GetAnsiString, 1); break;
        case TDBXDataTypes::Int64Type:
        case TDBXDataTypes::UInt64Type: readInto(8, &TDBXByteReader::GetInt64); break;
        case TDBXDataTypes::Int32Type:
        case TDBXDataTypes::UInt32Type: readInto(4, &TDBXByteReader::GetInt32); break;
        case TDBXDataTypes::BooleanType: readInto(2, &TDBXByteReader::GetBoolean); break;
        case TDBXDataTypes::Int16Type: readInto(2, &TDBXByteReader::GetInt16); break;
        case TDBXDataTypes::UInt16Type: readInto(2, &TDBXByteReader::GetUInt16); break;
        case TDBXDataTypes::Int8Type: readInto(1, &TDBXByteReader::GetInt8); break;
        case TDBXDataTypes::UInt8Type: readInto(1, &TDBXByteReader::GetUInt8); break;
        case TDBXDataTypes::DoubleType: readInto(8, &TDBXByteReader::GetDouble); break;
        case TDBXDataTypes::SingleType: readInto(4, &TDBXByteReader::GetSingle); break;
        case TDBXDataTypes::DateType: readInto(dataSize, &TDBXByteReader::GetDate); break;
        case TDBXDataTypes::TimeType: readInto(dataSize, &TDBXByteReader::GetTime); break;
        case TDBXDataTypes::TimeStampType:
        case TDBXDataTypes::DateTimeType: readInto(dataSize, &TDBXByteReader::GetTimeStamp); break;
        case TDBXDataTypes::TimeStampOffsetType: readInto(dataSize, &TDBXByteReader::GetTimeStampOffset); break;
        case TDBXDataTypes::BcdType:
        case TDBXDataTypes::CurrencyType: readInto(dataSize, &TDBXByteReader::GetBcd); break;
        case TDBXDataTypes::BlobType: {
            // Only whether a value exists; the bytes come through the blob stream.
            std::int64_t length = 0;
            reader.GetByteLength(ordinal, length, isNull);
            return !isNull;
        }
        default: reader.GetBytes(ordinal, 0, prepare(dataSize, 0), 0, static_cast<std::int64_t>(dataSize), isNull);
    }
    if (isNull) return false;
    if (Buffer && size > 0) std::memcpy(Buffer, FFieldBuffer.data(), size);
    return true;
}

void TCustomSQLDataSet::SetFieldData(TField*, const void*) { DatabaseError(SDataSetReadOnly, this); }
void TCustomSQLDataSet::SetFieldData(TField*, const void*, bool) { DatabaseError(SDataSetReadOnly, this); }

// ---- blobs

std::int64_t TCustomSQLDataSet::BlobLength(int FieldNo) {
    if ((Eof() && !Bof()) || FMaxBlobSize == 0 || !FDBXReader || FDBXReader->Closed()) return 0;
    std::int64_t length = 0;
    bool isNull = false;
    ByteReader().GetByteLength(FieldNo - 1, length, isNull);
    return isNull ? 0 : length;
}

std::int64_t TCustomSQLDataSet::ReadBlob(int FieldNo) {
    std::int64_t length = BlobLength(FieldNo);
    if (length == 0) return 0;  // no value, no row, or blobs read as empty
    TDBXByteReader& reader = ByteReader();
    bool isNull = false;
    if (length == -1) {
        if (FMaxBlobSize == -1) {
            // Unknown length and no limit: read chunk by chunk.
            std::int64_t total = 0;
            for (;;) {
                if (static_cast<std::int64_t>(FBlobBuffer.size()) < total + kBlobChunk)
                    FBlobBuffer.resize(static_cast<std::size_t>(total + kBlobChunk));
                const std::int64_t got = reader.GetBytes(FieldNo - 1, total, FBlobBuffer, total, kBlobChunk, isNull);
                total += std::max<std::int64_t>(got, 0);
                if (got < kBlobChunk) break;
            }
            return total;
        }
        length = static_cast<std::int64_t>(FMaxBlobSize) * 1024;
    }
    if (static_cast<std::int64_t>(FBlobBuffer.size()) < length) FBlobBuffer.resize(static_cast<std::size_t>(length));
    return reader.GetBytes(FieldNo - 1, 0, FBlobBuffer, 0, length, isNull);
}

int TCustomSQLDataSet::GetBlobFieldData(int FieldNo, rtl::TBytes& Buffer) {
    if (!Active()) DatabaseError(SDataSetClosed);
    const std::int64_t length = ReadBlob(FieldNo);
    Buffer.assign(FBlobBuffer.begin(), FBlobBuffer.begin() + length);
    return static_cast<int>(length);
}

std::unique_ptr<rtl::TStream> TCustomSQLDataSet::CreateBlobStream(TField* Field, TBlobStreamMode) {
    if (!Active()) DatabaseError(SDataSetClosed);
    auto stream = std::make_unique<rtl::TMemoryStream>();
    const std::int64_t length = ReadBlob(Field->FieldNo());
    stream->WriteBuffer(FBlobBuffer.data(), length);
    stream->SetPosition(0);
    return stream;
}

// ---- closing and refreshing

void TCustomSQLDataSet::CloseCursor() {
    TDataSet::CloseCursor();
    if (FActiveCounted && FSQLConnection) FSQLConnection->DecActiveStatements();
    FActiveCounted = false;
}

void TCustomSQLDataSet::InternalClose() {
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    FBlobBuffer.clear();
    // A connection that stays open keeps the prepared command for the next open.
    if (FSQLConnection && (FSQLConnection->KeepConnection() || FSQLConnection->DataSetCount() > 1)) FreeReader();
    else SetPrepared(false);
}

void TCustomSQLDataSet::InternalRefresh() {
    SetState(dsInactive);
    CloseCursor();
    OpenCursor(false);
    SetState(dsBrowse);
}

void TCustomSQLDataSet::PSReset() {
    TDataSet::PSReset();
    // At the beginning the dataset is not closed and opened again: it stands
    // on the first row of the run it just made, and a second run would
    // only compute the same rows once more. A count taken before the reset
    // is dropped all the same, as a new run would drop it: the database may
    // have changed since, and a count is asked for after the rows are read.
    if (Active() && !Bof()) First();  // a forward-only dataset closes and opens again
    else FRecords = -1;
}

// ---- record count

int TCustomSQLDataSet::GetRecordCount() {
    if (FRecords != -1) return FRecords;
    if (!FSQLConnection) DatabaseError(SMissingSQLConnection);
    FSQLConnection->CheckConnection(eConnect);
    if (FCommandText.empty()) DatabaseError(SMissingSQL);
    const String quote = FSQLConnection->GetQuoteChar();
    String query = u"select count(*) from ";
    switch (FCommandType) {
        case ctQuery: {
            if (FParams.Count() > 0) DatabaseError(SNotSupported);
            const std::optional<TCountDerivation> count =
                DeriveCountStatement(FCommandText, quote, FSQLConnection->GetIdOption());
            if (!count) DatabaseError(SNotSupported);
            if (const std::optional<int> rows = CountFromCompleteRead(*count)) {
                FRecords = *rows;
                return FRecords;
            }
            query = count->Statement;
            break;
        }
        case ctTable: query += quote + FCommandText + quote; break;
        default: DatabaseError(SNotSupported);
    }
    FRecords = GetRows(query, *FSQLConnection);
    return FRecords;
}

std::optional<int> TCustomSQLDataSet::CountFromCompleteRead(const TCountDerivation& Count) {
    if (!FCompleteRows || !FCompleteVersion) return std::nullopt;
    const std::optional<TPlainSelect> shape = ParsePlainSelect(FCommandText);
    if (!shape) return std::nullopt;
    // The count statement filters as the read did only when the WHERE and
    // ORDER BY it was cut at are the statement's own.
    if (shape->WhereAt != Count.WhereAt || (Count.WhereAt != StringView::npos && shape->OrderByAt != Count.OrderByAt))
        return std::nullopt;
    // A read that stopped at the limit may have left rows behind.
    if (shape->Limit && *FCompleteRows >= *shape->Limit) return std::nullopt;
    // Nothing may have changed the database, its schema or the connection's
    // settings since the read started.
    TDBXConnection* connection = FSQLConnection->DBXConnection();
    if (!connection || connection->GetDataVersion() != FCompleteVersion) return std::nullopt;
    // The count statement must compile, read the same tables as the
    // statement and, like it, give a result that depends on them alone.
    const std::optional<TDBXStatementReads> read = FDBXCommand ? FDBXCommand->GetStatementReads() : std::nullopt;
    if (!read || !read->Repeatable || read->Tables.empty()) return std::nullopt;
    if (connection->GetStatementReads(Count.Statement) != read) return std::nullopt;
    return FCompleteRows;
}

int TCustomSQLDataSet::GetRows(const String& Query, TSQLConnection& Connection) {
    int rows = -1;
    bool ran = false;
    // The count runs at start-up and after every search that matches more
    // rows than are read, so it runs on a driver command of its own rather
    // than in a TSQLDataSet of its own: the same statement, the same value
    // and the same failures, without the field definitions, fields and
    // record buffers such a dataset would build and free for one value.
    try {
        Connection.CheckConnection(eConnect);
        TDBXConnection* connection = Connection.DBXConnection();
        if (!connection) DatabaseError(SMissingSQLConnection);
        const String text = rtl::Trim(Query);
        std::size_t pos = 0;
        String token;
        if (NextSQLTokenEx(text, pos, token, stUnknown, idMixCase) == stSelect) Connection.IncSelectStatements();
        std::unique_ptr<TDBXCommand> command = connection->CreateCommand();
        command->SetCommandType(TDBXCommandTypes::DbxSQL);
        command->SetText(text);
        command->GetParameters().SetCount(0);
        command->Prepare();
        std::unique_ptr<TDBXReader> reader = command->ExecuteQuery();
        ran = reader != nullptr;
        // The value as a field's AsInteger reads it: the count's digits (a
        // wide memo's text, or an integer's decimal form) converted.
        if (reader && reader->Next()) rows = rtl::StrToInt(reader->GetValue(0).GetAsString());
    } catch (const rtl::Exception&) {
        // Whatever the database said, the count is reported as unsupported.
    }
    // A dataset that ran the statement as the connection's only client would
    // have let a connection that is not kept close as it closed.
    if (ran && !Connection.KeepConnection() && Connection.DataSetCount() == 0) Connection.CheckDisconnect();
    if (rows == -1) DatabaseError(SNotSupported);
    return rows;
}

// ---- provider support

void TCustomSQLDataSet::PSGetAttributes(TPacketAttributeList& List) {
    TDataSet::PSGetAttributes(List);
    std::int64_t lcid = 0;
    if (FSQLConnection) {
        const String code = rtl::Trim(FSQLConnection->Params().Values(u"LocaleCode"));
        if (!code.empty()) lcid = rtl::TryStrToInt64(u"$" + code).value_or(0);
    }
    List.push_back(TPacketAttribute{u"LCID", rtl::Variant(static_cast<std::int32_t>(lcid)), false});
}

String TCustomSQLDataSet::PSGetQuoteChar() { return FSQLConnection ? FSQLConnection->GetQuoteChar() : String(); }

String TCustomSQLDataSet::PSGetTableName() {
    if (FCommandType == ctTable) return FCommandText;
    return GetTableNameFromSQLEx(FCommandText, FSQLConnection ? FSQLConnection->GetIdOption() : idMixCase);
}

TIndexDefs TCustomSQLDataSet::PSGetIndexDefs(TIndexOptions) { return FIndexDefs; }

bool TCustomSQLDataSet::PSInTransaction() { return FSQLConnection && FSQLConnection->InTransaction(); }

bool TCustomSQLDataSet::PSIsSQLBased() {
    if (!FSQLConnection || !FSQLConnection->DBXConnection()) return true;
    return !rtl::SameText(FSQLConnection->DBXConnection()->GetVendorProperty(u"IsSQLBased"), u"false");
}

void TCustomSQLDataSet::PSSetCommandText(StringView CommandText) {
    if (!CommandText.empty()) SetCommandText(String(CommandText));
}

void TCustomSQLDataSet::PSSetParams(TParams* AParams) {
    if (AParams && AParams->Count() > 0 && AParams != &FParams) {
        FParams = *AParams;
        if (FPrepared && FNativeCommand.find(u'?') == String::npos) SetPrepared(false);
    }
    Close();
}

bool TCustomSQLDataSet::PSUpdateRecord(TUpdateStatus, TDataSet*) { return false; }

// ---- TSQLQuery and TSQLDataSet ------------------------------------------------

TSQLQuery::TSQLQuery(rtl::TComponent* AOwner) : TCustomSQLDataSet(AOwner) {
    FSQL.OnChange = [this](rtl::TStringList&) { QueryChanged(); };
}

void TSQLQuery::SetSQL(const rtl::TStringList& Value) {
    if (Value.Text() == FSQL.Text()) return;
    Close();
    FSQL.Assign(Value);
}

void TSQLQuery::QueryChanged() {
    const String text = FSQL.Text();
    if (ComponentState().Contains(rtl::csLoading)) {
        FCommandText = FText = text;
        ScanParams();
        return;
    }
    Close();
    SetPrepared(false);
    FText = text;
    FCommandText = text;
    ScanParams();
    PropertyChanged();
    FNativeCommand.clear();
}

TSQLDataSet::TSQLDataSet(rtl::TComponent* AOwner) : TCustomSQLDataSet(AOwner) {}

}  // namespace sql
