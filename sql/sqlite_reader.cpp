#include "sql/sqlite_reader.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "rtl/format.h"
#include "sql/sqlite_connection.h"
#include "sql/sqlite_driver.h"

namespace sql {

namespace {

// Writes the low Width bytes of Value, little-endian, at Offset of Buffer.
void PutLittleEndian(std::span<std::uint8_t> Buffer, std::int64_t Offset, std::uint64_t Value, int Width,
                     const TDBXContextPtr& Context) {
    if (Offset < 0 || Offset + Width > static_cast<std::int64_t>(Buffer.size()))
        RaiseDBXError(Context.get(), TDBXErrorCodes::InvalidLength, u"");
    for (int i = 0; i < Width; ++i)
        Buffer[static_cast<std::size_t>(Offset + i)] = static_cast<std::uint8_t>(Value >> (8 * i));
}

// Copies Count bytes of Source (which holds Size) from Offset into Buffer at
// BufferOffset, cut to what the value and the buffer hold.
std::int64_t CopyBytes(const void* Source, std::int64_t Size, std::int64_t Offset, std::uint8_t* Buffer,
                       std::int64_t Room, std::int64_t BufferOffset, std::int64_t Count) {
    if (!Source || Offset < 0 || BufferOffset < 0 || Offset >= Size || BufferOffset >= Room) return 0;
    const std::int64_t n = std::max<std::int64_t>(0, std::min({Count, Size - Offset, Room - BufferOffset}));
    if (n > 0)
        std::memcpy(Buffer + BufferOffset, static_cast<const std::uint8_t*>(Source) + Offset,
                    static_cast<std::size_t>(n));
    return n;
}

// Copies the library's text of Bytes bytes and the terminator of Width zero
// bytes that follows it to Buffer, cut to the buffer; no text copies only a terminator.
void CopyTerminated(const void* Text, std::int64_t Bytes, int Width, std::span<std::uint8_t> Buffer) {
    static const char16_t empty = 0;
    if (!Text) {
        Text = &empty;
        Bytes = 0;
    }
    CopyBytes(Text, Bytes + Width, 0, Buffer.data(), static_cast<std::int64_t>(Buffer.size()), 0, Bytes + Width);
}

// Text of Length units and a terminator; a non-null value without text is a
// lone terminator.
template <class Char>
void AssignText(const Char* Text, std::size_t Length, bool Null, std::vector<Char>& Value, bool& IsNull) {
    if (Text && Length > 0) {
        Value.assign(Text, Text + Length);
    } else if (Null) {
        IsNull = true;
        return;
    } else {
        Value.clear();
    }
    IsNull = false;
    Value.push_back(Char());
}

String SingleByteText(const char* Text) {
    String out;
    if (Text)
        for (const char* p = Text; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out;
}

String WideText(const void* Text) { return Text ? String(static_cast<const char16_t*>(Text)) : String(); }

using TColumnText16 = const void* (*)(sqlite3_stmt*, int);
using TColumnText8 = const char* (*)(sqlite3_stmt*, int);

// A result column's name, origin or declared type. The library gives null
// both where the column has none (an expression has no origin table) and
// where turning the UTF-8 text into UTF-16 ran out of memory, a failure it
// then forgets; only the UTF-8 text, which needs no conversion, tells the
// two apart. A failed conversion raises the library's out-of-memory error
// rather than describe the column as one without a name.
String ColumnText(TColumnText16 Wide, TColumnText8 Narrow, sqlite3_stmt* Statement, int Ordinal, TDBXContext* Context) {
    if (const void* text = Wide(Statement, Ordinal)) return WideText(text);
    if (Narrow(Statement, Ordinal))
        RaiseDBXError(Context, SQLITE_NOMEM, rtl::Utf8ToString(sqlite3_errstr(SQLITE_NOMEM)));
    return String();
}

void Describe(TDBXValueType& Description, int DataType, int SubType, std::int64_t Precision, std::int64_t Size) {
    Description.SetDataType(DataType);
    Description.SetSubType(SubType);
    Description.SetPrecision(Precision);
    Description.SetSize(Size);
}

void DescribeWideMemo(TDBXValueType& Description) {
    Describe(Description, TDBXDataTypes::BlobType, TDBXSubDataTypes::WideMemoSubType, 1, 1);
}

}  // namespace

// ---- column mapping ---------------------------------------------------------

void SetupTypeInfo(TDBXValueType& Description, int StorageClass, TDBXContext* Context) {
    switch (StorageClass) {
        case SQLITE_INTEGER: Describe(Description, TDBXDataTypes::Int64Type, TDBXSubDataTypes::NoSubType, 0, 8); break;
        case SQLITE_FLOAT: Describe(Description, TDBXDataTypes::DoubleType, TDBXSubDataTypes::NoSubType, 0, 8); break;
        case SQLITE_BLOB: Describe(Description, TDBXDataTypes::BlobType, TDBXSubDataTypes::BinarySubType, 1, 0); break;
        case SQLITE_TEXT:
        case SQLITE_NULL: DescribeWideMemo(Description); break;
        default:
            RaiseDBXError(Context, SQLITE_ERROR,
                          rtl::Format(u"Internal: Type %s is not currently supported", {rtl::IntToStr(StorageClass)}));
    }
}

void SetupTextInfo(TDBXValueType& Description, StringView DeclaredType) {
    const auto open = DeclaredType.find(u'(');
    if (open == StringView::npos) {
        DescribeWideMemo(Description);
        return;
    }
    const auto close = DeclaredType.find(u')');
    const StringView inside =
        close != StringView::npos && close > open ? DeclaredType.substr(open + 1, close - open - 1) : StringView();
    const int size = rtl::StrToInt(inside);
    Description.SetDataType(TDBXDataTypes::WideStringType);
    Description.SetPrecision(size);
    Description.SetSize(size);
}

// ---- TDBXSqliteByteReader ---------------------------------------------------

TDBXSqliteByteReader::TDBXSqliteByteReader(TDBXContextPtr Context, sqlite3_stmt* StatementHandle)
    : TDBXByteReader(std::move(Context)), FStatementHandle(StatementHandle) {}

bool TDBXSqliteByteReader::HasValue(int Ordinal, bool& IsNull) {
    Trace(u"sqlite3_column_type");
    IsNull = sqlite3_column_type(FStatementHandle, Ordinal) == SQLITE_NULL;
    return !IsNull;
}

void TDBXSqliteByteReader::GetWideString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t, bool& IsNull) {
    if (!HasValue(Ordinal, IsNull)) return;
    Trace(u"sqlite3_column_text16");
    const void* text = sqlite3_column_text16(FStatementHandle, Ordinal);
    Trace(u"sqlite3_column_bytes16");
    CopyTerminated(text, sqlite3_column_bytes16(FStatementHandle, Ordinal), 2, Value);
}

void TDBXSqliteByteReader::GetAnsiString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t, bool& IsNull) {
    if (!HasValue(Ordinal, IsNull)) return;
    Trace(u"sqlite3_column_text");
    const unsigned char* text = sqlite3_column_text(FStatementHandle, Ordinal);
    Trace(u"sqlite3_column_bytes");
    CopyTerminated(text, sqlite3_column_bytes(FStatementHandle, Ordinal), 1, Value);
}

#define KALIMDAR_SQLITE_INT_GETTER(Getter, Width)                                                                      \
    void TDBXSqliteByteReader::Getter(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) { \
        if (!HasValue(Ordinal, IsNull)) return;                                                                        \
        Trace(u"sqlite3_column_int");                                                                                  \
        const auto v = static_cast<std::uint32_t>(sqlite3_column_int(FStatementHandle, Ordinal));                      \
        PutLittleEndian(Value, Offset, v, Width, FDBXContext);                                                         \
    }
KALIMDAR_SQLITE_INT_GETTER(GetUInt8, 1)
KALIMDAR_SQLITE_INT_GETTER(GetInt8, 1)
KALIMDAR_SQLITE_INT_GETTER(GetUInt16, 2)
KALIMDAR_SQLITE_INT_GETTER(GetInt16, 2)
KALIMDAR_SQLITE_INT_GETTER(GetInt32, 4)
#undef KALIMDAR_SQLITE_INT_GETTER

void TDBXSqliteByteReader::GetInt64(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) {
    if (!HasValue(Ordinal, IsNull)) return;
    Trace(u"sqlite3_column_int64");
    const auto v = static_cast<std::uint64_t>(sqlite3_column_int64(FStatementHandle, Ordinal));
    PutLittleEndian(Value, Offset, v, 8, FDBXContext);
}

void TDBXSqliteByteReader::GetDouble(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) {
    if (!HasValue(Ordinal, IsNull)) return;
    Trace(u"sqlite3_column_double");
    const double v = sqlite3_column_double(FStatementHandle, Ordinal);
    PutLittleEndian(Value, Offset, std::bit_cast<std::uint64_t>(v), 8, FDBXContext);
}

void TDBXSqliteByteReader::GetSingle(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) {
    if (!HasValue(Ordinal, IsNull)) return;
    Trace(u"sqlite3_column_double");
    const auto v = static_cast<float>(sqlite3_column_double(FStatementHandle, Ordinal));
    PutLittleEndian(Value, Offset, std::bit_cast<std::uint32_t>(v), 4, FDBXContext);
}

void TDBXSqliteByteReader::GetByteLength(int Ordinal, std::int64_t& Length, bool& IsNull) {
    if (!HasValue(Ordinal, IsNull)) return;
    Trace(u"sqlite3_column_bytes16");
    Length = sqlite3_column_bytes16(FStatementHandle, Ordinal);
}

std::int64_t TDBXSqliteByteReader::GetBytes(int Ordinal, std::int64_t Offset, std::span<std::uint8_t> Value,
                                            std::int64_t ValueOffset, std::int64_t Length, bool& IsNull) {
    if (!HasValue(Ordinal, IsNull)) return 0;
    // The size first: it turns text into UTF-16 in place, so the pointer
    // asked for next stays valid and points at those UTF-16 bytes.
    Trace(u"sqlite3_column_bytes16");
    const std::int64_t size = sqlite3_column_bytes16(FStatementHandle, Ordinal);
    Trace(u"sqlite3_column_blob");
    const void* bytes = sqlite3_column_blob(FStatementHandle, Ordinal);
    return CopyBytes(bytes, size, Offset, Value.data(), static_cast<std::int64_t>(Value.size()), ValueOffset, Length);
}

// ---- TDBXSqliteRow ----------------------------------------------------------

TDBXSqliteRow::TDBXSqliteRow(TDBXContextPtr Context, sqlite3_stmt* StatementHandle, TDBXSqliteConnection& Connection)
    : TDBXRow(std::move(Context)), FSqliteConnection(Connection), FStatementHandle(StatementHandle) {}

bool TDBXSqliteRow::HasValue(int Column, bool& IsNull) {
    Trace(u"sqlite3_column_type");
    IsNull = sqlite3_column_type(FStatementHandle, Column) == SQLITE_NULL;
    return !IsNull;
}

void TDBXSqliteRow::GetWideString(TDBXWritableValue& DbxValue, std::vector<char16_t>& Value, bool& IsNull) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    Trace(u"sqlite3_column_type");
    const int storage = sqlite3_column_type(FStatementHandle, column);
    Trace(u"sqlite3_column_text16");
    const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(FStatementHandle, column));
    Trace(u"sqlite3_column_bytes16");
    const std::size_t length = static_cast<std::size_t>(sqlite3_column_bytes16(FStatementHandle, column)) / 2;
    AssignText(text, length, storage == SQLITE_NULL, Value, IsNull);
}

void TDBXSqliteRow::GetAnsiString(TDBXWritableValue& DbxValue, std::vector<char>& Value, bool& IsNull) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    Trace(u"sqlite3_column_type");
    const int storage = sqlite3_column_type(FStatementHandle, column);
    Trace(u"sqlite3_column_text");
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStatementHandle, column));
    Trace(u"sqlite3_column_bytes");
    const std::size_t length = static_cast<std::size_t>(sqlite3_column_bytes(FStatementHandle, column));
    AssignText(text, length, storage == SQLITE_NULL, Value, IsNull);
}

int TDBXSqliteRow::ColumnInt(TDBXWritableValue& DbxValue, bool& IsNull, bool& Present) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    Present = HasValue(column, IsNull);
    if (!Present) return 0;
    Trace(u"sqlite3_column_int");
    return sqlite3_column_int(FStatementHandle, column);
}

#define KALIMDAR_SQLITE_ROW_INT(Getter, Type)                                            \
    void TDBXSqliteRow::Getter(TDBXWritableValue& DbxValue, Type& Value, bool& IsNull) { \
        bool present = false;                                                            \
        const int v = ColumnInt(DbxValue, IsNull, present);                              \
        if (present) Value = static_cast<Type>(v);                                       \
    }
KALIMDAR_SQLITE_ROW_INT(GetUInt8, std::uint8_t)
KALIMDAR_SQLITE_ROW_INT(GetInt8, std::int8_t)
KALIMDAR_SQLITE_ROW_INT(GetUInt16, std::uint16_t)
KALIMDAR_SQLITE_ROW_INT(GetInt16, std::int16_t)
KALIMDAR_SQLITE_ROW_INT(GetInt32, std::int32_t)
#undef KALIMDAR_SQLITE_ROW_INT

void TDBXSqliteRow::GetBoolean(TDBXWritableValue& DbxValue, bool& Value, bool& IsNull) {
    bool present = false;
    const int v = ColumnInt(DbxValue, IsNull, present);
    if (present) Value = v != 0;
}

void TDBXSqliteRow::GetInt64(TDBXWritableValue& DbxValue, std::int64_t& Value, bool& IsNull) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    if (!HasValue(column, IsNull)) return;
    Trace(u"sqlite3_column_int64");
    Value = sqlite3_column_int64(FStatementHandle, column);
}

void TDBXSqliteRow::GetDouble(TDBXWritableValue& DbxValue, double& Value, bool& IsNull) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    if (!HasValue(column, IsNull)) return;
    Trace(u"sqlite3_column_double");
    Value = sqlite3_column_double(FStatementHandle, column);
}

void TDBXSqliteRow::GetSingle(TDBXWritableValue& DbxValue, float& Value, bool& IsNull) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    if (!HasValue(column, IsNull)) return;
    Trace(u"sqlite3_column_double");
    Value = static_cast<float>(sqlite3_column_double(FStatementHandle, column));
}

void TDBXSqliteRow::GetByteLength(TDBXWritableValue& DbxValue, std::int64_t& ByteLength, bool& IsNull) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    if (!HasValue(column, IsNull)) return;
    Trace(u"sqlite3_column_bytes16");
    ByteLength = sqlite3_column_bytes16(FStatementHandle, column);
}

void TDBXSqliteRow::GetBytes(TDBXWritableValue& DbxValue, std::int64_t Offset, std::vector<std::uint8_t>& Buffer,
                             std::int64_t BufferOffset, std::int64_t Length, std::int64_t& ReturnLength, bool& IsNull) {
    const int column = DbxValue.GetValueType().GetOrdinal();
    ReturnLength = 0;
    if (!HasValue(column, IsNull)) return;
    Trace(u"sqlite3_column_bytes16");
    const std::int64_t size = sqlite3_column_bytes16(FStatementHandle, column);
    Trace(u"sqlite3_column_blob");
    const void* bytes = sqlite3_column_blob(FStatementHandle, column);
    ReturnLength =
        CopyBytes(bytes, size, Offset, Buffer.data(), static_cast<std::int64_t>(Buffer.size()), BufferOffset, Length);
}

void TDBXSqliteRow::Check(int ResultCode) {
    CheckError(ResultCode, FSqliteConnection.ConnectionHandle(), FDBXContext.get());
}

namespace {

int ParameterIndex(TDBXWritableValue& DbxValue) { return DbxValue.GetValueType().GetOrdinal() + 1; }

}  // namespace

void TDBXSqliteRow::SetNull(TDBXWritableValue& DbxValue) {
    Trace(u"sqlite3_bind_null");
    Check(sqlite3_bind_null(FStatementHandle, ParameterIndex(DbxValue)));
}

void TDBXSqliteRow::SetString(TDBXWritableValue& DbxValue, const std::string& Value) {
    Trace(u"sqlite3_bind_text");
    Check(sqlite3_bind_text(FStatementHandle, ParameterIndex(DbxValue), Value.data(), static_cast<int>(Value.size()),
                            SQLITE_TRANSIENT));
}

void TDBXSqliteRow::SetAnsiString(TDBXWritableValue& DbxValue, const std::string& Value) { SetString(DbxValue, Value); }

void TDBXSqliteRow::SetWideString(TDBXWritableValue& DbxValue, const String& Value) {
    Trace(u"sqlite3_bind_text16");
    Check(sqlite3_bind_text16(FStatementHandle, ParameterIndex(DbxValue), Value.data(),
                              static_cast<int>(Value.size() * 2), SQLITE_TRANSIENT));
}

void TDBXSqliteRow::SetInt32(TDBXWritableValue& DbxValue, std::int32_t Value) {
    Trace(u"sqlite3_bind_int");
    Check(sqlite3_bind_int(FStatementHandle, ParameterIndex(DbxValue), Value));
}

void TDBXSqliteRow::SetBoolean(TDBXWritableValue& DbxValue, bool Value) { SetInt32(DbxValue, Value ? 1 : 0); }
void TDBXSqliteRow::SetUInt8(TDBXWritableValue& DbxValue, std::uint8_t Value) { SetInt32(DbxValue, Value); }
void TDBXSqliteRow::SetInt8(TDBXWritableValue& DbxValue, std::int8_t Value) { SetInt32(DbxValue, Value); }
void TDBXSqliteRow::SetUInt16(TDBXWritableValue& DbxValue, std::uint16_t Value) { SetInt32(DbxValue, Value); }
void TDBXSqliteRow::SetInt16(TDBXWritableValue& DbxValue, std::int16_t Value) { SetInt32(DbxValue, Value); }

void TDBXSqliteRow::SetInt64(TDBXWritableValue& DbxValue, std::int64_t Value) {
    Trace(u"sqlite3_bind_int64");
    Check(sqlite3_bind_int64(FStatementHandle, ParameterIndex(DbxValue), Value));
}

void TDBXSqliteRow::SetDouble(TDBXWritableValue& DbxValue, double Value) {
    Trace(u"sqlite3_bind_double");
    Check(sqlite3_bind_double(FStatementHandle, ParameterIndex(DbxValue), Value));
}

void TDBXSqliteRow::SetSingle(TDBXWritableValue& DbxValue, float Value) { SetDouble(DbxValue, Value); }

void TDBXSqliteRow::SetDynamicBytes(TDBXWritableValue& DbxValue, std::int64_t Offset,
                                    const std::vector<std::uint8_t>& Buffer, std::int64_t BufferOffset,
                                    std::int64_t Length) {
    const auto size = static_cast<std::int64_t>(Buffer.size());
    switch (DbxValue.GetValueType().GetSubType()) {
        case TDBXSubDataTypes::MemoSubType: {
            // Zero-terminated single-byte text within the buffer.
            const auto* begin = reinterpret_cast<const char*>(Buffer.data());
            const auto length = std::find(begin, begin + size, '\0') - begin;
            Trace(u"sqlite3_bind_text");
            Check(sqlite3_bind_text(FStatementHandle, ParameterIndex(DbxValue), begin, static_cast<int>(length),
                                    SQLITE_TRANSIENT));
            break;
        }
        case TDBXSubDataTypes::WideMemoSubType:
            Trace(u"sqlite3_bind_text16");
            Check(sqlite3_bind_text16(FStatementHandle, ParameterIndex(DbxValue), Buffer.data(),
                                      static_cast<int>(size & ~std::int64_t(1)), SQLITE_TRANSIENT));
            break;
        default: {
            const std::int64_t from = std::clamp<std::int64_t>(BufferOffset + Offset, 0, size);
            const std::int64_t count = std::clamp<std::int64_t>(Length, 0, size - from);
            Trace(u"sqlite3_bind_blob");
            Check(sqlite3_bind_blob(FStatementHandle, ParameterIndex(DbxValue), Buffer.data() + from,
                                    static_cast<int>(count), SQLITE_TRANSIENT));
        }
    }
}

// ---- TDBXSqliteReader -------------------------------------------------------

TDBXSqliteReader::TDBXSqliteReader(TDBXContextPtr Context, int ColumnCount, std::unique_ptr<TDBXByteReader> ByteReader,
                                   sqlite3_stmt* StatementHandle, TDBXSqliteConnection& Connection,
                                   bool FirstRowStepped, TSqliteColumnsDescribed& Described)
    : TDBXReader(Context, std::move(ByteReader), std::make_unique<TDBXSqliteRow>(Context, StatementHandle, Connection)),
      FSqliteConnection(Connection),
      FStatementHandle(StatementHandle),
      FHasFirstRow(FirstRowStepped) {
    const auto columns = static_cast<std::size_t>(ColumnCount);
    const bool tableMetaData =
        FSqliteConnection.GetVendorProperty(TDBXPropertyNames::ColumnMetaDataSupported) == u"True";
    // Without a current row every column is described as a null.
    std::vector<int> storageClasses;
    if (FHasFirstRow) {
        storageClasses.reserve(columns);
        for (int i = 0; i < ColumnCount; ++i) {
            FDBXContext->Trace(TDBXTraceFlags::Vendor, u"sqlite3_column_type");
            storageClasses.push_back(sqlite3_column_type(FStatementHandle, i));
        }
    }
    // The library compiles a statement again when its schema changed, and
    // the table metadata may then differ.
    const int compilations = sqlite3_stmt_status(FStatementHandle, SQLITE_STMTSTATUS_REPREPARE, 0);
    const bool same = Described.Compilations == compilations && Described.TableMetaData == tableMetaData &&
                      Described.StorageClasses == storageClasses && Described.Descriptions.size() == columns;
    if (!same) Described = TSqliteColumnsDescribed();
    std::vector<std::unique_ptr<TDBXValueType>> made;
    std::vector<std::unique_ptr<TDBXWritableValue>> values(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        std::unique_ptr<TDBXValueType> description;
        if (same) {
            description = Described.Descriptions[i]->Clone();
        } else {
            description =
                DescribeColumn(static_cast<int>(i), tableMetaData, FHasFirstRow ? storageClasses[i] : SQLITE_NULL);
            made.push_back(description->Clone());
        }
        values[i] = TDBXValue::CreateValue(FDBXContext, std::move(description), FDbxRow.get(), true);
    }
    SetValues(std::move(values));
    if (!same) Described = {compilations, tableMetaData, std::move(storageClasses), std::move(made)};
}

TDBXSqliteReader::~TDBXSqliteReader() { CloseReader(); }

std::unique_ptr<TDBXValueType> TDBXSqliteReader::DescribeColumn(int Ordinal, bool TableMetaData, int StorageClass) {
    TDBXContext* context = FDBXContext.get();
    std::unique_ptr<TDBXValueType> description = TDBXDriverHelp::CreateTDBXValueType(FDBXContext);
    description->SetOrdinal(Ordinal);
    if (TableMetaData) {
        context->Trace(TDBXTraceFlags::Vendor, u"sqlite3_column_origin_name16");
        const String origin =
            ColumnText(sqlite3_column_origin_name16, sqlite3_column_origin_name, FStatementHandle, Ordinal, context);
        if (origin.empty()) {
            description->SetName(u"Column" + rtl::IntToStr(Ordinal));
            SetupTypeInfo(*description, SQLITE_NULL, context);
            return description;
        }
        context->Trace(TDBXTraceFlags::Vendor, u"sqlite3_column_database_name16");
        const String database = ColumnText(sqlite3_column_database_name16, sqlite3_column_database_name,
                                           FStatementHandle, Ordinal, context);
        context->Trace(TDBXTraceFlags::Vendor, u"sqlite3_column_table_name16");
        const String table =
            ColumnText(sqlite3_column_table_name16, sqlite3_column_table_name, FStatementHandle, Ordinal, context);
        const int storage = StorageClass;
        const char* declaredType = nullptr;
        const char* collation = nullptr;
        int notNull = 0, primaryKey = 0, autoIncrement = 0;
        context->Trace(TDBXTraceFlags::Vendor, u"sqlite3_table_column_metadata");
        CheckError(
            sqlite3_table_column_metadata(FSqliteConnection.ConnectionHandle(), rtl::StringToUtf8(database).c_str(),
                                          rtl::StringToUtf8(table).c_str(), rtl::StringToUtf8(origin).c_str(),
                                          &declaredType, &collation, &notNull, &primaryKey, &autoIncrement),
            FSqliteConnection.ConnectionHandle(), context);
        int flags = 0;
        if (!notNull && !primaryKey) flags |= TDBXValueTypeFlags::Nullable;
        if (autoIncrement == 1) flags |= TDBXValueTypeFlags::AutoIncrement;
        description->SetFlags(flags);
        if (storage == SQLITE_TEXT) SetupTextInfo(*description, SingleByteText(declaredType));
        else SetupTypeInfo(*description, storage, context);
        description->SetName(origin);
        return description;
    }
    description->SetFlags(TDBXValueTypeFlags::Nullable);
    context->Trace(TDBXTraceFlags::Vendor, u"sqlite3_column_name16");
    description->SetName(ColumnText(sqlite3_column_name16, sqlite3_column_name, FStatementHandle, Ordinal, context));
    const int storage = StorageClass;
    if (storage == SQLITE_TEXT) {
        context->Trace(TDBXTraceFlags::Vendor, u"sqlite3_column_decltype16");
        SetupTextInfo(*description, ColumnText(sqlite3_column_decltype16, sqlite3_column_decltype, FStatementHandle,
                                               Ordinal, context));
    } else {
        SetupTypeInfo(*description, storage, context);
    }
    return description;
}

bool TDBXSqliteReader::DerivedNext() {
    if (FFirstStepPending) {
        FFirstStepPending = false;
        return FHasFirstRow;
    }
    FDBXContext->Trace(TDBXTraceFlags::Vendor, u"sqlite3_step");
    const int result = sqlite3_step(FStatementHandle);
    FStepFailed = result != SQLITE_ROW && result != SQLITE_DONE;
    CheckError(result, FSqliteConnection.ConnectionHandle(), FDBXContext.get());
    if (result == SQLITE_DONE) FSqliteConnection.CheckFileUnchanged();
    return result == SQLITE_ROW;
}

void TDBXSqliteReader::DerivedClose() {
    FDBXContext->Trace(TDBXTraceFlags::Vendor, u"sqlite3_reset");
    const int result = sqlite3_reset(FStatementHandle);
    // After a failed step the reset repeats that step's error, already raised.
    if (!FStepFailed) CheckError(result, FSqliteConnection.ConnectionHandle(), FDBXContext.get());
}

}  // namespace sql
