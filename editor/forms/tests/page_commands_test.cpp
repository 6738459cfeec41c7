// The page-text commands on the real text engine and the project tables: a
// data-aware editor bound to the page table's HelpText, a scripted dialog
// service and a scripted set of page dialogs.
#include "editor/forms/page_commands.h"
#include "editor/forms/page_dialogs.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "controls/data/vl_locate_dialog.h"
#include "controls/db/db_grid.h"
#include "platform/win/message_queue.h"
#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/gui/clipboard.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/printer.h"
#include "controls/richdb/db_rich_text.h"
#include "platform/imaging/graphic.h"
#include "richtext/model/rtf_text.h"
#include "tests/support/test_support.h"

namespace {

using editor::CharFormat;
using editor::HotSpotKind;
using richtext::TJDCharAttr;

const char* const kHeader = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}"
                            "{\\colortbl;\\red0\\green0\\blue128;}\\f0\\fs20 }";

std::string Rtf(const std::string& body) {
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}\\f0\\fs20 " + body + "}";
}

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, unsigned v) {
    Put16(s, static_cast<int>(v & 0xFFFF));
    Put16(s, static_cast<int>(v >> 16));
}

// A placeable metafile of 40 x 20 units: one red rectangle.
std::string SmallWmf() {
    std::string records;
    auto rec = [&](int fn, std::initializer_list<int> words) {
        Put32(records, static_cast<unsigned>(3 + words.size()));
        Put16(records, fn);
        for (int w : words) Put16(records, w);
    };
    rec(0x02FC, {0, 0x00FF, 0x0000, 0});
    rec(0x012D, {0});
    rec(0x041B, {20, 20, 0, 0});
    rec(0x0000, {});
    std::string s;
    Put32(s, 0x9AC6CDD7u);
    Put16(s, 0);
    Put16(s, 0), Put16(s, 0), Put16(s, 40), Put16(s, 20);
    Put16(s, 96);
    Put32(s, 0);
    Put16(s, 0);
    Put16(s, 1), Put16(s, 9), Put16(s, 0x300);
    Put32(s, static_cast<unsigned>(9 + records.size() / 2));
    Put16(s, 1);
    Put32(s, 7);
    Put16(s, 0);
    return s + records;
}

class ScriptUi : public editor::PageTextUi {
public:
    bool ChooseJumpTarget(bool popups, std::string& typed, std::string& context, std::int64_t& helpId) override {
        ++asked;
        askedPopups = popups;
        typed = jumpTyped;
        context = jumpContext;
        helpId = jumpHelpId;
        return jumpOk;
    }
    bool EditMacro(std::string& text) override {
        ++asked;
        shownMacro = text;
        text = macro;
        return macroOk;
    }
    editor::JumpChange ChangeJump(const std::string& target) override {
        shownTarget = target;
        return change;
    }
    bool ChoosePicture(const std::string& startDir, editor::PictureChoice& c) override {
        pictureStart = startDir;
        c = picture;
        return pictureOk;
    }
    int ShowPictureReference(const std::string& alignment, const std::string& fileName) override {
        shownAlignment = alignment;
        shownFile = fileName;
        return referenceResult;
    }
    bool ChooseList(int& choice) override {
        choice = list;
        return true;
    }
    bool ChooseTable(int& rows, int& cols, bool& borders) override {
        rows = 2;
        cols = 3;
        borders = true;
        return true;
    }
    bool AskGoBack() override { return goBack; }

    int asked = 0;
    bool askedPopups = false;
    std::string jumpTyped, jumpContext;
    std::int64_t jumpHelpId = 0;
    bool jumpOk = true;
    std::string macro, shownMacro;
    bool macroOk = true;
    editor::JumpChange change = editor::JumpChange::Cancel;
    std::string shownTarget;
    editor::PictureChoice picture;
    bool pictureOk = true;
    std::string pictureStart, shownAlignment, shownFile;
    int referenceResult = 1;
    int list = 0;
    bool goBack = false;
};

class PageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        gui::SetClipboardBackend(&clip);
        home = (tmp.path() / "home").string();
        std::filesystem::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home;
        ctx->ScreenFonts = {"Symbol", "Arial"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        ASSERT_TRUE(ctx->FormCreate());
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("PROJ");
        ctx->mainTable->FieldByName("HelpTitle")->SetAsString("Project Help");
        ctx->mainTable->Post();
        AddPage(1, "T", "Start", "start_ctx", Rtf("Alpha beta gamma delta.\\par"));
        AddPage(2, "T", "Second", "second_ctx", Rtf("Second page text.\\par"));
        AddPage(3, "P", "Third", "", Rtf("Third page.\\par"));
        AddPage(4, "T", "Empty", "", "");
        ctx->detailTable->First();

        form = new gui::TForm(gui::Application);
        form->SetBounds(30, 30, 640, 420);
        edit = new richtext::TDBJDRichText(form);
        edit->SetParent(form);
        edit->SetBounds(0, 0, 600, 300);
        edit->SetDataSource(ctx->detailSource);
        edit->SetDataField("HelpText");
        form->Show();
        edit->SetFocus();
        guitest::ProcessEvents();

        host.ctx = ctx.get();
        host.ui = &ui;
        host.HeaderRtf = kHeader;
        host.DefaultTextAttr.font = 1;
        host.DefaultTextAttr.size = 12;
        host.Beep = [this] { ++beeps; };
        host.ProjectFonts = {"Arial"};
    }
    void TearDown() override {
        delete form;
        ctx.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
        gui::SetClipboardBackend(nullptr);
    }
    void AddPage(int id, const char* kind, const char* title, const char* context, const std::string& body) {
        ctx->detailTable->Append();
        ctx->detailTable->FieldByName("Application")->SetAsString("PROJ");
        ctx->detailTable->FieldByName("HelpId")->SetAsInteger(id);
        ctx->detailTable->FieldByName("TopicPopup")->SetAsString(kind);
        ctx->detailTable->FieldByName("Title")->SetAsString(title);
        ctx->detailTable->FieldByName("ContextString")->SetAsString(context);
        ctx->detailTable->FieldByName("HelpText")->SetAsString(body);
        ctx->detailTable->Post();
    }
    void GoTo(int id) {
        for (ctx->detailTable->First(); !ctx->detailTable->Eof(); ctx->detailTable->Next())
            if (ctx->detailTable->FieldByName("HelpId")->AsInteger() == id) break;
        guitest::ProcessEvents();
    }
    std::uint16_t StyleAt(int pos) {
        std::vector<std::uint16_t> s;
        for (richtext::TParagraph* p = edit->Engine().FirstParagraph(); p; p = p->next) {
            for (richtext::TLine* l = p->lines; l; l = l->next)
                for (int i = 0; i < l->Length(); ++i) s.push_back(l->attrs[static_cast<std::size_t>(i)].style & ~richtext::kStyleSelected);
            s.push_back(0);
        }
        return s.at(static_cast<std::size_t>(pos));
    }
    TJDCharAttr AttrAt(int pos) {
        int at = 0;
        for (richtext::TParagraph* p = edit->Engine().FirstParagraph(); p; p = p->next) {
            for (richtext::TLine* l = p->lines; l; l = l->next)
                for (int i = 0; i < l->Length(); ++i, ++at)
                    if (at == pos) {
                        // Without the painting's selection mark.
                        TJDCharAttr a = l->attrs[static_cast<std::size_t>(i)];
                        a.style &= static_cast<std::uint16_t>(~richtext::kStyleSelected);
                        return a;
                    }
            ++at;
        }
        return {};
    }
    std::string Saved() {
        plat::MemoryStream s;
        edit->SaveToStream(s);
        return s.DataString();
    }
    // The objects of the text in their order, and their references.
    std::vector<std::shared_ptr<plat::TGraphic>> Pictures(std::vector<std::string>* refs = nullptr) {
        std::vector<std::shared_ptr<plat::TGraphic>> out;
        std::string text = edit->GetPlainText();
        for (std::size_t k = 0; k < text.size(); ++k) {
            if (text[k] != 1) continue;
            std::uint16_t tag = 0;
            int pos = static_cast<int>(k);
            std::shared_ptr<plat::TGraphic> g;
            if (!edit->FindNextObject(tag, pos, g)) break;
            out.push_back(g);
            if (refs) {
                richtext::TJDObjectRecord* rec = edit->Engine().ObjectForCharTag(tag);
                refs->push_back(rec ? rec->referenceText : "?");
            }
        }
        return out;
    }
    std::vector<std::string> References() {
        std::vector<std::string> refs;
        Pictures(&refs);
        return refs;
    }
    int RefRows(std::int64_t helpId) {
        int n = 0;
        ctx->refIntegTable->Refresh();
        for (ctx->refIntegTable->First(); !ctx->refIntegTable->Eof(); ctx->refIntegTable->Next())
            if (ctx->refIntegTable->FieldByName("HelpId")->AsInteger() == helpId) ++n;
        return n;
    }

    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    gui::MemoryClipboardBackend clip;
    std::unique_ptr<editor::EditorContext> ctx;
    gui::TForm* form = nullptr;
    richtext::TDBJDRichText* edit = nullptr;
    ScriptUi ui;
    editor::PageTextHost host;
    int beeps = 0;
};

TEST_F(PageCommands, EnteringAnEmptyPageGivesTheHeaderAndTheDefaultAttribute) {
    GoTo(4);
    ASSERT_TRUE(edit->GetPlainText().empty());
    edit->Modified = true;
    editor::EnterPageEditor(host, *edit, false);
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);
    EXPECT_EQ(ctx->detailTable->FieldByName("HelpText")->AsString(), kHeader);
    TJDCharAttr a;
    edit->GetCurrentAttr(a);
    EXPECT_EQ(a.font, 1);
    EXPECT_EQ(a.size, 12);
    EXPECT_FALSE(edit->Modified);
    // Typed text takes the default attribute.
    edit->InputString("New");
    EXPECT_EQ(AttrAt(0).font, 1);
    EXPECT_EQ(AttrAt(0).size, 12);
}

// With no project there is no page to give the header to: entering the
// empty editor must not start a page of no project, which no post accepts.
TEST_F(PageCommands, EnteringThePageEditorWithoutAProjectStartsNoPage) {
    for (ctx->detailTable->First(); !ctx->detailTable->IsEmpty(); ctx->detailTable->First()) ctx->detailTable->Delete();
    ctx->mainTable->First();
    ctx->mainTable->Delete();
    ASSERT_TRUE(ctx->mainTable->IsEmpty());
    guitest::ProcessEvents();
    ASSERT_TRUE(edit->GetPlainText().empty());
    editor::EnterPageEditor(host, *edit, false);
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    EXPECT_TRUE(ctx->detailTable->IsEmpty());
}

TEST_F(PageCommands, TheProjectsDefaultFontsGoToNewTextByName) {
    // "Courier New" is not in the header: the editor takes it by name.
    host.DefaultTextFont = editor::PageTextHost::DefaultFont{{"Courier New", 14, 4, ""}, 0x0002};
    host.DefaultTitleFont = editor::PageTextHost::DefaultFont{{"Times New Roman", 18, 9, ""}, 0x0001};
    struct Case {
        const char* field;
        bool title;
        const char* font;
        int size, colour;
        std::uint16_t style;
    } cases[] = {{"HelpText", false, "Courier New", 14, 4, 0x0002}, {"FullTitle", true, "Times New Roman", 18, 9, 0x0001}};
    for (const Case& c : cases) {
        edit->SetDataField(c.field);
        GoTo(4);
        ASSERT_TRUE(edit->GetPlainText().empty()) << c.field;
        editor::EnterPageEditor(host, *edit, c.title);
        edit->InputString("New");
        TJDCharAttr a = AttrAt(0);
        EXPECT_EQ(edit->Engine().Header().fontNames[a.font], c.font) << c.field;
        EXPECT_EQ(a.size, c.size) << c.field;
        EXPECT_EQ(a.TextColor(), c.colour) << c.field;
        EXPECT_EQ(a.style, c.style) << c.field;
        ctx->detailTable->Cancel();
    }
    // A page given the header alone (as the page rules give a new page) takes them too.
    edit->SetDataField("HelpText");
    GoTo(4);
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("HelpText")->SetAsString(kHeader);
    ctx->detailTable->Post();
    guitest::ProcessEvents();
    editor::EnterPageEditor(host, *edit, false);
    edit->InputString("New");
    EXPECT_EQ(edit->Engine().Header().fontNames[AttrAt(0).font], "Courier New");
    ctx->detailTable->Cancel();
    // A page with text keeps its own attribute.
    GoTo(1);
    TJDCharAttr before;
    edit->GetCurrentAttr(before);
    editor::EnterPageEditor(host, *edit, false);
    TJDCharAttr after;
    edit->GetCurrentAttr(after);
    EXPECT_TRUE(after.SameLook(before));
}

TEST_F(PageCommands, ParagraphBorderEndSplitsTheBorderedBlockAtTheCursor) {
    GoTo(2);
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("HelpText")->SetAsString(Rtf("One\\par Two\\par Three\\par Plain"));
    ctx->detailTable->Post();
    guitest::ProcessEvents();
    edit->SetSelStart(0);
    edit->SetSelLength(13);  // "One", "Two" and "Three"
    edit->SetParagraphBorder(richtext::kBorderBox, 2, 3, 1);
    auto borders = [&] {
        std::vector<std::uint32_t> out;
        for (richtext::TParagraph* p = edit->Engine().FirstParagraph(); p; p = p->next) out.push_back(p->border);
        return out;
    };
    const std::uint32_t box = borders()[0];
    ASSERT_TRUE(box & richtext::kBorderOn);
    ASSERT_EQ(borders()[1], box);
    // The cursor in "Two": its block ends there, "Three" starts another.
    edit->SetSelStart(5);
    edit->SetSelLength(0);
    edit->SetCPPosition(5);
    ASSERT_TRUE(editor::EndParagraphBorder(edit));
    EXPECT_EQ(borders(), (std::vector<std::uint32_t>{box, box | richtext::kBorderGroupEnd, box, 0}));
    EXPECT_TRUE(edit->Modified);
    // It survives the page table.
    ctx->detailTable->Post();
    GoTo(1);
    GoTo(2);
    EXPECT_EQ(borders()[1] & richtext::kBorderGroupEnd, richtext::kBorderGroupEnd);
    EXPECT_EQ(borders()[2] & richtext::kBorderGroupEnd, 0u);
    // A paragraph without a border, and no editor: nothing changes.
    std::string text = Saved();
    edit->SetCPPosition(static_cast<int>(edit->GetPlainText().size()));
    EXPECT_FALSE(editor::EndParagraphBorder(edit));
    EXPECT_FALSE(editor::EndParagraphBorder(nullptr));
    EXPECT_EQ(Saved(), text);
}

TEST_F(PageCommands, LeavingTheTitleEditorStoresItsTextOnlyWhileThePageIsEdited) {
    edit->SetDataField("FullTitle");
    GoTo(1);
    const std::string stored = ctx->detailTable->FieldByName("FullTitle")->AsString();
    EXPECT_FALSE(editor::LeaveTitleEditor(*edit));
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    EXPECT_EQ(ctx->detailTable->FieldByName("FullTitle")->AsString(), stored);
    // Typed into: the field holds it before any post.
    edit->SetCPPosition(0);
    ASSERT_TRUE(edit->CanEdit());
    edit->InputString("Start here");
    ASSERT_EQ(ctx->detailTable->State(), db::dsEdit);
    EXPECT_TRUE(editor::LeaveTitleEditor(*edit));
    EXPECT_NE(ctx->detailTable->FieldByName("FullTitle")->AsString().find("Start here"), std::string::npos);
    // Once is enough.
    EXPECT_FALSE(editor::LeaveTitleEditor(*edit));
    EXPECT_EQ(edit->GetPlainText().rfind("Start here", 0), 0u);
}

TEST_F(PageCommands, EnteringAPageWithoutLettersOrWithUnreadableTextReplacesNothing) {
    const std::string kept[] = {
        "garbage that is no rtf \x01\x02",
        Rtf("{\\pict\\dibitmap0\\picw1\\pich1 28000000010000000100000001001800000000000400000000000000000000000000000000000000000000ff}\\par"),
        Rtf("\\trowd\\cellx1000\\cellx2000\\intbl\\cell\\cell\\row\\par"),
    };
    for (const std::string& stored : kept) {
        GoTo(4);
        ctx->detailTable->Edit();
        ctx->detailTable->FieldByName("HelpText")->SetAsString(stored);
        ctx->detailTable->Post();
        guitest::ProcessEvents();
        editor::EnterPageEditor(host, *edit, false);
        EXPECT_EQ(ctx->detailTable->FieldByName("HelpText")->AsString(), stored);
        EXPECT_NE(ctx->detailTable->State(), db::dsEdit);
    }
    // A page with text: nothing but the modified flag.
    GoTo(1);
    edit->Modified = true;
    editor::EnterPageEditor(host, *edit, false);
    EXPECT_FALSE(edit->Modified);
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
}

TEST_F(PageCommands, BoldTwiceRestoresTheTextAndKeepsMixedFonts) {
    GoTo(1);
    // "beta" in another font.
    edit->SetSelStart(6);
    edit->SetSelLength(4);
    TJDCharAttr a;
    edit->GetCurrentAttr(a);
    a.font = 1;
    edit->SetCurrentAttr(a);
    std::vector<TJDCharAttr> before;
    for (int i = 0; i < 16; ++i) before.push_back(AttrAt(i));
    edit->SetSelStart(0);
    edit->SetSelLength(16);
    ASSERT_TRUE(editor::FormatSelection(host, edit, CharFormat::Bold));
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(AttrAt(i).style & editor::kMarkBold) << i;
        EXPECT_EQ(AttrAt(i).font, before[static_cast<std::size_t>(i)].font) << i;
    }
    ASSERT_TRUE(editor::FormatSelection(host, edit, CharFormat::Bold));
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(AttrAt(i).SameLook(before[static_cast<std::size_t>(i)])) << i;
    EXPECT_TRUE(editor::FormatSelection(host, edit, CharFormat::Italic));
    EXPECT_TRUE(AttrAt(3).style & editor::kMarkItalic);
    EXPECT_FALSE(AttrAt(3).style & editor::kMarkBold);
}

TEST_F(PageCommands, FormattingWithoutASelectionOnlyBeepsAndTellsWhy) {
    GoTo(1);
    std::string text = Saved();
    edit->SetSelStart(3);
    edit->SetSelLength(0);
    for (CharFormat f : {CharFormat::Italic, CharFormat::Normal}) {
        EXPECT_FALSE(editor::FormatSelection(host, edit, f));
        EXPECT_EQ(host.StatusText, "Please highlight the text to format Bold");
    }
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(Saved(), text);
    EXPECT_NE(ctx->detailTable->State(), db::dsEdit);
    EXPECT_FALSE(editor::FormatSelection(host, nullptr, CharFormat::Bold));
}

TEST_F(PageCommands, MarksSetTheirExactStyleBits) {
    struct Case {
        const char* name;
        HotSpotKind kind;
        bool bold;
        const char* typed;  // jump target or macro text
        std::uint16_t visible, target;
        const char* stored;
    };
    const Case cases[] = {
        {"topic", HotSpotKind::Topic, false, "second_ctx", 0x0010, 0x0100, "second_ctx"},
        {"topic bold", HotSpotKind::Topic, true, "second_ctx", 0x0011, 0x0101, "second_ctx"},
        {"popup", HotSpotKind::Popup, false, "3", 0x0004, 0x0100, "3"},
        {"macro", HotSpotKind::Macro, false, "Exit()", 0x0010, 0x0100, "!Exit()"},
        {"macro with !", HotSpotKind::Macro, false, "!Exit()", 0x0010, 0x0100, "!Exit()"},
    };
    ctx->PopupColor = 0x008000;  // index 2
    std::string clipboard = "the user's own text";
    gui::Clipboard()->SetAsText(clipboard);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GoTo(1);
        ctx->Settings.TopicJumpBold = c.bold;
        // "beta" italic first: the bold rule replaces the style word.
        edit->SetSelStart(6);
        edit->SetSelLength(4);
        editor::FormatSelection(host, edit, CharFormat::Italic);
        ui.jumpTyped = c.kind == HotSpotKind::Macro ? "" : c.typed;
        ui.macro = c.typed;
        ASSERT_TRUE(editor::MakeHotSpot(host, edit, c.kind));
        EXPECT_EQ(edit->GetPlainText().substr(0, 10 + std::string(c.stored).size()),
                  std::string("Alpha beta") + c.stored);
        std::uint16_t italic = c.bold ? 0 : editor::kMarkItalic;
        for (int i = 6; i < 10; ++i) EXPECT_EQ(AttrAt(i).style, c.visible | italic) << i;
        for (int i = 10; i < 10 + static_cast<int>(std::string(c.stored).size()); ++i)
            EXPECT_EQ(AttrAt(i).style, c.target | italic) << i;
        EXPECT_EQ(StyleAt(5), 0);  // the blank before is untouched
        if (c.kind == HotSpotKind::Popup) EXPECT_EQ(AttrAt(6).TextColor(), 2);
        ctx->detailTable->Cancel();
        guitest::ProcessEvents();
    }
    EXPECT_EQ(gui::Clipboard()->AsText(), clipboard);
}

TEST_F(PageCommands, HotSpotLengthLimitAndAnExistingJump) {
    GoTo(1);
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("HelpText")->SetAsString(Rtf(std::string(150, 'x') + "\\par"));
    guitest::ProcessEvents();
    ui.jumpTyped = "second_ctx";
    edit->SetSelStart(0);
    edit->SetSelLength(101);
    EXPECT_FALSE(editor::MakeHotSpot(host, edit, HotSpotKind::Topic));
    EXPECT_EQ(dialogs.Last().text, "You have too much text highlighted. Please highlight a smaller block of text.");
    EXPECT_EQ(ui.asked, 0);
    edit->SetSelStart(0);
    edit->SetSelLength(100);
    EXPECT_TRUE(editor::MakeHotSpot(host, edit, HotSpotKind::Topic));
    EXPECT_EQ(StyleAt(99), editor::kMarkJump);
    EXPECT_EQ(StyleAt(100), editor::kMarkHidden);
    // The cursor inside the jump: another topic jump is refused.
    edit->SetSelStart(20);
    edit->SetSelLength(5);
    std::size_t asked = dialogs.Requests().size();
    std::string text = Saved();
    EXPECT_FALSE(editor::MakeHotSpot(host, edit, HotSpotKind::Topic));
    ASSERT_EQ(dialogs.Requests().size(), asked + 1);
    EXPECT_EQ(dialogs.Last().caption, "A Jump already exists here");
    EXPECT_EQ(Saved(), text);
}

TEST_F(PageCommands, TheReferenceRowIsAddedOnceAndOnlyForTargetsThatResolve) {
    struct Case {
        const char* target;
        std::int64_t helpId;  // -1: no row
    };
    const Case cases[] = {{"second_ctx", 2}, {"SECOND_CTX", 2}, {"3", 3}, {"nowhere", -1}, {"99", -1}};
    GoTo(1);
    for (const Case& c : cases) {
        EXPECT_EQ(editor::ResolveJumpTarget(*ctx, c.target), c.helpId) << c.target;
        editor::AddJumpReference(*ctx, c.target, 1);
    }
    EXPECT_EQ(RefRows(2), 1);
    EXPECT_EQ(RefRows(3), 1);
    EXPECT_EQ(RefRows(99), 0);
    // Through the command: the row names the page holding the jump.
    edit->SetSelStart(0);
    edit->SetSelLength(5);
    ui.jumpTyped = "";
    ui.jumpContext = "";
    ui.jumpHelpId = 4;
    ASSERT_TRUE(editor::MakeHotSpot(host, edit, HotSpotKind::Topic));
    EXPECT_EQ(RefRows(4), 1);
    ctx->refIntegTable->First();
    EXPECT_EQ(ctx->refIntegTable->FieldByName("ReferencedBy")->AsInteger(), 1);
}

TEST_F(PageCommands, NormalOverAJumpKeepsItsTargetHidden) {
    GoTo(1);
    edit->SetSelStart(6);
    edit->SetSelLength(4);
    ui.jumpTyped = "second_ctx";
    ASSERT_TRUE(editor::MakeHotSpot(host, edit, HotSpotKind::Topic));
    edit->SetSelStart(0);
    edit->SetSelLength(30);
    editor::FormatSelection(host, edit, CharFormat::Bold);
    editor::FormatSelection(host, edit, CharFormat::Underline);
    ASSERT_TRUE(editor::FormatSelection(host, edit, CharFormat::Normal));
    EXPECT_EQ(StyleAt(0), 0);
    EXPECT_EQ(StyleAt(22), 0);
    for (int i = 6; i < 10; ++i) EXPECT_TRUE(StyleAt(i) & editor::kMarkJump) << i;
    for (int i = 10; i < 20; ++i) EXPECT_TRUE(StyleAt(i) & editor::kMarkHidden) << i;
}

TEST_F(PageCommands, HotSpotClicksFollowClearAndReportVanishedPages) {
    GoTo(1);
    edit->SetSelStart(0);
    edit->SetSelLength(5);
    ui.jumpTyped = "second_ctx";
    ASSERT_TRUE(editor::MakeHotSpot(host, edit, HotSpotKind::Topic));
    ctx->detailTable->Post();
    // Follow a context target, and a numeric one.
    ui.change = editor::JumpChange::Follow;
    editor::HotSpotClicked(host, edit, "Alpha", "second_ctx");
    EXPECT_EQ(ui.shownTarget, "second_ctx");
    EXPECT_EQ(editor::CurrentPageHelpId(*ctx), 2);
    editor::HotSpotClicked(host, edit, "x", "3");
    EXPECT_EQ(editor::CurrentPageHelpId(*ctx), 3);
    // Go back when asked.
    ui.goBack = true;
    editor::HotSpotClicked(host, edit, "x", "1");
    EXPECT_EQ(editor::CurrentPageHelpId(*ctx), 3);
    ui.goBack = false;
    // A page that no longer exists: a warning, the page stays.
    editor::HotSpotClicked(host, edit, "x", "gone_ctx");
    EXPECT_EQ(dialogs.Last().text, "This link no longer exists.");
    EXPECT_EQ(editor::CurrentPageHelpId(*ctx), 3);
    // Clear removes the mark and its target, and bold with it.
    GoTo(1);
    edit->SetCPPosition(2);
    ui.change = editor::JumpChange::Clear;
    editor::HotSpotClicked(host, edit, "Alpha", "second_ctx");
    EXPECT_EQ(edit->GetPlainText().substr(0, 11), "Alpha beta ");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(StyleAt(i), 0) << i;
}

TEST_F(PageCommands, MacrosAreChangedOrRemovedFromTheirClick) {
    GoTo(1);
    edit->SetSelStart(0);
    edit->SetSelLength(5);
    ui.macro = "Exit()";
    ASSERT_TRUE(editor::MakeHotSpot(host, edit, HotSpotKind::Macro));
    edit->SetCPPosition(2);
    ui.macro = "About()";
    editor::HotSpotClicked(host, edit, "Alpha", "!Exit()");
    EXPECT_EQ(ui.shownMacro, "!Exit()");
    EXPECT_EQ(edit->GetPlainText().substr(0, 13), "Alpha!About()");
    EXPECT_EQ(StyleAt(5), editor::kMarkHidden);
    EXPECT_EQ(StyleAt(0), editor::kMarkJump);
    ui.macro = "";
    edit->SetCPPosition(2);
    editor::HotSpotClicked(host, edit, "Alpha", "!About()");
    EXPECT_EQ(edit->GetPlainText().substr(0, 11), "Alpha beta ");
    EXPECT_EQ(StyleAt(0), 0);
}

TEST_F(PageCommands, SaveCurrentPageWritesByExtensionAndKeepsTheOldFileOnFailure) {
    GoTo(1);
    struct Case {
        const char* name;
        const char* mark;
    };
    const Case cases[] = {{"page.rtf", "{\\rtf1"}, {"PAGE2.RTF", "{\\rtf1"}, {"page.txt", "Alpha beta"},
                          {"Page.Htm", "<"}};
    for (const Case& c : cases) {
        auto path = tmp.path() / c.name;
        std::ofstream(path) << "old";
        ASSERT_TRUE(editor::SaveCurrentPage(edit, path.string())) << c.name;
        std::string bytes = ReadAll(path);
        EXPECT_EQ(bytes.rfind(c.mark, 0), 0u) << c.name << ": " << bytes.substr(0, 40);
    }
    EXPECT_EQ(ReadAll(tmp.path() / "page.txt").find("{\\rtf"), std::string::npos);
    auto path = tmp.path() / "keep.rtf";
    std::ofstream(path) << "old";
    EXPECT_FALSE(editor::SaveCurrentPage(edit, path.string(), [](const std::string& temp) {
        std::ofstream(temp) << "half";
        throw std::runtime_error("disk full");
    }));
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(dialogs.Last().text, "There was a problem trying to save this to file.");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(tmp.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 5);  // no temporary file left behind
    EXPECT_FALSE(editor::SaveCurrentPage(nullptr, path.string()));
    EXPECT_EQ(dialogs.Last().text, "Please move to the field you wish to save.");
}

TEST_F(PageCommands, SpellWithoutAPageEditorOnlyBeeps) {
    struct NeverSpeller : editor::PageSpeller {
        void Open() override { ++calls; }
        int Check(richtext::TJDCustomRtfEdit&) override { return ++calls; }
        void Close() override { ++calls; }
        int calls = 0;
    } speller;
    EXPECT_FALSE(editor::SpellPage(host, speller, nullptr, editor::SpellScope::FromCursor));
    EXPECT_EQ(host.StatusText, "Move to the help text field to spellcheck");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(speller.calls, 0);
}

TEST_F(PageCommands, AllPagesSpellingCancelledOnPageThreeStopsThere) {
    struct Speller : editor::PageSpeller {
        void Open() override { ++opened; }
        int Check(richtext::TJDCustomRtfEdit& e) override {
            seen.push_back(e.GetPlainText().substr(0, 5));
            return seen.size() == 3 ? 2 : 0;
        }
        void Close() override { ++closed; }
        int opened = 0, closed = 0;
        std::vector<std::string> seen;
    } speller;
    GoTo(2);
    EXPECT_FALSE(editor::SpellAllPages(host, speller, edit, false));
    EXPECT_EQ(speller.seen, (std::vector<std::string>{"Alpha", "Secon", "Third"}));
    EXPECT_EQ(editor::CurrentPageHelpId(*ctx), 3);
    EXPECT_EQ(speller.opened, 1);
    EXPECT_EQ(speller.closed, 1);
    EXPECT_NE(host.StatusText, "Spellcheck complete");
    EXPECT_EQ(beeps, 0);
    // Uncancelled, from the current page on.
    speller.seen.clear();
    GoTo(3);
    Speller all;
    EXPECT_TRUE(editor::SpellAllPages(host, all, edit, true));
    EXPECT_EQ(all.seen.size(), 2u);
    EXPECT_EQ(host.StatusText, "Spellcheck complete");
    EXPECT_EQ(beeps, 1);
}

TEST_F(PageCommands, ListsAndTables) {
    GoTo(1);
    edit->SetSelStart(0);
    edit->SetSelLength(0);
    EXPECT_FALSE(editor::BulletsCommand(host, edit));
    EXPECT_EQ(dialogs.Last().caption, "Nothing Selected");
    const int kinds[] = {2, 3, 5, 4, 7, 6, 1};
    for (int choice = 0; choice < editor::kListChoiceCount; ++choice) {
        edit->SetSelStart(0);
        edit->SetSelLength(3);
        ui.list = choice;
        std::size_t asked = dialogs.Requests().size();
        ASSERT_TRUE(editor::BulletsCommand(host, edit));
        EXPECT_EQ(edit->Engine().FirstParagraph()->numbering >> 4, kinds[choice]) << choice;
        // Bullets warn when the project has no Symbol font.
        EXPECT_EQ(dialogs.Requests().size(), asked + (choice == 0 ? 1 : 0));
    }
    EXPECT_TRUE(editor::CreateTableCommand(host, edit));
}

TEST_F(PageCommands, FooterAndPageListPrint) {
    gui::TBitmap bmp(400, 100);
    bmp.Canvas().Brush().SetColor(gui::clWhite);
    bmp.Canvas().FillRect(gui::TRect{0, 0, 400, 100});
    editor::DrawPageFooter(bmp.Canvas(), 10, 20, 300, 60, 7, "Project Help");
    const QImage* img = bmp.Image();
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->pixel(150, 20) & 0xFFFFFF, 0u);              // the line along the top
    EXPECT_NE(img->pixel(5, 20) & 0xFFFFFF, 0u);                // from the left edge only
    int dark = 0;
    for (int y = 22; y < 60; ++y)
        for (int x = 10; x < 200; ++x) dark += (img->pixel(x, y) & 0xFFFFFF) < 0x808080;
    EXPECT_GT(dark, 30);  // the text below it

    // A list of pages long enough for three printed pages.
    for (int id = 10; id < 150; ++id) AddPage(id, "T", ("Page " + std::to_string(id)).c_str(), "", "");
    auto* printer = new richtext::TJDCustomRtfEdit(form);
    printer->SetParent(form);
    printer->SetVisible(false);
    editor::FillPageList(*ctx, *printer, true);
    std::string text = printer->GetPlainText();
    EXPECT_EQ(text.rfind(editor::PageListHeading(true) + "\r" + editor::PageListRule(true) + "\r", 0), 0u);
    editor::FillPageList(*ctx, *printer, false);
    EXPECT_NE(printer->GetPlainText().find("\r2         T  Second\r"), std::string::npos);
    std::vector<int> footers;
    auto pdf = tmp.path() / "list.pdf";
    gui::Printer()->OutputFileName = pdf.string();
    editor::PrintPageList(*ctx, *printer, false);
    gui::Printer()->OutputFileName.clear();
    std::string bytes = ReadAll(pdf);
    std::regex page("/Type\\s*/Page[^s]");
    auto n = std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page), std::sregex_iterator());
    EXPECT_EQ(n, 3);
}

TEST_F(PageCommands, ThePageListShowsTheWaitWindowWhilePrinting) {
    auto* printer = new richtext::TJDCustomRtfEdit(form);
    printer->SetParent(form);
    printer->SetVisible(false);
    auto pdf = tmp.path() / "wait.pdf";
    gui::Printer()->OutputFileName = pdf.string();
    std::vector<std::pair<std::string, bool>> shown;  // text, and whether the list was printed then
    editor::PrintPageList(*ctx, *printer, false, [&](const std::string& text) {
        shown.emplace_back(text, std::filesystem::exists(pdf) && std::filesystem::file_size(pdf) > 0);
    });
    gui::Printer()->OutputFileName.clear();
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, bool>>{{"Printing...", false}, {"", true}}));
}

TEST_F(PageCommands, PicturesGoInWithTheirReferencesAndFailuresInsertNothing) {
    TAVRIN_REQUIRE_CORPUS();
    auto pic = tmp.path() / "proj" / "pic";
    std::filesystem::create_directories(pic);
    std::filesystem::copy_file(testsupport::CorpusDir() / "hpj/ddablib-dropfiles/TPJFormDropFiles.bmp",
                               pic / "Shot.BMP");
    std::filesystem::copy_file(pic / "Shot.BMP", pic / "shot.shg");
    std::ofstream(pic / "lone.SHG") << "x";
    std::ofstream(pic / "broken.bmp") << "no picture";
    {
        std::ofstream out(pic / "art.wmf", std::ios::binary);
        out << SmallWmf();
    }
    edit->SetHTMLFilePath((tmp.path() / "proj").string());
    GoTo(2);
    ctx->detailTable->Edit();
    auto choose = [&](const char* file, editor::PictureKind kind, bool transparent) {
        editor::PictureChoice c;
        c.directory = pic.string();
        c.fileName = file;
        c.kind = kind;
        c.transparent = transparent;
        return c;
    };
    edit->SetCPPosition(0);
    ASSERT_TRUE(editor::InsertPictureChoice(*edit, choose("Shot.BMP", editor::PictureKind::Left, false)));
    ASSERT_TRUE(editor::InsertPictureChoice(*edit, choose("art.wmf", editor::PictureKind::Centre, true)));
    // The hypergraphic with a bitmap twin goes in as that bitmap.
    ASSERT_TRUE(editor::InsertPictureChoice(*edit, choose("shot.shg", editor::PictureKind::Right, false)));
    EXPECT_EQ(References(), (std::vector<std::string>{"bml pic\\Shot.BMP", "bmct pic\\art.wmf",
                                                      "bmr pic\\shot.shg"}));
    EXPECT_EQ(Pictures()[1]->Kind(), plat::TGraphicKind::Metafile);
    // Without a twin it is typed with its full path.
    ASSERT_TRUE(editor::InsertPictureChoice(*edit, choose("lone.SHG", editor::PictureKind::Centre, false)));
    std::string full = pic.string();
    std::replace(full.begin(), full.end(), '/', '\\');
    EXPECT_NE(edit->GetPlainText().find("{bmc " + full + "\\lone.SHG}"), std::string::npos);
    // A picture that cannot be read: a warning, nothing inserted.
    std::string before = edit->GetPlainText();
    EXPECT_FALSE(editor::InsertPictureChoice(*edit, choose("broken.bmp", editor::PictureKind::Centre, false)));
    EXPECT_FALSE(editor::InsertPictureChoice(*edit, choose("missing.wmf", editor::PictureKind::Centre, false)));
    EXPECT_EQ(dialogs.Last().caption, "Warning");
    EXPECT_EQ(edit->GetPlainText(), before);
    EXPECT_EQ(References().size(), 3u);
    // The references survive the page table and reach the build's writer.
    ctx->detailTable->Post();
    GoTo(1);
    GoTo(2);
    EXPECT_EQ(References(), (std::vector<std::string>{"bml pic\\Shot.BMP", "bmct pic\\art.wmf",
                                                      "bmr pic\\shot.shg"}));
    // Show Graphic Filename splits the reference; Delete removes the object.
    edit->SetCPPosition(1);
    ui.referenceResult = 4;
    ctx->detailTable->Edit();
    editor::ShowGraphicFilename(host, edit);
    EXPECT_EQ(ui.shownAlignment, "bml");
    EXPECT_EQ(ui.shownFile, "pic\\Shot.BMP");
    int pictures = 0;
    for (char ch : edit->GetPlainText()) pictures += ch == 1;
    EXPECT_EQ(pictures, 2);
}

TEST_F(PageCommands, TheJumpsFormListsTheProjectsTopicsOrPopups) {
    editor::TJumpsForm form(gui::Application, ctx.get());
    form.Prepare(false);
    ASSERT_NE(form.Table, nullptr);
    int topics = 0;
    for (form.Table->First(); !form.Table->Eof(); form.Table->Next()) {
        EXPECT_EQ(form.Table->FieldByName("TopicPopup")->AsString(), "T");
        ++topics;
    }
    EXPECT_EQ(topics, 3);
    EXPECT_EQ(form.detailGrid->FieldCount(), 3);
    form.Prepare(true);
    form.Table->First();
    EXPECT_EQ(form.Table->FieldByName("HelpId")->AsInteger(), 3);
    EXPECT_TRUE(form.editJump->Text().empty());
}

TEST_F(PageCommands, TheJumpsFormSearchesTheFieldOfItsColumn) {
    editor::TJumpsForm form(gui::Application, ctx.get());
    form.Prepare(false);
    ASSERT_EQ(form.detailGrid->FieldCount(), 3);
    EXPECT_EQ(form.detailGrid->Fields(0)->FieldName, "Title");
    EXPECT_EQ(form.detailGrid->Fields(1)->FieldName, "ContextString");
    EXPECT_EQ(form.detailGrid->Fields(2)->FieldName, "HelpId");
    std::vector<std::string> searched;
    std::string chosen;  // the field the user picks in the dialog
    form.RunLocate = [&](vl::TvlLocateDialog& dialog) {
        EXPECT_EQ(dialog.DataSource(), form.Source);
        searched.push_back(dialog.SearchField);
        if (!chosen.empty()) dialog.SearchField = chosen;
    };
    struct Step {
        int column;
        const char* pick;
        const char* expected;
    } steps[] = {{0, "", "Title"}, {1, "", "ContextString"}, {2, "", "ContextString"},
                 {0, "HelpId", "Title"}, {2, "", "HelpId"}};
    for (const Step& step : steps) {
        form.detailGrid->SetSelectedIndex(step.column);
        chosen = step.pick;
        form.SpeedButton1->Click();
        EXPECT_EQ(searched.back(), step.expected) << step.column;
    }
    EXPECT_EQ(searched.size(), 5u);
    EXPECT_EQ(form.SpeedButton1->Hint(), "Search the current field");
}

TEST_F(PageCommands, TheHelpButtonsOpenTheirTopics) {
    std::vector<long> topics;
    auto hook = gui::Application->HelpHook;
    auto file = gui::Application->HelpFile;
    gui::Application->HelpFile = "Tavrin.HLP";
    gui::Application->HelpHook = [&](const std::string&, unsigned, long data) {
        topics.push_back(data);
        return true;
    };
    {
        editor::TJumpsForm jumps(gui::Application, ctx.get());
        editor::TMacroForm macro(gui::Application);
        editor::TGraphicDlg graphic(gui::Application);
        for (gui::TButton* b : {jumps.btnHelp, macro.btnHelp, graphic.btnHelp}) b->Click();
        EXPECT_EQ(jumps.ModalResult(), gui::mrNone);  // the dialogs stay open
    }
    gui::Application->HelpHook = hook;
    gui::Application->HelpFile = file;
    EXPECT_EQ(topics, (std::vector<long>{9500, 9620, 9510}));
}

TEST_F(PageCommands, TheGraphicDialogPreviewsBitmapsButNotHypergraphics) {
    TAVRIN_REQUIRE_CORPUS();
    auto dir = tmp.path() / "pics";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(testsupport::CorpusDir() / "hpj/ddablib-dropfiles/TPJFormDropFiles.bmp", dir / "a.bmp");
    std::ofstream(dir / "b.shg") << "x";
    editor::TGraphicDlg dlg(gui::Application);
    dlg.SetDirectory(dir.string());
    EXPECT_FALSE(dlg.btnOk->Enabled());
    EXPECT_EQ(dlg.rgInsert->ItemIndex(), 2);
    ASSERT_EQ(dlg.FileListBox1->Items().Count(), 2);
    dlg.FileListBox1->SetFileName("a.bmp");
    dlg.FileSelected();
    EXPECT_TRUE(dlg.btnOk->Enabled());
    EXPECT_FALSE(dlg.Image1->Picture().Empty());
    dlg.FileListBox1->SetFileName("b.shg");
    dlg.FileSelected();
    EXPECT_TRUE(dlg.Image1->Picture().Empty());
    dlg.rgInsert->SetItemIndex(1);
    dlg.chkTransparent->SetChecked(true);
    editor::PictureChoice c = dlg.Choice();
    EXPECT_EQ(c.fileName, "b.shg");
    EXPECT_EQ(c.kind, editor::PictureKind::Right);
    EXPECT_TRUE(c.transparent);
}

TEST_F(PageCommands, TheJumpChangeFormStaysOnTheScreen) {
    editor::TJChangeForm form(gui::Application);
    form.PlaceNear(500, 100, 1024, 768);
    EXPECT_EQ(form.Top(), 110);
    EXPECT_EQ(form.Left(), 500 - form.Width() / 2);
    form.PlaceNear(1000, 760, 1024, 768);
    EXPECT_EQ(form.Top(), 760 - (form.Height() + 10));
    EXPECT_EQ(form.Left(), 1024 - form.Width());
    form.editJump->SetCaption("x");
    form.btnClear->Click();
    EXPECT_TRUE(form.editJump->Caption().empty());
}

}  // namespace

namespace {

// Runs `step` once the Jumps form is up in its modal loop.
void WhenJumpsFormShows(std::function<void(editor::TJumpsForm&)> step) {
    auto h = std::make_shared<plat::HWND>(0);
    *h = plat::AllocateHWnd([h, step](gui::TMessage& m) {
        if (m.Msg != gui::WM_USER + 21) return;
        auto* f = dynamic_cast<editor::TJumpsForm*>(gui::Application->FindComponent("JumpsForm"));
        if (!f || !f->Visible()) {
            plat::PostMessage(*h, gui::WM_USER + 21, 0, 0);
            return;
        }
        plat::DeallocateHWnd(*h);
        step(*f);
    });
    plat::PostMessage(*h, gui::WM_USER + 21, 0, 0);
}

// The middle of the Title cell of a data row (1 is the first).
gui::TPoint RowPoint(db::TCustomDBGrid& grid, int row) {
    const gui::TRect r = grid.CellRect(1, row);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

}  // namespace

TEST_F(PageCommands, ClickingARowOfTheJumpsFormAndEnterJumpToThatPage) {
    // Topics in help-id order: Start (start_ctx), Second (second_ctx), Empty.
    struct Case {
        int row;
        const char* context;
    } cases[] = {{2, "second_ctx"}, {1, "start_ctx"}};
    editor::FormsPageUi real(ctx.get());
    host.ui = &real;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.context);
        GoTo(1);
        edit->SetFocus();
        edit->SetSelStart(6);
        edit->SetSelLength(4);
        std::string shown;
        bool closed = false;
        WhenJumpsFormShows([&](editor::TJumpsForm& f) {
            f.detailGrid->SetFocus();
            // Start away from the row to click: the form opens on another row.
            f.Table->First();
            if (c.row == 1) f.Table->Next();
            guitest::ProcessEvents();
            guitest::Click(f.detailGrid, RowPoint(*f.detailGrid, c.row));
            guitest::ProcessEvents();
            shown = f.editJump->Text();
            guitest::SendKey(f.detailGrid, gui::VK_RETURN);
            guitest::ProcessEvents();
            closed = f.ModalResult() == gui::mrOk;
            if (!closed) f.SetModalResult(gui::mrCancel);
        });
        const bool made = editor::MakeHotSpot(host, edit, HotSpotKind::Topic);
        EXPECT_EQ(shown, c.context);
        EXPECT_TRUE(closed) << "Enter in the grid presses OK";
        ASSERT_TRUE(made);
        EXPECT_EQ(edit->GetPlainText().substr(0, 10 + std::string(c.context).size()),
                  std::string("Alpha beta") + c.context);
        ctx->detailTable->Post();
        const std::string stored = ctx->detailTable->FieldByName("HelpText")->AsString();
        EXPECT_NE(stored.find(std::string("\\v ") + c.context), std::string::npos) << stored;
        ctx->detailTable->Edit();
        ctx->detailTable->FieldByName("HelpText")->SetAsString(Rtf("Alpha beta gamma delta.\\par"));
        ctx->detailTable->Post();
        guitest::ProcessEvents();
    }
}

TEST_F(PageCommands, TabAndShiftTabLeaveTheJumpsFormsGrid) {
    editor::TJumpsForm form(gui::Application, ctx.get());
    form.Prepare(false);
    form.Show();
    guitest::ProcessEvents();
    for (gui::TShiftState shift : {gui::TShiftState(0), gui::TShiftState(gui::ssShift)}) {
        form.detailGrid->SetFocus();
        guitest::ProcessEvents();
        ASSERT_EQ(form.ActiveControl(), form.detailGrid);
        const int col = form.detailGrid->Col();
        guitest::SendKey(form.detailGrid, gui::VK_TAB, shift);
        guitest::ProcessEvents();
        EXPECT_NE(form.ActiveControl(), form.detailGrid) << shift;
        EXPECT_EQ(form.detailGrid->Col(), col) << shift;
    }
}
