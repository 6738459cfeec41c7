// The main window's build and outside-program speed buttons, the menu items
// that click them, and the hidden page editors on the second page cursor.
#include "editor/forms/main_form.h"

#include "editor/commands/tool_commands.h"
#include "editor/forms/tool_forms.h"
#include "richtext/controls/db_rich_text.h"

#include <tuple>
#include <utility>

namespace editor {

void TForm1::BuildCompileButtons() {
    auto button = [this](const std::string& name, const std::string& caption, int x, const std::string& hint) {
        auto* b = new gui::TButton(this);
        b->SetName(name);
        b->SetParent(pnlTools);
        b->SetBounds(x, 2, 80, 24);
        b->SetCaption(caption);
        if (!hint.empty()) b->SetHint(hint);
        return b;
    };
    auto status = [this](const std::string& text) { StatusPanel->SetCaption(text); };
    sbtnCompile = button("sbtnCompile", "Compile", 256, "Compile|Compiles your current Help Project into a .HLP file");
    sbtnPartCompile = button("sbtnPartCompile", "Partial", 340, "");
    sbtnErrorLog = button("sbtnErrorLog", "Error Log", 424, "");
    sbtnShed = button("sbtnShed", "Shed", 508, "");
    sbtnPaint = button("sbtnPaint", "Paint", 592, "");
    sbtnWord = button("sbtnWord", "Word", 676, "");
    sbtnCopyTo = button("sbtnCopyTo", "Copy To", 676, "");
    sbtnWord->SetVisible(false);
    sbtnCopyTo->SetVisible(false);

    sbtnCompile->OnClick = [this](gui::TObject*) { sbtnCompileClick(true); };
    sbtnPartCompile->OnClick = [this](gui::TObject*) { sbtnPartCompileClick(); };
    sbtnErrorLog->OnClick = [this](gui::TObject*) { ShowErrorLog(*ctx); };
    sbtnShed->OnClick = [this](gui::TObject*) { StartShed(*ctx); };
    sbtnPaint->OnClick = [this](gui::TObject*) { StartPaintPackage(*ctx); };
    sbtnWord->OnClick = [this](gui::TObject*) { StartWordProcessor(*ctx); };
    sbtnCopyTo->OnClick = [this, status](gui::TObject*) { CopyHelpFileTo(*ctx, MakeToolUi(*ctx, status)); };
    // The menu items are the buttons' second way in.
    const std::pair<gui::TMenuItem*, gui::TButton*> clicks[] = {
        {miCompile, sbtnCompile}, {miRecompile, sbtnPartCompile}, {miErrorLog, sbtnErrorLog},
        {miShed, sbtnShed},       {miPaint, sbtnPaint},           {miWord, sbtnWord},
        {miCopyTo, sbtnCopyTo},
    };
    for (const auto& [item, b] : clicks) item->OnClick = [b = b](gui::TObject*) { b->Click(); };

    for (auto [editor, name, field] : {std::tuple{&jdCFullTitle, "jdCFullTitle", "FullTitle"},
                                       std::tuple{&jdCHelpText, "jdCHelpText", "HelpText"}}) {
        auto* e = new richtext::TDBJDRichText(this);
        e->SetName(name);
        e->SetParent(this);
        e->SetVisible(false);
        e->SetDataSource(ctx->CdetailSource);
        e->SetDataField(field);
        *editor = e;
    }
}

}  // namespace editor
