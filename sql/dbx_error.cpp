#include "sql/dbx_error.h"

#include "rtl/format.h"
#include "sql/dbx_values.h"

namespace sql {

namespace {

String MessageFor(int ErrorCode, StringView Message) {
    if (!Message.empty()) return String(Message);
    return rtl::Format(u"DBX Error:  %s", {TDBXError::ErrorCodeToString(ErrorCode)});
}

[[noreturn]] void RaiseNoMoreRows(TDBXContext& Context) {
    Context.Error(TDBXErrorCodes::NoData, u"Reader has no more rows");
}

// Every getter of a closed reader's byte reader fails.
class TDBXClosedByteReader final : public TDBXByteReader {
public:
    explicit TDBXClosedByteReader(TDBXContext& Context) : TDBXByteReader(nullptr), FContext(Context) {}
    void GetAnsiString(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetWideString(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetUInt8(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetInt8(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetUInt16(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetInt16(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetInt32(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetInt64(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetSingle(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetDouble(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetBcd(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetTimeStamp(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetTimeStampOffset(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetTime(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetDate(int, std::span<std::uint8_t>, std::int64_t, bool&) override { RaiseNoMoreRows(FContext); }
    void GetByteLength(int, std::int64_t&, bool&) override { RaiseNoMoreRows(FContext); }
    std::int64_t GetBytes(int, std::int64_t, std::span<std::uint8_t>, std::int64_t, std::int64_t, bool&) override {
        RaiseNoMoreRows(FContext);
    }

private:
    TDBXContext& FContext;
};

}  // namespace

TDBXError::TDBXError(int ErrorCode, StringView Message)
    : rtl::Exception(MessageFor(ErrorCode, Message)), FErrorCode(ErrorCode), FErrorMessage(this->Message()) {}

String TDBXError::ErrorCodeToString(int ErrorCode) {
    struct TCodeText {
        int Code;
        const char16_t* Text;
    };
    static constexpr TCodeText texts[] = {
#define KALIMDAR_DBX_ERROR_TEXT(Name, Code, Text) {Code, Text},
        KALIMDAR_DBX_ERROR_CODES(KALIMDAR_DBX_ERROR_TEXT)
#undef KALIMDAR_DBX_ERROR_TEXT
    };
    for (const TCodeText& entry : texts)
        if (entry.Code == ErrorCode && entry.Text) return entry.Text;
    return u"Error Code:  " + rtl::IntToStr(ErrorCode);
}

TDBXContext::TDBXContext() = default;

TDBXContext::TDBXContext(const TDBXContext& Source)
    : FOnError(Source.FOnError),
      FOnTrace(Source.FOnTrace),
      FTraceFlags(Source.FTraceFlags),
      FTraceLevel(Source.FTraceLevel) {}

TDBXContext::~TDBXContext() = default;

void TDBXContext::Error(int ErrorCode, StringView Message) {
    TDBXError error(ErrorCode, Message);
    if (FOnError) FOnError(error);
    throw error;
}

void TDBXContext::Trace(int TraceFlag, StringView Message) {
    if (!FOnTrace) return;
    TDBXTraceInfo info;
    info.FTraceMessage = String(Message);
    info.FTraceFlag = TraceFlag;
    info.FTraceLevel = 5;
    FOnTrace(info);
}

void TDBXContext::SetOnError(TDBXErrorEvent Event) { FOnError = std::move(Event); }
void TDBXContext::SetOnTrace(TDBXTraceEvent Event) { FOnTrace = std::move(Event); }

TDBXByteReader& TDBXContext::ClosedByteReader() {
    if (!FClosedByteReader) FClosedByteReader = std::make_unique<TDBXClosedByteReader>(*this);
    return *FClosedByteReader;
}

void RaiseDBXError(TDBXContext* Context, int ErrorCode, StringView Message) {
    if (Context) Context->Error(ErrorCode, Message);
    throw TDBXError(ErrorCode, Message);
}

}  // namespace sql
