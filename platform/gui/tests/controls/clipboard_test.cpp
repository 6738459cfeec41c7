// The clipboard: the Win32 calls, formats, memory blocks, and round trips
// of RTF and text between controls and through the system clipboard.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/gui/clipboard.h"
#include "platform/gui/edits.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>

namespace guitest {
namespace {

using namespace gui;

// A control holding rich text that copies and pastes it the way the rich
// text editors do: RTF under its registered format and plain text under
// CF_TEXT, each block zero-padded, RTF preferred on paste.
class RichHolder : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    std::string rtf, text;
    void Copy() {
        ASSERT_TRUE(OpenClipboard(Handle()));
        EmptyClipboard();
        Put(CF_RTF(), rtf);
        Put(CF_TEXT, text);
        CloseClipboard();
    }
    // Returns which format was taken.
    UINT Paste() {
        UINT taken = 0;
        OpenClipboard(Handle());
        for (UINT f : {CF_RTF(), static_cast<UINT>(CF_TEXT)}) {
            HGLOBAL h = GetClipboardData(f);
            if (!h) continue;
            const char* p = static_cast<const char*>(GlobalLock(h));
            std::string s(p, strnlen(p, GlobalSize(h)));
            GlobalUnlock(h);
            (f == CF_TEXT ? text : rtf) = s;
            taken = f;
            break;
        }
        CloseClipboard();
        return taken;
    }

private:
    static void Put(UINT format, const std::string& s) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, s.size() + 4 + 32);
        std::memcpy(GlobalLock(h), s.data(), s.size());
        GlobalUnlock(h);
        SetClipboardData(format, h);
    }
};

class ClipboardTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SetClipboardBackend(&memory);
    }
    void TearDown() override {
        SetClipboardBackend(nullptr);
        GuiTest::TearDown();
    }
    MemoryClipboardBackend memory;
};

TEST_F(ClipboardTest, RegisteredFormatsAreStableAndCaseInsensitive) {
    UINT rtf = RegisterClipboardFormat("Rich Text Format");
    EXPECT_GE(rtf, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormat("RICH TEXT FORMAT"), rtf);
    EXPECT_EQ(CF_RTF(), rtf);
    EXPECT_EQ(GetClipboardFormatName(rtf), "Rich Text Format");
    EXPECT_NE(RegisterClipboardFormat("Another"), rtf);
    EXPECT_EQ(RegisterClipboardFormat(""), 0u);
}

TEST_F(ClipboardTest, CallsNeedAnOpenClipboardAndOneOwnerAtATime) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    EXPECT_EQ(SetClipboardData(CF_TEXT, h), 0u);  // not open
    EXPECT_FALSE(EmptyClipboard());
    ASSERT_TRUE(OpenClipboard(7));
    EXPECT_FALSE(OpenClipboard(8));
    EXPECT_EQ(SetClipboardData(CF_TEXT, 999999), 0u);  // unknown block
    EXPECT_EQ(SetClipboardData(CF_TEXT, h), h);
    EXPECT_EQ(GlobalLock(h), nullptr);  // the clipboard owns (and freed) it
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_OEMTEXT));  // made from the text
}

TEST_F(ClipboardTest, BlocksHandedOutAreFreedOnCloseSoNothingLeaks) {
    int before = GlobalBlockCount();
    Clipboard()->SetAsText("abc");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Clipboard()->AsText(), "abc");
    EXPECT_EQ(GlobalBlockCount(), before);
}

TEST_F(ClipboardTest, RtfAndTextRoundTripBetweenTwoControls) {
    auto* a = new RichHolder(form);
    auto* b = new RichHolder(form);
    a->SetParent(form);
    b->SetParent(form);
    a->rtf = "{\\rtf1\\ansi {\\b bold}}";
    a->text = "bold";
    a->Copy();
    EXPECT_EQ(b->Paste(), CF_RTF());
    EXPECT_EQ(b->rtf, a->rtf);
    // Text alone: the paste falls back to it, and an edit takes it too.
    Clipboard()->SetAsText("plain \xE9t\xE9");
    EXPECT_EQ(b->Paste(), static_cast<UINT>(CF_TEXT));
    EXPECT_EQ(b->text, "plain \xE9t\xE9");
    auto* e = new TEdit(form);
    e->SetParent(form);
    e->PasteFromClipboard();
    EXPECT_EQ(e->Text(), "plain \xE9t\xE9");
}

TEST_F(ClipboardTest, RtfAndTextReachTheSystemClipboardAndComeBack) {
    SetClipboardBackend(nullptr);  // the system one
    auto* a = new RichHolder(form);
    a->SetParent(form);
    a->rtf = "{\\rtf1 caf\\'e9}";
    a->text = "caf\xE9";
    a->Copy();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->text(), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(mime->data("text/rtf").toStdString(), a->rtf);
    // Another program puts rich text there.
    auto* other = new QMimeData;
    other->setData("text/rtf", "{\\rtf1 other}");
    other->setText(QString::fromUtf8("other \xE2\x82\xAC"));  // the euro sign is 0x80 in Windows-1252
    QGuiApplication::clipboard()->setMimeData(other);
    auto* b = new RichHolder(form);
    b->SetParent(form);
    EXPECT_EQ(b->Paste(), CF_RTF());
    EXPECT_EQ(b->rtf, "{\\rtf1 other}");
    EXPECT_EQ(Clipboard()->AsText(), "other \x80");
}

TEST_F(ClipboardTest, MetafileAndOwnFormatsRoundTripThroughTheSystemClipboard) {
    SetClipboardBackend(nullptr);
    const std::string wmf("\xD7\xCD\xC6\x9A\0\0metafile bytes", 20);
    const std::string own("\x01\x02\0\x03", 4);
    UINT ownFormat = RegisterClipboardFormat("Tavrin Topic");
    Clipboard()->Open();
    Clipboard()->Clear();
    Clipboard()->SetBuffer(CF_METAFILEPICT, wmf.data(), wmf.size());
    Clipboard()->SetBuffer(ownFormat, own.data(), own.size());
    Clipboard()->Close();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->hasFormat("image/x-wmf"));
    EXPECT_TRUE(mime->hasFormat("application/x-tavrin-Tavrin Topic"));
    ClipboardBytes backWmf = Clipboard()->GetBuffer(CF_METAFILEPICT);
    ClipboardBytes backOwn = Clipboard()->GetBuffer(ownFormat);
    EXPECT_EQ(std::string(backWmf.begin(), backWmf.end()), wmf);
    EXPECT_EQ(std::string(backOwn.begin(), backOwn.end()), own);
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
}

TEST_F(ClipboardTest, BitmapRoundTripsAsADeviceIndependentBitmap) {
    TBitmap bmp(8, 4);
    bmp.Canvas().Brush().SetColor(clRed);
    bmp.Canvas().FillRect(Rect(0, 0, 8, 4));
    bmp.Canvas().SetPixel(7, 3, clBlue);
    Clipboard()->Assign(bmp);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_DIB));
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    EXPECT_TRUE(Clipboard()->HasFormat(CF_PICTURE()));
    TBitmap back;
    ASSERT_TRUE(Clipboard()->AssignTo(back));
    EXPECT_EQ(back.Width(), 8);
    EXPECT_EQ(back.Height(), 4);
    EXPECT_EQ(back.Canvas().Pixel(0, 0), clRed);
    EXPECT_EQ(back.Canvas().Pixel(7, 3), clBlue);
    // A truncated bitmap block is refused, not read past its end.
    Clipboard()->SetBuffer(CF_DIB, "\x28\0\0\0", 4);
    TBitmap bad;
    EXPECT_FALSE(Clipboard()->AssignTo(bad));
}

}  // namespace
}  // namespace guitest
