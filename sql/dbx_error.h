#pragma once
// The driver framework's error and the per-connection context through which
// every failure is raised and every library call is traced.

#include <cstdint>
#include <functional>
#include <memory>

#include "rtl/exceptions.h"

namespace sql {

using rtl::String;
using rtl::StringView;

// Error codes of the driver framework. A driver may raise other codes (the
// SQLite driver passes the library's result codes through unchanged).
namespace TDBXErrorCodes {
constexpr int None = 0;
constexpr int Warning = 1;
constexpr int NoMemory = 2;
constexpr int UnsupportedFieldType = 3;
constexpr int InvalidHandle = 4;
constexpr int NotSupported = 5;
constexpr int InvalidTime = 6;
constexpr int InvalidType = 7;
constexpr int InvalidOrdinal = 8;
constexpr int InvalidParameter = 9;
constexpr int EOF_ = 10;
constexpr int ParameterNotSet = 11;
constexpr int InvalidUserOrPassword = 12;
constexpr int InvalidPrecision = 13;
constexpr int InvalidLength = 14;
constexpr int InvalidIsolationLevel = 15;
constexpr int InvalidTransactionId = 16;
constexpr int DuplicateTransactionId = 17;
constexpr int TransactionActive = 19;
constexpr int MultipleTransactionNotEnabled = 20;
constexpr int ConnectionFailed = 21;
constexpr int DriverInitFailed = 22;
constexpr int OptimisticLockFailed = 23;
constexpr int InvalidReference = 24;
constexpr int NoTable = 25;
constexpr int MissingParameterMarker = 26;
constexpr int NotImplemented = 27;
constexpr int DriverIncompatible = 28;
constexpr int InvalidArgument = 29;
constexpr int InvalidOperation = 30;
constexpr int UnrecognizedCommandType = 31;
constexpr int SchemaNameUnspecified = 33;
constexpr int DatabaseUnspecified = 34;
constexpr int LibraryNameUnspecified = 35;
constexpr int GetDriverFuncUnspecified = 36;
constexpr int VendorLibUnspecified = 37;
constexpr int NoData = 100;
constexpr int VendorError = 101;
}  // namespace TDBXErrorCodes

// A failure of the driver framework or of a driver, with its integer code.
class TDBXError : public rtl::Exception {
public:
    // An empty Message becomes "DBX Error:  " followed by the code's text.
    TDBXError(int ErrorCode, StringView Message);

    int ErrorCode() const { return FErrorCode; }
    const String& ErrorMessage() const { return FErrorMessage; }

    // The fixed text of a framework error code ("Error Code:  N" for others).
    static String ErrorCodeToString(int ErrorCode);

private:
    int FErrorCode;
    String FErrorMessage;
};

// Trace categories; drivers trace each library call under Vendor.
namespace TDBXTraceFlags {
constexpr int None = 0;
constexpr int Prepare = 1;
constexpr int Execute = 2;
constexpr int Error = 4;
constexpr int Command = 8;
constexpr int Connect = 16;
constexpr int Transact = 32;
constexpr int Blob = 64;
constexpr int Misc = 128;
constexpr int Vendor = 256;
constexpr int Parameter = 512;
constexpr int Reader = 1024;
constexpr int DriverLoad = 2048;
constexpr int MetaData = 4096;
constexpr int Driver = 8192;
constexpr int Custom = 16384;
}  // namespace TDBXTraceFlags

// One trace record handed to a trace hook.
struct TDBXTraceInfo {
    String FTraceMessage;
    int FTraceFlag = 0;
    int FTraceLevel = 0;
    String FCustomCategory;
};

class TDBXByteReader;

using TDBXErrorEvent = std::function<void(TDBXError&)>;
using TDBXTraceEvent = std::function<void(const TDBXTraceInfo&)>;

// The hooks of one connection or factory. Shared (by shared_ptr) between a
// connection and the commands, readers and values made from it, so that a
// reader outliving its connection still has a context to fail through.
class TDBXContext {
public:
    TDBXContext();
    // Copies hooks, trace flags and trace level from Source.
    explicit TDBXContext(const TDBXContext& Source);
    ~TDBXContext();
    TDBXContext& operator=(const TDBXContext&) = delete;

    // Builds the error, lets the error hook see it, then raises it.
    [[noreturn]] void Error(int ErrorCode, StringView Message);
    // Passes a record at level 5 to the trace hook; nothing without one.
    void Trace(int TraceFlag, StringView Message);
    bool IsTracing() const { return static_cast<bool>(FOnTrace); }

    const TDBXErrorEvent& OnError() const { return FOnError; }
    void SetOnError(TDBXErrorEvent Event);
    const TDBXTraceEvent& OnTrace() const { return FOnTrace; }
    void SetOnTrace(TDBXTraceEvent Event);
    void RemoveTraceHook() { SetOnTrace(nullptr); }
    int TraceFlags() const { return FTraceFlags; }
    void SetTraceFlags(int Flags) { FTraceFlags = Flags; }
    int TraceLevel() const { return FTraceLevel; }
    void SetTraceLevel(int Level) { FTraceLevel = Level; }

    // The byte reader that stands in for the one of a closed reader: every
    // getter fails with "Reader has no more rows".
    TDBXByteReader& ClosedByteReader();

private:
    TDBXErrorEvent FOnError;
    TDBXTraceEvent FOnTrace;
    int FTraceFlags = 0x4EDF;
    int FTraceLevel = 5;
    std::unique_ptr<TDBXByteReader> FClosedByteReader;
};

using TDBXContextPtr = std::shared_ptr<TDBXContext>;

// Raises through Context when there is one, else directly.
[[noreturn]] void RaiseDBXError(TDBXContext* Context, int ErrorCode, StringView Message);

}  // namespace sql
