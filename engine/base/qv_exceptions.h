// The engine's exceptions: a class, a message table and a message number,
// optionally formatted with arguments. Server operations turn them into
// result codes at their edge.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace qv {

enum class QvTable;

// One argument of a formatted message: an integer or a text.
struct QvArg {
    QvArg(int v) : value(static_cast<std::int64_t>(v)) {}
    QvArg(unsigned v) : value(static_cast<std::int64_t>(v)) {}
    QvArg(long v) : value(static_cast<std::int64_t>(v)) {}
    QvArg(unsigned long v) : value(static_cast<std::int64_t>(v)) {}
    QvArg(long long v) : value(static_cast<std::int64_t>(v)) {}
    QvArg(unsigned long long v) : value(static_cast<std::int64_t>(v)) {}
    QvArg(const char* s) : value(std::string(s)) {}
    QvArg(std::string s) : value(std::move(s)) {}
    QvArg(std::string_view s) : value(std::string(s)) {}
    std::variant<std::int64_t, std::string> value;
};

// The message formatter: %d, %u, %x (upper-case hex), %s and %%, with an
// optional width; a missing or mismatched argument prints nothing.
std::string QvFormat(std::string_view fmt, std::initializer_list<QvArg> args);

// Root of everything the engine and its string reader raise.
class EqvBaseError : public std::runtime_error {
public:
    explicit EqvBaseError(const std::string& msg) : std::runtime_error(msg) {}
};

class EqvException : public EqvBaseError {
public:
    EqvException(const std::string& msg, std::int32_t errorNumber) : EqvBaseError(msg), errorNumber_(errorNumber) {}
    std::int32_t ErrorNumber() const { return errorNumber_; }

private:
    std::int32_t errorNumber_;
};

class EqvCommsException : public EqvException {
public:
    using EqvException::EqvException;
};
class EqvNetBIOSException : public EqvCommsException {
public:
    using EqvCommsException::EqvCommsException;
    static EqvNetBIOSException Create(int code);
};
class EqvWinsockException : public EqvCommsException {
public:
    using EqvCommsException::EqvCommsException;
    static EqvWinsockException Create(int code);
};
class EqvServerException : public EqvException {
public:
    using EqvException::EqvException;
};
class EqvClientException : public EqvException {
public:
    using EqvException::EqvException;
};

enum class QvExceptionClass { Base, Comms, NetBIOS, Winsock, Server, Client };

std::string CreateFromTable(QvTable table, std::int32_t id);
std::string CreateFmtFromTable(QvTable table, std::int32_t id, std::initializer_list<QvArg> args);

[[noreturn]] void RaiseQvException(QvExceptionClass cls, QvTable table, std::int32_t id,
                                   std::initializer_list<QvArg> args);
[[noreturn]] void RaiseQvExceptionNoArgs(QvExceptionClass cls, QvTable table, std::int32_t id);

void CheckNetBIOSResult(int code);
// `lastError` is the socket layer's last error, read by the caller right
// after the failing call.
void CheckWinsockResult(int result, int lastError);

}  // namespace qv
