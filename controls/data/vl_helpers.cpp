#include "controls/data/vl_helpers.h"

#include "platform/gui/gui_types.h"
#include "platform/win/message_queue.h"


namespace vl {

bool IsVlDataSet(db::TDataSet* dataSet) { return AsVlDataSet(dataSet) != nullptr; }

TvlOnFilterOptions GetFilterOptions(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl ? vl->OnFilterOptions() : 0;
}

void SetFilterEnabled(db::TDataSet* dataSet, bool enabled) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    if (!vl) return;
    TvlOnFilterOptions o = vl->OnFilterOptions();
    vl->SetOnFilterOptions(enabled ? (o | ofoEnabled) : (o & ~ofoEnabled));
}

bool CheckFilterEscape(db::TDataSet* dataSet) {
    // A poll for keyboard messages has the GUI queue its pending key input
    // without dispatching it. Only an Escape press that is the first key
    // press waiting is taken: any other key stays where it is, with the
    // characters it will type.
    plat::MSG msg;
    if (!plat::PeekMessage(msg, 0, gui::WM_KEYDOWN, gui::WM_KEYDOWN, plat::PM_NOREMOVE)) return false;
    if (msg.wParam != gui::VK_ESCAPE) return false;
    plat::PeekMessage(msg, msg.hwnd, gui::WM_KEYDOWN, gui::WM_KEYDOWN, plat::PM_REMOVE);
    SetFilterEnabled(dataSet, false);
    return true;
}

std::string LinesToPChar(const plat::StringList& lines, const std::string& separator) {
    std::string out;
    for (int i = 0; i < lines.Count(); ++i) {
        if (i > 0) out += separator;
        out += lines[i];
    }
    return out;
}

}  // namespace vl
