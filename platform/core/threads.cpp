#include "platform/core/threads.h"

#include <chrono>
#include <functional>

namespace plat {

void Event::SetEvent() {
    // Notified under the lock: a waiter cannot return, and so cannot free the
    // event (as Win32 code does right after its wait), until this call is
    // done with it.
    std::lock_guard<std::mutex> lock(mutex_);
    signaled_ = true;
    if (manualReset_) cv_.notify_all(); else cv_.notify_one();
}

void Event::ResetEvent() {
    std::lock_guard<std::mutex> lock(mutex_);
    signaled_ = false;
}

WaitResult Event::WaitFor(std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [&] { return signaled_; };
    if (timeoutMs == INFINITE_WAIT) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return WaitResult::Timeout;
    }
    if (!manualReset_) signaled_ = false;
    return WaitResult::Signaled;
}

std::uint32_t GetCurrentThreadId() {
    // Small stable numbers are easier to read in logs than hashed ids.
    static std::atomic<std::uint32_t> next{1};
    thread_local std::uint32_t id = next.fetch_add(1);
    return id;
}

void Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

Thread::~Thread() {
    Terminate();
    if (thread_.joinable()) thread_.join();
}

void Thread::Start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        try {
            Execute();
        } catch (...) {
            // A worker's failure is reported through its return value, not
            // by tearing down the process.
            if (returnValue_.load() == 0) returnValue_.store(-1);
        }
        if (OnTerminate) OnTerminate(*this);
        finished_.store(true);
    });
}

int Thread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    return returnValue_.load();
}

}  // namespace plat
