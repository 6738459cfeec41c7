// Stands in for the outside programs in the tests: appends one line to the
// file named by TAVRIN_FAKE_LOG — its own name, its working folder and its
// arguments, separated by "|" — and ends with the exit code in
// TAVRIN_FAKE_EXIT (0 when unset).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* log = std::getenv("TAVRIN_FAKE_LOG");
    if (log) {
        std::string line = std::filesystem::path(argv[0]).filename().string() + "|" +
                           std::filesystem::current_path().string();
        for (int i = 1; i < argc; ++i) line += std::string("|") + argv[i];
        std::ofstream(log, std::ios::app) << line << "\n";
    }
    const char* code = std::getenv("TAVRIN_FAKE_EXIT");
    return code ? std::atoi(code) : 0;
}
