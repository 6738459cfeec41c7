// The exception classes the class library raises and callers catch by kind.
// Each carries a Windows-1252 message.
#pragma once

#include <stdexcept>
#include <string>

namespace plat {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

#define PLAT_EXCEPTION(Name, Base)                                              \
    class Name : public Base {                                                  \
    public:                                                                     \
        explicit Name(const std::string& message) : Base(message) {}            \
    }

PLAT_EXCEPTION(EConvertError, Exception);    // bad number, date or format text
PLAT_EXCEPTION(EListError, Exception);       // bad list index, duplicates refused
PLAT_EXCEPTION(EStreamError, Exception);     // short read or write on a stream
PLAT_EXCEPTION(EReadError, EStreamError);    // a value of the wrong kind in a stored stream
PLAT_EXCEPTION(EWriteError, EStreamError);
PLAT_EXCEPTION(EFOpenError, EStreamError);   // a file that cannot be opened or created
PLAT_EXCEPTION(EFCreateError, EStreamError);
PLAT_EXCEPTION(EOutOfMemory, Exception);
PLAT_EXCEPTION(EAbort, Exception);           // the silent abort: callers show nothing

#undef PLAT_EXCEPTION

}  // namespace plat
