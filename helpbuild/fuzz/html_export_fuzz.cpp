// Arbitrary text through the HTML export's passes over a written page: links
// and marks, text escapes, the page's frame. No crash, no hang, and no link
// or anchor tag that gains an attribute of its own (a handler or a style)
// from the text it was made of.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "helpbuild/html_export.h"
#include "helpbuild/tests/html_page_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    build::MemoryHtmlPages pages;
    build::HtmlExportRow row;
    row.name = "Topic2";
    row.helpId = 20;
    row.contextString = "Topic2";
    pages.rows.push_back(row);
    build::HtmlExportLog log;
    log.Start("Fuzz");
    // The text as the writer escapes it in a page's text ("&", "<", ">" as
    // entities, quotes as they are, "\\" before braces and backslashes) and
    // in an attribute.
    std::string inText;
    for (char c : text) {
        if (c == '&') inText += "&amp;";
        else if (c == '<') inText += "&lt;";
        else if (c == '>') inText += "&gt;";
        else {
            if (c == '{' || c == '}' || c == '\\') inText.push_back('\\');
            inText.push_back(c);
        }
    }
    // The text as a page body, and as a jump's target and a mark's name as
    // the writer writes them, so the interesting paths are reached.
    const std::string written = "<FONT COLOR=#00FF00><A HREF=\"" + build::HtmlAttributeText(text) +
                                "\">go</A></FONT> \\{mtj " + inText + "\\} " + inText;
    for (const std::string& page : {text, written}) {
        std::string html = build::RewriteHtmlLinks(page, "Index", pages, log);
        html = build::UnescapeHtmlText(html, "Index", log);
        build::HtmlPageHead head;
        head.title = text;
        head.keys = text;
        head.base.face = text;
        html = build::InsertHtmlHead("<html>\r\n<title></title>\r\n" + html + "\r\n</html>", head);
        if (page == text) continue;  // the text's own tags are its own
        for (const htmlcheck::Tag& t : htmlcheck::Tags(html.substr(html.find("<BODY"))))
            if (t.name == "A" || t.name == "BODY")
                for (const auto& [attribute, value] : t.attributes)
                    if (attribute != "NAME" && attribute != "HREF" && attribute != "BGCOLOR" && attribute != "STYLE")
                        std::abort();
    }
    return 0;
}
