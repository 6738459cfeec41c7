#include "controls/data/vl_helpers.h"

#include "platform/gui/gui_types.h"
#include "platform/win/message_queue.h"

#include <vector>

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
    // Key input waits in the queue without being dispatched; look through it
    // for an Escape press and put everything else back in its order.
    std::vector<plat::MSG> others;
    bool escape = false;
    plat::MSG msg;
    while (plat::PeekMessage(msg, 0, gui::WM_KEYFIRST, gui::WM_KEYLAST, plat::PM_REMOVE)) {
        if (!escape && msg.message == gui::WM_KEYDOWN && msg.wParam == gui::VK_ESCAPE) escape = true;
        else others.push_back(msg);
    }
    for (const plat::MSG& m : others) {
        if (m.hwnd) plat::PostMessage(m.hwnd, m.message, m.wParam, m.lParam);
        else plat::PostThreadMessage(m.message, m.wParam, m.lParam);
    }
    if (escape) SetFilterEnabled(dataSet, false);
    return escape;
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
