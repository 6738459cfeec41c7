// Outside programs and shared libraries.
//
// Programs are started without a shell: arguments travel as an argv vector,
// so spaces and quotes arrive as they were given. Program names go through
// the path layer (drive letters, names in any letter case). A bare name is
// looked for in the current folder, then the program directory, then each
// folder of PATH; ".exe", ".com", ".bat" and ".cmd" may be left off or added
// ("KWGEN.EXE" finds a native "kwgen", "notepad" finds "notepad.exe"), so
// configured Win32 program names can point at native programs or wrappers.
// A file that the OS cannot execute directly (a script without "#!") runs
// through /bin/sh. Text is Windows-1252 inside, UTF-8 on the command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Splits a Win32 command line the way the C runtime builds argv: blanks
// separate arguments; double quotes group; 2n backslashes before a quote give
// n backslashes and the quote groups, 2n+1 give n and a literal quote; ""
// inside quotes is a literal quote. The program name (first argument) ends at
// the closing quote or the first blank, with no backslash processing.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
// The inverse: a command line that SplitCommandLine turns back into `args`.
std::string JoinCommandLine(const std::vector<std::string>& args);

// The native path of the program `program` names (rules above); "" when none.
std::string FindProgram(std::string_view program);

// Starts argv[0] with the arguments argv[1..] in `workDir` (the current
// folder when empty) and waits for it to end. The exit code, 128 + the signal
// number when a signal ended it, or -1 when it could not be started (the
// reason in GetLastError: 2 program not found, 267 bad working folder, ...).
int RunAndWait(const std::vector<std::string>& argv, std::string_view workDir = {});
int RunCommandLineAndWait(std::string_view commandLine, std::string_view workDir = {});
// Starts without waiting; the child is never left as a zombie. False (with
// the reason in GetLastError) when it could not be started.
bool StartProcess(const std::vector<std::string>& argv, std::string_view workDir = {});
// Starts like StartProcess, then watches the program for up to `watchMs`
// milliseconds. Launchers such as xdg-open start the real program and end
// at once, and when they cannot they say why on their error output and end
// with an error code; a program that ends so within the watch has failed,
// and `errorText` (when given) receives what it wrote there (system text).
// A program still running after the watch is left to run. False with the
// reason in GetLastError (31 when the program itself reported a failure).
bool StartProcessWatched(const std::vector<std::string>& argv, int watchMs, std::string* errorText,
                         std::string_view workDir = {});
// Win32 shape: above 31 on success, otherwise an error code (2 not found, ...).
// The show state has no meaning here.
std::uint32_t WinExec(std::string_view commandLine, unsigned showCmd);

// A loaded shared library. Move-only; unloads itself.
class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // A name with a folder goes through the path layer; a bare name is looked
    // for in the program directory and the current folder (any letter case),
    // then through the system's library search. False with 126 in GetLastError
    // and the loader's message in ErrorText when it cannot be loaded.
    bool Load(std::string_view name);
    bool IsLoaded() const { return handle_ != nullptr; }
    void Unload();
    // The routine's address, or nullptr with 127 (6 when nothing is loaded).
    void* Symbol(std::string_view name);
    const std::string& ErrorText() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace plat
