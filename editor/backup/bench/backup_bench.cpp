// The backup of a 1,000-page project as a user meets it (the command from
// its first copy to the synced archive in place), its two phases alone
// (copying the project's rows into work tables; archiving their files), and
// in the same run the peers: tar piped into gzip -6 and a sync of the result
// on the same files, and zlib at level 6 in memory beside LZHCompress. Each
// figure is the median of repetitions after a warm-up; the summary gives the
// whole backup against its goal of 250 ms and the ratios to the peers.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
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
#include "engine/api/dbi_api.h"

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
        // The fill is set-up, not measured: its tables are not synced. The
        // folder is durable again before anything is timed.
        qv::DbiSetScratchFolder(home.c_str(), true);
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
        qv::DbiSetScratchFolder(home.c_str(), false);
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

// The archiving phase alone, up to the synced archive in place.
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

// The whole command, headless: work folder, copies, archive, clean-up.
void WholeBackup(benchmark::State& state) {
    Files& f = TheFiles();
    const std::string target = (f.folder / "target").string();
    fs::create_directories(target);
    backup::BackupUi ui;
    ui.showDialog = [&](backup::BackupDialogState& s) {
        s.folder = target;
        return true;
    };
    for (auto _ : state)
        if (backup::BackupProject(*f.ctx, ui) != backup::BackupOutcome::Written) state.SkipWithError("no backup");
}

// The same files through tar and gzip -6, the result synced as the archive is.
void TarGzip(benchmark::State& state) {
    Files& f = TheFiles();
    std::string cmd = "tar -cf - -C '" + (f.folder / "work").string() + "'";
    for (const auto& n : f.names) cmd += " '" + fs::path(n).filename().string() + "'";
    const std::string out = (f.folder / "peer.tgz").string();
    cmd += " | gzip -6 > '" + out + "' && sync '" + out + "'";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("tar | gzip failed");
}

void InMemory(benchmark::State& state) {
    Files& f = TheFiles();
    for (auto _ : state)
        for (const auto& b : f.bytes) benchmark::DoNotOptimize(lzh::LZHCompress(b));
}

void ZlibInMemory(benchmark::State& state) {
    Files& f = TheFiles();
    for (auto _ : state)
        for (const auto& b : f.bytes) {
            uLongf size = compressBound(static_cast<uLong>(b.size()));
            std::string out(size, '\0');
            if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(b.data()),
                          static_cast<uLong>(b.size()), 6) != Z_OK)
                state.SkipWithError("zlib failed");
            benchmark::DoNotOptimize(out);
        }
}

class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                ms[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};


}  // namespace

int main(int argc, char** argv) {
    const std::pair<const char*, void (*)(benchmark::State&)> benches[] = {
        {"backup/whole_1000_pages", WholeBackup},
        {"backup/table_copy", TableCopy},
        {"backup/archive_files", Archive},
        {"peer/tar_gzip6_sync", TarGzip},
        {"backup/LZHCompress_in_memory", InMemory},
        {"peer/zlib6_in_memory", ZlibInMemory},
    };
    for (const auto& [name, fn] : benches)
        benchmark::RegisterBenchmark(name, fn)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->MinWarmUpTime(0.2)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    {
        const Files& f = TheFiles();
        std::size_t total = 0;
        for (std::size_t i = 0; i < f.names.size(); ++i) {
            std::printf("archived: %-14s %9zu bytes\n", fs::path(f.names[i]).filename().c_str(), f.bytes[i].size());
            total += f.bytes[i].size();
        }
        std::printf("archived: %zu files, %zu bytes\n", f.names.size(), total);
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto t = [&](const char* n) { return reporter.ms[n]; };
    const double whole = t("backup/whole_1000_pages"), copy = t("backup/table_copy"), arch = t("backup/archive_files");
    const double tar = t("peer/tar_gzip6_sync"), lzhMem = t("backup/LZHCompress_in_memory");
    const double zlibMem = t("peer/zlib6_in_memory");
    std::printf("\nmedians, real time\n");
    if (whole > 0) std::printf("%-44s %8.1f ms (goal < 250)\n", "whole backup", whole);
    if (copy > 0 && arch > 0) std::printf("%-44s %8.1f + %.1f ms\n", "table copy + archive, each alone", copy, arch);
    if (whole > 0 && tar > 0) std::printf("%-44s %8.2f\n", "whole backup / tar|gzip-6+sync", whole / tar);
    if (arch > 0 && tar > 0) std::printf("%-44s %8.2f\n", "archive alone / tar|gzip-6+sync", arch / tar);
    if (lzhMem > 0 && zlibMem > 0) std::printf("%-44s %8.2f\n", "LZH in memory / zlib-6 in memory", lzhMem / zlibMem);
    if (arch > 0 && lzhMem > 0) std::printf("%-44s %8.2f\n", "archive alone / LZH in memory", arch / lzhMem);
    benchmark::Shutdown();
    return 0;
}
