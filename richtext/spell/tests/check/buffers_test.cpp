// Text buffers: the word scan over a character array, an edit control and
// the rich-text word scan; replacements; word counts.
#include <string>
#include <vector>

#include "check_fixture.h"
#include "platform/core/codepage.h"
#include "platform/gui/edits.h"
#include "richtext/spell/text_buffers.h"

namespace spellcheck_test {
namespace {

struct Word {
    std::string text;
    bool digits;
    bool operator==(const Word&) const = default;
};

std::vector<Word> Words(spell::TAbsBuffer& b) {
    std::vector<Word> out;
    for (std::string w = b.GetNextWord(); !w.empty(); w = b.GetNextWord()) out.push_back({w, b.AllDigits});
    return out;
}

struct ScanCase {
    const char* name;
    std::string text;
    bool html;
    std::vector<Word> words;
};

class PCharScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(PCharScan, Words) {
    const ScanCase& c = GetParam();
    spell::TPCharBuffer b(c.text.c_str());
    b.SupportHTML = c.html;
    EXPECT_EQ(Words(b), c.words) << c.name;
    EXPECT_FALSE(b.Aborted()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PCharScan,
    ::testing::Values(
        ScanCase{"apostrophe", "don't stop", false, {{"don't", false}, {"stop", false}}},
        ScanCase{"hyphen", "e-mail", false, {{"e", false}, {"mail", false}}},
        ScanCase{"digits", "In 1996, the 4th", false, {{"In", false}, {"1996", true}, {"the", false}, {"4th", false}}},
        ScanCase{"tags", "<b>Helo</b> there", true, {{"Helo", false}, {"there", false}}},
        ScanCase{"tags as text", "<b>Helo</b>", false, {{"b", false}, {"Helo", false}, {"b", false}}},
        ScanCase{"unclosed tag", "one <b two three", true, {{"one", false}}},
        ScanCase{"oem letters", "caf\x82 na\x8Bve", false, {{"caf\x82", false}, {"na\x8Bve", false}}},
        ScanCase{"empty", "", false, {}},
        ScanCase{"49 letters", std::string(49, 'x') + " y", false, {{std::string(49, 'x'), false}, {"y", false}}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

class BufferTest : public SpellCheckTest {};

TEST_F(BufferTest, FiftyCharacterWordAbortsTheScan) {
    std::string text = "ok " + std::string(60, 'q') + " later";
    spell::TPCharBuffer b(text.c_str());
    EXPECT_EQ(b.GetNextWord(), "ok");
    EXPECT_EQ(b.GetNextWord(), "");
    EXPECT_TRUE(b.Aborted());
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Last().text, "Aborting spell check (Invalid word): \r\n" + std::string(50, 'q'));
}

TEST_F(BufferTest, PCharReplacementGoesIntoItsOwnCopy) {
    const char* source = "teh cat teh dog";
    spell::TPCharBuffer b(source);
    ASSERT_EQ(b.GetNextWord(), "teh");
    b.ReplaceWord("the");
    EXPECT_EQ(b.GetNextWord(), "cat");
    ASSERT_EQ(b.GetNextWord(), "teh");
    b.ReplaceWord("those");
    EXPECT_EQ(b.GetNextWord(), "dog");
    EXPECT_EQ(b.WordStart, 15);
    EXPECT_EQ(b.Text(), "the cat those dog");
    EXPECT_STREQ(source, "teh cat teh dog");
}

TEST_F(BufferTest, CapacityFollowsTheText) {
    std::string text(40000, ' ');
    text += "teh end";
    spell::TPCharBuffer b(text.c_str());
    EXPECT_EQ(b.GetNextWord(), "teh");
    EXPECT_EQ(b.WordStart, 40001);
    b.ReplaceWord("the");
    EXPECT_EQ(b.GetNextWord(), "end");
    EXPECT_EQ(b.Text().substr(40000), "the end");
}

TEST_F(BufferTest, EditBufferKeepsPositionsAfterReplacements) {
    gui::TEdit edit(nullptr);
    edit.SetText("teh cat teh dog caf\xE9");
    spellui::TEditTextAdapter view(edit);
    spell::TCEBuffer b(view, &edit);
    ASSERT_EQ(b.GetNextWord(), "teh");
    b.ReplaceWord("the");
    EXPECT_EQ(edit.Text(), "the cat teh dog caf\xE9");
    EXPECT_EQ(b.GetNextWord(), "cat");
    ASSERT_EQ(b.GetNextWord(), "teh");
    b.SelectWord();
    EXPECT_EQ(edit.SelStart(), 8);
    EXPECT_EQ(edit.SelLength(), 3);
    b.ReplaceWord("these");
    EXPECT_EQ(edit.Text(), "the cat these dog caf\xE9");
    EXPECT_EQ(b.GetNextWord(), "dog");
    b.SelectWord();
    EXPECT_EQ(edit.SelText(), "dog");
    // The copy is OEM: é comes back as 0x82.
    EXPECT_EQ(b.GetNextWord(), "caf\x82");
    EXPECT_EQ(b.GetNextWord(), "");
}

TEST_F(BufferTest, EditBufferFollowsWhatTheControlTook) {
    gui::TEdit edit(nullptr);
    edit.SetText("ab teh cd");
    edit.SetMaxLength(11);  // room for two more characters only
    spellui::TEditTextAdapter view(edit);
    spell::TCEBuffer b(view, &edit);
    b.GetNextWord();
    ASSERT_EQ(b.GetNextWord(), "teh");
    b.ReplaceWord("theirs");
    EXPECT_EQ(edit.Text(), "ab their cd");
    EXPECT_EQ(b.GetNextWord(), "cd");
    b.SelectWord();
    EXPECT_EQ(edit.SelText(), "cd");
}

TEST_F(BufferTest, RichBufferFollowsTheFinderWordRules) {
    TRichEditStub rich(nullptr);
    // Digits separate words in the editor's scan; hyperlink text and the
    // hidden target after it are passed over.
    rich.SetPlainText("don't x9y caf\xE9 e-mail\rlink IDH_X next");
    richtext::TParagraph* p2 = rich.engine.FirstParagraph()->next;
    for (int i = 0; i < 10; ++i) p2->lines->attrs[static_cast<std::size_t>(i)].style = i < 4 ? 0x0010 : 0x0100;
    spell::TJDBuf b(rich, &rich);
    std::vector<Word> words = Words(b);
    EXPECT_EQ(words, (std::vector<Word>{{"don't", false},
                                        {"x", false},
                                        {"y", false},
                                        {"caf\x82", false},
                                        {"e", false},
                                        {"mail", false},
                                        {"next", false}}));
}

TEST_F(BufferTest, RichBufferSelectsAndReplacesInTheEditor) {
    TRichEditStub rich(nullptr);
    rich.SetPlainText("teh cat\rteh dog");
    spell::TJDBuf b(rich, &rich);
    ASSERT_EQ(b.GetNextWord(), "teh");
    b.SelectWord();
    EXPECT_EQ(rich.GetSelStart(), 0);
    EXPECT_EQ(rich.GetSelLength(), 3);
    b.ReplaceWord("these");
    EXPECT_TRUE(b.Modified);
    EXPECT_EQ(b.GetNextWord(), "cat");
    ASSERT_EQ(b.GetNextWord(), "teh");
    b.SelectWord();
    EXPECT_EQ(rich.GetSelStart(), 10);
    b.ReplaceWord("the");
    EXPECT_EQ(b.GetNextWord(), "dog");
    EXPECT_EQ(b.GetNextWord(), "");
    EXPECT_EQ(rich.PlainText(), "these cat\rthe dog");
}

TEST_F(BufferTest, WordCountIgnoresCase) {
    const char* text = "The cat saw the CAT, the dog";
    spell::TPCharBuffer b(text);
    b.GetNextWord();  // the count starts from the top whatever was read
    int total = -1, unique = -1;
    b.WordCount(total, unique);
    EXPECT_EQ(total, 7);
    EXPECT_EQ(unique, 4);
    spellui::TWordForm* w = env.WordForm();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(w->lblWords->Caption(), "7");
    EXPECT_EQ(w->lblUniqueWords->Caption(), "4");
}

TEST_F(BufferTest, WordCountOfTheEditors) {
    MakeChecker(true);
    TRichEditStub rich(nullptr);
    rich.SetPlainText("one two\rOne three");
    rich.NextWord();  // counting starts at the top, not where the scan stands
    int total, unique;
    checker->WordCount(&rich, total, unique);
    EXPECT_EQ(total, 4);
    EXPECT_EQ(unique, 3);
    gui::TEdit edit(nullptr);
    edit.SetText("a b a");
    checker->WordCount(&edit, total, unique);
    EXPECT_EQ(total, 3);
    EXPECT_EQ(unique, 2);
}

TEST_F(BufferTest, ClosingTheWindowMidCountGivesZero) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += "w" + std::to_string(i % 10) + "x ";
    spell::TPCharBuffer b(text.c_str());
    env.onRound = [this](int round) {
        if (round == 20) env.WordForm()->Close();
    };
    int total = -1, unique = -1;
    b.WordCount(total, unique);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(unique, 0);
    EXPECT_EQ(env.rounds, 20);
}

}  // namespace
}  // namespace spellcheck_test
