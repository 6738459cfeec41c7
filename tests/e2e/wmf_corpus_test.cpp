// The converter extracts the pictures of a real help file; every metafile
// among them plays through our reader, to the end record and without a
// malformed record, onto a picture that is not blank.

#include "converter/help_file.h"
#include "converter/project_writer.h"
#include "converter/shell.h"
#include "platform/core/paths.h"
#include "platform/imaging/wmf_reader.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <QGuiApplication>

#include <filesystem>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "wmf_corpus_tests";
        static char* argv[] = {name, nullptr};
        // Started from a shell without a display: offscreen unless one is chosen.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);
    }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

int InkedPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) != 0xFFFFFFFFu;
    return n;
}

TEST(WmfCorpus, EveryMetafileOfDemistPlays) {
    TAVRIN_REQUIRE_CORPUS();
    const auto hlp = testsupport::CorpusFile("hlp/DEMIST.HLP");
    testsupport::TempDir dir;
    const auto old = std::filesystem::current_path();
    std::filesystem::create_directories(dir / "out");
    std::filesystem::current_path(dir / "out");
    plat::SetDataHome((dir / "home").string());
    conv::ConvertHelpFile({conv::ApplyModeRule(conv::kNoShg), hlp.string()});
    std::filesystem::current_path(old);
    plat::SetDataHome("");

    int metafiles = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "out")) {
        std::string ext = e.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".wmf") continue;
        ++metafiles;
        SCOPED_TRACE(e.path().filename().string());
        const std::string bytes = testsupport::ReadFileBytes(e.path());
        imaging::TMetafileHeader header;
        ASSERT_TRUE(imaging::ReadMetafileHeader(bytes, header));
        EXPECT_FALSE(imaging::MetafileSize(bytes).isEmpty());
        imaging::TMetafilePlay play;
        const QImage img = imaging::RenderMetafile(bytes, {}, 0xFFFFFFFF, {}, &play);
        EXPECT_TRUE(play.complete) << "stopped after " << play.records << " records";
        EXPECT_GT(play.records, 0);
        EXPECT_GT(InkedPixels(img), 0);
    }
    EXPECT_GT(metafiles, 0);
    std::printf("%d metafiles played\n", metafiles);
}

}  // namespace
