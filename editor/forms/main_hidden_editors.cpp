// The main window's hidden page editors on the second page cursor. A full
// build takes them off their fields while it walks that cursor, so they do
// not load every page it passes, and puts them back after (MakeCompileHooks).
#include "editor/forms/main_form.h"

#include "controls/richdb/db_rich_text.h"

#include <tuple>

namespace editor {

void TForm1::BuildHiddenPageEditors() {
    for (auto [editor, name, field] : {std::tuple{&jdCFullTitle, "jdCFullTitle", "FullTitle"},
                                       std::tuple{&jdCHelpText, "jdCHelpText", "HelpText"}}) {
        auto* e = new richtext::TDBJDRichText(this);
        e->SetName(name);
        e->SetParent(this);
        e->SetVisible(false);
        // Walks over the second cursor (partial builds, font passes) must not
        // read two memos per row for editors nobody sees; a user of the text
        // loads it with LoadMemo.
        e->SetAutoDisplay(false);
        e->SetDataSource(ctx->CdetailSource);
        e->SetDataField(field);
        *editor = e;
    }
}

}  // namespace editor
