// Keyboard reach of the converter's windows: no two controls that show at
// the same time share an Alt letter, in any of the three languages, on any
// page of the wizard, in the progress dialog (running and done) and in the
// help-file list. A shared letter makes Alt+letter pick one of them.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>

#include <map>
#include <string>
#include <vector>

#include "converter/converter_strings.h"
#include "converter/ui/helpfile_list.h"
#include "converter/ui/progress.h"
#include "converter/ui/tests/ui_test_support.h"
#include "converter/ui/ui_texts.h"
#include "converter/ui/wizard.h"

namespace conv::ui {
namespace {

using test::UiFixture;

// The letter after a single "&" ("&&" is a literal ampersand), upper case;
// 0 when the text has none.
QChar Accelerator(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return QChar();
}

// Every pair of controls under `dialog` that show together and share a
// letter, as "letter: text / text".
std::vector<std::string> Clashes(QWidget* dialog) {
    std::map<QChar, QString> seen;
    std::vector<std::string> clashes;
    auto look = [&](QWidget* w, const QString& text) {
        if (!w->isVisibleTo(dialog)) return;
        const QChar a = Accelerator(text);
        if (a.isNull()) return;
        auto [it, fresh] = seen.emplace(a, text);
        if (!fresh) clashes.push_back(QString("%1: %2 / %3").arg(a, it->second, text).toStdString());
    };
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) look(b, b->text());
    for (QLabel* l : dialog->findChildren<QLabel*>()) look(l, l->text());
    return clashes;
}

class Accelerators : public ::testing::Test, public UiFixture {};

TEST_F(Accelerators, NoTwoControlsShownTogetherShareALetter) {
    struct Language {
        int offset;
        const char* name;
    } languages[] = {{kLanguageEnglish, "English"}, {kLanguageGerman, "German"}, {kLanguageSpanish, "Spanish"}};
    for (const Language& lang : languages) {
        SetLanguageOffset(lang.offset);
        // Both modes, since each skips pages of the other.
        for (ConversionFlags flags : {kForPrint | kNoShg, kBrowseSequences | kPageBreak | kJumps}) {
            WizardDialog w(flags);
            for (int page = 0; page < kWizardPages; ++page) {
                w.showPage(page);
                EXPECT_EQ(Clashes(&w), std::vector<std::string>{}) << lang.name << ", wizard page " << page;
            }
        }
        ProgressDialog running;
        EXPECT_EQ(Clashes(&running), std::vector<std::string>{}) << lang.name << ", progress";
        ProgressDialog done;
        done.setDone(true);
        EXPECT_EQ(Clashes(&done), std::vector<std::string>{}) << lang.name << ", progress at the end";
        HelpFileListDialog list(nullptr, {});
        EXPECT_EQ(Clashes(&list), std::vector<std::string>{}) << lang.name << ", help-file list";
    }
}

}  // namespace
}  // namespace conv::ui
