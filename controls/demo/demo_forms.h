// The forms the controls demo can show. Each family registers its own in
// its own source file; main picks one by name and the form writes its
// pictures (PNG) into the output folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace gui {
class TControl;
}  // namespace gui

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

// Saves `form` as a PNG with `floating` (an open drop-down list, a window of
// its own that a grab of the form misses) drawn where it floats over it.
bool SaveWithFloatingWindow(gui::TControl* form, gui::TControl* floating, const std::string& file);

}  // namespace demo
