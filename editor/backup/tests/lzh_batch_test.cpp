// The batch archiver on real files: the archive's bytes, members that decode
// to the files, adding to an archive, what is collected and what is left
// out, and runs that fail or are refused.
#include "editor/backup/lzh_batch.h"

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "editor/lzh/lzh_decoder.h"
#include "platform/core/datetime.h"
#include "platform/core/files.h"
#include "platform/core/format.h"
#include "platform/core/streams.h"
#include "platform/core/value_io.h"
#include "tests/support/test_support.h"

namespace {

using namespace lzh;
namespace fs = std::filesystem;

std::string Text(std::size_t n, char seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(seed + (i * 7 + i / 13) % 23);
    return s;
}

// The directory as written: name, sizes, offset, attributes, date per member.
std::vector<TArchiveMember> Directory(const std::string& archive, std::int64_t* dataStart = nullptr) {
    plat::MemoryStream ms(testsupport::ReadFileBytes(archive));
    plat::ValueReader r(ms);
    std::vector<TArchiveMember> out;
    r.ReadListBegin();
    while (!r.EndOfList()) {
        TArchiveMember m;
        m.name = r.ReadString();
        m.size = r.ReadInt64();
        m.compressedSize = r.ReadInt64();
        m.offset = r.ReadInt64();
        m.attributes = static_cast<std::uint32_t>(r.ReadInt64());
        m.date = r.ReadFloat();
        out.push_back(m);
    }
    r.ReadListEnd();
    if (dataStart) *dataStart = ms.Position();
    return out;
}

std::string Member(const std::string& archive, std::int64_t dataStart, const TArchiveMember& m) {
    const std::string bytes = testsupport::ReadFileBytes(archive);
    return LZHDecompress(std::string_view(bytes).substr(static_cast<std::size_t>(dataStart + m.offset),
                                                         static_cast<std::size_t>(m.compressedSize)),
                         static_cast<std::size_t>(m.size));
}

class Batch : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string P(const std::string& name) const { return (dir / name).string(); }
    void Write(const std::string& name, const std::string& bytes) {
        fs::create_directories((dir / name).parent_path());
        testsupport::WriteFileBytes(dir / name, bytes);
    }
};

TEST_F(Batch, TwoMembersDecodeToTheFilesAndTheDirectoryIsExact) {
    const std::string a = Text(1000, 'a'), b = Text(100000, 'A');
    Write("in/beta.tbl", b);
    Write("in/Alpha.tbl", a);
    TLZHBatch batch;
    batch.InputFiles().Add(P("in/beta.tbl"));
    batch.InputFiles().Add(P("in/Alpha.tbl"));
    batch.SetArchiveFileName(P("out.kqb"));
    EXPECT_FALSE(batch.ValidArchive());
    batch.CompressFiles();
    ASSERT_TRUE(batch.ValidArchive());

    std::int64_t dataStart = 0;
    const auto members = Directory(P("out.kqb"), &dataStart);
    ASSERT_EQ(members.size(), 2u);
    // Members come in the order of their full paths, letter case ignored.
    EXPECT_EQ(members[0].name, "Alpha.tbl");
    EXPECT_EQ(members[1].name, "beta.tbl");
    EXPECT_EQ(members[0].offset, 0);
    EXPECT_EQ(members[1].offset, members[0].compressedSize);
    EXPECT_EQ(Member(P("out.kqb"), dataStart, members[0]), a);
    EXPECT_EQ(Member(P("out.kqb"), dataStart, members[1]), b);
    EXPECT_EQ(members[0].attributes & 0x20u, 0x20u);
    EXPECT_EQ(batch.DataStart(), dataStart);
    EXPECT_EQ(dataStart + members[0].compressedSize + members[1].compressedSize,
              static_cast<std::int64_t>(fs::file_size(dir / "out.kqb")));
    // The first record, byte by byte: 06 09 "Alpha.tbl", the size 1000 as
    // 03 E8 03; the second member's size 100000 as 04 A0 86 01 00.
    const std::string bytes = testsupport::ReadFileBytes(dir / "out.kqb");
    EXPECT_EQ(bytes.substr(0, 15), std::string("\x01\x06\x09" "Alpha.tbl\x03\xE8\x03", 15));
    EXPECT_NE(bytes.find(std::string("\x04\xA0\x86\x01\x00", 5)), std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(bytes[dataStart - 1]), 0x00);

    ASSERT_EQ(batch.ArchiveEntries().Count(), 2);
    EXPECT_EQ(batch.ArchiveEntries()[0], "Alpha.tbl\t1000\t" + std::to_string(members[0].compressedSize) + "\t" +
                                             std::to_string(members[0].attributes) + "\t" +
                                             plat::FloatToStr(members[0].date));
    EXPECT_EQ(batch.ArchiveSize(), 101000);
    EXPECT_EQ(batch.ArchiveCompressedSize(), members[0].compressedSize + members[1].compressedSize);
    // No work file is left beside the archive.
    EXPECT_FALSE(fs::exists(dir / "LZHBATCH.DIR"));
    EXPECT_FALSE(fs::exists(dir / "LZHBATCH.$$$"));
}

TEST_F(Batch, NamesByDirectoryInfoAndLongNamesInTheLongForm) {
    // A path of more than 255 characters stored whole.
    std::string deep = "in";
    for (int i = 0; i < 6; ++i) deep += "/folder_with_a_rather_long_name_" + std::to_string(i) + "_xxxxxxxxxxxxxx";
    Write(deep + "/f.txt", "content of f");
    Write("in/sub/g.txt", "content of g");
    struct Case {
        TDirectoryInfo info;
        std::string file;
        std::string stored;
    } cases[] = {
        {diNone, "in/sub/g.txt", "g.txt"},
        {diRelativePath, "in/sub/g.txt", "sub\\g.txt"},
        {diFullPath, "in/sub/g.txt", [&] {
             std::string s = fs::absolute(dir / "in/sub/g.txt").string();
             for (char& c : s)
                 if (c == '/') c = '\\';
             return s;
         }()},
    };
    for (const Case& c : cases) {
        TLZHBatch batch;
        batch.DirectoryInfo = c.info;
        batch.SetRootDirectory(P("in"));
        batch.InputFiles().Add(c.file.substr(3));  // relative to the root
        batch.SetArchiveFileName(P("names.kqb"));
        batch.CompressFiles();
        const auto members = Directory(P("names.kqb"));
        ASSERT_EQ(members.size(), 1u) << c.stored;
        EXPECT_EQ(members[0].name, c.stored);
    }
    TLZHBatch batch;
    batch.DirectoryInfo = diFullPath;
    batch.InputFiles().Add(P(deep + "/f.txt"));
    batch.SetArchiveFileName(P("long.kqb"));
    batch.CompressFiles();
    const auto members = Directory(P("long.kqb"));
    ASSERT_EQ(members.size(), 1u);
    EXPECT_GT(members[0].name.size(), 255u);
    const std::string bytes = testsupport::ReadFileBytes(dir / "long.kqb");
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0x0C);
}

TEST_F(Batch, AddingKeepsTheOldMembersFirst) {
    Write("a.txt", Text(500, 'a'));
    Write("b.txt", Text(700, 'b'));
    TLZHBatch first;
    first.InputFiles().Add(P("a.txt"));
    first.InputFiles().Add(P("b.txt"));
    first.SetArchiveFileName(P("arc.kqb"));
    first.CompressFiles();

    Write("a.txt", Text(300, 'z'));  // the same name again, new content
    Write("c.txt", Text(900, 'c'));
    TLZHBatch add;
    add.ArchiveMode = amAdd;
    add.InputFiles().Add(P("c.txt"));
    add.InputFiles().Add(P("a.txt"));
    add.SetArchiveFileName(P("arc.kqb"));
    ASSERT_TRUE(add.ValidArchive());
    add.CompressFiles();
    std::int64_t dataStart = 0;
    const auto m = Directory(P("arc.kqb"), &dataStart);
    ASSERT_EQ(m.size(), 4u);
    const std::vector<std::string> names = {m[0].name, m[1].name, m[2].name, m[3].name};
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "a.txt", "c.txt"}));
    EXPECT_EQ(Member(P("arc.kqb"), dataStart, m[0]), Text(500, 'a'));
    EXPECT_EQ(Member(P("arc.kqb"), dataStart, m[1]), Text(700, 'b'));
    EXPECT_EQ(Member(P("arc.kqb"), dataStart, m[2]), Text(300, 'z'));
    EXPECT_EQ(Member(P("arc.kqb"), dataStart, m[3]), Text(900, 'c'));
    for (std::size_t i = 1; i < m.size(); ++i) EXPECT_EQ(m[i].offset, m[i - 1].offset + m[i - 1].compressedSize);
}

TEST_F(Batch, CollectingLeavesOutWorkFilesEmptyFilesAndMissingNames) {
    Write("w/keep.txt", "keep me");
    Write("w/empty.txt", "");
    Write("w/lzhbatch.dir", "stale directory");
    Write("w/LzhBatch.$$$", "stale data");
    Write("w/sub/deep.txt", "in a subfolder");
    Write("w/.hidden_dir/x.txt", "never searched");
    // A file older than the first DOS date is archived with that date.
    Write("w/old.txt", "from 1970");
    struct utimbuf times {0, 0};
    ASSERT_EQ(::utime(P("w/old.txt").c_str(), &times), 0);
    TLZHBatch batch;
    batch.RecurseDirectories = true;
    batch.InputFiles().Add(P("w/*.*"));
    batch.InputFiles().Add(P("w/missing.txt"));
    batch.SetArchiveFileName(P("w/backup.kqb"));
    int offered = 0;
    batch.OnCollecting = [&](TLZHBatch*, const std::string&, int&) { ++offered; };
    batch.CompressFiles();
    const auto m = Directory(P("w/backup.kqb"));
    std::vector<std::string> names;
    for (const auto& x : m) names.push_back(x.name);
    EXPECT_EQ(names, (std::vector<std::string>{"keep.txt", "old.txt", "deep.txt"}));
    EXPECT_EQ(offered, 4);  // the empty file is offered, then left out
    EXPECT_DOUBLE_EQ(m[1].date, plat::EncodeDate(1980, 1, 1));
}

TEST_F(Batch, AttributesFollowWritePermissionAndLeadingDots) {
    Write("a/plain.txt", "plain");
    Write("a/locked.txt", "read only");
    Write("a/.dotted", "hidden");
    fs::permissions(dir / "a/locked.txt", fs::perms::owner_read | fs::perms::group_read);
    TLZHBatch batch;
    for (const char* n : {"a/plain.txt", "a/locked.txt", "a/.dotted"}) batch.InputFiles().Add(P(n));
    batch.SetArchiveFileName(P("attrs.kqb"));
    batch.CompressFiles();
    std::map<std::string, std::uint32_t> attrs;
    for (const auto& m : Directory(P("attrs.kqb"))) attrs[m.name] = m.attributes;
    EXPECT_EQ(attrs["plain.txt"], 0x20u);
    EXPECT_EQ(attrs["locked.txt"], 0x21u);
    EXPECT_EQ(attrs[".dotted"], 0x22u);
    // The read-only file is read-only again after the run.
    EXPECT_EQ(fs::status(dir / "a/locked.txt").permissions() & fs::perms::owner_write, fs::perms::none);
    fs::permissions(dir / "a/locked.txt", fs::perms::owner_all);
}

TEST_F(Batch, CollectingEventsLeaveOutAndAbort) {
    Write("e/a.txt", "aaa");
    Write("e/b.txt", "bbb");
    TLZHBatch batch;
    batch.InputFiles().Add(P("e"));
    batch.SetArchiveFileName(P("e.kqb"));
    batch.OnCollecting = [](TLZHBatch*, const std::string& name, int& action) {
        if (name.find("a.txt") != std::string::npos) action = 1;
    };
    batch.CompressFiles();
    ASSERT_EQ(Directory(P("e.kqb")).size(), 1u);
    EXPECT_EQ(Directory(P("e.kqb"))[0].name, "b.txt");

    TLZHBatch aborted;
    aborted.InputFiles().Add(P("e"));
    aborted.SetArchiveFileName(P("aborted.kqb"));
    aborted.OnDoneCollecting = [](TLZHBatch*, int n, std::int64_t total, bool& cancel) {
        EXPECT_EQ(n, 2);
        EXPECT_EQ(total, 6);
        cancel = true;
    };
    aborted.CompressFiles();
    EXPECT_FALSE(fs::exists(dir / "aborted.kqb"));
}

TEST_F(Batch, ExistingArchiveRules) {
    Write("x.txt", "xxxx");
    Write("old.kqb", "previous backup");
    TLZHBatch batch;
    batch.InputFiles().Add(P("x.txt"));
    batch.SetArchiveFileName(P("old.kqb"));
    EXPECT_FALSE(batch.ValidArchive());
    EXPECT_EQ(batch.ArchiveEntries().Count(), 0);
    batch.OverwriteExisting = false;
    try {
        batch.CompressFiles();
        ADD_FAILURE() << "no exception";
    } catch (const EFileExist& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write to " + batch.ArchiveFileName() + ". File already exists");
    }
    for (int action : {1, 2}) {
        batch.OnFileExist = [action](TLZHBatch*, const std::string&, int& a) { a = action; };
        batch.CompressFiles();
        EXPECT_EQ(testsupport::ReadFileBytes(dir / "old.kqb"), "previous backup");
    }
    batch.OnFileExist = [](TLZHBatch*, const std::string&, int& a) { a = 0; };
    batch.CompressFiles();
    EXPECT_TRUE(batch.ValidArchive());
    EXPECT_EQ(Directory(P("old.kqb")).size(), 1u);
}

// A member that cannot be read stops the run: no archive, no work files, and
// the previous archive stays as it was.
TEST_F(Batch, AFailedMemberLeavesThePreviousArchive) {
    Write("ok.txt", "fine");
    Write("bad.txt", "unreadable");
    TLZHBatch first;
    first.InputFiles().Add(P("ok.txt"));
    first.SetArchiveFileName(P("keep.kqb"));
    first.CompressFiles();
    const std::string before = testsupport::ReadFileBytes(dir / "keep.kqb");

    TLZHBatch batch;
    batch.InputFiles().Add(P("ok.txt"));
    batch.InputFiles().Add(P("bad.txt"));
    batch.SetArchiveFileName(P("keep.kqb"));
    // The file goes away between collecting and compressing.
    batch.OnDoneCollecting = [&](TLZHBatch*, int, std::int64_t, bool&) { fs::remove(dir / "bad.txt"); };
    EXPECT_THROW(batch.CompressFiles(), EOpenError);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "keep.kqb"), before);
    EXPECT_FALSE(fs::exists(dir / "LZHBATCH.DIR"));
    EXPECT_FALSE(fs::exists(dir / "LZHBATCH.$$$"));
}

TEST(ReadOnlyStringList, RefusesEveryChangeWhileSet) {
    TReadOnlyStringList list;
    list.Add("a");
    list.ReadOnly = true;
    const std::vector<std::function<void()>> changes = {
        [&] { list.Add("b"); },        [&] { list.Insert(0, "b"); },   [&] { list.Delete(0); },
        [&] { list.Clear(); },         [&] { list.SetString(0, "b"); }, [&] { list.SetObject(0, &list); },
        [&] { list.Exchange(0, 0); },  [&] { list.SetText("x\ny"); },   [&] { list.AddObject("c", nullptr); },
    };
    for (const auto& change : changes) {
        try {
            change();
            ADD_FAILURE() << "changed";
        } catch (const EListReadOnly& e) {
            EXPECT_EQ(std::string(e.what()), "This stringlist is read-only. Changes are ignored");
        }
    }
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0], "a");
}

}  // namespace

// Member sizes come from the file: sizes whose sum leaves the 64-bit range
// make the archive invalid instead of wrapping the totals.
TEST_F(Batch, SizesWhoseSumOverflowsMakeTheArchiveInvalid) {
    struct Case {
        const char* what;
        std::int64_t size1, size2;
        bool valid;
    };
    const Case cases[] = {
        {"both at the largest size", INT64_MAX, INT64_MAX, false},
        {"one past the range together", INT64_MAX, 1, false},
        {"exactly the range together", INT64_MAX - 5, 5, true},
        {"small", 10, 20, true},
    };
    for (const Case& c : cases) {
        plat::MemoryStream ms;
        plat::ValueWriter w(ms);
        w.WriteListBegin();
        for (std::int64_t size : {c.size1, c.size2}) {
            w.WriteString("a.txt");
            w.WriteInt64(size);
            w.WriteInt64(1);  // compressed size
            w.WriteInt64(0);  // offset
            w.WriteInteger(0x20);
            w.WriteFloat(36526.0);
        }
        w.WriteListEnd();
        w.Write("z", 1);
        Write("big.kqb", ms.Bytes());
        TLZHBatch batch;
        batch.SetArchiveFileName(P("big.kqb"));
        EXPECT_EQ(batch.ValidArchive(), c.valid) << c.what;
        EXPECT_EQ(batch.ArchiveEntries().Count(), c.valid ? 2 : 0) << c.what;
        if (c.valid) {
            EXPECT_EQ(batch.ArchiveSize(), c.size1 + c.size2) << c.what;
        }
    }
}

// A killed run leaves its work files beside the archive; the next run into the
// same folder clears them, whether or not it writes an archive, and a work
// file another running batch holds is left alone.
TEST_F(Batch, WorkFilesAKilledRunLeftAreClearedByTheNextRun) {
    struct Case {
        const char* what;
        bool inputPresent;
        bool heldByAnother;
    };
    const Case cases[] = {
        {"the next run writes an archive", true, false},
        {"the next run finds nothing to archive", false, false},
        {"another batch is writing", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "k");
        Write("k/in/a.txt", "some text");
        if (!c.inputPresent) fs::remove(dir / "k/in/a.txt");
        Write("k/out/LZHBATCH.$$$", "half a data file");
        Write("k/out/lzhbatch.dir", "half a directory");
        plat::File other;
        if (c.heldByAnother) {
            ASSERT_TRUE(other.Open(P("k/out/LZHBATCH.$$$"), plat::FileAccess::Write, plat::FileShare::Exclusive));
        }
        TLZHBatch batch;
        batch.InputFiles().Add(P("k/in/a.txt"));
        batch.SetArchiveFileName(P("k/out/b.kqb"));
        batch.CompressFiles();
        EXPECT_EQ(fs::exists(dir / "k/out/LZHBATCH.$$$"), c.heldByAnother);
        EXPECT_FALSE(fs::exists(dir / "k/out/lzhbatch.dir"));
        EXPECT_EQ(batch.ValidArchive(), c.inputPresent);
    }
}

namespace {

// Files packed ahead in the background give the archive a plain run gives;
// a file rewritten (even to the same size), grown or removed after it was
// packed is archived as it is when the run reads it.
TEST_F(Batch, PackingAheadGivesThePlainArchiveAndNoticesChangedFiles) {
    const std::map<std::string, std::string> first = {
        {"a.tbl", Text(200000, 'a')}, {"b.tbl", Text(5000, 'b')}, {"c.tbl", Text(30000, 'c')},
        {"d.tbl", Text(1000, 'd')},   {"e.tbl", Text(70000, 'e')},
    };
    for (const auto& [name, bytes] : first) Write("in/" + name, bytes);
    TLZHBatch ahead;
    ahead.SetArchiveFileName(P("out/ahead.kqb"));
    fs::create_directories(dir / "out");
    for (const auto& [name, bytes] : first) ahead.PackAhead(P("in/" + name));
    ahead.FinishPackingAhead();
    std::string b = first.at("b.tbl");
    b[2500] = static_cast<char>(b[2500] + 1);
    Write("in/b.tbl", b);                              // same size, other bytes
    Write("in/c.tbl", first.at("c.tbl") + "tail");   // grown
    fs::remove(dir / "in/d.tbl");                      // gone
    for (const auto& [name, bytes] : first) ahead.InputFiles().Add(P("in/" + name));
    ahead.CompressFiles();
    ASSERT_TRUE(ahead.ValidArchive());
    EXPECT_EQ(ahead.MembersPackedAhead(), 2);  // a and e

    TLZHBatch plain;
    plain.SetArchiveFileName(P("out/plain.kqb"));
    for (const auto& [name, bytes] : first) plain.InputFiles().Add(P("in/" + name));
    plain.CompressFiles();
    EXPECT_EQ(plain.MembersPackedAhead(), 0);
    EXPECT_TRUE(testsupport::ReadFileBytes(P("out/ahead.kqb")) == testsupport::ReadFileBytes(P("out/plain.kqb")));

    std::int64_t start = 0;
    const std::vector<TArchiveMember> members = Directory(P("out/ahead.kqb"), &start);
    ASSERT_EQ(members.size(), 4u);
    EXPECT_TRUE(Member(P("out/ahead.kqb"), start, members[1]) == b);
    EXPECT_TRUE(Member(P("out/ahead.kqb"), start, members[2]) == first.at("c.tbl") + "tail");
}

// A batch destroyed while files are still being packed ahead waits for them
// and leaves no archive nor work file.
TEST_F(Batch, PackingAheadWithoutARunLeavesNothing) {
    Write("in/big.tbl", Text(2000000, 'x'));
    {
        TLZHBatch batch;
        batch.SetArchiveFileName(P("in/never.kqb"));
        batch.PackAhead(P("in/big.tbl"));
        batch.PackAhead(P("in/missing.tbl"));
    }
    EXPECT_FALSE(fs::exists(dir / "in/never.kqb"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "in"), fs::directory_iterator()), 1);
}

}  // namespace
