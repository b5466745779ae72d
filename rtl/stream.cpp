#include "rtl/stream.h"

#include <algorithm>
#include <cstring>

#include "rtl/exceptions.h"

namespace rtl {

std::int64_t TStream::Size() const {
    auto* self = const_cast<TStream*>(this);
    const std::int64_t pos = self->Seek(0, TSeekOrigin::soCurrent);
    const std::int64_t size = self->Seek(0, TSeekOrigin::soEnd);
    self->Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* Buffer, std::int64_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EStreamError(u"Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, std::int64_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EStreamError(u"Stream write error");
}

TBytes TStream::ReadRemaining() {
    const std::int64_t left = std::max<std::int64_t>(0, Size() - Position());
    TBytes out(static_cast<std::size_t>(left));
    out.resize(static_cast<std::size_t>(Read(out.data(), left)));
    return out;
}

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
    const std::int64_t n = std::clamp<std::int64_t>(Size() - FPosition, 0, std::max<std::int64_t>(Count, 0));
    if (n > 0) std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0) return 0;
    if (FPosition + Count > Size()) FData.resize(static_cast<std::size_t>(FPosition + Count));
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition += Count;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    switch (Origin) {
        case TSeekOrigin::soBeginning: FPosition = Offset; break;
        case TSeekOrigin::soCurrent: FPosition += Offset; break;
        case TSeekOrigin::soEnd: FPosition = Size() + Offset; break;
    }
    if (FPosition < 0) FPosition = 0;
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    FData.resize(static_cast<std::size_t>(std::max<std::int64_t>(NewSize, 0)));
    FPosition = std::min(FPosition, Size());
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

}  // namespace rtl
