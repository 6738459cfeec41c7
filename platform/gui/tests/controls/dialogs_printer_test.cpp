// Common dialogs through the scripted service, the modeless find and
// replace dialogs through their windows, and printing to PDF.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/printer.h"

#include <map>
#include <sstream>
#include "tests/support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

namespace guitest {
namespace {

using namespace gui;

class Dialogs : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SetCommonDialogService(&common);
    }
    void TearDown() override {
        SetCommonDialogService(nullptr);
        GuiTest::TearDown();
    }
    ScriptedCommonDialogService common;
    ScriptedDialogService boxes;
};

TEST_F(Dialogs, OpenDialogPassesItsSettingsAndAddsTheDefaultExtension) {
    TOpenDialog dlg(form);
    dlg.Filter = "Help projects (*.hpj)|*.hpj|All files|*.*";
    dlg.FilterIndex = 2;
    dlg.DefaultExt = "hpj";
    dlg.InitialDir = "/tmp";
    dlg.Title = "Open project";
    common.AnswerFile("/tmp/project", 1);
    ASSERT_TRUE(dlg.Execute());
    const CommonDialogRequest& r = common.Requests().at(0);
    EXPECT_EQ(r.kind, CommonDialogKind::Open);
    EXPECT_EQ(r.filter, dlg.Filter);
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.initialDir, "/tmp");
    EXPECT_EQ(r.title, "Open project");
    EXPECT_EQ(dlg.FileName, "/tmp/project.hpj");
    EXPECT_EQ(dlg.FilterIndex, 1);
    common.AnswerCancel();
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(dlg.FileName, "/tmp/project.hpj");
}

TEST_F(Dialogs, MultipleSelectionFillsFilesAndMustExistRefusesMissingOnes) {
    testsupport::TempDir tmp;
    std::string dir = tmp.path().string();
    testsupport::WriteFileBytes(dir + "/a.txt", "a");
    testsupport::WriteFileBytes(dir + "/b.txt", "b");
    TOpenDialog dlg(form);
    dlg.Options = ofAllowMultiSelect | ofFileMustExist;
    CommonDialogReply two;
    two.ok = true;
    two.files = {dir + "/a.txt", dir + "/b.txt"};
    common.Answer(two);
    ASSERT_TRUE(dlg.Execute());
    EXPECT_TRUE(common.Requests().back().multiSelect);
    ASSERT_EQ(dlg.Files().Count(), 2);
    EXPECT_EQ(dlg.Files()[1], dir + "/b.txt");
    EXPECT_EQ(dlg.FileName, dir + "/a.txt");
    ScopedDialogService scope(boxes);
    common.AnswerFile(dir + "/missing.txt");
    EXPECT_FALSE(dlg.Execute());
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_NE(boxes.Last().text.find("File not found"), std::string::npos);
    EXPECT_EQ(dlg.FileName, dir + "/a.txt");
}

TEST_F(Dialogs, SaveDialogAsksBeforeReplacingAFile) {
    testsupport::TempDir tmp;
    std::string dir = tmp.path().string();
    testsupport::WriteFileBytes(dir + "/there.rtf", "x");
    TSaveDialog dlg(form);
    dlg.Options = ofOverwritePrompt;
    ScopedDialogService scope(boxes);
    common.AnswerFile(dir + "/there.rtf");
    boxes.Answer(IDNO);
    EXPECT_FALSE(dlg.Execute());
    common.AnswerFile(dir + "/there.rtf");
    boxes.Answer(IDYES);
    EXPECT_TRUE(dlg.Execute());
    common.AnswerFile(dir + "/new.rtf");
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(boxes.Requests().size(), 2u);  // a new file is not asked about
    EXPECT_EQ(common.Requests().back().kind, CommonDialogKind::Save);
}

TEST_F(Dialogs, FontColorAndPrintDialogsTakeTheAnswers) {
    TFontDialog font(form);
    font.Font().SetName("Arial");
    font.Font().SetSize(10);
    font.Options = fdEffects | fdLimitSize;
    font.MaxFontSize = 24;
    CommonDialogReply f;
    f.ok = true;
    f.fontName = "Courier New";
    f.fontSize = 72;
    f.fontStyle = fsBold | fsItalic;
    f.fontColor = clRed;
    common.Answer(f);
    ASSERT_TRUE(font.Execute());
    EXPECT_EQ(common.Requests().back().fontName, "Arial");
    EXPECT_EQ(common.Requests().back().fontSize, 10);
    EXPECT_EQ(font.Font().Name(), "Courier New");
    EXPECT_EQ(font.Font().Size(), 24);  // limited
    EXPECT_EQ(font.Font().Style(), fsBold | fsItalic);
    EXPECT_EQ(font.Font().Color(), clRed);

    TColorDialog color(form);
    CommonDialogReply c;
    c.ok = true;
    c.color = clTeal;
    common.Answer(c);
    ASSERT_TRUE(color.Execute());
    EXPECT_EQ(color.Color, clTeal);

    TPrintDialog print(form);
    print.MinPage = 1;
    print.MaxPage = 5;
    CommonDialogReply p;
    p.ok = true;
    p.copies = 2;
    p.printRange = prPageNums;
    p.fromPage = 4;
    p.toPage = 9;
    common.Answer(p);
    ASSERT_TRUE(print.Execute());
    EXPECT_EQ(print.PrintRange, prPageNums);
    EXPECT_EQ(print.FromPage, 4);
    EXPECT_EQ(print.ToPage, 5);  // within MaxPage
    EXPECT_EQ(Printer()->Copies(), 2);
    Printer()->SetCopies(1);

    TPrinterSetupDialog setup(form);
    EXPECT_FALSE(setup.Execute());  // unscripted: cancelled
    EXPECT_EQ(common.Unscripted(), 1);
}

TEST_F(Dialogs, ModelessFindDialogRaisesOnFindWithTheWindowsOptions) {
    TFindDialog find(form);
    find.FindText = "start";
    find.Options = frDown;
    std::vector<std::pair<std::string, TFindOptions>> finds;
    find.OnFind = [&](TObject* sender) {
        auto* d = static_cast<TFindDialog*>(sender);
        finds.push_back({d->FindText, d->Options});
    };
    int closes = 0;
    find.OnClose = [&](TObject*) { ++closes; };
    ASSERT_TRUE(find.Execute());  // returns at once
    EXPECT_TRUE(find.Showing());
    QWidget* w = find.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->findChild<QLineEdit*>("findText")->text(), "start");
    EXPECT_TRUE(w->findChild<QRadioButton*>("down")->isChecked());
    w->findChild<QLineEdit*>("findText")->setText("needle");
    w->findChild<QCheckBox*>("matchCase")->setChecked(true);
    w->findChild<QRadioButton*>("up")->setChecked(true);
    w->findChild<QPushButton*>("findNext")->click();
    ASSERT_EQ(finds.size(), 1u);
    EXPECT_EQ(finds[0].first, "needle");
    EXPECT_EQ(finds[0].second & (frMatchCase | frFindNext | frDown | frWholeWord), frMatchCase | frFindNext);
    w->findChild<QCheckBox*>("wholeWord")->setChecked(true);
    w->findChild<QRadioButton*>("down")->setChecked(true);
    w->findChild<QPushButton*>("findNext")->click();
    EXPECT_EQ(finds[1].second & (frMatchCase | frDown | frWholeWord), frMatchCase | frDown | frWholeWord);
    w->findChild<QPushButton*>("cancel")->click();
    EXPECT_FALSE(find.Showing());
    EXPECT_EQ(closes, 1);
}

TEST_F(Dialogs, FindDialogsHelpButtonGoesThroughOnHelpToTheHelpHook) {
    struct Saved {
        THelpEvent onHelp = Application->OnHelp;
        THelpHook hook = Application->HelpHook;
        std::string file = Application->HelpFile;
        ~Saved() {
            Application->OnHelp = onHelp;
            Application->HelpHook = hook;
            Application->HelpFile = file;
        }
    } saved;
    std::vector<std::pair<unsigned, long>> seen;
    std::vector<std::string> shown;
    bool passOn = true;
    Application->OnHelp = [&](unsigned command, long data, bool& callHelp) {
        seen.push_back({command, data});
        callHelp = passOn;
        return !passOn;
    };
    Application->HelpHook = [&](const std::string& file, unsigned command, long data) {
        shown.push_back(file + ":" + std::to_string(command) + ":" + std::to_string(data));
        return true;
    };
    Application->HelpFile = "tavrin.hlp";
    TFindDialog find(form);
    find.Options = frDown;
    find.Execute();
    QPushButton* help = find.Window()->findChild<QPushButton*>("help");
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(help->isVisibleTo(find.Window()));
    find.Options |= frShowHelp;
    find.HelpContext = 42;
    find.Execute();
    EXPECT_TRUE(help->isVisibleTo(find.Window()));
    help->click();
    EXPECT_EQ(seen, (std::vector<std::pair<unsigned, long>>{{HELP_CONTEXT, 42}}));
    EXPECT_EQ(shown, (std::vector<std::string>{"tavrin.hlp:1:42"}));
    // OnHelp may take the request for itself; without a context the contents show.
    passOn = false;
    help->click();
    EXPECT_EQ(shown.size(), 1u);
    passOn = true;
    find.HelpContext = 0;
    help->click();
    EXPECT_EQ(seen.back(), (std::pair<unsigned, long>{HELP_CONTENTS, 0}));
    EXPECT_EQ(shown.back(), "tavrin.hlp:3:0");
    find.CloseDialog();
}

TEST_F(Dialogs, ReplaceDialogButtonsSetReplaceOrReplaceAll) {
    TReplaceDialog rep(form);
    std::vector<TFindOptions> replaces;
    std::string replaceText;
    rep.OnReplace = [&](TObject* s) {
        replaces.push_back(static_cast<TReplaceDialog*>(s)->Options);
        replaceText = static_cast<TReplaceDialog*>(s)->ReplaceText;
    };
    int finds = 0;
    rep.OnFind = [&](TObject*) { ++finds; };
    rep.Execute();
    QWidget* w = rep.Window();
    w->findChild<QLineEdit*>("findText")->setText("a");
    w->findChild<QLineEdit*>("replaceText")->setText("b");
    w->findChild<QPushButton*>("replace")->click();
    w->findChild<QPushButton*>("replaceAll")->click();
    w->findChild<QPushButton*>("findNext")->click();
    ASSERT_EQ(replaces.size(), 2u);
    EXPECT_EQ(replaces[0] & (frReplace | frReplaceAll | frFindNext), frReplace);
    EXPECT_EQ(replaces[1] & (frReplace | frReplaceAll | frFindNext), frReplaceAll);
    EXPECT_EQ(replaceText, "b");
    EXPECT_EQ(finds, 1);
    EXPECT_EQ(rep.Options & (frReplace | frReplaceAll), 0u);  // Find Next clears them
    rep.CloseDialog();
}

TEST_F(Dialogs, FindDialogOutlivesTheFormItsWindowWasMadeOver) {
    // A dialog shared by many forms lives longer than the window that was
    // active when it first showed.
    TFindDialog find(nullptr);
    auto* other = new TForm(Application);
    other->SetBounds(10, 10, 200, 100);
    other->Show();
    QWidget* top = other->Widget()->window();
    QApplication::setActiveWindow(top);
    ProcessEvents();
    find.Execute();
    ASSERT_NE(find.Window(), nullptr);
    ASSERT_EQ(find.Window()->parentWidget(), top);
    delete other;  // takes the dialog's window with it
    EXPECT_EQ(find.Window(), nullptr);
    EXPECT_FALSE(find.Showing());
    find.FindText = "again";
    find.Execute();
    ASSERT_NE(find.Window(), nullptr);
    EXPECT_EQ(find.Window()->findChild<QLineEdit*>("findText")->text(), QString("again"));
    find.CloseDialog();
}

int CountPdfPages(const std::string& pdf) {
    // Page objects are "/Type /Page" not followed by "s".
    int n = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
        if (at + 11 >= pdf.size() || pdf[at + 11] != 's') ++n;
    return n;
}

TEST(PrinterTest, ThreePageJobToPdfHasThreePages) {
    InitApplication();
    TPrinter printer;
    printer.SetResolution(72);
    testsupport::TempDir tmp;
    std::string path = (tmp / "three.pdf").string();
    printer.OutputFileName = path;
    printer.Title = "Three pages";
    printer.BeginDoc();
    EXPECT_TRUE(printer.Printing());
    EXPECT_GT(printer.PageWidth(), 400);
    EXPECT_GT(printer.PageHeight(), printer.PageWidth());
    for (int page = 1; page <= 3; ++page) {
        if (page > 1) printer.NewPage();
        EXPECT_EQ(printer.PageNumber(), page);
        printer.Canvas().Font().SetSize(24);
        printer.Canvas().TextOut(72, 72, "Page " + std::to_string(page));
        printer.Canvas().Rectangle(72, 150, 300, 300);
    }
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    std::string pdf = testsupport::ReadFileBytes(path);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_EQ(CountPdfPages(pdf), 3);
}

// The text a PDF shows, page by page: the glyph numbers of the content
// streams' Tj strings read back through the fonts' ToUnicode maps (what a
// viewer does to let the text be selected and searched).
class PdfText {
public:
    explicit PdfText(const std::string& pdf) {
        for (std::size_t at = pdf.find("stream"); at != std::string::npos; at = pdf.find("stream", at + 1)) {
            if (at >= 3 && pdf.compare(at - 3, 3, "end") == 0) continue;
            std::size_t begin = pdf.find('\n', at);
            std::size_t end = pdf.find("endstream", at);
            if (begin == std::string::npos || end == std::string::npos) break;
            std::string dict = pdf.substr(pdf.rfind("<<", at), at - pdf.rfind("<<", at));
            std::string body = pdf.substr(begin + 1, end - begin - 1);
            if (dict.find("/FlateDecode") != std::string::npos) body = Inflate(body);
            if (body.find("begincmap") != std::string::npos) ReadCMap(body);
            else if (body.find("BT") != std::string::npos) contents_.push_back(body);
            at = end;
        }
    }
    std::vector<std::string> Pages() const {
        std::vector<std::string> out;
        for (const std::string& c : contents_) {
            std::string text;
            for (std::size_t at = c.find('<'); at != std::string::npos; at = c.find('<', at + 1)) {
                std::size_t close = c.find('>', at);
                if (close == std::string::npos || c.compare(close + 1, 4, " Tj\n") != 0) continue;
                for (std::size_t i = at + 1; i + 4 <= close; i += 4) {
                    auto it = map_.find(std::stoul(c.substr(i, 4), nullptr, 16));
                    // The writer maps its space glyph to a tab: any blank reads as a space.
                    unsigned u = it == map_.end() ? '?' : it->second;
                    text += u <= ' ' ? ' ' : static_cast<char>(u);
                }
            }
            out.push_back(text);
        }
        return out;
    }

private:
    static std::string Inflate(const std::string& data) {
        QByteArray z(4, '\0');
        quint32 guess = static_cast<quint32>(data.size() * 20 + 4096);
        for (int i = 0; i < 4; ++i) z[i] = static_cast<char>(guess >> (24 - 8 * i));
        z += QByteArray(data.data(), static_cast<qsizetype>(data.size()));
        QByteArray out = qUncompress(z);
        return out.toStdString();
    }
    static std::vector<unsigned> Hexes(const std::string& s) {
        std::vector<unsigned> out;
        for (std::size_t at = s.find('<'); at != std::string::npos; at = s.find('<', at + 1)) {
            std::size_t close = s.find('>', at);
            if (close == std::string::npos) break;
            out.push_back(static_cast<unsigned>(std::stoul(s.substr(at + 1, close - at - 1), nullptr, 16)));
        }
        return out;
    }
    void ReadCMap(const std::string& cmap) {
        std::istringstream in(cmap);
        std::string line;
        enum { none, chars, ranges } mode = none;
        while (std::getline(in, line)) {
            if (line.find("beginbfchar") != std::string::npos) mode = chars;
            else if (line.find("beginbfrange") != std::string::npos) mode = ranges;
            else if (line.find("endbf") != std::string::npos) mode = none;
            else if (mode == chars) {
                std::vector<unsigned> h = Hexes(line);
                if (h.size() == 2) map_[h[0]] = h[1];
            } else if (mode == ranges) {
                std::vector<unsigned> h = Hexes(line);
                if (h.size() < 3) continue;
                bool list = line.find('[') != std::string::npos;
                for (unsigned cid = h[0]; cid <= h[1]; ++cid)
                    map_[cid] = list ? (cid - h[0] + 2 < h.size() ? h[cid - h[0] + 2] : 0) : h[2] + (cid - h[0]);
            }
        }
    }
    std::vector<std::string> contents_;
    std::map<unsigned, unsigned> map_;
};

TEST(PrinterTest, PdfHoldsThePrintedWordsAsTextAtThePrintersResolution) {
    InitApplication();
    TPrinter printer;
    printer.SetResolution(300);
    testsupport::TempDir tmp;
    std::string path = (tmp / "words.pdf").string();
    printer.OutputFileName = path;
    printer.BeginDoc();
    TCanvas& c = printer.Canvas();
    EXPECT_EQ(c.GetDeviceCaps(LOGPIXELSY), 300);
    EXPECT_EQ(c.GetDeviceCaps(HORZRES), printer.PageWidth());
    c.Font().SetName("Arial");
    c.Font().SetSize(12);
    // A 12-point line is some 50 dots high at 300 dots per inch, not 16.
    EXPECT_NEAR(c.TextHeight("Hg"), 12 * 300 / 72 * 115 / 100, 12);
    c.TextOut(300, 300, "Searchable words");
    c.Brush().SetStyle(bsClear);
    TRect r = Rect(300, 400, 2000, 500);
    c.TextRect(r, 300, 400, "in a box");
    printer.NewPage();
    int dx[] = {60, 60, 60};
    c.ExtTextOut(300, 300, 0, nullptr, "abc", dx);
    // A page cannot be read back, as on a printer.
    EXPECT_EQ(c.Pixel(300, 300), -1);
    printer.EndDoc();
    std::vector<std::string> pages = PdfText(testsupport::ReadFileBytes(path)).Pages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0], "Searchable wordsin a box");  // one string per call
    EXPECT_EQ(pages[1], "abc");
}

TEST(PrinterTest, CallsOutOfOrderRaiseAndAbortRemovesThePartialFile) {
    InitApplication();
    TPrinter printer;
    printer.SetResolution(72);
    EXPECT_THROW(printer.NewPage(), plat::Exception);
    EXPECT_THROW(printer.EndDoc(), plat::Exception);
    EXPECT_THROW(printer.Canvas(), plat::Exception);
    testsupport::TempDir tmp;
    std::string path = (tmp / "aborted.pdf").string();
    printer.OutputFileName = path;
    printer.BeginDoc();
    EXPECT_THROW(printer.BeginDoc(), plat::Exception);
    EXPECT_THROW(printer.SetOrientation(poLandscape), plat::Exception);
    printer.Canvas().TextOut(10, 10, "gone");
    printer.Abort();
    EXPECT_TRUE(printer.Aborted());
    EXPECT_FALSE(plat::FileExists(path));
}

TEST(PrinterTest, DeviceCapsAndEscapesDescribeThePage) {
    InitApplication();
    TPrinter printer;
    printer.SetResolution(300);
    EXPECT_EQ(printer.GetDeviceCaps(LOGPIXELSX), 300);
    EXPECT_EQ(printer.GetDeviceCaps(HORZRES), printer.PageWidth());
    TPoint size, offset;
    EXPECT_EQ(printer.Escape(QUERYESCSUPPORT, GETPHYSPAGESIZE, nullptr), 1);
    EXPECT_EQ(printer.Escape(QUERYESCSUPPORT, 9999, nullptr), 0);
    ASSERT_EQ(printer.Escape(GETPHYSPAGESIZE, 0, &size), 1);
    ASSERT_EQ(printer.Escape(GETPRINTINGOFFSET, 0, &offset), 1);
    EXPECT_EQ(size.x, printer.GetDeviceCaps(PHYSICALWIDTH));
    EXPECT_GE(size.x, printer.PageWidth() + offset.x);
    printer.SetOrientation(poLandscape);
    EXPECT_GT(printer.PageWidth(), printer.PageHeight());
    EXPECT_EQ(printer.Printers()[printer.Printers().Count() - 1], "PDF");
}

}  // namespace
}  // namespace guitest
