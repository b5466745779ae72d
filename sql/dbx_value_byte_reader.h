#pragma once
// TDBXValueByteReader: a byte reader over a reader's value objects, for the
// SQL dataset when the driver gave the reader no byte reader of its own. It
// copies each typed value into the caller's buffer as a driver's byte reader
// would. The reader must outlive it.

#include "sql/dbx_common.h"

namespace sql {

class TDBXValueByteReader : public TDBXByteReader {
public:
    explicit TDBXValueByteReader(TDBXValueList& Values);

    // Text is copied with its terminator, cut to the buffer.
    void GetAnsiString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetWideString(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetUInt8(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt8(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetUInt16(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt16(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt32(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetInt64(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetSingle(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetDouble(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetBcd(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetTimeStamp(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetTimeStampOffset(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetTime(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    void GetDate(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    // A boolean value as a 16-bit 1 or 0 (its value object has no 16-bit getter).
    void GetBoolean(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) override;
    // The bytes of a byte-array value, or the UTF-16 bytes of a wide string.
    void GetByteLength(int Ordinal, std::int64_t& Length, bool& IsNull) override;
    std::int64_t GetBytes(int Ordinal, std::int64_t Offset, std::span<std::uint8_t> Value, std::int64_t ValueOffset,
                          std::int64_t Length, bool& IsNull) override;

private:
    // The column's value; IsNull tells whether it holds none.
    TDBXWritableValue& ValueOf(int Ordinal, bool& IsNull);
    // Writes the Size bytes at Data to Value at Offset; a buffer too small fails with code 14.
    void Put(std::span<std::uint8_t> Value, std::int64_t Offset, const void* Data, std::size_t Size);
    // The bytes GetByteLength and GetBytes serve.
    std::vector<std::uint8_t> BytesOf(TDBXWritableValue& Value);

    TDBXValueList& FValues;
};

}  // namespace sql
