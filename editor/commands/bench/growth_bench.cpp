// How the project commands grow with the project: EUDORA.hlp converted once,
// then its topics repeated to 1, 4 and 16 times (copy c renames every
// context string X to X_gc, in the topics' # footnotes, in the jumps that
// name them and in the help project's map), and each size imported, built,
// exported as HTML and backed up in a program folder of its own. The sizes
// run in turns after a warm-up of the smallest (a round: 1x three times, 4x,
// 16x); each step's median over the rounds (--rounds=N, default 3) is
// printed, and 16x / 1x per step: a linear step gives 16, the goal is 20 or
// less.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "editor/backup/backup_project.h"
#include "helpbuild/build_driver.h"
#include "helpbuild/html_export.h"
#include "helpbuild/import_project.h"
#include "helpbuild/tables/table_build_project.h"
#include "helpbuild/tables/table_html_export.h"
#include "platform/core/process.h"
#include "project/editor_context.h"
#include "project/helpers.h"
#include "project/tests/editor_test_support.h"
#include "tests/support/bench_rounds.h"

namespace {

namespace fs = std::filesystem;

const std::string kHelp = std::string(TAVRIN_CORPUS_DIR) + "/hlp/EUDORA.hlp";
constexpr int kSizes[] = {1, 4, 16};
const char* const kSteps[] = {"import", "build", "HTML export", "backup"};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::string& s) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << s;
}

bool ContextChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-';
}

// The context strings the topics define: the text of each # footnote.
std::set<std::string> ContextStrings(const std::string& rtf) {
    std::set<std::string> names;
    const std::string mark = "#{\\footnote";
    for (std::size_t at = rtf.find(mark); at != std::string::npos; at = rtf.find(mark, at + 1)) {
        std::size_t i = at + mark.size();
        if (rtf.compare(i, 3, "{#}") == 0) i += 3;
        while (i < rtf.size() && (rtf[i] == ' ' || rtf[i] == '#')) ++i;
        std::size_t end = i;
        while (end < rtf.size() && ContextChar(rtf[end])) ++end;
        if (end > i) names.insert(rtf.substr(i, end - i));
    }
    return names;
}

// The topics with every known context string renamed where a footnote
// defines it or a jump names it ("{\v name}", "{\v name>window}", "{\v name@file}").
std::string Renamed(const std::string& body, const std::set<std::string>& names, const std::string& suffix) {
    std::string out;
    out.reserve(body.size() + body.size() / 20);
    std::size_t at = 0;
    while (at < body.size()) {
        std::size_t start = std::string::npos;
        for (const char* mark : {"#{\\footnote", "{\\v "}) {
            const std::size_t f = body.find(mark, at);
            if (f < start) start = f;
        }
        if (start == std::string::npos) {
            out.append(body, at, std::string::npos);
            break;
        }
        std::size_t i = start + (body.compare(start, 4, "{\\v ") == 0 ? 4 : 11);
        if (body.compare(i, 3, "{#}") == 0) i += 3;
        while (i < body.size() && (body[i] == ' ' || body[i] == '#')) ++i;
        std::size_t end = i;
        while (end < body.size() && ContextChar(body[end])) ++end;
        out.append(body, at, end - at);
        if (end > i && names.count(body.substr(i, end - i))) out += suffix;
        at = end > start ? end : start + 1;
    }
    return out;
}

// The converted project of `copies` times the topics, in `dir`.
void MakeCopies(const fs::path& converted, const fs::path& dir, int copies) {
    fs::remove_all(dir);
    fs::copy(converted, dir);
    const fs::path rtfPath = dir / "EUDORA.RTF", hpjPath = dir / "EUDORA.HPJ";
    const std::string rtf = ReadAll(rtfPath);
    const std::size_t bodyAt = rtf.find("\\pard"), endAt = rtf.rfind('}');
    if (bodyAt == std::string::npos || endAt == std::string::npos || endAt < bodyAt) {
        std::fprintf(stderr, "bench_growth: the converted RTF has no topics\n");
        std::exit(1);
    }
    const std::string head = rtf.substr(0, bodyAt), body = rtf.substr(bodyAt, endAt - bodyAt);
    const std::set<std::string> names = ContextStrings(body);
    if (copies == 1) std::printf("context strings renamed per copy: %zu\n", names.size());
    std::string bigger = head + body;
    std::string hpj = ReadAll(hpjPath);
    std::string map;
    const std::size_t mapAt = hpj.find("[Map]");
    for (int c = 1; c < copies; ++c) {
        const std::string suffix = "_g" + std::to_string(c);
        bigger += "\\page\n" + Renamed(body, names, suffix);
        // Each copy's help ids lie past all earlier ones.
        if (mapAt != std::string::npos) {
            std::size_t line = hpj.find('\n', mapAt);
            while (line != std::string::npos && line + 1 < hpj.size() && hpj[line + 1] != '[') {
                const std::size_t next = hpj.find('\n', line + 1);
                const std::string text = hpj.substr(line + 1, next == std::string::npos ? std::string::npos : next - line - 1);
                char name[256];
                long id = 0;
                if (std::sscanf(text.c_str(), "#define %255s %ld", name, &id) == 2 && names.count(name))
                    map += "#define " + std::string(name) + suffix + " " + std::to_string(id + 1000000L * c) + "\r\n";
                line = next;
            }
        }
    }
    WriteAll(rtfPath, bigger + "}");
    if (mapAt != std::string::npos) {
        const std::size_t after = hpj.find('\n', mapAt);
        hpj.insert(after == std::string::npos ? hpj.size() : after + 1, map);
        WriteAll(hpjPath, hpj);
    }
}

double Ms(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Processor time of each step, beside the wall-clock times RunSize answers.
std::vector<double> g_cpu;

// One size through the four steps in a fresh program folder; the step
// times in ms, or an empty list when a step failed.
std::vector<double> RunSize(const fs::path& source, int copies) {
    edtest::ProgramFolder folder;
    editor::EditorContext ctx;
    ctx.ProgramDir = folder.dir;
    ctx.BindAlias();
    ctx.OpenTables();
    std::vector<double> ms;
    const std::string app = "Growth";

    g_cpu.clear();
    double cpu0 = benchrounds::CpuMs();
    auto t0 = std::chrono::steady_clock::now();
    int pages = 0;
    {
        build::ImportSession session(ctx, build::ImportEnvironment{});
        const fs::path temp = plat::NativePath(session.TempFolder());
        fs::remove_all(temp);
        fs::copy(source, temp);
        build::ImportFields f;
        f.hpjPath = (temp / "EUDORA.HPJ").string();
        f.application = app;
        f.fileName = "EUDORA";
        f.helpTitle = "Eudora";
        f.directory = folder.dir + "/proj";
        if (!session.Finish(f)) return {};
        pages = static_cast<int>(session.Pages().size());
    }
    ms.push_back(Ms(t0));
    g_cpu.push_back(benchrounds::CpuMs() - cpu0);

    ctx.mainTable->First();
    build::TableBuildProject project(ctx);
    build::BuildEnvironment env;
    cpu0 = benchrounds::CpuMs();
    t0 = std::chrono::steady_clock::now();
    if (build::WriteProjectFiles(project, env) != build::BuildOutcome::Written) return {};
    ms.push_back(Ms(t0));
    g_cpu.push_back(benchrounds::CpuMs() - cpu0);

    cpu0 = benchrounds::CpuMs();
    t0 = std::chrono::steady_clock::now();
    {
        build::TableHtmlExport exp(ctx);
        exp.SelectProject(app);
        exp.AssignHtmlFileNames(false, false);
        build::HtmlExportOptions o;
        const fs::path out = fs::path(folder.dir) / "html";
        fs::create_directories(out / "Images");
        o.project = app;
        o.outputDir = out.string();
        o.gifDir = (out / "Images").string();
        o.projectFolder = o.pictureFolder = folder.dir + "/proj";
        build::NullProgress progress;
        build::HtmlExportLog log;
        if (build::ExportHtmlPages(exp, o, progress, log).pages != pages) return {};
    }
    ms.push_back(Ms(t0));
    g_cpu.push_back(benchrounds::CpuMs() - cpu0);

    backup::BackupUi ui;
    ui.showDialog = [&](backup::BackupDialogState& s) {
        s.folder = folder.dir;
        return true;
    };
    cpu0 = benchrounds::CpuMs();
    t0 = std::chrono::steady_clock::now();
    if (backup::BackupProject(ctx, ui) != backup::BackupOutcome::Written) return {};
    ms.push_back(Ms(t0));
    g_cpu.push_back(benchrounds::CpuMs() - cpu0);
    ms.push_back(pages);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = benchrounds::RoundsFromArgs(argc, argv, 3);
    // --only=N runs one size once (for a profiler) and prints its step times.
    int only = 0;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--only=", 0) == 0) only = std::atoi(argv[i] + 7);
    const fs::path work = fs::temp_directory_path() / ("tavrin-bench-growth-" + std::to_string(::getpid()));
    fs::create_directories(work);
    int status = 0;
    {
        edtest::ProgramFolder setup;
        editor::WriteConverterIni();
        ::setenv("TAVRIN_HOME", setup.dir.c_str(), 1);
        const fs::path converted = work / "converted";
        fs::create_directories(converted);
        if (plat::RunAndWait({RENDLOW32_PROGRAM, kHelp}, converted.string()) != 2) {
            std::fprintf(stderr, "bench_growth: %s could not be converted\n", kHelp.c_str());
            return 1;
        }
        for (int copies : kSizes) MakeCopies(converted, work / ("x" + std::to_string(copies)), copies);
    }

    if (only > 0) {
        const std::vector<double> ms = RunSize(work / ("x" + std::to_string(only)), only);
        for (std::size_t s = 0; s < 4 && s < ms.size(); ++s)
            std::printf("%-12s %9.1f ms, processor %9.1f ms\n", kSteps[s], ms[s], g_cpu[s]);
        fs::remove_all(work);
        return ms.empty() ? 1 : 0;
    }
    // times[size][step] over the rounds; a warm-up of the smallest first.
    std::map<int, std::vector<std::vector<double>>> times, cpu;
    std::map<int, int> pages;
    if (RunSize(work / "x1", 1).empty()) status = 1;
    for (int round = 0; round < rounds && status == 0; ++round) {
        // The smallest size is cheap and the most moved by a busy disk: three runs a round.
        for (int copies : {1, 1, 1, 4, 16}) {
            const std::vector<double> ms = RunSize(work / ("x" + std::to_string(copies)), copies);
            if (ms.empty()) {
                std::fprintf(stderr, "bench_growth: a step failed at %dx\n", copies);
                status = 1;
                break;
            }
            auto& per = times[copies];
            auto& perCpu = cpu[copies];
            per.resize(4);
            perCpu.resize(4);
            for (int s = 0; s < 4; ++s) {
                per[s].push_back(ms[s]);
                perCpu[s].push_back(g_cpu[s]);
            }
            pages[copies] = static_cast<int>(ms[4]);
        }
    }
    if (status == 0) {
        std::printf("%-12s", "step");
        for (int copies : kSizes) std::printf(" %6dx (%5d pages)", copies, pages[copies]);
        std::printf("   16x/1x\n");
        for (int s = 0; s < 4; ++s) {
            std::printf("%-12s", kSteps[s]);
            for (int copies : kSizes) std::printf(" %17.1f ms", benchrounds::Median(times[copies][s]));
            std::printf("   %6.1f (goal <= 20; processor time %.1f)\n",
                        benchrounds::Median(times[16][s]) / benchrounds::Median(times[1][s]),
                        benchrounds::Median(cpu[16][s]) / benchrounds::Median(cpu[1][s]));
        }
        std::printf("medians of %d rounds (1x: of %d runs)\n", rounds, 3 * rounds);
    }
    fs::remove_all(work);
    return status;
}
