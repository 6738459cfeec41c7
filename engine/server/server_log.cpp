#include "engine/server/server_log.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/core/clock.h"
#include "platform/core/paths.h"

namespace qv {
namespace {

std::atomic<bool> g_debugLog{true};
std::mutex g_pathLock;
std::string g_logPath;
std::atomic<bool> g_logStarted{false};

constexpr std::size_t kIndent = 13;  // width of the tick column and its blank
constexpr std::size_t kMaxDump = 1024;

std::string TickColumn() {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%12d", static_cast<std::int32_t>(plat::GetTickCount()));
    return buf;
}

// Appends whole lines in one open/write/close so lines from the receive path
// and the handler never interleave.
void AppendLines(const std::string& text) {
    std::string path = ServerLogPath();
    if (path.empty()) return;
    try {
        if (std::FILE* f = std::fopen(path.c_str(), "ab")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    } catch (...) {
    }
}

}  // namespace

bool ServerDebugLog() { return g_debugLog.load(); }
void SetServerDebugLog(bool on) { g_debugLog.store(on); }

bool ServerLogStarted() { return g_logStarted.load(); }

std::string ServerLogPath() {
    std::lock_guard<std::mutex> g(g_pathLock);
    return g_logPath;
}

void StartServerLog(const std::string& folder) {
    try {
        std::string dir = folder.empty() ? plat::ProgramDir() : folder;
        if (!dir.empty() && dir.back() != '/') dir += '/';
        {
            std::lock_guard<std::mutex> g(g_pathLock);
            g_logPath = dir + kQvServerLogName;
        }
        g_logStarted.store(true);
        if (std::FILE* f = std::fopen((dir + kQvServerLogName).c_str(), "wb")) {
            std::string line = TickColumn() + " QV server log started\r\n";
            std::fwrite(line.data(), 1, line.size(), f);
            std::fclose(f);
        }
    } catch (...) {
    }
}

void WriteServerLog(std::string_view line) {
    try {
        std::string out;
        if (line.empty() || line.front() == ' ')
            out.assign(kIndent, ' ');
        else
            out = TickColumn() + ' ';
        out.append(line);
        out += "\r\n";
        AppendLines(out);
    } catch (...) {
    }
}

std::string FormatHexLine(const std::uint8_t* bytes, std::size_t count) {
    static const char kHex[] = "0123456789abcdef";
    std::string line(70, ' ');
    if (count > 16) count = 16;
    for (std::size_t i = 0; i < count; ++i) {
        // Two digits per byte, one blank between bytes and an extra one
        // between groups of four (0-based columns 0, 3, 6, 9, 13, ...).
        std::size_t col = i * 3 + i / 4;
        line[col] = kHex[bytes[i] >> 4];
        line[col + 1] = kHex[bytes[i] & 15];
        line[53 + i] = (bytes[i] < 32 || bytes[i] >= 128) ? '.' : static_cast<char>(bytes[i]);
    }
    line[52] = '[';
    line[69] = ']';
    return line;
}

void WriteServerLogHex(std::string_view title, std::size_t size, const void* buffer) {
    try {
        const std::string indent(kIndent, ' ');
        std::string out = indent + std::string(title) + " (Size: " + std::to_string(size) + ")\r\n";
        if (size == 0 || buffer == nullptr) {
            out += indent + "buffer is nil\r\n";
            AppendLines(out);
            return;
        }
        if (size > kMaxDump) {
            out += indent + "(writing first 1K of buffer only)\r\n";
            size = kMaxDump;
        }
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        for (std::size_t at = 0; at < size; at += 16)
            out += indent + FormatHexLine(p + at, std::min<std::size_t>(16, size - at)) + "\r\n";
        AppendLines(out);
    } catch (...) {
    }
}

}  // namespace qv
