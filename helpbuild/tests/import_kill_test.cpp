// An import killed at any moment: the next start shows the whole project or
// nothing of it (no row, pages, contents rows, folder or temporary folder),
// never pages without their contents. Each process below is one run of the
// program: it opens the tables as a start does, reports what it sees, and
// imports the next project until the test kills it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "helpbuild/contents/contents_tables.h"
#include "helpbuild/import_project.h"
#include "platform/core/dialog_service.h"
#include "platform/core/paths.h"
#include "project/editor_context.h"
#include "project/import_journal.h"
#include "project/project_tables.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

// What a start sees, sent to the test through a pipe.
struct Seen {
    std::int32_t projects = 0;       // project rows
    std::int32_t partial = 0;        // rows whose pages or contents rows differ from a whole import's
    std::int32_t orphanFolders = 0;  // project folders of a killed import with no row
    std::int32_t tempLeft = 0;       // the temporary folder or the journal is still there
    std::int32_t pages = 0;          // of the first project (the reference)
    std::int32_t contents = 0;
};

int RowsOf(const char* table, const std::string& project) {
    vl::TvlTable t(nullptr);
    t.DatabaseName = editor::kTavrinAlias;
    t.TableName = table;
    t.Open();
    int n = 0;
    for (t.First(); !t.Eof(); t.Next())
        if (t.FieldByName("Application")->AsString() == project) ++n;
    return n;
}

std::string ProjectName(int round) { return "Kill" + std::to_string(round); }

class ProgramRun {
public:
    explicit ProgramRun(const fs::path& root) : root_(root) {
        home_ = (root / "home").string();
        plat::SetDataHome(home_);
        driver_ = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver_);
    }
    void Install() {
        fs::create_directories(home_);
        editor::InstallProjectTables(home_);
    }
    // The start: the tables open, an interrupted import is cleared away.
    void Start() {
        ctx_.ProgramDir = home_;
        ctx_.BindAlias();
        ctx_.OpenTables();
        editor::ClearInterruptedImport(ctx_);
    }
    Seen Look(int rounds, const Seen& whole) {
        Seen s;
        std::set<std::string> rows;
        vl::TvlTable& main = *ctx_.mainTable;
        for (main.First(); !main.Eof(); main.Next()) rows.insert(main.FieldByName("Application")->AsString());
        s.projects = static_cast<std::int32_t>(rows.size());
        for (const std::string& p : rows) {
            const int pages = RowsOf(editor::kItemTableFile, p), contents = RowsOf(editor::kCntTableFile, p);
            if (p == "Whole") {
                s.pages = pages;
                s.contents = contents;
            } else if (pages != whole.pages || contents != whole.contents || !fs::exists(ProjectDir(p))) {
                ++s.partial;
            }
        }
        for (int r = 1; r <= rounds; ++r)
            if (!rows.count(ProjectName(r)) && fs::exists(ProjectDir(ProjectName(r)))) ++s.orphanFolders;
        s.tempLeft = fs::exists(fs::path(home_) / editor::kImportTempFolderName) ||
                     fs::exists(fs::path(home_) / "~KqImport.lst");
        return s;
    }
    // Imports the converted EUDORA.hlp as `name`; `convert` runs the real
    // converter once and keeps its output, later runs copy that output.
    bool Import(const std::string& name, bool convert, const std::function<void()>& begun) {
        gui::ScriptedDialogService dialogs;
        gui::ScopedDialogService scoped{dialogs};
        build::ImportEnvironment env = build::DefaultImportEnvironment();
        const fs::path kept = root_ / "converted";
        env.converterProgram = [] { return std::string(RENDLOW32_PROGRAM); };
        env.readCntFile = [](editor::EditorContext& c, const std::string& path) { return build::ReadCntFileInto(c, path); };
        auto real = env.run;
        env.run = [&](const std::vector<std::string>& argv, const std::string& folder) {
            if (convert) {
                const int rc = real(argv, folder);
                fs::copy(plat::NativePath(folder), kept, fs::copy_options::recursive);
                return rc;
            }
            fs::copy(kept, plat::NativePath(folder), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
            return 2;
        };
        build::ImportSession session(ctx_, env);
        build::ImportFields f;
        f.helpFile = (root_ / "EUDORA.hlp").string();
        if (!session.ConvertHelpFile(f)) return false;
        f.application = name;
        f.directory = ProjectDir(name);
        f.graphicsDir = f.directory + "/Graphics";
        begun();
        return session.Finish(f);
    }
    std::string ProjectDir(const std::string& name) const { return (root_ / "projects" / name).string(); }

private:
    fs::path root_;
    std::string home_;
    std::shared_ptr<db::TEngineDriver> driver_;
    editor::EditorContext ctx_;
};

void Send(int fd, const void* p, std::size_t n) {
    if (write(fd, p, n) != static_cast<ssize_t>(n)) _exit(9);
}
bool Receive(int fd, void* p, std::size_t n) { return read(fd, p, n) == static_cast<ssize_t>(n); }

int WaitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Kills() {
    const char* v = std::getenv("TAVRIN_IMPORT_KILLS");
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : 20;
}

TEST(ImportKilled, EveryStartShowsTheWholeProjectOrNothing) {
    TAVRIN_REQUIRE_CORPUS();
    testsupport::TempDir tmp;
    const fs::path root = tmp.path();
    fs::copy_file(testsupport::CorpusFile("hlp/EUDORA.hlp"), root / "EUDORA.hlp");
    fs::copy_file(testsupport::CorpusFile("hlp/Eudora.cnt"), root / "EUDORA.cnt");
    fs::create_directories(root / "projects");
    const char kBegun = 'b', kDone = 'd';

    // The first run installs the tables and imports one project whole: what
    // every import that was not killed must look like.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        ProgramRun run(root);
        run.Install();
        run.Start();
        const bool ok = run.Import("Whole", true, [&] { Send(fds[1], &kBegun, 1); });
        Send(fds[1], &kDone, 1);
        _exit(ok ? 0 : 3);
    }
    close(fds[1]);
    char c = 0;
    ASSERT_TRUE(Receive(fds[0], &c, 1) && c == kBegun);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Receive(fds[0], &c, 1) && c == kDone);
    // Kills fall at random moments of an import's own length.
    auto length = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    close(fds[0]);
    ASSERT_EQ(WaitFor(child), 0) << "the whole import failed";

    const int kills = Kills();
    std::mt19937 rng(11);
    Seen whole;
    int killedMidway = 0;
    for (int round = 0; round <= kills; ++round) {
        ASSERT_EQ(pipe(fds), 0);
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            ProgramRun run(root);
            run.Start();
            Seen s = run.Look(round, whole);
            Send(fds[1], &s, sizeof s);
            if (round < kills) {
                run.Import(ProjectName(round + 1), false, [&] { Send(fds[1], &kBegun, 1); });
                Send(fds[1], &kDone, 1);
            }
            _exit(0);
        }
        close(fds[1]);
        Seen s;
        ASSERT_TRUE(Receive(fds[0], &s, sizeof s)) << "round " << round << ": the start failed";
        if (round == 0) {
            whole = s;
            ASSERT_EQ(s.projects, 1);
            ASSERT_GT(s.pages, 900);
            ASSERT_GT(s.contents, 200);
        }
        EXPECT_EQ(s.partial, 0) << "round " << round << ": a project with pages but not all its contents";
        EXPECT_EQ(s.orphanFolders, 0) << "round " << round << ": a project folder without a project";
        EXPECT_EQ(s.tempLeft, 0) << "round " << round << ": the temporary folder or journal is left";
        if (round == kills) {
            ASSERT_EQ(WaitFor(child), 0);
            close(fds[0]);
            break;
        }
        ASSERT_TRUE(Receive(fds[0], &c, 1) && c == kBegun) << "round " << round;
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(0, length.count())(rng)));
        kill(child, SIGKILL);
        const bool finished = Receive(fds[0], &c, 1) && c == kDone;
        if (!finished) ++killedMidway;
        // An import that beat its kill ran faster than the first (a busy
        // machine slows some and not others): aim the next kills earlier.
        else length = length * 3 / 4;
        WaitFor(child);
        close(fds[0]);
    }
    // Most kills must land inside an import, or the test tests nothing.
    EXPECT_GE(killedMidway, kills / 2);
}

}  // namespace
