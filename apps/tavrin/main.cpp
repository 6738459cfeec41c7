// Tavrin, the help-authoring program.
#include <cstdio>

int main(int, char**) {
    std::printf(
        "Tavrin 0.1\n"
        "The help-authoring window is not available yet: this build holds the\n"
        "platform layer only. Run scripts/test.sh to exercise what exists.\n");
    return 0;
}
