#pragma once
// The exception family: every failure of the system is an Exception carrying a
// UTF-16 message, optionally wrapping the exception that caused it.

#include <exception>
#include <memory>
#include <string>

#include "rtl/strings.h"

namespace rtl {

class Exception : public std::exception {
public:
    explicit Exception(String message);
    Exception(String message, std::shared_ptr<const Exception> inner);

    const String& Message() const noexcept { return FMessage; }
    void SetMessage(String message);
    // The exception this one wraps, or null.
    const Exception* InnerException() const noexcept { return FInner.get(); }

    const char* what() const noexcept override { return FWhat.c_str(); }

private:
    String FMessage;
    std::string FWhat;
    std::shared_ptr<const Exception> FInner;
};

// A silent failure: it stops the current operation and is never shown.
class EAbort : public Exception {
public:
    using Exception::Exception;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class EListError : public Exception {
public:
    using Exception::Exception;
};

class EComponentError : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EVariantError : public Exception {
public:
    using Exception::Exception;
};

class ENotSupportedException : public Exception {
public:
    using Exception::Exception;
};

[[noreturn]] void Abort();

}  // namespace rtl
