#include "engine/base/qv_exceptions.h"

#include <cstdio>

#include "engine/base/string_resource.h"

namespace qv {

std::string QvFormat(std::string_view fmt, std::initializer_list<QvArg> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%' || i + 1 >= fmt.size()) {
            out.push_back(c);
            continue;
        }
        std::size_t j = i + 1;
        if (fmt[j] == '%') {
            out.push_back('%');
            i = j;
            continue;
        }
        bool leftAlign = false;
        if (fmt[j] == '-') {
            leftAlign = true;
            ++j;
        }
        int width = 0;
        while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9' && width < 1000) width = width * 10 + (fmt[j++] - '0');
        if (j >= fmt.size()) {
            out.append(fmt.substr(i));
            break;
        }
        char conv = fmt[j];
        std::string text;
        const QvArg* arg = next != args.end() ? &*next++ : nullptr;
        if (arg) {
            const auto* iv = std::get_if<std::int64_t>(&arg->value);
            const auto* sv = std::get_if<std::string>(&arg->value);
            char tmp[32];
            switch (conv) {
            case 'd':
                if (iv) {
                    std::snprintf(tmp, sizeof tmp, "%lld", static_cast<long long>(*iv));
                    text = tmp;
                }
                break;
            case 'u':
                if (iv) {
                    std::snprintf(tmp, sizeof tmp, "%u", static_cast<unsigned>(*iv));
                    text = tmp;
                }
                break;
            case 'x':
            case 'X':
                if (iv) {
                    std::snprintf(tmp, sizeof tmp, "%llX", static_cast<unsigned long long>(*iv) &
                                                               (*iv < 0 ? 0xFFFFFFFFull : ~0ull));
                    text = tmp;
                }
                break;
            case 's':
                if (sv) text = *sv;
                break;
            default:
                break;
            }
        }
        if (static_cast<int>(text.size()) < width) {
            std::string pad(static_cast<std::size_t>(width) - text.size(), ' ');
            text = leftAlign ? text + pad : pad + text;
        }
        out.append(text);
        i = j;
    }
    return out;
}

std::string CreateFromTable(QvTable table, std::int32_t id) { return QvStrings(table).GetAsString(id); }

std::string CreateFmtFromTable(QvTable table, std::int32_t id, std::initializer_list<QvArg> args) {
    return QvFormat(QvStrings(table).GetAsString(id), args);
}

static void Throw(QvExceptionClass cls, const std::string& msg, std::int32_t id) {
    switch (cls) {
    case QvExceptionClass::Base: throw EqvException(msg, id);
    case QvExceptionClass::Comms: throw EqvCommsException(msg, id);
    case QvExceptionClass::NetBIOS: throw EqvNetBIOSException(msg, id);
    case QvExceptionClass::Winsock: throw EqvWinsockException(msg, id);
    case QvExceptionClass::Server: throw EqvServerException(msg, id);
    case QvExceptionClass::Client: throw EqvClientException(msg, id);
    }
    throw EqvException(msg, id);
}

void RaiseQvException(QvExceptionClass cls, QvTable table, std::int32_t id, std::initializer_list<QvArg> args) {
    Throw(cls, CreateFmtFromTable(table, id, args), id);
    throw EqvException("", id);  // not reached
}

void RaiseQvExceptionNoArgs(QvExceptionClass cls, QvTable table, std::int32_t id) {
    Throw(cls, CreateFromTable(table, id), id);
    throw EqvException("", id);  // not reached
}

EqvNetBIOSException EqvNetBIOSException::Create(int code) {
    std::string text = QvStrings(QvTable::NetBIOS).GetAsString(code).substr(0, 255);
    return EqvNetBIOSException(CreateFmtFromTable(QvTable::General, 131, {code, text}), 131);
}

EqvWinsockException EqvWinsockException::Create(int code) {
    std::string text = QvStrings(QvTable::Winsock).GetAsString(code).substr(0, 255);
    return EqvWinsockException(CreateFmtFromTable(QvTable::General, 135, {code, text}), 135);
}

void CheckNetBIOSResult(int code) {
    if (code != 0) throw EqvNetBIOSException::Create(code);
}

void CheckWinsockResult(int result, int lastError) {
    if (result == -1 && lastError != 0 && lastError != 10035) throw EqvWinsockException::Create(lastError);
}

}  // namespace qv
