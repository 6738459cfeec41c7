#include "converter/rtf_output.h"

#include <cstdarg>
#include <utility>

#include "converter/help_file.h"

namespace conv {

namespace {
[[noreturn]] void DiskFull() { throw HelpFileError("Can't write. Disk Full?\n"); }
}  // namespace

RtfOutput RtfOutput::Memory() {
    RtfOutput o;
    o.kind_ = Kind::Memory;
    return o;
}

RtfOutput::~RtfOutput() {
    if (file_) std::fclose(file_);
}

RtfOutput::RtfOutput(RtfOutput&& other) noexcept
    : kind_(other.kind_), text_(std::move(other.text_)), file_(std::exchange(other.file_, nullptr)) {
    other.kind_ = Kind::Null;
}

RtfOutput& RtfOutput::operator=(RtfOutput&& other) noexcept {
    if (this != &other) {
        if (file_) std::fclose(file_);
        kind_ = std::exchange(other.kind_, Kind::Null);
        text_ = std::move(other.text_);
        file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
}

bool RtfOutput::OpenFile(const std::string& nativePath) {
    if (file_) std::fclose(file_);
    file_ = std::fopen(nativePath.c_str(), "wb");
    kind_ = file_ ? Kind::File : Kind::Null;
    return file_ != nullptr;
}

void RtfOutput::Close() {
    if (!file_) return;
    std::FILE* f = std::exchange(file_, nullptr);
    kind_ = Kind::Null;
    if (std::fclose(f) != 0) DiskFull();
}

void RtfOutput::Write(std::string_view text) {
    switch (kind_) {
    case Kind::Null: return;
    case Kind::Memory: text_.append(text); return;
    case Kind::File:
        if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) DiskFull();
        return;
    }
}

void RtfOutput::Printf(const char* format, ...) {
    if (kind_ == Kind::Null) return;
    char small[512];
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        va_end(copy);
        Write(std::string_view(small, static_cast<std::size_t>(n)));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    big.resize(static_cast<std::size_t>(n));
    Write(big);
}

}  // namespace conv
