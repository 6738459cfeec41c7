// Shows the converter's windows, or with --screenshot <dir> writes
// welcome.png, options.png, ready.png, progress.png and helpfiles.png (and
// files.png, the file page)
// (run it under a display, e.g. xvfb-run -a). Optional: --corpus <dir>, a
// folder of help files for the list and the progress run; --language deu
// or esp.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "converter/converter_strings.h"
#include "converter/shell.h"
#include "converter/ui/helpfile_list.h"
#include "converter/ui/progress.h"
#include "converter/ui/run.h"
#include "converter/ui/ui_texts.h"
#include "converter/ui/wizard.h"
#include "platform/core/paths.h"

namespace {

namespace fs = std::filesystem;
using namespace conv::ui;

bool Save(QWidget* w, const fs::path& file) {
    QCoreApplication::processEvents();
    const bool ok = w->grab().save(QString::fromStdString(file.string()));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
    return ok;
}

// The smallest help file of `folder`, for the file page and the progress run.
fs::path FirstHelpFile(const fs::path& folder) {
    std::error_code ec;
    fs::path best;
    std::uintmax_t bestSize = 0;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (!HasListedExtension(e.path()) || !ProbeHelpFile(e.path())) continue;
        const std::uintmax_t size = fs::file_size(e.path(), ec);
        if (best.empty() || size < bestSize) best = e.path(), bestSize = size;
    }
    return best;
}

int Screenshots(const fs::path& out, const fs::path& corpus) {
    fs::create_directories(out);
    // A data folder of its own, so the demo neither reads nor writes the
    // user's converter settings.
    std::string pattern = (fs::temp_directory_path() / "rendlow-demo-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const fs::path home = pattern;
    plat::SetDataHome(home.string());
    bool ok = true;
    {
        WizardDialog wizard(conv::LoadOptions());
        if (!corpus.empty()) wizard.setFolder(corpus);
        wizard.show();
        ok &= Save(&wizard, out / "welcome.png");
        // As a user gets there: a file chosen on page 1.
        wizard.showPage(kFilePage);
        if (const fs::path file = corpus.empty() ? fs::path() : FirstHelpFile(corpus); !file.empty())
            wizard.fileNameField()->setText(QString::fromStdString(file.filename().string()));
        ok &= Save(&wizard, out / "files.png");
        wizard.showPage(2);
        ok &= Save(&wizard, out / "options.png");
        wizard.showPage(kReadyPage);
        ok &= Save(&wizard, out / "ready.png");
    }
    {
        // A real conversion into a scratch folder, stopped half way.
        const fs::path file = corpus.empty() ? fs::path() : FirstHelpFile(corpus);
        const fs::path work = home / "out";
        fs::create_directories(work);
        const fs::path before = fs::current_path();
        fs::current_path(work);
        ProgressDialog* shown = nullptr;
        bool saved = false;
        Hooks().onProgressShown = [&](ProgressDialog& d) { shown = &d; };
        Hooks().askAbort = [](QWidget*) { return true; };
        ConversionSession session;
        if (!file.empty()) {
            // Stop while the topics are written, with the bar half way.
            const auto onPhase = [&](int phase) {
                if (phase != 7 || saved || !shown) return;
                shown->addWarning({17, {}});
                shown->addWarning({31, {"C:\\HELP\\TEMP\\PICTURE1.BMP"}});
                shown->bar()->setPosition(50);
                saved = true;
                ok &= Save(shown, out / "progress.png");
                shown->cancelButton()->click();
            };
            Hooks().onProgressShown = [&](ProgressDialog& d) {
                shown = &d;
                d.onPhase = onPhase;
            };
            session.Convert(file.string(), conv::LoadOptions() | conv::kShowProgress);
        }
        if (!saved) {
            ProgressDialog d;
            d.setHelpFile("C:\\HELP\\SAMPLE.HLP");
            d.setPhase(7);
            d.bar()->setPosition(50);
            d.addWarning({17, {}});
            d.show();
            ok &= Save(&d, out / "progress.png");
        }
        fs::current_path(before);
        Hooks() = {};
    }
    {
        HelpFileListDialog list(nullptr, {});
        list.show();
        list.startScan(corpus.empty() ? fs::path(QDir::homePath().toStdString()) : corpus);
        for (int i = 0; i < 2000 && list.scanning(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (list.list()->topLevelItemCount() > 0) list.list()->setCurrentItem(list.list()->topLevelItem(0));
        ok &= Save(&list, out / "helpfiles.png");
    }
    plat::SetDataHome("");
    std::error_code ec;
    fs::remove_all(home, ec);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    fs::path shots, corpus;
    std::string language;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0) shots = argv[++i];
        else if (std::strcmp(argv[i], "--corpus") == 0) corpus = argv[++i];
        else if (std::strcmp(argv[i], "--language") == 0) language = argv[++i];
    }
#ifdef TAVRIN_CORPUS_DIR
    if (corpus.empty() && fs::is_directory(fs::path(TAVRIN_CORPUS_DIR) / "hlp")) corpus = fs::path(TAVRIN_CORPUS_DIR) / "hlp";
#endif
    conv::SetLanguageOffset(language.empty() ? conv::LoadLanguageOffset() : conv::LanguageOffsetFor(language));
    if (!shots.empty()) return Screenshots(shots, corpus);
    return RunWizard();
}
