#include "converter/ui/progress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "converter/converter_strings.h"
#include "converter/project_writer.h"
#include "converter/rtf_head.h"
#include "converter/shell.h"
#include "converter/ui/ui_texts.h"
#include "platform/core/clock.h"
#include "platform/core/codepage.h"
#include "platform/core/ini_file.h"
#include "platform/core/last_error.h"

namespace conv::ui {

QString ProgressBarText(int position, int range) {
    if (range <= 0) range = 1;
    position = std::clamp(position, 0, range);
    return QString::asprintf("%3d%%", position * 100 / range);
}

// ---- bar ----

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize ProgressBar::sizeHint() const { return {300, fontMetrics().height() + 8}; }

void ProgressBar::setRange(int range) {
    range &= 0xFFFF;
    if (range == range_) return;
    range_ = range;
    repaint();
}

void ProgressBar::setPosition(int position) {
    position &= 0xFFFF;
    if (position == position_) return;
    position_ = position;
    repaint();
}

void ProgressBar::addPosition(int delta) {
    position_ = (position_ + delta) & 0xFFFF;
    repaint();
}

int ProgressBar::filledWidth() const {
    const int r = range_ == 0 ? 1 : range_;
    const int p = std::min(position_, r);
    return std::min(width(), p * width() / r + 1);
}

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect all = rect();
    const int filled = filledWidth();
    const QRect done(0, 0, filled, all.height());
    const QRect rest(filled, 0, all.width() - filled, all.height());
    const QString label = text();
    const QColor blue(0, 0, 255);
    // Each part clipped to itself, so the text changes colour where the bar ends.
    p.save();
    p.setClipRect(done);
    p.fillRect(all, blue);
    p.setPen(Qt::white);
    p.drawText(all, Qt::AlignCenter, label);
    p.restore();
    p.save();
    p.setClipRect(rest);
    p.fillRect(all, Qt::white);
    p.setPen(blue);
    p.drawText(all, Qt::AlignCenter, label);
    p.restore();
}

// ---- dialog ----

ProgressDialog::ProgressDialog() : QDialog(nullptr) {
    SetDialogId(this, kProgressDialog);
    setWindowTitle(DialogText(kProgressDialog, kIdTitleText).trimmed());

    phase_ = new QLabel(this);
    SetControlId(phase_, kIdPhase);
    phase_->setTextFormat(Qt::PlainText);
    bar_ = new ProgressBar(this);
    SetControlId(bar_, kIdBar);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Plain);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    frameLayout->addWidget(bar_);
    auto* warningsLabel = new QLabel(DialogText(kProgressDialog, kIdWarningsLabel), this);
    SetControlId(warningsLabel, kIdWarningsLabel);
    warnings_ = new QListWidget(this);
    SetControlId(warnings_, kIdWarnings);
    warnings_->setSelectionMode(QAbstractItemView::NoSelection);
    warningsLabel->setBuddy(warnings_);

    cancel_ = new QPushButton(DialogText(kProgressDialog, kIdCancel), this);
    SetControlId(cancel_, kIdCancel);
    view_ = new QPushButton(DialogText(kProgressDialog, kIdView), this);
    SetControlId(view_, kIdView);
    view_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(view_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(phase_);
    layout->addWidget(frame);
    layout->addSpacing(6);
    layout->addWidget(warningsLabel);
    layout->addWidget(warnings_, 1);
    layout->addLayout(buttons);
    resize(520, 300);

    connect(cancel_, &QPushButton::clicked, this, [this] { cancelClicked(); });
    connect(view_, &QPushButton::clicked, this, [this] {
        if (onView) onView();
    });
}

void ProgressDialog::setHelpFile(const QString& path) {
    setWindowTitle(DialogText(kProgressDialog, kIdTitleText) + path);
}

void ProgressDialog::setPhase(int id) {
    if (id == 0 || id == lastPhase_) return;
    lastPhase_ = id;
    phase_->setText(LocalString(id));
    if (onPhase) onPhase(id);
}

void ProgressDialog::setPosition(int position) {
    if (position != 0) bar_->setPosition(position);
}

void ProgressDialog::addWarning(const HelpWarning& warning) {
    // FormatWarning cuts the line at its first line feed.
    tally_.Add(FormatWarning(warning));
}

void ProgressDialog::flushWarnings() {
    const std::vector<WarningTally::Row>& rows = tally_.rows();
    bool added = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool shown = i < shownCounts_.size();
        if (shown && shownCounts_[i] == rows[i].count) continue;
        const QString text = QString::fromStdString(plat::AnsiToUtf8(TalliedLine(rows[i])));
        if (shown) {
            warnings_->item(static_cast<int>(i))->setText(text);
            shownCounts_[i] = rows[i].count;
        } else {
            warnings_->addItem(text);
            shownCounts_.push_back(rows[i].count);
            added = true;
        }
    }
    if (added) warnings_->scrollToBottom();
}

void ProgressDialog::refresh(bool now) {
    // Unsigned difference: right across the wrap of the tick count.
    if (!now && refreshed_ && plat::GetTickCount() - lastRefresh_ < kRefreshMs) return;
    flushWarnings();
    QCoreApplication::processEvents();
    // Counted from the end, so slow painting cannot take every interval.
    refreshed_ = true;
    lastRefresh_ = plat::GetTickCount();
}

void ProgressDialog::showComplete() {
    // A conversion that follows shows its phases from the first again.
    lastPhase_ = 0;
    phase_->setText(LocalString(kTextConversionComplete));
    bar_->setPosition(bar_->range());
    flushWarnings();
}

void ProgressDialog::setDone(bool viewEnabled) {
    showComplete();
    finished_ = true;
    cancel_->setText(DialogText(kProgressDialog, kIdOkCaption));
    SetControlId(cancel_, kIdOk);
    cancel_->setDefault(true);
    cancel_->setFocus();
    view_->setEnabled(viewEnabled);
}

void ProgressDialog::cancelClicked() {
    if (finished_) {
        accept();
        return;
    }
    if (asking_ || abortRequested_) return;
    asking_ = true;
    bool yes;
    if (Hooks().askAbort) {
        yes = Hooks().askAbort(this);
    } else {
        yes = QMessageBox::question(this, DialogText(kProgressDialog, kIdAbortTitle), LocalString(61),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }
    asking_ = false;
    // The conversion stops at its next progress call.
    if (yes) abortRequested_ = true;
}

void ProgressDialog::reject() {
    // Escape works like the button.
    cancelClicked();
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    if (finished_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    cancelClicked();
}

UiHooks& Hooks() {
    static UiHooks hooks;
    return hooks;
}

void CenterWindow(QWidget* w) {
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = w->frameGeometry().size();
    w->move(area.left() + (area.width() - size.width()) / 2,
            area.top() + std::max(0, (area.height() - size.height()) / 3));
}

// ---- session ----

ConversionSession::ConversionSession() = default;

ConversionSession::~ConversionSession() = default;

ProgressDialog& ConversionSession::EnsureDialog() {
    if (!dialog_) {
        dialog_ = std::make_unique<ProgressDialog>();
        dialog_->setHelpFile(QString::fromStdString(plat::AnsiToUtf8(lastPath_)));
        dialog_->show();
        CenterWindow(dialog_.get());
        if (Hooks().onProgressShown) Hooks().onProgressShown(*dialog_);
    }
    return *dialog_;
}

ConversionSession::Result ConversionSession::Convert(const std::string& path, ConversionFlags flags) {
    lastPath_ = path;
    if (dialog_) dialog_->setHelpFile(QString::fromStdString(plat::AnsiToUtf8(path)));
    const bool showProgress = flags & kShowProgress;
    ConversionRequest request;
    request.flags = flags;
    request.path = path;
    auto onProgress = [&](int position, int phase) {
        if (!showProgress) return;
        ProgressDialog& d = EnsureDialog();
        const bool newPhase = phase != 0 && phase != d.lastPhase();
        d.setPhase(phase);
        d.setPosition(position);
        if (d.onProgress) d.onProgress(position, phase);
        // Every phase is shown as it begins; steps within it as time allows.
        d.refresh(newPhase);
        if (d.abortRequested()) throw ConversionAborted{};
    };
    auto onWarning = [&](const HelpWarning& w) {
        if (!showProgress) return;
        ProgressDialog& d = EnsureDialog();
        d.addWarning(w);
        // A long run of warnings without progress keeps the window alive;
        // an abort answered here stops at the next progress call.
        d.refresh();
    };
    try {
        ConvertHelpFile(request, nullptr, onProgress, onWarning);
    } catch (const ConversionAborted&) {
        if (dialog_) dialog_->refresh(true);
        return Result::Aborted;
    } catch (const HelpFileError& e) {
        // The warnings found before the error stand beside its box.
        if (dialog_) dialog_->refresh(true);
        const QString title = LocalString(62);
        const QString text = QString::fromStdString(plat::AnsiToUtf8(e.what()));
        if (Hooks().showFatal)
            Hooks().showFatal(title, text);
        else
            QMessageBox::critical(dialog_.get(), title, text);
        return Result::Fatal;
    }
    // Let the last phase, position and warnings show before the next file or the end.
    if (dialog_) dialog_->refresh(true);
    else QCoreApplication::processEvents();
    return Result::Done;
}

bool ViewDocument(QWidget* parent, const std::string& path) {
    std::string reason;
    if (OpenWithDefaultAction(path, &reason)) return true;
    const std::uint32_t error = plat::GetLastError();
    QString text = DialogText(kProgressDialog, kIdViewFailed)
                       .arg(QString::fromStdString(path), QString::fromStdString(plat::AnsiToUtf8(ResultViewer())));
    if (!reason.empty())
        text += "\n\n" + QString::fromStdString(plat::AnsiToUtf8(reason));
    else if (error == plat::ERROR_FILE_NOT_FOUND)
        text += "\n\n" + DialogText(kProgressDialog, kIdViewerMissing);
    else
        text += QString("\n\n(%1)").arg(error);
    const QString title = DialogText(kProgressDialog, kIdAbortTitle);
    if (Hooks().showViewError)
        Hooks().showViewError(title, text);
    else
        QMessageBox::warning(parent, title, text);
    return false;
}

void ConversionSession::Complete() {
    if (!dialog_) return;
    dialog_->showComplete();
    dialog_->refresh(true);
}

std::string ConversionSession::ResultDocument(ConversionFlags flags) const {
    const OutputNames names = MakeOutputNames(lastPath_, flags & ~kSplitRtf);
    return names.baseName + ".RTF";
}

void ConversionSession::Done(ConversionFlags flags) {
    if (!dialog_) return;
    ProgressDialog& d = *dialog_;
    d.setDone(!(flags & kSplitRtf));
    const std::string document = ResultDocument(flags);
    d.onView = [document, &d] { ViewDocument(&d, plat::AnsiToUtf8(document)); };
    if (plat::GetPrivateProfileInt(kIniSection, "MessageBeep", 1, kIniFile) != 0) QApplication::beep();
    if (Hooks().onRunDone) QTimer::singleShot(0, &d, [&d] { Hooks().onRunDone(d); });
    d.exec();
    dialog_.reset();
}

}  // namespace conv::ui
