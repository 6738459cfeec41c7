// Threads and the synchronisation objects the design uses: a re-entrant
// critical section, events, and a thread object with a terminate flag.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace plat {

// Re-entrant for the owning thread, like a Win32 critical section.
class CriticalSection {
public:
    void Enter() { mutex_.lock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Leave() { mutex_.unlock(); }

    // For std::lock_guard.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex mutex_;
};

enum class WaitResult { Signaled, Timeout };
constexpr std::uint32_t INFINITE_WAIT = 0xFFFFFFFFu;

// An event object: manual-reset events stay signalled until reset; auto-reset
// events release one waiter and reset themselves.
class Event {
public:
    explicit Event(bool manualReset = true, bool initialState = false)
        : manualReset_(manualReset), signaled_(initialState) {}
    void SetEvent();
    void ResetEvent();
    // Waits in real time (milliseconds), or without limit with INFINITE_WAIT.
    WaitResult WaitFor(std::uint32_t timeoutMs);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    const bool manualReset_;
    bool signaled_;
};

std::uint32_t GetCurrentThreadId();
void Sleep(std::uint32_t ms);

// A worker thread in the class library's shape: override Execute, check
// Terminated() in long loops, Start it, WaitFor it. The destructor asks the
// thread to terminate and joins it, so a thread object never outlives its run.
class Thread {
public:
    Thread() = default;
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void Start();
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    bool Finished() const { return finished_.load(); }
    // Joins the thread; returns ReturnValue().
    int WaitFor();
    int ReturnValue() const { return returnValue_.load(); }
    // Called on the worker thread after Execute returns (or throws).
    std::function<void(Thread&)> OnTerminate;

protected:
    virtual void Execute() = 0;
    void SetReturnValue(int v) { returnValue_.store(v); }

private:
    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> returnValue_{0};
};

}  // namespace plat
