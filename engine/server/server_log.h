// The server log: one text file, QVSERVER.LOG in the program's folder,
// emptied at every start. Request logging writes to it only while the
// process-wide debug-log switch is on; every write swallows its own failures
// so that logging can never disturb request handling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

constexpr const char* kQvServerLogName = "QVSERVER.LOG";

// Process-wide switch, on until the in-process server start turns it off.
bool ServerDebugLog();
void SetServerDebugLog(bool on);

// Full path of the log; empty until StartServerLog has run.
std::string ServerLogPath();
// Whether a log has been started: without one, lines are not even formatted.
bool ServerLogStarted();

// Empties (or creates) the log in `folder` (the program's folder when empty)
// and writes its start line.
void StartServerLog(const std::string& folder = std::string());
// One line: a heading carries the tick count, a line that is empty or begins
// with a blank is indented under the heading's text.
void WriteServerLog(std::string_view line);
// A titled hex dump of at most the first 1K of `buffer`.
void WriteServerLogHex(std::string_view title, std::size_t size, const void* buffer);

// The 70-character dump line of up to 16 bytes (exposed for tests).
std::string FormatHexLine(const std::uint8_t* bytes, std::size_t count);

}  // namespace qv
