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
    switch (ErrorCode) {
    case 0: return u"None";
    case 1: return u"Warning";
    case 2: return u"Insufficient memory to complete the operation";
    case 3: return u"Unsupported field type";
    case 4: return u"Unexpected internal error. DBX Object such as a connection, command, or reader may already be closed.";
    case 5: return u"Not supported";
    case 6: return u"Invalid time";
    case 7: return u"Invalid type";
    case 8: return u"Invalid ordinal";
    case 9: return u"Invalid parameter";
    case 10: return u"No more rows";
    case 11: return u"Parameter not set";
    case 12: return u"Invalid username or password";
    case 13: return u"Invalid precision";
    case 14: return u"Invalid length";
    case 15: return u"Invalid isolation level";
    case 16: return u"Invalid transaction id";
    case 17: return u"Duplicate transaction id";
    case 19: return u"Transaction active";
    case 20: return u"Multiple transaction not enabled";
    case 21: return u"Connection failed";
    case 22:
        return u"Driver could not be properly initialized.  Client library may be missing, not installed properly, "
               u"of the wrong version, or the driver may be missing from the system path.";
    case 23: return u"Optimistic lock failed";
    case 24: return u"Invalid reference";
    case 25: return u"No table";
    case 26: return u"Missing parameter marker";
    case 27: return u"Not implemented";
    case 28: return u"Driver incompatible";
    case 29: return u"Invalid argument";
    case 31: return u"Unrecognized command type.";
    case 33: return u"Schema or user name separated by a '.' must be specified.";
    case 34: return u"Database must be specified.";
    case 35: return u"LibraryName must be specified.";
    case 36: return u"GetDriverFunc must be specified.";
    case 37: return u"VendorLib must be specified";
    case 100: return u"No data";
    case 101: return u"Vendor error";
    default: return u"Error Code:  " + rtl::IntToStr(ErrorCode);
    }
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
