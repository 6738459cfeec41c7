// The dialog service: what each call asks, and how answers come back.
#include "platform/core/dialog_service.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;

std::vector<std::string> Captions(const DialogRequest& r) {
    std::vector<std::string> out;
    for (auto& b : r.buttons) out.push_back(b.caption);
    return out;
}

struct BoxCase {
    unsigned flags;
    std::vector<std::string> buttons;
    DialogIcon icon;
    int defaultButton;
    int cancelButton;
};

TEST(DialogService, MessageBoxFlagsChooseButtonsIconDefaultAndCancel) {
    const BoxCase cases[] = {
        {MB_OK, {"OK"}, DialogIcon::None, 0, 0},
        {MB_OKCANCEL | MB_ICONQUESTION, {"OK", "Cancel"}, DialogIcon::Question, 0, 1},
        {MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, {"&Yes", "&No"}, DialogIcon::Warning, 1, -1},
        {MB_YESNOCANCEL | MB_ICONSTOP | MB_DEFBUTTON3, {"&Yes", "&No", "Cancel"}, DialogIcon::Error, 2, 2},
        {MB_ABORTRETRYIGNORE, {"&Abort", "&Retry", "&Ignore"}, DialogIcon::None, 0, -1},
        {MB_RETRYCANCEL | MB_ICONINFORMATION, {"&Retry", "Cancel"}, DialogIcon::Information, 0, 1},
        // A default beyond the buttons falls back to the first.
        {MB_OK | MB_DEFBUTTON3, {"OK"}, DialogIcon::None, 0, 0},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.flags);
        DialogRequest r = MakeMessageBoxRequest("text", "cap", c.flags);
        EXPECT_EQ(Captions(r), c.buttons);
        EXPECT_EQ(r.icon, c.icon);
        EXPECT_EQ(r.defaultButton, c.defaultButton);
        EXPECT_EQ(r.cancelButton, c.cancelButton);
    }
    EXPECT_EQ(MakeMessageBoxRequest("t", "", MB_OK).caption, "Error");
}

TEST(DialogService, MessageDlgCaptionsButtonsAndResults) {
    DialogRequest r = MakeMessageDlgRequest("Delete?", mtConfirmation, mbYesNoCancel);
    EXPECT_EQ(r.caption, "Confirm");
    EXPECT_EQ(r.icon, DialogIcon::Question);
    EXPECT_EQ(Captions(r), (std::vector<std::string>{"&Yes", "&No", "Cancel"}));
    EXPECT_EQ(r.buttons[1].result, mrNo);
    EXPECT_EQ(r.defaultButton, 0);
    EXPECT_EQ(r.cancelButton, 2);
    r = MakeMessageDlgRequest("Oops", mtError, Buttons({mbOK}));
    EXPECT_EQ(r.caption, "Error");
    EXPECT_EQ(r.cancelButton, 0);
    r = MakeMessageDlgRequest("Sure?", mtWarning, Buttons({mbYes, mbNo}));
    EXPECT_EQ(r.caption, "Warning");
    EXPECT_EQ(r.cancelButton, 1);  // Esc means No
    // Buttons come in the class library's fixed order, whatever order the set was written in.
    r = MakeMessageDlgRequest("All?", mtInformation, Buttons({mbYesToAll, mbYes, mbNoToAll}));
    EXPECT_EQ(Captions(r), (std::vector<std::string>{"&Yes", "N&o to All", "Yes to &All"}));
    EXPECT_EQ(r.buttons[1].result, mrNoToAll);
    EXPECT_EQ(r.buttons[2].result, mrYesToAll);
    EXPECT_EQ(r.caption, "Information");
}

TEST(DialogService, ScriptedServiceAnswersInOrderAndRecords) {
    ScriptedDialogService s;
    ScopedDialogService scope(s);
    s.Answer(IDNO);
    s.Answer(mrCancel);
    s.AnswerInput("typed");
    s.AnswerInput("ignored", false);
    EXPECT_EQ(MessageBox("Save?", "Editor", MB_YESNO), IDNO);
    EXPECT_EQ(MessageDlg("Go?", mtConfirmation, mbOKCancel), mrCancel);
    std::string v = "old";
    EXPECT_TRUE(InputQuery("Rename", "New name:", v));
    EXPECT_EQ(v, "typed");
    EXPECT_EQ(InputBox("Rename", "New name:", "keep"), "keep");  // cancelled
    ASSERT_EQ(s.Requests().size(), 4u);
    EXPECT_EQ(s.Requests()[0].caption, "Editor");
    EXPECT_EQ(s.Requests()[0].text, "Save?");
    EXPECT_EQ(s.Requests()[2].kind, DialogKind::InputQuery);
    EXPECT_EQ(s.Requests()[2].value, "old");
    EXPECT_EQ(s.Unscripted(), 0);
    EXPECT_EQ(s.Pending(), 0u);
    // Unscripted: the default button, and counted.
    EXPECT_EQ(MessageBox("x", "y", MB_YESNO | MB_DEFBUTTON2), IDNO);
    SetDialogApplicationTitle("Tavrin");
    ShowMessage("Hello");
    EXPECT_EQ(s.Last().caption, "Tavrin");
    EXPECT_EQ(s.Last().kind, DialogKind::ShowMessage);
    EXPECT_EQ(s.Unscripted(), 2);
}

TEST(DialogService, ScopeRestoresThePreviousServiceAndHeadlessTakesTheDefault) {
    ScriptedDialogService outer, inner;
    {
        ScopedDialogService a(outer);
        {
            ScopedDialogService b(inner);
            MessageBox("in", "c", MB_OK);
        }
        MessageBox("out", "c", MB_OK);
    }
    EXPECT_EQ(inner.Requests().size(), 1u);
    EXPECT_EQ(outer.Requests().size(), 1u);
    // The headless default (no service installed in this Qt-free test).
    SetDialogService(nullptr);
    EXPECT_EQ(MessageBox("headless", "c", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
    std::string v = "same";
    EXPECT_TRUE(InputQuery("c", "p", v));
    EXPECT_EQ(v, "same");
}

}  // namespace
