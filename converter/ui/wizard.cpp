#include "converter/ui/wizard.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "converter/shell.h"
#include "converter/ui/file_selection.h"
#include "converter/ui/helpfile_list.h"
#include "converter/ui/pictures.h"
#include "converter/ui/progress.h"
#include "converter/ui/ui_texts.h"

namespace conv::ui {

namespace fs = std::filesystem;

namespace {

const int kPageDialogs[kWizardPages] = {7001, 7000, 7002, 7003, 7004, 7005, 7006,
                                        7007, 7008, 7009, 7011, 7012, 7010};

// The option buttons of each page, with the picture shown beside a button
// (0: none).
struct PageButton {
    int id;
    int picture;
};
const std::vector<PageButton>& PageButtons(int page) {
    static const std::vector<PageButton> pages[kWizardPages] = {
        {},
        {},
        {{7202, 7202}, {7203, 7203}},
        {{7401, 0}, {7402, 0}},
        {{7301, 0}, {7302, 0}},
        {{7501, 7501}, {7502, 7502}},
        {{7411, 7411}, {7412, 0}},
        {{7421, 7421}, {7422, 0}},
        {{7601, 0}, {7602, 0}},
        {{7701, 7701}, {7707, 7707}, {kIdJumpsNone, 0}},
        {{7813, 0}, {7814, 0}},
        {{7811, 0}, {7812, 0}},
        {},
    };
    return pages[page];
}

const QStringList kAllTypes = {"*.HLP", "*.MVB", "*.M13"};

QLabel* Heading(int dialog, QWidget* parent) {
    auto* label = new QLabel(DialogText(dialog, kIdHeading), parent);
    SetControlId(label, kIdHeading);
    QFont f = label->font();
    f.setBold(true);
    f.setUnderline(true);
    f.setPointSizeF(f.pointSizeF() * 1.25);
    label->setFont(f);
    return label;
}

QLabel* Description(int dialog, QWidget* parent) {
    auto* label = new QLabel(DialogText(dialog, kIdDescription), parent);
    SetControlId(label, kIdDescription);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* Button(int dialog, int id, QWidget* parent) {
    auto* b = new QPushButton(DialogText(dialog, id), parent);
    SetControlId(b, id);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

int PageDialogId(int page) { return page >= 0 && page < kWizardPages ? kPageDialogs[page] : 0; }

bool PageSkipped(int page, ConversionFlags flags) {
    if (flags & kForPrint) return page == 4 || page == 11;
    return page >= 5 && page <= 10;
}

int StepWizardPage(int page, int direction, ConversionFlags flags) {
    int next = page + direction;
    while (next > 0 && next < kWizardPages - 1 && PageSkipped(next, flags)) next += direction;
    return std::clamp(next, 0, kWizardPages - 1);
}

bool ReadyNoteVisible(ConversionFlags flags) {
    const bool hidden = !(flags & (kPageLinks | kToc | kIndex)) && (!(flags & kForPrint) || (flags & kBmpInRtf));
    return !hidden;
}

const std::vector<OptionButtons>& OptionButtonTable() {
    static const std::vector<OptionButtons> table = {
        {kForPrint, 7202, 7203}, {kNoShg, 7302, 7301},     {kSplitRtf, 7402, 7401}, {kPageBreak, 7502, 7501},
        {kEwSupport, 7602, 7601}, {kJumps, 7701, 0},       {kPageLinks, 7707, 0},   {kIndex, 7411, 7412},
        {kToc, 7421, 7422},       {kBmpInRtf, 7813, 7814}, {kLocalize, 7811, 7812},
    };
    return table;
}

// ---- construction ----

WizardDialog::WizardDialog(ConversionFlags flags, QWidget* parent) : QDialog(parent), flags_(flags) {
    SetDialogId(this, kWizardDialog);
    setWindowTitle(DialogText(kWizardDialog, 0));

    content_ = new QWidget(this);
    pages_ = new QStackedWidget(content_);
    for (int i = 0; i < kWizardPages; ++i) {
        QWidget* w = i == 0 ? buildWelcomePage()
                   : i == kFilePage ? buildFilePage()
                   : i == kReadyPage ? buildReadyPage()
                   : buildOptionPage(i);
        pages_->addWidget(w);
    }

    auto* line = new QFrame(content_);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    help_ = Button(kWizardDialog, kIdHelp, content_);
    back_ = Button(kWizardDialog, kIdBack, content_);
    continue_ = Button(kWizardDialog, kIdContinue, content_);
    convert_ = Button(kWizardDialog, kIdOk, content_);
    close_ = Button(kWizardDialog, kIdCancel, content_);
    auto* bar = new QHBoxLayout;
    bar->addWidget(help_);
    bar->addStretch(1);
    bar->addWidget(back_);
    bar->addWidget(continue_);
    bar->addWidget(convert_);
    bar->addSpacing(12);
    bar->addWidget(close_);

    auto* layout = new QVBoxLayout(content_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_, 1);
    layout->addWidget(line);
    layout->addLayout(bar);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(content_);

    connect(back_, &QPushButton::clicked, this, [this] { stepPage(-1); });
    connect(continue_, &QPushButton::clicked, this, [this] { stepPage(+1); });
    connect(convert_, &QPushButton::clicked, this, [this] { accept(); });
    connect(close_, &QPushButton::clicked, this, [this] { reject(); });
    connect(help_, &QPushButton::clicked, this, [this] { showHelp(); });

    setFolder(fs::current_path());
    fileName_->setText(kAllTypes.join(';'));
    setOptionButtons(flags);
    showPage(0);
    resize(640, 480);
}

WizardDialog::~WizardDialog() = default;

QWidget* WizardDialog::newPage(int page, QWidget** body) {
    auto* w = new QWidget(pages_);
    w->setProperty("dialogId", DialogId(PageDialogId(page)));
    auto* layout = new QVBoxLayout(w);
    layout->addWidget(Heading(PageDialogId(page), w));
    layout->addSpacing(4);
    *body = w;
    return w;
}

QWidget* WizardDialog::buildWelcomePage() {
    QWidget* body;
    QWidget* w = newPage(0, &body);
    auto* layout = static_cast<QVBoxLayout*>(w->layout());
    auto* row = new QHBoxLayout;
    auto* picture = new PictureButton(6001, w);
    SetControlId(picture, 6001);
    auto* text = new QVBoxLayout;
    text->addWidget(Description(7001, w));
    text->addStretch(1);
    auto* version = new QLabel(DialogText(7001, kIdVersion), w);
    SetControlId(version, kIdVersion);
    text->addWidget(version, 0, Qt::AlignRight);
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(text, 1);
    layout->addLayout(row, 1);
    return w;
}

QWidget* WizardDialog::buildFilePage() {
    QWidget* body;
    QWidget* w = newPage(kFilePage, &body);
    auto* layout = static_cast<QVBoxLayout*>(w->layout());
    layout->addWidget(Description(kWizardDialog, w));

    auto* grid = new QGridLayout;
    auto label = [&](int id) {
        auto* l = new QLabel(DialogText(kWizardDialog, id), w);
        SetControlId(l, id);
        return l;
    };
    QLabel* lookInLabel = label(kIdLookInLabel);
    lookIn_ = new QLineEdit(w);
    SetControlId(lookIn_, kIdLookIn);
    lookInLabel->setBuddy(lookIn_);
    auto* up = Button(kWizardDialog, kIdFolderUp, w);
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    auto* lookInRow = new QHBoxLayout;
    lookInRow->addWidget(lookIn_, 1);
    lookInRow->addWidget(up);
    grid->addWidget(lookInLabel, 0, 0);
    grid->addLayout(lookInRow, 0, 1);

    fileList_ = new QListWidget(w);
    SetControlId(fileList_, kIdFileList);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setFlow(QListView::TopToBottom);
    fileList_->setWrapping(true);
    fileList_->setResizeMode(QListView::Adjust);
    fileList_->setUniformItemSizes(false);
    grid->addWidget(fileList_, 1, 0, 1, 2);

    QLabel* nameLabel = label(kIdFileNameLabel);
    fileName_ = new QLineEdit(w);
    SetControlId(fileName_, kIdFileName);
    nameLabel->setBuddy(fileName_);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(fileName_, 2, 1);

    QLabel* typeLabel = label(kIdFileTypeLabel);
    fileType_ = new QComboBox(w);
    SetControlId(fileType_, kIdFileType);
    fileType_->addItem("WinHelp/Media Viewer(*.HLP;*.MVB;*.M13)", kAllTypes);
    fileType_->addItem("HLP WinHelp (*.HLP)", QStringList{"*.HLP"});
    typeLabel->setBuddy(fileType_);
    grid->addWidget(typeLabel, 3, 0);
    grid->addWidget(fileType_, 3, 1);

    fileTitle_ = new QLabel(w);
    SetControlId(fileTitle_, kIdFileTitle);
    fileTitle_->setTextFormat(Qt::PlainText);
    fileTitle_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont bold = fileTitle_->font();
    bold.setBold(true);
    fileTitle_->setFont(bold);
    auto* scan = Button(kWizardDialog, kIdScan, w);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(fileTitle_, 1);
    titleRow->addWidget(scan);
    grid->addLayout(titleRow, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    layout->addLayout(grid, 1);

    pattern_ = kAllTypes;
    connect(up, &QPushButton::clicked, this, [this] {
        if (folder_.has_parent_path() && folder_ != folder_.root_path()) setFolder(folder_.parent_path());
    });
    connect(lookIn_, &QLineEdit::returnPressed, this, [this] {
        std::error_code ec;
        const fs::path p = lookIn_->text().toStdString();
        if (fs::is_directory(p, ec)) setFolder(p);
        else lookIn_->setText(QString::fromStdString(folder_.string()));
    });
    connect(fileType_, &QComboBox::currentIndexChanged, this, [this] {
        pattern_ = fileType_->currentData().toStringList();
        listFolder();
    });
    connect(fileList_, &QListWidget::itemSelectionChanged, this, [this] { fileSelectionChanged(); });
    // A double click opens a folder; on a file it does nothing.
    connect(fileList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (item->data(Qt::UserRole + 1).toBool()) setFolder(folder_ / item->data(Qt::UserRole).toString().toStdString());
    });
    connect(fileName_, &QLineEdit::textChanged, this, [this] { updateContinueButton(); });
    connect(scan, &QPushButton::clicked, this, [this] { showHelpFileList(); });
    return w;
}

QWidget* WizardDialog::buildOptionPage(int page) {
    QWidget* body;
    QWidget* w = newPage(page, &body);
    auto* layout = static_cast<QVBoxLayout*>(w->layout());
    const int dialog = PageDialogId(page);
    layout->addWidget(Description(dialog, w));
    layout->addSpacing(8);
    const auto& buttons = PageButtons(page);
    const bool pictures = std::any_of(buttons.begin(), buttons.end(), [](const PageButton& b) { return b.picture; });
    const int pictureWidth = PictureSize(7202).width() + 2;
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(pictures ? 10 : 6);
    int row = 0;
    for (const PageButton& b : buttons) {
        auto* radio = new QRadioButton(DialogText(dialog, b.id), w);
        SetControlId(radio, b.id);
        if (b.picture) {
            auto* picture = new PictureButton(b.picture, w);
            picture->setProperty("pictureId", b.picture);
            // A click on the picture chooses its option.
            connect(picture, &QAbstractButton::clicked, radio, [radio] { radio->setChecked(true); });
            grid->addWidget(picture, row, 0);
        } else if (pictures) {
            grid->setColumnMinimumWidth(0, pictureWidth);
        }
        grid->addWidget(radio, row, pictures ? 1 : 0, Qt::AlignLeft | Qt::AlignVCenter);
        ++row;
    }
    grid->setColumnStretch(pictures ? 1 : 0, 1);
    layout->addLayout(grid);
    layout->addStretch(1);
    return w;
}

QWidget* WizardDialog::buildReadyPage() {
    QWidget* body;
    QWidget* w = newPage(kReadyPage, &body);
    auto* layout = static_cast<QVBoxLayout*>(w->layout());
    layout->addWidget(Description(7010, w));
    layout->addSpacing(12);
    readyNote_ = new QLabel(DialogText(7010, kIdReadyNote), w);
    SetControlId(readyNote_, kIdReadyNote);
    readyNote_->setWordWrap(true);
    readyNote_->setFrameShape(QFrame::StyledPanel);
    readyNote_->setMargin(8);
    layout->addWidget(readyNote_);
    layout->addStretch(1);
    return w;
}

// ---- pages ----

QWidget* WizardDialog::page(int index) const { return pages_->widget(index); }

int WizardDialog::currentPage() const { return pages_->currentIndex(); }

QPushButton* WizardDialog::button(int id) const { return qobject_cast<QPushButton*>(FindControl(content_, id)); }

void WizardDialog::showPage(int index) {
    index = std::clamp(index, 0, kWizardPages - 1);
    pages_->setCurrentIndex(index);
    back_->setEnabled(index >= 1);
    convert_->setVisible(index == kFilePage);
    if (index == kReadyPage) readyNote_->setVisible(ReadyNoteVisible(readOptionButtons()));
    updateContinueButton();
    if (index == kFilePage) fileName_->setFocus();
}

void WizardDialog::stepPage(int direction) {
    if (direction > 0 && !continue_->isEnabled()) return;
    if (direction > 0 && currentPage() == kReadyPage) {
        accept();
        return;
    }
    showPage(StepWizardPage(currentPage(), direction, readOptionButtons()));
}

// ---- options ----

void WizardDialog::setOptionButtons(ConversionFlags flags) {
    for (const OptionButtons& row : OptionButtonTable()) {
        const int id = (flags & row.bit) ? row.on : row.off;
        if (auto* b = Control<QRadioButton>(pages_, id)) b->setChecked(true);
    }
    if (!(flags & (kJumps | kPageLinks)))
        if (auto* b = Control<QRadioButton>(pages_, kIdJumpsNone)) b->setChecked(true);
    optionsSet_ = true;
}

ConversionFlags WizardDialog::readOptionButtons() const {
    if (!optionsSet_) return flags_;
    ConversionFlags f = 0;
    for (const OptionButtons& row : OptionButtonTable())
        if (auto* b = Control<QRadioButton>(pages_, row.on); b && b->isChecked()) f |= row.bit;
    return ApplyModeRule(f);
}

// ---- files ----

void WizardDialog::setFolder(const fs::path& where) {
    std::error_code ec;
    fs::path folder = fs::absolute(where, ec).lexically_normal();
    if (!folder.has_filename() && folder != folder.root_path()) folder = folder.parent_path();
    folder_ = folder;
    lookIn_->setText(QString::fromStdString(folder.string()));
    listFolder();
    updateContinueButton();
}

void WizardDialog::listFolder() {
    fileList_->clear();
    QDir dir(QString::fromStdString(folder_.string()));
    const QStyle* s = style();
    for (const QFileInfo& info : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(s->standardIcon(QStyle::SP_DirIcon), info.fileName(), fileList_);
        item->setData(Qt::UserRole, info.fileName());
        item->setData(Qt::UserRole + 1, true);
    }
    for (const QFileInfo& info : dir.entryInfoList(pattern_, QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(s->standardIcon(QStyle::SP_FileIcon), info.fileName(), fileList_);
        item->setData(Qt::UserRole, info.fileName());
        item->setData(Qt::UserRole + 1, false);
    }
}

void WizardDialog::fileSelectionChanged() {
    std::vector<std::string> names;
    for (int i = 0; i < fileList_->count(); ++i) {
        QListWidgetItem* item = fileList_->item(i);
        if (item->isSelected() && !item->data(Qt::UserRole + 1).toBool())
            names.push_back(item->data(Qt::UserRole).toString().toStdString());
    }
    if (names.empty()) return;
    fileName_->setText(QString::fromStdString(JoinFileNames(names)));
}

void WizardDialog::updateContinueButton() {
    const int index = currentPage();
    if (index >= kFilePage) {
        const FileSelection sel = ValidateSelectedFiles(folder_, fileName_->text().toStdString());
        namesValid_ = sel.valid;
        QStringList titles;
        for (const std::string& t : sel.titles) titles << QString::fromStdString(t);
        fileTitle_->setText(titles.join("; "));
        chosen_ = sel.paths;
    }
    const bool enabled = index == 0 || namesValid_;
    const bool hadFocus = continue_->hasFocus() || convert_->hasFocus();
    continue_->setEnabled(enabled);
    convert_->setEnabled(index == kFilePage && namesValid_);
    if (!enabled && hadFocus) help_->setFocus();
    continue_->setDefault(enabled);
    back_->setDefault(!enabled);
}

void WizardDialog::takeListedFile(const std::string& path) {
    fileName_->setText(QString::fromStdString(path.find(' ') != std::string::npos ? '"' + path + '"' : path));
}

void WizardDialog::showHelpFileList() {
    if (list_ && list_->isVisible()) return;
    list_ = std::make_unique<HelpFileListDialog>(this, [this](const std::string& p) { takeListedFile(p); });
    list_->onHelp = [this] { showHelp(); };
    content_->setEnabled(false);
    connect(list_.get(), &QDialog::finished, this, [this] {
        content_->setEnabled(true);
        fileName_->setFocus();
    });
    list_->show();
    const QPoint centre = geometry().center();
    list_->move(centre - QPoint(list_->width() / 2, list_->height() / 2));
    list_->startScan(QDir::homePath().toStdString());
}

bool WizardDialog::contentEnabled() const { return content_->isEnabled(); }

void WizardDialog::showHelp() {
    const int index = currentPage();
    const QString text = PageHelpText(index);
    if (Hooks().showHelp) {
        Hooks().showHelp(index, text);
        return;
    }
    QMessageBox::information(this, HelpTitle(), text);
}

void WizardDialog::accept() {
    if (!namesValid_) return;
    flags_ = readOptionButtons();
    QDialog::accept();
}

void WizardDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        showHelp();
        return;
    }
    // Return in the folder field has opened the folder; it is no Continue.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && lookIn_->hasFocus()) return;
    // Return in the file-name field opens a folder or applies a pattern,
    // as the file chooser does, before it means the default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && fileName_->hasFocus()) {
        const QString text = fileName_->text().trimmed();
        std::error_code ec;
        const fs::path p = fs::path(folder_) / text.toStdString();
        if (!text.isEmpty() && !text.contains('"') && fs::is_directory(p, ec)) {
            setFolder(fs::weakly_canonical(p, ec));
            fileName_->clear();
            return;
        }
        if (text.contains('*') || text.contains('?')) {
            pattern_ = text.split(';', Qt::SkipEmptyParts);
            listFolder();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

}  // namespace conv::ui
