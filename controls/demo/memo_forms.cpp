// Demo form of the memo dialog: the window a memo cell opens, with text,
// OK and Cancel, and one user button.

#include "controls/data/vl_memo_dialog.h"
#include "controls/demo/demo_forms.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <cstdio>

namespace {

using namespace gui;

int MemoForm(const std::string& out) {
    InitApplication();
    vl::TvlMemoDialog dialog(nullptr);
    dialog.Caption = "Body";
    dialog.UserButton1Caption = "&Spelling";
    bool saved = false;
    dialog.OnInitDialog = [&](plat::TObject*, vl::TvlMemoDlg* d) {
        d->Memo->SetText(
            "The page's text as the grid's memo cell holds it.\r\n\r\nCtrl+Enter or F2 closes with OK; Escape "
            "asks before it drops a change.");
        auto* t = new TTimer(d);
        t->SetInterval(200);
        t->OnTimer = [&saved, t, d, out](plat::TObject*) {
            t->SetEnabled(false);
            saved = guitest::SaveGrab(d, out + "/memo.png");
            d->SetModalResult(mrCancel);
        };
    };
    dialog.Execute();
    if (!saved) std::fprintf(stderr, "memo: could not write %s/memo.png\n", out.c_str());
    return saved ? 0 : 1;
}

const demo::DemoRegistration kMemo{{"memo", "the memo dialog", MemoForm}};

}  // namespace
