// Helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// Folder of the real third-party files the tests read (help files, projects, RTF).
std::filesystem::path CorpusDir();
// A corpus file's path; fails the current test when it is missing.
std::filesystem::path CorpusFile(const std::string& relative);
// True when the corpus folder is there. A clone without ../shared/corpus
// skips the tests that read it (TAVRIN_REQUIRE_CORPUS), naming the setting
// that points at it.
bool CorpusAvailable();
std::string CorpusMissingMessage();
// The whole content of a file as bytes.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder under the system temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport

// First statement of a test that reads the corpus.
#define TAVRIN_REQUIRE_CORPUS()                  \
    if (!::testsupport::CorpusAvailable())       \
    GTEST_SKIP() << ::testsupport::CorpusMissingMessage()
