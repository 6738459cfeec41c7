#include "platform/gui/common_dialogs.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/gui/control_widget.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/printer.h"
#include "platform/gui/qt_bridge.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace gui {

namespace {

// "Text (*.txt)|*.txt|All|*.*" -> "Text (*.txt);;All (*.*)": Qt takes the
// patterns from the trailing parentheses.
QString QtFilter(const std::string& filter) {
    QStringList parts = ToQString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        if (desc.endsWith(')') && desc.contains('(')) desc = desc.left(desc.lastIndexOf('(')).trimmed();
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << desc + " (" + patterns + ")";
    }
    return out.join(";;");
}

class QtCommonDialogService final : public CommonDialogService {
public:
    CommonDialogReply Run(const CommonDialogRequest& r) override {
        EnsureQtApplication();
        CommonDialogReply reply;
        QWidget* parent = QApplication::activeWindow();
        switch (r.kind) {
        case CommonDialogKind::Open:
        case CommonDialogKind::Save: {
            QFileDialog dlg(parent, ToQString(r.title));
            dlg.setOption(QFileDialog::DontUseNativeDialog);
            dlg.setOption(QFileDialog::DontConfirmOverwrite);  // asked by the caller
            dlg.setAcceptMode(r.kind == CommonDialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            dlg.setFileMode(r.kind == CommonDialogKind::Save ? QFileDialog::AnyFile
                            : r.multiSelect                 ? QFileDialog::ExistingFiles
                            : r.fileMustExist               ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
            QString filters = QtFilter(r.filter);
            if (!filters.isEmpty()) {
                dlg.setNameFilters(filters.split(";;"));
                QStringList list = filters.split(";;");
                if (r.filterIndex >= 1 && r.filterIndex <= list.size()) dlg.selectNameFilter(list[r.filterIndex - 1]);
            }
            if (!r.initialDir.empty()) dlg.setDirectory(QString::fromStdString(plat::NativePath(r.initialDir)));
            if (!r.fileName.empty()) dlg.selectFile(ToQString(r.fileName));
            if (dlg.exec() != QDialog::Accepted) return reply;
            reply.ok = true;
            for (const QString& f : dlg.selectedFiles()) reply.files.push_back(FromQString(f));
            reply.filterIndex = static_cast<int>(dlg.nameFilters().indexOf(dlg.selectedNameFilter())) + 1;
            return reply;
        }
        case CommonDialogKind::Font: {
            TFont f;
            f.SetName(r.fontName);
            if (r.fontSize > 0) f.SetSize(r.fontSize);
            f.SetStyle(r.fontStyle);
            bool ok = false;
            QFont chosen = QFontDialog::getFont(&ok, ToQFont(f), parent, ToQString(r.title));
            if (!ok) return reply;
            reply.ok = true;
            reply.fontName = FromQString(chosen.family());
            reply.fontSize = chosen.pointSize() > 0 ? chosen.pointSize() : r.fontSize;
            reply.fontStyle = (chosen.bold() ? fsBold : 0) | (chosen.italic() ? fsItalic : 0) |
                              (chosen.underline() ? fsUnderline : 0) | (chosen.strikeOut() ? fsStrikeOut : 0);
            reply.fontColor = r.fontColor;
            return reply;
        }
        case CommonDialogKind::Color: {
            QColor c = QColorDialog::getColor(ToQColor(r.color), parent, ToQString(r.title));
            if (!c.isValid()) return reply;
            reply.ok = true;
            reply.color = FromQColor(c);
            return reply;
        }
        case CommonDialogKind::Print: {
            QPrintDialog dlg(Printer()->QtPrinter(), parent);
            dlg.setMinMax(r.minPage, r.maxPage);
            if (dlg.exec() != QDialog::Accepted) return reply;
            reply.ok = true;
            reply.copies = Printer()->QtPrinter()->copyCount();
            reply.fromPage = Printer()->QtPrinter()->fromPage();
            reply.toPage = Printer()->QtPrinter()->toPage();
            reply.printRange = Printer()->QtPrinter()->printRange() == QPrinter::PageRange ? 2
                               : Printer()->QtPrinter()->printRange() == QPrinter::Selection ? 1
                                                                                             : 0;
            return reply;
        }
        case CommonDialogKind::PrinterSetup: {
            QPageSetupDialog dlg(Printer()->QtPrinter(), parent);
            reply.ok = dlg.exec() == QDialog::Accepted;
            return reply;
        }
        }
        return reply;
    }
};

CommonDialogService* g_service = nullptr;

bool HasExtension(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    std::size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

CommonDialogReply ScriptedCommonDialogService::Run(const CommonDialogRequest& request) {
    requests_.push_back(request);
    if (script_.empty()) {
        ++unscripted_;
        return {};
    }
    CommonDialogReply r = script_.front();
    script_.pop_front();
    return r;
}

void ScriptedCommonDialogService::AnswerFile(const std::string& path, int filterIndex) {
    CommonDialogReply r;
    r.ok = true;
    r.files = {path};
    r.filterIndex = filterIndex;
    script_.push_back(r);
}

void SetCommonDialogService(CommonDialogService* service) { g_service = service; }

CommonDialogService& CurrentCommonDialogService() {
    static QtCommonDialogService qt;
    return g_service ? *g_service : qt;
}

// ===========================================================================
// TOpenDialog, TSaveDialog

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

bool TOpenDialog::Execute() {
    CommonDialogRequest req;
    req.kind = Kind();
    req.title = Title.empty() ? (Kind() == CommonDialogKind::Save ? "Save As" : "Open") : Title;
    req.filter = Filter;
    req.filterIndex = FilterIndex;
    req.initialDir = InitialDir;
    req.defaultExt = DefaultExt;
    req.fileName = FileName;
    req.multiSelect = (Options & ofAllowMultiSelect) && Kind() == CommonDialogKind::Open;
    req.fileMustExist = Options & ofFileMustExist;
    req.overwritePrompt = Options & ofOverwritePrompt;
    CommonDialogReply reply = CurrentCommonDialogService().Run(req);
    if (!reply.ok || reply.files.empty()) return false;
    std::vector<std::string> names = reply.files;
    if (!req.multiSelect) names.resize(1);
    for (std::string& name : names)
        if (!DefaultExt.empty() && !HasExtension(name)) name += "." + DefaultExt;
    // The dialog's own rules, kept even when the answer came from elsewhere:
    // no missing file is returned for opening, no file is replaced unasked.
    if (Options & ofFileMustExist) {
        for (const std::string& name : names)
            if (!plat::FileExists(name)) {
                MessageBox(name + "\nFile not found.\nPlease verify the correct file name was given.", req.title,
                           MB_OK | MB_ICONWARNING);
                return false;
            }
    }
    if (Kind() == CommonDialogKind::Save && (Options & ofOverwritePrompt) && plat::FileExists(names[0])) {
        if (MessageBox(names[0] + " already exists.\nDo you want to replace it?", req.title,
                       MB_YESNO | MB_ICONWARNING) != IDYES)
            return false;
    }
    files_.Clear();
    for (const std::string& name : names) files_.Add(name);
    FileName = names[0];
    FilterIndex = reply.filterIndex > 0 ? reply.filterIndex : FilterIndex;
    if (HasExtension(FileName) && !DefaultExt.empty()) {
        std::string ext = FileName.substr(FileName.rfind('.') + 1);
        if (plat::CompareAnsi(ext, DefaultExt, true) != 0) Options |= ofExtensionDifferent;
        else Options &= ~ofExtensionDifferent;
    }
    return true;
}

// ===========================================================================
// Font, colour, print, printer setup

bool TFontDialog::Execute() {
    CommonDialogRequest req;
    req.kind = CommonDialogKind::Font;
    req.title = "Font";
    req.fontName = font_.Name();
    req.fontSize = font_.Size();
    req.fontStyle = font_.Style();
    req.fontColor = font_.Color();
    CommonDialogReply reply = CurrentCommonDialogService().Run(req);
    if (!reply.ok) return false;
    if (!reply.fontName.empty()) font_.SetName(reply.fontName);
    int size = reply.fontSize;
    if ((Options & fdLimitSize) && size > 0) {
        if (MinFontSize > 0) size = std::max(size, MinFontSize);
        if (MaxFontSize > 0) size = std::min(size, MaxFontSize);
    }
    if (size > 0) font_.SetSize(size);
    font_.SetStyle(reply.fontStyle);
    if (Options & fdEffects) font_.SetColor(reply.fontColor);
    return true;
}

bool TColorDialog::Execute() {
    CommonDialogRequest req;
    req.kind = CommonDialogKind::Color;
    req.title = "Color";
    req.color = Color;
    CommonDialogReply reply = CurrentCommonDialogService().Run(req);
    if (!reply.ok) return false;
    Color = reply.color;
    return true;
}

bool TPrintDialog::Execute() {
    CommonDialogRequest req;
    req.kind = CommonDialogKind::Print;
    req.title = "Print";
    req.copies = Copies;
    req.fromPage = FromPage;
    req.toPage = ToPage;
    req.minPage = MinPage;
    req.maxPage = MaxPage;
    req.printRange = PrintRange;
    CommonDialogReply reply = CurrentCommonDialogService().Run(req);
    if (!reply.ok) return false;
    Copies = std::max(1, reply.copies);
    PrintRange = static_cast<TPrintRange>(std::clamp(reply.printRange, 0, 2));
    if (PrintRange == prPageNums) {
        // Pages outside the allowed range are brought into it.
        int lo = MinPage, hi = MaxPage >= MinPage ? MaxPage : reply.toPage;
        FromPage = std::clamp(reply.fromPage, lo, std::max(lo, hi));
        ToPage = std::clamp(reply.toPage, FromPage, std::max(FromPage, hi));
    }
    Printer()->SetCopies(Copies);
    return true;
}

bool TPrinterSetupDialog::Execute() {
    CommonDialogRequest req;
    req.kind = CommonDialogKind::PrinterSetup;
    req.title = "Print Setup";
    return CurrentCommonDialogService().Run(req).ok;
}

// ===========================================================================
// Find and replace

struct TFindDialog::Impl {
    std::unique_ptr<QDialog> window;
    QLineEdit* find = nullptr;
    QLineEdit* replace = nullptr;
    QCheckBox* wholeWord = nullptr;
    QCheckBox* matchCase = nullptr;
    QRadioButton* up = nullptr;
    QRadioButton* down = nullptr;
    QGroupBox* direction = nullptr;
    QPushButton* findNext = nullptr;
    QPushButton* help = nullptr;
    // The window is a child of the window active when it was made: when that
    // one goes, Qt frees it, and the dialog makes a new one next time.
    QMetaObject::Connection goneWatch;
};

namespace {

class FindWindow : public QDialog {
public:
    FindWindow(TFindDialog* owner) : QDialog(QApplication::activeWindow(), Qt::Tool), owner_(owner) {}
    TFindDialog* owner_;

protected:
    void reject() override {
        QDialog::reject();
        if (owner_ && owner_->OnClose) owner_->OnClose(owner_);
    }
};

}  // namespace

void TCommonDialog::ShowHelp() {
    if (!Application) return;
    if (HelpContext != 0) Application->HelpContext(HelpContext);
    else Application->HelpCommand(HELP_CONTENTS, 0);
}

TFindDialog::TFindDialog(TComponent* AOwner) : TCommonDialog(AOwner), impl_(std::make_unique<Impl>()) {}

TFindDialog::~TFindDialog() {
    if (impl_) QObject::disconnect(impl_->goneWatch);
}

QWidget* TFindDialog::Window() const { return impl_->window.get(); }

bool TFindDialog::Showing() const { return impl_->window && impl_->window->isVisible(); }

bool TFindDialog::Execute() {
    EnsureQtApplication();
    Impl& w = *impl_;
    if (!w.window) {
        bool replace = IsReplace();
        w.window = std::make_unique<FindWindow>(this);
        w.goneWatch = QObject::connect(w.window.get(), &QObject::destroyed, [&w] {
            (void)w.window.release();  // Qt freed it with its parent
            w = Impl{};
        });
        w.window->setWindowTitle(replace ? "Replace" : "Find");
        auto* grid = new QGridLayout(w.window.get());
        // A label with a buddy takes "&" as its shortcut mark instead of showing it.
        auto* findLabel = new QLabel("Fi&nd what:");
        grid->addWidget(findLabel, 0, 0);
        w.find = new QLineEdit;
        w.find->setObjectName("findText");
        findLabel->setBuddy(w.find);
        grid->addWidget(w.find, 0, 1);
        int row = 1;
        if (replace) {
            auto* replaceLabel = new QLabel("Re&place with:");
            grid->addWidget(replaceLabel, row, 0);
            w.replace = new QLineEdit;
            w.replace->setObjectName("replaceText");
            replaceLabel->setBuddy(w.replace);
            grid->addWidget(w.replace, row++, 1);
        }
        w.wholeWord = new QCheckBox("Match &whole word only");
        w.wholeWord->setObjectName("wholeWord");
        w.matchCase = new QCheckBox("Match &case");
        w.matchCase->setObjectName("matchCase");
        grid->addWidget(w.wholeWord, row++, 0, 1, 2);
        grid->addWidget(w.matchCase, row++, 0, 1, 2);
        if (!replace) {
            w.direction = new QGroupBox("Direction");
            auto* box = new QVBoxLayout(w.direction);
            w.up = new QRadioButton("&Up");
            w.up->setObjectName("up");
            w.down = new QRadioButton("&Down");
            w.down->setObjectName("down");
            box->addWidget(w.up);
            box->addWidget(w.down);
            grid->addWidget(w.direction, row++, 0, 1, 2);
        }
        auto* buttons = new QVBoxLayout;
        w.findNext = new QPushButton("&Find Next");
        w.findNext->setObjectName("findNext");
        w.findNext->setDefault(true);
        buttons->addWidget(w.findNext);
        QObject::connect(w.findNext, &QPushButton::clicked, [this] { RunGuarded([this] { Find(); }); });
        if (replace) {
            auto* one = new QPushButton("&Replace");
            one->setObjectName("replace");
            auto* all = new QPushButton("Replace &All");
            all->setObjectName("replaceAll");
            buttons->addWidget(one);
            buttons->addWidget(all);
            QObject::connect(one, &QPushButton::clicked, [this] {
                Options = (Options & ~(frReplaceAll | frFindNext)) | frReplace;
                RunGuarded([this] { Replace(); });
            });
            QObject::connect(all, &QPushButton::clicked, [this] {
                Options = (Options & ~(frReplace | frFindNext)) | frReplaceAll;
                RunGuarded([this] { Replace(); });
            });
        }
        auto* cancel = new QPushButton("Cancel");
        cancel->setObjectName("cancel");
        buttons->addWidget(cancel);
        QObject::connect(cancel, &QPushButton::clicked, [this] { CloseDialog(); });
        w.help = new QPushButton("&Help");
        w.help->setObjectName("help");
        buttons->addWidget(w.help);
        QObject::connect(w.help, &QPushButton::clicked, [this] { RunGuarded([this] { ShowHelp(); }); });
        buttons->addStretch();
        grid->addLayout(buttons, 0, 2, row, 1);
    }
    // The window shows the dialog's text and options as they are now.
    w.find->setText(ToQString(FindText));
    if (w.replace) w.replace->setText(ToQString(static_cast<TReplaceDialog*>(this)->ReplaceText));
    w.wholeWord->setChecked(Options & frWholeWord);
    w.matchCase->setChecked(Options & frMatchCase);
    w.wholeWord->setVisible(!(Options & frHideWholeWord));
    w.matchCase->setVisible(!(Options & frHideMatchCase));
    w.wholeWord->setEnabled(!(Options & frDisableWholeWord));
    w.matchCase->setEnabled(!(Options & frDisableMatchCase));
    if (w.direction) {
        (Options & frDown ? w.down : w.up)->setChecked(true);
        w.direction->setVisible(!(Options & frHideUpDown));
        w.direction->setEnabled(!(Options & frDisableUpDown));
    }
    w.help->setVisible(Options & frShowHelp);
    if (Position.x >= 0 && Position.y >= 0) w.window->move(Position.x, Position.y);
    bool wasShowing = Showing();
    w.window->show();
    w.window->raise();
    w.window->activateWindow();
    if (!wasShowing && OnShow) OnShow(this);
    return true;
}

void TFindDialog::CloseDialog() {
    if (!Showing()) return;
    impl_->window->hide();
    if (OnClose) OnClose(this);
}

void TFindDialog::Find() {
    Impl& w = *impl_;
    if (w.window) {
        // The window's fields become the dialog's text and options.
        FindText = FromQString(w.find->text());
        Options &= ~(frMatchCase | frWholeWord | frReplace | frReplaceAll);
        if (w.matchCase->isChecked()) Options |= frMatchCase;
        if (w.wholeWord->isChecked()) Options |= frWholeWord;
        if (w.down) {
            if (w.down->isChecked()) Options |= frDown;
            else Options &= ~frDown;
        }
    }
    Options |= frFindNext;
    if (OnFind) OnFind(this);
}

void TFindDialog::Replace() {}

void TReplaceDialog::Replace() {
    Impl& w = *impl_;
    if (w.window) {
        FindText = FromQString(w.find->text());
        ReplaceText = w.replace ? FromQString(w.replace->text()) : ReplaceText;
        Options &= ~(frMatchCase | frWholeWord);
        if (w.matchCase->isChecked()) Options |= frMatchCase;
        if (w.wholeWord->isChecked()) Options |= frWholeWord;
    }
    if (OnReplace) OnReplace(this);
}

}  // namespace gui
