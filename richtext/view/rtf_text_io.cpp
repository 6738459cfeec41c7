#include "richtext/view/rtf_text_io.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "platform/core/check.h"
#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "platform/core/safe_file.h"
#include "richtext/io/html_reader.h"
#include "richtext/io/html_writer.h"
#include "richtext/view/stream_adapter.h"

namespace richtext {

namespace {

constexpr std::int64_t kPlainTextModelAbove = 500000;
constexpr std::size_t kDetectBytes = 2000;

int ParLength(const TParagraph* p) {
    int n = 0;
    for (TLine* l = p->lines; l; l = l->next) n += l->Length();
    return n;
}

// Restores a value when the scope ends, also on an exception.
template <typename T>
class Restore {
public:
    Restore(T& ref, T value) : ref_(ref), old_(ref) { ref_ = value; }
    ~Restore() { ref_ = old_; }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& ref_;
    T old_;
};

}  // namespace

void FreeParagraphList(TParagraph* list) {
    while (list) {
        TParagraph* n = list->next;
        for (TLine* l = list->lines; l;) {
            TLine* ln = l->next;
            delete l;
            l = ln;
        }
        delete list;
        list = n;
    }
}

// --- plain text ------------------------------------------------------------------------

void TJDPlainTextReader::HandleChar(int ch) {
    bool afterCr = afterCr_;
    afterCr_ = ch == '\r';
    if (ch == 0) return;  // the end mark of saved plain text is no text
    if (ch == '\n') {
        // A lone LF ends a line as CR does; the LF of a CR LF pair was counted.
        if (!afterCr) EndParagraph();
        return;
    }
    TJDTextReader::HandleChar(ch);
}

// --- engine ----------------------------------------------------------------------------

TJDRTFTextIo::TJDRTFTextIo(TJDMemoryFormat format) : TJDRTFText(format) {
    cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
}

void TJDRTFTextIo::ClearSelection() {
    selStart = selEnd = TTextPointer{};
    selReversed = false;
}

bool TJDRTFTextIo::IsEmpty() const {
    TParagraph* p = FirstParagraph();
    return !p || (!p->next && !p->lines->next && p->lines->Length() == 0);
}

void TJDRTFTextIo::ClearText() {
    SetProgressQuiet(true);
    TJDRTFText::ClearText();
    SetProgressQuiet(false);
    cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
    ClearSelection();
}

void TJDRTFTextIo::AssignFrom(const TJDRTFTextIo& source) {
    if (&source == this) return;
    SetProgressQuiet(true);
    TJDRTFText::ClearText();
    ClearObjectMarks();
    RemoveUnmarkedObjects();
    ClearFootnotes();
    CopyHeader(source.Header());
    Header().useAttributes = source.Header().useAttributes;
    Header().title = source.Header().title;
    Header().subject = source.Header().subject;
    Header().comment = source.Header().comment;
    currentAttr = source.currentAttr;
    defaultAttr = source.defaultAttr;
    TParagraph* dst = FirstParagraph();
    for (TParagraph* sp = source.FirstParagraph(); sp; sp = sp->next) {
        if (sp != source.FirstParagraph()) dst = NewParagraph(dst);
        CopyParProps(*dst, *sp);
        dst->state = kParNeedsLayout;
        TLine* dl = dst->lines;
        for (TLine* sl = sp->lines; sl; sl = sl->next) {
            if (sl != sp->lines) dl = NewLineAfter(dst, dl);
            dl->text = sl->text;
            dl->attrs = sl->attrs;
            dl->flags = sl->flags;
            dl->layout = sl->layout;
        }
    }
    for (const auto& o : source.Objects()) {
        TJDObjectRecord* r = AddObject(o->object, o->tag == 0 ? 0xFFFF : o->tag);
        *r = *o;
    }
    for (const auto& f : source.Footnotes()) {
        TJDFootnote* n = AddFootnote(f->mark, f->number);
        *n = *f;
    }
    if (Header().resolutionX) SetResolution(Header().resolutionX, Header().resolutionY);
    TAVRIN_ASSERT(StructureSound());
    cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
    ClearSelection();
    SetProgressQuiet(false);
    NotifyChange();
}

void TJDRTFTextIo::ReadData(std::istream& in) {
    ClearText();
    TJDRtfReader reader;
    reader.SetModel(this);
    reader.pictureBaseDir = pictureBaseDir;
    loadResult_ = reader.Read(in);
    for (TParagraph* p = FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
}

void TJDRTFTextIo::WriteData(std::ostream& out) {
    TJDRTFWriter writer(this);
    SaveWithWriter(writer, out);
}

// --- loading ---------------------------------------------------------------------------

TJDLoadFormat TJDRTFTextIo::DetectFormat(std::istream& in) {
    std::streampos start = in.tellg();
    std::string buf(kDetectBytes, '\0');
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    buf.resize(static_cast<std::size_t>(in.gcount()));
    in.clear();
    if (start >= 0) in.seekg(start);

    std::size_t i = 0;
    while (i < buf.size() && (buf[i] == ' ' || buf[i] == '\n' || buf[i] == '\r' || buf[i] == '\t' || buf[i] == 8)) ++i;
    if (buf.compare(i, 5, "{\\rtf") == 0) return TJDLoadFormat::FormatRTF;

    static const char* const kHtmlTags[] = {"html", "b", "p", "br", "title", "body", "h1"};
    for (std::size_t k = 0; k < buf.size() && buf[k] != '\0'; ++k) {
        if (buf[k] != '<') continue;
        std::string name;
        std::size_t j = k + 1;
        for (; j < buf.size() && name.size() < 9 && buf[j] != '>' && buf[j] != '\r' && buf[j] != '\0'; ++j)
            name.push_back(buf[j]);
        if (j < buf.size() && buf[j] == '>') {
            for (const char* t : kHtmlTags)
                if (plat::CompareAnsi(name, t, true) == 0) return TJDLoadFormat::FormatHTML;
        }
    }
    return TJDLoadFormat::FormatANSI;
}

bool TJDRTFTextIo::InsertReadText(TJDRTFText& read) {
    TParagraph* list = read.DetachParagraphs();
    // Object characters carry the tags of the reading model's records: give
    // them records of this text.
    std::map<std::uint16_t, std::uint16_t> tags;
    for (TParagraph* p = list; p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next)
            for (TJDCharAttr& a : l->attrs) {
                if (!(a.style & kStyleObject)) continue;
                auto it = tags.find(a.tag);
                if (it == tags.end()) {
                    TJDObjectRecord* src = read.ObjectForCharTag(a.tag);
                    if (!src) continue;
                    TJDObjectRecord* rec = AddObject(src->object, 0xFFFF);
                    std::uint16_t tag = rec->tag, id = rec->id;
                    *rec = *src;
                    rec->tag = tag;
                    rec->id = id;
                    it = tags.emplace(a.tag, rec->CharTag()).first;
                }
                a.tag = it->second;
            }
    if (!cursor.par || !cursor.line) cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
    if (!ProtectionTest(cursor.par, cursor.line, cursor.pos)) {
        FreeParagraphList(list);
        return false;
    }
    bool doIt = true;
    TJDEngineServices::Call(services.OnBeforePaste, services.sender, list, doIt);
    if (!doIt) {
        FreeParagraphList(list);
        return false;
    }
    // Footnote marks carry ids of the reading model's footnotes: the notes
    // come along under ids of this text, and go again if the insert fails.
    std::map<std::uint16_t, std::uint16_t> notes;
    for (TParagraph* p = list; p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next)
            for (TJDCharAttr& a : l->attrs) {
                if (!(a.style & kStyleFootnote) || a.tag == 0) continue;
                auto it = notes.find(a.tag);
                if (it == notes.end()) {
                    const TJDFootnote* src = read.FindFootnote(a.tag);
                    if (!src) continue;
                    TJDFootnote* fn = AddFootnote(src->mark, src->number);
                    std::uint16_t id = fn->id;
                    *fn = *src;
                    fn->id = id;
                    it = notes.emplace(a.tag, id).first;
                }
                a.tag = it->second;
            }
    auto dropNotes = [&] {
        for (const auto& [from, to] : notes) RemoveFootnote(to);
    };
    int length = -1;
    for (TParagraph* p = list; p; p = p->next) length += ParLength(p) + 1;
    int at, absLine, parIndex, posInPar;
    GetPosition(cursor.par, cursor.line, cursor.pos, at, absLine, parIndex, posInPar);
    bool ok;
    try {
        ok = InsertParagraphList(cursor.par, cursor.line, cursor.pos, list);
    } catch (...) {
        FreeParagraphList(list);
        dropNotes();
        throw;
    }
    if (!ok) {
        dropNotes();
        FreeParagraphList(list);
        return false;
    }
    TTextPointer after;
    if (PositionToPointer(at + length, after)) cursor = after;
    return true;
}

int TJDRTFTextIo::LoadWithReader(std::istream& in, TJDTextReader& reader) {
    loadResult_ = kLoading;
    bool whole = insertSelection == TThreeState::tsFALSE || (insertSelection == TThreeState::tsIgnore && IsEmpty());
    try {
        if (whole) {
            Header().title.clear();
            Header().subject.clear();
            Header().comment.clear();
            if (!IsEmpty()) {
                SetProgressQuiet(true);
                TJDRTFText::ClearText();
                SetProgressQuiet(false);
            }
            ClearSelection();
            reader.SetModel(this);
            loadResult_ = reader.Read(in);
            TAVRIN_ASSERT(StructureSound());
            cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
            Renumber();
            TJDEngineServices::Call(services.OnLoaded, services.sender);
            if (Header().resolutionX) SetResolution(Header().resolutionX, Header().resolutionY);
            NotifyChange();
        } else {
            TJDRTFText read(RichText() ? TJDMemoryFormat::fmRichText : TJDMemoryFormat::fmPlainText);
            read.ShareHeaderOf(*this);
            read.currentAttr = currentAttr;
            read.defaultAttr = currentAttr;
            read.services.OnProvideObject = services.OnProvideObject;
            read.services.OnHTMLBitmapRequest = services.OnHTMLBitmapRequest;
            read.services.sender = services.sender;
            // Inserted RTF must not overwrite this text's page and colours.
            auto* rtf = dynamic_cast<TJDRtfReader*>(&reader);
            bool keep = rtf && rtf->keepHeader;
            if (rtf) rtf->keepHeader = true;
            try {
                reader.SetModel(&read);
                loadResult_ = reader.Read(in);
            } catch (...) {
                if (rtf) rtf->keepHeader = keep;
                reader.SetModel(this);
                throw;
            }
            if (rtf) rtf->keepHeader = keep;
            reader.SetModel(this);
            if (InsertReadText(read)) {
                Renumber();
                NotifyChange();
            }
        }
    } catch (...) {
        loadResult_ = kLoadFailed;
        throw;
    }
    return loadResult_;
}

TJDLoadFormat TJDRTFTextIo::LoadFromStream(std::istream& in) {
    if (externalReader && !disableExternal) {
        LoadWithReader(in, *externalReader);
        return LoadFormat;
    }
    TJDLoadFormat format = LoadFormat;
    if (format != TJDLoadFormat::FormatRTF && format != TJDLoadFormat::FormatANSI && format != TJDLoadFormat::FormatHTML) {
        format = DetectFormat(in);
        // The blanks in front of detected RTF are no text.
        if (format == TJDLoadFormat::FormatRTF) {
            for (int c = in.peek(); c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == 8; c = in.peek()) in.get();
        }
    }
    switch (format) {
    case TJDLoadFormat::FormatRTF: {
        TJDRtfReader reader;
        reader.pictureBaseDir = pictureBaseDir;
        LoadWithReader(in, reader);
        break;
    }
    case TJDLoadFormat::FormatHTML: {
        TJDHTMLReader reader;
        reader.pictureBaseDir = pictureBaseDir;
        reader.storeComment = htmlStoreComment;
        reader.SetStartAttr(currentAttr);
        LoadWithReader(in, reader);
        if (backgroundLoadFromFile && !reader.backgroundPicture.empty()) PageBackgroundNamed(reader.backgroundPicture);
        break;
    }
    default: {
        // A very large plain text is held without attributes.
        std::streampos start = in.tellg();
        if (start >= 0 && (insertSelection == TThreeState::tsFALSE ||
                           (insertSelection == TThreeState::tsIgnore && IsEmpty()))) {
            in.seekg(0, std::ios::end);
            std::streampos end = in.tellg();
            in.clear();
            in.seekg(start);
            if (end >= 0 && static_cast<std::int64_t>(end - start) > kPlainTextModelAbove)
                Header().useAttributes = false;
        }
        TJDPlainTextReader reader;
        reader.SetStartAttr(currentAttr);
        LoadWithReader(in, reader);
        break;
    }
    }
    ReportResult(loadResult_, false);
    return format;
}

std::string TJDRTFTextIo::ResultText(int result, bool saving) {
    switch (result) {
    case 0: return {};
    case kReadUnbalancedBrace: return "The text has a closing brace without its opening brace";
    case kReadBadHex: return "The text has a character code that is not hexadecimal";
    case kReadEndInControl: return "The text ends inside a control word";
    case kReadTooDeep: return "The text nests its groups too deeply";
    case kReadBadPictureName: return "A linked picture's name has no closing quote";
    case kReadTooManyObjects: return "The text has too many footnotes or objects";
    default:
        if (saving && result == kWriteOutOfMemory) return "Not enough memory to write the text";
        return (saving ? "The text could not be written (error " : "The text could not be read (error ") +
               std::to_string(result) + ")";
    }
}

void TJDRTFTextIo::ReportResult(int result, bool saving) {
    if (result == 0 || result == kLoading || !services.OnJDErrorEvent) return;
    services.OnJDErrorEvent(services.sender, ResultText(result, saving));
}

TJDLoadFormat TJDRTFTextIo::LoadFromStream(plat::Stream& stream) {
    PlatStreamBuf buf(stream);
    std::istream in(&buf);
    TJDLoadFormat f = LoadFromStream(in);
    // Leave the platform stream where the reader stopped.
    in.clear();
    in.seekg(in.tellg());
    return f;
}

TJDLoadFormat TJDRTFTextIo::LoadFromString(const std::string& bytes) {
    std::istringstream in(bytes);
    return LoadFromStream(in);
}

TJDLoadFormat TJDRTFTextIo::LoadFromFile(const std::string& fileName) {
    plat::FileStream file(fileName, plat::fmOpenRead | plat::fmShareDenyWrite);
    TJDLoadFormat f = LoadFromStream(file);
    lastFileFormat_ = f;
    return f;
}

// --- saving ----------------------------------------------------------------------------

std::unique_ptr<TJDTextWriter> TJDRTFTextIo::MakeWriter(TJDLoadFormat format) {
    if (format == TJDLoadFormat::FormatHTML) return std::make_unique<TJDHTMLWriter>(this);
    if (format == TJDLoadFormat::FormatANSI) return std::make_unique<TJDPlainTextWriter>(this);
    auto w = std::make_unique<TJDRTFWriter>(this);
    w->leaveOutShad = leaveOutShad;
    return w;
}

int TJDRTFTextIo::SaveWithWriter(TJDTextWriter& writer, std::ostream& out) {
    writer.SetRange(FirstParagraph());
    writer.leaveOutInsertPointText = leaveOutInsertPointText;
    writer.leaveOutAutomaticText = leaveOutAutomaticText;
    if (auto* rtf = dynamic_cast<TJDRTFWriter*>(&writer)) {
        rtf->leaveOutShad = leaveOutShad;
        rtf->writeBitmapAsDib = writeBitmapAsDib;
    }
    if (auto* html = dynamic_cast<TJDHTMLWriter*>(&writer)) html->storeComment = htmlStoreComment;
    saveResult_ = writer.Write(out);
    ReportResult(saveResult_, true);
    return saveResult_;
}

int TJDRTFTextIo::SaveSelectionWithWriter(TJDTextWriter& writer, std::ostream& out) {
    if (!HasSelection()) return 0;
    TTextPointer a = selStart, b = selEnd;
    int pa, pb, l, pi, pp;
    GetPosition(a.par, a.line, a.pos, pa, l, pi, pp);
    GetPosition(b.par, b.line, b.pos, pb, l, pi, pp);
    if (selReversed || pb < pa) std::swap(a, b);
    writer.SetRange(a.par, a.line, a.pos, b.par, b.line, b.pos);
    writer.leaveOutInsertPointText = leaveOutInsertPointText;
    writer.leaveOutAutomaticText = leaveOutAutomaticText;
    if (auto* rtf = dynamic_cast<TJDRTFWriter*>(&writer)) {
        rtf->leaveOutShad = leaveOutShad;
        rtf->writeBitmapAsDib = writeBitmapAsDib;
    }
    if (auto* html = dynamic_cast<TJDHTMLWriter*>(&writer)) html->storeComment = htmlStoreComment;
    saveResult_ = writer.Write(out);
    ReportResult(saveResult_, true);
    return saveResult_;
}

int TJDRTFTextIo::SaveToStream(std::ostream& out) {
    if (externalWriter && !disableExternal) return SaveWithWriter(*externalWriter, out);
    TJDLoadFormat format = SaveFormat;
    if (format != TJDLoadFormat::FormatRTF && format != TJDLoadFormat::FormatANSI && format != TJDLoadFormat::FormatHTML) {
        if (lastFileFormat_ == TJDLoadFormat::FormatRTF || lastFileFormat_ == TJDLoadFormat::FormatANSI)
            format = lastFileFormat_;
        else
            format = RichText() ? TJDLoadFormat::FormatRTF : TJDLoadFormat::FormatANSI;
    }
    // An empty text gives an empty stream (but a complete document in a file).
    if (!savingToFile_ && IsEmpty() && format != TJDLoadFormat::FormatHTML) {
        saveResult_ = 0;
        return 0;
    }
    std::unique_ptr<TJDTextWriter> writer = MakeWriter(format);
    return SaveWithWriter(*writer, out);
}

int TJDRTFTextIo::SaveToStream(plat::Stream& stream) {
    PlatStreamBuf buf(stream);
    std::ostream out(&buf);
    int r = SaveToStream(out);
    out.flush();
    if (r == 0 && (!buf.Good() || !out)) {
        r = saveResult_ = kWriteFailed;
        ReportResult(r, true);
    }
    return r;
}

int TJDRTFTextIo::SaveSelectionToStream(std::ostream& out) {
    TJDLoadFormat format = SaveFormat;
    if (format != TJDLoadFormat::FormatRTF && format != TJDLoadFormat::FormatANSI && format != TJDLoadFormat::FormatHTML)
        format = RichText() ? TJDLoadFormat::FormatRTF : TJDLoadFormat::FormatANSI;
    std::unique_ptr<TJDTextWriter> writer = MakeWriter(format);
    return SaveSelectionWithWriter(*writer, out);
}

std::string TJDRTFTextIo::SaveToString() {
    std::ostringstream out;
    SaveToStream(out);
    return out.str();
}

int TJDRTFTextIo::SaveToFile(const std::string& fileName) {
    std::string upper = plat::AnsiUpperCase(fileName);
    TJDLoadFormat format = SaveFormat;
    if (upper.find(".RTF") != std::string::npos) format = TJDLoadFormat::FormatRTF;
    else if (upper.find(".HTM") != std::string::npos) format = TJDLoadFormat::FormatHTML;
    Restore<TJDLoadFormat> keepFormat(SaveFormat, format);
    Restore<bool> keepFlag(savingToFile_, true);

    // The old file is replaced only by a completely written new one.
    plat::SafeFileWriter file(fileName);
    if (!file.IsOpen()) throw plat::EFCreateError("Cannot create file \"" + fileName + "\"");
    std::ostringstream text;
    int result = SaveToStream(text);
    if (result == 0 && !(file.Write(text.str()) && file.Commit())) {
        result = kWriteFailed;
        ReportResult(result, true);
    }
    saveResult_ = result;
    return result;
}

// --- positions -------------------------------------------------------------------------

void TJDRTFTextIo::GetPosition(const TParagraph* par, const TLine* line, int posInLine, int& pos, int& absLine,
                               int& parIndex, int& posInPar) const {
    pos = absLine = parIndex = posInPar = 0;
    TParagraph* p = FirstParagraph();
    for (; p && p != par; p = p->next) {
        pos += ParLength(p) + 1;
        for (TLine* l = p->lines; l; l = l->next) ++absLine;
        ++parIndex;
    }
    if (!p) return;
    TLine* l = p->lines;
    for (; l && l != line; l = l->next) {
        posInPar += l->Length();
        ++absLine;
    }
    if (l) posInPar += std::clamp(posInLine, 0, l->Length());
    pos += posInPar;
}

bool TJDRTFTextIo::PositionToPointer(int pos, TTextPointer& out) const {
    if (pos < 0) return false;
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        int len = ParLength(p);
        if (pos <= len) {
            TLine* l = p->lines;
            while (pos > l->Length() && l->next) {
                pos -= l->Length();
                l = l->next;
            }
            out = {p, l, std::clamp(pos, 0, l->Length())};
            return true;
        }
        pos -= len + 1;
    }
    return false;
}

bool TJDRTFTextIo::LineToPointer(int absLine, TTextPointer& out) const {
    if (absLine < 0) return false;
    for (TParagraph* p = FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next)
            if (absLine-- == 0) {
                out = {p, l, 0};
                return true;
            }
    return false;
}

bool TJDRTFTextIo::ParPositionToPointer(int parIndex, int posInPar, TTextPointer& out) const {
    TParagraph* p = parIndex >= 0 ? ParagraphAt(parIndex) : nullptr;
    if (!p) return false;
    TLine* l = p->lines;
    while (posInPar > l->Length() && l->next) {
        posInPar -= l->Length();
        l = l->next;
    }
    out = {p, l, std::clamp(posInPar, 0, l->Length())};
    return true;
}

void TJDRTFTextIo::GetCursor(int& pos, int& absLine, int& parIndex, int& posInPar) const {
    GetPosition(cursor.par, cursor.line, cursor.pos, pos, absLine, parIndex, posInPar);
}

bool TJDRTFTextIo::SetCursor(int pos, int absLine) {
    TTextPointer p;
    bool ok = absLine == 0 ? PositionToPointer(pos, p) : LineToPointer(absLine, p);
    if (!ok) return false;
    cursor = p;
    if (services.setMode) {
        services.setMode->RefreshParagraph();
        services.setMode->RefreshAttributes();
    }
    return true;
}

bool TJDRTFTextIo::RepairTableFlags() {
    bool any = false;
    constexpr std::uint8_t kCellFlags = kParTableCell | kParNotFirstCell | kParCellFollows;
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        bool broken = false;
        if ((p->flags & kParCellFollows) && !(p->next && (p->next->flags & kParNotFirstCell))) broken = true;
        if ((p->flags & kParNotFirstCell) && !(p->prev && (p->prev->flags & kParCellFollows))) broken = true;
        if ((p->flags & kCellFlags) && p->cellWidth == 0) broken = true;
        if (broken) {
            p->flags &= static_cast<std::uint8_t>(~kCellFlags);
            p->spaceAfter = 0;
            p->state |= kParNeedsLayout;
            any = true;
        }
    }
    return any;
}

int TJDRTFTextIo::ComputePageStarts() {
    RepairTableFlags();
    return 0;
}

// --- numbering ----------------------------------------------------------------------

bool TJDRTFTextIo::AnyNumbered() const {
    for (TParagraph* p = FirstParagraph(); p; p = p->next)
        if (p->numbering) return true;
    return false;
}

bool TJDRTFTextIo::Renumber() {
    if (!RichText()) return false;
    constexpr std::uint16_t kKeptStyles = kStyleBold | kStyleItalic | kStyleUnderline | kStyleStrikeOut;
    bool changed = false;
    int counters[16] = {};
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        int style = p->numbering >> 4, level = p->numbering & 0x0F;
        int kind = NumberingKind(style);
        int old = NumberingPrefix(p);
        // Numbering text past the prefix came in with a joined paragraph: it goes.
        int base = 0;
        for (TLine* l = p->lines; l; l = l->next) {
            for (int i = l->Length() - 1; i >= std::max(0, old - base); --i) {
                if (static_cast<std::size_t>(i) < l->attrs.size() &&
                    (l->attrs[static_cast<std::size_t>(i)].style & kStyleNumbering)) {
                    ReplaceInLine(l, i, 1, std::string(), nullptr);
                    if (cursor.line == l && cursor.pos > i) --cursor.pos;
                    p->state |= kParNeedsLayout;
                    changed = true;
                }
            }
            base += l->Length();
        }
        TLine* first = p->lines;
        if (!p->numbering || !kind) {
            // A paragraph outside a list ends the count.
            if (!p->numbering) std::fill(std::begin(counters), std::end(counters), 0);
            if (old) {
                ReplaceInLine(first, 0, old, std::string(), nullptr);
                if (cursor.line == first) cursor.pos = std::max(0, cursor.pos - old);
                p->state |= kParNeedsLayout;
                changed = true;
            }
            continue;
        }
        ++counters[level];
        for (int k = level + 1; k < 16; ++k) counters[k] = 0;
        std::string text = FormatNumber(kind, counters[level]) + "\t";
        if (first->text.compare(0, static_cast<std::size_t>(old), text) == 0 && static_cast<int>(text.size()) == old)
            continue;
        TJDCharAttr a = !first->attrs.empty()
                            ? first->attrs[static_cast<std::size_t>(old < first->Length() ? old : 0)]
                            : currentAttr;
        a.style = static_cast<std::uint16_t>((a.style & kKeptStyles) | kStyleNumbering);
        a.tag = 0;
        if (kind == 1) a.font = static_cast<std::uint8_t>(std::max(0, AddFontName("Symbol")));
        ReplaceInLine(first, 0, old, text, &a);
        if (cursor.par == p && cursor.line == first)
            cursor.pos = std::max(0, cursor.pos + static_cast<int>(text.size()) - old);
        p->state |= kParNeedsLayout;
        changed = true;
    }
    return changed;
}

// --- strings view -----------------------------------------------------------------------

int TJDRtfStrings::Count() const { return engine_.IsEmpty() ? 0 : engine_.ParagraphCount(); }

std::string TJDRtfStrings::Get(int index) const {
    if (index < 0 || index >= Count()) return std::string();
    return engine_.ParagraphText(engine_.ParagraphAt(index));
}

void TJDRtfStrings::Put(int index, const std::string& s) {
    if (index < 0) return;
    if (index >= Count()) {
        Insert(index, s);
        return;
    }
    engine_.ReplaceParagraphText(index, s);
    // Replacing may free lines the cursor or selection point into.
    engine_.cursor = {engine_.FirstParagraph(), engine_.FirstParagraph()->lines, 0};
    engine_.ClearSelection();
    engine_.Renumber();
    if (!updating_) engine_.NotifyChange();
}

void TJDRtfStrings::Insert(int index, const std::string& s) {
    if (Count() == 0) {  // the one empty paragraph takes the first string
        engine_.ReplaceParagraphText(0, s);
    } else {
        engine_.InsertParagraphAt(std::clamp(index, 0, Count()), s);
    }
    engine_.Renumber();
    if (!updating_) engine_.NotifyChange();
}

int TJDRtfStrings::Add(const std::string& s) {
    int at = Count();
    Insert(at, s);
    return at;
}

void TJDRtfStrings::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    engine_.DeleteParagraphAt(index);
    engine_.cursor = {engine_.FirstParagraph(), engine_.FirstParagraph()->lines, 0};
    engine_.ClearSelection();
    engine_.Renumber();
    if (!updating_) engine_.NotifyChange();
}

void TJDRtfStrings::Clear() { engine_.ClearText(); }

void TJDRtfStrings::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0) engine_.NotifyChange();
}

void TJDRtfStrings::LoadFromStream(std::istream& in) {
    Restore<TJDLoadFormat> keep(engine_.LoadFormat, TJDLoadFormat::AutomaticFormat);
    engine_.LoadFromStream(in);
}

int TJDRtfStrings::SaveToStream(std::ostream& out) {
    TJDPlainTextWriter writer(&engine_);
    return engine_.SaveWithWriter(writer, out);
}

}  // namespace richtext
