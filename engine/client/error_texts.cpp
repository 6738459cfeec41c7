#include "engine/client/error_texts.h"

#include <cstring>

#include "engine/base/qv_base.h"
#include "engine/base/qv_exceptions.h"
#include "engine/client/client_strings.h"
#include "engine/client/message_box.h"

namespace qv {

void CopyToBuffer(std::string_view text, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n > 0) std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string GetErrorText(DBIResult code) {
    std::string text = BdeErrorString(code);
    if (text.empty()) text = QvFormat(ClientString(cs::kBdeErrorFmt), {static_cast<int>(code)});
    return text;
}

std::string GetErrorString(DBIResult code) {
    if (code == kDbiErrNotSupported) return ClientString(cs::kNotSupportedShort);
    if (NativeErrorPending()) {
        DBIResult native = LastNativeError();
        std::string text = BdeErrorString(native);
        if (text.empty()) return QvFormat(ClientString(cs::kBdeErrorFmt), {static_cast<int>(native)});
        // The table's string 773 ("Base Classes") has no room for the code or
        // the text, so the native error's own text is kept and only the
        // context is added.
        if (!ErrorContext().empty()) {
            text += ClientString(cs::kKeyContext);
            text += ErrorContext();
            text += "]";
            ClearErrorContext();
        }
        return text;
    }
    return GetErrorText(code);
}

void GetErrorText(DBIResult code, char* buffer) { CopyToBuffer(GetErrorText(code), buffer, kDbiMaxMsgLen + 1); }

void GetErrorString(DBIResult code, char* buffer) {
    CopyToBuffer(GetErrorString(code), buffer, kDbiMaxMsgLen + 1);
}

void ShowNotSupportedMessage(std::string_view format, std::string_view callName) {
    std::string text = QvLongToShStr(QvFormat(format, {callName}));
    EngineMessageBox(ClientString(cs::kSystemMessageCaption), text, kMbIconInformation | kMbTaskModal);
}

DBIResult ReportNotSupported(TBapiListItem& handle, int callNameId) {
    std::string name = ClientString(callNameId);
    if (!name.empty()) ShowNotSupportedMessage(ClientString(cs::kNotSupportedFmt), name);
    return handle.SetResult(kDbiErrNotSupported);
}

DBIResult ReportNotSupportedNoStore(TBapiListItem&, int callNameId) {
    std::string name = ClientString(callNameId);
    if (!name.empty()) ShowNotSupportedMessage(ClientString(cs::kNotSupportedNoStoreFmt), name);
    return kDbiErrNotSupported;
}

}  // namespace qv
