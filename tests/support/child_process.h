// A helper program started by a test: its standard output is a pipe the test
// reads line by line, and every wait is bounded, so a stuck child fails the
// test instead of hanging it. A child still running at the end is killed.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace testsupport {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // args[0] is the program's path.
    bool Start(const std::vector<std::string>& args);
    // One line of output without its line end, waiting at most `ms`; what
    // was read so far when the time runs out or the pipe closes.
    std::string ReadLine(int ms);
    // False when the child did not end within `ms`.
    bool WaitExit(int ms);
    // The exit status once WaitExit returned true; -1 after a signal.
    int ExitCode() const { return exitCode_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int exitCode_ = -1;
};

}  // namespace testsupport
