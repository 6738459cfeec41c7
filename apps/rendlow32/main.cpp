// Rendlow32, the help-file converter.
#include <cstdio>

int main(int, char**) {
    std::printf(
        "Rendlow32 0.1\n"
        "Conversion of help files is not available yet in this build.\n");
    return 1;
}
