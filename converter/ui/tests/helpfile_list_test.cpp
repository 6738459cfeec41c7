// The help-file list: exactly the help files below the chosen folder, with
// title (or path), copyright (or "--") and path; no symbolic link to a
// folder is followed, the depth is bounded, and closing the list stops the
// scan. OK, a double click and View hand the path over.

#include <gtest/gtest.h>
#include "tests/support/test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QPushButton>
#include <QTreeWidget>

#include <set>
#include <tuple>

#include "converter/shell.h"
#include "converter/tests/hlp_builder.h"
#include "converter/ui/helpfile_list.h"
#include "converter/ui/tests/ui_test_support.h"
#include "converter/ui/ui_texts.h"

namespace conv::ui {
namespace {

namespace fs = std::filesystem;
using test::UiFixture;

// A help file with the given |SYSTEM title and copyright (none when empty).
std::string HelpFileBytes(const std::string& title, const std::string& copyright) {
    std::vector<std::pair<std::uint16_t, std::string>> records;
    if (!title.empty()) records.push_back({1, title + std::string(1, '\0')});
    if (!copyright.empty()) records.push_back({2, copyright + std::string(1, '\0')});
    return hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(21, 0, records)}});
}

class HelpFileList : public ::testing::Test, public UiFixture {
protected:
    // root/Alpha.hlp, root/a/b/c/beta.HLP, root/a/untitled.mvb, root/my.app.hlp
    // and the things that are no help files or must not be entered.
    fs::path MakeTree() {
        const fs::path root = work() / "tree";
        fs::create_directories(root / "a" / "b" / "c");
        fs::create_directories(root / ".hidden");
        testsupport::WriteFileBytes(root / "Alpha.hlp", HelpFileBytes("Alpha Help", "(c) Alpha Corp 1996"));
        testsupport::WriteFileBytes(root / "a" / "b" / "c" / "beta.HLP", HelpFileBytes("Beta", ""));
        testsupport::WriteFileBytes(root / "a" / "untitled.mvb", HelpFileBytes("", "Untitled Ltd"));
        testsupport::WriteFileBytes(root / "my.app.hlp", HelpFileBytes("Dotted", ""));
        testsupport::WriteFileBytes(root / "a" / "readme.txt", "text\n");
        testsupport::WriteFileBytes(root / "a" / "b" / "fake.hlp", "only text\n");
        testsupport::WriteFileBytes(root / ".hidden" / "hidden.hlp", HelpFileBytes("Hidden", ""));
        // A loop back to the root, and a link to a folder elsewhere.
        fs::create_directory_symlink(root, root / "a" / "b" / "loop");
        fs::create_directories(work() / "outside");
        testsupport::WriteFileBytes(work() / "outside" / "outside.hlp", HelpFileBytes("Outside", ""));
        fs::create_directory_symlink(work() / "outside", root / "a" / "elsewhere");
        return root;
    }

    using Row = std::tuple<std::string, std::string, std::string>;
    static std::set<Row> Rows(QTreeWidget* list) {
        std::set<Row> rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            rows.insert({item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString()});
        }
        return rows;
    }
};

TEST_F(HelpFileList, ScanFindsExactlyTheHelpFilesBelowTheFolder) {
    TAVRIN_REQUIRE_CORPUS();
    const fs::path root = MakeTree();
    const std::string corpus = CopyCorpus("winfile.hlp", root / "a").string();
    HelpFileScan scan(root);
    std::vector<FoundHelpFile> found;
    for (int i = 0; i < 10000 && scan.Step(std::chrono::milliseconds(50), 3); ++i)
        for (auto& f : scan.TakeFound()) found.push_back(f);
    for (auto& f : scan.TakeFound()) found.push_back(f);
    ASSERT_TRUE(scan.Finished());
    std::set<std::string> paths;
    for (const auto& f : found) paths.insert(f.path.string());
    const std::set<std::string> expected = {
        (root / "Alpha.hlp").string(), (root / "a" / "b" / "c" / "beta.HLP").string(),
        (root / "a" / "untitled.mvb").string(), (root / "my.app.hlp").string(), corpus};
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(found.size(), expected.size());  // nothing twice through the loop
}

TEST_F(HelpFileList, DepthIsBounded) {
    const fs::path root = work() / "deep";
    fs::path dir = root;
    for (int depth = 1; depth <= 5; ++depth) {
        dir /= "d" + std::to_string(depth);
        fs::create_directories(dir);
        testsupport::WriteFileBytes(dir / ("at" + std::to_string(depth) + ".hlp"), HelpFileBytes("D", ""));
    }
    HelpFileScan scan(root, 3);
    while (scan.Step(std::chrono::milliseconds(50), 100)) {
    }
    std::set<std::string> names;
    for (const auto& f : scan.TakeFound()) names.insert(f.path.filename().string());
    // Files in folders 1 to 3 levels down are seen; deeper folders are not entered.
    EXPECT_EQ(names, (std::set<std::string>{"at1.hlp", "at2.hlp", "at3.hlp"}));
}

TEST_F(HelpFileList, ListShowsTitleCopyrightAndPath) {
    const fs::path root = MakeTree();
    std::vector<std::string> taken;
    HelpFileListDialog dialog(nullptr, [&](const std::string& p) { taken.push_back(p); });
    dialog.show();
    dialog.startScan(root);
    ASSERT_TRUE(test::ProcessUntil([&] { return !dialog.scanning(); }));
    const std::string untitled = (root / "a" / "untitled.mvb").string();
    const std::set<Row> expected = {
        {"Alpha Help", "(c) Alpha Corp 1996", (root / "Alpha.hlp").string()},
        {"Beta", "--", (root / "a" / "b" / "c" / "beta.HLP").string()},
        {untitled, "Untitled Ltd", untitled},
        {"Dotted", "--", (root / "my.app.hlp").string()},
    };
    EXPECT_EQ(Rows(dialog.list()), expected);
    EXPECT_EQ(Control<QLabel>(&dialog, kIdScanState)->text(), "Scan complete: 4 help files found.");

    // OK hands the selected path over and closes the list.
    QTreeWidgetItem* alpha = dialog.list()->findItems("Alpha Help", Qt::MatchExactly, 0).value(0);
    ASSERT_NE(alpha, nullptr);
    dialog.list()->setCurrentItem(alpha);
    Control<QPushButton>(&dialog, kIdOk)->click();
    EXPECT_EQ(taken, (std::vector<std::string>{(root / "Alpha.hlp").string()}));
    EXPECT_FALSE(dialog.isVisible());

    // View hands it over too and opens it with the default action.
    std::vector<std::string> opened;
    SetDocumentOpener([&](const std::string& p) { opened.push_back(p); });
    dialog.show();
    dialog.list()->setCurrentItem(alpha);
    Control<QPushButton>(&dialog, kIdListView)->click();
    EXPECT_EQ(opened, (std::vector<std::string>{(root / "Alpha.hlp").string()}));
    EXPECT_EQ(taken.size(), 2u);
}

TEST_F(HelpFileList, ReturnInTheFolderFieldScansThereAndTakesNothing) {
    const fs::path root = MakeTree();
    std::vector<std::string> taken;
    HelpFileListDialog dialog(nullptr, [&](const std::string& p) { taken.push_back(p); });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.startScan(root);
    ASSERT_TRUE(test::ProcessUntil([&] { return !dialog.scanning(); }));
    dialog.list()->setCurrentItem(dialog.list()->topLevelItem(0));
    auto* folder = Control<QLineEdit>(&dialog, kIdScanFolder);
    folder->setFocus();
    folder->setText(QString::fromStdString((root / "a" / "b").string()));
    QTest::keyClick(folder, Qt::Key_Return);
    EXPECT_TRUE(taken.empty());
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_TRUE(test::ProcessUntil([&] { return !dialog.scanning(); }));
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(0), "Beta");
}

TEST_F(HelpFileList, ClosingStopsTheScanAndTheListStaysResponsive) {
    // Slices of a few entries: the scan cannot end in one.
    const fs::path root = work() / "wide";
    for (int i = 0; i < 100; ++i) {
        fs::create_directories(root / ("f" + std::to_string(i)) / "sub");
        testsupport::WriteFileBytes(root / ("f" + std::to_string(i)) / "sub" / "x.txt", "x");
    }
    HelpFileListDialog dialog(nullptr, {});
    dialog.setSliceLimit(5);
    dialog.show();
    dialog.startScan(root);
    // Events run between slices: the scan has begun but not ended.
    for (int i = 0; i < 1000 && dialog.scan()->EntriesSeen() == 0; ++i) QCoreApplication::processEvents();
    ASSERT_GT(dialog.scan()->EntriesSeen(), 0u);
    EXPECT_LE(dialog.scan()->EntriesSeen(), 10u);
    EXPECT_TRUE(dialog.scanning());
    EXPECT_FALSE(dialog.scan()->Finished());
    Control<QPushButton>(&dialog, kIdCancel)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.scanning());
    const std::size_t seen = dialog.scan()->EntriesSeen();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(dialog.scan()->EntriesSeen(), seen);
    EXPECT_FALSE(dialog.scan()->Finished());
}

}  // namespace
}  // namespace conv::ui
