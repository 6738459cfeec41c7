// Shared by the converter window tests: the application object and a data
// folder of each test's own (Rendlow.ini lives there).
#pragma once

#include <QApplication>

#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace conv::ui::test {

QApplication& App();

// Makes a temporary data folder the program's (through TAVRIN_HOME, so
// helper programs see it too), a temporary working folder current, and
// restores both and the language afterwards.
class UiFixture {
public:
    UiFixture();
    ~UiFixture();
    const std::filesystem::path& home() const { return home_.path(); }
    const std::filesystem::path& work() const { return work_.path(); }
    // Copies a corpus help file into `folder` (created) and returns its path.
    std::filesystem::path CopyCorpus(const std::string& name, const std::filesystem::path& folder) const;

private:
    testsupport::TempDir home_, work_;
    std::filesystem::path before_;
    std::string oldHome_;
};

// Runs the event loop until `done` is true or `ms` have passed.
template <class Pred>
bool ProcessUntil(Pred done, int ms = 10000);

}  // namespace conv::ui::test

#include <QElapsedTimer>

template <class Pred>
bool conv::ui::test::ProcessUntil(Pred done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
