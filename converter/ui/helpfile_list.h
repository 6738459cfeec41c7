// The list of help files below a folder the user picks (the home folder
// to begin with). The scan works in small steps between window events, so
// the list stays usable, and stops when the list closes. It never follows a
// symbolic link to a folder, enters no folder twice and goes at most
// kMaxScanDepth folders deep.
#pragma once

#include <QDialog>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "converter/ui/file_selection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace conv::ui {

inline constexpr int kMaxScanDepth = 24;

struct FoundHelpFile {
    std::filesystem::path path;
    HelpFileInfo info;
};

class HelpFileScan {
public:
    explicit HelpFileScan(const std::filesystem::path& root, int maxDepth = kMaxScanDepth);
    ~HelpFileScan();
    HelpFileScan(const HelpFileScan&) = delete;
    HelpFileScan& operator=(const HelpFileScan&) = delete;

    // Looks at directory entries until `budget` has passed or `maxEntries`
    // were looked at. False once the scan has ended.
    bool Step(std::chrono::steady_clock::duration budget, int maxEntries);
    bool Finished() const { return frames_.empty(); }
    // Help files found since the last call.
    std::vector<FoundHelpFile> TakeFound();
    // The last folder whose scan ended, since the last call.
    std::optional<std::filesystem::path> TakeFinishedFolder();
    std::size_t EntriesSeen() const { return entriesSeen_; }

private:
    struct Frame;
    void Enter(const std::filesystem::path& dir, int depth);
    int maxDepth_;
    std::vector<std::unique_ptr<Frame>> frames_;
    std::set<std::pair<std::uintmax_t, std::uintmax_t>> visited_;  // device, inode
    std::vector<FoundHelpFile> found_;
    std::optional<std::filesystem::path> finishedFolder_;
    std::size_t entriesSeen_ = 0;
};

// Dialog 8001: title, copyright and path of each help file found. OK or a
// double click hands the selected path to `take` and closes; View hands it
// over and opens the file with the default action.
class HelpFileListDialog : public QDialog {
public:
    HelpFileListDialog(QWidget* parent, std::function<void(const std::string&)> take);
    ~HelpFileListDialog() override;

    // Starts a new scan of `folder` (the old one stops).
    void startScan(const std::filesystem::path& folder);
    bool scanning() const;
    const HelpFileScan* scan() const { return scan_.get(); }
    QTreeWidget* list() const { return list_; }
    // The path of the selected line; empty when none is selected.
    std::string selectedPath() const;

    // Entries looked at per slice at most (tests make slices small).
    void setSliceLimit(int entries) { sliceEntries_ = entries; }

    void done(int result) override;
    // F1 (the wizard shows the help of its page).
    std::function<void()> onHelp;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void stepScan();
    void stopScan();
    void takeSelected(bool view);

    std::function<void(const std::string&)> take_;
    std::unique_ptr<HelpFileScan> scan_;
    QTimer timer_;
    QLineEdit* folder_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* state_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* view_ = nullptr;
    int foundCount_ = 0;
    int sliceEntries_ = 400;
};

}  // namespace conv::ui
