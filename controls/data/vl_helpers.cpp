#include "controls/data/vl_helpers.h"

#include "controls/data/vl_lookup.h"
#include "engine/api/dbi_api.h"
#include "data/engine_driver.h"
#include "platform/gui/control_widget.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_types.h"
#include "platform/win/message_queue.h"

#include <cctype>


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

// The lower-case drive letter of "X:..." names; 0 for others.
char DriveLetterOf(const std::string& name) {
    if (name.size() < 2 || name[1] != ':' || !std::isalpha(static_cast<unsigned char>(name[0]))) return 0;
    return static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
}

bool CreateAnswerTable(db::TDataSet* query, std::uint32_t databaseHandle, const std::string& answerName) {
    if (answerName.empty() || !query) return false;
    std::string name = answerName;
    try {
        if (name.size() > 1 && name[0] == ':') {
            const std::size_t end = name.find(':', 1);
            const std::string alias = name.substr(1, end == std::string::npos ? std::string::npos : end - 1);
            const std::string table = end == std::string::npos ? std::string() : name.substr(end + 1);
            std::string path = GetAliasPath(alias);
            if (path.empty()) {
                gui::MessageDlg("Invalid Alias in QBE", gui::mtError, gui::Buttons({gui::mbOK}));
                return false;
            }
            if (path.back() != '/' && path.back() != '\\' && (table.empty() || (table[0] != '/' && table[0] != '\\')))
                path += '/';
            name = path + table;
        }
        auto engineError = [&](qv::DBIResult rc) {
            char text[512] = {};
            qv::DbiGetErrorString(rc, text);
            gui::MessageDlg(std::string(text) + " (" + name + ")", gui::mtError, gui::Buttons({gui::mbOK}));
            return false;
        };
        const char drive = DriveLetterOf(name);
        if (drive != 0 && drive != DriveLetterOf(db::Session().PrivateDir)) {
            // An answer on another drive cannot be renamed into place: its
            // records are copied into a new table there. The copy is asked
            // for before a table of that name is deleted, so an old answer
            // is not lost when the engine cannot copy (this one has no batch
            // move and says so).
            qv::DbiSetToBegin(query->Handle());
            if (const qv::DBIResult rc = qv::DbiBatchMove(); rc != 0) return engineError(rc);
            const qv::DBIResult gone = qv::DbiDeleteTable(databaseHandle, name.c_str(), "PARADOX");
            if (gone != 0 && gone != qv::kDbiErrNoSuchTable) return engineError(gone);
            return true;
        }
        if (const qv::DBIResult rc = qv::DbiMakePermanent(query->Handle(), name.c_str(), true); rc != 0)
            return engineError(rc);
        return qv::DbiSaveChanges(query->Handle()) == 0;
    } catch (const std::exception&) {
        gui::MessageDlg("Unable to create answer table " + name, gui::mtWarning, gui::Buttons({gui::mbOK}));
        return false;
    }
}

int CompareBookmarksOf(db::TDataSet* dataSet, const std::string& bookmark1, const std::string& bookmark2) {
    if (!dataSet || dataSet->Handle() == 0) return 0;
    std::int16_t result = 0;
    db::Check(qv::DbiCompareBookMarks(dataSet->Handle(), bookmark1.data(), bookmark2.data(), result));
    return result;
}

bool ClassChainHasName(const plat::TObject* object, const std::string& name) {
    return object && object->InheritsFrom(name);
}

void PostKeyStroke(plat::HWND window, unsigned key, unsigned shiftKey) {
    gui::InputState& state = gui::CurrentInputState();
    const gui::InputState saved = state;
    Qt::KeyboardModifiers held = Qt::NoModifier;
    if (shiftKey == gui::VK_SHIFT) held = Qt::ShiftModifier;
    else if (shiftKey == gui::VK_CONTROL) held = Qt::ControlModifier;
    else if (shiftKey == gui::VK_MENU) held = Qt::AltModifier;
    state.modifiers |= held;
    // The key data carries Alt itself: the state is restored before the
    // window reads the keys.
    plat::LPARAM data = 1;
    if (held == Qt::AltModifier) data |= plat::LPARAM(1) << 29;
    plat::PostMessage(window, gui::WM_KEYDOWN, key, data);
    plat::PostMessage(window, gui::WM_KEYUP, key, data | (plat::LPARAM(3) << 30));
    state = saved;
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
