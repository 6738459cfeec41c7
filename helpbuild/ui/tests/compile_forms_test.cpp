// The progress window and the compile options dialog, offscreen: Cancel,
// the alternating pictures, the radio buttons that switch the controls and
// change the project only when a user clicks, and OK's refusals.
#include <gtest/gtest.h>

#include "helpbuild/ui/compile_form.h"
#include "helpbuild/ui/compile_options_form.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

namespace {

using namespace buildui;

struct Gui : ::testing::Test {
    static void SetUpTestSuite() { gui::InitApplication(); }
};

TEST_F(Gui, ProgressWindowCancelSetsTheRequestAndHoldOn) {
    bool cancel = false;
    auto* f = new TCompileForm(gui::Application, &cancel);
    EXPECT_EQ(f->pnlStatus->Caption(), "Loading Tavrin, Please wait...");
    EXPECT_EQ(f->ClientWidth(), 271);
    EXPECT_EQ(f->ClientHeight(), 170);
    EXPECT_EQ(f->Timer1->Interval(), 500u);
    f->SetStatus("Parsing Topics...");
    f->SetPercent(3);
    f->Show();
    EXPECT_EQ(f->pnlStatus->Caption(), "Parsing Topics...");
    EXPECT_EQ(f->W95Meter1->Percent(), 3);
    EXPECT_FALSE(f->CancelRequested());
    guitest::Click(f->Button1, {10, 10});
    EXPECT_TRUE(cancel);
    EXPECT_TRUE(f->CancelRequested());
    EXPECT_EQ(f->Button1->Caption(), "Hold on...");
    f->ClearCancel();
    EXPECT_FALSE(cancel);
    delete f;
}

TEST_F(Gui, FactoryMakesAProgressWindowOnTheSharedCancelRequest) {
    bool cancel = true;
    const int before = gui::Application->ComponentCount();
    std::unique_ptr<build::IProgress> p = CompileFormFactory(&cancel)();
    EXPECT_EQ(gui::Application->ComponentCount(), before + 1);
    // Two at once (an operation inside another) do not clash.
    std::unique_ptr<build::IProgress> inner = CompileFormFactory(&cancel)();
    inner.reset();
    auto* form = dynamic_cast<TCompileForm*>(p.get());
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(p->CancelRequested());
    p->ClearCancel();
    EXPECT_FALSE(cancel);
    p.reset();  // freed by the operation; the application forgets it
    EXPECT_EQ(gui::Application->ComponentCount(), before);
}

TEST_F(Gui, ProgressWindowPicturesTakeTurns) {
    TCompileForm f(gui::Application);
    EXPECT_TRUE(f.imgMonkLeft->Visible());
    EXPECT_FALSE(f.imgMonkRight->Visible());
    f.Timer1Timer(nullptr);
    EXPECT_FALSE(f.imgMonkLeft->Visible());
    EXPECT_TRUE(f.imgMonkRight->Visible());
    f.Timer1Timer(nullptr);
    EXPECT_TRUE(f.imgMonkLeft->Visible());
}

TEST_F(Gui, ProgressWindowClosesOnARightButtonRelease) {
    TCompileForm f(gui::Application);
    f.Show();
    guitest::MouseUp(&f, {20, 60}, gui::mbLeft);
    EXPECT_TRUE(f.Visible());
    guitest::MouseUp(&f, {20, 60}, gui::mbRight);
    EXPECT_FALSE(f.Visible());
}

struct Options : Gui {
    MemoryCompileOptions data;
    gui::ScriptedDialogService dialogs;
    void SetUp() override {
        data.fields = {{"Compile", "32"},         {"DosName", "guide"},       {"16bitName", "GUIDE16"},
                       {"ContentsFilter", "1"},   {"UseFilteredPagesOnly", "N"}, {"Compress", "OFF"},
                       {"AutogenerateContents", "N"}, {"AutogeneratePRJfile", "Y"}, {"AutoGenerateCntFile", "N"}};
    }
};

TEST_F(Options, ShowingTheDialogChangesNothingAndSetsUpThePlatformsControls) {
    TfrmCompile f(gui::Application, data);
    f.TForm::Show();
    EXPECT_TRUE(f.xboxCompile32bit->Checked());
    EXPECT_EQ(f.edit32FN->Text(), "guide");
    EXPECT_EQ(f.edit16FN->Text(), "GUIDE16");
    EXPECT_TRUE(f.autoGenPRJfile->Checked());
    EXPECT_FALSE(f.xboxCNT->Checked());
    EXPECT_TRUE(f.edit32FN->Enabled());
    EXPECT_FALSE(f.edit16FN->Enabled());
    EXPECT_EQ(f.LastContentsFilter, "1");
    EXPECT_EQ(data.posts, 0);
    EXPECT_FALSE(data.Editing());
}

TEST_F(Options, RadioButtonsSwitchControlsAndPostCompileOnAUsersClick) {
    data.fields["Compile"] = "16";
    TfrmCompile f(gui::Application, data);
    f.TForm::Show();
    guitest::ProcessEvents();
    EXPECT_TRUE(f.xboxCompile16bit->Checked());
    for (gui::TControl* c : std::initializer_list<gui::TControl*>{f.lbl32, f.edit32FN, f.lblFilter, f.comboFilter,
                                                                 f.xboxCNT})
        EXPECT_FALSE(c->Enabled()) << c->Name();
    EXPECT_TRUE(f.edit16FN->Enabled());
    EXPECT_EQ(data.posts, 0);

    guitest::Click(f.xboxCompile32bit, {5, 5});
    guitest::ProcessEvents();
    EXPECT_TRUE(f.xboxCompile32bit->Checked());
    EXPECT_TRUE(f.edit32FN->Enabled());
    EXPECT_TRUE(f.xboxCNT->Enabled());
    EXPECT_FALSE(f.edit16FN->Enabled());
    EXPECT_EQ(data.posts, 1);
    EXPECT_EQ(data.posted["Compile"], "32");

    // A check box clicked by the user posts its flag.
    guitest::Click(f.xboxCNT, {5, 5});
    guitest::ProcessEvents();
    EXPECT_EQ(data.posted["AutoGenerateCntFile"], "Y");
}

TEST_F(Options, OkRefusesAnEmptyFileNameForTheChosenPlatform) {
    gui::ScopedDialogService scope(dialogs);
    TfrmCompile f(gui::Application, data);
    f.TForm::Show();
    f.edit32FN->SetText("");
    f.Button1Click(nullptr);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, "File name");
    EXPECT_EQ(dialogs.Last().text, "Please enter the help file name.");
    EXPECT_EQ(f.ModalResult(), gui::mrNone);
    // The 16-bit name does not count for a 32-bit build.
    EXPECT_EQ(data.fields["16bitName"], "GUIDE16");
}

TEST_F(Options, OkPostsAppliesAChangedContentsFilterOrReportsAFailedPost) {
    gui::ScopedDialogService scope(dialogs);
    {
        TfrmCompile f(gui::Application, data);
        f.TForm::Show();
        f.comboFilter->SetText("2");
        f.edit32FN->SetText("manual");
        data.failPost = true;
        f.Button1Click(nullptr);
        ASSERT_EQ(dialogs.Requests().size(), 1u);
        EXPECT_EQ(dialogs.Last().caption, "Warning");
        EXPECT_EQ(dialogs.Last().text,
                  "Please check the values you have entered. Tavrin is unable to save your changes.");
        EXPECT_EQ(f.ModalResult(), gui::mrNone);

        data.failPost = false;
        f.Button1Click(nullptr);
        EXPECT_EQ(f.ModalResult(), gui::mrOk);
        EXPECT_EQ(data.posted["DosName"], "manual");
        EXPECT_EQ(data.posted["ContentsFilter"], "2");
        EXPECT_EQ(data.filterApplied, 1);
    }
}

TEST_F(Options, CancelDropsTheNamesTyped) {
    TfrmCompile f(gui::Application, data);
    f.TForm::Show();
    f.edit32FN->SetText("typed");
    EXPECT_TRUE(data.Editing());
    guitest::Click(f.Button2, {5, 5});
    guitest::ProcessEvents();
    EXPECT_EQ(f.ModalResult(), gui::mrCancel);
    f.Close();
    EXPECT_FALSE(data.Editing());
    EXPECT_EQ(data.fields["DosName"], "guide");
    EXPECT_EQ(data.posts, 0);
}

TEST_F(Options, HelpShowsTheDialogsHelpContext) {
    TfrmCompile f(gui::Application, data);
    std::string file;
    long context = 0;
    gui::THelpHook saved = gui::Application->HelpHook;
    gui::Application->HelpHook = [&](const std::string& helpFile, unsigned, long ctx) {
        file = helpFile;
        context = ctx;
        return true;
    };
    guitest::Click(f.Button3, {5, 5});
    gui::Application->HelpHook = saved;
    EXPECT_EQ(context, 15400);
    EXPECT_NE(file.find("Tavrin.hlp"), std::string::npos);
}

}  // namespace
