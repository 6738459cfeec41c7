// A backup's two phases on a 1,000-page project, reported apart: copying
// the project's rows into work tables, and archiving their files
// (directory, file reads, work files, the final join and rename) beside
// compressing the same bytes in memory with LZHCompress. The ratio printed
// at the end is what the archiver adds to the codec.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "project/progress.h"
#include "editor/backup/backup_project.h"
#include "editor/backup/lzh_batch.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "editor/lzh/lzh_compressor.h"

namespace {

namespace fs = std::filesystem;

// A program folder with the project tables holding a 1,000-page project
// (and a smaller second one the backup must leave out), and the work tables
// one backup copies from it: the files the archiver packs.
struct Files {
    fs::path folder;
    std::shared_ptr<db::TEngineDriver> driver;
    std::unique_ptr<editor::EditorContext> ctx;
    std::vector<std::string> names;
    std::vector<std::string> bytes;
    Files() {
        folder = fs::temp_directory_path() / ("tavrin-backup-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder / "home");
        const std::string home = (folder / "home").string();
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home;
        ctx->BindAlias();
        ctx->OpenTables();
        std::mt19937 rng(7);
        const char* words[] = {"topic", "jump", "popup", "keyword", "browse", "window", "context", "page", "help"};
        auto text = [&](std::size_t n) {
            std::string s;
            while (s.size() < n) s += std::string(words[rng() % 9]) + " " + std::to_string(rng() % 5000) + " ";
            return s;
        };
        for (auto [app, pages] : {std::pair{"Other", 100}, {"Bench", 1000}}) {
            db::TDataSet* m = ctx->mainTable;
            m->Append();
            m->FieldByName("Application")->SetAsString(app);
            m->FieldByName("DosName")->SetAsString("bench");
            m->FieldByName("HelpTitle")->SetAsString(std::string(app) + " Help");
            m->Post();
            db::TDataSet* d = ctx->detailTable;
            db::TDataSet* r = ctx->refIntegTable;
            db::TDataSet* c = ctx->cntTable;
            for (db::TDataSet* t : {r, c})
                if (!t->Active()) t->Open();
            for (int i = 1; i <= pages; ++i) {
                d->Append();
                d->FieldByName("Application")->SetAsString(app);
                d->FieldByName("HelpId")->SetAsInteger(i * 10);
                d->FieldByName("TopicPopup")->SetAsString("T");
                d->FieldByName("Title")->SetAsString("Page " + std::to_string(i));
                d->FieldByName("Keys")->SetAsString(text(40));
                d->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi\\plain " + text(1500) + "\\par}");
                d->Post();
                r->Append();
                r->FieldByName("Application")->SetAsString(app);
                r->FieldByName("HelpId")->SetAsInteger(i * 10);
                r->FieldByName("ReferencedBy")->SetAsInteger(i * 10 + 10);
                r->Post();
                c->Append();
                c->FieldByName("Application")->SetAsString(app);
                c->FieldByName("Sequence")->SetAsInteger(i);
                c->Post();
            }
        }
        // One copy for the archiving phases.
        const std::string work = (folder / "work").string();
        fs::create_directories(work);
        build::NullProgress progress;
        plat::StringList files;
        if (backup::CopyProjectTables(*ctx, "Bench", work, progress, files) != backup::CopyResult::Copied)
            std::fprintf(stderr, "bench_backup: the table copy failed\n");
        for (int i = 0; i < files.Count(); ++i) {
            names.push_back(plat::NativePath(files[i]));
            std::ifstream in(names.back(), std::ios::binary);
            bytes.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    ~Files() {
        ctx.reset();
        db::Session().SetDriver(nullptr);
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Files& TheFiles() {
    static Files f;
    return f;
}

// The copy phase alone: the project's rows into fresh work tables.
void TableCopy(benchmark::State& state) {
    Files& f = TheFiles();
    const std::string work = (f.folder / "copy").string();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(work);
        fs::create_directories(work);
        state.ResumeTiming();
        build::NullProgress progress;
        plat::StringList files;
        if (backup::CopyProjectTables(*f.ctx, "Bench", work, progress, files) != backup::CopyResult::Copied)
            state.SkipWithError("table copy failed");
    }
}

void Archive(benchmark::State& state) {
    Files& f = TheFiles();
    for (auto _ : state) {
        lzh::TLZHBatch batch;
        for (const auto& n : f.names) batch.InputFiles().Add(n);
        batch.SetArchiveFileName((f.folder / "bench.kqb").string());
        batch.CompressFiles();
        if (!batch.ValidArchive()) state.SkipWithError("no archive written");
    }
}

void InMemory(benchmark::State& state) {
    Files& f = TheFiles();
    for (auto _ : state)
        for (const auto& b : f.bytes) benchmark::DoNotOptimize(lzh::LZHCompress(b));
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        // One figure per benchmark: the median when runs are repeated.
        for (const Run& r : runs)
            if (r.aggregate_name.empty() || r.aggregate_name == "median")
                times[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("backup/table_copy_1000_pages", TableCopy)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("backup/archive_files", Archive)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("backup/LZHCompress_in_memory", InMemory)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double a = reporter.times["backup/archive_files"], m = reporter.times["backup/LZHCompress_in_memory"];
    const double c = reporter.times["backup/table_copy_1000_pages"];
    if (m > 0) std::printf("%-40s %.3f\n", "archiver / compressing in memory", a / m);
    if (a + c > 0) std::printf("%-40s %.3f\n", "table copy share of a backup", c / (a + c));
    benchmark::Shutdown();
    return 0;
}
