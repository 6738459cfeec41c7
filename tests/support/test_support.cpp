#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::filesystem::path CorpusDir() {
    if (const char* env = std::getenv("TAVRIN_CORPUS_DIR"); env && *env) return env;
    return TAVRIN_CORPUS_DIR_DEFAULT;
}

bool CorpusAvailable() {
    std::error_code ec;
    return std::filesystem::is_directory(CorpusDir(), ec);
}

std::string CorpusMissingMessage() {
    return "corpus folder " + CorpusDir().string() +
           " is missing; set TAVRIN_CORPUS_DIR to the folder of the third-party test files to run this test";
}

std::filesystem::path CorpusFile(const std::string& relative) {
    auto p = CorpusDir() / relative;
    EXPECT_TRUE(std::filesystem::exists(p)) << "corpus file missing: " << p;
    return p;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("tavrin-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace testsupport

namespace testsupport {
namespace {

// Every test program that links this file keeps the program's data folder
// (configuration, aliases, logs) in a temporary folder of its own, so no
// test writes into the user's real one even when it forgets to set one.
struct DataHomeGuard {
    TempDir home;
    DataHomeGuard() { ::setenv("TAVRIN_HOME", home.path().c_str(), 1); }
};
const DataHomeGuard gDataHomeGuard;

// Run straight from a shell without a display, a test program with windows
// would abort when Qt starts: the offscreen platform serves unless one is chosen.
const bool gOffscreenByDefault = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

}  // namespace
}  // namespace testsupport
