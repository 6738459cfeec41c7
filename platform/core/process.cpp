#include "platform/core/process.h"

#include "platform/core/codepage.h"
#include "platform/core/last_error.h"
#include "platform/core/paths.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace plat {

// --- command lines --------------------------------------------------------------

std::vector<std::string> SplitCommandLine(std::string_view cl) {
    std::vector<std::string> args;
    std::size_t i = 0;
    auto blank = [&](std::size_t k) { return k < cl.size() && (cl[k] == ' ' || cl[k] == '\t'); };
    while (blank(i)) ++i;
    if (i >= cl.size()) return args;
    // The program name: no backslash rules, quotes only delimit.
    std::string prog;
    if (cl[i] == '"') {
        ++i;
        while (i < cl.size() && cl[i] != '"') prog.push_back(cl[i++]);
        if (i < cl.size()) ++i;
    } else {
        while (i < cl.size() && !blank(i)) prog.push_back(cl[i++]);
    }
    args.push_back(std::move(prog));
    for (;;) {
        while (blank(i)) ++i;
        if (i >= cl.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < cl.size() && (quoted || !blank(i))) {
            if (cl[i] == '\\') {
                std::size_t n = 0;
                while (i < cl.size() && cl[i] == '\\') ++n, ++i;
                if (i < cl.size() && cl[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2) {
                        arg.push_back('"');
                        ++i;
                    }
                } else {
                    arg.append(n, '\\');
                }
            } else if (cl[i] == '"') {
                if (quoted && i + 1 < cl.size() && cl[i + 1] == '"') {
                    arg.push_back('"');
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg.push_back(cl[i++]);
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string JoinCommandLine(const std::vector<std::string>& args) {
    std::string out;
    for (std::size_t a = 0; a < args.size(); ++a) {
        const std::string& s = args[a];
        if (a) out.push_back(' ');
        if (a == 0) {
            // The program name cannot hold a quote; quote it when it has blanks.
            bool needs = s.empty() || s.find_first_of(" \t") != std::string::npos;
            out += needs ? "\"" + s + "\"" : s;
            continue;
        }
        if (!s.empty() && s.find_first_of(" \t\"") == std::string::npos) {
            out += s;
            continue;
        }
        out.push_back('"');
        std::size_t backslashes = 0;
        for (char c : s) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            if (c == '"') out.append(backslashes * 2 + 1, '\\');
            else out.append(backslashes, '\\');
            backslashes = 0;
            out.push_back(c);
        }
        out.append(backslashes * 2, '\\');  // before the closing quote
        out.push_back('"');
    }
    return out;
}

// --- finding programs ---------------------------------------------------------------

namespace {

bool IsRegularFile(const std::string& native) {
    struct stat st;
    return ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names to try for `name`: as given, without a Win32 program extension,
// or with ".exe" added when it has no extension.
std::vector<std::string> NameVariants(std::string_view name) {
    std::vector<std::string> v{std::string(name)};
    std::string ext = AnsiUpperCase(ExtractFileExt(name));
    if (ext == ".EXE" || ext == ".COM" || ext == ".BAT" || ext == ".CMD")
        v.push_back(ChangeFileExt(name, ""));
    else if (ext.empty())
        v.push_back(std::string(name) + ".exe");
    return v;
}

}  // namespace

namespace {

// Absolute, because the child changes folder before it starts the program.
std::string Absolute(std::string native) {
    if (native.empty() || native[0] == '/') return native;
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) return native;
    if (native.rfind("./", 0) == 0) native.erase(0, 2);
    return std::string(buf) + "/" + native;
}

std::string FindProgramRelative(std::string_view program);

}  // namespace

std::string FindProgram(std::string_view program) { return Absolute(FindProgramRelative(program)); }

namespace {

std::string FindProgramRelative(std::string_view program) {
    if (program.empty()) return {};
    const bool hasFolder = program.find_first_of("\\/:") != std::string_view::npos;
    if (hasFolder) {
        for (const std::string& v : NameVariants(program)) {
            std::string native = NativePath(v);
            if (IsRegularFile(native)) return native;
        }
        return {};
    }
    std::vector<std::string> folders{".", NativePath(ProgramDir())};
    if (const char* path = std::getenv("PATH")) {
        std::string_view p(path);
        while (!p.empty()) {
            std::size_t colon = p.find(':');
            std::string_view dir = p.substr(0, colon);
            folders.emplace_back(dir.empty() ? "." : std::string(dir));
            if (colon == std::string_view::npos) break;
            p.remove_prefix(colon + 1);
        }
    }
    for (const std::string& folder : folders) {
        for (const std::string& v : NameVariants(program)) {
            std::string native = NativePath(SystemText(folder) + "/" + v);
            if (IsRegularFile(native) && ::access(native.c_str(), X_OK) == 0) return native;
        }
    }
    return {};
}

}  // namespace

// --- running programs ----------------------------------------------------------------

namespace {

struct Prepared {
    std::string exe;
    std::string workDir;  // native; empty for the current folder
    std::vector<std::string> args;
    std::vector<std::string> shellArgs;
    std::vector<char*> argv;
    std::vector<char*> shellArgv;
};

// Everything the child needs is built before fork: only async-signal-safe
// calls may run between fork and exec.
bool Prepare(const std::vector<std::string>& argv, std::string_view workDir, Prepared& p) {
    if (argv.empty() || argv[0].empty()) return Fail(ERROR_INVALID_PARAMETER);
    // A NUL byte would silently cut an argument short on its way to the OS.
    for (const std::string& a : argv)
        if (a.find('\0') != std::string::npos) return Fail(ERROR_INVALID_PARAMETER);
    if (workDir.find('\0') != std::string_view::npos) return Fail(ERROR_INVALID_PARAMETER);
    p.exe = FindProgram(argv[0]);
    if (p.exe.empty()) return Fail(ERROR_FILE_NOT_FOUND);
    if (!workDir.empty()) {
        p.workDir = NativePath(workDir);
        struct stat st;
        if (::stat(p.workDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
    }
    for (const std::string& a : argv) p.args.push_back(AnsiToUtf8(a));
    p.shellArgs.push_back("/bin/sh");
    p.shellArgs.push_back(p.exe);
    for (std::size_t i = 1; i < p.args.size(); ++i) p.shellArgs.push_back(p.args[i]);
    for (std::string& a : p.args) p.argv.push_back(a.data());
    p.argv.push_back(nullptr);
    for (std::string& a : p.shellArgs) p.shellArgv.push_back(a.data());
    p.shellArgv.push_back(nullptr);
    return true;
}

[[noreturn]] void ExecChild(const Prepared& p, int errFd) {
    if (!p.workDir.empty() && ::chdir(p.workDir.c_str()) != 0) {
        int err = errno;
        (void)!::write(errFd, &err, sizeof err);
        ::_exit(127);
    }
    ::execve(p.exe.c_str(), p.argv.data(), environ);
    if (errno == ENOEXEC) ::execve("/bin/sh", p.shellArgv.data(), environ);
    int err = errno;
    (void)!::write(errFd, &err, sizeof err);
    ::_exit(127);
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Reads the child's exec failure report: 0 when exec succeeded (EOF).
int ReadExecError(int fd) {
    int err = 0;
    ssize_t n;
    while ((n = ::read(fd, &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(fd);
    return n == static_cast<ssize_t>(sizeof err) ? err : 0;
}

std::uint32_t StartError(int err) {
    if (err == ENOENT) return ERROR_FILE_NOT_FOUND;
    if (err == ENOTDIR) return ERROR_DIRECTORY;
    return Win32ErrorFromErrno(err);
}

}  // namespace

int RunAndWait(const std::vector<std::string>& argv, std::string_view workDir) {
    Prepared p;
    if (!Prepare(argv, workDir, p)) return -1;
    int pipeFd[2];
    if (::pipe2(pipeFd, O_CLOEXEC) != 0) return FailFromErrno(), -1;
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFd[0]);
        ::close(pipeFd[1]);
        return FailFromErrno(), -1;
    }
    if (pid == 0) {
        ::close(pipeFd[0]);
        ExecChild(p, pipeFd[1]);
    }
    ::close(pipeFd[1]);
    int err = ReadExecError(pipeFd[0]);
    int code = WaitFor(pid);
    if (err != 0) return Fail(StartError(err)), -1;
    SetLastError(ERROR_SUCCESS);
    return code;
}

int RunCommandLineAndWait(std::string_view commandLine, std::string_view workDir) {
    return RunAndWait(SplitCommandLine(commandLine), workDir);
}

bool StartProcess(const std::vector<std::string>& argv, std::string_view workDir) {
    Prepared p;
    if (!Prepare(argv, workDir, p)) return false;
    int pipeFd[2];
    if (::pipe2(pipeFd, O_CLOEXEC) != 0) return FailFromErrno();
    // Two forks: the middle process ends at once and is reaped here, so the
    // program itself is adopted by init and never lingers as a zombie.
    pid_t middle = ::fork();
    if (middle < 0) {
        ::close(pipeFd[0]);
        ::close(pipeFd[1]);
        return FailFromErrno();
    }
    if (middle == 0) {
        ::close(pipeFd[0]);
        pid_t child = ::fork();
        if (child == 0) ExecChild(p, pipeFd[1]);
        if (child < 0) {
            int err = errno;
            (void)!::write(pipeFd[1], &err, sizeof err);
        }
        ::_exit(0);
    }
    ::close(pipeFd[1]);
    WaitFor(middle);
    int err = ReadExecError(pipeFd[0]);
    if (err != 0) return Fail(StartError(err));
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool StartProcessWatched(const std::vector<std::string>& argv, int watchMs, std::string* errorText,
                         std::string_view workDir) {
    if (errorText) errorText->clear();
    Prepared p;
    if (!Prepare(argv, workDir, p)) return false;
    // The program's error output goes to an anonymous file, not a pipe: it
    // may outlive this call and must never meet a closed reader.
    const int errOut = ::memfd_create("started-program-stderr", MFD_CLOEXEC);
    if (errOut < 0) return FailFromErrno();
    int pipeFd[2];
    if (::pipe2(pipeFd, O_CLOEXEC) != 0) {
        ::close(errOut);
        return FailFromErrno();
    }
    // As StartProcess, two forks; the middle process watches the program and
    // ends with its exit code when it ended within the watch, else with 0.
    pid_t middle = ::fork();
    if (middle < 0) {
        ::close(errOut);
        ::close(pipeFd[0]);
        ::close(pipeFd[1]);
        return FailFromErrno();
    }
    if (middle == 0) {
        ::close(pipeFd[0]);
        pid_t child = ::fork();
        if (child == 0) {
            ::dup2(errOut, 2);
            ExecChild(p, pipeFd[1]);
        }
        if (child < 0) {
            int err = errno;
            (void)!::write(pipeFd[1], &err, sizeof err);
            ::_exit(0);
        }
        ::close(pipeFd[1]);
        const timespec step{0, 10 * 1000 * 1000};
        for (int waited = 0; waited < watchMs; waited += 10) {
            int status = 0;
            const pid_t r = ::waitpid(child, &status, WNOHANG);
            if (r == child) ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            if (r < 0 && errno != EINTR) break;
            ::nanosleep(&step, nullptr);
        }
        ::_exit(0);
    }
    ::close(pipeFd[1]);
    const int err = ReadExecError(pipeFd[0]);
    const int code = WaitFor(middle);
    if (err != 0) {
        ::close(errOut);
        return Fail(StartError(err));
    }
    if (code != 0) {
        if (errorText) {
            std::string text(4096, '\0');
            const ssize_t n = ::pread(errOut, text.data(), text.size(), 0);
            text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
            *errorText = Utf8ToAnsi(text);
        }
        ::close(errOut);
        return Fail(ERROR_GEN_FAILURE);
    }
    ::close(errOut);
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::uint32_t WinExec(std::string_view commandLine, unsigned /*showCmd*/) {
    if (StartProcess(SplitCommandLine(commandLine))) return 33;
    std::uint32_t err = GetLastError();
    return err == ERROR_SUCCESS ? ERROR_GEN_FAILURE : err;
}

// --- shared libraries ------------------------------------------------------------------

SharedLibrary::~SharedLibrary() { Unload(); }

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(other.handle_), error_(std::move(other.error_)) {
    other.handle_ = nullptr;
}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        handle_ = other.handle_;
        error_ = std::move(other.error_);
        other.handle_ = nullptr;
    }
    return *this;
}

bool SharedLibrary::Load(std::string_view name) {
    Unload();
    error_.clear();
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        error_ = "no valid library name";
        return Fail(ERROR_MOD_NOT_FOUND);
    }
    std::string target;
    if (name.find_first_of("\\/:") != std::string_view::npos) {
        target = NativePath(name);
    } else {
        for (const std::string& folder : {ProgramDir(), std::string(".")}) {
            std::string native = NativePath(folder + "/" + std::string(name));
            if (IsRegularFile(native)) {
                target = native;
                break;
            }
        }
        if (target.empty()) target = AnsiToUtf8(name);  // the system's own search
    }
    ::dlerror();
    handle_ = ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* msg = ::dlerror();
        error_ = msg ? msg : "cannot load " + target;
        return Fail(ERROR_MOD_NOT_FOUND);
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

void SharedLibrary::Unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* SharedLibrary::Symbol(std::string_view name) {
    if (!handle_) {
        error_ = "no library loaded";
        return Fail(ERROR_INVALID_HANDLE), nullptr;
    }
    ::dlerror();
    void* sym = ::dlsym(handle_, std::string(name).c_str());
    if (const char* msg = ::dlerror()) {
        error_ = msg;
        return Fail(ERROR_PROC_NOT_FOUND), nullptr;
    }
    if (!sym) {
        error_ = "routine " + std::string(name) + " has no address";
        return Fail(ERROR_PROC_NOT_FOUND), nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return sym;
}

}  // namespace plat
