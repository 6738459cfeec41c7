// The forms the controls demo can show. Each family registers its own in
// its own source file; main picks one by name and the form writes its
// pictures (PNG) into the output folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace demo {

struct DemoForm {
    std::string name;
    std::string description;
    // Builds the form, writes its PNGs into outDir; the exit code.
    std::function<int(const std::string& outDir)> run;
};

void RegisterDemoForm(DemoForm form);
const std::vector<DemoForm>& DemoForms();

// Registers a form at start-up: `static demo::DemoRegistration r{{...}};`
struct DemoRegistration {
    explicit DemoRegistration(DemoForm form) { RegisterDemoForm(std::move(form)); }
};

}  // namespace demo
