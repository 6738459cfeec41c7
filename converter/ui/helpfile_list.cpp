#include "converter/ui/helpfile_list.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <sys/stat.h>

#include <algorithm>

#include "converter/shell.h"
#include "converter/ui/progress.h"
#include "converter/ui/ui_texts.h"

namespace conv::ui {

namespace fs = std::filesystem;

struct HelpFileScan::Frame {
    fs::path dir;
    int depth = 0;
    fs::directory_iterator it;
};

HelpFileScan::HelpFileScan(const fs::path& root, int maxDepth) : maxDepth_(maxDepth) { Enter(root, 0); }

HelpFileScan::~HelpFileScan() = default;

void HelpFileScan::Enter(const fs::path& dir, int depth) {
    // Bind mounts can show one folder at two places; the inode set keeps the
    // walk finite even then.
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    const std::pair<std::uintmax_t, std::uintmax_t> id{st.st_dev, st.st_ino};
    if (visited_.count(id)) return;
    std::error_code ec;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    if (ec) return;
    visited_.insert(id);
    auto frame = std::make_unique<Frame>();
    frame->dir = dir;
    frame->depth = depth;
    frame->it = std::move(it);
    frames_.push_back(std::move(frame));
}

bool HelpFileScan::Step(std::chrono::steady_clock::duration budget, int maxEntries) {
    const auto end = std::chrono::steady_clock::now() + budget;
    for (int n = 0; n < maxEntries && !frames_.empty(); ++n) {
        if (n > 0 && std::chrono::steady_clock::now() >= end) break;
        Frame& top = *frames_.back();
        if (top.it == fs::directory_iterator()) {
            finishedFolder_ = top.dir;
            frames_.pop_back();
            continue;
        }
        const fs::directory_entry entry = *top.it;
        std::error_code ec;
        top.it.increment(ec);
        if (ec) top.it = fs::directory_iterator();
        ++entriesSeen_;
        const fs::path path = entry.path();
        const std::string name = path.filename().string();
        if (name.empty() || name[0] == '.') continue;
        const fs::file_status own = entry.symlink_status(ec);
        if (ec) continue;
        if (fs::is_directory(own)) {
            if (top.depth + 1 <= maxDepth_) Enter(path, top.depth + 1);
            continue;
        }
        // A link to a file is looked at; a link to a folder is not entered.
        if (!HasListedExtension(path)) continue;
        if (std::optional<HelpFileInfo> info = ProbeHelpFile(path)) found_.push_back({path, std::move(*info)});
    }
    return !frames_.empty();
}

std::vector<FoundHelpFile> HelpFileScan::TakeFound() { return std::exchange(found_, {}); }

std::optional<fs::path> HelpFileScan::TakeFinishedFolder() { return std::exchange(finishedFolder_, std::nullopt); }

// ---- the dialog ----

HelpFileListDialog::HelpFileListDialog(QWidget* parent, std::function<void(const std::string&)> take)
    : QDialog(parent), take_(std::move(take)) {
    setWindowTitle(DialogText(kHelpFileListDialog, 0));
    SetDialogId(this, kHelpFileListDialog);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* folderLabel = new QLabel(DialogText(kHelpFileListDialog, kIdScanFolder), this);
    folder_ = new QLineEdit(this);
    SetControlId(folder_, kIdScanFolder);
    folderLabel->setBuddy(folder_);
    auto* browse = new QPushButton(DialogText(kHelpFileListDialog, kIdScanBrowse), this);
    SetControlId(browse, kIdScanBrowse);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);

    list_ = new QTreeWidget(this);
    SetControlId(list_, kIdHelpFiles);
    list_->setColumnCount(3);
    list_->setHeaderLabels({DialogText(kHelpFileListDialog, kIdColumnTitle),
                            DialogText(kHelpFileListDialog, kIdColumnCopyright),
                            DialogText(kHelpFileListDialog, kIdColumnPath)});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSortingEnabled(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(0, 220);
    list_->setColumnWidth(1, 200);

    state_ = new QLabel(this);
    SetControlId(state_, kIdScanState);
    state_->setTextFormat(Qt::PlainText);
    state_->setMinimumWidth(200);
    state_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    ok_ = new QPushButton(DialogText(kHelpFileListDialog, kIdOk), this);
    SetControlId(ok_, kIdOk);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(DialogText(kHelpFileListDialog, kIdCancel), this);
    SetControlId(cancel, kIdCancel);
    view_ = new QPushButton(DialogText(kHelpFileListDialog, kIdListView), this);
    SetControlId(view_, kIdListView);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(state_, 1);
    buttons->addWidget(view_);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folderRow);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(760, 400);

    connect(ok_, &QPushButton::clicked, this, [this] { takeSelected(false); });
    connect(view_, &QPushButton::clicked, this, [this] { takeSelected(true); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { takeSelected(false); });
    connect(folder_, &QLineEdit::returnPressed, this, [this] { startScan(folder_->text().toStdString()); });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, DialogText(kHelpFileListDialog, 0), folder_->text());
        if (!dir.isEmpty()) startScan(dir.toStdString());
    });
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { stepScan(); });
}

HelpFileListDialog::~HelpFileListDialog() { stopScan(); }

void HelpFileListDialog::startScan(const fs::path& where) {
    std::error_code ec;
    fs::path folder = fs::absolute(where, ec).lexically_normal();
    if (folder.has_filename() == false && folder != folder.root_path()) folder = folder.parent_path();
    stopScan();
    list_->clear();
    foundCount_ = 0;
    folder_->setText(QString::fromStdString(folder.string()));
    state_->clear();
    scan_ = std::make_unique<HelpFileScan>(folder);
    timer_.start();
}

bool HelpFileListDialog::scanning() const { return timer_.isActive(); }

void HelpFileListDialog::stopScan() { timer_.stop(); }

void HelpFileListDialog::stepScan() {
    if (!scan_) {
        timer_.stop();
        return;
    }
    // A short slice, then back to the event loop.
    const bool more = scan_->Step(std::chrono::milliseconds(15), sliceEntries_);
    for (FoundHelpFile& f : scan_->TakeFound()) {
        const QString path = QString::fromStdString(f.path.string());
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, f.info.title.empty() ? path : QString::fromStdString(f.info.title));
        item->setText(1, f.info.copyright.empty() ? QStringLiteral("--") : QString::fromStdString(f.info.copyright));
        item->setText(2, path);
        item->setToolTip(2, path);
        if (++foundCount_ == 1) list_->setCurrentItem(item);
    }
    if (auto done = scan_->TakeFinishedFolder()) state_->setText(QString::fromStdString(done->string()));
    if (!more) {
        timer_.stop();
        state_->setText(DialogText(kHelpFileListDialog, kIdScanDone).arg(foundCount_));
    }
}

std::string HelpFileListDialog::selectedPath() const {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return {};
    return item->text(2).toStdString();
}

void HelpFileListDialog::takeSelected(bool view) {
    const std::string path = selectedPath();
    if (path.empty()) return;
    if (take_) take_(path);
    if (view) {
        ViewDocument(this, path);
        return;
    }
    accept();
}

void HelpFileListDialog::done(int result) {
    stopScan();
    QDialog::done(result);
}

void HelpFileListDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        if (onHelp) onHelp();
        return;
    }
    // Return in the folder field starts a scan there; it does not take a file.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && folder_->hasFocus()) return;
    QDialog::keyPressEvent(event);
}

void HelpFileListDialog::closeEvent(QCloseEvent* event) {
    stopScan();
    QDialog::closeEvent(event);
}

}  // namespace conv::ui
