// The wizard: page stepping with the skip rules, the option buttons and the
// mode rule, the Continue button over the names of the file-name field, the
// note of the last page, a whole run (Convert, Cancel) and the languages.

#include <gtest/gtest.h>
#include "tests/support/test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "converter/converter_strings.h"
#include "converter/shell.h"
#include "converter/tests/hlp_builder.h"
#include "converter/ui/file_selection.h"
#include "converter/ui/helpfile_list.h"
#include "converter/ui/progress.h"
#include "converter/ui/run.h"
#include "converter/ui/tests/ui_test_support.h"
#include "converter/ui/ui_texts.h"
#include "converter/ui/wizard.h"
#include "platform/core/ini_file.h"

namespace conv::ui {
namespace {

namespace fs = std::filesystem;
using test::UiFixture;

constexpr ConversionFlags kPrint = kForPrint | kNoShg;
constexpr ConversionFlags kSource = kBrowseSequences | kPageBreak | kJumps;

TEST(WizardPages, StepsPastThePagesOfTheOtherMode) {
    struct {
        int page, direction;
        ConversionFlags flags;
        int expected;
    } cases[] = {
        {4, +1, kSource, 11}, {11, -1, kSource, 4},  {3, +1, kSource, 4},   {0, -1, kSource, 0},
        {3, +1, kPrint, 5},   {10, +1, kPrint, 12},  {12, -1, kPrint, 10},  {5, -1, kPrint, 3},
        {1, +1, kPrint, 2},   {12, +1, kPrint, 12},  {11, +1, kSource, 12}, {0, +1, kSource, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StepWizardPage(c.page, c.direction, c.flags), c.expected)
            << c.page << " " << c.direction << " " << std::hex << c.flags;
}

TEST(WizardPages, ReadyNoteRule) {
    struct {
        ConversionFlags flags;
        bool visible;
    } cases[] = {
        {kSource, false},
        {kSource | kLocalize, false},
        {kPrint | kBmpInRtf, false},
        {kPrint, true},                       // print mode with separate pictures
        {kPrint | kBmpInRtf | kToc, true},
        {kPrint | kBmpInRtf | kIndex, true},
        {kPrint | kBmpInRtf | kPageLinks, true},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadyNoteVisible(c.flags), c.visible) << std::hex << c.flags;
}

TEST(FileNameField, NamesInQuotesStayWhole) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "my help.hlp", "x");
    struct {
        const char* text;
        std::vector<std::string> names;
    } cases[] = {
        {"\"a b.hlp\" c.hlp", {"a b.hlp", "c.hlp"}},
        {"  x.hlp  ", {"x.hlp"}},
        {"one.hlp two.hlp", {"one.hlp", "two.hlp"}},
        {"my help.hlp", {"my help.hlp"}},  // names an existing file as a whole
        {"\"my help.hlp\" \"x.hlp\"", {"my help.hlp", "x.hlp"}},
        {"\"unterminated name", {"unterminated name"}},
        {"a.hlp\"b c.hlp\"", {"a.hlp", "b c.hlp"}},
        {"\"\"", {}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitFileNameField(c.text, dir.path()), c.names) << c.text;
    EXPECT_EQ(JoinFileNames({"a b.hlp"}), "a b.hlp");
    EXPECT_EQ(JoinFileNames({"a b.hlp", "c.hlp"}), "\"a b.hlp\" \"c.hlp\"");
}

class Wizard : public ::testing::Test, public UiFixture {
protected:
    static QRadioButton* Radio(WizardDialog& w, int id) { return Control<QRadioButton>(&w, id); }
    // A folder with a real help file, a text file and a help file in a
    // folder whose name has a blank.
    void MakeFiles() {
        winfile_ = CopyCorpus("winfile.hlp", work() / "in");
        demist_ = CopyCorpus("DEMIST.HLP", work() / "in" / "with blank");
        text_ = work() / "in" / "notes.txt";
        testsupport::WriteFileBytes(text_, "not a help file\n");
    }
    fs::path winfile_, demist_, text_;
};

TEST_F(Wizard, BackAndContinueWalkThePagesOfTheMode) {
    TAVRIN_REQUIRE_CORPUS();
    MakeFiles();
    WizardDialog w(kPrint | kBmpInRtf);
    w.setFolder(work() / "in");
    EXPECT_FALSE(w.button(kIdBack)->isEnabled());
    EXPECT_TRUE(w.button(kIdContinue)->isEnabled());
    w.button(kIdContinue)->click();
    EXPECT_EQ(w.currentPage(), kFilePage);
    EXPECT_TRUE(w.button(kIdBack)->isEnabled());
    EXPECT_TRUE(w.button(kIdOk)->isVisible() || !w.isVisible());
    w.fileNameField()->setText("winfile.hlp");
    std::vector<int> seen;
    for (int i = 0; i < 20 && w.currentPage() != kReadyPage; ++i) {
        w.button(kIdContinue)->click();
        seen.push_back(w.currentPage());
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 5, 6, 7, 8, 9, 10, 12}));
    // The note follows the buttons as they stand when the last page shows.
    QLabel* note = Control<QLabel>(&w, kIdReadyNote);
    EXPECT_TRUE(note->isHidden());
    w.showPage(7);
    Radio(w, 7421)->setChecked(true);
    w.button(kIdContinue)->click();
    w.button(kIdContinue)->click();
    w.button(kIdContinue)->click();
    w.button(kIdContinue)->click();
    EXPECT_EQ(w.currentPage(), kReadyPage);
    EXPECT_FALSE(note->isHidden());
    // Switching to source mode on page 2 changes the way back.
    w.showPage(2);
    Radio(w, 7203)->setChecked(true);
    w.button(kIdContinue)->click();
    w.button(kIdContinue)->click();
    EXPECT_EQ(w.currentPage(), 4);
    w.button(kIdContinue)->click();
    EXPECT_EQ(w.currentPage(), 11);
    w.button(kIdBack)->click();
    EXPECT_EQ(w.currentPage(), 4);
}

TEST_F(Wizard, OptionButtonsFollowTheFlagsAndReadBackWithTheModeRule) {
    WizardDialog w(0);
    const ConversionFlags cases[] = {
        kPrint | kBmpInRtf | kToc | kIndex | kEwSupport,
        kPrint | kSplitRtf | kPageBreak | kJumps,
        kPrint | kPageLinks,
        kSource | kLocalize | kSplitRtf,
        kSource | kNoShg,
    };
    for (ConversionFlags f : cases) {
        w.setOptionButtons(f);
        EXPECT_EQ(w.readOptionButtons(), ApplyModeRule(f)) << std::hex << f;
        for (const OptionButtons& row : OptionButtonTable()) {
            // Jumps and PageLinks share one group with 7702: PageLinks wins.
            const bool on = (f & row.bit) && !(row.bit == kJumps && (f & kPageLinks));
            EXPECT_EQ(Radio(w, row.on)->isChecked(), on) << row.on << " " << std::hex << f;
            if (row.off) {
                EXPECT_EQ(Radio(w, row.off)->isChecked(), !on) << row.off;
            }
        }
        EXPECT_EQ(Radio(w, kIdJumpsNone)->isChecked(), !(f & (kJumps | kPageLinks))) << std::hex << f;
    }
    // Buttons changed by hand go through the mode rule: print mode drops Localize.
    w.setOptionButtons(kPrint);
    Radio(w, 7811)->setChecked(true);
    EXPECT_EQ(w.readOptionButtons() & kLocalize, 0u);
}

TEST_F(Wizard, FirstRunWithoutPrintModeShowsIndexAndTocCleared) {
    plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    WizardDialog w(LoadOptions());
    EXPECT_TRUE(Radio(w, 7203)->isChecked());
    EXPECT_TRUE(Radio(w, 7412)->isChecked());
    EXPECT_TRUE(Radio(w, 7422)->isChecked());
    EXPECT_FALSE(Radio(w, 7411)->isChecked());
    SaveOptions(w.readOptionButtons());
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "Index", "?", "Rendlow.ini"), "0");
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "Toc", "?", "Rendlow.ini"), "0");
}

// Embedded windows are drawn by Windows libraries, which this system cannot
// load, so a conversion recreates their tags: a first run offers just that.
TEST_F(Wizard, FirstRunOffersTheEmbeddedWindowTagThatTheConversionWrites) {
    WizardDialog w(LoadOptions());
    w.showPage(8);
    EXPECT_TRUE(Radio(w, 7601)->isChecked());
    EXPECT_FALSE(Radio(w, 7602)->isChecked());
    EXPECT_EQ(LoadOptions() & kEwSupport, 0u);
}

TEST_F(Wizard, ContinueOnlyWhileEveryNamedFileOpens) {
    TAVRIN_REQUIRE_CORPUS();
    MakeFiles();
    WizardDialog w(kPrint);
    w.setFolder(work() / "in");
    QLabel* title = Control<QLabel>(&w, kIdFileTitle);
    w.showPage(kFilePage);
    const std::string winTitle = ProbeHelpFile(winfile_)->title;
    ASSERT_FALSE(winTitle.empty());
    struct {
        std::string field;
        bool enabled;
    } cases[] = {
        {"*.HLP;*.MVB;*.M13", false},
        {"winfile.hlp", true},
        {"winfile", true},  // ".HLP" is tried
        {"notes.txt", false},
        {"\"winfile.hlp\" \"notes.txt\"", false},
        {"\"winfile.hlp\" \"with blank/DEMIST.HLP\"", true},
        {"with blank/DEMIST.HLP", true},  // one name with a blank, no quotes
        {demist_.string(), true},
        {"missing.hlp", false},
        {"", false},
    };
    for (const auto& c : cases) {
        w.fileNameField()->setText(QString::fromStdString(c.field));
        EXPECT_EQ(w.button(kIdContinue)->isEnabled(), c.enabled) << c.field;
        EXPECT_EQ(w.button(kIdOk)->isEnabled(), c.enabled) << c.field;
        EXPECT_EQ(w.button(kIdContinue)->isDefault(), c.enabled) << c.field;
        EXPECT_EQ(w.button(kIdBack)->isDefault(), !c.enabled) << c.field;
        if (!c.enabled) {
            EXPECT_TRUE(title->text().isEmpty()) << c.field;
        }
    }
    w.fileNameField()->setText("winfile.hlp");
    EXPECT_EQ(title->text().toStdString(), winTitle);
    // Page 0 needs no files.
    w.fileNameField()->setText("notes.txt");
    w.showPage(0);
    EXPECT_TRUE(w.button(kIdContinue)->isEnabled());
}

TEST_F(Wizard, ChoosingSeveralFilesInTheListQuotesEachName) {
    TAVRIN_REQUIRE_CORPUS();
    MakeFiles();
    CopyCorpus("DEMIST.HLP", work() / "in");
    WizardDialog w(kPrint);
    w.setFolder(work() / "in");
    w.showPage(kFilePage);
    QListWidget* list = w.fileList();
    // Folders first, then the help files; the text file is filtered out.
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
    EXPECT_EQ(shown, (QStringList{"with blank", "DEMIST.HLP", "winfile.hlp"}));
    list->item(1)->setSelected(true);
    list->item(2)->setSelected(true);
    EXPECT_EQ(w.fileNameField()->text(), "\"DEMIST.HLP\" \"winfile.hlp\"");
    EXPECT_TRUE(w.button(kIdContinue)->isEnabled());
    // A double click on a file does nothing; on a folder it opens it.
    emit list->itemDoubleClicked(list->item(2));
    EXPECT_EQ(w.folder(), work() / "in");
    emit list->itemDoubleClicked(list->item(0));
    EXPECT_EQ(w.folder(), work() / "in" / "with blank");
}

TEST_F(Wizard, ReturnInTheFolderFieldsOpensTheFolderAndGoesNoFurther) {
    TAVRIN_REQUIRE_CORPUS();
    MakeFiles();
    WizardDialog w(kPrint);
    w.show();
    QApplication::setActiveWindow(&w);
    w.setFolder(work() / "in");
    w.showPage(kFilePage);
    w.fileNameField()->setText("winfile.hlp");
    auto* lookIn = Control<QLineEdit>(&w, kIdLookIn);
    lookIn->setFocus();
    lookIn->setText(QString::fromStdString((work() / "in" / "with blank").string()));
    QTest::keyClick(lookIn, Qt::Key_Return);
    EXPECT_EQ(w.folder(), work() / "in" / "with blank");
    EXPECT_EQ(w.currentPage(), kFilePage);
    EXPECT_EQ(w.result(), 0);
    // In the file-name field a folder name opens the folder, a pattern filters.
    w.setFolder(work() / "in");
    w.fileNameField()->setFocus();
    w.fileNameField()->setText("with blank");
    QTest::keyClick(w.fileNameField(), Qt::Key_Return);
    EXPECT_EQ(w.folder(), work() / "in" / "with blank");
    EXPECT_EQ(w.currentPage(), kFilePage);
    w.setFolder(work() / "in");
    w.fileNameField()->setText("*.txt");
    QTest::keyClick(w.fileNameField(), Qt::Key_Return);
    QStringList shown;
    for (int i = 0; i < w.fileList()->count(); ++i) shown << w.fileList()->item(i)->text();
    EXPECT_EQ(shown, (QStringList{"with blank", "notes.txt"}));
}

TEST_F(Wizard, ConvertWritesEveryChosenFileIntoTheCurrentFolderAndSavesTheOptions) {
    TAVRIN_REQUIRE_CORPUS();
    MakeFiles();
    fs::create_directories(work() / "out");
    fs::current_path(work() / "out");
    std::string opened;
    SetDocumentOpener([&](const std::string& p) { opened = p; });
    bool doneShown = false, viewEnabled = false;
    QString okText;
    Hooks().onWizardShown = [&](WizardDialog& w) {
        w.setFolder(work() / "in");
        w.button(kIdContinue)->click();
        // Both files by path, one of them in a folder with a blank.
        w.fileNameField()->setText(QString::fromStdString("\"" + winfile_.string() + "\" \"" + demist_.string() + "\""));
        w.button(kIdOk)->click();
    };
    Hooks().onRunDone = [&](ProgressDialog& d) {
        doneShown = true;
        okText = d.cancelButton()->text();
        viewEnabled = d.viewButton()->isEnabled();
        EXPECT_EQ(ControlId(d.cancelButton()), kIdOk);
        d.viewButton()->click();
        d.cancelButton()->click();
    };
    EXPECT_EQ(RunWizard(), 2);
    EXPECT_TRUE(fs::exists(work() / "out" / "winfile.RTF"));
    EXPECT_TRUE(fs::exists(work() / "out" / "DEMIST.RTF"));
    EXPECT_FALSE(fs::exists(work() / "in" / "with blank" / "DEMIST.RTF"));
    EXPECT_TRUE(doneShown);
    EXPECT_EQ(okText, "&Ok");
    EXPECT_TRUE(viewEnabled);
    EXPECT_EQ(opened, "DEMIST.RTF");  // the last file converted
    // The eleven keys, as the buttons stood (the defaults).
    const char* expected[][2] = {{"ForPrint", "1"}, {"NoShg", "1"},  {"SplitRtf", "0"},  {"PageBreak", "0"},
                                 {"EwSupport", "0"}, {"Jumps", "0"},  {"PageLinks", "0"}, {"Index", "1"},
                                 {"Toc", "1"},       {"BmpInRtf", "1"}, {"Localize", "0"}};
    for (const auto& e : expected)
        EXPECT_EQ(plat::GetPrivateProfileString("Options", e[0], "?", "Rendlow.ini"), e[1]) << e[0];
}

TEST_F(Wizard, CloseConvertsAndSavesNothing) {
    TAVRIN_REQUIRE_CORPUS();
    MakeFiles();
    Hooks().onWizardShown = [&](WizardDialog& w) {
        w.setFolder(work() / "in");
        w.showPage(kFilePage);
        w.fileNameField()->setText("winfile.hlp");
        Control<QRadioButton>(&w, 7402)->setChecked(true);
        w.button(kIdCancel)->click();
    };
    bool progress = false;
    Hooks().onProgressShown = [&](ProgressDialog&) { progress = true; };
    EXPECT_EQ(RunWizard(), 2);
    EXPECT_FALSE(progress);
    EXPECT_FALSE(fs::exists(work() / "winfile.RTF"));
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "SplitRtf", "?", "Rendlow.ini"), "?");
}

TEST_F(Wizard, LanguageOfTheIniFileChoosesTextsAndDialogIds) {
    struct {
        const char* language;
        int offset;
        const char* printButton;
        const char* cancel;
    } cases[] = {
        {"deu", 512, "Druckfertiges Dokument erstellen", "&Abbrechen"},
        {"ESP", 1024, "Preparar documento listo para imprimir", "&Cancelar"},
        {"FRA", 0, "Prepare print-ready document", "&Cancel"},
    };
    for (const auto& c : cases) {
        plat::WritePrivateProfileString("Options", "Language", c.language, "Rendlow.ini");
        SetLanguageOffset(LoadLanguageOffset());
        WizardDialog w(kPrint);
        EXPECT_EQ(w.property("dialogId").toInt(), 7000 + c.offset) << c.language;
        EXPECT_EQ(w.page(2)->property("dialogId").toInt(), 7002 + c.offset) << c.language;
        EXPECT_EQ(w.page(10)->property("dialogId").toInt(), 7011 + c.offset) << c.language;
        EXPECT_EQ(Control<QRadioButton>(&w, 7202)->text().toStdString(), c.printButton) << c.language;
        ProgressDialog d;
        EXPECT_EQ(d.property("dialogId").toInt(), 1539 + c.offset);
        EXPECT_EQ(d.cancelButton()->text().toStdString(), c.cancel);
        d.setPhase(7);
        EXPECT_EQ(d.phaseLabel()->text(), LocalString(7));
        HelpFileListDialog list(nullptr, {});
        EXPECT_EQ(list.property("dialogId").toInt(), 8001 + c.offset);
    }
    SetLanguageOffset(kLanguageGerman);
    EXPECT_EQ(LocalString(7), QString::fromUtf8("Themen werden gelesen"));
}

TEST_F(Wizard, HelpAndF1ShowThePageHelpInTheLanguage) {
    std::vector<std::pair<int, QString>> shown;
    Hooks().showHelp = [&](int page, const QString& text) { shown.emplace_back(page, text); };
    SetLanguageOffset(kLanguageGerman);
    WizardDialog w(kPrint);
    w.show();
    w.showPage(5);
    w.button(kIdHelp)->click();
    QTest::keyClick(&w, Qt::Key_F1);
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& s : shown) {
        EXPECT_EQ(s.first, 5);
        EXPECT_EQ(s.second, PageHelpText(5));
    }
    EXPECT_TRUE(shown[0].second.startsWith(QString::fromUtf8("Mit Seitenumbrüchen")));
}

TEST_F(Wizard, ScanListsHelpFilesFromTheHomeFolderAndHandsOneToTheField) {
    TAVRIN_REQUIRE_CORPUS();
    MakeFiles();
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString((work() / "in").string()));
    WizardDialog w(kPrint);
    w.show();
    w.showPage(kFilePage);
    w.fileNameField()->clear();
    w.button(kIdScan)->click();
    HelpFileListDialog* list = w.helpFileList();
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(w.contentEnabled());
    ASSERT_TRUE(test::ProcessUntil([&] { return !list->scanning(); }));
    ASSERT_EQ(list->list()->topLevelItemCount(), 2);
    QTreeWidgetItem* demist = list->list()->findItems(QString::fromStdString(demist_.string()), Qt::MatchExactly, 2).value(0);
    ASSERT_NE(demist, nullptr);
    list->list()->setCurrentItem(demist);
    emit list->list()->itemDoubleClicked(demist, 0);
    EXPECT_FALSE(list->isVisible());
    EXPECT_TRUE(w.contentEnabled());
    // The path has a blank, so it arrives in quotation marks, as one name.
    EXPECT_EQ(w.fileNameField()->text().toStdString(), "\"" + demist_.string() + "\"");
    EXPECT_TRUE(w.button(kIdContinue)->isEnabled());
    qputenv("HOME", oldHome);
}

}  // namespace
}  // namespace conv::ui
