#include "converter/topic_writer.h"

#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

#include "converter/converter_strings.h"
#include "converter/rtf_head.h"
#include "converter/rtf_writer.h"
#include "converter/topic_stream.h"
#include "platform/core/paths.h"
#include "platform/core/rtf_escape.h"

namespace conv {

namespace {

bool ForPrint(const Conversion& hf) { return hf.options.flags & kForPrint; }

constexpr std::uint32_t kNoTitleBookmark = 0xFFFFFFFFu;

// The localization file belongs next to the help file. The RTF refers to
// its lines instead of holding the texts, so without it the texts would be
// lost: when the help file's folder cannot take it (a CD-ROM, a read-only
// share), it goes into the output folder with the other results and a
// warning says where; only when neither place takes it is it fatal.
void OpenLocalizationFile(Conversion& hf) {
    if (hf.state.localizationFile) return;
    const std::string name = plat::ChangeFileExt(hf.file.path, ".TXT");
    hf.state.localizationFile = std::fopen(plat::NativePath(name).c_str(), "wb");
    if (hf.state.localizationFile) return;
    const std::string fallback = plat::ChangeFileExt(plat::ExtractFileName(hf.file.path), ".TXT");
    if (plat::ExpandFileName(fallback) != plat::ExpandFileName(name)) {
        hf.state.localizationFile = std::fopen(plat::NativePath(fallback).c_str(), "wb");
        if (hf.state.localizationFile) {
            AddWarning(hf, kWarnLocalizationMoved, {name, fallback});
            return;
        }
    }
    throw HelpFileError(FormatString(LoadLocalString(31).c_str(), name.c_str()));
}

const char* LocalizationName(char tag) {
    switch (tag) {
    case 'K': return "Key";
    case '$': return "Ttl";
    case 'T': return "Txt";
    default: return nullptr;
    }
}

// Pages of a B-tree, visited from the root down to the leaves in order.
// Every page is read into a zeroed page-size block, so entries that run
// past the file read zeros; the walk never revisits a page.
template <typename Leaf>
void WalkTree(Conversion& hf, const InternalFile& file, bool keywordTree, Leaf leaf) {
    BTreeHeader h;
    if (!file.present() || !ReadBTreeHeader(hf.state.stream, file.offset, h) || h.pageSize < 8) return;
    const std::uint32_t pagesStart = file.offset + kBTreeHeaderSize;
    std::set<std::uint32_t> seen;
    std::vector<std::uint8_t> page(h.pageSize);
    auto load = [&](std::uint32_t n) {
        std::fill(page.begin(), page.end(), 0);
        const std::uint64_t at = pagesStart + static_cast<std::uint64_t>(n) * h.pageSize;
        if (at + h.pageSize > hf.state.stream.Size()) return false;
        std::copy_n(hf.state.stream.Data() + at, h.pageSize, page.begin());
        return true;
    };
    std::function<void(std::uint32_t, int)> visit = [&](std::uint32_t n, int level) {
        if (n >= h.totalPages || !seen.insert(n).second || !load(n)) return;
        const std::int16_t count = static_cast<std::int16_t>(GetU16(&page[2]));
        if (level <= 0) {
            std::vector<std::uint8_t> copy = page;
            leaf(copy, count < 0 ? 0 : count);
            return;
        }
        std::vector<std::uint32_t> children{GetU16(&page[4])};
        std::uint32_t at = 6;
        for (int i = 0; i < count && at < h.pageSize; ++i) {
            if (keywordTree) {
                while (at < h.pageSize && page[at]) ++at;
                ++at;
            } else {
                at += 4;
            }
            if (at + 2 > h.pageSize) break;
            children.push_back(GetU16(&page[at]));
            at += 2;
        }
        for (std::uint32_t c : children) visit(c, level - 1);
    };
    visit(h.rootPage, static_cast<int>(h.levels) - 1);
}

// One "#" footnote per name, or with page links one bookmark per name.
void WriteContextNames(Conversion& hf, RtfOutput& out, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (hf.options.flags & kPageLinks) {
            const std::string bookmark = plat::RtfEscapeText(name);
            out.Printf("{\\*\\bkmkstart B%s}{\\*\\bkmkend B%s}", bookmark.c_str(), bookmark.c_str());
        } else {
            WriteFootnoteText(hf, out, name, '#');
        }
    }
}

void WriteCollectedText(Conversion& hf, RtfOutput& out, const std::string& text) {
    for (unsigned char c : text) WriteEscapedText(hf, c, out);
}

// The contents list refers to each title by the offset |TTLBTREE gives it,
// which lies a few characters into the topic's text (compilers count from
// where the title's paragraph ends), not at the character position where
// the loop meets the topic's header. Before the writing pass, each titled
// topic is matched, in order, with the next |TTLBTREE entry of the same
// title; the title bookmark then carries that entry's offset, and the
// contents list names only bookmarks that will be written.
void PlanTitleBookmarks(Conversion& hf) {
    hf.state.titleBookmarks.clear();
    hf.state.plannedTitleBookmarks.clear();
    BTreeHeader h;
    if (!hf.file.ttlBtree.present() || !ReadBTreeHeader(hf.state.stream, hf.file.ttlBtree.offset, h)) return;
    std::vector<std::pair<std::uint32_t, std::string>> titles;
    const std::uint32_t end = hf.file.ttlBtree.offset + hf.file.ttlBtree.size;
    ForEachLeafPage(h, hf.state.stream, hf.file.ttlBtree.offset + kBTreeHeaderSize, end,
                    [&](std::uint32_t at, std::uint32_t pageEnd, std::int16_t count) {
                        hf.state.stream.Seek(at + 8);
                        std::string title;
                        for (std::int16_t i = 0; i < count; ++i) {
                            std::uint32_t offset = 0;
                            if (hf.state.stream.Tell() + 4 > pageEnd || !hf.state.stream.ReadU32(offset) ||
                                !hf.state.stream.ReadCString(title, pageEnd))
                                return false;
                            // Untitled topics have entries too; they get no bookmark.
                            if (!title.empty()) titles.push_back({offset, title});
                        }
                        return true;
                    });
    // Reading the titles again must not repeat the writing pass's warnings.
    const std::size_t warningsBefore = hf.state.warnings.size();
    std::size_t next = 0;
    ReadTopicBytes(hf, nullptr, kResetTopicReader, nullptr, nullptr);
    TopicLink link;
    while (ReadTopicLink(hf, link)) {
        if (link.recordType != 2) continue;
        const std::string text = ExpandLinkData2(hf, link);
        const std::string title = text.substr(0, text.find('\0'));
        if (!title.empty()) {
            std::uint32_t mark = kNoTitleBookmark;
            for (std::size_t j = next; j < titles.size() && j < next + 8; ++j) {
                if (titles[j].second != title) continue;
                mark = titles[j].first;
                hf.state.plannedTitleBookmarks.insert(mark);
                next = j + 1;
                break;
            }
            hf.state.titleBookmarks.push_back(mark);
        }
        if (hf.file.isHC30 && (link.linkData1.size() < 4 ||
                          GetU32(reinterpret_cast<const std::uint8_t*>(link.linkData1.data())) < 9))
            break;
    }
    ReadTopicBytes(hf, nullptr, kResetTopicReader, nullptr, nullptr);
    hf.state.warnings.resize(warningsBefore);
}

void WriteTocPageRefs(Conversion& hf, RtfOutput& out) {
    WalkTree(hf, hf.file.ttlBtree, false, [&](const std::vector<std::uint8_t>& page, int count) {
        std::size_t at = 8;
        for (int i = 0; i < count && at + 4 <= page.size(); ++i) {
            const std::uint32_t offset = GetU32(&page[at]);
            at += 4;
            std::string title;
            while (at < page.size() && page[at]) title += static_cast<char>(page[at++]);
            ++at;
            if (title.empty() || !hf.state.plannedTitleBookmarks.count(offset)) continue;
            WriteCollectedText(hf, out, title);
            out.Printf("\\tab {\\field\\flddirty{\\*\\fldinst {GOTOBUTTON _%08lX}{\\field{\\*\\fldinst PAGEREF "
                       "_%08lX}{\\fldrslt {1}}}}}\\par\n",
                       static_cast<unsigned long>(offset), static_cast<unsigned long>(offset));
        }
    });
}

void WriteIndexPageRefs(Conversion& hf, RtfOutput& out) {
    // Keywords may share one occurrence list (or overlap each other's):
    // all together never refer to more pages than the keyword data holds
    // entries, or a small file would make a huge index.
    std::uint64_t budget = hf.file.kwData.present() ? hf.file.kwData.size / 4 : 0;
    WalkTree(hf, hf.file.kwBtree, true, [&](const std::vector<std::uint8_t>& page, int count) {
        std::size_t at = 8;
        for (int i = 0; i < count && at < page.size(); ++i) {
            std::string keyword;
            while (at < page.size() && page[at]) keyword += static_cast<char>(page[at++]);
            ++at;
            if (at + 6 > page.size()) break;
            const std::uint16_t n = GetU16(&page[at]);
            const std::uint32_t dataOffset = GetU32(&page[at + 2]);
            at += 6;
            if (keyword.empty()) continue;
            WriteCollectedText(hf, out, keyword);
            int written = 0;
            for (std::uint32_t k = 0; k < n && budget > 0; ++k, --budget) {
                const std::uint64_t pos = static_cast<std::uint64_t>(dataOffset) + 4ull * k;
                if (!hf.file.kwData.present() || pos + 4 > hf.file.kwData.size) break;
                const std::uint64_t abs = hf.file.kwData.offset + pos;
                if (abs + 4 > hf.state.stream.Size()) break;
                const unsigned long t = GetU32(hf.state.stream.Data() + abs) & ~7ul;
                // Only occurrences some record took have their bookmark.
                if (!hf.state.indexBookmarks.count(static_cast<std::uint32_t>(t))) continue;
                if (written++) out.Put(',');
                out.Printf(" {\\field\\flddirty{\\*\\fldinst {GOTOBUTTON __%08lX}{\\field{\\*\\fldinst PAGEREF "
                           "__%08lX}{\\fldrslt {1}}}}}",
                           t, t);
            }
            out.Write("\\par\n");
        }
    });
}

}  // namespace

std::uint32_t WriteLocalizedText(Conversion& hf, RtfOutput& out, const std::uint8_t*& text, std::uint32_t* textLeft,
                                 char tag) {
    std::uint32_t limit = textLeft ? *textLeft : 0xFFFFFFFFu;
    std::uint32_t n = 0;
    while (n < limit && text[n]) ++n;
    const char* name = LocalizationName(tag);
    if ((hf.options.flags & kLocalize) && name && hf.state.realPass && n > 0) {
        OpenLocalizationFile(hf);
        out.Printf("%s#%05d", name, hf.state.localizationCounter);
        std::fprintf(hf.state.localizationFile, "%s#%05d=", name, hf.state.localizationCounter);
        std::fwrite(text, 1, n, hf.state.localizationFile);
        std::fputc('\n', hf.state.localizationFile);
        ++hf.state.localizationCounter;
        hf.state.localizationLineFlag = false;
    } else {
        for (std::uint32_t i = 0; i < n; ++i) WriteEscapedText(hf, text[i], out);
    }
    std::uint32_t step = n;
    if (!textLeft || n < *textLeft) ++step;  // the zero byte
    text += step;
    if (textLeft) *textLeft -= step;
    return n;
}

void WriteLocalizedString(Conversion& hf, RtfOutput& out, const std::string& text, char tag) {
    std::string z = text;
    z.push_back('\0');
    const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(z.data());
    std::uint32_t left = static_cast<std::uint32_t>(text.size());
    WriteLocalizedText(hf, out, p, &left, tag);
}

void WriteFootnote(Conversion& hf, RtfOutput& out, const std::uint8_t*& text, std::uint32_t* textLeft, char mark) {
    if (ForPrint(hf)) return;
    out.Printf("{%c{\\footnote{%c} ", mark, mark);
    WriteLocalizedText(hf, out, text, textLeft, mark);
    out.Write("}} \n");
}

void WriteFootnoteText(Conversion& hf, RtfOutput& out, const std::string& text, char mark) {
    if (ForPrint(hf)) return;
    out.Printf("{%c{\\footnote{%c} ", mark, mark);
    WriteLocalizedString(hf, out, text, mark);
    out.Write("}} \n");
}

void WriteTocEntry(Conversion& hf, RtfOutput& out, const std::string& title, bool level, std::uint32_t position) {
    if (title.empty()) return;
    if (ForPrint(hf) && (hf.options.flags & kToc)) {
        out.Printf("{\\*\\bkmkstart _%08lX}{\\*\\bkmkend _%08lX}", static_cast<unsigned long>(position),
                   static_cast<unsigned long>(position));
        if (hf.options.wordProcessor == 2) {
            if (!hf.state.openTocGroup) out.Write("{\\tc {");
            hf.state.openTocGroup = true;
        } else {
            out.Write("{\\pard\\plain\\f0\\v{\\tc{");
            WriteLocalizedString(hf, out, title, '$');
            out.Printf("\\tcl%d}}}\n", level ? 2 : 1);
        }
        return;
    }
    WriteFootnoteText(hf, out, title, '$');
}

// Offset 0 is a real place: the first topic's text starts there in files
// after HC30. Records that have no keywords of their own (the later text
// records of an HC30 topic) are not asked at all.
void WriteTopicKeywords(Conversion& hf, RtfOutput& out, std::uint32_t low, std::uint32_t high) {
    auto collect = [&](KeywordTable& table, std::vector<KeywordHit>* hits) {
        return hf.file.isHC30 ? CollectTopicKeywords(hf, low, table, hits)
                         : CollectTopicKeywordsInRange(hf, low, high, table, hits);
    };
    std::vector<KeywordHit> hits;
    if (auto k = collect(hf.state.kTable, &hits)) {
        if (hf.options.flags & kIndex) {
            std::set<std::uint32_t> marked;
            for (const KeywordHit& hit : hits) {
                if (hit.keyword.empty()) continue;
                // The index page refers to each occurrence by its own offset
                // (low 3 bits cleared): the bookmark is put there, not at the
                // record's start, which may lie many characters before it.
                const std::uint32_t at = hit.offset & ~7u;
                if (hf.options.wordProcessor == 3 && marked.insert(at).second) {
                    out.Printf("{\\*\\bkmkstart __%08lX}{\\*\\bkmkend __%08lX}", static_cast<unsigned long>(at),
                               static_cast<unsigned long>(at));
                    if (hf.state.realPass) hf.state.indexBookmarks.insert(at);
                }
                out.Write("{\\pard\\plain\\v\\xe {");
                WriteLocalizedString(hf, out, hit.keyword, 'K');
                out.Write("}}\n");
            }
        } else {
            WriteFootnoteText(hf, out, *k, 'K');
        }
    }
    if (auto a = collect(hf.state.aTable, nullptr)) {
        if (!(hf.options.flags & kIndex)) WriteFootnoteText(hf, out, *a, 'A');
    }
}

int FindBrowseGroup(Conversion& hf, std::uint32_t key) {
    for (std::size_t g = 0; g < hf.state.browseGroups.size(); ++g)
        for (const BrowseEntry& e : hf.state.browseGroups[g])
            if (e.topicKey == key) return static_cast<int>(g);
    return -1;
}

std::optional<std::string> AddToBrowseSequence(Conversion& hf, std::uint32_t prev, std::uint32_t key,
                                               std::uint32_t next) {
    if (prev == 0xFFFFFFFFu && next == 0xFFFFFFFFu) return std::nullopt;
    int group = FindBrowseGroup(hf, key);
    if (group < 0) {
        int pg = prev == 0xFFFFFFFFu ? -1 : FindBrowseGroup(hf, prev);
        int ng = next == 0xFFFFFFFFu ? -1 : FindBrowseGroup(hf, next);
        if (pg < 0 && ng < 0) {
            hf.state.browseGroups.emplace_back();
            pg = static_cast<int>(hf.state.browseGroups.size()) - 1;
        } else if (pg >= 0 && ng >= 0 && pg != ng) {
            auto& from = hf.state.browseGroups[static_cast<std::size_t>(ng)];
            auto& to = hf.state.browseGroups[static_cast<std::size_t>(pg)];
            to.insert(to.end(), from.begin(), from.end());
            from.clear();
            ng = -1;
        }
        group = ng >= 0 ? ng : pg;
        hf.state.browseGroups[static_cast<std::size_t>(group)].push_back({prev, key, next});
    }
    const auto& entries = hf.state.browseGroups[static_cast<std::size_t>(group)];
    int place = 0;
    std::uint32_t at = key;
    while (place < 32767) {
        const BrowseEntry* found = nullptr;
        for (const BrowseEntry& e : entries)
            if (e.topicKey == at) {
                found = &e;
                break;
            }
        if (!found) break;
        ++place;
        if (found->browsePrevious == 0xFFFFFFFFu) break;
        at = found->browsePrevious;
    }
    return FormatString("grp%04X:%d", group + 1, place);
}

void WriteTocField(Conversion& hf, RtfOutput& out) {
    out.Printf("{\\b\\f0\\fs40 %s}\\par\\tqr\\tx9072{\\field\\fldedit {\\*\\fldinst TOC \\\\f}{\\fldrslt ",
               LoadLocalString(38).c_str());
    if (hf.options.wordProcessor == 3) WriteTocPageRefs(hf, out);
    out.Write("}}\\page\\par\\pard\\plain ");
}

void WriteIndexField(Conversion& hf, RtfOutput& out) {
    if (!hf.file.kwBtree.present()) return;
    out.Printf("\\page{\\b\\f0\\fs40\\s24 %s}\\par\\par{\\field{\\*\\fldinst{\\f0\\cf1 INDEX \\\\h \"\\emdash "
               "A\\emdash \" \\\\c \"2\" }}{\\fldrslt ",
               LoadLocalString(39).c_str());
    if (hf.options.wordProcessor == 3) WriteIndexPageRefs(hf, out);
    out.Write("}}");
}

void WriteTopics(Conversion& hf, const std::string& baseName, RtfOutput& project, bool writingPass) {
    hf.state.realPass = writingPass;
    const bool forPrint = ForPrint(hf);
    SetProgress(hf, 0, writingPass ? 7 : 6);
    if (writingPass) project.Write("\n[Files]\n");

    RtfOutput rtf;
    bool haveFile = false;
    int fileNumber = 0;
    int topicsInFile = 0;
    std::int32_t topicNumber = 0;
    std::uint32_t charPos = 0;
    std::uint32_t scrollingPos = 0xFFFFFFFFu;
    std::uint32_t nonScrollPos = 0xFFFFFFFFu;
    bool named = true;
    bool afterHeader = false;
    bool firstTextOfTopic = false;
    std::uint32_t headerRecordPosition = 0;
    bool stopAfterThis = false;
    const std::uint32_t blockSize = hf.file.isHC30 ? 2048 : 4096;
    const std::uint32_t blocks = hf.file.topic.size / blockSize ? hf.file.topic.size / blockSize : 1;

    hf.state.indexBookmarks.clear();
    std::size_t titledTopics = 0;
    if (writingPass && forPrint && (hf.options.flags & kToc)) PlanTitleBookmarks(hf);
    ReadTopicBytes(hf, nullptr, kResetTopicReader, nullptr, nullptr);
    ResetKeywordLookups(hf);  // each pass hands out every keyword again
    hf.state.contextCursor = 0;     // and every context name
    TopicLink link;
    while (!stopAfterThis && ReadTopicLink(hf, link)) {
        if (link.newBlock) charPos = link.blockPosition;
        const std::uint32_t recordPosition = hf.file.isHC30 ? hf.state.topicReader.currentRecordPosition : charPos;
        const auto block = static_cast<std::uint32_t>(hf.state.topicReader.blockNumber < 0 ? 0 : hf.state.topicReader.blockNumber);
        SetProgress(hf,
                    forPrint ? static_cast<int>(50 + block * 50ull / blocks)
                             : static_cast<int>((writingPass ? 75 : 50) + block * 25ull / blocks),
                    0);
        const std::uint8_t type = link.recordType;
        const std::string text = ExpandLinkData2(hf, link);
        const auto* t = reinterpret_cast<const std::uint8_t*>(text.data());
        auto textLeft = static_cast<std::uint32_t>(text.size());
        const auto* c = reinterpret_cast<const std::uint8_t*>(link.linkData1.data());
        auto cLeft = static_cast<std::uint32_t>(link.linkData1.size());

        if (type == 0x20 || type == 0x01 || type == 0x23) {
            const std::uint32_t len = link.dataLen2;
            const std::uint32_t high = len ? charPos + len - 1 : charPos;
            if (!hf.file.isHC30) {
                const std::vector<std::string> names = TakeContextNamesUpTo(hf, high);
                if (!names.empty()) named = true;
                WriteContextNames(hf, rtf, names);
            }
            if (hf.file.isHC30) {
                // The keywords sit at the topic header's record position.
                if (firstTextOfTopic) WriteTopicKeywords(hf, rtf, headerRecordPosition, headerRecordPosition);
                firstTextOfTopic = false;
            } else {
                WriteTopicKeywords(hf, rtf, charPos, high);
            }
            const bool nonScrolling = nonScrollPos != 0xFFFFFFFFu && link.nextBlock <= scrollingPos &&
                                      scrollingPos != 0xFFFFFFFFu;
            const std::uint32_t recordChars = charPos;
            charPos += len;
            ReadCompressedLong(c, cLeft);
            if (type != 0x01) ReadCompressedWord(c, cLeft);
            if (type == 0x23) {
                if (afterHeader) rtf.Write("\\par");
                WriteTable(hf, rtf, t, textLeft, c, cLeft, hf.file.isHC30 ? recordPosition : recordChars, nonScrolling);
            } else {
                WriteParagraph(hf, rtf, t, textLeft, c, cLeft, hf.file.isHC30 ? recordPosition : recordChars,
                               nonScrolling, false);
            }
            afterHeader = false;
            continue;
        }
        if (type != 2) {
            AddWarning(hf, 20, {static_cast<int>(type)});
            continue;
        }

        // Topic header.
        auto field = [&](int i) -> std::uint32_t {
            return link.linkData1.size() >= static_cast<std::size_t>(4 * i + 4)
                       ? GetU32(reinterpret_cast<const std::uint8_t*>(link.linkData1.data()) + 4 * i)
                       : 0xFFFFFFFFu;
        };
        const std::uint32_t headerBlockSize = field(0);
        const std::uint32_t browsePrev = field(1);
        const std::uint32_t browseNext = field(2);
        if (writingPass && !forPrint && !hf.file.isHC30 && haveFile && !named)
            AddWarning(hf, 19, {static_cast<long>(topicNumber)});
        topicNumber = hf.file.isHC30 ? topicNumber + 1 : static_cast<std::int32_t>(field(3));
        const std::uint32_t browseKey = hf.file.isHC30 ? static_cast<std::uint32_t>(topicNumber) + 1 : charPos;

        bool firstInFile = false;
        if (!haveFile || ((hf.options.flags & kSplitRtf) && topicsInFile >= kTopicsPerSplitFile)) {
            if (haveFile) CloseRtfFile(hf, rtf);
            ++fileNumber;
            const std::string name = (hf.options.flags & kSplitRtf) ? FormatString("%s%d.RTF", baseName.c_str(), fileNumber)
                                                             : baseName + ".RTF";
            if (writingPass) {
                if (!rtf.OpenFile(name)) throw HelpFileError(FormatString(LoadLocalString(31).c_str(), name.c_str()));
                WriteRtfHeader(hf, project, rtf, name);
                if ((hf.options.flags & kToc) && fileNumber == 1) WriteTocField(hf, rtf);
            } else {
                rtf = RtfOutput();
            }
            haveFile = true;
            firstInFile = true;
            topicsInFile = 0;
        }
        if (hf.file.isHC30 && headerBlockSize < 9) stopAfterThis = true;
        nonScrollPos = field(4);
        scrollingPos = field(5);
        if (!firstInFile) {
            rtf.Write((hf.options.flags & kPageBreak) ? "\\page\\pard\n" : "\\par\\pard\\par\n");
            if ((hf.options.flags & kLocalize) && hf.state.localizationFile)
                std::fputs("------------------- New topic -------------------\n", hf.state.localizationFile);
        }
        if (!forPrint) named = false;
        if (hf.file.isHC30) {
            WriteFootnoteText(hf, rtf, ContextNameFromHash(hf, static_cast<std::uint32_t>(topicNumber) + 15), '#');
            named = true;
            headerRecordPosition = recordPosition;
            firstTextOfTopic = true;
        }
        std::size_t zero = text.find('\0');
        const std::string title = text.substr(0, zero);
        std::uint32_t titleMark = charPos;
        if (!title.empty() && titledTopics < hf.state.titleBookmarks.size() &&
            hf.state.titleBookmarks[titledTopics] != kNoTitleBookmark)
            titleMark = hf.state.titleBookmarks[titledTopics];
        if (!title.empty()) ++titledTopics;
        WriteTocEntry(hf, rtf, title, browsePrev != 0xFFFFFFFFu, titleMark);
        if (!forPrint && zero != std::string::npos && zero + 1 < text.size()) {
            std::size_t z2 = text.find('\0', zero + 1);
            std::string macro = text.substr(zero + 1, z2 == std::string::npos ? std::string::npos : z2 - zero - 1);
            if (!macro.empty()) WriteFootnoteText(hf, rtf, macro, '!');
        }
        if (hf.options.flags & kBrowseSequences) {
            if (auto seq = AddToBrowseSequence(hf, browsePrev, browseKey, browseNext))
                WriteFootnoteText(hf, rtf, *seq, '+');
        }
        ++topicsInFile;
        afterHeader = true;
    }
    ReadTopicBytes(hf, nullptr, kResetTopicReader, nullptr, nullptr);
    // Names of places after the last text (a last topic without text) stay
    // with the last topic rather than being lost.
    if (haveFile && !hf.file.isHC30) WriteContextNames(hf, rtf, TakeContextNamesUpTo(hf, INT64_MAX));
    CloseCharGroup(hf, rtf);
    if (hf.options.flags & kIndex) WriteIndexField(hf, rtf);
    if (haveFile) CloseRtfFile(hf, rtf);
    if (writingPass) SetProgress(hf, 100, 0);
}

}  // namespace conv
