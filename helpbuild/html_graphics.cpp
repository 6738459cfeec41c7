// The pictures of an exported page: each picture file becomes a GIF in the
// export's graphics folder, and a picture of the help compiler (.SHG/.MRB)
// also an image map whose areas link to the exported pages.
#include <fstream>

#include "helpbuild/html_export.h"
#include "converter/pictures.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/imaging/codecs.h"

namespace build {

namespace {

std::string Upper(const std::string& s) { return plat::AnsiUpperCase(s); }
std::string Lower(const std::string& s) { return plat::AnsiLowerCase(s); }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string TrimRight(std::string s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
    return s;
}
std::string Trim(std::string s) {
    s = TrimRight(std::move(s));
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
    return s.substr(i);
}

// A folder path in one spelling for comparing: "/" separators, upper case,
// no trailing separator.
std::string FolderKey(const std::string& path) {
    std::string s = Upper(path);
    for (char& c : s)
        if (c == '\\') c = '/';
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(plat::NativePath(path), std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size > imaging::kMaxFileBytes) return false;
    in.seekg(0);
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), size);
    return static_cast<bool>(in) || size == 0;
}

// What became of one picture file.
struct Converted {
    enum Kind { Missing, Wmf, Unreadable, ShgUnreadable, NotConverted, Gif } kind = Missing;
    std::string reference;  // the GIF as the page names it
    bool shg = false;
    std::vector<ShgArea> areas;
};

class PagePictures {
public:
    PagePictures(const std::string& pageName, IHtmlExportPages& pages, HtmlGraphicsContext& g, HtmlExportLog& log)
        : page_(HtmlFileOf(pageName)), pageName_(pageName), pages_(pages), g_(g), log_(log) {}

    // The picture file a page names, resolved: absolute as it is, else in
    // the project's graphics folder, else in the project folder.
    std::string Resolve(const std::string& text) const {
        std::string file = TrimRight(text);
        if (plat::IsAbsolutePath(file)) return file;
        if (!g_.pictureFolder.empty()) return plat::JoinPath(g_.pictureFolder, file);
        if (!g_.projectFolder.empty()) return plat::JoinPath(g_.projectFolder, file);
        return file;
    }

    // Converts the file once per export and logs each problem once per place.
    Converted Convert(const std::string& file) {
        Converted c = ConvertOnce(file);
        switch (c.kind) {
        case Converted::Missing:
            log_.Add("Page - " + Quoted(page_) + ", graphic not found - " + Quoted(file));
            break;
        case Converted::Wmf:
            log_.Add("Page - " + Quoted(page_) + ", WMF files are not currently supported - " + Quoted(file));
            break;
        case Converted::ShgUnreadable:
            log_.Add("Page - " + Quoted(page_) + ", SHG file could not be read - " + Quoted(file) +
                     ". You may wish to replace the internal file with a Bitmap.");
            break;
        case Converted::NotConverted:
            log_.Add("Page - " + Quoted(page_) + ", graphic could not be converted - " + Quoted(file));
            break;
        default: break;
        }
        return c;
    }

    // The image map of a converted SHG at this place, and its number.
    std::string Map(const Converted& c, const std::string& file, int& number) {
        number = ++g_.mapCount;
        return ImageMapText(number, c.areas, pageName_, file, pages_, log_);
    }

private:
    Converted ConvertOnce(const std::string& file) {
        const std::string key = Upper(file);
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        Converted c = Make(file);
        cache_.emplace(key, c);
        return c;
    }

    Converted Make(const std::string& file) {
        Converted c;
        if (!plat::FileExists(file)) return c;
        const std::string ext = Upper(plat::ExtractFileExt(file));
        if (ext == ".WMF") {
            c.kind = Converted::Wmf;
            return c;
        }
        std::string bytes;
        if (!ReadWholeFile(file, bytes)) {
            c.kind = Converted::Unreadable;
            return c;
        }
        QImage image;
        if (ext == ".SHG" || ext == ".MRB") {
            c.shg = true;
            conv::ShgPicture shg;
            if (!conv::ReadShgPicture(bytes, shg) || shg.bitmap.empty() ||
                imaging::DecodeImage(shg.bitmap, imaging::TImageKind::Bmp, image) < 1) {
                c.kind = Converted::ShgUnreadable;
                return c;
            }
            for (const conv::ShgHotspot& h : shg.hotspots)
                c.areas.push_back({h.target, h.IsMacro(), h.left, h.top, h.width, h.height});
        } else {
            imaging::TProbe probe;
            if (imaging::ProbeImage(bytes, imaging::TImageKind::Unknown, probe) < 1 ||
                imaging::DecodeImage(bytes, probe.kind, image) < 1) {
                c.kind = Converted::NotConverted;
                return c;
            }
        }
        std::int16_t code = 0;
        const std::string gif = imaging::EncodeGif(image, 8, code);
        if (code < 1) {
            c.kind = Converted::NotConverted;
            return c;
        }
        const std::string name = GifName(file);
        if (!g_.gifFolder || g_.gifFolder->Folder() != g_.gifDir) g_.gifFolder = std::make_shared<ExactCaseFolder>(g_.gifDir);
        if (!g_.gifFolder->Write(name, gif)) {
            c.kind = Converted::NotConverted;
            return c;
        }
        c.kind = Converted::Gif;
        c.reference = Reference(name);
        return c;
    }

    // The picture's own name with ".gif", in lower case; a number keeps two
    // sources ("a.bmp", "a.jpg") from writing one file.
    std::string GifName(const std::string& file) {
        const std::string source = Upper(file);
        const std::string base = Lower(plat::ChangeFileExt(plat::ExtractFileName(file), ""));
        for (int n = 0;; ++n) {
            std::string name = base + (n ? std::to_string(n) : std::string()) + ".gif";
            auto [it, fresh] = g_.gifNames.emplace(Upper(name), source);
            if (fresh || it->second == source) return name;
        }
    }

    // Relative to the HTML folder when the GIF lies inside it, with "/" as
    // a browser reads it; otherwise the full path of the file.
    std::string Reference(const std::string& name) const {
        const std::string out = FolderKey(g_.outputDir), gifs = FolderKey(g_.gifDir);
        if (gifs == out) return name;
        if (gifs.size() > out.size() && gifs.compare(0, out.size(), out) == 0 && gifs[out.size()] == '/') {
            std::string rel = g_.gifDir;
            for (char& ch : rel)
                if (ch == '\\') ch = '/';
            while (!rel.empty() && rel.back() == '/') rel.pop_back();
            rel = rel.substr(rel.size() - (gifs.size() - out.size() - 1));
            return rel + "/" + name;
        }
        return plat::NativePath(plat::JoinPath(g_.gifDir, name));
    }

    std::string page_, pageName_;
    IHtmlExportPages& pages_;
    HtmlGraphicsContext& g_;
    HtmlExportLog& log_;
    // Each picture converted once per page (the export's GIF names hold across pages).
    std::map<std::string, Converted> cache_;
};

}  // namespace

std::string ImageMapText(int mapNumber, const std::vector<ShgArea>& areas, const std::string& pageName,
                         const std::string& file, IHtmlExportPages& pages, HtmlExportLog& log) {
    if (areas.empty()) return std::string();
    std::string s = "<MAP NAME=\"map" + std::to_string(mapNumber) + "\">\r\n";
    for (const ShgArea& a : areas) {
        if (a.macro || a.target.find('(') != std::string::npos) continue;
        std::string name;
        bool found = false;
        char* end = nullptr;
        long id = a.target.empty() ? 0 : std::strtol(a.target.c_str(), &end, 10);
        if (end && *end == '\0' && !a.target.empty()) found = id != 0 && pages.FindByHelpId(static_cast<std::int32_t>(id), name);
        else found = pages.FindByContextString(a.target, name);
        if (!found) {
            log.Add("Page - \"" + HtmlFileOf(pageName) + "\", unresolved SHG link - \"" + a.target + "\" in " + file +
                    "\"");
            continue;
        }
        s += "<AREA SHAPE=\"RECT\" COORDS=\"" + std::to_string(a.left) + "," + std::to_string(a.top) + "," +
             std::to_string(a.left + a.width) + "," + std::to_string(a.top + a.height) + "\" HREF=\"" +
             HtmlAttributeText(pages.FileOfPage(name)) + "\">\r\n";
    }
    return s + "</MAP>\r\n";
}

std::string ConvertTopicGraphics(const std::string& html, const std::string& pageName, IHtmlExportPages& pages,
                                 HtmlGraphicsContext& graphics, HtmlExportLog& log) {
    std::string s = html;
    PagePictures pictures(pageName, pages, graphics, log);

    // First pass: image tags.
    constexpr std::string_view kImg = "<IMG SRC=\"";
    for (std::size_t at = s.find(kImg); at != std::string::npos; at = s.find(kImg, at)) {
        const std::size_t from = at + kImg.size();
        const std::size_t quote = s.find('"', from);
        if (quote == std::string::npos) break;
        const std::string file = pictures.Resolve(HtmlUnescape(s.substr(from, quote - from)));
        Converted c = pictures.Convert(file);
        if (c.kind != Converted::Gif) {
            at = quote + 1;
            continue;
        }
        std::string replacement = HtmlAttributeText(c.reference) + "\"";
        std::string map;
        if (c.shg) {
            int n = 0;
            map = pictures.Map(c, file, n);
            replacement += " USEMAP=\"#map" + std::to_string(n) + "\"";
        }
        s.replace(from, quote + 1 - from, replacement);
        std::size_t tagEnd = s.find('>', from + replacement.size());
        at = tagEnd == std::string::npos ? s.size() : tagEnd + 1;
        if (!map.empty()) {
            s.insert(at, "\r\n" + map);
            at += 2 + map.size();
        }
    }

    // Second pass: picture references the page holds as text ("\{bmc x.bmp\}").
    constexpr std::string_view kRef = "\\{bm";
    for (std::size_t at = s.find(kRef); at != std::string::npos; at = s.find(kRef, at)) {
        const std::size_t blank = s.find(' ', at);
        if (blank == std::string::npos) break;
        const std::size_t close = s.find("\\}", blank + 1);
        if (close == std::string::npos) break;
        const std::string between = s.substr(blank + 1, close - blank - 1);
        std::string text = between.substr(0, between.find('<'));
        for (std::size_t b = text.find("\\\\"); b != std::string::npos; b = text.find("\\\\", b + 1))
            text.erase(b, 1);
        while (!text.empty() && static_cast<unsigned char>(text.back()) < '!') text.pop_back();
        text = Trim(HtmlUnescape(text));
        const std::string file = pictures.Resolve(text);
        Converted c = pictures.Convert(file);
        std::string replacement;
        if (c.kind == Converted::Gif) {
            replacement = "<IMG SRC=\"" + HtmlAttributeText(c.reference) + "\"";
            if (c.shg) {
                int n = 0;
                std::string map = pictures.Map(c, file, n);
                replacement += " USEMAP=\"#map" + std::to_string(n) + "\">";
                if (!map.empty()) replacement += "\r\n" + map;
            } else {
                replacement += ">";
            }
        } else {
            replacement = between;  // the reference's keyword and braces go, its text stays
        }
        s.replace(at, close + 2 - at, replacement);
        at += replacement.size();
    }
    return s;
}

}  // namespace build
