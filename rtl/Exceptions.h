// The framework's exception classes. Every exception derives from Exception and carries
// a message; the hierarchy follows the framework's documented one (EStreamError >
// EFilerError > EReadError, EClassNotFound, ...). Folders above add their own classes
// (EMCIDeviceError, ...) the same way.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "rtl/Consts.h"
#include "rtl/SysUtils.h"

namespace rtl {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    // The text of a string-table entry, with %s / %d directives filled from `args`.
    template <class... A>
    Exception(const TResStringRec& rec, const A&... args)
        : FMessage(Format(LoadResString(rec), args...)) {}

    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    const char* what() const noexcept override { return FMessage.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string FMessage;
};

// Declares an exception class `Name` derived from `Base` with Base's constructors.
#define RTL_EXCEPTION(Name, Base)                                                                  \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        const char* ClassName() const noexcept override { return #Name; }                          \
    }

RTL_EXCEPTION(EConvertError, Exception);
RTL_EXCEPTION(EListError, Exception);
RTL_EXCEPTION(EStringListError, Exception);
RTL_EXCEPTION(EComponentError, Exception);
RTL_EXCEPTION(EResNotFound, Exception);
RTL_EXCEPTION(EOutOfMemory, Exception);
RTL_EXCEPTION(EOutOfResources, EOutOfMemory);
RTL_EXCEPTION(EInvalidOperation, Exception);
RTL_EXCEPTION(EInvalidGraphic, Exception);
RTL_EXCEPTION(EInvalidGraphicOperation, Exception);
RTL_EXCEPTION(EStreamError, Exception);
RTL_EXCEPTION(EFCreateError, EStreamError);
RTL_EXCEPTION(EFOpenError, EStreamError);
RTL_EXCEPTION(EFilerError, EStreamError);
RTL_EXCEPTION(EReadError, EFilerError);
RTL_EXCEPTION(EWriteError, EFilerError);
RTL_EXCEPTION(EClassNotFound, EFilerError);

// Raised to cancel an operation silently: the message loop drops it without a message.
class EAbort : public Exception {
public:
    EAbort() : Exception(SOperationAborted) {}
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EAbort"; }
};

// Raised by operations that a class declares but does not implement.
class EAbstractError : public Exception {
public:
    EAbstractError() : Exception(SAbstractError) {}
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EAbstractError"; }
};

// Raises EAbort.
[[noreturn]] void Abort();

} // namespace rtl
