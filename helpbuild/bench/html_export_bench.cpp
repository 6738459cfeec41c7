// Exporting a 1,000-page project of real topic texts (the corpus help
// project's topics, each a page, with jumps between them) as HTML, in one
// run, against the text engine's HTML writer alone writing the same pages
// to files; goal: the export takes at most 3 times as long. Both sides write
// each iteration into a new empty folder and each file the same way (through
// the export's folder object: a temporary file renamed). The export
// runs on the project tables (names, links found through the export table)
// and on plain rows. Each is the median of five iterations.
//
// Growth: the same topics repeated to 1,000 and to 16,000 pages (context
// strings renamed per copy, jumps within the copy) exported on plain rows in
// the same run, after one warm-up export each, in turns (medians of nine
// and of three); a linear export gives 16, the goal is at most 20.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "helpbuild/html_export.h"
#include "helpbuild/tables/table_html_export.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "richtext/io/html_writer.h"
#include "helpbuild/bench/corpus_topics.h"
#include "richtext/view/rtf_text_io.h"

namespace {

namespace fs = std::filesystem;

double g_writer = 0, g_tables = 0, g_memory = 0, g_rows = 0;
double g_grow1000 = 0, g_grow16000 = 0;
constexpr int kPages = 1000;

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The median of a run's iterations: a disk busy with other work for a
// moment moves one iteration, not the result.
double Median(std::vector<double> times) {
    if (times.empty()) return 0;
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}
constexpr int kIterations = 5;

// The corpus project's topics as page memos, each with three jumps to other
// pages (by help id, by context string, one to a window) added at its end.
const std::vector<std::string>& Memos() {
    static const std::vector<std::string> memos = [] {
        std::vector<std::string> topics = benchtopics::CorpusTopicTexts(TAVRIN_CORPUS_DIR);
        std::vector<std::string> out;
        for (int i = 0; !topics.empty() && static_cast<int>(out.size()) < kPages; ++i) {
            const int a = (i * 7) % kPages + 1, b = (i * 13) % kPages + 1;
            std::string jumps = "\\par See {\\uldb page " + std::to_string(a) + "}{\\v " + std::to_string(a) +
                                "}, {\\uldb topic}{\\v topic" + std::to_string(b) + "} and {\\uldb more}{\\v topic" +
                                std::to_string(a) + ">main}.\\par }";
            richtext::TJDRTFTextIo e;
            e.LoadFromString(topics[static_cast<std::size_t>(i) % topics.size()] + jumps);
            out.push_back(e.SaveToString());
        }
        return out;
    }();
    return memos;
}

// Every export, and every pass of the writer alone, writes into a folder of
// its own, made before the time is taken; all of them are removed when the
// run is over. Removing thousands of files while the next pass writes would
// put the disk's work of freeing them (discards on this machine's file
// system) into that pass's time, and into the short passes most.
fs::path BenchHome() { return fs::temp_directory_path() / "tavrin-bench-html"; }

fs::path FreshOutput() {
    static int n = 0;
    const fs::path out = BenchHome() / ("out" + std::to_string(++n));
    fs::create_directories(out / "Images");
    return out;
}

build::HtmlExportOptions Options(const fs::path& out) {
    build::HtmlExportOptions o;
    o.project = "Bench";
    o.outputDir = out.string();
    o.gifDir = (out / "Images").string();
    o.projectFolder = o.pictureFolder = BenchHome().string();
    return o;
}

void BM_HtmlWriterAlone(benchmark::State& state) {
    if (Memos().empty()) return state.SkipWithError("corpus files missing");
    std::vector<double> times;
    for (auto _ : state) {
        const fs::path out = FreshOutput();
        auto t0 = std::chrono::steady_clock::now();
        build::ExactCaseFolder folder(out.string());
        int i = 0;
        for (const std::string& m : Memos()) {
            richtext::TJDRTFTextIo e;
            // As the export loads a page: its linked pictures are not read.
            e.services.OnProvideObject = [](auto&&...) {};
            e.LoadFromString(m);
            richtext::TJDHTMLWriter w(&e);
            w.anchorMarks = w.pointSizes = true;
            std::ostringstream out;
            e.SaveWithWriter(w, out);
            if (!folder.Write("p" + std::to_string(++i) + ".htm", out.str()))
                return state.SkipWithError("the writer's file could not be written");
        }
        times.push_back(Seconds(t0));
    }
    g_writer = Median(times);
}
BENCHMARK(BM_HtmlWriterAlone)->Unit(benchmark::kMillisecond)->Iterations(kIterations);

void BM_ExportOnTables(benchmark::State& state) {
    if (Memos().empty()) return state.SkipWithError("corpus files missing");
    const fs::path program = BenchHome() / "program";
    fs::create_directories(program);
    auto driver = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver);
    {
        editor::InstallProjectTables(program.string());
        editor::EditorContext ctx;
        ctx.ProgramDir = program.string();
        ctx.BindAlias();
        ctx.OpenTables();
        ctx.mainTable->Append();
        ctx.mainTable->FieldByName("Application")->SetAsString("Bench");
        ctx.mainTable->Post();
        for (int i = 0; i < static_cast<int>(Memos().size()); ++i) {
            db::TDataSet* d = ctx.detailTable;
            d->Append();
            d->FieldByName("HelpId")->SetAsInteger(i + 1);
            d->FieldByName("TopicPopup")->SetAsString("T");
            d->FieldByName("ContextString")->SetAsString("topic" + std::to_string(i + 1));
            d->FieldByName("Title")->SetAsString("Topic " + std::to_string(i + 1));
            d->FieldByName("Keys")->SetAsString("bench;topic");
            d->FieldByName("HelpText")->SetAsString(Memos()[static_cast<std::size_t>(i)]);
            d->Post();
        }
        build::TableHtmlExport exp(ctx);
        exp.SelectProject("Bench");
        exp.AssignHtmlFileNames(false, false);
        std::vector<double> times;
        std::size_t problems = 0;
        for (auto _ : state) {
            build::NullProgress progress;
            build::HtmlExportLog log;
            const build::HtmlExportOptions options = Options(FreshOutput());
            auto t0 = std::chrono::steady_clock::now();
            if (build::ExportHtmlPages(exp, options, progress, log).pages != static_cast<int>(Memos().size()))
                return state.SkipWithError("the export failed");
            times.push_back(Seconds(t0));
            problems = log.Problems().size();
        }
        g_tables = Median(times);
        // The share of the export that is reading the pages' rows and memos.
        auto t0 = std::chrono::steady_clock::now();
        for (bool more = exp.First(); more; more = exp.Next()) benchmark::DoNotOptimize(exp.Current(true));
        g_rows = Seconds(t0);
        state.counters["unresolved"] = static_cast<double>(problems);
    }
    db::Session().SetDriver(nullptr);
}
BENCHMARK(BM_ExportOnTables)->Unit(benchmark::kMillisecond)->Iterations(kIterations);

void BM_ExportOnRows(benchmark::State& state) {
    if (Memos().empty()) return state.SkipWithError("corpus files missing");
    build::MemoryHtmlPages pages;
    std::vector<build::HtmlNameSource> sources;
    for (int i = 0; i < static_cast<int>(Memos().size()); ++i)
        sources.push_back({"topic" + std::to_string(i + 1), "Topic", i + 1});
    const std::vector<std::string> names = build::AssignHtmlFileNames(sources, false);
    for (int i = 0; i < static_cast<int>(Memos().size()); ++i) {
        build::HtmlExportRow r;
        r.name = names[static_cast<std::size_t>(i)];
        r.helpId = i + 1;
        r.contextString = sources[static_cast<std::size_t>(i)].contextString;
        r.topicPopup = "T";
        r.keys = "bench;topic";
        r.helpText = Memos()[static_cast<std::size_t>(i)];
        pages.rows.push_back(r);
    }
    std::vector<double> times;
    for (auto _ : state) {
        build::NullProgress progress;
        build::HtmlExportLog log;
        const build::HtmlExportOptions options = Options(FreshOutput());
        auto t0 = std::chrono::steady_clock::now();
        build::ExportHtmlPages(pages, options, progress, log);
        times.push_back(Seconds(t0));
    }
    g_memory = Median(times);
}
BENCHMARK(BM_ExportOnRows)->Unit(benchmark::kMillisecond)->Iterations(kIterations);

// `count` pages: copies of one 1,000-page set made of the corpus topics, so
// that 16,000 pages are that set sixteen times and nothing but the count
// differs; copy c's context strings are "c<c>t<i>", each page jumping to two
// pages of its own copy by context string and one by help id.
build::MemoryHtmlPages GrowthPages(int count) {
    const std::vector<std::string> topics = benchtopics::CorpusTopicTexts(TAVRIN_CORPUS_DIR);
    build::MemoryHtmlPages pages;
    if (topics.empty()) return pages;
    constexpr int perCopy = 1000;
    std::vector<build::HtmlNameSource> sources;
    for (int i = 0; i < count; ++i)
        sources.push_back({"c" + std::to_string(i / perCopy) + "t" + std::to_string(i % perCopy), "Topic", i + 1});
    const std::vector<std::string> names = build::AssignHtmlFileNames(sources, true);
    for (int i = 0; i < count; ++i) {
        const int copy = i / perCopy, at = i % perCopy;
        const std::string a = "c" + std::to_string(copy) + "t" + std::to_string((at * 7 + 1) % perCopy);
        const std::string b = "c" + std::to_string(copy) + "t" + std::to_string((at * 13 + 2) % perCopy);
        const std::string id = std::to_string(copy * perCopy + (at * 3 + 1) % perCopy + 1);
        build::HtmlExportRow r;
        r.name = names[static_cast<std::size_t>(i)];
        r.helpId = i + 1;
        r.contextString = sources[static_cast<std::size_t>(i)].contextString;
        r.topicPopup = "T";
        r.title = "Topic " + std::to_string(i + 1);
        r.keys = "bench;topic";
        r.helpText = topics[static_cast<std::size_t>(at) % topics.size()] + "\\par See {\\uldb one}{\\v " + a + "}, {\\uldb two}{\\v " + b +
                     ">main} and {\\uldb three}{\\v " + id + "}.\\par }";
        pages.rows.push_back(std::move(r));
    }
    return pages;
}

// The two sizes are measured in turns (three 1,000-page exports, then one
// of 16,000, three times over), so that a machine busy with other work for
// a while weighs on both alike rather than on whichever ran then.
void BM_ExportGrowth(benchmark::State& state) {
    build::MemoryHtmlPages small = GrowthPages(1000), large = GrowthPages(16000);
    if (small.rows.empty()) return state.SkipWithError("corpus files missing");
    auto once = [&](build::MemoryHtmlPages& pages) {
        build::NullProgress progress;
        build::HtmlExportLog log;
        const build::HtmlExportOptions options = Options(FreshOutput());
        auto t0 = std::chrono::steady_clock::now();
        const build::HtmlExportResult r = build::ExportHtmlPages(pages, options, progress, log);
        const double t = Seconds(t0);
        return r.pages == pages.Count() ? t : -1.0;
    };
    if (once(small) < 0 || once(large) < 0) return state.SkipWithError("the export failed");  // warm-up
    std::vector<double> smallTimes, largeTimes;
    for (auto _ : state) {
        for (int i = 0; i < 3; ++i) smallTimes.push_back(once(small));
        largeTimes.push_back(once(large));
    }
    for (double t : smallTimes)
        if (t < 0) return state.SkipWithError("the export failed");
    for (double t : largeTimes)
        if (t < 0) return state.SkipWithError("the export failed");
    g_grow1000 = Median(smallTimes);
    g_grow16000 = Median(largeTimes);
    state.counters["ms_per_page_1000"] = g_grow1000;  // seconds per 1,000 pages = ms per page
    state.counters["ms_per_page_16000"] = g_grow16000 / 16;
}
BENCHMARK(BM_ExportGrowth)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    fs::remove_all(BenchHome());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(BenchHome());
    std::printf("pages: %zu\n", Memos().size());
    if (g_writer > 0 && g_tables > 0)
        std::printf("export on tables / HTML writer alone: %.2f (goal <= 3; writer %.1f ms, export %.1f ms)\n",
                    g_tables / g_writer, g_writer * 1000, g_tables * 1000);
    if (g_rows > 0) std::printf("reading the export table's rows and memos alone: %.1f ms\n", g_rows * 1000);
    if (g_writer > 0 && g_memory > 0)
        std::printf("export on rows / HTML writer alone: %.2f (export %.1f ms)\n", g_memory / g_writer,
                    g_memory * 1000);
    if (g_grow1000 > 0 && g_grow16000 > 0)
        std::printf("growth 16000/1000 pages = %.1f (goal <= 20; linear 16; %.1f ms and %.1f ms)\n",
                    g_grow16000 / g_grow1000, g_grow1000 * 1000, g_grow16000 * 1000);
    return 0;
}
