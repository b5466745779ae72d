#pragma once
// Where column values come from and how they are read: TDBXRow (the value
// source a driver supplies), TDBXByteReader (typed getters that copy into a
// caller's buffer) and the typed value objects that fetch from a row lazily,
// at most once per row.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "rtl/stream.h"
#include "rtl/variant.h"
#include "sql/dbx_types.h"

namespace sql {

class TDBXConnection;
class TDBXReader;
class TDBXValue;
class TDBXWritableValue;
class TDBXWideStringValue;

// Reads the current row's values straight into a caller's buffer. Ordinals are
// 0-based; a null sets IsNull and leaves the buffer untouched. Fixed-size
// values are written at Offset; a buffer too small for them fails with code 14.
class TDBXByteReader {
public:
    explicit TDBXByteReader(TDBXContextPtr Context);
    virtual ~TDBXByteReader();
    TDBXByteReader(const TDBXByteReader&) = delete;
    TDBXByteReader& operator=(const TDBXByteReader&) = delete;

    virtual void GetAnsiString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetWideString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetUInt8(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetInt8(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetUInt16(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetInt16(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetInt32(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetInt64(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetSingle(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetDouble(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetBcd(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetTimeStamp(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetTimeStampOffset(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetTime(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    virtual void GetDate(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) = 0;
    // The value's size in bytes (UTF-16 for text).
    virtual void GetByteLength(int Ordinal, std::int64_t& Length, bool& IsNull) = 0;
    // Copies at most Length bytes of the value, from its byte Offset, into
    // Value at ValueOffset; gives the number of bytes copied.
    virtual std::int64_t GetBytes(int Ordinal, std::int64_t Offset, std::span<std::uint8_t> Value,
                                  std::int64_t ValueOffset, std::int64_t Length, bool& IsNull) = 0;
    // Reads through GetInt16.
    virtual void GetBoolean(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull);

    const TDBXContextPtr& DBXContext() const { return FDBXContext; }

protected:
    TDBXContextPtr FDBXContext;
};

// The value source of the value objects: a driver's row overrides the getters
// it serves (column = the value's ordinal) and, as a parameter row, the
// setters. Every operation not overridden fails with code 27.
class TDBXRow {
public:
    explicit TDBXRow(TDBXContextPtr Context);
    virtual ~TDBXRow();
    TDBXRow(const TDBXRow&) = delete;
    TDBXRow& operator=(const TDBXRow&) = delete;

    [[noreturn]] void NotImplemented();

    virtual void GetAnsiString(TDBXWritableValue& DbxValue, std::vector<char>& Value, bool& IsNull);
    // Fills Value with the zero-terminated UTF-16 text.
    virtual void GetWideString(TDBXWritableValue& DbxValue, std::vector<char16_t>& Value, bool& IsNull);
    virtual void GetWideString(TDBXWideStringValue& DbxValue, String& Value, bool& IsNull);
    virtual void GetBoolean(TDBXWritableValue& DbxValue, bool& Value, bool& IsNull);
    virtual void GetUInt8(TDBXWritableValue& DbxValue, std::uint8_t& Value, bool& IsNull);
    virtual void GetInt8(TDBXWritableValue& DbxValue, std::int8_t& Value, bool& IsNull);
    virtual void GetUInt16(TDBXWritableValue& DbxValue, std::uint16_t& Value, bool& IsNull);
    virtual void GetInt16(TDBXWritableValue& DbxValue, std::int16_t& Value, bool& IsNull);
    virtual void GetInt32(TDBXWritableValue& DbxValue, std::int32_t& Value, bool& IsNull);
    virtual void GetInt64(TDBXWritableValue& DbxValue, std::int64_t& Value, bool& IsNull);
    virtual void GetSingle(TDBXWritableValue& DbxValue, float& Value, bool& IsNull);
    virtual void GetDouble(TDBXWritableValue& DbxValue, double& Value, bool& IsNull);
    virtual void GetBcd(TDBXWritableValue& DbxValue, TBcd& Value, bool& IsNull);
    virtual void GetDate(TDBXWritableValue& DbxValue, TDBXDate& Value, bool& IsNull);
    virtual void GetTime(TDBXWritableValue& DbxValue, TDBXTime& Value, bool& IsNull);
    virtual void GetTimeStamp(TDBXWritableValue& DbxValue, TSQLTimeStamp& Value, bool& IsNull);
    virtual void GetTimeStampOffset(TDBXWritableValue& DbxValue, TSQLTimeStampOffset& Value, bool& IsNull);
    // Copies at most Length bytes of the value from its byte Offset into
    // Buffer at BufferOffset; ReturnLength is the number copied.
    virtual void GetBytes(TDBXWritableValue& DbxValue, std::int64_t Offset, std::vector<std::uint8_t>& Buffer,
                          std::int64_t BufferOffset, std::int64_t Length, std::int64_t& ReturnLength, bool& IsNull);
    virtual void GetByteLength(TDBXWritableValue& DbxValue, std::int64_t& ByteLength, bool& IsNull);
    // The value's text into a zero-terminated buffer, as GetWideString and
    // GetAnsiString do.
    virtual void GetWideChars(TDBXWritableValue& DbxValue, std::vector<char16_t>& Value, bool& IsNull);
    virtual void GetAnsiChars(TDBXWritableValue& DbxValue, std::vector<char>& Value, bool& IsNull);
    // A reader or connection held as a value; not owned.
    virtual void GetDBXReader(TDBXWritableValue& DbxValue, TDBXReader*& Value, bool& IsNull);
    virtual void GetDBXConnection(TDBXWritableValue& DbxValue, TDBXConnection*& Value, bool& IsNull);
    // Whether the stored value is null, without fetching it.
    virtual bool IsStoredNull(TDBXValue& DbxValue);

    virtual void SetNull(TDBXWritableValue& DbxValue);
    virtual void SetString(TDBXWritableValue& DbxValue, const std::string& Value);
    virtual void SetAnsiString(TDBXWritableValue& DbxValue, const std::string& Value);
    virtual void SetWideString(TDBXWritableValue& DbxValue, const String& Value);
    virtual void SetBoolean(TDBXWritableValue& DbxValue, bool Value);
    virtual void SetUInt8(TDBXWritableValue& DbxValue, std::uint8_t Value);
    virtual void SetInt8(TDBXWritableValue& DbxValue, std::int8_t Value);
    virtual void SetUInt16(TDBXWritableValue& DbxValue, std::uint16_t Value);
    virtual void SetInt16(TDBXWritableValue& DbxValue, std::int16_t Value);
    virtual void SetInt32(TDBXWritableValue& DbxValue, std::int32_t Value);
    virtual void SetInt64(TDBXWritableValue& DbxValue, std::int64_t Value);
    virtual void SetSingle(TDBXWritableValue& DbxValue, float Value);
    virtual void SetDouble(TDBXWritableValue& DbxValue, double Value);
    virtual void SetBCD(TDBXWritableValue& DbxValue, const TBcd& Value);
    virtual void SetDate(TDBXWritableValue& DbxValue, TDBXDate Value);
    virtual void SetTime(TDBXWritableValue& DbxValue, TDBXTime Value);
    virtual void SetTimestamp(TDBXWritableValue& DbxValue, const TSQLTimeStamp& Value);
    virtual void SetTimestampOffset(TDBXWritableValue& DbxValue, const TSQLTimeStampOffset& Value);
    virtual void SetWideChars(TDBXWritableValue& DbxValue, const String& Value);
    virtual void SetAnsiChars(TDBXWritableValue& DbxValue, const std::string& Value);
    virtual void SetWideMemo(TDBXWritableValue& DbxValue, const String& Value);
    virtual void SetAnsiMemo(TDBXWritableValue& DbxValue, const std::string& Value);
    virtual void SetDBXReader(TDBXWritableValue& DbxValue, TDBXReader* Value);
    virtual void SetDBXConnection(TDBXWritableValue& DbxValue, TDBXConnection* Value);
    virtual void SetDynamicBytes(TDBXWritableValue& DbxValue, std::int64_t Offset,
                                 const std::vector<std::uint8_t>& Buffer, std::int64_t BufferOffset,
                                 std::int64_t Length);
    virtual void SetValueType(TDBXWritableValue& DbxValue);

    // A value object of the row's own making for ValueType, or none.
    virtual std::unique_ptr<TDBXWritableValue> CreateCustomValue(const TDBXValueType& ValueType);

    int GetGeneration() const { return FGeneration; }
    // Called by the reader on every new row.
    void NextGeneration() { ++FGeneration; }
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }

protected:
    TDBXContextPtr FDBXContext;
    int FGeneration = 0;
};

// A typed value of one column or parameter; owns its description. Typed
// getters serve only the class made for that type (else code 7).
class TDBXValue {
public:
    // Makes the value class for ValueType's data type, bound to Row; freezes
    // the description when ReadOnlyType. Unlisted types fail with code 3.
    static std::unique_ptr<TDBXWritableValue> CreateValue(const TDBXContextPtr& Context,
                                                          std::unique_ptr<TDBXValueType> ValueType, TDBXRow* Row,
                                                          bool ReadOnlyType);

    explicit TDBXValue(std::unique_ptr<TDBXValueType> ValueType);
    virtual ~TDBXValue();
    TDBXValue(const TDBXValue&) = delete;
    TDBXValue& operator=(const TDBXValue&) = delete;

    TDBXValueType& GetValueType() const { return *FValueType; }
    virtual bool IsNull();

    virtual String GetWideString();
    virtual std::string GetAnsiString();
    // The text of a string value (GetWideString of this framework).
    String GetString() { return GetWideString(); }
    virtual bool GetBoolean();
    virtual std::int8_t GetInt8();
    virtual std::uint8_t GetUInt8();
    virtual std::int16_t GetInt16();
    virtual std::uint16_t GetUInt16();
    virtual std::int32_t GetInt32();
    virtual std::int64_t GetInt64();
    virtual float GetSingle();
    virtual double GetDouble();
    virtual TBcd GetBcd();
    virtual TDBXDate GetDate();
    virtual TDBXTime GetTime();
    virtual TSQLTimeStamp GetTimeStamp();
    virtual TSQLTimeStampOffset GetTimeStampOffset();
    // Copies at most Length bytes from the value's byte Offset into Buffer at
    // BufferOffset; gives the number copied.
    virtual std::int64_t GetBytes(std::int64_t Offset, std::vector<std::uint8_t>& Buffer, std::int64_t BufferOffset,
                                  std::int64_t Length);
    virtual std::unique_ptr<rtl::TStream> GetStream();

    // Conversions from the value's own type (code 7 where there is none).
    virtual String GetAsString();
    virtual std::int64_t GetAsInt64();
    virtual std::int32_t GetAsInt32() { return static_cast<std::int32_t>(GetAsInt64()); }
    std::int16_t GetAsInt16() { return static_cast<std::int16_t>(GetAsInt64()); }
    std::uint16_t GetAsUInt16() { return static_cast<std::uint16_t>(GetAsInt64()); }
    std::int8_t GetAsInt8() { return static_cast<std::int8_t>(GetAsInt64()); }
    std::uint8_t GetAsUInt8() { return static_cast<std::uint8_t>(GetAsInt64()); }
    float GetAsSingle() { return static_cast<float>(GetAsDouble()); }
    virtual double GetAsDouble();
    virtual bool GetAsBoolean();
    // Date, time, timestamp and BCD values give their own value; no other
    // class converts to them.
    virtual TBcd GetAsBcd() { WrongType(TDBXDataTypes::BcdType); }
    virtual TDBXDate GetAsDate() { WrongType(TDBXDataTypes::DateType); }
    virtual TDBXTime GetAsTime() { WrongType(TDBXDataTypes::TimeType); }
    virtual TSQLTimeStamp GetAsTimeStamp() { WrongType(TDBXDataTypes::TimeStampType); }
    virtual TSQLTimeStampOffset GetAsTimeStampOffset() { WrongType(TDBXDataTypes::TimeStampOffsetType); }
    // Null for a null value.
    virtual rtl::Variant GetAsVariant();

protected:
    [[noreturn]] void WrongType(int RequestedType);
    // True when the row moved since the last fetch; MarkFetched notes the row.
    bool NeedsFetch() const;
    void MarkFetched();

    std::unique_ptr<TDBXValueType> FValueType;
    int FGeneration = -1;
    bool FIsNull = true;
    TDBXRow* FDbxRow = nullptr;
};

class TDBXWritableValue : public TDBXValue {
public:
    using TDBXValue::TDBXValue;
    void SetNull();
    bool SetPending() const { return FSetPending; }

protected:
    bool FSetPending = false;
};

// A value of fixed-size type T read through one getter of the row.
template <class T, int DataType>
class TDBXScalarValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
    bool IsNull() override {
        Fetch();
        return FIsNull;
    }

protected:
    using Fetcher = void (TDBXRow::*)(TDBXWritableValue&, T&, bool&);
    virtual Fetcher RowGetter() const = 0;
    const T& Fetch() {
        if (NeedsFetch()) {
            (FDbxRow->*RowGetter())(*this, FValue, FIsNull);
            MarkFetched();
        }
        return FValue;
    }
    T Typed(int RequestedType) {
        if (RequestedType != DataType) WrongType(RequestedType);
        Fetch();
        return FIsNull ? T{} : FValue;
    }

    T FValue{};
};

#define KALIMDAR_DBX_INTEGER_VALUE(Class, Type, Code, Getter)                      \
    class Class : public TDBXScalarValue<Type, Code> {                             \
    public:                                                                        \
        using TDBXScalarValue::TDBXScalarValue;                                    \
        Type Getter() override { return Typed(Code); }                             \
        std::int64_t GetAsInt64() override { return Typed(Code); }                 \
        double GetAsDouble() override { return static_cast<double>(Typed(Code)); } \
        String GetAsString() override;                                             \
        rtl::Variant GetAsVariant() override;                                      \
                                                                                   \
    protected:                                                                     \
        Fetcher RowGetter() const override { return &TDBXRow::Getter; }            \
    };

KALIMDAR_DBX_INTEGER_VALUE(TDBXInt8Value, std::int8_t, TDBXDataTypes::Int8Type, GetInt8)
KALIMDAR_DBX_INTEGER_VALUE(TDBXUInt8Value, std::uint8_t, TDBXDataTypes::UInt8Type, GetUInt8)
KALIMDAR_DBX_INTEGER_VALUE(TDBXInt16Value, std::int16_t, TDBXDataTypes::Int16Type, GetInt16)
KALIMDAR_DBX_INTEGER_VALUE(TDBXUInt16Value, std::uint16_t, TDBXDataTypes::UInt16Type, GetUInt16)
KALIMDAR_DBX_INTEGER_VALUE(TDBXInt32Value, std::int32_t, TDBXDataTypes::Int32Type, GetInt32)
KALIMDAR_DBX_INTEGER_VALUE(TDBXInt64Value, std::int64_t, TDBXDataTypes::Int64Type, GetInt64)
#undef KALIMDAR_DBX_INTEGER_VALUE

class TDBXBooleanValue : public TDBXScalarValue<bool, TDBXDataTypes::BooleanType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    bool GetBoolean() override { return Typed(TDBXDataTypes::BooleanType); }
    bool GetAsBoolean() override { return GetBoolean(); }
    String GetAsString() override;
    rtl::Variant GetAsVariant() override;

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetBoolean; }
};

class TDBXDoubleValue : public TDBXScalarValue<double, TDBXDataTypes::DoubleType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    double GetDouble() override { return Typed(TDBXDataTypes::DoubleType); }
    double GetAsDouble() override { return GetDouble(); }
    String GetAsString() override;
    rtl::Variant GetAsVariant() override;

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetDouble; }
};

class TDBXSingleValue : public TDBXScalarValue<float, TDBXDataTypes::SingleType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    float GetSingle() override { return Typed(TDBXDataTypes::SingleType); }
    double GetAsDouble() override { return GetSingle(); }
    String GetAsString() override;
    rtl::Variant GetAsVariant() override;

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetSingle; }
};

// Date, time, timestamp and BCD values: fetched, not converted.
class TDBXDateValue : public TDBXScalarValue<TDBXDate, TDBXDataTypes::DateType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    TDBXDate GetDate() override { return Typed(TDBXDataTypes::DateType); }
    TDBXDate GetAsDate() override { return GetDate(); }

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetDate; }
};

class TDBXTimeValue : public TDBXScalarValue<TDBXTime, TDBXDataTypes::TimeType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    TDBXTime GetTime() override { return Typed(TDBXDataTypes::TimeType); }
    TDBXTime GetAsTime() override { return GetTime(); }

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetTime; }
};

class TDBXTimeStampValue : public TDBXScalarValue<TSQLTimeStamp, TDBXDataTypes::TimeStampType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    TSQLTimeStamp GetTimeStamp() override { return Typed(TDBXDataTypes::TimeStampType); }
    TSQLTimeStamp GetAsTimeStamp() override { return GetTimeStamp(); }

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetTimeStamp; }
};

class TDBXTimeStampOffsetValue : public TDBXScalarValue<TSQLTimeStampOffset, TDBXDataTypes::TimeStampOffsetType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    TSQLTimeStampOffset GetTimeStampOffset() override { return Typed(TDBXDataTypes::TimeStampOffsetType); }
    TSQLTimeStampOffset GetAsTimeStampOffset() override { return GetTimeStampOffset(); }

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetTimeStampOffset; }
};

class TDBXBcdValue : public TDBXScalarValue<TBcd, TDBXDataTypes::BcdType> {
public:
    using TDBXScalarValue::TDBXScalarValue;
    TBcd GetBcd() override { return Typed(TDBXDataTypes::BcdType); }
    TBcd GetAsBcd() override { return GetBcd(); }

protected:
    Fetcher RowGetter() const override { return &TDBXRow::GetBcd; }
};

// A UTF-16 string value read whole through the row's string overload.
class TDBXWideStringValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
    bool IsNull() override;
    String GetWideString() override;
    String GetAsString() override { return GetWideString(); }
    rtl::Variant GetAsVariant() override;

protected:
    virtual void FetchString();
    String FWideString;
};

// A UTF-16 string value read into a zero-terminated buffer.
class TDBXWideStringBuilderValue : public TDBXWideStringValue {
public:
    using TDBXWideStringValue::TDBXWideStringValue;

protected:
    void FetchString() override;
    std::vector<char16_t> FWideStringBuilder;
};

// A single-byte string value read into a zero-terminated buffer.
class TDBXAnsiStringBuilderValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
    bool IsNull() override;
    std::string GetAnsiString() override;
    String GetAsString() override;
    rtl::Variant GetAsVariant() override;

protected:
    void FetchString();
    std::vector<char> FAnsiStringBuilder;
    std::string FAnsiString;
};

// A value read as its bytes (the base of memo and stream values).
class TDBXByteArrayValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
    bool IsNull() override;
    std::int64_t GetBytes(std::int64_t Offset, std::vector<std::uint8_t>& Buffer, std::int64_t BufferOffset,
                          std::int64_t Length) override;
    const std::vector<std::uint8_t>& Bytes() {
        FetchBytes();
        return FBytes;
    }

protected:
    virtual void FetchBytes();
    std::vector<std::uint8_t> FBytes;
    std::int64_t FByteLength = 0;
};

// Text held as UTF-16 bytes; a trailing two-byte zero terminator is dropped.
class TDBXWideMemoValue : public TDBXByteArrayValue {
public:
    using TDBXByteArrayValue::TDBXByteArrayValue;
    String GetWideString() override;
    String GetAsString() override { return GetWideString(); }
    rtl::Variant GetAsVariant() override;

protected:
    void FetchBytes() override;
};

// Text held as single-byte (UTF-8) bytes.
class TDBXAnsiMemoValue : public TDBXByteArrayValue {
public:
    using TDBXByteArrayValue::TDBXByteArrayValue;
    std::string GetAnsiString() override;
    String GetAsString() override;
    rtl::Variant GetAsVariant() override;
};

// Raw bytes, read as a stream.
class TDBXStreamValue : public TDBXByteArrayValue {
public:
    using TDBXByteArrayValue::TDBXByteArrayValue;
    std::unique_ptr<rtl::TStream> GetStream() override;
    rtl::Variant GetAsVariant() override;
};

// Values of types no driver of the system produces; they hold only nullness.
class TDBXCursorValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
};
class TDBXReaderValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
};
class TDBXConnectionValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
};
class TDBXJSONValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
};
class TDBXCallbackValue : public TDBXWritableValue {
public:
    using TDBXWritableValue::TDBXWritableValue;
};

}  // namespace sql
