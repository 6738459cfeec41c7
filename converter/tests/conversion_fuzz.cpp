// Arbitrary bytes through the writers: once as one paragraph and one table
// record (commands and text taken from the input), once as a whole help
// file converted in both modes into a scratch folder. Damage may end in
// HelpFileError; a crash, a hang or a sanitizer report is a fault.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "converter/help_file.h"
#include "converter/project_writer.h"
#include "converter/rtf_head.h"
#include "converter/rtf_writer.h"
#include "converter/shell.h"
#include "converter/topic_stream.h"
#include "converter/topic_writer.h"

namespace {

// One scratch folder for the whole run, removed with everything in it when
// the process ends (the fuzzer ends it with exit()).
void EnterScratchFolder() {
    static bool done = false;
    if (done) return;
    done = true;
    char name[] = "/tmp/rendlow-fuzz-XXXXXX";
    if (!mkdtemp(name) || chdir(name) != 0) return;
    conv::RegisterScratchFolder(name);
    // Pictures of the printable runs go into private folders inside it.
    setenv("TEMP", name, 1);
}

void Records(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    const std::size_t half = size / 2;
    const std::string commands(reinterpret_cast<const char*>(data), half);
    const std::string text(reinterpret_cast<const char*>(data) + half, size - half);
    conv::HelpFile hf;
    hf.ownOptions.flags = conv::kJumps | conv::kPageLinks | (data[0] & 1 ? conv::kForPrint : 0);
    hf.state.fontCommands = {"\\f0\\ul"};
    hf.state.windowNames = {"w"};
    conv::RtfOutput out = conv::RtfOutput::Memory();
    const auto* c = reinterpret_cast<const std::uint8_t*>(commands.data());
    const auto* t = reinterpret_cast<const std::uint8_t*>(text.data());
    auto cl = static_cast<std::uint32_t>(commands.size());
    auto tl = static_cast<std::uint32_t>(text.size());
    conv::WriteParagraph(hf, out, t, tl, c, cl, 0, false, false);
    conv::WriteTable(hf, out, reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::uint32_t>(text.size()),
                     reinterpret_cast<const std::uint8_t*>(commands.data()), static_cast<std::uint32_t>(commands.size()),
                     0, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace conv;
    EnterScratchFolder();
    Records(data, size);
    for (ConversionFlags flags : {ApplyModeRule(0), kViewFlags | kPageBreak}) {
        try {
            auto hf = OpenHelpFileBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz.hlp", flags);
            if (!hf) continue;
            hf->ownOptions.wordProcessor = 3;
            RtfOutput project = RtfOutput::Memory();
            LoadContextTable(*hf);
            WriteProjectOptions(*hf, project);
            WriteProjectBitmaps(*hf, project);
            WriteProjectBaggage(*hf, project);
            WriteProjectMap(*hf, project);
            if (auto k = LoadKeywordIndex(*hf, hf->file.kwBtree, hf->file.kwData)) hf->state.kTable = std::move(*k);
            WriteFontTable(*hf, nullptr);
            RunCollectPass(*hf);
            WriteTopics(*hf, "fuzz", project, true);
            CloseHelpFile(std::move(hf));
        } catch (const HelpFileError&) {
        }
    }
    return 0;
}
