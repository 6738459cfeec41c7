// The open dialog driven from inside its modal loop: Cancel still fills
// FileName, Auto Display off keeps the preview empty, every Execute builds
// a fresh form, and a selection made while a picture loads waits for it.

#include "controls/imaging/mm_open.h"

#include "controls/imaging/tests/fake_media.h"
#include "platform/core/paths.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/imaging/tests/picture_fixtures.h"
#include "tests/support/test_support.h"

#include <QTimer>

namespace controls {
namespace {

using namespace gui;

class MMOpen : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        plat::SetDataHome((dir_ / "home").string());
        std::filesystem::create_directories(dir_ / "pics");
        a = Write("a.bmp", fixtures::MakeBmp(fixtures::Pattern(30, 20, 16), 8));
        b = Write("b.bmp", fixtures::MakeBmp(fixtures::Pattern(11, 13, 2), 1));
        dialog = new TMMOpenDialog(form);
        dialog->InitialDir = (dir_ / "pics").string();
    }
    void TearDown() override {
        GuiTest::TearDown();
        plat::SetDataHome("");
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        testsupport::WriteFileBytes(dir_ / "pics" / name, bytes);
        return (dir_ / "pics" / name).string();
    }
    // Selects a file as a user's click would.
    static void Select(TMultiOpenMM& f, const std::string& path) {
        f.FileListBox1->SetFileName(path);
        f.FileListBox1Change(f.FileListBox1);
    }
    testsupport::TempDir dir_;
    testing::ScopedFakeMedia fake_;
    ScriptedDialogService dialogs_;
    ScopedDialogService scope_{dialogs_};
    TMMOpenDialog* dialog = nullptr;
    std::string a, b;
};

TEST_F(MMOpen, StartsWithTheDesignedSettings) {
    EXPECT_EQ(dialog->Title, "Open File");
    EXPECT_TRUE(dialog->AutoDisPlay);
    EXPECT_FALSE(dialog->AutoPlay);
    EXPECT_EQ(dialog->Filter, BuildMediaFilter());
    dialog->Title = "Select Background Image";
    dialog->Filter = "All|*.GIF;*.JPG;*.PNG";
    dialog->OnFormShow = [](TMultiOpenMM& f) {
        EXPECT_EQ(f.Caption(), "Select Background Image");
        EXPECT_EQ(f.FilterComboBox1->Filter(), "All|*.GIF;*.JPG;*.PNG");
        EXPECT_EQ(f.ClientWidth(), 392);
        EXPECT_EQ(f.ClientHeight(), 295);
        ASSERT_NE(OpenDialogPreview(), nullptr);
        EXPECT_EQ(OpenDialogPreview()->Parent(), f.Panel1);
        EXPECT_TRUE(OpenDialogPreview()->StretchRatio());
        EXPECT_FALSE(OpenDialogPlayer()->Visible());
        EXPECT_EQ(MediaProgressHook(), &OpenDialogProgressHook);
        EXPECT_TRUE(f.Timer1->Enabled());
        f.CancelBtn->Click();
    };
    EXPECT_FALSE(dialog->Execute());
    EXPECT_EQ(MediaProgressHook(), nullptr);
    EXPECT_EQ(OpenDialogForm(), nullptr);
    EXPECT_EQ(OpenDialogPreview(), nullptr);
}

TEST_F(MMOpen, CancelStillFillsFileName) {
    dialog->OnFormShow = [this](TMultiOpenMM& f) {
        Select(f, b);
        EXPECT_EQ(OpenDialogPreview()->Picture().Width(), 11);
        f.CancelBtn->Click();
    };
    EXPECT_FALSE(dialog->Execute());
    EXPECT_EQ(plat::NativePath(dialog->FileName), b);
    dialog->OnFormShow = [this](TMultiOpenMM& f) {
        Select(f, a);
        f.OKBtn->Click();
    };
    EXPECT_TRUE(dialog->Execute());
    EXPECT_EQ(plat::NativePath(dialog->FileName), a);
}

TEST_F(MMOpen, WithoutAutoDisplayThePreviewStaysEmpty) {
    dialog->AutoDisPlay = false;
    dialog->OnFormShow = [this](TMultiOpenMM& f) {
        EXPECT_FALSE(f.CheckBox1->Checked());
        Select(f, a);
        Select(f, b);
        EXPECT_TRUE(OpenDialogPreview()->Picture().Empty());
        f.CheckBox1->SetChecked(true);  // ticking it shows the selection
        EXPECT_EQ(OpenDialogPreview()->Picture().Width(), 11);
        f.CheckBox1->SetChecked(false);
        EXPECT_TRUE(OpenDialogPreview()->Picture().Empty());
        f.CancelBtn->Click();
    };
    dialog->Execute();
}

TEST_F(MMOpen, EverySecondOpenStartsFromAFreshForm) {
    dialog->OnFormShow = [this](TMultiOpenMM& f) {
        Select(f, a);
        f.Gauge1->SetProgress(60);
        f.CheckBox2->SetChecked(true);
        EXPECT_TRUE(OpenDialogPreview()->AutoPlayMultiMedia);
        f.OKBtn->Click();
    };
    EXPECT_TRUE(dialog->Execute());
    dialog->OnFormShow = [](TMultiOpenMM& f) {
        EXPECT_EQ(f.Gauge1->Progress(), 0);
        EXPECT_FALSE(f.CheckBox2->Checked());
        EXPECT_FALSE(f.Closing());
        EXPECT_EQ(f.PreviewLoads(), 0);
        EXPECT_TRUE(OpenDialogPreview()->Picture().Empty());
        EXPECT_FALSE(OpenDialogPreview()->AutoPlayMultiMedia);
        f.CancelBtn->Click();
    };
    EXPECT_FALSE(dialog->Execute());
}

TEST_F(MMOpen, ASelectionDuringALoadIsAppliedAfterIt) {
    // A picture whose reader reports progress: the hook lets messages
    // through, and one of them changes the selection.
    const std::string big = Write("big.pcx", fixtures::MakePcx(fixtures::Pattern(300, 200, 0), 24));
    dialog->OnFormShow = [this, big](TMultiOpenMM& f) {
        QTimer::singleShot(0, [this, &f] { Select(f, b); });
        Select(f, big);
        EXPECT_FALSE(f.NestedLoadSeen());
        EXPECT_EQ(f.PreviewLoads(), 2);
        EXPECT_EQ(plat::NativePath(f.FileListBox1->FileName()), b);
        EXPECT_EQ(OpenDialogPreview()->Picture().Width(), 11);  // the later choice wins
        EXPECT_GT(f.Gauge1->Progress(), 0);
        f.CancelBtn->Click();
    };
    dialog->Execute();
}

TEST_F(MMOpen, TheHookStopsReadsOnceTheFormCloses) {
    dialog->OnFormShow = [](TMultiOpenMM& f) {
        EXPECT_EQ(OpenDialogProgressHook(10), 1);
        EXPECT_EQ(f.Gauge1->Progress(), 10);
        f.CancelBtn->Click();
        EXPECT_EQ(OpenDialogProgressHook(20), 0);
    };
    dialog->Execute();
    EXPECT_EQ(OpenDialogProgressHook(30), 0);  // no preview any more
}

}  // namespace
}  // namespace controls
