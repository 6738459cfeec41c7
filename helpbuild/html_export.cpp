#include "helpbuild/html_export.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/safe_file.h"
#include "platform/core/paths.h"
#include "platform/imaging/codecs.h"
#include "helpbuild/build_driver.h"
#include "richtext/io/html_writer.h"
#include "richtext/view/rtf_text_io.h"

namespace build {

namespace {

std::string Upper(const std::string& s) { return plat::AnsiUpperCase(s); }

bool StartsAt(const std::string& s, std::size_t at, std::string_view what) {
    return s.size() >= at + what.size() && s.compare(at, what.size(), what) == 0;
}

// A whole decimal number (optional sign), as the lookups read targets.
bool ParseInteger(const std::string& text, std::int32_t& value) {
    if (text.empty()) return false;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > 0x7FFFFFFFLL) return false;
    }
    value = static_cast<std::int32_t>(text[0] == '-' ? -v : v);
    return true;
}

}  // namespace

// --- names ------------------------------------------------------------------------

std::string MakeShortHtmlName(const std::string& name, const HtmlNameList& listUnique) {
    std::string base = name;
    // The name is a file's: what a file name cannot hold (titles such as
    // "To: field" give names) becomes "_", as blanks do.
    for (char& c : base)
        if (c == ' ' || static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) c = '_';
    // A leading dot would hide the file on Linux.
    for (char& c : base) {
        if (c != '.') break;
        c = '_';
    }
    if (!listUnique.count(Upper(base))) return base;
    for (int n = 1;; ++n) {
        const std::string number = std::to_string(n);
        std::string cut = base;
        if (cut.size() + number.size() > 8)
            cut.resize(number.size() >= 8 ? 0 : 8 - number.size());
        std::string candidate = cut + number;
        if (!listUnique.count(Upper(candidate))) return candidate;
    }
}

std::vector<std::string> AssignHtmlFileNames(const std::vector<HtmlNameSource>& pages, bool longNames) {
    std::vector<std::string> names;
    names.reserve(pages.size());
    // "Index" is the first page's and taken before any other is given, so
    // no later page can be named "index" too.
    HtmlNameList listUnique{Upper(kHtmlIndexName)};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i == 0) {
            names.emplace_back(kHtmlIndexName);
            continue;
        }
        std::string name = pages[i].contextString;
        if (name.empty()) name = pages[i].title;
        if (name.empty()) name = "Page" + std::to_string(pages[i].helpId);
        if (!longNames && name.size() > 8) name.resize(8);
        name = MakeShortHtmlName(name, listUnique);
        listUnique.insert(Upper(name));
        names.push_back(name);
    }
    return names;
}

std::string ColorToHtmlColor(std::uint32_t color) {
    switch (color) {
    case 0x000000: return "#000033";
    case 0x000080: return "#993300";
    case 0x008000: return "#008800";
    case 0x008080: return "#999966";
    case 0x800000: return "#663399";
    case 0x800080: return "#993399";
    case 0x808000: return "#009999";
    case 0x808080: return "#999999";
    case 0xC0C0C0: return "#DDDDDD";
    case 0x0000FF: return "#FF0000";
    case 0x00FF00: return "#00FF66";
    case 0x00FFFF: return "#FFFF00";
    case 0xFF0000: return "#0066FF";
    case 0xFF00FF: return "#FF66CC";
    case 0xFFFF00: return "#00FFFF";
    case 0xFFFFFF: return "#FFFFFF";
    default: return "#FFFFCC";
    }
}

std::string HtmlAttributeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::string HtmlPageText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default:
            if (c < 0x20 || c > 0x7E) out += "&#" + std::to_string(c) + ";";
            else out.push_back(ch);
        }
    }
    return out;
}

std::string HtmlUnescape(const std::string& text) {
    if (text.find('&') == std::string::npos) return text;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            std::size_t semi = text.find(';', i);
            if (semi != std::string::npos && semi - i <= 6) {
                std::string ent = text.substr(i + 1, semi - i - 1);
                int ch = -1;
                if (ent == "amp") ch = '&';
                else if (ent == "quot") ch = '"';
                else if (ent == "lt") ch = '<';
                else if (ent == "gt") ch = '>';
                else if (ent.size() > 1 && ent[0] == '#') {
                    std::int32_t v = 0;
                    if (ParseInteger(ent.substr(1), v) && v > 0 && v < 256) ch = v;
                }
                if (ch >= 0) {
                    out.push_back(static_cast<char>(ch));
                    i = semi;
                    continue;
                }
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string IHtmlExportPages::FileOfPage(const std::string& name) const {
    if (plat::CompareAnsi(name, startName, true) == 0) return HtmlFileOf(kHtmlIndexName);
    return HtmlFileOf(name);
}

// --- memory pages -------------------------------------------------------------------

HtmlExportRow MemoryHtmlPages::Current(bool withTexts) {
    HtmlExportRow r = rows.at(at_);
    if (!withTexts) r.fullTitle = r.helpText = "";
    return r;
}

void MemoryHtmlPages::Index() {
    if (indexed_ == rows.size()) return;
    byId_.clear();
    byContext_.clear();
    for (const HtmlExportRow& r : rows) {
        byId_.emplace(r.helpId, r.name);
        if (!r.contextString.empty()) byContext_.emplace(Upper(r.contextString), r.name);
    }
    indexed_ = rows.size();
}

bool MemoryHtmlPages::FindByHelpId(std::int32_t helpId, std::string& name) {
    Index();
    auto it = byId_.find(helpId);
    if (it == byId_.end()) return false;
    name = it->second;
    return true;
}

bool MemoryHtmlPages::FindByContextString(const std::string& contextString, std::string& name) {
    Index();
    auto it = byContext_.find(Upper(contextString));
    if (it == byContext_.end()) return false;
    name = it->second;
    return true;
}

// --- log ----------------------------------------------------------------------------

void HtmlExportLog::Start(const std::string& project) {
    lines_.clear();
    seen_.clear();
    lines_.push_back("Conversion Log for Project: " + project);
    lines_.push_back(std::string(65, '-'));
}

std::vector<std::string> HtmlExportLog::Problems() const {
    return lines_.size() > 2 ? std::vector<std::string>(lines_.begin() + 2, lines_.end())
                             : std::vector<std::string>{};
}

std::string HtmlExportLog::Text() const {
    std::string s;
    for (const std::string& l : lines_) s += l + "\r\n";
    return s;
}

// --- one page -------------------------------------------------------------------------

namespace {

// Loads a memo without reading its linked pictures: only their names matter here.
bool LoadMemo(richtext::TJDRTFTextIo& engine, const std::string& rtf) {
    engine.services.OnProvideObject = [](auto&&...) {};
    if (!rtf.empty()) engine.LoadFromString(rtf);
    return !engine.IsEmpty();
}

std::string WriteHtml(richtext::TJDRTFTextIo& engine) {
    richtext::TJDHTMLWriter writer(&engine);
    writer.anchorMarks = true;
    writer.pointSizes = true;
    std::ostringstream out;
    engine.SaveWithWriter(writer, out);
    return out.str();
}

// The paragraphs of a written page: after the head line that ends with the
// base font, up to the document's end.
std::string HtmlBody(const std::string& html) {
    std::size_t from = html.find("<BASEFONT");
    from = from == std::string::npos ? 0 : html.find("\r\n", from);
    from = from == std::string::npos ? 0 : from + 2;
    std::size_t to = html.rfind("\r\n</html>");
    if (to == std::string::npos || to < from) to = html.size();
    return html.substr(from, to - from);
}

}  // namespace

std::string WritePageHtml(const std::string& topicPopup, const std::string& fullTitleRtf,
                          const std::string& helpTextRtf, HtmlPageBase* base) {
    richtext::TJDRTFTextIo body;
    LoadMemo(body, helpTextRtf);
    if (base) {
        base->points = body.defaultAttr.size ? body.defaultAttr.size : 10;
        const int font = body.defaultAttr.font;
        base->face = font >= 0 && font < richtext::kMaxFonts ? body.Header().fontNames[font] : std::string();
    }
    std::string html = WriteHtml(body);
    if (topicPopup == "T" && !fullTitleRtf.empty()) {
        richtext::TJDRTFTextIo title;
        if (LoadMemo(title, fullTitleRtf)) {
            // The title's paragraphs go in front of the body's, each in its own fonts.
            std::size_t at = html.find("<BASEFONT");
            at = at == std::string::npos ? std::string::npos : html.find("\r\n", at);
            std::string titleBody = HtmlBody(WriteHtml(title));
            if (at != std::string::npos) html.insert(at + 2, titleBody + "<br>\r\n");
        }
    }
    return html;
}

namespace {

// A font name as a CSS family inside a quoted attribute: only what cannot
// end the value or the declaration is kept.
std::string CssFamily(const std::string& face) {
    std::string out;
    for (char c : face)
        if (c != '\'' && c != '"' && c != '\\' && c != ';' && c != '{' && c != '}' && c != '<' && c != '>' &&
            c != '&' && static_cast<unsigned char>(c) >= 0x20)
            out.push_back(c);
    return out;
}

}  // namespace

std::string InsertHtmlHead(const std::string& html, const HtmlPageHead& head) {
    std::string keywords = head.keys;
    for (char& c : keywords)
        if (c == ';') c = ',';
    std::string top = "<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\r\n"
                      "<TITLE>" + HtmlPageText(head.title) + "</TITLE>\r\n"
                      "<META HTTP-EQUIV=\"Keywords\" CONTENT=\"" + HtmlPageText(keywords) + "\">\r\n</HEAD>\r\n"
                      "<BODY BGCOLOR=\"" + HtmlAttributeText(head.bgColor) + "\"";
    if (!head.background.empty()) top += " BACKGROUND=\"" + HtmlPageText(head.background) + "\"";
    std::string style;
    const std::string family = CssFamily(head.base.face);
    if (!family.empty()) style += "font-family:'" + family + "';";
    style += "font-size:" + std::to_string(head.base.points > 0 ? head.base.points : 10) + "pt";
    top += " STYLE=\"" + HtmlPageText(style) + "\">\r\n";

    // After the writer's first line ("<html>") the head and body start; the
    // writer's own title (the model's, empty for a page) is dropped.
    std::size_t eol = html.find('\n');
    std::size_t rest = eol == std::string::npos ? html.size() : eol + 1;
    if (html.compare(rest, 7, "<title>") == 0) {
        const std::size_t close = html.find("</title>", rest);
        if (close != std::string::npos) rest = close + 8;
    }
    std::size_t end = html.rfind("</html>");
    if (end == std::string::npos || end < rest) end = html.size();
    std::string out;
    out.reserve(html.size() + top.size() + 16);
    if (eol == std::string::npos) out += "<html>\r\n";
    else out.append(html, 0, eol + 1);
    out += top;
    out.append(html, rest, end - rest);
    out += "</BODY>\r\n</html>";
    return out;
}

// --- links --------------------------------------------------------------------------

namespace {

constexpr std::string_view kHref = "<A HREF=\"";
constexpr std::string_view kMarkOpen = "\\{mtj ";
constexpr std::string_view kMarkClose = "\\}";

// A jump target as the export resolves it: without the "%" or "*" that sets
// the hot spot's look, cut before a window name or another file's name.
std::string JumpKey(const std::string& target) {
    const std::size_t from = !target.empty() && (target[0] == '%' || target[0] == '*') ? 1 : 0;
    std::size_t cut = target.find('>', from);
    if (cut == std::string::npos) cut = target.find('@', from);
    return target.substr(from, cut == std::string::npos ? std::string::npos : cut - from);
}

bool FindPage(const std::string& key, IHtmlExportPages& pages, std::string& name) {
    std::int32_t id = 0;
    if (ParseInteger(key, id) && id != 0) return pages.FindByHelpId(id, name);
    return pages.FindByContextString(key, name);
}

}  // namespace

namespace {

// A mark's name as the writer gave it after "\{mtj ": its text escapes
// ("\\", "\{") and entities undone, up to the "\}" that ends it. `end` is
// after that "\}"; npos when there is none.
std::string ReadMarkName(const std::string& s, std::size_t from, std::size_t& end) {
    std::string raw;
    for (std::size_t k = from; k < s.size(); ++k) {
        if (s[k] == '\\' && k + 1 < s.size()) {
            const char next = s[k + 1];
            if (next == '}') {
                end = k + 2;
                return HtmlUnescape(raw);
            }
            if (next == '\\' || next == '{') {
                raw.push_back(next);
                ++k;
                continue;
            }
        }
        raw.push_back(s[k]);
    }
    end = std::string::npos;
    return {};
}

// Targets a browser may follow as they are.
bool IsWebTarget(const std::string& target) {
    const std::string lower = plat::AnsiLowerCase(target.substr(0, 8));
    return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0 || lower.rfind("mailto:", 0) == 0;
}

struct Edit {
    std::size_t at, length;
    std::string with;
    bool operator<(const Edit& o) const { return at < o.at; }
};

std::string ApplyEdits(const std::string& in, std::vector<Edit>& edits) {
    std::sort(edits.begin(), edits.end());
    std::string out;
    out.reserve(in.size() + in.size() / 8);
    std::size_t from = 0;
    for (const Edit& e : edits) {
        if (e.at < from) continue;  // never two edits of one span
        out.append(in, from, e.at - from);
        out += e.with;
        from = e.at + e.length;
    }
    out.append(in, from, std::string::npos);
    return out;
}

}  // namespace

namespace {

// Link colours: the writer puts each link's FONT tag directly before it and
// its </FONT> directly after "</A>". The colour goes, so the browser shows a
// link as a link; the tag's face and size stay, so a link reads like the
// text around it; a tag left with nothing goes with its </FONT>. This runs
// before the targets are looked at, so a jump that stays text loses its
// link colour too.
std::string DropLinkColours(const std::string& s) {
    constexpr std::string_view kFont = "<FONT COLOR=";
    constexpr std::string_view kLinkInTag = "><A HREF=";
    constexpr std::string_view kFontEnd = "</FONT>";
    std::vector<Edit> edits;
    // After a "</A>" whose </FONT> is taken, the next one stands in its place.
    std::map<std::size_t, std::size_t> fontEndAfter;
    for (std::size_t at = s.find(kLinkInTag); at != std::string::npos; at = s.find(kLinkInTag, at + 1)) {
        // The FONT tag must end right here: no other tag starts inside it.
        std::size_t font = s.rfind(kFont, at);
        if (font == std::string::npos || s.find('<', font + 1) <= at) continue;
        std::size_t link = at + 1;
        std::size_t close = s.find("</A>", link);
        if (close == std::string::npos) continue;
        auto next = fontEndAfter.emplace(close, close + 4).first;
        if (!StartsAt(s, next->second, kFontEnd)) continue;
        // The colour is the tag's first attribute: up to the next blank or the tag's end.
        const std::size_t colourFrom = font + kFont.size();
        std::size_t colourEnd = colourFrom;
        while (colourEnd < at && s[colourEnd] != ' ') ++colourEnd;
        if (colourEnd >= at) {
            edits.push_back({font, link - font, std::string()});
            edits.push_back({next->second, kFontEnd.size(), std::string()});
            next->second += kFontEnd.size();
        } else {
            edits.push_back({font, link - font, "<FONT" + s.substr(colourEnd, at + 1 - colourEnd)});
            next->second += kFontEnd.size();
        }
    }
    if (edits.empty()) return s;
    return ApplyEdits(s, edits);
}

}  // namespace

std::string RewriteHtmlLinks(const std::string& html, const std::string& pageName, IHtmlExportPages& pages,
                             HtmlExportLog& log) {
    const std::string in = DropLinkColours(html);
    std::vector<Edit> edits;

    // The page's marks (upper-cased name -> name as written) become anchors.
    std::map<std::string, std::string> marks;
    for (std::size_t at = in.find(kMarkOpen); at != std::string::npos; at = in.find(kMarkOpen, at + 1)) {
        std::size_t end = 0;
        const std::string name = ReadMarkName(in, at + kMarkOpen.size(), end);
        if (end == std::string::npos) break;
        marks.emplace(Upper(name), name);
        edits.push_back({at, end - at, "<A NAME=\"" + HtmlAttributeText(name) + "\"></A>"});
        at = end - 1;
    }
    auto markOf = [&](const std::string& key, std::string& name) {
        auto it = marks.find(Upper(key));
        if (it == marks.end()) return false;
        name = it->second;
        return true;
    };

    // Jumps: to a page's file, to a mark of this page, to the web; any other
    // stays text, its link tag and end tag left out.
    for (std::size_t at = in.find(kHref); at != std::string::npos; at = in.find(kHref, at)) {
        const std::size_t from = at + kHref.size();
        const std::size_t quote = in.find('"', from);
        if (quote == std::string::npos) break;
        const std::size_t tagEnd = in.find('>', quote);
        if (tagEnd == std::string::npos) break;
        const std::string target = HtmlUnescape(in.substr(from, quote - from));
        const std::string key = JumpKey(target);
        std::string name;
        if (IsWebTarget(target)) {
            edits.push_back({from, quote - from, HtmlAttributeText(target)});
        } else if (FindPage(key, pages, name)) {
            edits.push_back({from, quote - from, HtmlAttributeText(pages.FileOfPage(name))});
        } else if (markOf(target, name) || markOf(key, name)) {
            edits.push_back({from, quote - from, "#" + HtmlAttributeText(name)});
        } else {
            log.Add("Page - \"" + HtmlFileOf(pageName) + "\", unresolved link - \"" + target + "\"");
            edits.push_back({at, tagEnd + 1 - at, std::string()});
            const std::size_t close = in.find("</A>", tagEnd);
            if (close != std::string::npos) edits.push_back({close, 4, std::string()});
        }
        at = tagEnd + 1;
    }
    std::string s = ApplyEdits(in, edits);

    return ApplyEdits(in, edits);
}

// --- text escapes ---------------------------------------------------------------------

std::string UnescapeHtmlText(const std::string& html, const std::string& pageName, HtmlExportLog& log) {
    if (html.find('\\') == std::string::npos) return html;
    std::string out;
    out.reserve(html.size());
    for (std::size_t i = 0; i < html.size();) {
        const char c = html[i];
        if (c == '<') {
            // Tags and comments are the writer's own or hold raw text (paths
            // of pictures left as they were, footnotes): copied as they are.
            const bool comment = html.compare(i, 4, "<!--") == 0;
            std::size_t end = comment ? html.find("-->", i + 4) : html.find('>', i + 1);
            end = end == std::string::npos ? html.size() : end + (comment ? 3 : 1);
            out.append(html, i, end - i);
            i = end;
            continue;
        }
        if (c != '\\' || i + 1 >= html.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        const char next = html[i + 1];
        if (next == '{' && html.compare(i + 2, 2, "ew") == 0 && i + 5 < html.size() &&
            std::strchr("clrCLR", html[i + 4]) != nullptr && html[i + 5] == ' ') {
            std::size_t end = 0;
            const std::string reference = ReadMarkName(html, i + 2, end);
            if (end != std::string::npos) {
                log.Add("Page - \"" + HtmlFileOf(pageName) + "\", embedded window left out - \"" + reference + "\"");
                i = end;
                continue;
            }
        }
        if (next == '\\' || next == '{' || next == '}') {
            out.push_back(next);
            i += 2;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

// --- writing files ------------------------------------------------------------------

namespace {

// The name is used as given: the caller has matched it against the folder's
// listing, so nothing here reads the folder again.
bool WriteThroughTemporary(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
    return plat::WriteFileSafely((dir / std::filesystem::path(plat::NativeName(name))).string(), bytes,
                                plat::PathText::Native);
}

}  // namespace

bool WriteFileExactCase(const std::string& folder, const std::string& name, const std::string& bytes) {
    return ExactCaseFolder(folder).Write(name, bytes);
}

bool ExactCaseFolder::List() {
    namespace fs = std::filesystem;
    std::error_code ec;
    byUpper_.clear();
    dir_ = plat::NativePath(folder_);
    fs::directory_iterator it(fs::path(dir_), ec);
    if (ec) return false;
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) return false;
        const std::string n = it->path().filename().string();
        byUpper_[Upper(plat::SystemText(n))].push_back(n);
    }
    listed_ = true;
    return true;
}

bool ExactCaseFolder::Write(const std::string& name, const std::string& bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!listed_) List();
    const fs::path dir(dir_.empty() ? plat::NativePath(folder_) : dir_);
    // Another file that differs only in letter case would be found in its
    // place by the path layer, while links name this spelling.
    const std::string key = Upper(name);
    auto same = byUpper_.find(key);
    if (same != byUpper_.end()) {
        for (const std::string& n : same->second)
            if (n != name && fs::is_regular_file(dir / n, ec)) fs::remove(dir / n, ec);
        same->second.clear();
    }
    if (!WriteThroughTemporary(dir, name, bytes)) return false;
    if (listed_) byUpper_[key].push_back(name);
    return true;
}

// --- the wizard's checks and files ----------------------------------------------------

HtmlDirProblem CheckHtmlExportDirs(const std::string& outputDir, const std::string& graphicsDir) {
    if (outputDir.empty()) {
        ShowWarning("No Output Directory", "Please specify an output directory for all the outputted Html files.");
        return HtmlDirProblem::OutputDir;
    }
    if (graphicsDir.empty()) {
        ShowWarning("No Graphics Directory", "Please specify an output directory for all the converted graphics.");
        return HtmlDirProblem::GraphicsDir;
    }
    // A relative folder would land wherever the program happens to run.
    if (plat::IsAbsolutePath(outputDir) && !plat::DirectoryExists(outputDir)) plat::CreateDir(outputDir);
    if (plat::IsAbsolutePath(graphicsDir) && !plat::DirectoryExists(graphicsDir)) plat::CreateDir(graphicsDir);
    if (!plat::IsAbsolutePath(graphicsDir)) {
        ShowWarning("Warning", "Please supply the full Graphics directory path.");
        return HtmlDirProblem::GraphicsDir;
    }
    if (!plat::IsAbsolutePath(outputDir)) {
        ShowWarning("Warning", "Please supply the full Html directory path.");
        return HtmlDirProblem::OutputDir;
    }
    return HtmlDirProblem::None;
}

std::string DefaultHtmlBackground(const std::string& programDir) {
    const std::string name = "bkyellow.gif";
    const std::string path = plat::JoinPath(programDir, name);
    if (!plat::FileExists(path)) {
        // A soft paper yellow with a faint grain, so text stays readable on it.
        QImage img(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) img.setPixel(x, y, ((x * 7 + y * 13) % 11) ? qRgb(255, 255, 204) : qRgb(250, 248, 196));
        std::int16_t code = 0;
        const std::string gif = imaging::EncodeGif(img, 8, code);
        if (code >= 1) WriteFileExactCase(programDir, name, gif);
    }
    return path;
}

bool BrowserExists(const std::string& browser) {
    if (browser.empty()) return false;
    if (browser.find_first_of("\\/") != std::string::npos) return plat::FileExists(browser);
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (std::size_t at = 0; at <= dirs.size();) {
        std::size_t colon = dirs.find(':', at);
        if (colon == std::string::npos) colon = dirs.size();
        const std::string dir = dirs.substr(at, colon - at);
        std::error_code ec;
        if (!dir.empty() && std::filesystem::is_regular_file(std::filesystem::path(dir) / browser, ec)) return true;
        at = colon + 1;
    }
    return plat::FileExists(browser);
}

// --- the run --------------------------------------------------------------------------

HtmlExportResult ExportHtmlPages(IHtmlExportPages& pages, const HtmlExportOptions& options, IProgress& progress,
                                 HtmlExportLog& log) {
    HtmlExportResult result;
    log.Start(options.project);
    HtmlGraphicsContext graphics;
    graphics.pictureFolder = options.pictureFolder;
    graphics.projectFolder = options.projectFolder;
    graphics.outputDir = options.outputDir;
    graphics.gifDir = options.gifDir;
    const std::string bgColor = ColorToHtmlColor(options.scrollColor);
    ExactCaseFolder pageFolder(options.outputDir);
    const int count = pages.Count();
    if (pages.First()) pages.startName = pages.Current(false).name;
    bool first = true;
    int done = 0;
    for (bool more = pages.First(); more; more = pages.Next()) {
        if (progress.CancelRequested()) {
            result.outcome = HtmlExportOutcome::Cancelled;
            return result;
        }
        HtmlExportRow row = pages.Current(true);
        const std::string name = first ? std::string(kHtmlIndexName) : row.name;
        progress.SetStatus(HtmlFileOf(name) + "...");
        HtmlPageHead head;
        std::string html = WritePageHtml(row.topicPopup, row.fullTitle, row.helpText, &head.base);
        html = RewriteHtmlLinks(html, name, pages, log);
        html = ConvertTopicGraphics(html, name, pages, graphics, log);
        html = UnescapeHtmlText(html, name, log);
        // A page without a title is still named in the browser's tab.
        head.title = !row.title.empty() ? row.title : !row.contextString.empty() ? row.contextString : name;
        head.keys = row.keys;
        head.bgColor = bgColor;
        head.background = options.background;
        html = InsertHtmlHead(html, head);
        if (!pageFolder.Write(HtmlFileOf(name), html)) {
            result.outcome = HtmlExportOutcome::Failed;
            result.error = "The page " + HtmlFileOf(name) + " could not be written to " + options.outputDir + ".";
            return result;
        }
        first = false;
        ++done;
        result.pages = done;
        if (count > 0) progress.SetPercent(done * 100 / count);
        progress.ProcessMessages();
    }
    return result;
}

}  // namespace build
