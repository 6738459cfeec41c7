// Texts and ids of the converter's windows. Every dialog exists in three
// languages at its English id plus the language offset (0, 512, 1,024);
// control ids are the same in every language. Widgets carry their control
// id in the property "controlId" and a dialog its resource id in
// "dialogId", so code and tests find them by the ids the program uses.
#pragma once

#include <QString>
#include <QWidget>

namespace conv::ui {

// Dialog resources (English ids).
inline constexpr int kWizardDialog = 7000;        // file page and button bar
inline constexpr int kFirstPageDialog = 7001;     // pages 7001-7012
inline constexpr int kProgressDialog = 1539;
inline constexpr int kHelpFileListDialog = 8001;

// Controls of the wizard.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdHelp = 1038;
inline constexpr int kIdFileList = 1120;
inline constexpr int kIdFileName = 1152;
inline constexpr int kIdFileType = 1136;
inline constexpr int kIdFileNameLabel = 1090;
inline constexpr int kIdFileTypeLabel = 1089;
inline constexpr int kIdLookInLabel = 1091;
inline constexpr int kIdLookIn = 7902;            // the folder shown (ours)
inline constexpr int kIdFolderUp = 7903;          // ours
inline constexpr int kIdBack = 7101;
inline constexpr int kIdContinue = 7102;
inline constexpr int kIdDescription = 7105;
inline constexpr int kIdVersion = 7107;           // ours
inline constexpr int kIdHeading = 7201;
inline constexpr int kIdReadyNote = 7238;
inline constexpr int kIdFileTitle = 7901;
inline constexpr int kIdScan = 8005;
inline constexpr int kIdJumpsNone = 7702;

// Controls of the progress dialog.
inline constexpr int kIdBar = 7100;
inline constexpr int kIdWarnings = 7101;
inline constexpr int kIdPhase = 7102;
inline constexpr int kIdWarningsLabel = 7103;     // ours
inline constexpr int kIdView = 7106;

// Controls of the help-file list.
inline constexpr int kIdHelpFiles = 8002;
inline constexpr int kIdScanState = 8003;
inline constexpr int kIdScanFolder = 8006;        // ours
inline constexpr int kIdScanBrowse = 8007;        // ours
inline constexpr int kIdColumnTitle = 8010;       // ours
inline constexpr int kIdColumnCopyright = 8011;   // ours
inline constexpr int kIdColumnPath = 8012;        // ours
inline constexpr int kIdScanDone = 8013;          // ours: "%1 help files found"
inline constexpr int kIdListView = 9009;

// Progress dialog texts that are not a control's caption.
inline constexpr int kIdTitleText = 0;            // the dialog's own caption
inline constexpr int kIdOkCaption = 1;            // "&Ok" at the end of a run
inline constexpr int kIdAbortTitle = 7110;        // ours: title of the abort question
inline constexpr int kIdViewFailed = 7111;        // ours: "%1 could not be opened with %2."
inline constexpr int kIdViewerMissing = 7112;     // ours: the viewer program was not found

// `base` + the current language offset.
int DialogId(int base);
// The text of `controlId` in dialog `dialogBase` (English id) in the current
// language; id 0 is the dialog's caption. Empty when there is none.
QString DialogText(int dialogBase, int controlId);
// A string of the converter's table (converter_strings.h) as Qt text.
QString LocalString(int id);
// The short help of wizard page `page` (0-12) in the current language.
QString PageHelpText(int page);
QString HelpTitle();

void SetControlId(QWidget* widget, int id);
int ControlId(const QWidget* widget);
void SetDialogId(QWidget* widget, int base);
// The first widget under `root` (depth first, in creation order) with the id.
QWidget* FindControl(QWidget* root, int id);
template <class T>
T* Control(QWidget* root, int id) {
    return qobject_cast<T*>(FindControl(root, id));
}

}  // namespace conv::ui
