// The check loop against a scripted dialog, over the three buffers.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check_fixture.h"
#include "platform/gui/edits.h"
#include "richtext/spell/spell_files.h"
#include "richtext/spell/text_buffers.h"

namespace spellcheck_test {
namespace {

using V = std::vector<std::string>;
const std::string kNoErrors = "No errors found. Spell checking complete...";
const std::string kComplete = "Spell checking complete.";

class CheckLoop : public SpellCheckTest {
protected:
    int CheckText(const std::string& text, std::string* result = nullptr) {
        spell::TPCharBuffer b(text.c_str());
        int r = checker->CheckBuffer(b);
        if (result) *result = b.Text();
        return r;
    }
};

TEST_F(CheckLoop, SkipAlwaysHoldsForLaterChecks) {
    env.steps = {Press(spell::kActionSkipAll)};
    EXPECT_EQ(CheckText("teh cat teh"), 0);
    EXPECT_EQ(env.reported, V{"teh"});
    EXPECT_EQ(CheckText("a teh dog"), 0);
    EXPECT_EQ(env.reported, V{"teh"});
    EXPECT_EQ(env.unscripted, 0);
    EXPECT_EQ(BoxTexts(), (V{kNoErrors, kNoErrors}));
}

TEST_F(CheckLoop, ReplaceAllCorrectsSilentlyFromThenOn) {
    env.steps = {ReplaceWith("the", spell::kActionReplaceAll)};
    std::string out;
    EXPECT_EQ(CheckText("teh cat teh", &out), 1);
    EXPECT_EQ(out, "the cat the");
    EXPECT_EQ(CheckText("Teh dog", &out), 1);
    EXPECT_EQ(out, "the dog");
    EXPECT_EQ(env.reported, V{"teh"});
    EXPECT_EQ(BoxTexts(), (V{kComplete, kComplete}));
}

TEST_F(CheckLoop, SkipOnceAsksAgain) {
    env.steps = {Press(spell::kActionSkip), Press(spell::kActionSkip)};
    EXPECT_EQ(CheckText("teh cat teh"), 0);
    EXPECT_EQ(env.reported, (V{"teh", "teh"}));
}

TEST_F(CheckLoop, CloseEndsWithoutAnEndText) {
    env.steps = {Press(spell::kActionClose)};
    EXPECT_EQ(CheckText("teh zorp"), 2);
    EXPECT_EQ(env.reported, V{"teh"});
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_FALSE(env.dialog->showing);
}

TEST_F(CheckLoop, HidingTheDialogCountsAsClose) {
    env.steps = {[](TScriptedDialog& d) { d.HideDialog(); }};
    EXPECT_EQ(CheckText("teh zorp"), 2);
    EXPECT_EQ(env.reported, V{"teh"});
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(CheckLoop, OnlySkipsAndAddsReportNoErrors) {
    env.steps = {Press(spell::kActionSkip), Press(spell::kActionAdd)};
    EXPECT_EQ(CheckText("teh zorp"), 0);
    EXPECT_EQ(BoxTexts(), V{kNoErrors});
    // The added word is saved with the check and known from then on.
    std::ifstream in(dir / "USER.TXT");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.substr(0, 4), "zorp");
    EXPECT_TRUE(checker->IsWord("Zorp"));
}

TEST_F(CheckLoop, ConfirmAddAsksFirst) {
    checker->ConfirmAdd = true;
    env.steps = {Press(spell::kActionAdd), Press(spell::kActionAdd)};
    boxes.Answer(gui::IDNO);
    boxes.Answer(gui::IDYES);
    EXPECT_EQ(CheckText("zorp blix"), 0);
    ASSERT_GE(boxes.Requests().size(), 2u);
    EXPECT_EQ(boxes.Requests()[0].text, "Add \"zorp\" to dictionary?");
    EXPECT_EQ(boxes.Requests()[1].text, "Add \"blix\" to dictionary?");
    EXPECT_FALSE(checker->IsWord("zorp"));
    EXPECT_TRUE(checker->IsWord("blix"));
}

TEST_F(CheckLoop, AddingAKnownWordOnlyReportsIt) {
    env.steps = {[](TScriptedDialog& d) {
        // Another window added the word while the dialog was up.
        spell::TSpellDlg::SharedDictionary()->AddWord("zorp");
        d.SetAction(spell::kActionAdd);
    }};
    EXPECT_EQ(CheckText("zorp"), 0);
    EXPECT_EQ(BoxTexts(), (V{"\"zorp\" already in dictionary.", kNoErrors}));
}

TEST_F(CheckLoop, ReplaceThatOnlyChangesCaseReplaces) {
    env.steps = {ReplaceWith("McDonald"), ReplaceWith("mcdonald")};
    std::string out;
    EXPECT_EQ(CheckText("mcdonald cat mcdonald", &out), 1);
    EXPECT_EQ(out, "McDonald cat mcdonald");
    EXPECT_EQ(BoxTexts(), V{kComplete});
    // Replace with the word unchanged is no replacement.
    env.steps = {ReplaceWith("mcdonald")};
    EXPECT_EQ(CheckText("mcdonald", &out), 0);
}

TEST_F(CheckLoop, AutoSuggestFillsTheListAndTheField) {
    env.steps = {Press(spell::kActionSkip)};
    CheckText("cta");
    ASSERT_EQ(env.suggestionsShown.size(), 1u);
    ASSERT_FALSE(env.suggestionsShown[0].empty());
    EXPECT_EQ(env.suggestionsShown[0][0], "cat");
}

TEST_F(CheckLoop, TooLongWordEndsAsEnded) {
    std::string text = "the " + std::string(55, 'z') + " teh";
    EXPECT_EQ(CheckText(text), 2);
    EXPECT_TRUE(env.reported.empty());
    EXPECT_EQ(BoxTexts(), V{"Aborting spell check (Invalid word): \r\n" + std::string(50, 'z')});
}

TEST_F(CheckLoop, CorrectionsFileCorrectsAndCounts) {
    testsupport::WriteFileBytes(dir / "AUTO.TXT", "teh=the\r\n=skip\r\nbad=\r\nrecieve=receive\r\n");
    checker->AutoCorrectList = "auto.txt";
    gui::TEdit edit(nullptr);
    edit.SetText("I recieve teh cat");
    edit.SetModified(false);
    EXPECT_EQ(checker->SpellCheck(&edit), 1);
    EXPECT_EQ(edit.Text(), "I receive the cat");
    EXPECT_TRUE(edit.Modified());
    EXPECT_TRUE(env.reported.empty());
    EXPECT_EQ(BoxTexts(), V{kComplete});
    EXPECT_EQ(checker->CorrectFrom(), (V{"teh", "recieve"}));
}

TEST_F(CheckLoop, MissingCorrectionsFileIsReported) {
    checker->AutoCorrectList = "nofile.txt";
    EXPECT_EQ(CheckText("the cat"), 0);
    EXPECT_EQ(BoxTexts(), (V{checker->DictionaryPath + "/nofile.txt file not found.", kNoErrors}));
}

TEST_F(CheckLoop, MissingDictionaryRaises) {
    checker->DictionaryName = "none.dct";
    try {
        CheckText("the cat");
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Dictionary not found : " + checker->DictionaryPath + "/none.dct");
    }
}

TEST_F(CheckLoop, DictionaryNameIgnoresLetterCase) {
    checker->DictionaryName = "ENGLISH.DCT";
    EXPECT_TRUE(checker->IsWord("cat"));
    EXPECT_EQ(checker->LanguageDictionaryName(), checker->DictionaryPath + "/ENGLISH.DCT");
}

TEST_F(CheckLoop, SuggestionsZeroIsRefused) {
    checker->SetSuggestions(0);
    EXPECT_EQ(checker->Suggestions(), 1);
    EXPECT_EQ(BoxTexts(), V{"Invlid number of suggestions."});
    checker->SetSuggestions(3);
    EXPECT_EQ(checker->Suggestions(), 3);
}

TEST_F(CheckLoop, EditsOfTheUserDuringTheCheckAreReadOnce) {
    struct Counting : spell::TCEBuffer {
        using spell::TCEBuffer::TCEBuffer;
        int loads = 0;
        void LoadText() override {
            ++loads;
            spell::TCEBuffer::LoadText();
        }
    };
    gui::TEdit edit(nullptr);
    edit.SetText("teh cat teh dog zorp");
    spellui::TEditTextAdapter view(edit);
    Counting b(view, &edit);
    b.LoadText();  // the constructor's own read does not reach the override
    env.steps = {[&edit](TScriptedDialog& d) {
                     // The user types into the text while the dialog is up.
                     edit.SetText("teh a cat teh dog zorp");
                     edit.SetModified(true);
                     d.SetAction(spell::kActionSkip);
                 },
                 Press(spell::kActionSkip), Press(spell::kActionSkip)};
    EXPECT_EQ(checker->CheckBuffer(b), 0);
    EXPECT_EQ(env.reported, (V{"teh", "teh", "zorp"}));
    EXPECT_EQ(b.loads, 2);
    EXPECT_TRUE(edit.Modified());
}

TEST_F(CheckLoop, UnknownControlIsRefused) {
    plat::TComponent other(nullptr);
    EXPECT_EQ(checker->SpellCheck(&other), 2);
    EXPECT_EQ(BoxTexts(), V{"Error : Unknown control."});
}

TEST_F(CheckLoop, TheHelpContextReachesTheDialog) {
    gui::TEdit edit(nullptr);
    edit.SetText("teh");
    checker->HelpContext = 4711;
    env.steps = {Press(spell::kActionSkip)};
    EXPECT_EQ(checker->SpellCheck(&edit), 0);
    ASSERT_NE(env.dialog, nullptr);
    EXPECT_EQ(env.dialog->helpContext, 4711);
}

TEST_F(CheckLoop, EditSelectionIsRestored) {
    gui::TEdit edit(nullptr);
    edit.SetText("the teh cat");
    edit.SetSelStart(8);
    edit.SetSelLength(3);
    env.steps = {Press(spell::kActionSkip)};
    EXPECT_EQ(checker->SpellCheck(&edit), 0);
    EXPECT_EQ(edit.SelStart(), 8);
    EXPECT_EQ(edit.SelLength(), 3);
}

// --- the bridge and the rich-text editor -------------------------------------------------

class BridgeLoop : public SpellCheckTest {
protected:
    void SetUp() override {
        SpellCheckTest::SetUp();
        MakeChecker(true);
    }
};

TEST_F(BridgeLoop, RichTextReplaceAndRestoreSelection) {
    TRichEditStub rich(nullptr);
    rich.SetPlainText("teh cat\rzorp dog");
    rich.SetSelStart(4);
    rich.SetSelLength(3);
    env.steps = {ReplaceWith("the"), Press(spell::kActionSkip)};
    EXPECT_EQ(checker->SpellCheck(&rich), 1);
    EXPECT_EQ(rich.PlainText(), "the cat\rzorp dog");
    EXPECT_EQ(env.reported, (V{"teh", "zorp"}));
    EXPECT_EQ(rich.GetSelStart(), 4);
    EXPECT_EQ(rich.GetSelLength(), 3);
    EXPECT_TRUE(rich.GetModified());
}

// A typographic apostrophe (Windows-1252 0x92) is looked up as a plain one,
// shown as the text has it, and a replacement without its own apostrophe
// keeps the text's "’s".
TEST_F(BridgeLoop, TypographicApostrophesAreLookedUpPlainAndKeptOnReplacement) {
    struct Case {
        const char* text;
        std::vector<TScriptedEnvironment::Step> answers;
        V reported;
        const char* after;
    };
    const Case cases[] = {
        {"the cat\x92s mat", {}, {}, "the cat\x92s mat"},
        {"the dgo\x92s mat", {ReplaceWith("dog")}, {"dgo\x92s"}, "the dog\x92s mat"},
        {"the dgo\x92s mat", {ReplaceWith("dog's")}, {"dgo\x92s"}, "the dog\x92s mat"},
        {"the dgo\x92s mat", {ReplaceWith("dog\x92s")}, {"dgo\x92s"}, "the dog\x92s mat"},
        {"a dgo\x92s cat dgo\x92s", {ReplaceWith("dog", spell::kActionReplaceAll)}, {"dgo\x92s"},
         "a dog\x92s cat dog\x92s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        MakeChecker(true);
        TRichEditStub rich(nullptr);
        rich.SetPlainText(c.text);
        env.reported.clear();
        env.steps.assign(c.answers.begin(), c.answers.end());
        checker->SpellCheck(&rich);
        EXPECT_EQ(env.reported, c.reported);
        EXPECT_EQ(rich.PlainText(), c.after);
        EXPECT_EQ(env.unscripted, 0);
    }
}

TEST_F(BridgeLoop, CheckFromTheCursorLeavesEarlierWordsAlone) {
    TRichEditStub rich(nullptr);
    rich.SetPlainText("teh cat teh dog");
    rich.PlaceCursor(7);
    rich.WordScanFromCursor();
    env.steps = {ReplaceWith("the")};
    EXPECT_EQ(checker->SpellCheck(&rich), 1);
    EXPECT_EQ(rich.PlainText(), "teh cat the dog");
    EXPECT_EQ(env.reported, V{"teh"});
}

TEST_F(BridgeLoop, CheckAllFieldsResults) {
    auto* clean = new gui::TEdit(nullptr);
    auto* rich = new TRichEditStub(form.get());
    auto* wrong = new gui::TEdit(nullptr);
    form->InsertComponent(clean);
    form->InsertComponent(wrong);
    clean->SetText("the cat");
    rich->SetPlainText("a dog");
    wrong->SetText("teh mat");

    env.steps = {Press(spell::kActionSkip)};
    EXPECT_EQ(checker->CheckAllFields(true), 0);
    EXPECT_EQ(BoxTexts(), V{kNoErrors});  // once, at the end

    rich->SetPlainText("a dgo");
    rich->NextWord();  // each editor is checked whole
    env.steps = {ReplaceWith("dog"), Press(spell::kActionSkip)};
    env.reported.clear();
    EXPECT_EQ(checker->CheckAllFields(true), 1);
    EXPECT_EQ(env.reported, (V{"dgo", "teh"}));
    EXPECT_EQ(rich->PlainText(), "a dog");
    EXPECT_EQ(BoxTexts().back(), kComplete);

    rich->SetPlainText("a dgo");
    env.steps = {Press(spell::kActionClose)};
    env.reported.clear();
    std::size_t before = boxes.Requests().size();
    EXPECT_EQ(checker->CheckAllFields(true), 2);
    EXPECT_EQ(env.reported, V{"dgo"});  // the check stopped there
    EXPECT_EQ(boxes.Requests().size(), before);
    EXPECT_EQ(spell::TSpellDlg::SharedDictionary(), nullptr);
}

class TypingChecker : public spell::TSpellDlg {
public:
    using spell::TSpellDlg::TSpellDlg;
    std::vector<std::pair<std::string, int>> misspelt;
    void MisspeltHook(plat::TComponent*, const std::string& word, int position) override {
        misspelt.push_back({word, position});
    }
};

TEST_F(CheckLoop, CheckWhileTypingCorrectsAndMovesTheCaret) {
    testsupport::WriteFileBytes(dir / "AUTO.TXT", "teh=these\r\n");
    auto* typing = new TypingChecker(form.get());
    typing->DictionaryPath = dir.path().string();
    typing->UserDictionary = (dir / "USER.TXT").string();
    typing->AutoCorrectList = "AUTO.TXT";
    gui::TEdit edit(nullptr);
    edit.SetText("I saw teh");
    edit.SetSelStart(9);
    typing->CheckWhileTyping(&edit, 'a');  // only Enter and blank
    EXPECT_EQ(edit.Text(), "I saw teh");
    typing->CheckWhileTyping(&edit, 32);
    EXPECT_EQ(edit.Text(), "I saw these");
    EXPECT_EQ(edit.SelStart(), 11);
    EXPECT_EQ(edit.SelLength(), 0);

    edit.SetText("I saw zorp more");
    edit.SetSelStart(10);
    typing->CheckWhileTyping(&edit, 13);
    EXPECT_EQ(edit.Text(), "I saw zorp more");
    EXPECT_EQ(typing->misspelt, (std::vector<std::pair<std::string, int>>{{"zorp", 6}}));
    edit.SetSelStart(5);
    typing->CheckWhileTyping(&edit, 32);
    EXPECT_EQ(typing->misspelt.size(), 1u);
}

}  // namespace
}  // namespace spellcheck_test

namespace spellcheck_test {
namespace {

TEST(Dictionaries, StartUpCopiesThemIntoTheProgramFolder) {
    testsupport::TempDir from, to;
    testsupport::WriteFileBytes(from / "British.dct", "one");
    testsupport::WriteFileBytes(from / "notes.txt", "not a dictionary");
    testsupport::WriteFileBytes(to / "BRITISH.DCT", "one");
    std::filesystem::last_write_time(to / "BRITISH.DCT",
                                     std::filesystem::last_write_time(from / "British.dct") + std::chrono::hours(1));
    EXPECT_EQ(spell::CopyDictionaries(from.path().string(), to.path().string()), 0);
    testsupport::WriteFileBytes(from / "British.dct", "newer and longer");
    testsupport::WriteFileBytes(from / "Dutch.DCT", "two");
    EXPECT_EQ(spell::CopyDictionaries(from.path().string(), to.path().string()), 2);
    EXPECT_EQ(testsupport::ReadFileBytes(to / "BRITISH.DCT"), "newer and longer");
    EXPECT_EQ(testsupport::ReadFileBytes(to / "Dutch.DCT"), "two");
    EXPECT_FALSE(std::filesystem::exists(to / "notes.txt"));
    EXPECT_EQ(spell::CopyDictionaries((from / "missing").string(), to.path().string()), 0);
    // A dictionary's list of abbreviations goes with it.
    testsupport::WriteFileBytes(from / "British.abb", "un\r\n");
    EXPECT_EQ(spell::CopyDictionaries(from.path().string(), to.path().string()), 1);
    EXPECT_EQ(testsupport::ReadFileBytes(to / "British.abb"), "un\r\n");
}

}  // namespace
}  // namespace spellcheck_test
