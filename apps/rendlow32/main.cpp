// Rendlow32, the help-file converter. Without arguments it opens its
// wizard; with a help file it converts that file into the current folder (a
// printable document or, as the ini options say, a help project), showing
// its progress dialog when there is a display and writing to the terminal
// when there is none.
#include <cstdio>
#include <string>

#include "converter/shell.h"
#include "platform/core/codepage.h"

#ifdef TAVRIN_CONVERTER_WINDOWS
#include <QApplication>

#include "converter/converter_strings.h"
#include "converter/ui/run.h"
#endif

int main(int argc, char** argv) {
    // The design takes the whole text after the program name; a path with
    // blanks arrives here as several arguments and is joined again.
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    const std::string commandLine = plat::Utf8ToAnsi(line);
#ifdef TAVRIN_CONVERTER_WINDOWS
    if (conv::ui::DisplayAvailable()) {
        QApplication app(argc, argv);
        return conv::ui::RunConverterWindows(commandLine);
    }
#endif
    return conv::RunConverter(commandLine, stdout, stderr);
}
