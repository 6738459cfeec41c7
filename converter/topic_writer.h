// The topic loop: every record of |TOPIC once, topics separated, each
// with its footnotes (recompilable project) or bookmarks, contents and
// index entries (printable document), plus the contents and index pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "converter/help_file.h"
#include "converter/rtf_output.h"

namespace conv {

inline constexpr int kTopicsPerSplitFile = 152;

// Runs the loop; `writingPass` false is the collecting pass (output to
// nowhere) that gathers browse sequences. RTF files are made in the
// current folder.
void WriteTopics(Conversion& hf, const std::string& baseName, RtfOutput& project, bool writingPass);

void WriteFootnote(Conversion& hf, RtfOutput& output, const std::uint8_t*& text, std::uint32_t* textLeft, char mark);
void WriteFootnoteText(Conversion& hf, RtfOutput& output, const std::string& text, char mark);
void WriteTocEntry(Conversion& hf, RtfOutput& output, const std::string& title, bool level, std::uint32_t position);
// Keywords of the text covering characters [low, high].
void WriteTopicKeywords(Conversion& hf, RtfOutput& output, std::uint32_t low, std::uint32_t high);
// Writes one zero-terminated piece (cut to *textLeft when given) and
// advances past its zero byte. Returns the characters written.
std::uint32_t WriteLocalizedText(Conversion& hf, RtfOutput& output, const std::uint8_t*& text, std::uint32_t* textLeft,
                                 char tag);
void WriteLocalizedString(Conversion& hf, RtfOutput& output, const std::string& text, char tag);

int FindBrowseGroup(Conversion& hf, std::uint32_t topicKey);
std::optional<std::string> AddToBrowseSequence(Conversion& hf, std::uint32_t browsePrevious, std::uint32_t topicKey,
                                               std::uint32_t browseNext);

void WriteTocField(Conversion& hf, RtfOutput& output);
void WriteIndexField(Conversion& hf, RtfOutput& output);

}  // namespace conv
