#include "data/vl_helpers.h"

#include "data/vl_lookup.h"
#include "engine/api/dbi_api.h"
#include "data/engine_driver.h"
#include "platform/core/dialog_service.h"
#include "platform/win/message_queue.h"

#include <cctype>


namespace vl {

namespace {
// The Win32 values the message queue carries for a key press.
constexpr unsigned kWmKeyDown = 0x0100;
constexpr plat::WPARAM kVkEscape = 0x1B;
}  // namespace

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
    if (!plat::PeekMessage(msg, 0, kWmKeyDown, kWmKeyDown, plat::PM_NOREMOVE)) return false;
    if (msg.wParam != kVkEscape) return false;
    plat::PeekMessage(msg, msg.hwnd, kWmKeyDown, kWmKeyDown, plat::PM_REMOVE);
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

std::string LinesToPChar(const plat::StringList& lines, const std::string& separator) {
    std::string out;
    for (int i = 0; i < lines.Count(); ++i) {
        if (i > 0) out += separator;
        out += lines[i];
    }
    return out;
}

}  // namespace vl
