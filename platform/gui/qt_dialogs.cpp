// The dialog service of the running program: real Qt boxes.
#include "platform/core/dialog_service.h"
#include "platform/gui/qt_bridge.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace gui {

namespace {

class QtDialogService final : public DialogService {
public:
    DialogReply Run(const DialogRequest& r) override {
        DialogReply reply;
        QWidget* parent = QApplication::activeWindow();
        if (r.kind == DialogKind::InputQuery) {
            bool ok = false;
            QString text = QInputDialog::getText(parent, ToQString(r.caption), ToQString(r.text), QLineEdit::Normal,
                                                 ToQString(r.value), &ok);
            reply.result = ok ? mrOk : mrCancel;
            reply.value = ok ? FromQString(text) : r.value;
            return reply;
        }
        QMessageBox box(parent);
        box.setWindowTitle(ToQString(r.caption));
        box.setText(ToQString(r.text));
        switch (r.icon) {
        case DialogIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case DialogIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case DialogIcon::Information: box.setIcon(QMessageBox::Information); break;
        case DialogIcon::Question: box.setIcon(QMessageBox::Question); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
        }
        std::vector<QPushButton*> buttons;
        for (const DialogButton& b : r.buttons) buttons.push_back(box.addButton(ToQString(b.caption), QMessageBox::AcceptRole));
        if (r.defaultButton >= 0 && r.defaultButton < static_cast<int>(buttons.size()))
            box.setDefaultButton(buttons[r.defaultButton]);
        if (r.cancelButton >= 0 && r.cancelButton < static_cast<int>(buttons.size()))
            box.setEscapeButton(buttons[r.cancelButton]);
        box.exec();
        reply.result = r.cancelButton >= 0 ? r.buttons[r.cancelButton].result : 0;
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (box.clickedButton() == buttons[i]) reply.result = r.buttons[i].result;
        return reply;
    }
};

}  // namespace

DialogService* CreateQtDialogService() {
    static QtDialogService service;
    return &service;
}

}  // namespace gui
