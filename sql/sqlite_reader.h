#pragma once
// Reading SQLite results: the reader that describes each column from the
// statement's first row and steps it, the byte reader and the row through
// which column values are read, and the mapping from SQLite's column
// information to data types.

#include "sql/dbx_common.h"
#include "sql/sqlite_command.h"

struct sqlite3_stmt;

namespace sql {

class TDBXSqliteConnection;

// Copies the current row's values into a caller's buffer.
class TDBXSqliteByteReader : public TDBXByteReader {
public:
    TDBXSqliteByteReader(TDBXContextPtr Context, sqlite3_stmt* StatementHandle);

    // The UTF-16 text and its terminator, cut to the buffer.
    void GetWideString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    // The UTF-8 text and its terminator, cut to the buffer.
    void GetAnsiString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetUInt8(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt8(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetUInt16(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt16(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt32(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt64(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetSingle(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetDouble(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    // This driver never describes these types: nothing is written.
    void GetBcd(int, std::span<std::uint8_t>, std::int64_t, bool&) override {}
    void GetTimeStamp(int, std::span<std::uint8_t>, std::int64_t, bool&) override {}
    void GetTimeStampOffset(int, std::span<std::uint8_t>, std::int64_t, bool&) override {}
    void GetTime(int, std::span<std::uint8_t>, std::int64_t, bool&) override {}
    void GetDate(int, std::span<std::uint8_t>, std::int64_t, bool&) override {}
    // The value's size in UTF-16 (bytes for a blob).
    void GetByteLength(int Ordinal, std::int64_t& Length, bool& IsNull) override;
    // The value's bytes (UTF-16 for text) from byte Offset, cut to Length and to the buffer.
    std::int64_t GetBytes(int Ordinal, std::int64_t Offset, std::span<std::uint8_t> Value, std::int64_t ValueOffset,
                          std::int64_t Length, bool& IsNull) override;

private:
    // The column's storage class, setting IsNull; false for a null.
    bool HasValue(int Ordinal, bool& IsNull);
    template <std::size_t N>
    void Trace(const char16_t (&Message)[N]) const {
        FDBXContext->Trace(TDBXTraceFlags::Vendor, Message);
    }

    sqlite3_stmt* FStatementHandle;
};

// The value source of a reader's value objects, and the parameter row of a
// command (its setters bind parameters).
class TDBXSqliteRow : public TDBXRow {
public:
    TDBXSqliteRow(TDBXContextPtr Context, sqlite3_stmt* StatementHandle, TDBXSqliteConnection& Connection);

    void GetAnsiString(TDBXWritableValue& DbxValue, std::vector<char>& Value, bool& IsNull) override;
    void GetWideString(TDBXWritableValue& DbxValue, std::vector<char16_t>& Value, bool& IsNull) override;
    using TDBXRow::GetWideString;
    void GetBoolean(TDBXWritableValue& DbxValue, bool& Value, bool& IsNull) override;
    void GetUInt8(TDBXWritableValue& DbxValue, std::uint8_t& Value, bool& IsNull) override;
    void GetInt8(TDBXWritableValue& DbxValue, std::int8_t& Value, bool& IsNull) override;
    void GetUInt16(TDBXWritableValue& DbxValue, std::uint16_t& Value, bool& IsNull) override;
    void GetInt16(TDBXWritableValue& DbxValue, std::int16_t& Value, bool& IsNull) override;
    void GetInt32(TDBXWritableValue& DbxValue, std::int32_t& Value, bool& IsNull) override;
    void GetInt64(TDBXWritableValue& DbxValue, std::int64_t& Value, bool& IsNull) override;
    void GetSingle(TDBXWritableValue& DbxValue, float& Value, bool& IsNull) override;
    void GetDouble(TDBXWritableValue& DbxValue, double& Value, bool& IsNull) override;
    void GetBytes(TDBXWritableValue& DbxValue, std::int64_t Offset, std::vector<std::uint8_t>& Buffer,
                  std::int64_t BufferOffset, std::int64_t Length, std::int64_t& ReturnLength, bool& IsNull) override;
    void GetByteLength(TDBXWritableValue& DbxValue, std::int64_t& ByteLength, bool& IsNull) override;

    // Parameter binding: the parameter's ordinal + 1 is the library's index.
    // Text and bytes are copied by the library.
    void SetNull(TDBXWritableValue& DbxValue) override;
    void SetString(TDBXWritableValue& DbxValue, const std::string& Value) override;
    void SetAnsiString(TDBXWritableValue& DbxValue, const std::string& Value) override;
    void SetWideString(TDBXWritableValue& DbxValue, const String& Value) override;
    void SetBoolean(TDBXWritableValue& DbxValue, bool Value) override;
    void SetUInt8(TDBXWritableValue& DbxValue, std::uint8_t Value) override;
    void SetInt8(TDBXWritableValue& DbxValue, std::int8_t Value) override;
    void SetUInt16(TDBXWritableValue& DbxValue, std::uint16_t Value) override;
    void SetInt16(TDBXWritableValue& DbxValue, std::int16_t Value) override;
    void SetInt32(TDBXWritableValue& DbxValue, std::int32_t Value) override;
    void SetInt64(TDBXWritableValue& DbxValue, std::int64_t Value) override;
    void SetSingle(TDBXWritableValue& DbxValue, float Value) override;
    void SetDouble(TDBXWritableValue& DbxValue, double Value) override;
    void SetDynamicBytes(TDBXWritableValue& DbxValue, std::int64_t Offset, const std::vector<std::uint8_t>& Buffer,
                         std::int64_t BufferOffset, std::int64_t Length) override;
    void SetValueType(TDBXWritableValue&) override {}

private:
    bool HasValue(int Column, bool& IsNull);
    int ColumnInt(TDBXWritableValue& DbxValue, bool& IsNull, bool& Present);
    void Check(int ResultCode);
    template <std::size_t N>
    void Trace(const char16_t (&Message)[N]) const {
        FDBXContext->Trace(TDBXTraceFlags::Vendor, Message);
    }

    TDBXSqliteConnection& FSqliteConnection;
    sqlite3_stmt* FStatementHandle;
};

// The rows of a query: the descriptions are made once, from the first row,
// which the statement already stands on when FirstRowStepped is true. The
// statement's first step has been taken either way: the first Next hands out
// its result without stepping again. Described holds what the last reader
// of the same compiled statement made; its descriptions are taken over
// when this first row has the same storage classes, and replaced otherwise.
class TDBXSqliteReader : public TDBXReader {
public:
    TDBXSqliteReader(TDBXContextPtr Context, int ColumnCount, std::unique_ptr<TDBXByteReader> ByteReader,
                     sqlite3_stmt* StatementHandle, TDBXSqliteConnection& Connection, bool FirstRowStepped,
                     TSqliteColumnsDescribed& Described);
    ~TDBXSqliteReader() override;

protected:
    bool DerivedNext() override;
    void DerivedClose() override;

private:
    std::unique_ptr<TDBXValueType> DescribeColumn(int Ordinal, bool TableMetaData, int StorageClass);

    TDBXSqliteConnection& FSqliteConnection;
    sqlite3_stmt* FStatementHandle;
    bool FHasFirstRow;  // without one, the columns are described as nulls
    bool FFirstStepPending = true;
    bool FStepFailed = false;
};

// Describes a column by the storage class of its value (1 integer, 2 float,
// 3 text, 4 blob, 5 null); other classes fail with code 1.
void SetupTypeInfo(TDBXValueType& Description, int StorageClass, TDBXContext* Context);
// Describes a text column by its declared type: a number in parentheses
// makes a WideString of that size, none a wide memo. A parenthesised part
// that is not a number raises EConvertError.
void SetupTextInfo(TDBXValueType& Description, StringView DeclaredType);

}  // namespace sql
