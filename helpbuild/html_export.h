// Exporting a project as linked HTML pages: the page file names, each page's
// HTML (the text engine's HTML writer, then string work: the head, links
// between the pages, marks as anchors, pictures as GIF files with image
// maps) and the export run that writes them all.
//
// Everything here works on strings and on the page list through
// `IHtmlExportPages`; the program's implementation sits on the export table,
// tests and the benchmark use plain rows.
//
// A jump reaches an exported page by help id or context string; a leading
// "%" or "*" of its target only sets the hot spot's look. A jump that
// reaches no written page, no mark of its page and no web address is left
// as text: a page never links to a file that is not there, nor to a macro
// or a script. Every value from the project is escaped for its place, as
// author's text can hold quotes and angle brackets. Pictures become
// lower-case GIF files in the export's graphics folder, numbered when two
// sources would share a name; an SHG picture gets an image map at each
// occurrence, numbered across the export. Unresolved links and pictures go
// to one log for the whole export, each line once.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "project/progress.h"

namespace build {

// --- file names ------------------------------------------------------------------

// The upper-cased names given so far in one export.
using HtmlNameList = std::set<std::string>;

// The name of the first page's file, reserved before any other name is given.
inline constexpr const char* kHtmlIndexName = "Index";

// Blanks and what a file name cannot hold (control characters and
// \ / : * ? " < > |) become "_"; a name already in the list (without regard to case)
// gets the smallest number n >= 1 appended, the name cut so that it and the
// number together have at most 8 characters. The result is not added.
std::string MakeShortHtmlName(const std::string& name, const HtmlNameList& listUnique);

// One page as the names are given: its context string and title.
struct HtmlNameSource {
    std::string contextString;
    std::string title;
    std::int32_t helpId = 0;
};
// The file names (without ".htm") of the pages in order: the first is
// "Index"; each other is its context string, else its title, else "Page"
// and its help id (a name the check after would not refuse), cut to 8
// characters without long names, made unique against every name before it
// and against "Index".
std::vector<std::string> AssignHtmlFileNames(const std::vector<HtmlNameSource>& pages, bool longNames);

// The HTML colour of the project's scrolling-region colour (0x00BBGGRR).
std::string ColorToHtmlColor(std::uint32_t color);

// Text for an HTML attribute value: "&", double quote, "<", ">" escaped.
std::string HtmlAttributeText(const std::string& text);
// Text for an element or attribute of a page: the same escapes, and every
// byte outside printable ASCII as "&#n;" (a browser reads 128..159 as
// Windows-1252, as the HTML writer relies on too).
std::string HtmlPageText(const std::string& text);
// The reverse of the writer's escapes (&amp; &quot; &lt; &gt; and &#n;).
std::string HtmlUnescape(const std::string& text);

// --- the pages being exported ------------------------------------------------------

struct HtmlExportRow {
    std::string name;           // file name without ".htm"
    std::int32_t helpId = 0;
    std::string contextString;  // the page's context string in the project
    std::string topicPopup;     // "T" or "P"
    std::string title;
    std::string keys;
    std::string fullTitle;      // RTF, read only with texts
    std::string helpText;       // RTF, read only with texts
};

class IHtmlExportPages {
public:
    virtual ~IHtmlExportPages() = default;
    // The first page's name in the list: its file is always "Index.htm".
    std::string startName = kHtmlIndexName;
    // The file that links name for a page.
    std::string FileOfPage(const std::string& name) const;
    virtual int Count() = 0;
    virtual bool First() = 0;
    virtual bool Next() = 0;
    virtual HtmlExportRow Current(bool withTexts) = 0;
    // The file name of the page with that help id / that context string in
    // the project (exact, not case-sensitive); false when none is exported.
    virtual bool FindByHelpId(std::int32_t helpId, std::string& name) = 0;
    virtual bool FindByContextString(const std::string& contextString, std::string& name) = 0;
};

// Plain rows, looked up through maps (tests, the benchmark).
class MemoryHtmlPages : public IHtmlExportPages {
public:
    std::vector<HtmlExportRow> rows;
    int Count() override { return static_cast<int>(rows.size()); }
    bool First() override {
        at_ = 0;
        return !rows.empty();
    }
    bool Next() override { return ++at_ < rows.size(); }
    HtmlExportRow Current(bool withTexts) override;
    bool FindByHelpId(std::int32_t helpId, std::string& name) override;
    bool FindByContextString(const std::string& contextString, std::string& name) override;

private:
    void Index();
    std::size_t at_ = 0;
    std::size_t indexed_ = static_cast<std::size_t>(-1);
    std::map<std::int32_t, std::string> byId_;
    std::map<std::string, std::string> byContext_;
};

// --- the export log ------------------------------------------------------------------

class HtmlExportLog {
public:
    // Clears it and writes the two header lines.
    void Start(const std::string& project);
    // A line already in the log is not added again: a page that links one
    // missing target ten times has one problem, not ten.
    void Add(const std::string& line) {
        if (seen_.insert(line).second) lines_.push_back(line);
    }
    // More than the two header lines.
    bool HasProblems() const { return lines_.size() > 2; }
    const std::vector<std::string>& Lines() const { return lines_; }
    // The problem lines alone.
    std::vector<std::string> Problems() const;
    std::string Text() const;

private:
    std::vector<std::string> lines_;
    std::set<std::string> seen_;
};

// --- one page's HTML ----------------------------------------------------------------

// The page's base font, which the body states (a browser ignores BASEFONT).
struct HtmlPageBase {
    std::string face;
    int points = 10;
};

// The page as the HTML writer gives it (anchors as "\{mtj name\}", braces
// and backslashes of the text escaped with "\", sizes in points): for a
// topic whose title region holds text, the title's paragraphs come first.
std::string WritePageHtml(const std::string& topicPopup, const std::string& fullTitleRtf,
                          const std::string& helpTextRtf, HtmlPageBase* base = nullptr);

struct HtmlPageHead {
    std::string title;
    std::string keys;        // ";" becomes ","
    std::string bgColor;
    std::string background;  // may be empty
    HtmlPageBase base;
};
// Makes the writer's page a whole document: after "<html>" one HEAD (the
// character set, the title, the keywords' META line), then one BODY with the
// colour, the background picture when given and the base font's face and
// size; "</BODY>" before "</html>". The writer's own empty title goes.
// Values are escaped for their places.
std::string InsertHtmlHead(const std::string& html, const HtmlPageHead& head);

// Jumps to exported pages become links to their files, jumps to the page's
// marks links to its anchors, http(s) and mailto targets stay links; any
// other jump (a macro, a script, another help file, a missing page) keeps
// its text without a link and is logged. Marks become anchors, and the
// colour tag around each link goes. `pageName` is the page's file name
// without ".htm" (for the log).
std::string RewriteHtmlLinks(const std::string& html, const std::string& pageName, IHtmlExportPages& pages,
                             HtmlExportLog& log);

// The last pass over a page, after its links and pictures: the writer's
// "\\", "\{" and "\}" outside tags become the characters they stand for,
// and an embedded window ("\{ewc ...\}", "ewl", "ewr"), which a browser
// cannot show, is left out and logged.
std::string UnescapeHtmlText(const std::string& html, const std::string& pageName, HtmlExportLog& log);

// A page's file name with ".htm".
inline std::string HtmlFileOf(const std::string& name) { return name + ".htm"; }

// --- graphics -------------------------------------------------------------------------

class ExactCaseFolder;

// The export's state for pictures: where they come from and go, the map
// counter that continues across pages, and the GIF made of each source.
struct HtmlGraphicsContext {
    std::string pictureFolder;  // the project's graphics folder (resolved), may be empty
    std::string projectFolder;  // the project's folder (resolved)
    std::string outputDir;      // the HTML folder
    std::string gifDir;         // where GIF files are written
    int mapCount = 0;
    // The GIF file names taken (upper-cased) -> their source (upper-cased).
    std::map<std::string, std::string> gifNames;
    // The folder the GIFs go to, listed once per export (made on first use).
    std::shared_ptr<ExactCaseFolder> gifFolder;
};

struct ShgArea;

// Converts every picture of the page: image tags, then picture references.
std::string ConvertTopicGraphics(const std::string& html, const std::string& pageName, IHtmlExportPages& pages,
                                 HtmlGraphicsContext& graphics, HtmlExportLog& log);

// One hotspot of an SHG picture as the image map needs it.
struct ShgArea {
    std::string target;
    bool macro = false;
    int left = 0, top = 0, width = 0, height = 0;
};
// The image map "map<n>" with one area per hotspot that names an exported
// page (CR LF after each line); unresolved targets are logged against `file`.
std::string ImageMapText(int mapNumber, const std::vector<ShgArea>& areas, const std::string& pageName,
                         const std::string& file, IHtmlExportPages& pages, HtmlExportLog& log);

// --- the export run -----------------------------------------------------------------

struct HtmlExportOptions {
    std::string project;
    std::string outputDir;
    std::string gifDir;
    std::string projectFolder, pictureFolder;  // resolved
    std::uint32_t scrollColor = 0xFFFFFF;
    // The background picture's name relative to the HTML folder (already
    // copied there), or empty.
    std::string background;
};

enum class HtmlExportOutcome { Written, Cancelled, Failed };

struct HtmlExportResult {
    HtmlExportOutcome outcome = HtmlExportOutcome::Written;
    int pages = 0;
    std::string error;  // the message of a failure
};

// Writes every page (the first as "Index.htm"), each under a temporary name
// renamed when complete. The log is started here and collects every page's
// problems.
HtmlExportResult ExportHtmlPages(IHtmlExportPages& pages, const HtmlExportOptions& options, IProgress& progress,
                                 HtmlExportLog& log);

// --- the wizard's checks and files ------------------------------------------------------

enum class HtmlDirProblem { None, OutputDir, GraphicsDir };
// Both folders given, made when missing (one level), and full paths; each
// refusal shows its warning and names the field to focus.
HtmlDirProblem CheckHtmlExportDirs(const std::string& outputDir, const std::string& graphicsDir);

// The background picture the wizard offers by default: program folder +
// "\bkyellow.gif", a pale yellow picture of our own, written when missing.
std::string DefaultHtmlBackground(const std::string& programDir);

// The browser that shows the pages when none is set.
inline constexpr const char* kDefaultBrowser = "xdg-open";
// A browser as set: a path that exists, or a bare name found on PATH.
bool BrowserExists(const std::string& browser);

// Writes `bytes` as `folder` + "/" + `name` in exactly that letter case: a
// file that differs only in case is removed first; the bytes go to a
// temporary file renamed over the target. False on failure (nothing left).
bool WriteFileExactCase(const std::string& folder, const std::string& name, const std::string& bytes);

// The same for many files into one folder: the folder is listed once, at
// the first write, instead of once per file, and what this object writes
// or removes keeps the listing current.
class ExactCaseFolder {
public:
    explicit ExactCaseFolder(std::string folder) : folder_(std::move(folder)) {}
    bool Write(const std::string& name, const std::string& bytes);
    const std::string& Folder() const { return folder_; }

private:
    bool List();
    std::string folder_;
    std::string dir_;  // the folder's native path, resolved when listed
    bool listed_ = false;
    // Upper-cased name -> the files of that name, in their own spelling.
    std::map<std::string, std::vector<std::string>> byUpper_;
};

}  // namespace build
