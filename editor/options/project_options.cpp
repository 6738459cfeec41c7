#include "editor/options/project_options.h"

#include "project/helpers.h"
#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "data/fields.h"

namespace editor {

namespace {

const char* Prefix(OptionGroup g) {
    switch (g) {
    case OptionGroup::TopicTitle: return "Title";
    case OptionGroup::PopupTitle: return "Popup";
    case OptionGroup::HelpText: return "DefaultText";
    }
    return "Title";
}

// False when there is no project row: the options belong to a project, and
// an edit of the empty table would insert a blank one.
bool BeginEdit(EditorContext& ctx) {
    db::TDataSet* m = ctx.mainTable;
    if (m->IsEditing()) return true;
    if (!m->Active() || m->IsEmpty()) return false;
    m->Edit();
    return true;
}

void PostRow(EditorContext& ctx) {
    db::TDataSet* m = ctx.mainTable;
    if (db::TField* f = m->FindField("LastModified")) f->SetAsDateTime(plat::Now());
    m->Post();
}

}  // namespace

std::string OptionGroupCaption(OptionGroup g) {
    switch (g) {
    case OptionGroup::TopicTitle: return "Topic Title Defaults";
    case OptionGroup::PopupTitle: return "Popup Title Defaults";
    case OptionGroup::HelpText: return "Help Text Defaults";
    }
    return {};
}

GroupValues LoadGroup(EditorContext& ctx, OptionGroup g) {
    const std::string p = Prefix(g);
    db::TDataSet* m = ctx.mainTable;
    GroupValues v;
    const std::string font = m->FieldStr(p + "Font");
    if (!font.empty()) v.font = font;
    const std::string size = m->FieldStr(p + "Size");
    if (!size.empty()) v.size = size;
    v.colourName = TextColourNameOfNumber(m->FieldInt(p + "Color"));
    ParseStyleText(m->FieldStr(p + "Style"), v.bold, v.italic);
    return v;
}

long NonscrollColourOf(EditorContext& ctx) { return ctx.mainTable->FieldInt("NonscrollColor", 0xC0C0C0); }
long ScrollColourOf(EditorContext& ctx) { return ctx.mainTable->FieldInt("ScrollColor", 0xFFFFFF); }

void StoreGroup(EditorContext& ctx, OptionGroup g, const GroupValues& v, long nonscrollColour, long scrollColour) {
    const std::string p = Prefix(g);
    db::TDataSet* m = ctx.mainTable;
    if (!BeginEdit(ctx)) return;
    m->FieldByName(p + "Font")->SetAsString(v.font);
    try {
        m->FieldByName(p + "Size")->SetAsString(v.size);
    } catch (const std::exception&) {
        // A size that is not a number keeps the stored one.
    }
    const int colour = ColourNumberOfName(v.colourName);
    m->FieldByName(p + "Color")->SetAsInteger(colour < 0 ? 0 : colour);
    m->FieldByName(p + "Style")->SetAsString(StyleText(v.bold, v.italic));
    m->FieldByName("NonscrollColor")->SetAsInteger(nonscrollColour);
    m->FieldByName("ScrollColor")->SetAsInteger(scrollColour);
    PostRow(ctx);
}

void StoreProjectField(EditorContext& ctx, const std::string& field, const std::string& value) {
    if (!BeginEdit(ctx)) return;
    ctx.mainTable->FieldByName(field)->SetAsString(value);
    PostRow(ctx);
}

bool ChooseProjectFolder(EditorContext& ctx, const std::string& field, const FolderChooser& choose) {
    const std::string stored = ctx.mainTable->FieldStr(field);
    const std::string folder = StoredFolderPath(stored, ctx.ProgramDir);
    const bool exists = !folder.empty() && plat::DirectoryExists(folder);
    if (!exists) ShowWarning("Warning", folder + " This directory does not exist. Please pick another.");
    const std::string caption = field == "ProjectDir" ? "Project dir" : "Graphics dir";
    std::string chosen;
    if (!choose || !choose(caption, exists ? folder : ctx.ProgramDir, chosen) || chosen.empty()) return false;
    StoreProjectField(ctx, field, chosen);
    return true;
}

WindowUnitsRect LoadWindowUnits(EditorContext& ctx, bool secondary) {
    const std::string p = secondary ? "G" : "W";
    db::TDataSet* m = ctx.mainTable;
    return {m->FieldInt(p + "x"), m->FieldInt(p + "y"), m->FieldInt(p + "w"), m->FieldInt(p + "h")};
}

void StoreWindowUnits(EditorContext& ctx, bool secondary, const WindowUnitsRect& u) {
    const std::string p = secondary ? "G" : "W";
    db::TDataSet* m = ctx.mainTable;
    if (!BeginEdit(ctx)) return;
    m->FieldByName(p + "x")->SetAsInteger(u.x);
    m->FieldByName(p + "y")->SetAsInteger(u.y);
    m->FieldByName(p + "w")->SetAsInteger(u.w);
    m->FieldByName(p + "h")->SetAsInteger(u.h);
    PostRow(ctx);
}

}  // namespace editor
