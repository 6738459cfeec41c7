#include "editor/forms/page_commands.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "project/helpers.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/safe_file.h"
#include "platform/core/streams.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/metafile.h"
#include "platform/gui/printer.h"
#include "controls/data/vl_db_edit.h"
#include "controls/db/db_controls.h"
#include "controls/richdb/db_rich_text.h"
#include "richtext/controls/rich_text.h"
#include "richtext/controls/rtf_edit.h"
#include "richtext/view/rtf_text_io.h"
#include "richtext/spell/spell_dlg.h"

namespace editor {

using richtext::TJDCharAttr;
using richtext::TJDCustomRtfEdit;

void PageTextHost::Status(const std::string& s) {
    StatusText = s;
    if (SetStatus) SetStatus(s);
}

void PageTextHost::DoBeep() {
    if (Beep) Beep();
    else gui::MessageBeep(gui::MB_ICONEXCLAMATION);
}

namespace {

// The style word of every position of the text (a paragraph end counts one
// position and has no style).
std::vector<std::uint16_t> Styles(TJDCustomRtfEdit& ed) {
    std::vector<std::uint16_t> out;
    for (richtext::TParagraph* p = ed.Engine().FirstParagraph(); p; p = p->next) {
        for (richtext::TLine* l = p->lines; l; l = l->next)
            for (int i = 0; i < l->Length(); ++i)
                out.push_back(i < static_cast<int>(l->attrs.size()) ? l->attrs[static_cast<std::size_t>(i)].style : 0);
        if (p->next) out.push_back(0);
    }
    return out;
}

// The plain text in the same positions.
std::string Chars(TJDCustomRtfEdit& ed) {
    std::string out;
    for (richtext::TParagraph* p = ed.Engine().FirstParagraph(); p; p = p->next) {
        for (richtext::TLine* l = p->lines; l; l = l->next) out.append(l->text, 0, static_cast<std::size_t>(l->Length()));
        if (p->next) out.push_back('\r');
    }
    return out;
}

void Select(TJDCustomRtfEdit& ed, int from, int length) {
    ed.SetSelStart(from);
    ed.SetSelLength(length);
}

void ApplyOnRange(TJDCustomRtfEdit& ed, int from, int length, std::uint32_t mask, const TJDCharAttr& t) {
    if (length <= 0) return;
    Select(ed, from, length);
    ed.Engine().ApplyAttribute(mask, t);
}

TJDCharAttr StyleTemplate(std::uint16_t bits) {
    TJDCharAttr t;
    t.style = bits;
    return t;
}

void Touched(TJDCustomRtfEdit& ed) {
    ed.Invalidate();
    ed.Changed();
    ed.Modified = true;
}

// Puts the page row into edit state, keeping selection and cursor.
void EditPageRow(EditorContext& ctx, TJDCustomRtfEdit& ed) {
    db::TDataSet* ds = ctx.detailTable;
    if (!ds || !ds->Active() || ds->IsEditing() || ds->IsEmpty()) return;
    int start = ed.GetSelStart(), length = ed.GetSelLength();
    ds->Edit();
    Select(ed, start, length);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

// --- entering and formatting --------------------------------------------------------------

bool StoredPageHasContent(const std::string& stored) {
    if (stored.find_first_not_of(std::string(" \t\r\n\0", 5)) == std::string::npos) return false;
    // A header alone (as a new page is given) holds nothing; text the reader
    // cannot take counts as content, so it is never replaced.
    richtext::TJDRTFTextIo io;
    io.LoadFromString(stored);
    if (io.LoadResult() != 0 || !io.Objects().empty()) return true;
    for (richtext::TParagraph* p = io.FirstParagraph(); p; p = p->next) {
        if (p->IsCell()) return true;
        for (richtext::TLine* l = p->lines; l; l = l->next)
            if (l->Length() > 0) return true;
    }
    return false;
}

void EnterPageEditor(PageTextHost& host, TJDCustomRtfEdit& editor, bool title) {
    if (editor.GetSelLength() > 0) return;
    editor.Modified = false;
    if (!editor.GetPlainText().empty()) return;
    auto* bound = dynamic_cast<richtext::TDBJDRichText*>(&editor);
    db::TField* field = bound ? bound->Field() : nullptr;
    if (!field || !field->DataSet()) return;
    // Only a page with nothing stored takes the header: pictures, an empty
    // table or text the reader could not make sense of stay as they are.
    if (StoredPageHasContent(field->AsString())) return;
    db::TDataSet* ds = field->DataSet();
    // With no project there is no page: an edit of the empty page table
    // would start one that belongs to no project.
    if (!ds->IsEditing() && host.ctx && host.ctx->mainTable && host.ctx->mainTable->Active() &&
        host.ctx->mainTable->IsEmpty())
        return;
    if (!ds->IsEditing()) ds->Edit();
    field->SetAsString(host.HeaderRtf);
    if (editor.GetPlainText().empty() && host.HeaderRtf != "") bound->LoadMemo();
    const std::optional<PageTextHost::DefaultFont>& font = title ? host.DefaultTitleFont : host.DefaultTextFont;
    if (font) editor.SetCurrentAttr(DefaultAttribute(editor, font->font, font->style));
    else if (host.HasDefaultAttrs) editor.SetCurrentAttr(title ? host.DefaultTitleAttr : host.DefaultTextAttr);
    editor.Modified = false;
}

TJDCharAttr DefaultAttribute(TJDCustomRtfEdit& editor, const TitleFont& font, unsigned style) {
    TJDCharAttr a;
    editor.GetCurrentAttr(a);
    // By name: the header the page was given may list the font at any number.
    if (!font.name.empty()) a.font = static_cast<std::uint8_t>(editor.RegisterFontName(font.name));
    if (font.size > 0 && font.size < 256) a.size = static_cast<std::uint8_t>(font.size);
    a.SetTextColor(static_cast<unsigned>(font.colour) & 0x0F);
    a.style = static_cast<std::uint16_t>(style & (kMarkBold | kMarkItalic | kMarkUnderline));
    return a;
}

bool EndParagraphBorder(TJDCustomRtfEdit* editor) {
    if (!editor) return false;
    richtext::TParagraph* par = editor->Engine().cursor.par;
    // A table cell's border belongs to its row.
    if (!par || par->IsCell() || !(par->border & richtext::kBorderOn)) return false;
    const std::uint32_t word = par->border;
    if (word & richtext::kBorderGroupEnd) return true;
    const int start = editor->GetSelStart(), length = editor->GetSelLength();
    const int cursor = editor->GetCPPosition();
    // The border operation works on the selected paragraphs: only the
    // cursor's is meant. Its own lines, width, colour and spacing stay.
    Select(*editor, cursor, 0);
    editor->SetParagraphBorder(
        static_cast<std::uint16_t>((word & 0xFFFF & ~richtext::kBorderOn) | richtext::kBorderGroupEnd),
        static_cast<int>(richtext::BorderWidthByte(word)), static_cast<int>(richtext::BorderColorNibble(word)),
        static_cast<int>(richtext::BorderSpacingNibble(word)));
    if (length > 0) Select(*editor, start, length);
    par = editor->Engine().cursor.par;
    if (!par || !(par->border & richtext::kBorderGroupEnd)) return false;
    editor->Modified = true;
    return true;
}

bool LeaveTitleEditor(richtext::TDBJDRichText& editor) {
    db::TField* field = editor.Field();
    db::TDataSet* ds = field ? field->DataSet() : nullptr;
    // A row in browse state shows what it stores; only an edit has to reach
    // the field before the row is posted.
    if (!ds || !ds->IsEditing()) return false;
    plat::MemoryStream stream;
    editor.SaveToStream(stream);
    const std::string text = stream.DataString();
    if (field->AsString() == text) return false;
    field->SetAsString(text);
    return true;
}

bool FormatSelection(PageTextHost& host, TJDCustomRtfEdit* editor, CharFormat format) {
    if (!editor) return false;
    if (editor->GetSelLength() <= 0) {
        host.DoBeep();
        host.Status(kFormatNeedsSelection);
        return false;
    }
    if (!editor->CanEdit()) return false;
    const int start = editor->GetSelStart(), length = editor->GetSelLength();
    TJDCharAttr current;
    editor->GetCurrentAttr(current);
    if (format != CharFormat::Normal) {
        std::uint16_t bit = format == CharFormat::Bold     ? kMarkBold
                            : format == CharFormat::Italic ? kMarkItalic
                                                           : kMarkUnderline;
        // Only the command's own bit changes: fonts, sizes and the other
        // bits of the selection stay as they were.
        editor->Engine().ApplyAttribute((current.style & bit) ? richtext::amStyleClear : richtext::amStyleOr,
                                        StyleTemplate(bit));
        Touched(*editor);
        return true;
    }
    // Normal: hidden targets and the hot-spot text directly before each keep
    // their bits, so no target shows and no jump loses its look.
    std::vector<std::uint16_t> styles = Styles(*editor);
    std::vector<bool> keep(styles.size(), false);
    for (std::size_t i = 0; i < styles.size(); ++i) {
        if (!(styles[i] & kMarkHidden)) continue;
        keep[i] = true;
        if (i == 0 || (styles[i - 1] & kMarkHidden)) continue;
        // The run carrying the mark's own bit: jump (and macro) or popup.
        std::uint16_t bit = (styles[i - 1] & kMarkJump) ? kMarkJump : kMarkUnderline;
        for (std::size_t j = i; j-- > 0;) {
            if ((styles[j] & kMarkHidden) || !(styles[j] & bit)) break;
            keep[j] = true;
        }
    }
    const int end = std::min<int>(start + length, static_cast<int>(styles.size()));
    int run = -1;
    for (int i = start; i <= end; ++i) {
        bool clear = i < end && !keep[static_cast<std::size_t>(i)];
        if (clear && run < 0) run = i;
        if (!clear && run >= 0) {
            ApplyOnRange(*editor, run, i - run, richtext::amStyleClear,
                         StyleTemplate(kMarkBold | kMarkItalic | kMarkUnderline));
            run = -1;
        }
    }
    Select(*editor, start, length);
    TJDCharAttr after = current;
    after.style &= static_cast<std::uint16_t>(~(kMarkBold | kMarkItalic | kMarkUnderline));
    if (!(current.style & kMarkHidden)) editor->Engine().currentAttr = after;
    Touched(*editor);
    return true;
}

bool SaveCurrentPage(TJDCustomRtfEdit* editor, const std::string& fileName,
                     std::function<void(const std::string& tempName)> write) {
    if (!editor) {
        ShowWarning("Warning", "Please move to the field you wish to save.");
        return false;
    }
    std::string ext = Upper(plat::ExtractFileExt(fileName));
    richtext::TJDLoadFormat format = richtext::TJDLoadFormat::FormatRTF;
    if (ext == ".TXT") format = richtext::TJDLoadFormat::FormatANSI;
    else if (ext == ".HTM" || ext == ".HTML") format = richtext::TJDLoadFormat::FormatHTML;
    // A failed save leaves the old file.
    plat::SafeFileWriter out(fileName);
    bool ok = false;
    try {
        if (!out.IsOpen()) throw plat::EFCreateError("Cannot create file \"" + fileName + "\"");
        if (write) {
            write(out.TempPath());
        } else {
            std::ostringstream text;
            richtext::TJDLoadFormat saved = editor->Engine().SaveFormat;
            editor->Engine().SaveFormat = format;
            int result = editor->Engine().SaveToStream(text);
            editor->Engine().SaveFormat = saved;
            if (result != 0 || !out.Write(text.str())) throw plat::EWriteError("write failed");
        }
        ok = out.Commit();
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) {
        out.Discard();
        ShowWarning("Warning", kSaveProblem);
    }
    return ok;
}

bool ClipboardCommand(gui::TWinControl* focused, ClipAction action) {
    if (auto* page = dynamic_cast<richtext::TDBJDRichText*>(focused)) {
        switch (action) {
        case ClipAction::Cut: page->CutToClipboard(); break;
        case ClipAction::Copy: page->CopyToClipboard(); break;
        case ClipAction::Paste:
            if (!page->CanEdit()) return false;
            page->PasteFromClipboard();
            page->Changed();
            break;
        case ClipAction::SelectAll: page->SelectAll(); break;
        }
        return true;
    }
    if (dynamic_cast<db::TDBEdit*>(focused) || dynamic_cast<vl::TvlDBCustomEdit*>(focused)) {
        auto* edit = static_cast<gui::TCustomEdit*>(dynamic_cast<gui::TCustomEdit*>(focused));
        if (!edit) return false;
        switch (action) {
        case ClipAction::Cut: edit->CutToClipboard(); break;
        case ClipAction::Copy: edit->CopyToClipboard(); break;
        case ClipAction::Paste: edit->PasteFromClipboard(); break;
        case ClipAction::SelectAll: edit->SelectAll(); break;
        }
        return true;
    }
    return false;
}

// --- hot spots ---------------------------------------------------------------------------------

std::int64_t CurrentPageHelpId(EditorContext& ctx) {
    db::TDataSet* ds = ctx.detailTable;
    return ds ? ds->FieldInt("HelpId") : 0;
}

namespace {
std::string ProjectName(EditorContext& ctx) {
    if (!ctx.mainTable || !ctx.mainTable->Active() || ctx.mainTable->IsEmpty()) return {};
    return ctx.mainTable->FieldByName("Application")->AsString();
}

// Walks the project's pages on a table of their own, so no view moves.
template <typename F>
bool ForProjectPages(EditorContext& ctx, F f) {
    vl::TvlTable* t = ctx.tblContext;
    if (!t) return false;
    if (!t->Active()) {
        try {
            t->Open();
        } catch (const std::exception&) {
            return false;
        }
    }
    std::string project = ProjectName(ctx);
    for (t->First(); !t->Eof(); t->Next()) {
        if (t->FieldByName("Application")->AsString() != project) continue;
        if (f(*t)) return true;
    }
    return false;
}
}  // namespace

std::int64_t ResolveJumpTarget(EditorContext& ctx, const std::string& target) {
    if (target.empty()) return -1;
    std::int64_t found = -1;
    std::string wanted = Upper(target);
    // A context string first (context strings ignore case), then a help id.
    ForProjectPages(ctx, [&](db::TDataSet& t) {
        if (Upper(t.FieldByName("ContextString")->AsString()) != wanted) return false;
        found = t.FieldByName("HelpId")->AsInteger();
        return true;
    });
    if (found >= 0 || !IsNumericTarget(target)) return found;
    std::int64_t id = std::stoll(target);
    ForProjectPages(ctx, [&](db::TDataSet& t) {
        if (t.FieldByName("HelpId")->AsInteger() != id) return false;
        found = id;
        return true;
    });
    return found;
}

bool AddJumpReference(EditorContext& ctx, const std::string& target, std::int64_t referencedBy) {
    std::int64_t id = ResolveJumpTarget(ctx, target);
    if (id < 0) return false;
    vl::TvlTable* ref = ctx.refIntegTable;
    if (!ref) return false;
    if (!ref->Active()) ref->Open();
    std::string project = ProjectName(ctx);
    for (ref->First(); !ref->Eof(); ref->Next())
        if (ref->FieldByName("Application")->AsString() == project && ref->FieldByName("HelpId")->AsInteger() == id &&
            ref->FieldByName("ReferencedBy")->AsInteger() == referencedBy)
            return false;
    ref->Append();
    ref->FieldByName("Application")->SetAsString(project);
    ref->FieldByName("HelpId")->SetAsInteger(id);
    ref->FieldByName("ReferencedBy")->SetAsInteger(referencedBy);
    ref->Post();
    return true;
}

bool MarkSelection(PageTextHost& host, TJDCustomRtfEdit& ed, HotSpotKind kind, const std::string& target) {
    if (target.empty() || ed.GetSelLength() <= 0) return false;
    TJDCharAttr saved;
    ed.GetCurrentAttr(saved);
    const int p = ed.GetSelStart();
    const int visible = ed.GetSelLength();
    // The visible text stays where it is with its own look (no trip through
    // the clipboard, whose contents belong to the user); the target follows it.
    Select(ed, p + visible, 0);
    ed.SetCPPosition(p + visible);
    ed.InputString(target);
    const int total = visible + static_cast<int>(target.size());
    const std::uint16_t hot = kind == HotSpotKind::Popup ? kMarkUnderline : kMarkJump;
    if (kind == HotSpotKind::Topic && host.ctx && host.ctx->Settings.TopicJumpBold)
        ApplyOnRange(ed, p, total, richtext::amStyleReplace, StyleTemplate(kMarkBold));
    if (kind == HotSpotKind::Popup) {
        TJDCharAttr colour;
        colour.SetTextColor(static_cast<unsigned>(ColorToColorIndex(host.ctx ? host.ctx->PopupColor : 0xC0C0C0)));
        ApplyOnRange(ed, p, total, richtext::amTextColor, colour);
    }
    ApplyOnRange(ed, p, total, richtext::amStyleOr, StyleTemplate(hot));
    ApplyOnRange(ed, p + visible, static_cast<int>(target.size()), richtext::amStyleClear, StyleTemplate(hot));
    ApplyOnRange(ed, p + visible, static_cast<int>(target.size()), richtext::amStyleOr, StyleTemplate(kMarkHidden));
    Select(ed, p + total, 0);
    ed.SetCPPosition(p + total);
    ed.Engine().currentAttr = saved;
    Touched(ed);
    return true;
}

bool MakeHotSpot(PageTextHost& host, TJDCustomRtfEdit* editor, HotSpotKind kind) {
    if (!editor || !host.ctx) return false;
    const bool macro = kind == HotSpotKind::Macro;
    const std::string what = macro ? "Macro" : "Jump";
    TJDCharAttr current;
    editor->GetCurrentAttr(current);
    if (kind == HotSpotKind::Topic && (current.style & kMarkJump)) {
        gui::MessageBox("To remove this jump simply double-clcik it and select Clear.", kJumpExistsCaption,
                        gui::MB_ICONINFORMATION);
        return false;
    }
    EditPageRow(*host.ctx, *editor);
    if (!editor->CanEdit() || !editor->HasFocus()) {
        std::string text = kind == HotSpotKind::Popup
                               ? "Please highlight the text you want to define as a Jump."
                               : "Please move to the Help Text field and highlight the text you want to define as a " +
                                     what + ".";
        gui::MessageBox(text, "", gui::MB_ICONINFORMATION | gui::MB_OK);
        return false;
    }
    std::string selected = editor->GetSelText();
    if (static_cast<int>(selected.size()) > editor->GetSelLength() && !selected.empty()) selected.pop_back();
    if (selected.empty() || editor->GetSelLength() <= 0) {
        gui::MessageBox("Please highlight the text you want to define as a " + what + ".", "", gui::MB_OK);
        return false;
    }
    if (editor->GetSelLength() > kMaxHotSpotLength) {
        gui::MessageBox("You have too much text highlighted. Please highlight a smaller block of text.", "", gui::MB_OK);
        return false;
    }
    if (!host.ui) return false;
    std::string target;
    if (macro) {
        std::string text;
        if (!host.ui->EditMacro(text) || text.empty()) return false;
        target = MacroTarget(text);
    } else {
        std::string typed, context;
        std::int64_t helpId = 0;
        if (!host.ui->ChooseJumpTarget(kind == HotSpotKind::Popup, typed, context, helpId)) return false;
        target = editor::ChooseJumpTarget(typed, context, helpId);
    }
    if (target.empty()) return false;
    if (!MarkSelection(host, *editor, kind, target)) return false;
    if (!macro) AddJumpReference(*host.ctx, target, CurrentPageHelpId(*host.ctx));
    return true;
}

namespace {
// The hidden run spelling `target` at or after `from`; its start, or -1.
int FindHiddenTarget(TJDCustomRtfEdit& ed, const std::string& target, int from) {
    std::string text = Chars(ed);
    std::vector<std::uint16_t> styles = Styles(ed);
    for (std::size_t at = text.find(target, static_cast<std::size_t>(std::max(0, from)));
         at != std::string::npos; at = text.find(target, at + 1))
        if (styles[at] & kMarkHidden) return static_cast<int>(at);
    // The click may have left the cursor after the mark: search from the start.
    for (std::size_t at = text.find(target); at != std::string::npos && static_cast<int>(at) < from;
         at = text.find(target, at + 1))
        if (styles[at] & kMarkHidden) return static_cast<int>(at);
    return -1;
}
}  // namespace

bool RemoveHotSpot(TJDCustomRtfEdit& ed, const std::string& target) {
    int at = FindHiddenTarget(ed, target, ed.GetCPPosition() - static_cast<int>(target.size()) - 1);
    if (at < 0 || !ed.CanEdit()) return false;
    std::vector<std::uint16_t> styles = Styles(ed);
    int begin = at;
    std::uint16_t bit = at > 0 && (styles[static_cast<std::size_t>(at - 1)] & kMarkJump) ? kMarkJump : kMarkUnderline;
    while (begin > 0 && !(styles[static_cast<std::size_t>(begin - 1)] & kMarkHidden) &&
           (styles[static_cast<std::size_t>(begin - 1)] & bit))
        --begin;
    // The hidden text may be protected: delete it through the engine.
    bool editHidden = ed.Engine().EditHidden;
    ed.Engine().EditHidden = true;
    Select(ed, at, static_cast<int>(target.size()));
    ed.DeleteSelectedText();
    ed.Engine().EditHidden = editHidden;
    if (at > begin) {
        TJDCharAttr colour;
        ApplyOnRange(ed, begin, at - begin, richtext::amTextColor, colour);
        ApplyOnRange(ed, begin, at - begin, richtext::amStyleClear,
                     StyleTemplate(kMarkBold | kMarkJump | kMarkUnderline | kMarkProtected | kMarkHidden));
    }
    Select(ed, at, 0);
    ed.SetCPPosition(at);
    Touched(ed);
    return true;
}

bool FollowLink(PageTextHost& host, const std::string& target) {
    EditorContext& ctx = *host.ctx;
    db::TDataSet* ds = ctx.detailTable;
    if (!ds || !ds->Active()) return false;
    if (ds->IsEditing()) ds->Post();
    std::int64_t back = CurrentPageHelpId(ctx);
    db::TBookmark mark = ds->GetBookmark();
    bool numeric = IsNumericTarget(target);
    bool found = false;
    ds->DisableControls();
    try {
        for (ds->First(); !ds->Eof(); ds->Next()) {
            if (numeric ? ds->FieldByName("HelpId")->AsInteger() == std::stoll(target)
                        : ds->FieldByName("ContextString")->AsString() == target) {
                found = true;
                break;
            }
        }
        if (!found && !mark.empty()) ds->GotoBookmark(mark);
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    if (!found) {
        host.DoBeep();
        ShowWarning("Warning", kLinkGone);
        return false;
    }
    if (host.ui && host.ui->AskGoBack()) {
        for (ds->First(); !ds->Eof(); ds->Next())
            if (ds->FieldByName("HelpId")->AsInteger() == back) break;
    }
    return true;
}

void HotSpotClicked(PageTextHost& host, TJDCustomRtfEdit* editor, const std::string& text,
                    const std::string& target) {
    (void)text;
    if (target.empty() || !editor || !host.ctx || !host.ui) return;
    EditPageRow(*host.ctx, *editor);
    if (target[0] == '!') {
        std::string macro = target;
        if (!host.ui->EditMacro(macro)) return;
        if (macro.empty()) {
            RemoveHotSpot(*editor, target);
            return;
        }
        std::string replacement = MacroTarget(macro);
        if (replacement == target) return;
        int cursor = editor->GetCPPosition();
        int at = FindHiddenTarget(*editor, target, cursor - static_cast<int>(target.size()) - 1);
        if (at < 0 || !editor->CanEdit()) return;
        bool editHidden = editor->Engine().EditHidden;
        editor->Engine().EditHidden = true;
        Select(*editor, at, static_cast<int>(target.size()));
        editor->DeleteSelectedText();
        Select(*editor, at, 0);
        editor->SetCPPosition(at);
        editor->InputString(replacement);
        editor->Engine().EditHidden = editHidden;
        int n = static_cast<int>(replacement.size());
        ApplyOnRange(*editor, at, n, richtext::amStyleClear, StyleTemplate(kMarkJump));
        ApplyOnRange(*editor, at, n, richtext::amStyleOr, StyleTemplate(kMarkHidden));
        Select(*editor, cursor, 0);
        editor->SetCPPosition(std::min(cursor, static_cast<int>(Styles(*editor).size())));
        Touched(*editor);
        return;
    }
    switch (host.ui->ChangeJump(target)) {
    case JumpChange::Follow:
        FollowLink(host, target);
        break;
    case JumpChange::Clear:
        RemoveHotSpot(*editor, target);
        break;
    default:
        break;
    }
}

// --- pictures, lists and tables -----------------------------------------------------------

bool InsertPictureChoice(TJDCustomRtfEdit& ed, const PictureChoice& c) {
    std::string reference =
        PictureReference(c.kind, c.transparent, c.directory, c.fileName, ed.HTMLFilePath());
    std::string file = c.fileName;
    if (HasExtension(file, ".SHG")) {
        std::string twin = FindShgTwin(c.directory, file);
        if (twin.empty()) {
            // The help compiler reads the hypergraphic itself: its full path as text.
            std::string dir = c.directory;
            std::replace(dir.begin(), dir.end(), '/', '\\');
            while (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
            if (!ed.CanEdit()) return false;
            ed.InputString("{" + std::string(PictureKindCode(c.kind)) + (c.transparent ? "t " : " ") + dir + "\\" +
                           file + "}");
            Touched(ed);
            return true;
        }
        file = plat::ExtractFileName(twin);
    }
    std::unique_ptr<gui::TGraphic> graphic;
    try {
        std::string path = plat::JoinPath(c.directory, file);
        if (HasExtension(file, ".WMF")) graphic = std::make_unique<gui::TMetafile>();
        else graphic = std::make_unique<gui::TBitmap>();
        graphic->LoadFromFile(path);
    } catch (const std::exception&) {
        graphic.reset();
    }
    if (!graphic || graphic->Empty()) {
        ShowWarning("Warning", "The picture \"" + c.fileName + "\" could not be loaded.");
        return false;
    }
    std::uint16_t tag = ed.InsertObject(*graphic, reference, 0, 0, false);
    if (!tag) {
        ShowWarning("Warning", "The picture \"" + c.fileName + "\" could not be loaded.");
        return false;
    }
    // The reference travels with the picture into the stored text.
    if (richtext::TJDObjectRecord* rec = ed.Engine().ObjectForCharTag(tag)) rec->referenceText = reference;
    Touched(ed);
    return true;
}

bool InsertGraphicCommand(PageTextHost& host, TJDCustomRtfEdit* editor) {
    if (!editor || !host.ui || !host.ctx) return false;
    std::string graphicsDir;
    if (host.ctx->mainTable && host.ctx->mainTable->Active() && !host.ctx->mainTable->IsEmpty())
        if (db::TField* f = host.ctx->mainTable->FindField("GraphicsDir")) graphicsDir = f->AsString();
    PictureChoice choice;
    if (!host.ui->ChoosePicture(GraphicsStartDirectory(graphicsDir, host.ctx->ProgramDir), choice)) return false;
    return InsertPictureChoice(*editor, choice);
}

bool FindPictureAtCursor(TJDCustomRtfEdit& ed, int& pos, std::string& reference) {
    std::uint16_t tag = 0;
    std::shared_ptr<plat::TGraphic> obj;
    pos = std::max(0, ed.GetCPPosition() - 1);
    if (!ed.FindNextObject(tag, pos, obj)) return false;
    reference.clear();
    if (richtext::TJDObjectRecord* rec = ed.Engine().ObjectForCharTag(tag))
        reference = !rec->referenceText.empty() ? rec->referenceText : rec->fileName;
    return true;
}

void ShowGraphicFilename(PageTextHost& host, TJDCustomRtfEdit* editor) {
    if (!editor || !host.ui) return;
    int pos = 0;
    std::string reference;
    if (!FindPictureAtCursor(*editor, pos, reference)) return;
    PictureReferenceParts parts = ParsePictureReference(reference);
    std::size_t blank = reference.find(' ');
    std::string alignment = blank == std::string::npos ? reference : reference.substr(0, blank);
    std::string rest = blank == std::string::npos ? std::string() : reference.substr(blank + 1);
    int result = host.ui->ShowPictureReference(alignment, rest);
    if (result == 4) {
        Select(*editor, pos, 1);
        editor->DeleteSelectedText();
        Touched(*editor);
    } else if (result == 5) {
        PictureChoice choice;
        choice.kind = parts.kind;
        choice.transparent = parts.transparent;
        choice.fileName = parts.fileName;
        choice.directory = parts.directory;
        if (!choice.directory.empty() && !plat::IsAbsolutePath(choice.directory) && !editor->HTMLFilePath().empty())
            choice.directory = editor->HTMLFilePath() + "\\" + choice.directory;
        if (!host.ui->ChoosePicture(choice.directory, choice)) return;
        Select(*editor, pos, 1);
        editor->DeleteSelectedText();
        InsertPictureChoice(*editor, choice);
    }
}

bool BulletsCommand(PageTextHost& host, TJDCustomRtfEdit* editor) {
    if (!editor || !host.ui) return false;
    if (editor->GetSelLength() <= 0) {
        gui::MessageBox("Please highlight the section to format.", "Nothing Selected", gui::MB_OK);
        return false;
    }
    int choice = 0;
    if (!host.ui->ChooseList(choice)) return false;
    if (!editor->CanEdit()) return false;
    editor->SetParagraphNumbering(ListCodeForChoice(choice), 1);
    Touched(*editor);
    if (choice == 0 && std::none_of(host.ProjectFonts.begin(), host.ProjectFonts.end(),
                                    [](const std::string& f) { return Upper(f) == "SYMBOL"; }))
        gui::MessageBox("Bullets use the \"Symbol\" Font. This is not currently in your Project Font Registry. Please "
                        "add it from the Tools | Project Font Registry menu.",
                        "Font Warning", gui::MB_OK);
    return true;
}

bool CreateTableCommand(PageTextHost& host, TJDCustomRtfEdit* editor) {
    if (!editor || !host.ui) return false;
    int rows = 0, cols = 0;
    bool borders = true;
    if (!host.ui->ChooseTable(rows, cols, borders) || rows <= 0 || cols <= 0) return false;
    if (!editor->CanEdit()) return false;
    editor->InsertTable(rows, cols, borders, 0);
    Touched(*editor);
    return true;
}

// --- printing -------------------------------------------------------------------------------

void DrawPageFooter(gui::TCanvas& canvas, int x, int y, int w, int h, int page, const std::string& helpTitle) {
    (void)h;
    canvas.Font().SetName("Arial");
    canvas.Font().SetSize(12);
    canvas.Pen().SetColor(gui::clBlack);
    canvas.MoveTo(x, y);
    canvas.LineTo(x + w, y);
    int half = canvas.TextHeight("A") / 2;
    canvas.TextOut(x, y + half, " " + std::to_string(page) + " - " + helpTitle);
}

void FillPageList(EditorContext& ctx, TJDCustomRtfEdit& printer, bool wide) {
    printer.ClearText();
    printer.SetCPPosition(0);
    std::string text = PageListHeading(wide) + "\r" + PageListRule(wide) + "\r";
    db::TDataSet* t = ctx.CdetailTable;
    if (t && !t->Active()) t->Open();
    if (t) {
        for (t->First(); !t->Eof(); t->Next())
            text += PageListLine(wide, t->FieldByName("HelpId")->AsInteger(), t->FieldByName("TopicPopup")->AsString(),
                                 t->FieldByName("Title")->AsString(), t->FieldByName("ContextString")->AsString()) +
                    "\r";
    }
    printer.InputString(text);
    printer.SelectAll();
    TJDCharAttr a;
    printer.GetCurrentAttr(a);
    a.font = static_cast<std::uint8_t>(printer.RegisterFontName("Courier New"));
    a.size = static_cast<std::uint8_t>(wide ? 6 : 10);
    printer.SetCurrentAttr(a);
    Select(printer, 0, 0);
}

void PrintPageList(EditorContext& ctx, TJDCustomRtfEdit& printer, bool wide,
                   const std::function<void(const std::string&)>& wait) {
    if (wait) wait("Printing...");
    auto old = printer.PrintFooter;
    // The wait window goes and the printer gets its own footer back however printing ends.
    auto done = [&] {
        printer.PrintFooter = old;
        if (wait) wait("");
    };
    try {
        FillPageList(ctx, printer, wide);
        std::string title;
        if (ctx.mainTable && ctx.mainTable->Active() && !ctx.mainTable->IsEmpty())
            if (db::TField* f = ctx.mainTable->FindField("HelpTitle")) title = f->AsString();
        printer.PrintFooter = [title](void*, gui::TCanvas& c, int x, int y, int w, int h, int page, int) {
            DrawPageFooter(c, x, y, w, h, page, title);
        };
        printer.Print();
    } catch (...) {
        done();
        throw;
    }
    done();
}

void PrintThisPage(TJDCustomRtfEdit& page, TJDCustomRtfEdit& printer, const std::string& title) {
    printer.AssignText(&page);
    // The job (and the PDF made when no printer is installed) is named after the page.
    gui::TPrinter* pr = gui::Printer();
    struct Restore {
        gui::TPrinter* pr;
        std::string saved;
        ~Restore() { pr->Title = saved; }
    } restore{pr, pr->Title};
    if (!title.empty()) pr->Title = title;
    printer.Print();
}

// --- spelling ---------------------------------------------------------------------------------

void DialogSpeller::Open() { dlg_.OpenSpellDialog(); }
int DialogSpeller::Check(TJDCustomRtfEdit& editor) { return dlg_.SpellCheck(&editor); }
void DialogSpeller::Close() { dlg_.CloseSpellCheck(); }

bool SpellPage(PageTextHost& host, PageSpeller& speller, TJDCustomRtfEdit* editor, SpellScope scope) {
    if (!editor) {
        host.DoBeep();
        host.Status(kSpellMoveToText);
        return false;
    }
    // The check fetches the first word itself: none is taken before it runs.
    if (scope == SpellScope::FromCursor) editor->WordScanFromCursor();
    else editor->ResetWordScan();
    speller.Open();
    int result = 0;
    try {
        result = speller.Check(*editor);
    } catch (...) {
        speller.Close();
        throw;
    }
    speller.Close();
    if (result == 2) return false;
    host.DoBeep();
    host.Status(kSpellComplete);
    return true;
}

bool SpellAllPages(PageTextHost& host, PageSpeller& speller, TJDCustomRtfEdit* editor, bool fromCurrent) {
    if (!editor || !host.ctx || !host.ctx->detailTable) {
        host.DoBeep();
        host.Status(kSpellMoveToText);
        return false;
    }
    db::TDataSet* pages = host.ctx->detailTable;
    editor->SetFocus();
    speller.Open();
    bool complete = true;
    try {
        if (!fromCurrent) pages->First();
        while (!pages->Eof() && !pages->IsEmpty()) {
            editor->ResetWordScan();
            if (speller.Check(*editor) == 2) {
                complete = false;
                break;
            }
            if (pages->IsEditing()) pages->Post();
            pages->Next();
        }
    } catch (...) {
        speller.Close();
        throw;
    }
    speller.Close();
    if (!complete) return false;
    host.DoBeep();
    host.Status(kSpellComplete);
    return true;
}

}  // namespace editor
