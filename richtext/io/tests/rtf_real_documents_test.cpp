// What word processors put in their RTF: typographic characters, Unicode
// characters with fallbacks, pictures in their two forms, sections, index
// entries and bookmarks, and linked pictures named in the document.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/imaging/graphic.h"
#include "richtext/io/tests/rtf_test_util.h"
#include "tests/support/test_support.h"

namespace {

using namespace richtext;
using rtftest::Paragraphs;
using rtftest::ReadRtf;
using Strings = std::vector<std::string>;

struct CharCase {
    const char* rtf;
    const char* text;
};

TEST(RtfRealDocuments, TypographicAndUnicodeCharacters) {
    const CharCase cases[] = {
        {R"({\rtf1 It\rquote s 4\endash 6 lb})", "It\x92s 4\x96" "6 lb"},
        {R"({\rtf1 \lquote a\rquote  \ldblquote b\rdblquote })", "\x91" "a\x92 \x93" "b\x94"},
        {R"({\rtf1 \bullet x\emdash y})", "\x95x\x97y"},
        {R"({\rtf1 a\~b\-c\_d})", "a\xA0" "b\xAD" "c-d"},
        // \u with a Windows-1252 byte: the byte, and the fallback is dropped.
        {R"({\rtf1 caf\u233?s})", "caf\xE9s"},
        {R"({\rtf1 \u8217\'92s})", "\x92s"},
        {R"({\rtf1\uc2 \u8364 EUs})", "\x80s"},
        {R"({\rtf1\uc0 \u233 x})", "\xE9x"},
        // Negative numbers count from 65536.
        {R"({\rtf1 \u-3908?x})", "?x"},
        // No Windows-1252 byte: the fallback is read instead.
        {R"({\rtf1 \u1071?x})", "?x"},
        {R"({\rtf1 \u1071\'3fx})", "?x"},
        // \uc holds for its group only; a brace ends a fallback early.
        {R"({\rtf1 {\uc3 \u233 abcd}\u233 ef})", "\xE9" "d\xE9" "f"},
        {R"({\rtf1 \uc2 \u233{x}y})", "\xE9xy"},
    };
    for (const CharCase& c : cases) {
        SCOPED_TRACE(c.rtf);
        auto l = ReadRtf(c.rtf);
        EXPECT_EQ(l.result, 0);
        EXPECT_EQ(Paragraphs(*l.model), Strings{c.text});
    }
}

std::size_t CountBytes(const TJDRTFText& m, unsigned char c) {
    std::size_t n = 0;
    for (TParagraph* p = m.FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next) n += static_cast<std::size_t>(std::count(l->text.begin(), l->text.end(), static_cast<char>(c)));
    for (const auto& f : m.Footnotes()) n += static_cast<std::size_t>(std::count(f->text.begin(), f->text.end(), static_cast<char>(c)));
    return n;
}

std::size_t CountWord(const std::string& bytes, const char* word) {
    std::regex re(std::string("\\\\") + word + "(?![a-z])");
    return static_cast<std::size_t>(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), re), std::sregex_iterator()));
}

TEST(RtfRealDocuments, CorpusQuotesAndDashesAreAllKept) {
    TAVRIN_REQUIRE_CORPUS();
    struct FileCase {
        const char* file;
        const char* word;
        unsigned char byte;
        std::size_t expected;  // the count in the file, checked against the file too
    };
    const FileCase cases[] = {
        {"hpj/eudora71/Eudora.rtf", "rquote", 0x92, 267},
        {"rtf/rtfpipe-tables_from_web1.rtf", "endash", 0x96, 88},
        {"rtf/rtfpipe-tables_from_web1.rtf", "emdash", 0x97, 32},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.word);
        std::string bytes = testsupport::ReadFileBytes(testsupport::CorpusFile(c.file));
        ASSERT_EQ(CountWord(bytes, c.word), c.expected);
        auto l = ReadRtf(bytes);
        ASSERT_EQ(l.result, 0);
        // Text inside skipped destinations (index entries, bookmarks) holds
        // some of them; count only those of the text the reader keeps.
        std::size_t inSkipped = 0;
        std::regex skipped(std::string(R"(\{\\(?:xe|\*\\bkmkstart|\*\\bkmkend)[^{}]*(?:\{[^{}]*\}[^{}]*)*\})"));
        for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), skipped); it != std::sregex_iterator(); ++it)
            inSkipped += CountWord(it->str(), c.word);
        EXPECT_EQ(CountBytes(*l.model, c.byte), c.expected - inSkipped);
    }
}

std::size_t CountObjects(const TJDRTFText& m) {
    std::size_t n = 0;
    for (TParagraph* p = m.FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next)
            for (const auto& a : l->attrs) n += (a.style & kStyleObject) ? 1 : 0;
    return n;
}

TEST(RtfRealDocuments, PicturesInsideShapeGroupsAreRead) {
    TAVRIN_REQUIRE_CORPUS();
    const char* twin = R"({\rtf1 a{\*\shppict{\pict\dibitmap0\picw1\pich1 28000000}}{\nonshppict{\pict\wmetafile8 0100}}b})";
    auto l = ReadRtf(twin);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(CountObjects(*l.model), 1u);  // the twin is skipped
    EXPECT_EQ(Paragraphs(*l.model), Strings{"a\x01" "b"});
    // A \nonshppict without the first form is the only picture there is.
    auto alone = ReadRtf(R"({\rtf1 a{\nonshppict{\pict\wmetafile8 0100}}b})");
    EXPECT_EQ(CountObjects(*alone.model), 1u);

    std::string bytes = testsupport::ReadFileBytes(testsupport::CorpusFile("rtf/rtfpipe-image_from_strings.rtf"));
    ASSERT_EQ(CountWord(bytes, "shppict"), 7u);
    auto corpus = ReadRtf(bytes);
    EXPECT_EQ(corpus.result, 0);
    EXPECT_EQ(CountObjects(*corpus.model), 7u);
}

TEST(RtfRealDocuments, StructureCases) {
    const rtftest::Loaded sect = ReadRtf(R"({\rtf1\trowd\cellx1000\intbl a\cell\row\pard\sect\sectd b\sect c})");
    EXPECT_EQ(sect.result, 0);
    EXPECT_EQ(Paragraphs(*sect.model), (Strings{"a", "", "b", "c"}));
    // The prose after a section end is no cell.
    TParagraph* b = sect.model->ParagraphAt(2);
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->IsCell());

    const CharCase cases[] = {
        {R"({\rtf1 Topic{\v {\xe {\b Index}entry}} text})", "Topic text"},
        {R"({\rtf1 a{\*\bkmkstart mark}b{\*\bkmkend mark}c})", "abc"},
        {R"({\rtf1 a{\tc Contents entry}b{\tcn x}c})", "abc"},
    };
    for (const CharCase& c : cases) {
        SCOPED_TRACE(c.rtf);
        auto l = ReadRtf(c.rtf);
        EXPECT_EQ(l.result, 0);
        EXPECT_EQ(Paragraphs(*l.model), Strings{c.text});
        EXPECT_EQ(rtftest::AttrOf(*l.model, "entry"), nullptr);
    }
}

TEST(RtfRealDocuments, CorpusSectionProseIsNotInACell) {
    TAVRIN_REQUIRE_CORPUS();
    std::string bytes = testsupport::ReadFileBytes(testsupport::CorpusFile("rtf/rtfpipe-footnotes.rtf"));
    auto l = ReadRtf(bytes);
    ASSERT_EQ(l.result, 0);
    int found = 0;
    for (TParagraph* p = l.model->FirstParagraph(); p; p = p->next) {
        std::string t = l.model->ParagraphText(p);
        if (t.find("Lorem ipsum dolor sit amet") != std::string::npos || t.find("Nulla a ante nec diam egestas tempus. Nullam") != std::string::npos) {
            ++found;
            EXPECT_FALSE(p->IsCell()) << t;
            EXPECT_EQ(t.find("Nulla a ante nec diam egestas tempus.Nulla"), std::string::npos) << t;
        }
    }
    EXPECT_GE(found, 2);
}

TEST(RtfRealDocuments, UnterminatedPictureNameIsAnErrorAndStopsAtTheGroupEnd) {
    auto l = ReadRtf(R"({\rtf1 a{\*\picfile "C:\\none.bmp}b\par c})");
    EXPECT_EQ(l.result, kReadBadPictureName);
    // The rest of the document is read, not swallowed into the name.
    EXPECT_EQ(Paragraphs(*l.model), (Strings{"a\x01" "b", "c"}));
    ASSERT_EQ(l.model->Objects().size(), 1u);
    EXPECT_EQ(l.model->Objects()[0]->fileName, "C:\\none.bmp");

    std::string longName = "{\\rtf1 {\\*\\picfile \"" + std::string(400, 'n') + "}z}";
    auto tooLong = ReadRtf(longName);
    EXPECT_EQ(tooLong.result, kReadBadPictureName);
    EXPECT_EQ(Paragraphs(*tooLong.model), Strings{"\x01z"});
    EXPECT_EQ(tooLong.model->Objects()[0]->fileName.size(), 255u);
}

TEST(RtfRealDocuments, LinkedPicturesAreOrdinaryFilesOnly) {
    testsupport::TempDir dir;
    std::filesystem::path good = dir.path() / "pic.bmp";
    testsupport::WriteFileBytes(good, std::string("BM") + std::string(60, '\0'));
    std::filesystem::create_directory(dir.path() / "folder.bmp");

    struct LinkCase {
        std::string name;
        bool loaded;
    };
    const LinkCase cases[] = {
        {good.string(), true},
        {(dir.path() / "folder.bmp").string(), false},
        {(dir.path() / "missing.bmp").string(), false},
        {"/dev/zero", false},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream in("{\\rtf1 {\\*\\picfile \"" + c.name + "\"}}");
        TJDRTFText model;
        TJDRtfReader reader;
        reader.SetModel(&model);
        EXPECT_EQ(reader.Read(in), 0);
        ASSERT_EQ(model.Objects().size(), 1u);
        EXPECT_EQ(model.Objects()[0]->object != nullptr, c.loaded);
        EXPECT_EQ(reader.missingPictures.empty(), c.loaded);
    }
}

TEST(RtfRealDocuments, SpacingAndIndentsAreBounded) {
    auto l = ReadRtf(R"({\rtf1\sl-2147483648\sb2147483647\sa-5\li2147483647\fi-2147483648 x})");
    ASSERT_EQ(l.result, 0);
    TParagraph* p = l.model->FirstParagraph();
    EXPECT_EQ(p->lineSpacing, -TJDRtfReader::kMaxSpacing);
    EXPECT_EQ(p->spaceBefore, TJDRtfReader::kMaxSpacing);
    EXPECT_EQ(p->spaceAfter, 0);
    EXPECT_LE(p->leftIndent, TJDRtfReader::kMaxIndent + 1440);
    EXPECT_GE(p->firstIndent, -TJDRtfReader::kMaxIndent);
}

TEST(RtfRealDocuments, FootnoteIdsRunOnAndRefusePastTheLimit) {
    // Numbers freed by a removal are not handed out again while the counter runs.
    TJDRTFText m;
    TJDFootnote* a = m.AddFootnote('#', 0);
    TJDFootnote* b = m.AddFootnote('#', 0);
    EXPECT_EQ(b->id, a->id + 1);
    std::uint16_t bId = b->id;
    m.RemoveFootnote(bId);
    EXPECT_EQ(m.AddFootnote('#', 0)->id, bId + 1);
    EXPECT_EQ(m.FindFootnote(bId), nullptr);

    std::string rtf = "{\\rtf1 ";
    for (int i = 0; i < 66000; ++i) rtf += "#{\\footnote x}";
    rtf += "}";
    auto l = ReadRtf(rtf);
    EXPECT_EQ(l.result, kReadTooManyObjects);
    EXPECT_EQ(l.model->Footnotes().size(), 65535u);
    // Every mark finds its own footnote: no id is given twice.
    EXPECT_EQ(l.model->FindFootnote(65535)->id, 65535);
    EXPECT_THROW(l.model->AddFootnote('#', 0), ERichTextError);
}

TEST(RtfRealDocuments, ObjectIdsRefusePastTheLimit) {
    TJDRTFText m;
    for (int i = 1; i <= 0xFFFF; ++i) ASSERT_EQ(m.AddObject(nullptr, 0)->id, i);
    EXPECT_THROW(m.AddObject(nullptr, 0), ERichTextError);
    // Tags handed out from 2000 on run to the last number and then refuse.
    TJDRTFText t;
    for (int i = 2000; i <= 0xFFFE; ++i) ASSERT_EQ(t.AddObject(nullptr, 0xFFFF)->tag, i);
    EXPECT_THROW(t.AddObject(nullptr, 0xFFFF), ERichTextError);
}

}  // namespace
