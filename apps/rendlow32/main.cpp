// Rendlow32, the help-file converter: converts the help file named on the
// command line into the current folder (a printable document or, as the
// ini options say, a help project).
#include <cstdio>
#include <string>

#include "converter/shell.h"
#include "platform/core/codepage.h"

int main(int argc, char** argv) {
    // The design takes the whole text after the program name; a path with
    // blanks arrives here as several arguments and is joined again.
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return conv::RunConverter(plat::Utf8ToAnsi(line), stdout, stderr);
}
