#include "sql/dbx_value_byte_reader.h"

#include <algorithm>
#include <cstring>

namespace sql {

TDBXValueByteReader::TDBXValueByteReader(TDBXValueList& Values)
    : TDBXByteReader(Values.DBXContext()), FValues(Values) {}

TDBXWritableValue& TDBXValueByteReader::ValueOf(int Ordinal, bool& IsNull) {
    TDBXWritableValue& value = FValues.GetValue(Ordinal);
    IsNull = value.IsNull();
    return value;
}

void TDBXValueByteReader::Put(std::span<std::uint8_t> Value, std::int64_t Offset, const void* Data, std::size_t Size) {
    if (Offset < 0 || Offset + static_cast<std::int64_t>(Size) > static_cast<std::int64_t>(Value.size()))
        RaiseDBXError(FDBXContext.get(), TDBXErrorCodes::InvalidLength, u"");
    std::memcpy(Value.data() + Offset, Data, Size);
}

namespace {

// Copies Size bytes at Data and a terminator of Width zero bytes to Buffer,
// cut to the buffer.
void CopyTerminated(const void* Data, std::size_t Size, std::size_t Width, std::span<std::uint8_t> Buffer) {
    const std::size_t copied = std::min(Size, Buffer.size());
    if (copied > 0) std::memcpy(Buffer.data(), Data, copied);
    std::fill(Buffer.begin() + static_cast<std::ptrdiff_t>(copied),
              Buffer.begin() + static_cast<std::ptrdiff_t>(std::min(Size + Width, Buffer.size())), std::uint8_t{0});
}

std::vector<std::uint8_t> Utf16Bytes(const String& Text) {
    std::vector<std::uint8_t> bytes(Text.size() * 2);
    for (std::size_t i = 0; i < Text.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(Text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(Text[i] >> 8);
    }
    return bytes;
}

}  // namespace

void TDBXValueByteReader::GetWideString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t, bool& IsNull) {
    TDBXWritableValue& value = ValueOf(Ordinal, IsNull);
    if (IsNull) return;
    const std::vector<std::uint8_t> bytes = Utf16Bytes(value.GetWideString());
    CopyTerminated(bytes.data(), bytes.size(), 2, Value);
}

void TDBXValueByteReader::GetAnsiString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t, bool& IsNull) {
    TDBXWritableValue& value = ValueOf(Ordinal, IsNull);
    if (IsNull) return;
    const std::string text = value.GetAnsiString();
    CopyTerminated(text.data(), text.size(), 1, Value);
}

#define KALIMDAR_DBX_VALUE_GETTER(Getter)                                                                             \
    void TDBXValueByteReader::Getter(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) { \
        TDBXWritableValue& value = ValueOf(Ordinal, IsNull);                                                          \
        if (IsNull) return;                                                                                           \
        const auto v = value.Getter();                                                                                \
        Put(Value, Offset, &v, sizeof v);                                                                             \
    }
KALIMDAR_DBX_VALUE_GETTER(GetUInt8)
KALIMDAR_DBX_VALUE_GETTER(GetInt8)
KALIMDAR_DBX_VALUE_GETTER(GetUInt16)
KALIMDAR_DBX_VALUE_GETTER(GetInt16)
KALIMDAR_DBX_VALUE_GETTER(GetInt32)
KALIMDAR_DBX_VALUE_GETTER(GetInt64)
KALIMDAR_DBX_VALUE_GETTER(GetSingle)
KALIMDAR_DBX_VALUE_GETTER(GetDouble)
KALIMDAR_DBX_VALUE_GETTER(GetBcd)
KALIMDAR_DBX_VALUE_GETTER(GetTimeStamp)
KALIMDAR_DBX_VALUE_GETTER(GetTimeStampOffset)
KALIMDAR_DBX_VALUE_GETTER(GetTime)
KALIMDAR_DBX_VALUE_GETTER(GetDate)
#undef KALIMDAR_DBX_VALUE_GETTER

void TDBXValueByteReader::GetBoolean(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) {
    TDBXWritableValue& value = ValueOf(Ordinal, IsNull);
    if (IsNull) return;
    const std::uint16_t v = value.GetBoolean() ? 1 : 0;
    Put(Value, Offset, &v, sizeof v);
}

std::vector<std::uint8_t> TDBXValueByteReader::BytesOf(TDBXWritableValue& Value) {
    if (auto* bytes = dynamic_cast<TDBXByteArrayValue*>(&Value)) return bytes->Bytes();
    return Utf16Bytes(Value.GetWideString());
}

void TDBXValueByteReader::GetByteLength(int Ordinal, std::int64_t& Length, bool& IsNull) {
    TDBXWritableValue& value = ValueOf(Ordinal, IsNull);
    Length = IsNull ? 0 : static_cast<std::int64_t>(BytesOf(value).size());
}

std::int64_t TDBXValueByteReader::GetBytes(int Ordinal, std::int64_t Offset, std::span<std::uint8_t> Value,
                                           std::int64_t ValueOffset, std::int64_t Length, bool& IsNull) {
    TDBXWritableValue& value = ValueOf(Ordinal, IsNull);
    if (IsNull) return 0;
    const std::vector<std::uint8_t> bytes = BytesOf(value);
    const auto size = static_cast<std::int64_t>(bytes.size());
    const auto room = static_cast<std::int64_t>(Value.size());
    if (Offset < 0 || ValueOffset < 0 || Offset >= size || ValueOffset >= room) return 0;
    const std::int64_t count = std::max<std::int64_t>(0, std::min({Length, size - Offset, room - ValueOffset}));
    if (count > 0) std::memcpy(Value.data() + ValueOffset, bytes.data() + Offset, static_cast<std::size_t>(count));
    return count;
}

}  // namespace sql
