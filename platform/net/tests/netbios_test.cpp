#include "platform/net/netbios.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/core/threads.h"
#include "tests/support/test_support.h"

using namespace plat;

namespace {

void SetName(UCHAR* field, const std::string& name) {
    std::memset(field, ' ', 16);
    std::memcpy(field, name.data(), name.size());
}

NCB Make(UCHAR command, UCHAR lana = 0) {
    NCB n;
    n.ncb_command = command;
    n.ncb_lana_num = lana;
    std::memset(n.ncb_name, ' ', 16);
    std::memset(n.ncb_callname, ' ', 16);
    return n;
}

class NetbiosTest : public ::testing::Test {
protected:
    testsupport::TempDir registry;
    void SetUp() override { NetbiosConfigure(registry.path().string(), 2); }

    UCHAR AddName(const std::string& name, UCHAR lana = 0) {
        NCB n = Make(NCBADDNAME, lana);
        SetName(n.ncb_name, name);
        UCHAR rc = Netbios(&n);
        return rc == NRC_GOODRET ? n.ncb_num : 0;
    }
    void DeleteName(const std::string& name, UCHAR lana = 0) {
        NCB n = Make(NCBDELNAME, lana);
        SetName(n.ncb_name, name);
        Netbios(&n);
    }
};

// An asynchronous command with an event to wait on.
struct Pending {
    Event event{false, false};
    UCHAR buffer[256] = {};
    NCB ncb;
    explicit Pending(UCHAR command, UCHAR lana = 0) : ncb(Make(command | ASYNCH, lana)) {
        ncb.ncb_event = &event;
        ncb.ncb_buffer = buffer;
        ncb.ncb_length = sizeof buffer;
    }
    bool Wait() { return event.WaitFor(5000) == WaitResult::Signaled; }
    // A test that stops early (a failed assertion) must not leave a command
    // that would later complete into this object after it is gone.
    ~Pending() {
        if (__atomic_load_n(&ncb.ncb_cmd_cplt, __ATOMIC_ACQUIRE) != NRC_PENDING) return;
        NCB cancel = Make(NCBCANCEL, ncb.ncb_lana_num);
        cancel.ncb_buffer = reinterpret_cast<UCHAR*>(&ncb);
        if (Netbios(&cancel) == NRC_GOODRET) event.WaitFor(5000);
    }
};

TEST_F(NetbiosTest, PresenceAdaptersAndBadCommands) {
    NCB invalid = Make(NCBINVALID);
    EXPECT_EQ(Netbios(&invalid), NRC_ILLCMD);
    UCHAR buf[256] = {};
    NCB e = Make(NCBENUM);
    e.ncb_buffer = buf;
    e.ncb_length = sizeof buf;
    ASSERT_EQ(Netbios(&e), NRC_GOODRET);
    EXPECT_EQ(buf[0], 2);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(buf[2], 1);
    NCB far = Make(NCBRESET, 7);
    EXPECT_EQ(Netbios(&far), NRC_BRIDGE);
    NCB syncListen = Make(NCBLISTEN);
    EXPECT_EQ(Netbios(&syncListen), NRC_ILLCMD);
}

TEST_F(NetbiosTest, NamesAreUniquePerAdapter) {
    UCHAR num = AddName("ALPHA");
    EXPECT_GE(num, 2);
    EXPECT_EQ(AddName("ALPHA"), 0);         // taken on LANA 0
    EXPECT_NE(AddName("ALPHA", 1), 0);      // free on LANA 1
    DeleteName("ALPHA");
    EXPECT_NE(AddName("ALPHA"), 0);         // free again
    DeleteName("ALPHA");
    DeleteName("ALPHA", 1);
}

TEST_F(NetbiosTest, SessionsKeepMessageBoundariesAndReportTheirEnd) {
    ASSERT_NE(AddName("SERVER"), 0);
    ASSERT_NE(AddName("CLIENT"), 0);
    Pending listen(NCBLISTEN);
    SetName(listen.ncb.ncb_name, "SERVER");
    SetName(listen.ncb.ncb_callname, "*");
    ASSERT_EQ(Netbios(&listen.ncb), NRC_GOODRET);
    EXPECT_EQ(listen.ncb.ncb_cmd_cplt, NRC_PENDING);

    NCB call = Make(NCBCALL);
    SetName(call.ncb_name, "CLIENT");
    SetName(call.ncb_callname, "SERVER");
    ASSERT_EQ(Netbios(&call), NRC_GOODRET);
    ASSERT_TRUE(listen.Wait());
    ASSERT_EQ(listen.ncb.ncb_retcode, NRC_GOODRET);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(listen.ncb.ncb_callname), 16), "CLIENT          ");

    // Two sends arrive as two receives, however the bytes were cut.
    for (const char* text : {"first", "second message"}) {
        NCB send = Make(NCBSEND);
        send.ncb_lsn = call.ncb_lsn;
        send.ncb_buffer = reinterpret_cast<UCHAR*>(const_cast<char*>(text));
        send.ncb_length = static_cast<WORD>(std::strlen(text));
        ASSERT_EQ(Netbios(&send), NRC_GOODRET);
    }
    for (const char* text : {"first", "second message"}) {
        Pending recv(NCBRECV);
        recv.ncb.ncb_lsn = listen.ncb.ncb_lsn;
        ASSERT_EQ(Netbios(&recv.ncb), NRC_GOODRET);
        ASSERT_TRUE(recv.Wait());
        EXPECT_EQ(recv.ncb.ncb_retcode, NRC_GOODRET);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(recv.buffer), recv.ncb.ncb_length), text);
    }

    // The caller hangs up: the pending receive on the other end ends.
    Pending recv(NCBRECV);
    recv.ncb.ncb_lsn = listen.ncb.ncb_lsn;
    ASSERT_EQ(Netbios(&recv.ncb), NRC_GOODRET);
    NCB hang = Make(NCBHANGUP);
    hang.ncb_lsn = call.ncb_lsn;
    EXPECT_EQ(Netbios(&hang), NRC_GOODRET);
    ASSERT_TRUE(recv.Wait());
    EXPECT_EQ(recv.ncb.ncb_retcode, NRC_SCLOSED);
    EXPECT_EQ(Netbios(&hang), NRC_SNUMOUT);  // gone on this side

    NCB nobody = Make(NCBCALL);
    SetName(nobody.ncb_name, "CLIENT");
    SetName(nobody.ncb_callname, "NOBODY");
    EXPECT_EQ(Netbios(&nobody), NRC_NOCALL);
    NCB serverHang = Make(NCBHANGUP);
    serverHang.ncb_lsn = listen.ncb.ncb_lsn;
    Netbios(&serverHang);
    DeleteName("SERVER");
    DeleteName("CLIENT");
}

TEST_F(NetbiosTest, CancelEndsAPendingCommandOnce) {
    UCHAR num = AddName("WAITER");
    ASSERT_NE(num, 0);
    Pending dg(NCBDGRECV);
    dg.ncb.ncb_num = num;
    ASSERT_EQ(Netbios(&dg.ncb), NRC_GOODRET);
    NCB cancel = Make(NCBCANCEL);
    cancel.ncb_buffer = reinterpret_cast<UCHAR*>(&dg.ncb);
    EXPECT_EQ(Netbios(&cancel), NRC_GOODRET);
    ASSERT_TRUE(dg.Wait());
    EXPECT_EQ(dg.ncb.ncb_retcode, NRC_CMDCAN);
    EXPECT_EQ(dg.ncb.ncb_cmd_cplt, NRC_CMDCAN);
    EXPECT_EQ(Netbios(&cancel), NRC_CANOCCR);
    DeleteName("WAITER");
}

TEST_F(NetbiosTest, DatagramsReachTheirNameOrEveryName) {
    UCHAR a = AddName("DGA");
    UCHAR b = AddName("DGB");
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    Pending directedB(NCBDGRECV), broadcastA(NCBDGRECVBC), broadcastB(NCBDGRECVBC);
    directedB.ncb.ncb_num = b;
    broadcastA.ncb.ncb_num = a;
    broadcastB.ncb.ncb_num = b;
    for (Pending* p : {&directedB, &broadcastA, &broadcastB}) ASSERT_EQ(Netbios(&p->ncb), NRC_GOODRET);

    NCB to = Make(NCBDGSEND);
    to.ncb_num = a;
    SetName(to.ncb_callname, "DGB");
    to.ncb_buffer = reinterpret_cast<UCHAR*>(const_cast<char*>("hello"));
    to.ncb_length = 5;
    ASSERT_EQ(Netbios(&to), NRC_GOODRET);
    ASSERT_TRUE(directedB.Wait());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(directedB.buffer), directedB.ncb.ncb_length), "hello");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(directedB.ncb.ncb_callname), 3), "DGA");

    NCB all = Make(NCBDGSENDBC);
    all.ncb_num = b;
    all.ncb_buffer = reinterpret_cast<UCHAR*>(const_cast<char*>("all"));
    all.ncb_length = 3;
    ASSERT_EQ(Netbios(&all), NRC_GOODRET);
    ASSERT_TRUE(broadcastA.Wait());
    ASSERT_TRUE(broadcastB.Wait());  // the sender's own name hears it too
    EXPECT_EQ(std::string(reinterpret_cast<char*>(broadcastA.buffer), broadcastA.ncb.ncb_length), "all");
    DeleteName("DGA");
    DeleteName("DGB");
}

}  // namespace
