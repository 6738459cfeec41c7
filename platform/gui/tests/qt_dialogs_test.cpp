// The program's real dialog boxes, driven by a timer that plays the user.
#include "gui_fixture.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace gui {
DialogService* CreateQtDialogService();
}

namespace guitest {
namespace {

using namespace gui;

// Once the box is up, presses the button with this caption (or Esc when empty).
void PressLater(const QString& caption, const QString& typed = {}) {
    QTimer::singleShot(20, [caption, typed] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (caption.isEmpty()) {
                box->reject();
                return;
            }
            for (QAbstractButton* b : box->buttons())
                if (b->text() == caption) b->click();
        } else if (auto* input = qobject_cast<QInputDialog*>(w)) {
            input->setTextValue(typed);
            if (caption == "OK") input->accept();
            else input->reject();
        }
    });
}

TEST(QtDialogs, ButtonsEscapeAndInputAnswerWithTheirResults) {
    InitApplication();
    DialogService* qt = CreateQtDialogService();
    PressLater("&No");
    EXPECT_EQ(qt->Run(MakeMessageBoxRequest("Save?", "Editor", MB_YESNOCANCEL)).result, IDNO);
    // Esc takes the cancel button.
    PressLater("");
    EXPECT_EQ(qt->Run(MakeMessageDlgRequest("Go on?", mtConfirmation, mbYesNoCancel)).result, mrCancel);
    PressLater("OK");
    EXPECT_EQ(qt->Run(MakeMessageBoxRequest("Done", "Info", MB_OK | MB_ICONINFORMATION)).result, IDOK);

    DialogRequest input;
    input.kind = DialogKind::InputQuery;
    input.caption = "Rename";
    input.text = "Name:";
    input.value = "old";
    input.buttons = {{"OK", mrOk}, {"Cancel", mrCancel}};
    PressLater("OK", QString::fromUtf8("caf\xC3\xA9"));
    DialogReply reply = qt->Run(input);
    EXPECT_EQ(reply.result, mrOk);
    EXPECT_EQ(reply.value, "caf\xE9");  // back in Windows-1252
    PressLater("Cancel", "ignored");
    reply = qt->Run(input);
    EXPECT_EQ(reply.result, mrCancel);
    EXPECT_EQ(reply.value, "old");
}

}  // namespace
}  // namespace guitest
