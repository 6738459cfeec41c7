#include "data/vl_query.h"

#include "data/vl_helpers.h"
#include "platform/core/codepage.h"
#include "platform/core/dialog_service.h"

namespace vl {

namespace {

void Warn(const std::string& text) { gui::MessageDlg(text, gui::mtWarning, gui::Buttons({gui::mbOK})); }

const char kLiveQueryWarning[] =
    "Local filtering is not supported on a Live-Query which contains a Where clause in the SQL string. "
    "To perform a local filter on this query, you will need to set its RequestLive property to False.";

bool IsTildeNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '#';
}

constexpr std::size_t kMaxTildeValue = 255;

}  // namespace

// The record callback reads members of these objects: close while they live.
TvlQuery::~TvlQuery() { if (Active()) Close(); }
TvlStoredProc::~TvlStoredProc() { if (Active()) Close(); }
TvlQBE::~TvlQBE() { if (Active()) Close(); }

void TvlQuery::FilterRefused() { Warn(kLiveQueryWarning); }
void TvlStoredProc::FilterRefused() { Warn(kLiveQueryWarning); }
void TvlQBE::FilterRefused() { Warn("Local Filtering is not supported on this QBE."); }

void TvlQBE::SetQBE(const plat::StringList& lines) {
    qbe_.Assign(lines);
    if (Active()) {
        Close();
        Open();
    }
}

void TvlQBE::SetTildeVariable(const std::string& name, const std::string& value) {
    tildes_[plat::AnsiUpperCase(name)] = value.substr(0, kMaxTildeValue);
}

std::string TvlQBE::QueryText() const {
    plat::StringList lines;
    for (int i = 0; i < qbe_.Count(); ++i) {
        const std::string& line = qbe_[i];
        if (line.find('~') == std::string::npos) {
            lines.Add(line);
            continue;
        }
        std::string out;
        for (std::size_t p = 0; p < line.size();) {
            if (line[p] != '~') {
                out += line[p++];
                continue;
            }
            std::size_t end = p + 1;
            while (end < line.size() && IsTildeNameChar(line[end])) ++end;
            auto it = tildes_.find(plat::AnsiUpperCase(line.substr(p + 1, end - p - 1)));
            out += it != tildes_.end() ? it->second : line.substr(p, end - p);
            p = end;
        }
        lines.Add(out);
    }
    return LinesToPChar(lines, "\r\n");
}

std::unique_ptr<db::TDataCursor> TvlQBE::CreateCursor() {
    noResult_ = false;
    if (qbe_.Count() == 0 || qbe_[0].empty()) db::DatabaseError(Name() + ": No query-by-example text to run");
    // This engine runs no statements: the driver shows its not-supported box
    // and raises the engine's error.
    std::unique_ptr<db::TDataCursor> cursor =
        DBSession().Driver().OpenQuery(DBSession().ResolveDirectory(DatabaseName), 1, QueryText());
    // No answer: the dataset stays closed.
    if (!cursor) noResult_ = true;
    return cursor;
}

}  // namespace vl
