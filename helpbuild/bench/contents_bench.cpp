// Reading a contents file into a project's contents rows (File › Read
// Contents, and the import's last step) on a program folder on disk, at
// 1,000 and 31,000 entries, each replacing as many rows already there.
// Prints the medians and the cost per row at 31,000 over the cost per row at
// 1,000: the work should grow with the rows, not faster (goal <= 2).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "helpbuild/contents/contents_tables.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/core/paths.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string CntText(int entries) {
    std::string text = ":Base demo.hlp\r\n:Title Demo\r\n";
    for (int i = 0; i < entries; ++i) {
        if (i % 10 == 0) text += "1 Book " + std::to_string(i) + "\r\n";
        else text += "2 Topic number " + std::to_string(i) + "=ctx_" + std::to_string(i) + "\r\n";
    }
    return text;
}

double MedianMs(std::vector<double> t) {
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

int main() {
    // Under the build folder rather than /tmp, which may be memory.
    const fs::path home = fs::current_path() / ("contents-bench-" + std::to_string(::getpid()));
    fs::create_directories(home);
    plat::SetDataHome(home.string());
    auto driver = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver);
    editor::InstallProjectTables(home.string());
    double perRow[2] = {};
    {
        editor::EditorContext ctx;
        ctx.ProgramDir = home.string();
        ctx.ProcessMessages = [] {};
        ctx.BindAlias();
        ctx.OpenTables();
        gui::ScriptedDialogService dialogs;
        gui::ScopedDialogService scope(dialogs);
        db::TDataSet* m = ctx.mainTable;
        m->Append();
        m->FieldByName("Application")->SetAsString("Demo");
        m->FieldByName("DosName")->SetAsString("demo");
        m->FieldByName("ProjectDir")->SetAsString("proj");
        m->Post();
        const int sizes[2] = {1000, 31000};
        for (int k = 0; k < 2; ++k) {
            const std::string file = (home / ("c" + std::to_string(sizes[k]) + ".cnt")).string();
            testsupport::WriteFileBytes(file, CntText(sizes[k]));
            build::ReadCntFileInto(ctx, file);  // warm: the rows every timed read replaces
            std::vector<double> t;
            for (int run = 0; run < 3; ++run) {
                dialogs.Answer(gui::IDYES);
                const auto a = std::chrono::steady_clock::now();
                if (!build::ReadCntFileInto(ctx, file)) {
                    std::fprintf(stderr, "the read failed\n");
                    return 1;
                }
                t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
            }
            const double ms = MedianMs(t);
            perRow[k] = ms / sizes[k];
            std::printf("%6d entries replacing as many: median %.0f ms (%.3f ms a row)\n", sizes[k], ms, perRow[k]);
        }
    }
    db::Session().SetDriver(nullptr);
    fs::remove_all(home);
    std::printf("cost a row at 31,000 / at 1,000: %.2f (goal <= 2)\n", perRow[1] / perRow[0]);
    return 0;
}
