// The container: file header, directory B-tree, |SYSTEM header and records,
// on files made by the test generator, including damaged ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "converter/converter_strings.h"
#include "converter/help_file.h"
#include "converter/tests/hlp_builder.h"
#include "tests/support/test_support.h"

namespace conv {
namespace {

using namespace hlptest;

std::string SimpleFile(std::uint16_t minor, std::vector<InternalFileDef> more = {},
                       const std::vector<std::pair<std::uint16_t, std::string>>& records = {{1, std::string("T\0", 2)}},
                       std::uint16_t dirPageSize = 1024) {
    more.push_back({"|SYSTEM", SystemFile(minor, 0, records)});
    return BuildHelpFile(more, dirPageSize);
}

std::string ErrorOf(const std::string& bytes, ConversionFlags flags = 0) {
    try {
        OpenHelpFileBytes(bytes, "x.hlp", flags);
    } catch (const HelpFileError& e) {
        return e.what();
    }
    return "";
}

TEST(HelpFileOpen, BadMagicIsSilentInProbeModeAndFatalOtherwise) {
    std::string bytes = SimpleFile(21);
    bytes[0] = 0x3E;
    EXPECT_EQ(OpenHelpFileBytes(bytes, "x.hlp", kProbe), nullptr);
    EXPECT_EQ(ErrorOf(bytes), kMsgBadMagic);
    // A file shorter than its header is no help file either.
    EXPECT_EQ(OpenHelpFileBytes("\x3F\x5F", "x.hlp", kProbe), nullptr);
}

TEST(HelpFileOpen, MissingFileGivesNull) {
    EXPECT_EQ(OpenHelpFile("/nonexistent/none.hlp", 0), nullptr);
}

struct VersionCase {
    std::uint16_t minor;
    const char* warning;  // empty: none; nullptr: fatal
};

TEST(HelpFileOpen, CompilerVersionsGiveTheirWarningOrRefuse) {
    const VersionCase cases[] = {
        {15, "File created by HC30. handling incomplete"},
        {21, ""},
        {27, "File created by WMVC (Media Viewer). handling incomplete"},
        {33, "File created by HCRTF (Windows NT/Windows 95). handling incomplete"},
        {22, nullptr},
        {0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.minor);
        std::string bytes = SimpleFile(c.minor);
        if (!c.warning) {
            EXPECT_EQ(ErrorOf(bytes), kMsgBadVersion);
            EXPECT_EQ(ErrorOf(bytes, kProbe), kMsgBadVersion);  // also when probing
            continue;
        }
        auto hf = OpenHelpFileBytes(bytes, "x.hlp", 0);
        ASSERT_TRUE(hf);
        if (*c.warning) {
            ASSERT_EQ(hf->state.warnings.size(), 1u);
            EXPECT_EQ(hf->state.warnings[0].number, kWarnCompiler);
            EXPECT_EQ(FormatWarning(hf->state.warnings[0]), c.warning);
        } else {
            EXPECT_TRUE(hf->state.warnings.empty());
        }
        EXPECT_EQ(hf->file.isHC30, c.minor == 15);
        EXPECT_EQ(hf->file.isWMVC, c.minor == 27);
        EXPECT_EQ(hf->file.isHCRTF, c.minor == 33);
    }
}

TEST(HelpFileOpen, CompressedFollowsSystemFlagsExceptForHC30) {
    struct Case {
        std::uint16_t minor, flags;
        bool compressed;
    } cases[] = {{21, 0, false}, {21, 4, true}, {21, 8, true}, {21, 2, false}, {15, 4, false}, {33, 4, true}};
    for (const auto& c : cases) {
        auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", SystemFile(c.minor, c.flags, {})}}), "x", kProbe);
        ASSERT_TRUE(hf);
        EXPECT_EQ(hf->file.compressed, c.compressed) << c.minor << " " << c.flags;
    }
}

TEST(HelpFileDirectory, KnownFilesAreNotedAndTheLaterKeywordTreeWins) {
    // Sorted bytewise, "|0KWBTREE" comes before "|KWBTREE": the latter wins.
    auto hf = OpenHelpFileBytes(SimpleFile(21, {{"|0KWBTREE", "first"}, {"|KWBTREE", "second!"}, {"|TOPIC", "tt"},
                                                {"bm0", "pic"}, {"|CTXOMAP", "m"}}),
                                "x", 0);
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->file.directoryEntryCount, 6);
    ASSERT_EQ(hf->file.directoryEntries.size(), 6u);
    EXPECT_EQ(hf->file.kwBtree.size, 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(hf->state.stream.Data()) + hf->file.kwBtree.offset, 7), "second!");
    EXPECT_EQ(hf->file.topic.size, 2u);
    EXPECT_EQ(hf->file.ctxoMap.size, 1u);
    EXPECT_FALSE(hf->file.context.present());
    EXPECT_FALSE(hf->file.phrases.present());
    // Each entry's data offset is past its 9-byte header.
    for (const auto& e : hf->file.directoryEntries) {
        DirectoryEntry again;
        ReadDirectoryEntry(hf->fileData, static_cast<std::int32_t>(&e - hf->file.directoryEntries.data()), again);
        EXPECT_EQ(again.name, e.name);
        EXPECT_EQ(again.offset, e.offset);
        EXPECT_EQ(GetU32(hf->state.stream.Data() + e.offset - 5), e.size);
    }
}

TEST(HelpFileDirectory, NamesOf58CharactersAreReadAnd59AreFatal) {
    std::string name58(58, 'n'), name59(59, 'n');
    auto hf = OpenHelpFileBytes(SimpleFile(21, {{name58, "abc"}}), "x", 0);
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->file.directoryEntries[0].name, name58);
    // 'n' sorts before '|', so the long name is entry 0.
    EXPECT_EQ(ErrorOf(SimpleFile(21, {{name59, "abc"}})), "Fileformat-Problem. FileNumber=0");
}

TEST(HelpFileDirectory, MultiLevelDirectoriesAreReadInOrder) {
    std::vector<InternalFileDef> files;
    for (int i = 0; i < 300; ++i) files.push_back({FormatString("file%03d", i), FormatString("data of %d", i)});
    for (std::uint16_t pageSize : {64, 128, 1024}) {
        SCOPED_TRACE(pageSize);
        std::string bytes = SimpleFile(21, files, {}, pageSize);
        auto hf = OpenHelpFileBytes(bytes, "x", 0);
        ASSERT_TRUE(hf);
        if (pageSize == 64) {
            EXPECT_GE(hf->file.directoryHeader.levels, 3);
        }
        ASSERT_EQ(hf->file.directoryEntries.size(), 301u);
        for (int i = 0; i < 300; ++i) {
            const auto& e = hf->file.directoryEntries[static_cast<std::size_t>(i)];
            EXPECT_EQ(e.name, FormatString("file%03d", i));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(hf->state.stream.Data()) + e.offset, e.size),
                      FormatString("data of %d", i));
        }
        EXPECT_EQ(hf->file.directoryEntries.back().name, "|SYSTEM");
    }
}

// Page p of the directory in a generated file.
std::size_t DirectoryPage(const std::string& bytes, int page) {
    std::uint32_t dir = GetU32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4);
    std::uint16_t pageSize = GetU16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + dir + 9 + 4);
    return dir + 9 + 38 + static_cast<std::size_t>(page) * pageSize;
}

void SetU16(std::string& bytes, std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<char>(v);
    bytes[at + 1] = static_cast<char>(v >> 8);
}

TEST(HelpFileDirectory, CyclicAndOutOfRangeChainsEndInTheFatalMessage) {
    std::vector<InternalFileDef> files;
    for (int i = 0; i < 40; ++i) files.push_back({FormatString("f%02d", i), "x"});
    const std::string good = SimpleFile(21, files, {}, 64);
    auto hf = OpenHelpFileBytes(good, "x", 0);
    ASSERT_TRUE(hf);
    const BTreeHeader h = hf->file.directoryHeader;
    ASSERT_GE(h.totalPages, 4);
    std::uint32_t dirData = hf->file.fileHeader.directoryStart + 9;

    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
    } damages[] = {
        {"leaf links back to itself", [&](std::string& b) { SetU16(b, DirectoryPage(b, 1) + 6, 1); }},
        {"leaf links to an earlier leaf", [&](std::string& b) { SetU16(b, DirectoryPage(b, 2) + 6, 0); }},
        {"leaf links past the last page", [&](std::string& b) { SetU16(b, DirectoryPage(b, 0) + 6, 9999); }},
        {"root is its own first child, levels huge",
         [&](std::string& b) {
             SetU16(b, DirectoryPage(b, h.rootPage) + 4, h.rootPage);
             SetU16(b, dirData + 32, 0xFFFF);
         }},
        {"root page past the end", [&](std::string& b) { SetU16(b, dirData + 26, 0x7FFF); }},
        {"total pages larger than the file", [&](std::string& b) {
             SetU16(b, dirData + 30, 0xFFFF);
             SetU16(b, dirData + 26, 0xFFF0);
         }},
        {"directory offset past the end", [&](std::string& b) { b[7] = 0x7F; }},
        {"entry count larger than the entries", [&](std::string& b) {
             b[dirData + 34] = 0x7F;
         }},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.what);
        std::string bytes = good;
        d.apply(bytes);
        std::string error = ErrorOf(bytes);
        EXPECT_EQ(error.rfind("Fileformat-Problem. FileNumber=", 0), 0u) << error;
    }
}

TEST(HelpFileDirectory, EntryPointingPastTheFileIsFatal) {
    std::string bytes = SimpleFile(21, {{"aaa", "xyz"}});
    // The first leaf entry "aaa\0" is followed by its header offset.
    std::size_t at = bytes.find(std::string("aaa\0", 4), 16 + 9 + 3);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 4 + 3] = 0x70;
    EXPECT_EQ(ErrorOf(bytes), "Fileformat-Problem. FileNumber=0");
}

TEST(HelpFileSystem, RecordsGiveTitleCopyrightAndCitationByTheirRules) {
    struct Case {
        std::vector<std::pair<std::uint16_t, std::string>> records;
        std::optional<std::string> title, copyright, citation;
    } cases[] = {
        {{{1, std::string("Help\0", 5)}, {2, std::string("(c) X\0", 6)}, {8, std::string("Cite\0", 5)}},
         "Help", "(c) X", "Cite"},
        // Empty title, two-character copyright and citation are ignored.
        {{{1, std::string("\0", 1)}, {2, std::string("ab\0", 3)}, {8, std::string("cd\0", 3)}},
         std::nullopt, std::nullopt, std::nullopt},
        {{{2, std::string("abc\0", 4)}, {9, "other"}, {1, std::string("Late\0", 5)}}, "Late", "abc", std::nullopt},
    };
    for (const auto& c : cases) {
        auto hf = OpenHelpFileBytes(SimpleFile(21, {}, c.records), "x", 0);
        ASSERT_TRUE(hf);
        SystemInfo info;
        ReadSystemInfo(*hf, info);
        EXPECT_EQ(info.title, c.title);
        EXPECT_EQ(info.copyright, c.copyright);
        EXPECT_EQ(info.citation, c.citation);
        EXPECT_EQ(ReadSystemRecords(*hf).size(), c.records.size());
        FreeSystemInfo(info);
        EXPECT_FALSE(info.title);
    }
}

TEST(HelpFileSystem, HC30TitleIsOneLineOfAtMost31Characters) {
    std::string longTitle(40, 't');
    auto hf = OpenHelpFileBytes(SimpleFile(15, {}, {{0, longTitle}}), "x", 0);
    ASSERT_TRUE(hf);
    SystemInfo info;
    ReadSystemInfo(*hf, info);
    EXPECT_EQ(info.title, std::string(31, 't'));
    auto hf2 = OpenHelpFileBytes(SimpleFile(15, {}, {{0, std::string("Old help\r\nmore", 14)}}), "x", 0);
    ReadSystemInfo(*hf2, info);
    EXPECT_EQ(info.title, "Old help");
}

TEST(HelpFileSystem, RecordRunningPastSystemEndsTheListWithAWarning) {
    std::string sys = SystemFile(21, 0, {{1, std::string("Ok\0", 3)}});
    PutU16(sys, 2);
    PutU16(sys, 500);  // longer than what follows
    sys += "short";
    auto hf = OpenHelpFileBytes(BuildHelpFile({{"|SYSTEM", sys}}), "x", 0);
    ASSERT_TRUE(hf);
    EXPECT_EQ(ReadSystemRecords(*hf).size(), 1u);
    EXPECT_EQ(hf->state.warnings.back().number, kWarnDamaged);
}

TEST(HelpFileOpen, EveryTruncationOpensOrFailsCleanly) {
    std::vector<InternalFileDef> files;
    for (int i = 0; i < 30; ++i) files.push_back({FormatString("n%02d", i), std::string(20, 'x')});
    std::string bytes = SimpleFile(33, files, {{1, std::string("T\0", 2)}}, 128);
    int opened = 0, failed = 0;
    for (std::size_t n = 0; n <= bytes.size(); n += 7) {
        SCOPED_TRACE(n);
        try {
            auto hf = OpenHelpFileBytes(bytes.substr(0, n), "x", kProbe);
            if (!hf) continue;
            // What opens is whole: only the zero padding of the last
            // directory page may be missing.
            EXPECT_EQ(hf->file.directoryEntries.size(), 31u);
            SystemInfo info;
            ReadSystemInfo(*hf, info);
            EXPECT_EQ(info.title, "T");
            ++opened;
        } catch (const HelpFileError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Fileformat-Problem", 0), 0u) << e.what();
            ++failed;
        }
    }
    EXPECT_GE(failed, 1);
    EXPECT_GE(opened, 1);
}

TEST(HelpFileClose, BmpInRtfDeletesTheRecordedPictureFiles) {
    testsupport::TempDir dir;
    auto keep = dir / "keep.bmp";
    auto gone = dir / "gone.bmp";
    testsupport::WriteFileBytes(keep, "k");
    testsupport::WriteFileBytes(gone, "g");
    for (ConversionFlags flags : {ConversionFlags{0}, kBmpInRtf}) {
        auto hf = OpenHelpFileBytes(SimpleFile(21), "x", flags);
        ASSERT_TRUE(hf);
        hf->state.pictureFiles.resize(3);
        hf->state.pictureFiles[2] = (flags ? gone : keep).string();
        CloseHelpFile(std::move(hf));
    }
    EXPECT_TRUE(std::filesystem::exists(keep));
    EXPECT_FALSE(std::filesystem::exists(gone));
}

TEST(HelpFileHelpers, FormatStringAndParseDecimal) {
    EXPECT_EQ(FormatString("0x%08lX", 0xABCUL), "0x00000ABC");
    EXPECT_EQ(FormatString("%s=%d", "a", 5), "a=5");
    EXPECT_EQ(ParseDecimal("123abc"), 123u);
    EXPECT_EQ(ParseDecimal("x1"), 0u);
    EXPECT_EQ(ParseDecimal(""), 0u);
}

}  // namespace
}  // namespace conv
