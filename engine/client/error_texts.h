// Result texts and the report of calls the engine does not carry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/client/handle_base.h"

namespace qv {

// The message buffers of the API hold 127 characters and a terminator.
constexpr std::size_t kDbiMaxMsgLen = 127;

// The text of `code`, or "BDE Error <code>." when the table has none.
std::string GetErrorText(DBIResult code);
// The session's error string: "Not Supported" for 12289, else the text of a
// pending native error, else GetErrorText. Reading a native error's text
// consumes the error context.
std::string GetErrorString(DBIResult code);
// Both copy the text into `buffer` (kDbiMaxMsgLen + 1 bytes), cut to fit.
void GetErrorText(DBIResult code, char* buffer);
void GetErrorString(DBIResult code, char* buffer);

// Shows `format` (one %s) filled with `callName`, cut to 255 characters, in
// the engine's system-message box.
void ShowNotSupportedMessage(std::string_view format, std::string_view callName);
// The message box naming the call (client string `callNameId`), unless the
// name is empty; then 12289 stored in `handle` and returned.
DBIResult ReportNotSupported(TBapiListItem& handle, int callNameId);
// The same box; 12289 is returned but not stored.
DBIResult ReportNotSupportedNoStore(TBapiListItem& handle, int callNameId);

// Copies `text` zero-terminated into buffer[size], cut to fit.
void CopyToBuffer(std::string_view text, char* buffer, std::size_t size);

}  // namespace qv
