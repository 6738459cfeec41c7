#include "check_fixture.h"

#include "platform/gui/forms.h"
#include "richtext/spell/dct_writer.h"

namespace spellcheck_test {

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { gui::InitApplication(); }
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace

TRichEditStub::TRichEditStub(plat::TComponent* owner) : plat::TComponent(owner), spell::TEngineWordSource(engine) {
    richtext::TTextHeader& h = engine.Header();
    h.pageWidth = 20 * 1000;
    h.marginLeft = h.marginRight = 0;
    engine.SetCanvas(&device);
    engine.SetWindowSize(400, 200);
}

void TRichEditStub::SetPlainText(const std::string& text) {
    engine.ClearText();
    richtext::TParagraph* p = engine.FirstParagraph();
    for (char c : text) {
        if (c == '\r') {
            p = engine.NewParagraph(p);
            continue;
        }
        richtext::TLine* l = richtext::TJDRTFText::LastLine(p);
        engine.ReplaceInLine(l, l->Length(), 0, std::string(1, c), &engine.currentAttr);
    }
    engine.FormatAll();
    engine.cursor = {engine.FirstParagraph(), engine.FirstParagraph()->lines, 0};
    ResetWordScan();
}

std::string TRichEditStub::PlainText() const {
    std::string s;
    for (richtext::TParagraph* p = engine.FirstParagraph(); p; p = p->next) {
        if (p != engine.FirstParagraph()) s += '\r';
        s += engine.ParagraphText(p);
    }
    return s;
}

void TRichEditStub::PlaceCursor(int pos) {
    engine.DropSelection();
    engine.SetCursor(pos, 0);
}

void SpellCheckTest::SetUp() {
    spell::SetSpellEnvironment(&env);
    scope = std::make_unique<gui::ScopedDialogService>(boxes);
    testsupport::WriteFileBytes(dir / "English.dct",
                                spell::BuildDctImage({"a", "cat", "dog", "france", "i", "in", "is", "mat", "on",
                                                      "paris", "sat", "saw", "the", "these", "word", "words"}));
    form = std::make_unique<plat::TComponent>(nullptr);
    MakeChecker();
}

void SpellCheckTest::MakeChecker(bool bridge) {
    delete checker;
    checker = bridge ? new spell::TJDSpellDlg(form.get()) : new spell::TSpellDlg(form.get());
    checker->DictionaryPath = dir.path().string();
    checker->UserDictionary = (dir / "USER.TXT").string();
    checker->ConfirmAdd = false;
}

void SpellCheckTest::TearDown() {
    form.reset();
    checker = nullptr;
    scope.reset();
    spell::SetSpellEnvironment(nullptr);
}

std::vector<std::string> SpellCheckTest::BoxTexts() const {
    std::vector<std::string> out;
    for (const gui::DialogRequest& r : boxes.Requests()) out.push_back(r.text);
    return out;
}

}  // namespace spellcheck_test
