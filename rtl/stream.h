#pragma once
// Byte streams: the abstract TStream and TMemoryStream, which blob values are
// read through.

#include <cstdint>

#include "rtl/variant.h"

namespace rtl {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;

    // Copies up to Count bytes into Buffer; gives the number copied.
    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;
    virtual std::int64_t Size() const;
    virtual void SetSize(std::int64_t NewSize) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t Pos) { Seek(Pos, TSeekOrigin::soBeginning); }
    // Reads exactly Count bytes or raises EStreamError.
    void ReadBuffer(void* Buffer, std::int64_t Count);
    void WriteBuffer(const void* Buffer, std::int64_t Count);
    // Everything from the current position to the end.
    TBytes ReadRemaining();
};

class TMemoryStream : public TStream {
public:
    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t NewSize) override;
    void Clear();

    const TBytes& Bytes() const { return FData; }
    std::uint8_t* Memory() { return FData.data(); }

private:
    TBytes FData;
    std::int64_t FPosition = 0;
};

}  // namespace rtl
