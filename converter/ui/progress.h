// The progress dialog of a conversion (dialog 1539): the phase, the bar
// and the warning list, Cancel with its abort question, and at the end of a
// wizard run "&Ok" and "&View". ConversionSession drives ConvertHelpFile
// with it: progress calls let pending window events run, and an abort
// answered Yes stops the conversion through the progress callback, so the
// files written so far stay and the program ends with exit code 1.
//
// The window is brought up to date in batches, not on every call: a help
// file can report thousands of warnings and progress steps, and each list
// layout measures every row, so showing them one at a time made a
// conversion of a fraction of a second take a minute. Warnings are counted
// as they come (a repeated line is one row with its count) and reach the
// list, with pending events, at most every kRefreshMs, at each new phase and
// at the end.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/converter_strings.h"
#include "converter/help_file.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace conv::ui {

class WizardDialog;

// The text of the bar: "%3d%%" of position × 100 ÷ range (range 0 counts
// as 1, the position is cut to the range).
QString ProgressBarText(int position, int range);

class ProgressBar : public QWidget {
public:
    explicit ProgressBar(QWidget* parent = nullptr);
    void setRange(int range);
    void setPosition(int position);
    void addPosition(int delta);
    int range() const { return range_; }
    int position() const { return position_; }
    QString text() const { return ProgressBarText(position_, range_); }
    // Width of the filled part for the current values.
    int filledWidth() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    // Both are 16-bit window words in the design.
    int range_ = 100;
    int position_ = 0;
};

class ProgressDialog : public QDialog {
public:
    ProgressDialog();
    // The help file being converted (shown after the dialog's title).
    void setHelpFile(const QString& path);
    // Shows phase `id` when it is not 0 and differs from the last one shown.
    void setPhase(int id);
    // Moves the bar when `position` is not 0.
    void setPosition(int position);
    // Counts the warning's line; the list shows it at the next refresh.
    void addWarning(const HelpWarning& warning);
    // Puts the warnings counted so far into the list and lets pending
    // window events run: when `now`, or when kRefreshMs have passed since
    // the last refresh ended (the first call always refreshes).
    void refresh(bool now = false);
    static constexpr std::uint32_t kRefreshMs = 100;
    // The conversion has ended: the phase says so and the bar is full.
    void showComplete();

    // The end of a wizard run: complete, Cancel becomes the default "&Ok"
    // (id 1), "&View" is enabled unless the output was split.
    void setDone(bool viewEnabled);
    bool done() const { return finished_; }
    bool abortRequested() const { return abortRequested_; }

    int lastPhase() const { return lastPhase_; }
    ProgressBar* bar() const { return bar_; }
    QLabel* phaseLabel() const { return phase_; }
    // The warning list, first brought up to date.
    QListWidget* warnings() {
        flushWarnings();
        return warnings_;
    }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* viewButton() const { return view_; }
    // Called with each phase id shown.
    std::function<void(int)> onPhase;
    // Called on every progress call of the conversion (position, phase),
    // before pending events run.
    std::function<void(int, int)> onProgress;
    // Called by "&View".
    std::function<void()> onView;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cancelClicked();
    // New rows and changed counts to the list, one layout for them all.
    void flushWarnings();

    ProgressBar* bar_ = nullptr;
    QLabel* phase_ = nullptr;
    QListWidget* warnings_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* view_ = nullptr;
    int lastPhase_ = 0;
    WarningTally tally_;
    // The count each row of the list shows, by row.
    std::vector<std::size_t> shownCounts_;
    bool refreshed_ = false;
    std::uint32_t lastRefresh_ = 0;
    bool finished_ = false;
    bool abortRequested_ = false;
    bool asking_ = false;
};

// Replaceable pieces of the windows (tests script them; the defaults show
// real message boxes).
struct UiHooks {
    // The fatal-error box: title, text.
    std::function<void(const QString&, const QString&)> showFatal;
    // "Abort the conversion?"; true for Yes.
    std::function<bool(QWidget*)> askAbort;
    // Called once the progress dialog of a conversion exists.
    std::function<void(ProgressDialog&)> onProgressShown;
    // Called when the end-of-run wait begins (instead of waiting for a user).
    std::function<void(ProgressDialog&)> onRunDone;
    // Called once the wizard is up (tests drive it from here).
    std::function<void(WizardDialog&)> onWizardShown;
    // Help and F1 of the wizard: page, text.
    std::function<void(int, const QString&)> showHelp;
    // The box telling that a document could not be viewed: title, text.
    std::function<void(const QString&, const QString&)> showViewError;
};
UiHooks& Hooks();

// Opens a document with the viewer (OpenWithDefaultAction); when the viewer
// cannot start or gives up, says so in a box over `parent`, since nobody
// reads the terminal of a program with windows. False then.
bool ViewDocument(QWidget* parent, const std::string& path);

class ConversionSession {
public:
    enum class Result { Done, Fatal, Aborted };
    ConversionSession();
    ~ConversionSession();
    // One conversion of the help file `path` (system text, as the converter
    // takes paths) into the current folder; the progress dialog comes up
    // when `flags` has the progress bit. A fatal error is shown in its box.
    Result Convert(const std::string& path, ConversionFlags flags);
    // The end of a wizard run (only when a progress dialog exists): "&Ok"
    // and "&View", a beep when Rendlow.ini says so, then the dialog is served
    // until "&Ok" or its window is closed.
    void Done(ConversionFlags flags);
    // The end of a conversion from the command line: the dialog, when there
    // is one, shows that the conversion is complete.
    void Complete();
    ProgressDialog* dialog() const { return dialog_.get(); }
    // "<name>.RTF" of the last conversion, in the current folder.
    std::string ResultDocument(ConversionFlags flags) const;

private:
    ProgressDialog& EnsureDialog();
    std::unique_ptr<ProgressDialog> dialog_;
    std::string lastPath_;
};

// Centres `w` horizontally and puts its top at a third of the free height.
void CenterWindow(QWidget* w);

}  // namespace conv::ui
