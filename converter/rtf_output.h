// Where the writers put their text: a file, memory (tests, and the hex
// data of embedded pictures) or nowhere (the collecting pass and the
// project of a printable document, which the design sends to "NUL").
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace conv {

class RtfOutput {
public:
    enum class Kind { Null, Memory, File };

    RtfOutput() = default;  // Null
    static RtfOutput Memory();
    ~RtfOutput();
    RtfOutput(RtfOutput&& other) noexcept;
    RtfOutput& operator=(RtfOutput&& other) noexcept;
    RtfOutput(const RtfOutput&) = delete;
    RtfOutput& operator=(const RtfOutput&) = delete;

    // Creates (truncates) a file in binary mode; false when it cannot.
    bool OpenFile(const std::string& nativePath);
    // Closes a file; a failed flush is the fatal full-disk error.
    void Close();

    // A failed write is fatal: HelpFileError "Can't write. Disk Full?".
    void Write(std::string_view text);
    void Put(char c) { Write(std::string_view(&c, 1)); }
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    Kind kind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }
    // The text written so far (Memory only).
    const std::string& Text() const { return text_; }

private:
    Kind kind_ = Kind::Null;
    std::string text_;
    std::FILE* file_ = nullptr;
};

}  // namespace conv
