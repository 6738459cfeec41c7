// NetBIOS in the shape the engine's NetBIOS transport is written for: network
// control blocks (NCBs) submitted through Netbios, synchronous or with the
// ASYNCH flag, completing by event or post routine.
//
// This platform has no NetBIOS, so this is a stand-in over loopback sockets:
//   - each LANA is a name space, a folder of the registry folder; a
//     registered name is a file there giving its owner's process id and the
//     ports of its session listener (TCP) and datagram socket (UDP);
//   - a session is a TCP connection on which each SEND travels as one frame
//     (u32 length, bytes) and arrives as one RECEIVE;
//   - a datagram is a UDP message (kind byte, 16-byte sender name, data) sent
//     to the name's socket; a broadcast goes to every name of the LANA. As
//     on a real network, a datagram that arrives while no receive of its
//     kind is pending on the name is lost.
// Only processes of this machine and user meet. The registry folder is
// $TAVRIN_NETBIOS_DIR, else a folder named for the user under the temporary
// folder; tests point it elsewhere and set the number of LANAs.
//
// Asynchronous commands run on one service thread of the stand-in. An NCB
// and its buffer must stay valid until the command completed (its
// ncb_cmd_cplt is no longer NRC_PENDING) or was cancelled.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

class Event;

using UCHAR = std::uint8_t;
using WORD = std::uint16_t;

constexpr UCHAR NCBCALL = 0x10;
constexpr UCHAR NCBLISTEN = 0x11;
constexpr UCHAR NCBHANGUP = 0x12;
constexpr UCHAR NCBSEND = 0x14;
constexpr UCHAR NCBRECV = 0x15;
constexpr UCHAR NCBDGSEND = 0x20;
constexpr UCHAR NCBDGRECV = 0x21;
constexpr UCHAR NCBDGSENDBC = 0x22;
constexpr UCHAR NCBDGRECVBC = 0x23;
constexpr UCHAR NCBADDNAME = 0x30;
constexpr UCHAR NCBDELNAME = 0x31;
constexpr UCHAR NCBRESET = 0x32;
constexpr UCHAR NCBCANCEL = 0x35;
constexpr UCHAR NCBENUM = 0x37;
constexpr UCHAR NCBINVALID = 0x7F;  // no such command: a presence test
constexpr UCHAR ASYNCH = 0x80;

constexpr UCHAR NRC_GOODRET = 0x00;
constexpr UCHAR NRC_BUFLEN = 0x01;
constexpr UCHAR NRC_ILLCMD = 0x03;
constexpr UCHAR NRC_INCOMP = 0x06;
constexpr UCHAR NRC_SNUMOUT = 0x08;
constexpr UCHAR NRC_SCLOSED = 0x0A;
constexpr UCHAR NRC_CMDCAN = 0x0B;
constexpr UCHAR NRC_DUPNAME = 0x0D;
constexpr UCHAR NRC_NAMTFUL = 0x0E;
constexpr UCHAR NRC_LOCTFUL = 0x11;
constexpr UCHAR NRC_ILLNN = 0x13;
constexpr UCHAR NRC_NOCALL = 0x14;
constexpr UCHAR NRC_NOWILD = 0x15;
constexpr UCHAR NRC_NAMERR = 0x17;
constexpr UCHAR NRC_SABORT = 0x18;
constexpr UCHAR NRC_BRIDGE = 0x23;  // no such LANA
constexpr UCHAR NRC_CANOCCR = 0x24;
constexpr UCHAR NRC_SYSTEM = 0x40;
constexpr UCHAR NRC_PENDING = 0xFF;

struct NCB {
    UCHAR ncb_command = 0;
    UCHAR ncb_retcode = 0;
    UCHAR ncb_lsn = 0;
    UCHAR ncb_num = 0;
    UCHAR* ncb_buffer = nullptr;
    WORD ncb_length = 0;
    UCHAR ncb_callname[16] = {};
    UCHAR ncb_name[16] = {};
    UCHAR ncb_rto = 0;
    UCHAR ncb_sto = 0;
    void (*ncb_post)(NCB*) = nullptr;
    UCHAR ncb_lana_num = 0;
    UCHAR ncb_cmd_cplt = 0;
    UCHAR ncb_reserve[10] = {};
    Event* ncb_event = nullptr;  // set on completion when not null
};

struct LANA_ENUM {
    UCHAR length = 0;
    UCHAR lana[255] = {};
};

// Submits an NCB. Synchronous commands answer their return code; an
// asynchronous one answers 0 once accepted (or its error at once), and its
// result follows in ncb_retcode and ncb_cmd_cplt.
UCHAR Netbios(NCB* ncb);

// Where names are registered and how many LANAs there are (1 unless set);
// for tests. Names registered in this process are not moved.
void NetbiosConfigure(const std::string& registryDir, int lanaCount);

}  // namespace plat
