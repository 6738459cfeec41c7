// Shows one demo form of the controls and writes what it looks like.
// Usage: controls_demo --form NAME [--out DIR]   (DIR defaults to ".")
//        controls_demo --list
// Under a display-less session: xvfb-run -a controls_demo --form picture

#include "controls/demo/demo_forms.h"
#include "platform/gui/forms.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace demo {

std::vector<DemoForm>& Registry() {
    static std::vector<DemoForm> forms;
    return forms;
}
void RegisterDemoForm(DemoForm form) { Registry().push_back(std::move(form)); }
const std::vector<DemoForm>& DemoForms() { return Registry(); }

}  // namespace demo

int main(int argc, char** argv) {
    std::string name, out = ".";
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--form") && i + 1 < argc) name = argv[++i];
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) out = argv[++i];
        else if (!std::strcmp(argv[i], "--list")) list = true;
    }
    if (list || name.empty()) {
        std::printf("Usage: controls_demo --form NAME [--out DIR]\nForms:\n");
        for (const auto& f : demo::DemoForms()) std::printf("  %-12s %s\n", f.name.c_str(), f.description.c_str());
        return name.empty() && !list ? 2 : 0;
    }
    for (const auto& f : demo::DemoForms()) {
        if (f.name != name) continue;
        std::filesystem::create_directories(out);
        gui::InitApplication(argc, argv);
        const int code = f.run(out);
        gui::DoneApplication();
        return code;
    }
    std::fprintf(stderr, "controls_demo: no form named \"%s\" (try --list)\n", name.c_str());
    return 2;
}
