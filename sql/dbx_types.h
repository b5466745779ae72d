#pragma once
// Data type codes, sub types and value-type flags of the driver framework, and
// TDBXValueType, the description of one result column or parameter.

#include <array>
#include <cstdint>
#include <vector>

#include "sql/dbx_error.h"

namespace sql {

// What TDBXConnection::GetDataVersion gives: two readings of the database
// compare equal only when nothing changed its content, its schema or the
// connection's settings between them. The readings are the driver's own.
struct TDBXDataVersion {
    std::vector<std::int64_t> Readings;
    bool operator==(const TDBXDataVersion&) const = default;
};

// What TDBXConnection::GetStatementReads gives: the tables a statement reads
// (names as the database spells them, sorted, no repeats), and whether its
// result depends on nothing else: no function of time, chance or the
// connection's state, and no change made by the statement itself.
struct TDBXStatementReads {
    std::vector<String> Tables;
    bool Repeatable = true;
    bool operator==(const TDBXStatementReads&) const = default;
};

namespace TDBXDataTypes {
constexpr int UnknownType = 0;
constexpr int AnsiStringType = 1;
constexpr int DateType = 2;
constexpr int BlobType = 3;
constexpr int BooleanType = 4;
constexpr int Int16Type = 5;
constexpr int Int32Type = 6;
constexpr int DoubleType = 7;
constexpr int BcdType = 8;
constexpr int BytesType = 9;
constexpr int TimeType = 10;
constexpr int DateTimeType = 11;
constexpr int UInt16Type = 12;
constexpr int UInt32Type = 13;
constexpr int VarBytesType = 15;
constexpr int CursorType = 17;
constexpr int Int64Type = 18;
constexpr int UInt64Type = 19;
constexpr int AdtType = 20;
constexpr int ArrayType = 21;
constexpr int RefType = 22;
constexpr int TableType = 23;
constexpr int TimeStampType = 24;
constexpr int CurrencyType = 25;
constexpr int WideStringType = 26;
constexpr int SingleType = 27;
constexpr int Int8Type = 28;
constexpr int UInt8Type = 29;
constexpr int ObjectType = 30;
constexpr int CharArrayType = 31;
constexpr int IntervalType = 32;
constexpr int BinaryBlobType = 33;
constexpr int DBXConnectionType = 34;
constexpr int VariantType = 35;
constexpr int TimeStampOffsetType = 36;
constexpr int JsonValueType = 37;
constexpr int CallbackType = 38;
constexpr int MaxBaseTypes = 39;
}  // namespace TDBXDataTypes

namespace TDBXSubDataTypes {
constexpr int NoSubType = 0;
constexpr int MoneySubType = 21;    // a double holding money
constexpr int MemoSubType = 22;     // single-byte memo; the first blob sub type
constexpr int BinarySubType = 23;   // raw bytes
constexpr int AutoIncSubType = 29;  // a 32-bit integer the database numbers
constexpr int FixedSubType = 31;    // fixed-length characters
constexpr int WideMemoSubType = 32;
constexpr int HMemoSubType = 33;  // single-byte memo
constexpr int LastBlobSubType = 36;
}  // namespace TDBXSubDataTypes

namespace TDBXValueTypeFlags {
constexpr int Nullable = 0x01;
constexpr int ReadOnly = 0x02;
constexpr int Searchable = 0x04;
constexpr int AutoIncrement = 0x08;
constexpr int ReadOnlyType = 0x20;
constexpr int Hidden = 0x40;
constexpr int ValueParameter = 0x100;
constexpr int Literal = 0x200;
}  // namespace TDBXValueTypeFlags

// Date, time, timestamp and BCD values. No driver of the system produces
// them; they exist so that every value class of the framework can be made.
using TDBXDate = std::int32_t;  // days since 0001-01-01
using TDBXTime = std::int32_t;  // milliseconds since midnight
struct TSQLTimeStamp {
    std::int16_t Year = 0;
    std::uint16_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    std::uint32_t Fractions = 0;
};
struct TSQLTimeStampOffset {
    TSQLTimeStamp TimeStamp;
    std::int16_t TimeZoneHour = 0, TimeZoneMinute = 0;
};
struct TBcd {
    std::uint8_t Precision = 0;
    std::uint8_t SignSpecialPlaces = 0;
    std::array<std::uint8_t, 32> Fraction{};
};

class TDBXRow;

// The description of one column or parameter: name, type codes, size and
// flags. Once flag 0x20 is set (by the reader that made it) the description
// is frozen and its setters fail with code 9.
class TDBXValueType {
public:
    explicit TDBXValueType(TDBXContextPtr Context = nullptr);
    virtual ~TDBXValueType() = default;

    // "TDBXTypes." and the code's name, or "TDBXTypes.UNKNOWN(n)".
    static String DataTypeName(int DataType);

    // A copy of every field; WritableClone also clears the frozen flag.
    std::unique_ptr<TDBXValueType> Clone() const;
    std::unique_ptr<TDBXValueType> WritableClone() const;

    virtual void SetDbxRow(TDBXRow* Row) { FDbxRow = Row; }
    virtual void SetParameterDirection(int Direction) { FParameterDirection = Direction; }
    virtual void SetName(const String& Name);
    virtual void SetDisplayName(const String& Caption);
    virtual void SetOrdinal(int Ordinal);
    virtual void SetDataType(int DataType);
    virtual void SetSubType(int SubType);
    virtual void SetPrecision(std::int64_t Precision);
    virtual void SetScale(int Scale);
    virtual void SetChildPosition(int ChildPosition);
    virtual void SetFlags(int Flags);
    virtual void SetNullable(bool Nullable);
    virtual void SetSize(std::int64_t Size);
    virtual void SetHidden(bool Hidden);
    virtual void SetValueParameter(bool ValueParameter);
    virtual void SetLiteral(bool Literal);

    virtual int GetParameterDirection() const { return FParameterDirection; }
    virtual String GetName() const { return FName; }
    virtual String GetDisplayName() const { return FCaption; }
    virtual int GetOrdinal() const { return FOrdinal; }
    virtual int GetDataType() const { return FDataType; }
    virtual int GetSubType() const { return FSubType; }
    virtual std::int64_t GetPrecision() const { return FPrecision; }
    virtual int GetScale() const { return FScale; }
    virtual int GetChildPosition() const { return FChildPosition; }
    virtual int GetFlags() const { return FFlags; }
    virtual std::int64_t GetSize() const { return FSize; }
    virtual bool GetHidden() const { return (FFlags & TDBXValueTypeFlags::Hidden) != 0; }
    virtual bool GetValueParameter() const { return (FFlags & TDBXValueTypeFlags::ValueParameter) != 0; }
    virtual bool GetLiteral() const { return (FFlags & TDBXValueTypeFlags::Literal) != 0; }

    bool IsNullable() const { return (FFlags & TDBXValueTypeFlags::Nullable) != 0; }
    bool IsReadOnly() const { return (FFlags & TDBXValueTypeFlags::ReadOnly) != 0; }
    bool IsSearchable() const { return (FFlags & TDBXValueTypeFlags::Searchable) != 0; }
    bool IsAutoIncrement() const { return (FFlags & TDBXValueTypeFlags::AutoIncrement) != 0; }
    bool IsReadOnlyType() const { return (FFlags & TDBXValueTypeFlags::ReadOnlyType) != 0; }
    bool Modified() const { return FModified; }
    TDBXRow* DbxRow() const { return FDbxRow; }
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }

private:
    void CheckWritable() const;
    void SetFlag(int Flag, bool On);

    String FName;
    String FCaption;
    int FOrdinal = 0;
    int FDataType = 0;
    int FSubType = 0;
    std::int64_t FSize = 0;
    std::int64_t FPrecision = 0;
    int FScale = 0;
    int FChildPosition = 0;
    int FFlags = 0;
    int FParameterDirection = 0;
    TDBXRow* FDbxRow = nullptr;
    TDBXContextPtr FDBXContext;
    bool FModified = false;
};

// How a driver obtains new descriptions.
struct TDBXDriverHelp {
    static std::unique_ptr<TDBXValueType> CreateTDBXValueType(const TDBXContextPtr& Context);
};

}  // namespace sql
