#include "tests/support/child_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

bool ChildProcess::Start(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    int fds[2];
    if (::pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
    if (rc != 0) pid_ = -1;
    return rc == 0;
}

std::string ChildProcess::ReadLine(int ms) {
    std::string line;
    for (int waited = 0; waited < ms;) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) {
            waited += 20;
            continue;
        }
        char c;
        if (::read(out_, &c, 1) != 1) break;
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

bool ChildProcess::WaitExit(int ms) {
    if (pid_ <= 0) return true;
    for (int waited = 0; waited < ms; waited += 10) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
            return true;
        }
        ::usleep(10000);
    }
    return false;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

}  // namespace testsupport
