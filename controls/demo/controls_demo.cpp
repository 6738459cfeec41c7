// Shows one demo form of the controls and writes what it looks like.
// Usage: controls_demo --form NAME [--out DIR]   (DIR defaults to ".")
//        controls_demo --form NAME --screenshot FILE   (the form's pictures: the one
//            named after the form as FILE, each other beside it as FILE's name,
//            "-" and the picture's name)
//        controls_demo --list
// Under a display-less session: xvfb-run -a controls_demo --form picture

#include "controls/demo/demo_forms.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

namespace demo {

std::vector<DemoForm>& Registry() {
    static std::vector<DemoForm> forms;
    return forms;
}
void RegisterDemoForm(DemoForm form) { Registry().push_back(std::move(form)); }
const std::vector<DemoForm>& DemoForms() { return Registry(); }

bool SaveWithFloatingWindow(gui::TControl* form, gui::TControl* floating, const std::string& file) {
    gui::TBitmap shot, list;
    guitest::Grab(form, shot);
    guitest::Grab(floating, list);
    if (!shot.Image() || !list.Image()) return false;
    // Grabs hold device pixels (twice as many at a scale factor of 2):
    // both are put together in those, at the list's place scaled alike.
    QImage form_ = *shot.Image(), list_ = *list.Image();
    const qreal scale = form_.devicePixelRatio();
    form_.setDevicePixelRatio(1);
    list_.setDevicePixelRatio(1);
    const gui::TPoint origin = form->ClientToScreen({0, 0});
    const int x = qRound((floating->Left() - origin.x) * scale), y = qRound((floating->Top() - origin.y) * scale);
    QImage canvas(std::max(form_.width(), x + list_.width()), std::max(form_.height(), y + list_.height()),
                  QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    p.drawImage(0, 0, form_);
    p.drawImage(x, y, list_);
    p.end();
    return canvas.save(QString::fromStdString(file), "PNG");
}

}  // namespace demo

int main(int argc, char** argv) {
    std::string name, out = ".", screenshot;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--form") && i + 1 < argc) name = argv[++i];
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) out = argv[++i];
        else if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) screenshot = argv[++i];
        else if (!std::strcmp(argv[i], "--list")) list = true;
    }
    if (list || name.empty()) {
        std::printf("Usage: controls_demo --form NAME [--out DIR | --screenshot FILE]\nForms:\n");
        for (const auto& f : demo::DemoForms()) std::printf("  %-12s %s\n", f.name.c_str(), f.description.c_str());
        return name.empty() && !list ? 2 : 0;
    }
    for (const auto& f : demo::DemoForms()) {
        if (f.name != name) continue;
        namespace fs = std::filesystem;
        // A screenshot is the first picture the form writes, in a folder of its own.
        const fs::path shots = fs::temp_directory_path() / ("controls_demo_shot_" + name);
        if (!screenshot.empty()) {
            fs::remove_all(shots);
            out = shots.string();
        }
        fs::create_directories(out);
        gui::InitApplication(argc, argv);
        int code = f.run(out);
        gui::DoneApplication();
        if (!screenshot.empty()) {
            std::set<fs::path> pngs;
            for (const auto& e : fs::directory_iterator(shots))
                if (e.path().extension() == ".png") pngs.insert(e.path());
            // The picture named after the form is the screenshot; a form that
            // shows more (a dialog it opens) keeps the others beside it.
            fs::path main = pngs.empty() ? fs::path() : *pngs.begin();
            for (const fs::path& p : pngs)
                if (p.stem() == name) main = p;
            const fs::path target(screenshot);
            std::error_code ec;
            bool ok = !pngs.empty();
            for (const fs::path& p : pngs) {
                const fs::path to = p == main ? target
                                              : target.parent_path() / (target.stem().string() + "-" +
                                                                        p.stem().string() + target.extension().string());
                if (fs::copy_file(p, to, fs::copy_options::overwrite_existing, ec)) std::printf("screenshot %s\n", to.c_str());
                else ok = false;
            }
            if (!ok) {
                std::fprintf(stderr, "controls_demo: no picture for %s\n", screenshot.c_str());
                code = code ? code : 1;
            }
            fs::remove_all(shots, ec);
        }
        return code;
    }
    std::fprintf(stderr, "controls_demo: no form named \"%s\" (try --list)\n", name.c_str());
    return 2;
}
