// Started by the progress tests: converts the help file of argv[2] with its
// progress dialog, presses Cancel once the topics are partly written (the
// bar past 85 %) and answers the abort question with argv[1] ("yes" or
// "no"). The exit code is the program's.
#include <QApplication>
#include <QPushButton>

#include <cstdio>
#include <cstring>

#include "converter/ui/progress.h"
#include "converter/ui/run.h"

int main(int argc, char** argv) {
    if (argc < 3) return 99;
    QApplication app(argc, argv);
    const bool yes = std::strcmp(argv[1], "yes") == 0;
    using conv::ui::Hooks;
    using conv::ui::ProgressDialog;
    Hooks().askAbort = [yes](QWidget*) {
        std::printf("asked\n");
        std::fflush(stdout);
        return yes;
    };
    Hooks().showFatal = [](const QString& title, const QString& text) {
        std::printf("fatal: %s\n", text.toUtf8().constData());
    };
    Hooks().onProgressShown = [](ProgressDialog& d) {
        d.onProgress = [&d](int position, int) {
            static bool pressed = false;
            if (pressed || d.lastPhase() != 7 || position < 85) return;
            pressed = true;
            d.cancelButton()->click();
        };
    };
    return conv::ui::RunConverterWindows(argv[2]);
}
