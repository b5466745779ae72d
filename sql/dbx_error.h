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

// Error codes of the driver framework, each with its name and the fixed text
// TDBXError::ErrorCodeToString gives it (none for InvalidOperation, which
// then reads "Error Code:  30" as an unknown code does). A driver may raise
// other codes (the SQLite driver passes the library's result codes through
// unchanged).
#define KALIMDAR_DBX_ERROR_CODES(X)                                                                             \
    X(None, 0, u"None")                                                                                         \
    X(Warning, 1, u"Warning")                                                                                   \
    X(NoMemory, 2, u"Insufficient memory to complete the operation")                                            \
    X(UnsupportedFieldType, 3, u"Unsupported field type")                                                       \
    X(InvalidHandle, 4,                                                                                         \
      u"Unexpected internal error. DBX Object such as a connection, command, or reader may already be closed.") \
    X(NotSupported, 5, u"Not supported")                                                                        \
    X(InvalidTime, 6, u"Invalid time")                                                                          \
    X(InvalidType, 7, u"Invalid type")                                                                          \
    X(InvalidOrdinal, 8, u"Invalid ordinal")                                                                    \
    X(InvalidParameter, 9, u"Invalid parameter")                                                                \
    X(EOF_, 10, u"No more rows")                                                                                \
    X(ParameterNotSet, 11, u"Parameter not set")                                                                \
    X(InvalidUserOrPassword, 12, u"Invalid username or password")                                               \
    X(InvalidPrecision, 13, u"Invalid precision")                                                               \
    X(InvalidLength, 14, u"Invalid length")                                                                     \
    X(InvalidIsolationLevel, 15, u"Invalid isolation level")                                                    \
    X(InvalidTransactionId, 16, u"Invalid transaction id")                                                      \
    X(DuplicateTransactionId, 17, u"Duplicate transaction id")                                                  \
    X(TransactionActive, 19, u"Transaction active")                                                             \
    X(MultipleTransactionNotEnabled, 20, u"Multiple transaction not enabled")                                   \
    X(ConnectionFailed, 21, u"Connection failed")                                                               \
    X(DriverInitFailed, 22,                                                                                     \
      u"Driver could not be properly initialized.  Client library may be missing, not "                         \
      u"installed properly, of the wrong version, or the driver may be missing from the system path.")          \
    X(OptimisticLockFailed, 23, u"Optimistic lock failed")                                                      \
    X(InvalidReference, 24, u"Invalid reference")                                                               \
    X(NoTable, 25, u"No table")                                                                                 \
    X(MissingParameterMarker, 26, u"Missing parameter marker")                                                  \
    X(NotImplemented, 27, u"Not implemented")                                                                   \
    X(DriverIncompatible, 28, u"Driver incompatible")                                                           \
    X(InvalidArgument, 29, u"Invalid argument")                                                                 \
    X(InvalidOperation, 30, nullptr)                                                                            \
    X(UnrecognizedCommandType, 31, u"Unrecognized command type.")                                               \
    X(SchemaNameUnspecified, 33, u"Schema or user name separated by a '.' must be specified.")                  \
    X(DatabaseUnspecified, 34, u"Database must be specified.")                                                  \
    X(LibraryNameUnspecified, 35, u"LibraryName must be specified.")                                            \
    X(GetDriverFuncUnspecified, 36, u"GetDriverFunc must be specified.")                                        \
    X(VendorLibUnspecified, 37, u"VendorLib must be specified")                                                 \
    X(NoData, 100, u"No data")                                                                                  \
    X(VendorError, 101, u"Vendor error")

namespace TDBXErrorCodes {
#define KALIMDAR_DBX_ERROR_CODE(Name, Code, Text) constexpr int Name = Code;
KALIMDAR_DBX_ERROR_CODES(KALIMDAR_DBX_ERROR_CODE)
#undef KALIMDAR_DBX_ERROR_CODE
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
    // The same for a literal, whose length is known when it is compiled: the
    // driver traces every library call it makes, and with no hook listening
    // that must cost no more than the test.
    template <std::size_t N>
    void Trace(int TraceFlag, const char16_t (&Message)[N]) {
        if (FOnTrace) Trace(TraceFlag, StringView(Message, N - 1));
    }
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
