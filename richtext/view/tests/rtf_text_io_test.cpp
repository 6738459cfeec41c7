#include "richtext/view/rtf_text_io.h"

#include <gtest/gtest.h>

#include <functional>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/exceptions.h"
#include "tests/support/test_support.h"

using namespace richtext;

namespace {

std::vector<std::string> Paragraphs(const TJDRTFText& m) {
    std::vector<std::string> v;
    for (TParagraph* p = m.FirstParagraph(); p; p = p->next) v.push_back(m.ParagraphText(p));
    return v;
}

std::string Text(const TJDRTFText& m) {
    std::string s;
    bool first = true;
    for (const std::string& p : Paragraphs(m)) {
        s += (first ? "" : "|") + p;
        first = false;
    }
    return s;
}

struct DetectCase {
    std::string bytes;
    TJDLoadFormat format;
};

class Detect : public ::testing::TestWithParam<DetectCase> {};

TEST_P(Detect, FindsFormatAndKeepsPosition) {
    std::istringstream in("HEAD" + GetParam().bytes);
    in.seekg(4);
    EXPECT_EQ(TJDRTFTextIo::DetectFormat(in), GetParam().format) << GetParam().bytes;
    EXPECT_EQ(in.tellg(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Detect,
    ::testing::Values(DetectCase{" \r\n\t\b{\\rtf1 x}", TJDLoadFormat::FormatRTF},
                      DetectCase{"{\\rtx1 x}", TJDLoadFormat::FormatANSI},
                      DetectCase{"<HTML>", TJDLoadFormat::FormatHTML},
                      DetectCase{"text <b>bold</b>", TJDLoadFormat::FormatHTML},
                      DetectCase{"a<Br>b", TJDLoadFormat::FormatHTML},
                      DetectCase{"<htmlx>", TJDLoadFormat::FormatANSI},
                      DetectCase{"<h\r1>", TJDLoadFormat::FormatANSI},
                      DetectCase{std::string(1995, 'x') + "<html>", TJDLoadFormat::FormatANSI},
                      DetectCase{std::string("x\0<p>", 5), TJDLoadFormat::FormatANSI},
                      DetectCase{"", TJDLoadFormat::FormatANSI}));

struct LoadCase {
    TJDLoadFormat loadFormat;
    std::string bytes;
    TJDLoadFormat used;
    std::string text;
};

class Load : public ::testing::TestWithParam<LoadCase> {};

TEST_P(Load, ChoosesReaderByFormat) {
    TJDRTFTextIo e;
    e.LoadFormat = GetParam().loadFormat;
    EXPECT_EQ(e.LoadFromString(GetParam().bytes), GetParam().used);
    EXPECT_EQ(Text(e), GetParam().text);
    EXPECT_EQ(e.LoadResult(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Load,
    ::testing::Values(
        LoadCase{TJDLoadFormat::AutomaticFormat, "  {\\rtf1 a\\par b}", TJDLoadFormat::FormatRTF, "a|b"},
        LoadCase{TJDLoadFormat::AutomaticFormat, "<p>a</p><p>b", TJDLoadFormat::FormatHTML, "a|b"},
        LoadCase{TJDLoadFormat::AutomaticFormat, "a\r\nb\rc\nd", TJDLoadFormat::FormatANSI, "a|b|c|d"},
        LoadCase{TJDLoadFormat::FormatANSI, "{\\rtf1 a}", TJDLoadFormat::FormatANSI, "{\\rtf1 a}"},
        LoadCase{TJDLoadFormat::FormatHTML, "a  b", TJDLoadFormat::FormatHTML, "a b"},
        LoadCase{TJDLoadFormat::LastFormat, "<b>x</b>", TJDLoadFormat::FormatHTML, "x"}));

TEST(TextIo, LfOnlyTextLoadsOneParagraphPerLine) {
    std::string text;
    for (int i = 0; i < 30000; ++i) text += "line " + std::to_string(i) + "\n";
    TJDRTFTextIo e;
    EXPECT_EQ(e.LoadFromString(text), TJDLoadFormat::FormatANSI);
    EXPECT_EQ(e.ParagraphCount(), 30001);  // the last line end opens an empty paragraph
    EXPECT_EQ(e.ParagraphText(e.ParagraphAt(29999)), "line 29999");
}

TEST(TextIo, LargePlainTextIsHeldWithoutAttributes) {
    TJDRTFTextIo e;
    e.LoadFromString(std::string(600000, 'x'));
    EXPECT_FALSE(e.RichText());
    EXPECT_EQ(e.TextLength(), 600000);
}

TEST(TextIo, EmptyTextSavesAsEmptyStreamButCompleteFile) {
    testsupport::TempDir dir;
    TJDRTFTextIo e;
    EXPECT_EQ(e.SaveToString(), "");
    std::string name = (dir / "A.RTF").string();
    ASSERT_EQ(e.SaveToFile(name), 0);
    std::string rtf = testsupport::ReadFileBytes(name);
    EXPECT_EQ(rtf.substr(0, 5), "{\\rtf");
    EXPECT_EQ(rtf.back(), '}');
}

TEST(TextIo, SaveFormatFollowsFileNameAndIsRestored) {
    testsupport::TempDir dir;
    TJDRTFTextIo e;
    e.LoadFromString("hello");
    e.SaveFormat = TJDLoadFormat::FormatRTF;
    std::string name = (dir / "page.htm").string();
    ASSERT_EQ(e.SaveToFile(name), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(name).substr(0, 8), "<html>\r\n");
    EXPECT_EQ(e.SaveFormat, TJDLoadFormat::FormatRTF);
    EXPECT_FALSE(e.SavingToFile());
    // Other names use the save format.
    std::string other = (dir / "page.txt").string();
    ASSERT_EQ(e.SaveToFile(other), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(other).substr(0, 5), "{\\rtf");
}

TEST(TextIo, SaveToFileKeepsTheNamesCaseAndLeavesNoTemporaryFile) {
    testsupport::TempDir dir;
    TJDRTFTextIo e;
    e.LoadFromString("x");
    ASSERT_EQ(e.SaveToFile((dir / "MixedCase.Rtf").string()), 0);
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(dir.path())) names.push_back(f.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"MixedCase.Rtf"});
}

// Writes part of a document and then fails, as a full disk would.
class FailingWriter : public TJDTextWriter {
public:
    using TJDTextWriter::TJDTextWriter;

protected:
    bool BeginDocument() override { return Put("partial"); }
    bool WriteRange() override {
        result_ = kWriteFailed;
        return false;
    }
};

TEST(TextIo, FailedSaveKeepsTheOldFile) {
    testsupport::TempDir dir;
    std::string name = (dir / "keep.rtf").string();
    testsupport::WriteFileBytes(name, "old contents");
    TJDRTFTextIo e;
    e.LoadFromString("new");
    FailingWriter w(&e);
    e.externalWriter = &w;
    EXPECT_EQ(e.SaveToFile(name), kWriteFailed);
    EXPECT_EQ(e.SaveResult(), kWriteFailed);
    EXPECT_EQ(testsupport::ReadFileBytes(name), "old contents");
    int files = 0;
    for ([[maybe_unused]] const auto& f : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
    // Disabled, the external writer is not used.
    e.disableExternal = true;
    EXPECT_EQ(e.SaveToFile(name), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(name).substr(0, 5), "{\\rtf");
}

TEST(TextIo, SaveIntoMissingFolderRaises) {
    testsupport::TempDir dir;
    TJDRTFTextIo e;
    std::string name = (dir / "no" / "such.rtf").string();
    try {
        e.SaveToFile(name);
        FAIL() << "no exception";
    } catch (const plat::EFCreateError& ex) {
        EXPECT_NE(std::string(ex.what()).find(name), std::string::npos) << ex.what();
    }
    EXPECT_THROW(e.LoadFromFile(name), plat::EFOpenError);
}

TEST(TextIo, FilesStreamsAndStringsRoundTrip) {
    testsupport::TempDir dir;
    TJDRTFTextIo e;
    e.LoadFromString("{\\rtf1{\\fonttbl{\\f0 Arial;}}a {\\b bold}\\par second}");
    ASSERT_EQ(Text(e), "a bold|second");

    plat::MemoryStream mem;
    ASSERT_EQ(e.SaveToStream(mem), 0);
    mem.SetPosition(0);
    TJDRTFTextIo copy;
    EXPECT_EQ(copy.LoadFromStream(mem), TJDLoadFormat::FormatRTF);
    EXPECT_EQ(Text(copy), "a bold|second");

    std::string name = (dir / "doc.txt").string();
    e.SaveFormat = TJDLoadFormat::FormatANSI;
    ASSERT_EQ(e.SaveToFile(name), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(name), std::string("a bold\r\nsecond\0", 15));
    TJDRTFTextIo fromFile;
    EXPECT_EQ(fromFile.LoadFromFile(name), TJDLoadFormat::FormatANSI);
    EXPECT_EQ(fromFile.LastFileFormat(), TJDLoadFormat::FormatANSI);
    // The NUL at the end is no text.
    EXPECT_EQ(Text(fromFile), "a bold|second");
    // Saved in automatic format, the text keeps the format its file had.
    EXPECT_EQ(fromFile.SaveToString().substr(0, 6), "a bold");

    TJDRTFTextIo html;
    html.SaveFormat = TJDLoadFormat::FormatHTML;
    html.LoadFromString("<p>x</p>");
    EXPECT_NE(html.SaveToString().find("<p>x</p>"), std::string::npos);
}

TEST(TextIo, StreamIsLeftWhereTheReaderStopped) {
    std::string bytes = "{\\rtf1 a}TAIL";
    plat::MemoryStream mem(bytes);
    TJDRTFTextIo e;
    e.LoadFromStream(mem);
    EXPECT_EQ(mem.Position(), 9);
    EXPECT_EQ(Text(e), "a");
}

TEST(TextIo, InsertsIntoNonEmptyTextAtTheCursor) {
    TJDRTFTextIo e;
    e.LoadFromString("hello world");
    ASSERT_TRUE(e.SetCursor(6, 0));
    e.LoadFormat = TJDLoadFormat::FormatANSI;
    e.LoadFromString("big\r\nnew ");
    EXPECT_EQ(Text(e), "hello big|new world");
    int pos, line, par, inPar;
    e.GetCursor(pos, line, par, inPar);
    EXPECT_EQ(pos, 14);  // after the inserted text
    EXPECT_EQ(par, 1);
    EXPECT_EQ(inPar, 4);
}

TEST(TextIo, InsertFlagDecidesAndBeforeInsertCanVeto) {
    TJDRTFTextIo e;
    e.LoadFromString("keep");
    int asked = 0;
    e.services.OnBeforePaste = [&](void*, TParagraph* first, bool& doIt) {
        ++asked;
        EXPECT_EQ(first->lines->text, "more");
        doIt = false;
    };
    e.LoadFromString("more");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Text(e), "keep");

    e.insertSelection = TThreeState::tsFALSE;  // replace, whatever the text holds
    e.LoadFromString("other");
    EXPECT_EQ(Text(e), "other");
    EXPECT_EQ(asked, 1);

    TJDRTFTextIo empty;
    empty.insertSelection = TThreeState::tsTRUE;  // insert even into an empty text
    int loaded = 0;
    empty.services.OnLoaded = [&](void*) { ++loaded; };
    empty.LoadFromString("x");
    EXPECT_EQ(Text(empty), "x");
    EXPECT_EQ(loaded, 0);
}

TEST(TextIo, InsertedPicturesGetRecordsOfTheText) {
    TJDRTFTextIo e;
    e.services.OnHTMLBitmapRequest = [](void*, const std::string&, std::shared_ptr<plat::TGraphic>&) {};
    e.LoadFormat = TJDLoadFormat::FormatHTML;
    e.LoadFromString("<img src=\"a.gif\">");
    e.SetCursor(1, 0);
    e.LoadFromString("<img src=\"b.gif\">");
    TLine* l = e.FirstParagraph()->lines;
    ASSERT_EQ(l->text, "\x01\x01");
    TJDObjectRecord* a = e.ObjectForCharTag(l->attrs[0].tag);
    TJDObjectRecord* b = e.ObjectForCharTag(l->attrs[1].tag);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->fileName, "a.gif");
    EXPECT_EQ(b->fileName, "b.gif");
}

TEST(TextIo, FailedReadSetsResultAndPassesTheErrorOn) {
    class Throwing : public TJDTextReader {
    protected:
        int ReadAll() override { throw ERichTextError("broken"); }
    } reader;
    TJDRTFTextIo e;
    e.externalReader = &reader;
    std::istringstream in("x");
    EXPECT_THROW(e.LoadFromStream(in), ERichTextError);
    EXPECT_EQ(e.LoadResult(), kLoadFailed);
}

// A document with a table and a paragraph of two lines.
void BuildTableDocument(TJDRTFTextIo& e) {
    e.LoadFromString("<p>intro</p><table><tr><td>a1<td>b22</tr><tr><td><td>c</tr></table><p>end</p>");
    TParagraph* last = e.LastParagraph();
    TLine* second = e.NewLineAfter(last, last->lines);
    for (char c : std::string("more")) e.InsertChar(second, c, e.currentAttr);
}

TEST(TextIo, PositionsRoundTripOverTables) {
    TJDRTFTextIo e;
    BuildTableDocument(e);
    ASSERT_EQ(Text(e), "intro|a1|b22||c|endmore");
    int total = e.TextLength();
    int lastLine = -1;
    for (int pos = 0; pos <= total; ++pos) {
        TTextPointer p;
        ASSERT_TRUE(e.PositionToPointer(pos, p)) << pos;
        int back, line, par, inPar;
        e.GetPosition(p.par, p.line, p.pos, back, line, par, inPar);
        EXPECT_EQ(back, pos);
        EXPECT_EQ(e.ParagraphAt(par), p.par);
        TTextPointer q;
        ASSERT_TRUE(e.ParPositionToPointer(par, inPar, q));
        EXPECT_EQ(q, p);
        EXPECT_GE(line, lastLine);
        lastLine = line;
    }
    TTextPointer p;
    EXPECT_FALSE(e.PositionToPointer(-1, p));
    EXPECT_FALSE(e.PositionToPointer(total + 1, p));
    EXPECT_FALSE(e.ParPositionToPointer(99, 0, p));
}

TEST(TextIo, PositionEdgeCases) {
    TJDRTFTextIo e;
    BuildTableDocument(e);
    int pos, line, par, inPar;
    // The first character of the second paragraph lies after the first one and its end.
    e.GetPosition(e.ParagraphAt(1), e.ParagraphAt(1)->lines, 0, pos, line, par, inPar);
    EXPECT_EQ(pos, 6);
    // A position at a line's end stays on that line; one further moves on.
    TParagraph* last = e.LastParagraph();
    TTextPointer p;
    ASSERT_TRUE(e.ParPositionToPointer(5, 3, p));
    EXPECT_EQ(p.line, last->lines);
    EXPECT_EQ(p.pos, 3);
    ASSERT_TRUE(e.ParPositionToPointer(5, 4, p));
    EXPECT_EQ(p.line, last->lines->next);
    EXPECT_EQ(p.pos, 1);
    // Lines count over all paragraphs.
    ASSERT_TRUE(e.LineToPointer(6, p));
    EXPECT_EQ(p.line, last->lines->next);
    EXPECT_FALSE(e.LineToPointer(7, p));
    ASSERT_TRUE(e.SetCursor(0, 6));
    e.GetCursor(pos, line, par, inPar);
    EXPECT_EQ(line, 6);
    EXPECT_EQ(inPar, 3);
    // A line not in its paragraph adds no position in line.
    e.GetPosition(last, nullptr, 2, pos, line, par, inPar);
    EXPECT_EQ(inPar, 7);
    EXPECT_FALSE(e.SetCursor(1000, 0));
    EXPECT_EQ(e.cursor.line, last->lines->next);
}

TEST(TextIo, StringsView) {
    TJDRTFTextIo e;
    TJDRtfStrings s(e);
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Get(0), "");
    EXPECT_EQ(s.Add("a"), 0);
    EXPECT_EQ(s.Add("b"), 1);
    EXPECT_EQ(s.Count(), 2);
    s.Put(0, "x");
    s.Insert(1, "m");
    EXPECT_EQ(Text(e), "x|m|b");
    s.Delete(1);
    EXPECT_EQ(s.Get(1), "b");
    EXPECT_EQ(s.Get(2), "");
    EXPECT_EQ(s.Get(-1), "");
    std::ostringstream out;
    EXPECT_EQ(s.SaveToStream(out), 0);
    EXPECT_EQ(out.str(), std::string("x\r\nb\0", 5));
    e.LoadFormat = TJDLoadFormat::FormatANSI;
    std::istringstream in("<p>h</p>");
    s.Clear();
    s.LoadFromStream(in);
    EXPECT_EQ(s.Get(0), "h");
    EXPECT_EQ(e.LoadFormat, TJDLoadFormat::FormatANSI);
    s.Delete(0);
    EXPECT_EQ(s.Count(), 0);
}

// The strings view keeps its place in the paragraph list between calls;
// whatever changes the list's links, the next reads must see the list as it
// now is, read from every end of it.
TEST(TextIo, StringsViewFollowsEveryChangeOfTheParagraphList) {
    struct Change {
        const char* what;
        std::function<void(TJDRTFTextIo&)> apply;
    } changes[] = {
        {"insert in the middle", [](TJDRTFTextIo& e) { e.InsertParagraphAt(2, "new"); }},
        {"delete the one read last", [](TJDRTFTextIo& e) { e.DeleteParagraphAt(4); }},
        {"delete the first", [](TJDRTFTextIo& e) { e.DeleteParagraphAt(0); }},
        {"split one", [](TJDRTFTextIo& e) { e.SplitParagraph(e.ParagraphAt(3), 1); }},
        {"join two", [](TJDRTFTextIo& e) { e.JoinAtParagraphEnd(e.ParagraphAt(1)); }},
        {"move the list back in",
         [](TJDRTFTextIo& e) {
             TParagraph* list = e.DetachParagraphs();
             e.InsertParagraphList(e.FirstParagraph(), e.FirstParagraph()->lines, 0, list);
         }},
        {"load another text", [](TJDRTFTextIo& e) { e.LoadFromString("<p>one<p>two"); }},
        {"clear", [](TJDRTFTextIo& e) { e.ClearText(); }},
    };
    for (const Change& c : changes) {
        TJDRTFTextIo e;
        TJDRtfStrings s(e);
        for (const char* t : {"p0", "p1", "p2", "p3", "p4", "p5"}) s.Add(t);
        // Reads that leave the view's place near the end, then near the start.
        ASSERT_EQ(s.Count(), 6) << c.what;
        EXPECT_EQ(s.Get(5), "p5");
        EXPECT_EQ(s.Get(4), "p4");
        c.apply(e);
        std::vector<std::string> walked;
        for (TParagraph* p = e.FirstParagraph(); p; p = p->next) walked.push_back(e.ParagraphText(p));
        if (walked == std::vector<std::string>{""}) walked.clear();
        ASSERT_EQ(s.Count(), static_cast<int>(walked.size())) << c.what;
        for (int i : {3, 0, s.Count() - 1, 1})
            if (i >= 0 && i < s.Count()) EXPECT_EQ(s.Get(i), walked[i]) << c.what << ", string " << i;
        std::vector<std::string> read;
        for (int i = 0; i < s.Count(); ++i) read.push_back(s.Get(i));
        EXPECT_EQ(read, walked) << c.what;
        EXPECT_EQ(s.Get(s.Count()), "") << c.what;
    }
}

TEST(TextIo, StorageAssignCopiesTextHeaderAndObjects) {
    TJDRTFTextIo e;
    e.services.OnHTMLBitmapRequest = [](void*, const std::string&, std::shared_ptr<plat::TGraphic>&) {};
    e.LoadFromString("<title>T</title><FONT FACE=Verdana>a</FONT><img src=\"p.gif\"><p>b");
    TJDRtfStorage storage;
    storage.SetRtfText(e);
    TJDRTFTextIo& c = storage.RtfText();
    EXPECT_EQ(Text(c), Text(e));
    EXPECT_EQ(c.Header().title, "T");
    TLine* l = c.FirstParagraph()->lines;
    EXPECT_EQ(c.Header().fontNames[l->attrs[0].font], "Verdana");
    TJDObjectRecord* rec = c.ObjectForCharTag(l->attrs[1].tag);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fileName, "p.gif");
    e.ClearText();
    EXPECT_EQ(Text(c), "a\x01|b");
}

TEST(TextIo, DataPropertyHoldsTheTextAsRtf) {
    TJDRTFTextIo e;
    EXPECT_FALSE(e.HasData());
    e.LoadFromString("one\r\ntwo");
    EXPECT_TRUE(e.HasData());
    std::stringstream data;
    e.WriteData(data);
    EXPECT_EQ(data.str().substr(0, 5), "{\\rtf");
    TJDRTFTextIo back;
    back.LoadFromString("old");
    back.ReadData(data);
    EXPECT_EQ(Text(back), "one|two");
}

TEST(TextIo, SelectionSavesOnlyItsRange) {
    TJDRTFTextIo e;
    e.LoadFromString("abc\r\ndef");
    e.SaveFormat = TJDLoadFormat::FormatANSI;
    std::ostringstream none;
    EXPECT_EQ(e.SaveSelectionToStream(none), 0);
    EXPECT_EQ(none.str(), "");
    ASSERT_TRUE(e.PositionToPointer(6, e.selStart));
    ASSERT_TRUE(e.PositionToPointer(1, e.selEnd));
    e.selReversed = true;
    std::ostringstream out;
    EXPECT_EQ(e.SaveSelectionToStream(out), 0);
    EXPECT_EQ(out.str(), std::string("bc\r\nde\0", 7));
}

TEST(TextIo, RepairTableFlagsDropsBrokenRows) {
    TJDRTFTextIo e;
    e.LoadFromString("<table><tr><td>a<td>b</tr></table><p>c");
    TParagraph* a = e.FirstParagraph();
    TParagraph* c = a->next->next;
    c->flags |= kParCellFollows;  // announces a cell that does not come
    c->cellWidth = 100;
    c->spaceAfter = 80;
    e.RepairTableFlags();
    EXPECT_EQ(c->flags & (kParTableCell | kParCellFollows | kParNotFirstCell), 0);
    EXPECT_EQ(c->spaceAfter, 0);
    EXPECT_EQ(a->flags & kParTableCell, kParTableCell);
    EXPECT_EQ(a->next->flags & kParNotFirstCell, kParNotFirstCell);
}

}  // namespace

namespace {

TEST(SetMode, GettersReadTheEditorsCurrentAttribute) {
    TJDSetModeControl none;
    EXPECT_EQ(none.CurrentStyle(), 0);
    EXPECT_EQ(none.CurrentFontName(), "");

    TJDRTFTextIo e;
    int f = e.AddFontName("Verdana");
    e.currentAttr.font = static_cast<std::uint8_t>(f);
    e.currentAttr.size = 14;
    e.currentAttr.style = kStyleBold | kStyleHyperlink;
    e.currentAttr.SetTextColor(3);
    e.currentAttr.SetBackColor(12);
    TJDSetModeControl mode;
    mode.editor = &e;
    EXPECT_EQ(mode.CurrentStyle(), kStyleBold | kStyleHyperlink);
    EXPECT_EQ(mode.CurrentTextColor(), 3);
    EXPECT_EQ(mode.CurrentBackColor(), 12);
    EXPECT_EQ(mode.CurrentFontName(), "Verdana");
    EXPECT_EQ(mode.CurrentFontSize(), 14);
    e.currentAttr.font = kMaxFonts;  // no such entry
    EXPECT_EQ(mode.CurrentFontName(), "");
}

TEST(SetMode, SettingTheCursorTellsTheSetModeObject) {
    struct Counting : TJDSetModeControl {
        int paragraph = 0, attributes = 0;
        void RefreshParagraph() override { ++paragraph; }
        void RefreshAttributes() override { ++attributes; }
    } mode;
    TJDRTFTextIo e;
    e.LoadFromString("abc");
    e.services.setMode = &mode;
    EXPECT_TRUE(e.SetCursor(2, 0));
    EXPECT_FALSE(e.SetCursor(9, 0));
    EXPECT_EQ(mode.paragraph, 1);
    EXPECT_EQ(mode.attributes, 1);
}

}  // namespace

namespace {

// A real help project's pages: every jump (jump text with its hidden target)
// comes out as a link whose FONT COLOR tag stands right before it.
TEST(TextIo, HelpPagesFromCorpusWriteColouredLinks) {
    TAVRIN_REQUIRE_CORPUS();
    TJDRTFTextIo e;
    ASSERT_EQ(e.LoadFromFile(testsupport::CorpusFile("hpj/eudora71/Dialogs.rtf").string()), TJDLoadFormat::FormatRTF);
    e.SaveFormat = TJDLoadFormat::FormatHTML;
    std::string html = e.SaveToString();
    ASSERT_EQ(e.SaveResult(), 0);
    int links = 0;
    for (std::size_t k = html.find("<A HREF="); k != std::string::npos; k = html.find("<A HREF=", k + 1)) {
        ++links;
        ASSERT_GT(k, 0u);
        ASSERT_EQ(html[k - 1], '>');
        std::size_t open = html.rfind('<', k - 1);
        EXPECT_EQ(html.compare(open, 13, "<FONT COLOR=#"), 0) << html.substr(open, k - open + 40);
    }
    EXPECT_GE(links, 9);
    EXPECT_NE(html.find("<A HREF=\"Viewing_Mail_Options_Window\">Viewing Mail</A>"), std::string::npos);
}

}  // namespace

namespace {

// The footnotes of the text, as (mark, text, id) lookups through the marks.
std::vector<std::string> NotesByMark(const TJDRTFText& m) {
    std::vector<std::string> v;
    for (TParagraph* p = m.FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next)
            for (std::size_t i = 0; i < l->attrs.size(); ++i) {
                if (!(l->attrs[i].style & kStyleFootnote)) continue;
                const TJDFootnote* f = m.FindFootnote(l->attrs[i].tag);
                v.push_back(std::string(1, l->text[i]) + "=" + (f && l->attrs[i].tag ? f->text : "?"));
            }
    return v;
}

TEST(TextIo, InsertedTextBringsItsFootnotes) {
    TJDRTFTextIo e;
    e.LoadFromString(R"({\rtf1 a#{\footnote # first}b})");
    ASSERT_EQ(e.Footnotes().size(), 1u);
    e.SetCursor(3, 0);
    // The inserted note has id 1 in its own reading: it must not point at "first".
    e.LoadFromString(R"({\rtf1 c*{\footnote * second}d})");
    EXPECT_EQ(Text(e), "a#bc*d");
    EXPECT_EQ(e.Footnotes().size(), 2u);
    EXPECT_EQ(NotesByMark(e), (std::vector<std::string>{"#=first", "*=second"}));
    // And the written text carries both notes.
    e.SaveFormat = TJDLoadFormat::FormatRTF;
    std::string rtf = e.SaveToString();
    EXPECT_NE(rtf.find("second"), std::string::npos);
    EXPECT_NE(rtf.find("first"), std::string::npos);
}

TEST(TextIo, RefusedInsertLeavesNoFootnotes) {
    TJDRTFTextIo e;
    e.LoadFromString("keep");
    e.services.OnBeforePaste = [](void*, TParagraph*, bool& doIt) { doIt = false; };
    e.LoadFromString(R"({\rtf1 c*{\footnote * note}d})");
    EXPECT_TRUE(e.Footnotes().empty());
    // Inside a table cell the list is refused by the model.
    TJDRTFTextIo t;
    t.LoadFromString(R"({\rtf1\trowd\cellx1000\cellx2000\intbl a\cell b\cell\row})");
    t.SetCursor(0, 0);
    t.LoadFromString(R"({\rtf1 c*{\footnote * note}d})");
    EXPECT_TRUE(t.Footnotes().empty());
}

TEST(TextIo, PageStartsRepairTableFlagsWithoutLayout) {
    TJDRTFTextIo e;
    e.LoadFromString("a\r\nb");
    TParagraph* a = e.FirstParagraph();
    a->flags |= kParTableCell | kParCellFollows;
    a->next->flags |= kParTableCell | kParNotFirstCell;  // a row, but no cell width
    TJDRTFTextIo& io = e;
    EXPECT_EQ(io.ComputePageStarts(), 0);
    EXPECT_EQ(a->flags & (kParTableCell | kParCellFollows), 0);
    EXPECT_EQ(a->next->flags & (kParTableCell | kParNotFirstCell), 0);
}

// --- numbering through the readers and writers -------------------------------------------

TEST(Numbering, HtmlListIsNumberedText) {
    TJDRTFTextIo e;
    e.LoadFormat = TJDLoadFormat::FormatHTML;
    e.LoadFromString("<ol TYPE=A><li>one<li>two</ol><p>after<ul><li>dot</ul>");
    EXPECT_EQ(Text(e), "A)\tone|B)\ttwo|after|\xB7\tdot");
    EXPECT_EQ(e.FirstParagraph()->numbering, lsCapitalLetters * 16);
}

TEST(Numbering, RtfRoundTripKeepsTheNumbersOnce) {
    struct Case { const char* html; const char* text; } cases[] = {
        {"<ol><li>one<li>two</ol><p>after", "1.\tone|2.\ttwo|after"},
        {"<ol TYPE=a><li>one<li>two</ol>", "a)\tone|b)\ttwo"},
        {"<ul><li>one<li>two</ul>", "\xB7\tone|\xB7\ttwo"},
    };
    for (const Case& c : cases) {
        TJDRTFTextIo e;
        e.LoadFormat = TJDLoadFormat::FormatHTML;
        e.LoadFromString(c.html);
        e.SaveFormat = TJDLoadFormat::FormatRTF;
        TJDRTFTextIo back;
        back.LoadFromString(e.SaveToString());
        EXPECT_EQ(Text(back), c.text) << c.html;
        // Writing the read text again changes nothing: no second set of numbers.
        back.SaveFormat = TJDLoadFormat::FormatRTF;
        TJDRTFTextIo again;
        again.LoadFromString(back.SaveToString());
        EXPECT_EQ(Text(again), c.text) << c.html;
    }
}

TEST(Numbering, HtmlOutputShowsTheNumbersOnce) {
    TJDRTFTextIo e;
    e.LoadFormat = TJDLoadFormat::FormatHTML;
    e.LoadFromString("<ol TYPE=i><li>one<li>two</ol>");
    e.SaveFormat = TJDLoadFormat::FormatHTML;
    std::string html = e.SaveToString();
    EXPECT_NE(html.find("<p>i one</p>"), std::string::npos) << html;
    EXPECT_NE(html.find("<p>ii two</p>"), std::string::npos) << html;
    TJDRTFTextIo back;
    back.LoadFromString(html);
    EXPECT_EQ(Text(back), "i one|ii two");
    // Bullets are written in the text's face, not the symbol font the editor uses.
    TJDRTFTextIo bullets;
    bullets.LoadFormat = TJDLoadFormat::FormatHTML;
    bullets.LoadFromString("<ul><li>dot</ul>");
    bullets.SaveFormat = TJDLoadFormat::FormatHTML;
    html = bullets.SaveToString();
    EXPECT_NE(html.find("<p>&#183; dot</p>"), std::string::npos) << html;
}

TEST(Numbering, RenumberFollowsTheListStyleCodes) {
    TJDRTFTextIo e;
    e.LoadFormat = TJDLoadFormat::FormatHTML;
    e.LoadFromString("<ol><li>one<li>two</ol><p>after<ol><li>three</ol>");
    // A paragraph outside the list restarts the count; a changed code changes the text.
    e.FirstParagraph()->next->numbering = lsCapitalRoman * 16;
    EXPECT_TRUE(e.Renumber());
    EXPECT_EQ(Text(e), "1.\tone|II\ttwo|after|1.\tthree");  // the level's count goes on
    // Dropping the numbering drops its text; nothing else changes after that.
    e.FirstParagraph()->numbering = 0;
    EXPECT_TRUE(e.Renumber());
    EXPECT_EQ(Text(e), "one|I\ttwo|after|1.\tthree");
    EXPECT_FALSE(e.Renumber());
}

TEST(Numbering, StringsViewChangesRenumber) {
    TJDRTFTextIo e;
    e.LoadFormat = TJDLoadFormat::FormatHTML;
    e.LoadFromString("<ol><li>one<li>two<li>three</ol>");
    TJDRtfStrings strings(e);
    strings.Delete(0);
    EXPECT_EQ(Text(e), "1.\ttwo|2.\tthree");
    strings.Insert(1, "plain");  // a paragraph outside the list restarts the count
    EXPECT_EQ(Text(e), "1.\ttwo|plain|1.\tthree");
    strings.Put(0, "replaced");  // the replaced paragraph keeps its numbering
    EXPECT_EQ(Text(e), "1.\treplaced|plain|1.\tthree");
}

TEST(Numbering, InsertedListIsRenumberedWithTheText) {
    TJDRTFTextIo e;
    e.LoadFormat = TJDLoadFormat::FormatHTML;
    e.LoadFromString("<ol><li>one<li>two</ol>");
    // At the end of "two", insert a list of two items: they continue the count.
    TParagraph* two = e.FirstParagraph()->next;
    e.cursor = {two, two->lines, two->lines->Length()};
    e.LoadFromString("<ol><li>x<li>y</ol>");
    std::vector<std::string> pars = Paragraphs(e);
    ASSERT_EQ(pars.size(), 3u);
    EXPECT_EQ(pars[0], "1.\tone");
    EXPECT_EQ(pars[1], "2.\ttwox");  // the joined item's mark is not left inside the text
    EXPECT_EQ(pars[2], "3.\ty");
}

}  // namespace
