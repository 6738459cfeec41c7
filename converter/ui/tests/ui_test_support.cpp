#include "converter/ui/tests/ui_test_support.h"

#include <cstdlib>

#include "converter/converter_strings.h"
#include "converter/shell.h"
#include "converter/ui/progress.h"
#include "platform/core/paths.h"

namespace conv::ui::test {

QApplication& App() {
    static int argc = 1;
    static char name[] = "converter_ui_tests";
    static char* argv[] = {name, nullptr};
    // Run straight from a shell without a display: offscreen unless chosen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

UiFixture::UiFixture() {
    App();
    if (const char* h = std::getenv("TAVRIN_HOME")) oldHome_ = h;
    ::setenv("TAVRIN_HOME", home_.path().c_str(), 1);
    plat::SetDataHome("");
    before_ = std::filesystem::current_path();
    std::filesystem::current_path(work_.path());
}

UiFixture::~UiFixture() {
    std::filesystem::current_path(before_);
    ::setenv("TAVRIN_HOME", oldHome_.c_str(), 1);
    plat::SetDataHome("");
    SetLanguageOffset(kLanguageEnglish);
    SetDocumentOpener({});
    Hooks() = {};
}

std::filesystem::path UiFixture::CopyCorpus(const std::string& name, const std::filesystem::path& folder) const {
    std::filesystem::create_directories(folder);
    const std::filesystem::path from = testsupport::CorpusFile("hlp/" + name);
    const std::filesystem::path to = folder / name;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return to;
}

}  // namespace conv::ui::test
