// The converter's wizard: one dialog whose thirteen pages lead from the
// welcome page through the choice of help files (page 1, a file chooser with
// a multi-selection list) and the option pages to "Ready to convert". The
// option buttons mirror the flag word: SetOptionButtons checks them from it,
// ReadOptionButtons builds it back with the mode rule.
#pragma once

#include <QDialog>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "converter/help_file.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace conv::ui {

class HelpFileListDialog;

inline constexpr int kWizardPages = 13;
inline constexpr int kFilePage = 1;
inline constexpr int kReadyPage = 12;

// The dialog resource of each page (page 1 is the wizard's own 7000).
int PageDialogId(int page);
// Pages left out in the mode of `flags`: print mode skips 4 and 11, source
// mode 5 to 10.
bool PageSkipped(int page, ConversionFlags flags);
// One step in `direction` (+1 or -1) past the skipped pages, kept in 0-12.
int StepWizardPage(int page, int direction, ConversionFlags flags);
// Note 7238 shows when any of PageLinks, Toc, Index is set, or in print
// mode without BmpInRtf.
bool ReadyNoteVisible(ConversionFlags flags);

struct OptionButtons {
    ConversionFlags bit;
    int on;
    int off;  // 0: none
};
// The option table's buttons in its order.
const std::vector<OptionButtons>& OptionButtonTable();

class WizardDialog : public QDialog {
public:
    // `flags`: the options to start from (LoadOptions).
    explicit WizardDialog(ConversionFlags flags, QWidget* parent = nullptr);
    ~WizardDialog() override;

    int currentPage() const;
    void showPage(int page);
    // Continue (+1) and Back (-1); Continue on the last page accepts.
    void stepPage(int direction);
    QWidget* page(int index) const;

    void setOptionButtons(ConversionFlags flags);
    ConversionFlags readOptionButtons() const;

    // The chooser's folder (the current folder to begin with).
    void setFolder(const std::filesystem::path& folder);
    std::filesystem::path folder() const { return folder_; }
    QLineEdit* fileNameField() const { return fileName_; }
    QListWidget* fileList() const { return fileList_; }
    QPushButton* button(int id) const;
    // Enables Continue (and Convert) from the names of the field.
    void updateContinueButton();

    // After acceptance: the chosen files and the options read from the buttons.
    const std::vector<std::filesystem::path>& chosenFiles() const { return chosen_; }
    ConversionFlags flags() const { return flags_; }

    // Scan: the help-file list over the wizard, which is disabled meanwhile.
    void showHelpFileList();
    HelpFileListDialog* helpFileList() const { return list_.get(); }
    bool contentEnabled() const;
    void showHelp();

    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildWelcomePage();
    QWidget* buildFilePage();
    QWidget* buildOptionPage(int page);
    QWidget* buildReadyPage();
    QWidget* newPage(int page, QWidget** body);
    void listFolder();
    void fileSelectionChanged();
    void takeListedFile(const std::string& path);

    QWidget* content_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* continue_ = nullptr;
    QPushButton* convert_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* help_ = nullptr;
    QLineEdit* lookIn_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QComboBox* fileType_ = nullptr;
    QLabel* fileTitle_ = nullptr;
    QLabel* readyNote_ = nullptr;
    std::filesystem::path folder_;
    QStringList pattern_;
    bool namesValid_ = false;
    bool optionsSet_ = false;
    bool selecting_ = false;
    std::vector<std::filesystem::path> chosen_;
    ConversionFlags flags_ = 0;
    std::unique_ptr<HelpFileListDialog> list_;
};

}  // namespace conv::ui
