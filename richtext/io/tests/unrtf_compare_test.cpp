// The text read from each corpus file, word for word against what the
// system's independent RTF-to-text converter makes of the same file. Skipped
// when the converter is not installed.
//
// Both sides read the file with its footnote groups removed (the converter
// puts footnote text in the middle of the body text; the model keeps it
// apart) and with the typographic control words written as the Windows-1252
// bytes they stand for: the converter drops \rquote, \lquote, \ldblquote,
// \rdblquote, \bullet, \endash, \emdash and \_ without a trace ("it's" comes
// out as "its", "7\endash 10" as "710"), which is its fault, not the file's.
// The converter also takes an escaped backslash before a line end for the
// start of a control word and prints the "par" after it as text; a blank is
// put between the two for it.
// Words are runs of two or more ASCII letters and digits; soft hyphens are
// invisible. Letters alone are left out on both sides: the converter turns
// the characters of symbol fonts into other letters or drops them (a
// Wingdings bullet becomes "c", a symbol "Q" nothing), where the model keeps
// the byte the file holds, drawn in the file's font.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "richtext/io/tests/rtf_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string FindConverter() {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        fs::path p = fs::path(dir) / "unrtf";
        if (fs::exists(p)) return p.string();
    }
    return {};
}

// The file without {\footnote ...} groups, and with the control words the
// converter drops written as \'hh.
std::string Prepared(const std::string& rtf) {
    std::string out;
    out.reserve(rtf.size());
    for (std::size_t i = 0; i < rtf.size();) {
        if (rtf.compare(i, 10, "{\\footnote") == 0 && !std::isalpha(static_cast<unsigned char>(rtf[i + 10]))) {
            int depth = 0;
            for (; i < rtf.size(); ++i) {
                if (rtf[i] == '\\') {
                    ++i;
                    continue;
                }
                if (rtf[i] == '{') ++depth;
                if (rtf[i] == '}' && --depth == 0) {
                    ++i;
                    break;
                }
            }
            continue;
        }
        out += rtf[i++];
    }
    static const std::pair<const char*, const char*> kWords[] = {
        {"lquote", "\\'91"}, {"rquote", "\\'92"}, {"ldblquote", "\\'93"}, {"rdblquote", "\\'94"},
        {"bullet", "\\'95"}, {"endash", "\\'96"}, {"emdash", "\\'97"},
    };
    for (const auto& [word, hex] : kWords) {
        std::regex re(std::string("\\\\") + word + "(?![a-z]) ?");
        out = std::regex_replace(out, re, hex);
    }
    out = std::regex_replace(out, std::regex(R"(\\_)"), "-");
    // The converter reads an escaped backslash at a line end as a paragraph
    // mark whose word it prints ("par"); a blank after it changes no word.
    out = std::regex_replace(out, std::regex("\\\\\\\\\r?\n"), "\\\\ \n");
    return out;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> w;
    std::string cur;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == 0xAD) continue;  // a soft hyphen joins its word
        if (std::isalnum(c) && c < 0x80) {
            cur += ch;
        } else {
            if (cur.size() > 1) w.push_back(cur);
            cur.clear();
        }
    }
    if (cur.size() > 1) w.push_back(cur);
    return w;
}

// The converter's text without its own remarks, the document information it
// prints and the file names it gives pictures.
std::string ConverterText(const std::string& converter, const std::string& rtf, const fs::path& dir) {
    fs::path in = dir / "in.rtf", out = dir / "out.txt";
    testsupport::WriteFileBytes(in, rtf);
    testsupport::ChildProcess child;
    // The converter writes the pictures it meets into its working folder.
    std::string cmd = "cd '" + dir.string() + "' && '" + converter + "' --text '" + in.string() + "' > '" +
                      out.string() + "' 2>/dev/null";
    if (!child.Start({"/bin/sh", "-c", cmd}) || !child.WaitExit(60000)) return {};
    std::istringstream lines(testsupport::ReadFileBytes(out));
    std::string text, line;
    static const std::regex kSkip(R"(^(###  Translation from RTF|### font table contains|### [a-z ]+: |-----------------|TITLE: |AUTHOR: |OPERATOR: |pict\d+\.\w+$))");
    static const std::regex kRemark(R"(###  ?(Translation|font table|picture data).*$)");
    while (std::getline(lines, line)) {
        if (std::regex_search(line, kSkip)) continue;
        text += std::regex_replace(line, kRemark, "") + "\n";
    }
    return text;
}

class UnrtfCompare : public ::testing::TestWithParam<const char*> {};

TEST_P(UnrtfCompare, TextMatchesWordForWord) {
    std::string converter = FindConverter();
    if (converter.empty()) GTEST_SKIP() << "unrtf is not installed";
    std::string rtf = Prepared(testsupport::ReadFileBytes(testsupport::CorpusFile(GetParam())));
    testsupport::TempDir dir;
    std::vector<std::string> theirs = Words(ConverterText(converter, rtf, dir.path()));
    ASSERT_FALSE(theirs.empty());

    auto l = rtftest::ReadRtf(rtf);
    ASSERT_EQ(l.result, 0);
    std::string ours;
    for (auto* p = l.model->FirstParagraph(); p; p = p->next) ours += l.model->ParagraphText(p) + "\n";
    std::vector<std::string> mine = Words(ours);

    // The first place the two differ, with a little of what follows.
    std::size_t i = 0;
    while (i < mine.size() && i < theirs.size() && mine[i] == theirs[i]) ++i;
    auto around = [i](const std::vector<std::string>& v) {
        std::string s;
        for (std::size_t k = i; k < v.size() && k < i + 8; ++k) s += v[k] + " ";
        return s;
    };
    EXPECT_EQ(mine.size(), theirs.size());
    EXPECT_EQ(i, std::min(mine.size(), theirs.size())) << "ours: " << around(mine) << "\nunrtf: " << around(theirs);
}

INSTANTIATE_TEST_SUITE_P(Corpus, UnrtfCompare,
                         ::testing::Values("rtf/rtfpipe-footnotes.rtf", "rtf/rtfpipe-image_from_strings.rtf",
                                           "rtf/rtfpipe-tables_from_web1.rtf", "rtf/rtfpipe-nested_table_report.rtf",
                                           "rtf/rtfparserkit-testUnicode.rtf", "hpj/ddablib-dropfiles/PJDropFiles.rtf",
                                           "hpj/eudora71/HtmlWh.rtf", "hpj/eudora71/Dialogs.rtf",
                                           "hpj/eudora71/Eudora.rtf", "hpj/eudora71/menus.rtf",
                                           "hpj/eudora71/Options.rtf"));

}  // namespace
