#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/core/exceptions.h"
#include "platform/core/streams.h"
#include "platform/core/string_list.h"
#include "platform/core/threads.h"
#include "tests/support/test_support.h"

using namespace plat;

TEST(MemoryStream, ReadWriteSeekAndShortReads) {
    MemoryStream ms;
    ms.WriteString("hello");
    EXPECT_EQ(ms.Size(), 5);
    EXPECT_EQ(ms.Seek(-2, SeekOrigin::End), 3);
    char buf[4] = {};
    EXPECT_EQ(ms.Read(buf, 4), 2);
    EXPECT_EQ(std::string(buf, 2), "lo");
    EXPECT_EQ(ms.Seek(-1, SeekOrigin::Begin), -1);
    ms.SetPosition(7);
    ms.WriteString("!");
    EXPECT_EQ(ms.Bytes(), std::string("hello\0\0!", 8));
    ms.SetPosition(6);
    EXPECT_THROW(ms.ReadBuffer(buf, 4), EReadError);
    MemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(ms, 0), 8);
    EXPECT_EQ(copy.Bytes(), ms.Bytes());
}

TEST(Threads, CriticalSectionIsReentrantAndExcludes) {
    CriticalSection cs;
    cs.Enter();
    cs.Enter();  // the owner may enter again
    std::atomic<bool> other{false};
    std::thread t([&] { other = cs.TryEnter(); if (other) cs.Leave(); });
    t.join();
    EXPECT_FALSE(other);
    cs.Leave();
    cs.Leave();
    std::thread t2([&] { other = cs.TryEnter(); if (other) cs.Leave(); });
    t2.join();
    EXPECT_TRUE(other);
}

TEST(Threads, EventsAndWorkerThread) {
    Event autoEvent(false, false);
    EXPECT_EQ(autoEvent.WaitFor(10), WaitResult::Timeout);
    autoEvent.SetEvent();
    EXPECT_EQ(autoEvent.WaitFor(0), WaitResult::Signaled);
    EXPECT_EQ(autoEvent.WaitFor(0), WaitResult::Timeout);  // reset itself

    struct Counter : Thread {
        Event& started;
        std::atomic<int> loops{0};
        explicit Counter(Event& e) : started(e) {}
        void Execute() override {
            started.SetEvent();
            while (!Terminated()) { ++loops; Sleep(1); }
            SetReturnValue(7);
        }
    };
    Event started;
    Counter c(started);
    bool terminatedCalled = false;
    c.OnTerminate = [&](Thread&) { terminatedCalled = true; };
    c.Start();
    ASSERT_EQ(started.WaitFor(5000), WaitResult::Signaled);
    c.Terminate();
    EXPECT_EQ(c.WaitFor(), 7);
    EXPECT_TRUE(terminatedCalled);
    EXPECT_TRUE(c.Finished());
}

TEST(FileStream, OpenErrorsAndCaseInsensitiveReopen) {
    testsupport::TempDir dir;
    std::string path = (dir / "Notes.TXT").string();
    {
        FileStream f(path, fmCreate);
        f.WriteString("line one\r\nline two\r\n");
    }
    StringList l;
    l.LoadFromFile((dir / "NOTES.txt").string());
    ASSERT_EQ(l.Count(), 2);
    EXPECT_EQ(l[1], "line two");
    EXPECT_THROW(FileStream((dir / "missing.txt").string(), fmOpenRead), EFOpenError);
    EXPECT_THROW(FileStream((dir / "no" / "such" / "x.txt").string(), fmCreate), EFCreateError);
    {
        FileStream held(path, fmOpenReadWrite | fmShareExclusive);
        EXPECT_THROW(FileStream(path, fmOpenRead | fmShareDenyNone), EFOpenError);
        held.SetSize(4);
        EXPECT_EQ(held.Size(), 4);
    }
    MemoryStream ms;
    ms.LoadFromFile(path);
    EXPECT_EQ(ms.Bytes(), "line");
}

// Code written for Win32 frees an event as soon as its wait returns; the
// signalling thread must be done with it by then. Under the sanitizers a
// notify after the wait returned shows up as a use after free.
TEST(Threads, AnEventMayBeFreedAsSoonAsItsWaitReturns) {
    for (int round = 0; round < 2000; ++round) {
        auto event = std::make_unique<Event>(false, false);
        Event* e = event.get();
        std::thread signaller([e] { e->SetEvent(); });
        ASSERT_EQ(event->WaitFor(5000), WaitResult::Signaled);
        event.reset();
        signaller.join();
    }
}
