// Stands in for the help compilers and the help viewer in the tests. Named
// hcw or hcp it checks that the help project file names an existing,
// brace-balanced RTF file and writes the help file (or only an error log,
// also when TAVRIN_FAKE_HC_FAIL is set); named winhlp32 it notes what it was
// asked to show. Every run is logged beside the file it was given.
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Append(const fs::path& p, const std::string& line) { std::ofstream(p, std::ios::app) << line << "\n"; }

bool Balanced(const std::string& rtf) {
    long depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
        } else if (rtf[i] == '{') {
            ++depth;
        } else if (rtf[i] == '}' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

// The entry after "[FILES]".
std::string TopicFile(const std::string& hpj) {
    std::istringstream in(hpj);
    std::string line;
    bool files = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (files && !line.empty()) return line;
        if (line == "[FILES]") files = true;
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    std::string name = fs::path(argv[0]).stem().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string args;
    for (int i = 1; i < argc; ++i) args += std::string(i > 1 ? "|" : "") + argv[i];
    if (argc < 2) return 2;
    fs::path target = argv[argc - 1];
    if (name == "winhlp32") {
        Append(target.parent_path() / "viewer.log", args);
        return 0;
    }
    fs::path base = target;
    base.replace_extension();
    bool cnt = fs::exists(fs::path(base).concat(".cnt"));
    Append(target.parent_path() / "compiler.log",
           name + " " + args + " cwd=" + fs::current_path().string() + (cnt ? " cnt" : ""));
    std::string error;
    std::string hpj = Read(target);
    std::string rtf = TopicFile(hpj);
    if (hpj.empty()) error = "no project file";
    else if (rtf.empty() || !fs::exists(rtf)) error = "no topic file: " + rtf;
    else if (!Balanced(Read(rtf))) error = "unbalanced braces in " + rtf;
    else if (std::getenv("TAVRIN_FAKE_HC_FAIL")) error = "asked to fail";
    if (!error.empty()) {
        std::ofstream(fs::path(base).concat(".ERR")) << error << "\n";
        return 1;
    }
    std::ofstream(fs::path(base).concat(".HLP")) << "compiled from " << rtf << "\n";
    return 0;
}
