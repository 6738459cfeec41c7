// The dialog layouts, the word-count window and the small controls.
#include <string>
#include <vector>

#include "platform/gui/gui_test_harness.h"
#include "platform/gui/tabs.h"
#include "richtext/spell/tests/check/check_fixture.h"
#include "richtext/spell/ui/spell_forms.h"
#include "richtext/spell/ui/word_form.h"

namespace spellcheck_test {
namespace {

using namespace gui;

struct Named {
    const char* name;
    const char* text;
};

struct LayoutCase {
    spell::TDialogTypes style;
    const char* caption;
    std::vector<Named> components;
};

std::string TextOf(TComponent* c) {
    if (auto* ctl = dynamic_cast<TControl*>(c)) return ctl->Caption();
    return "?";
}

class Layouts : public SpellCheckTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layouts, ShowTheNamedComponentsWithTheirTexts) {
    const LayoutCase& c = GetParam();
    std::unique_ptr<spellui::TAbsSpellDialog> d = spellui::CreateSpellDialog(c.style);
    EXPECT_EQ(d->Caption(), c.caption);
    for (const Named& n : c.components) {
        TComponent* comp = d->FindComponent(n.name);
        ASSERT_NE(comp, nullptr) << n.name;
        if (n.text) {
            EXPECT_EQ(TextOf(comp), n.text) << n.name;
        }
    }
    for (const char* common : {"edtWord", "lstSuggest", "pnlIcons", "btnSuggest"})
        EXPECT_NE(d->FindComponent(common), nullptr) << common;
    const Named accents[] = {{"btnA", "\xE1"}, {"btnE", "\xE9"}, {"btnI", "\xED"}, {"btnO", "\xF3"},
                             {"btnU", "\xFA"}, {"btnN", "\xF1"}, {"btnN2", "\xD1"}};
    for (const Named& a : accents) EXPECT_EQ(TextOf(d->FindComponent(a.name)), a.text) << a.name;
    d->SetStateLabel(true);
    d->SetStateLabel(false);
}

INSTANTIATE_TEST_SUITE_P(
    All, Layouts,
    ::testing::Values(
        LayoutCase{spell::dtWordPerfect,
                   "Spell Checker",
                   {{"lblFound", "Found"}, {"lblNotFound", "Not Found"}, {"lblReplace", "Replace &With"},
                    {"lblSuggestions", "Sugg&estions"}, {"btnReplace", "&Replace"}, {"btnAdd", "&Add"},
                    {"btnSkip", "Skip &Once"}, {"btnSkipAll", "Skip &Always"}, {"btnSuggest", "&Suggest"},
                    {"btnClose", "Close"}}},
        LayoutCase{spell::dtMSWord,
                   "Spelling",
                   {{"lblFound", "Not in Dictionary:"}, {"lblReplace", "Change &To:"},
                    {"lblSuggestions", "Suggestio&ns:"}, {"btnReplace", "&Change"},
                    {"btnReplaceAll", "C&hange All"}, {"btnAdd", "&Add"}, {"btnSkip", "&Ignore"},
                    {"btnSkipAll", "I&gnore All"}, {"btnSuggest", "&Suggest"}, {"btnClose", "Cancel"},
                    {"btnAutoCorrect", "AutoCorrect"}, {"btnOptions", "&Options"}, {"btnUndo", "&Undo Last"},
                    {"btnHelp", "Help"}, {"edtCurWord", nullptr}}},
        LayoutCase{spell::dtWordPro96,
                   "Spelling",
                   {{"lblTitle", " Spell Check"}, {"lblFound", "Word in Question:"}, {"btnReplace", "&Replace"},
                    {"btnReplaceAll", "Replace All"}, {"btnAdd", "&Add"}, {"btnSkip", "Skip &Once"},
                    {"btnSkipAll", "Skip &Always"}, {"btnClose", "&Done"}, {"sbSuggest", nullptr}}}));

TEST_F(SpellCheckTest, StateLabelsOfTheLayouts) {
    spellui::TMSSpell ms(nullptr);
    ms.SetStateLabel(true);
    EXPECT_EQ(ms.lblFound->Caption(), "In Dictionary:");
    spellui::TW96Spell w(nullptr);
    w.SetStateLabel(true);
    EXPECT_EQ(w.lblFound->Caption(), "Word Found:");
    EXPECT_EQ(w.BorderStyle(), bsNone);
    spellui::TJDSpell jd(nullptr);
    jd.SetStateLabel(true);
    EXPECT_TRUE(jd.lblFound->Visible());
    EXPECT_FALSE(jd.lblNotFound->Visible());
}

TEST_F(SpellCheckTest, EveryButtonSetsItsCode) {
    struct Press {
        spell::TDialogTypes style;
        const char* button;
        int code;
    };
    const Press presses[] = {
        {spell::dtWordPerfect, "btnClose", 2},     {spell::dtWordPerfect, "btnReplace", 20},
        {spell::dtWordPerfect, "btnAdd", 21},      {spell::dtWordPerfect, "btnSkip", 22},
        {spell::dtWordPerfect, "btnSkipAll", 23},  {spell::dtMSWord, "btnReplaceAll", 24},
        {spell::dtMSWord, "btnClose", 2},          {spell::dtMSWord, "btnSkip", 22},
        {spell::dtWordPro96, "btnReplaceAll", 24}, {spell::dtWordPro96, "btnClose", 2},
        {spell::dtWordPro96, "btnAdd", 21}};
    for (const Press& p : presses) {
        auto d = spellui::CreateSpellDialog(p.style);
        d->SetAction(0);
        dynamic_cast<TControl*>(d->FindComponent(p.button))->Click();
        EXPECT_EQ(d->Action(), p.code) << p.button;
    }
    // The inactive buttons do nothing.
    spellui::TMSSpell ms(nullptr);
    for (TBitBtn* b : {ms.btnAutoCorrect, ms.btnOptions, ms.btnUndo, ms.btnHelp}) EXPECT_FALSE(b->Enabled());
}

TEST_F(SpellCheckTest, ClosingTheWindowIsClose) {
    spellui::TJDSpell d(nullptr);
    d.Show();
    d.Close();
    EXPECT_EQ(d.Action(), spell::kActionClose);
    EXPECT_FALSE(d.DialogShowing());
}

TEST_F(SpellCheckTest, SuggestAndQuickSuggestFillTheList) {
    checker->SetSuggestions(3);
    checker->SetDialogStyle(spell::dtWordPerfect);
    spell::SetSpellEnvironment(&spellui::InstallSpellUi());
    auto* d = dynamic_cast<spellui::TJDSpell*>(checker->Dialog());
    ASSERT_NE(d, nullptr);
    checker->OpenSpellDialog();
    guitest::ProcessEvents();
    d->SetReplaceText("dgo");
    d->btnSuggestClick(d);
    ASSERT_GE(d->lstSuggest->Items().Count(), 1);
    EXPECT_EQ(d->lstSuggest->Items()[0], "dog");
    EXPECT_EQ(d->edtWord->Text(), "dog");

    d->edtWord->SetText("");
    d->edtWord->SetFocus();
    guitest::TypeText(d->edtWord, "th");
    guitest::ProcessEvents();
    std::vector<std::string> items;
    for (int i = 0; i < d->lstSuggest->Items().Count(); ++i) items.push_back(d->lstSuggest->Items()[i]);
    EXPECT_EQ(items, (std::vector<std::string>{"the", "these"}));
    EXPECT_EQ(d->lstSuggest->ItemIndex(), 0);

    // A double click on a suggestion takes it and replaces.
    d->SetAction(0);
    d->lstSuggest->SetItemIndex(1);
    d->lstSuggest->OnDblClick(d->lstSuggest);
    EXPECT_EQ(d->edtWord->Text(), "these");
    EXPECT_EQ(d->Action(), spell::kActionReplace);
    d->HideDialog();
}

TEST_F(SpellCheckTest, AccentButtonsInsertAtTheCaret) {
    spellui::TMSSpell d(nullptr);
    d.ShowAccents(spell::AccentBit(spell::acSpanish));
    EXPECT_TRUE(d.pnlIcons->Visible());
    d.edtWord->SetText("cafe");
    d.edtWord->SetSelStart(3);
    d.edtWord->SetSelLength(0);
    d.btnE->Click();
    EXPECT_EQ(d.edtWord->Text(), "caf\xE9""e");
    d.btnN2->Click();
    EXPECT_EQ(d.edtWord->Text(), "caf\xE9\xD1""e");
    d.ShowAccents(0);
    EXPECT_FALSE(d.pnlIcons->Visible());
}

TEST_F(SpellCheckTest, GlyphsCanBeRemoved) {
    checker->SetShowGlyphs(false);
    checker->SetDialogStyle(spell::dtWordPerfect);
    spell::SetSpellEnvironment(&spellui::InstallSpellUi());
    auto* d = dynamic_cast<spellui::TJDSpell*>(checker->Dialog());
    EXPECT_TRUE(d->btnReplace->Glyph().Empty());
    spellui::TJDSpell withGlyphs(nullptr);
    EXPECT_FALSE(withGlyphs.btnReplace->Glyph().Empty());
}

TEST_F(SpellCheckTest, EnterEditKeys) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* edit = new spellui::TEnterEdit(&form);
    edit->SetParent(&form);
    edit->SetTabStop(true);
    edit->SetBounds(10, 10, 100, 22);
    auto* next = new TEdit(&form);
    next->SetParent(&form);
    next->SetTabStop(true);
    next->SetBounds(10, 40, 100, 22);
    form.Show();
    edit->SetFocus();
    guitest::ProcessEvents();
    edit->SetText("new york");
    guitest::SendKey(edit, VK_DOWN, ssCtrl);
    EXPECT_EQ(edit->Text(), "New york");
    guitest::SendKey(edit, VK_UP, ssCtrl);
    EXPECT_EQ(edit->Text(), "NEW YORK");
    guitest::SendKey(edit, VK_RETURN);
    EXPECT_TRUE(guitest::WaitFor([&] { return next->Focused(); }));
    EXPECT_EQ(edit->Text(), "NEW YORK");
    form.Hide();
}

TEST_F(SpellCheckTest, NewListBoxReportsAChangedChoice) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* list = new spellui::TNewListBox(&form);
    list->SetParent(&form);
    list->SetBounds(10, 10, 120, 100);
    list->Items().Add("one");
    list->Items().Add("two");
    int changes = 0;
    list->OnChange = [&](TObject*) { ++changes; };
    form.Show();
    guitest::ProcessEvents();
    EXPECT_EQ(list->LastIndex(), -1);
    TRect second = list->ItemRect(1);
    guitest::Click(list, Point(second.Left + 5, second.Top + 3));
    EXPECT_EQ(changes, 1);
    guitest::Click(list, Point(second.Left + 5, second.Top + 3));
    EXPECT_EQ(changes, 1);
    form.Hide();
}

TEST_F(SpellCheckTest, WordCountWindow) {
    spellui::TWordForm w(nullptr);
    EXPECT_EQ(w.Caption(), "Word Count");
    EXPECT_EQ(w.lblWordsCaption->Caption(), "Words:");
    EXPECT_EQ(w.lblUniqueCaption->Caption(), "Unique Words:");
    EXPECT_EQ(w.lblWords->Caption(), "0");
    EXPECT_EQ(w.lblUniqueWords->Caption(), "0");
    EXPECT_EQ(w.btnOk->Caption(), "OK");
    w.ShowCounting();
    w.SetCounts(12, 7);
    EXPECT_EQ(w.lblWords->Caption(), "12");
    EXPECT_EQ(w.lblUniqueWords->Caption(), "7");
    w.btnOk->Click();
    EXPECT_FALSE(w.Visible());
}

TEST_F(SpellCheckTest, ForceModalDisablesTheOtherWindows) {
    TForm other(nullptr);
    other.Show();
    checker->ForceModal = true;
    bool disabledDuring = false;
    env.steps = {[&](TScriptedDialog& d) {
        disabledDuring = !other.Enabled();
        d.SetAction(spell::kActionSkip);
    }};
    spell::TPCharBuffer b("teh");
    checker->CheckBuffer(b);
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(other.Enabled());
    other.Hide();
}

TEST_F(SpellCheckTest, RevealControlShowsItsPage) {
    TForm f(nullptr);
    f.SetBounds(0, 0, 300, 200);
    auto* pages = new TPageControl(&f);
    pages->SetParent(&f);
    pages->SetBounds(0, 0, 300, 200);
    auto* one = new TTabSheet(&f);
    one->SetPageControl(pages);
    auto* two = new TTabSheet(&f);
    two->SetPageControl(pages);
    auto* edit = new TEdit(&f);
    edit->SetParent(two);
    f.Show();
    pages->SetActivePage(one);
    EXPECT_FALSE(edit->Showing());
    env.RevealControl(edit);
    EXPECT_EQ(pages->ActivePage(), two);
    EXPECT_TRUE(edit->Showing());
    f.Hide();
}

TEST_F(SpellCheckTest, LeavingTheFieldTellsWhetherTheTypedWordIsKnown) {
    spell::SetSpellEnvironment(&spellui::InstallSpellUi());
    checker->SetDialogStyle(spell::dtWordPerfect);
    auto* d = dynamic_cast<spellui::TJDSpell*>(checker->Dialog());
    checker->OpenSpellDialog();
    struct Typed {
        const char* text;
        bool found;
        const char* focus;
    };
    for (const Typed& t : {Typed{"cat", true, "btnReplace"}, Typed{"zorp", false, "btnSuggest"}}) {
        d->SetReplaceText("");
        d->edtWord->SetFocus();
        guitest::TypeText(d->edtWord, t.text);
        d->lstSuggest->SetFocus();
        EXPECT_EQ(d->lblFound->Visible(), t.found) << t.text;
        EXPECT_EQ(d->lblNotFound->Visible(), !t.found) << t.text;
        auto* target = dynamic_cast<TWinControl*>(d->FindComponent(t.focus));
        EXPECT_TRUE(guitest::WaitFor([&] { return target->Focused(); })) << t.text;
    }
    d->HideDialog();
}

TEST_F(SpellCheckTest, DialogIsCentredAndShiftedClearOfTheText) {
    TForm f(nullptr);
    f.SetBounds(0, 0, 400, 300);
    auto* memo = new TMemo(&f);
    memo->SetParent(&f);
    memo->SetBounds(0, 0, 400, 200);
    spellui::TJDSpell d(nullptr);
    d.SetTop(50);
    d.PlaceDialog(false, memo);
    EXPECT_EQ(d.Left(), (Screen->Width() - d.Width()) / 2);
    EXPECT_EQ(d.Top(), 50);
    d.PlaceDialog(true, memo);
    TPoint origin = memo->ClientToScreen(Point(0, 0));
    EXPECT_GE(d.Top(), origin.y + memo->Height() + 10);
}

TEST_F(SpellCheckTest, RealDialogAnswersThroughTheNestedLoop) {
    spell::SetSpellEnvironment(&spellui::InstallSpellUi());
    checker->SetDialogStyle(spell::dtMSWord);
    TEdit edit(nullptr);
    edit.SetText("teh cat zorp");
    // The user, played by a timer that fires inside the check's wait.
    TTimer timer(nullptr);
    timer.SetInterval(10);
    std::vector<std::string> seen;
    timer.OnTimer = [&](TObject*) {
        auto* d = dynamic_cast<spellui::TMSSpell*>(checker->Dialog());
        if (!d || !d->DialogShowing() || d->Action() != 0 || d->edtCurWord->Text().empty()) return;
        if (!seen.empty() && seen.back() == d->edtCurWord->Text()) return;
        seen.push_back(d->edtCurWord->Text());
        if (seen.back() == "teh") {
            d->edtWord->SetText("the");
            d->btnReplace->Click();
        } else {
            d->btnSkip->Click();
        }
    };
    EXPECT_EQ(checker->SpellCheck(&edit), 1);
    timer.SetEnabled(false);
    EXPECT_EQ(edit.Text(), "the cat zorp");
    EXPECT_EQ(seen, (std::vector<std::string>{"teh", "zorp"}));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Spell checking complete."});
    EXPECT_FALSE(checker->Dialog()->DialogShowing());
}

}  // namespace
}  // namespace spellcheck_test
