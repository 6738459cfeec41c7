#include "engine/client/error_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "engine/client/client_strings.h"
#include "engine/client/message_box.h"
#include "engine/client/tests/fake_cursor.h"

namespace qv {
namespace {

using testing::FakeDatabase;
using testing::FakeSession;

TEST(ErrorTexts, TextsOfResultCodes) {
    struct Case {
        DBIResult code;
        const char* text;
    };
    const Case cases[] = {
        {8705, "At beginning of table."},
        {8706, "At end of table."},
        {9473, "Insufficient memory for this operation."},
        {9985, "Number is out of range."},
        {9986, "Invalid parameter."},
        {9990, "Invalid handle to the function."},
        {10011, "Invalid session handle."},
        {10014, "Unknown database."},
        {10024, "Table does not exist."},
        {10036, "Unknown user name or password."},
        {10050, "Filter handle is invalid"},
        {10756, "Operation not applicable."},
        {10758, "Engine not initialized."},
        {10759, "Attempt to re-initialize Engine."},
        {11278, "Cannot locate or connect to network server."},
        {12039, "Server is incompatible version."},
        {12289, "Capability not supported."},
        {15360, "QV SERVER ERROR: TqvFileInfo record contains invalid data"},
        {15433, "QV SERVER ERROR: The server name is invalid"},
        {15521, "QV SERVER ERROR: Unknown (unexpected exception object raised)"},
        // Codes without a text fall back to the numbered message.
        {15000, "BDE Error 15000."},
        {11276, "BDE Error 11276."},
        {1234, "BDE Error 1234."},
    };
    for (const Case& c : cases) EXPECT_EQ(GetErrorText(c.code), c.text) << c.code;
}

TEST(ErrorTexts, ErrorStringPrefersNotSupportedThenPendingNativeError) {
    ResetClientErrorState();
    EXPECT_EQ(GetErrorString(12289), "Not Supported");
    EXPECT_EQ(GetErrorString(9990), "Invalid handle to the function.");

    // A pending native error's text wins over the code's, with the context
    // appended once.
    SetLastNativeError(10024);
    SetErrorContext("Orders");
    EXPECT_EQ(GetErrorString(9990), "Table does not exist. - Key = [Orders]");
    EXPECT_TRUE(ErrorContext().empty());
    EXPECT_EQ(GetErrorString(9990), "Table does not exist.");
    EXPECT_EQ(GetErrorString(12289), "Not Supported");
    SetLastNativeError(15000);
    EXPECT_EQ(GetErrorString(9990), "BDE Error 15000.");
    // 0 and 65535 mean no native error.
    SetLastNativeError(0);
    EXPECT_EQ(GetErrorString(9990), "Invalid handle to the function.");
    ResetClientErrorState();
}

TEST(ErrorTexts, BufferFormsCutToTheMessageSize) {
    ResetClientErrorState();
    char buf[kDbiMaxMsgLen + 1 + 4];
    std::memset(buf, 'Z', sizeof buf);
    SetLastNativeError(10024);
    SetErrorContext(std::string(200, 'k'));
    GetErrorString(9990, buf);
    EXPECT_EQ(std::strlen(buf), kDbiMaxMsgLen);
    EXPECT_EQ(buf[kDbiMaxMsgLen + 1], 'Z');
    ResetClientErrorState();
    GetErrorText(9986, buf);
    EXPECT_STREQ(buf, "Invalid parameter.");
}

struct Handles {
    TBapiCollection sessions;
    FakeSession* session = new FakeSession(nullptr, &sessions, "S", nullptr);
    FakeDatabase* db = new FakeDatabase(session, nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
};

TEST(ErrorTexts, UnsupportedCallsShowOneBoxAndAnswer12289) {
    struct Case {
        const char* text;  // nullptr: answered silently
        bool stored;
        std::function<DBIResult(Handles&)> call;
    };
    hDBICur cur = 0;
    hDBIStmt stmt = 0;
    std::uint32_t u32 = 0;
    const Case cases[] = {
        {"BDE Call DBIOPENFUNCTIONLIST not supported.", true,
         [&](Handles& h) { return h.db->OpenFunctionList(0, cur); }},
        {"BDE Call DBIPACKTABLE not supported.", true,
         [&](Handles& h) { return h.db->PackTable(0, "T", nullptr, true); }},
        {"BDE Call DBIBEGINTRAN not supported.", true, [&](Handles& h) { return h.db->BeginTran(0, u32); }},
        {"BDE Call DBICREATETABLE not supported.", true, [&](Handles& h) { return h.db->CreateTable(true, nullptr); }},
        {"BDE Call DBIACQPERSISTENTTABLELOCK not supported.", true,
         [&](Handles& h) { return h.db->AcqPersistTableLock("T", nullptr); }},
        {"BDE Call DBIOPENSPLIST not supported.", false,
         [&](Handles& h) { return h.db->OpenSPList(false, false, nullptr, cur); }},
        {"BDE Call DBIQALLOC not supported.", false, [&](Handles& h) { return h.db->QAlloc(0, stmt); }},
        {"BDE Call DBIQPREPAREPROC not supported.", false,
         [&](Handles& h) { return h.db->QPrepareProc("P", 0, nullptr, nullptr, stmt); }},
        {nullptr, true, [&](Handles& h) { return h.db->FormFullName("T", nullptr, nullptr); }},
        {nullptr, true, [&](Handles& h) { return h.db->OpenIndexList("T", nullptr, cur); }},
        {nullptr, true, [&](Handles& h) { return h.db->Login("u", "p"); }},
        {"BDE Call DBIGETERRORCONTEXT not supported.", true,
         [&](Handles& h) { return h.session->GetErrorContext(0, nullptr); }},
        {"BDE Call DBIOPENTABLETYPESLIST not supported.", true,
         [&](Handles& h) { return h.session->OpenTableTypesList(nullptr, cur); }},
        {"BDE Call DBIADDPASSWORD not supported.", true, [&](Handles& h) { return h.session->AddPassword("x"); }},
        {"BDE Call DBIADDALIAS not supported.", true,
         [&](Handles& h) { return h.session->AddAlias(0, "A", nullptr, "PATH:C:\\", true); }},
        {"BDE Call DBICONFIGTRANSLATE not supported.", true,
         [&](Handles& h) { return h.session->CfgTranslate(0, "\\", nullptr); }},
        {nullptr, true, [&](Handles& h) { return h.session->GetLdName(nullptr, nullptr, nullptr); }},
        {nullptr, true, [&](Handles& h) { return h.session->RegisterCallBack(0, 0, 0, 0, nullptr, nullptr); }},
        {nullptr, true, [&](Handles& h) { return h.session->CfgPosition(0, "\\"); }},
    };
    for (const Case& c : cases) {
        Handles h;
        RecordingMessageBoxService boxes;
        ScopedEngineMessageBoxService scope(boxes);
        EXPECT_EQ(c.call(h), kDbiErrNotSupported);
        if (c.text == nullptr) {
            EXPECT_TRUE(boxes.shown.empty());
        } else {
            ASSERT_EQ(boxes.shown.size(), 1u) << c.text;
            EXPECT_EQ(boxes.shown[0].caption, "Dunmere System Message");
            EXPECT_EQ(boxes.shown[0].text, c.text);
            EXPECT_EQ(boxes.shown[0].flags, 0x2040u);
        }
        bool storedSomewhere = h.db->Result() == kDbiErrNotSupported || h.session->Result() == kDbiErrNotSupported;
        EXPECT_EQ(storedSomewhere, c.stored) << (c.text ? c.text : "silent");
    }
}

TEST(ErrorTexts, ReportWithoutCallNameAnswersWithoutABox) {
    Handles h;
    RecordingMessageBoxService boxes;
    ScopedEngineMessageBoxService scope(boxes);
    EXPECT_EQ(ReportNotSupported(*h.db, 99999), kDbiErrNotSupported);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(h.db->Result(), kDbiErrNotSupported);
}

TEST(ErrorTexts, NotSupportedMessageIsCutTo255) {
    RecordingMessageBoxService boxes;
    ScopedEngineMessageBoxService scope(boxes);
    ShowNotSupportedMessage(ClientString(cs::kNotSupportedFmt), std::string(400, 'A'));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.size(), 255u);
    EXPECT_EQ(boxes.shown[0].text.substr(0, 12), "BDE Call DBI");
}

// The engine's boxes take the same seam as every other box of the program:
// whatever dialog service is in force sees them as message-box requests and
// its answer comes back to the engine.
TEST(ErrorTexts, EngineBoxesGoThroughTheDialogService) {
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope(dialogs);
    dialogs.Answer(gui::IDCANCEL);
    EXPECT_EQ(EngineMessageBox("Dunmere System Message", "Disk full", kMbIconInformation | kMbTaskModal),
              gui::IDCANCEL);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    const gui::DialogRequest& r = dialogs.Last();
    EXPECT_EQ(r.kind, gui::DialogKind::MessageBox);
    EXPECT_EQ(r.caption, "Dunmere System Message");
    EXPECT_EQ(r.text, "Disk full");
    EXPECT_EQ(r.icon, gui::DialogIcon::Information);
    EXPECT_EQ(r.flags, 0x2040u);
    ASSERT_EQ(r.buttons.size(), 1u);
    EXPECT_EQ(r.buttons[0].result, gui::IDOK);
    // A not-supported report from a handle arrives there too.
    ShowNotSupportedMessage(ClientString(cs::kNotSupportedFmt), "ADDALIAS");
    ASSERT_EQ(dialogs.Requests().size(), 2u);
    EXPECT_EQ(dialogs.Last().text, "BDE Call DBIADDALIAS not supported.");
}

TEST(ClientStrings, EntriesUsedByTheEngine) {
    struct Case {
        int id;
        const char* text;
    };
    const Case cases[] = {
        {80, "Collection index out of range"},
        {608, "\\Software\\Ashcomb\\Dunmere\\Configuration\\IDAPI\\"},
        {609, "USER NAME"},
        {611, "FORMFULLNAME"},
        {643, "GETERRORCONTEXT"},
        {645, "PATH"},
        {675, "CFGMERGE"},
        {714, "GETLINKSTATUS"},
        {716, " 0.0000000000000000E+0000"},
        {719, "BATCHMOVE"},
        {729, "Dunmere"},
        {732, "DATABASE%d"},
        {772, "] "},
        {767, "IDAPI"},
        {770, "IDAPI"},
        {775, "Not Supported"},
        {777, "Network Protocol Failure"},
        {1024, "Schema file %s not found"},
        {1037, "Error in schema file: %s  has invalid field decimal places %s"},
        {1040, "Invalid section header in schema file: %s"},
        {734, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ClientString(c.id), c.text) << c.id;
}

}  // namespace
}  // namespace qv
