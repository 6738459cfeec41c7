#include "data/vl_lookup.h"

#include "data/text_utils.h"
#include "data/vl_lines.h"
#include "data/vl_locate.h"
#include "data/fields.h"
#include "data/tables.h"

namespace vl {

IvlDataSet::IvlDataSet() = default;
IvlDataSet::~IvlDataSet() = default;
void IvlDataSet::ClearLookupTables() { lookupTables_.clear(); }

namespace {

std::string TableNameOf(const std::vector<std::string>& pieces) {
    const bool dropExtension = pieces.size() >= 6 && pieces.back() == "N";
    if (!dropExtension) return pieces[2];
    return pieces[2].substr(0, pieces[2].find('.'));
}

// The key fields of a line of six or more pieces: pieces 6 to n-1 (a line
// of exactly six has piece 6 serve as both list and flag).
std::string KeyFieldsOf(const std::vector<std::string>& pieces) {
    if (pieces.size() == 6) return pieces[5];
    std::string out;
    for (std::size_t k = 5; k + 1 < pieces.size(); ++k) {
        if (!out.empty()) out += ';';
        out += pieces[k];
    }
    return out;
}

TvlLookupTable* FindTable(TvlLookupTableList& list, const std::string& database, const std::string& table,
                          const std::string& links) {
    for (auto& e : list)
        if (e->table->DatabaseName == database && e->table->TableName == table && SameTextUpper(e->links, links))
            return e.get();
    return nullptr;
}

void HideAndBlank(db::TField* field) {
    if (!field) return;
    field->Visible = false;
    field->Clear();
}

}  // namespace

int& LookupFetchCount() {
    static int count = 0;
    return count;
}

TvlLookupTableList* GetLookupTableList(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl ? &vl->LookupTables() : nullptr;
}

bool FetchLookupValues(TvlTable* lookupTable, db::TDataSet* dataSet, const std::vector<std::string>& links) {
    if (!lookupTable || !dataSet || links.size() < 2) return false;
    ++LookupFetchCount();
    if (lookupTable->IndexFieldCount() == 0) {
        db::TField* own = dataSet->FindField(links[0]);
        if (!own) return false;
        return LocateIfDifferent(lookupTable, own->AsString(), links[1], mtExactMatch, false);
    }
    const std::size_t n = links.size();
    if (n % 2 != 0 || n > 12) return false;
    std::vector<db::TValue> values;
    for (std::size_t k = 0; k < n; k += 2) {
        db::TField* own = dataSet->FindField(links[k]);
        if (!own) return false;
        values.emplace_back(own->AsString());
    }
    return lookupTable->FindKey(values);
}

void CalcLookupFields(db::TDataSet* dataSet, const plat::StringList& lookupFields, const plat::StringList& lookupLinks,
                      TvlLookupTableList& tables) {
    for (auto& e : tables) e->usedForRecord = false;
    for (int i = 0; i < lookupFields.Count(); ++i) {
        const std::vector<std::string> pieces = SplitLine(lookupFields[i], ';');
        if (pieces.size() < 5) continue;
        db::TField* field = dataSet->FindField(pieces[0]);
        const std::string links = i < lookupLinks.Count() ? lookupLinks[i] : std::string();
        const std::string tableName = TableNameOf(pieces);

        TvlLookupTable* entry = FindTable(tables, pieces[1], tableName, links);
        try {
            if (!entry) {
                auto e = std::make_unique<TvlLookupTable>();
                e->table = std::make_unique<TvlTable>(nullptr);
                e->table->DatabaseName = pieces[1];
                e->table->SetTableName(tableName);
                if (pieces.size() == 5)
                    e->table->SetIndexName(pieces[4]);
                else
                    e->table->SetIndexFieldNames(KeyFieldsOf(pieces));
                e->table->ReadOnly = true;
                e->links = links;
                entry = e.get();
                tables.push_back(std::move(e));
            }
            if (!entry->table->Active()) entry->table->Open();
        } catch (const std::exception&) {
            // A table that cannot open leaves only its own field empty.
            HideAndBlank(field);
            continue;
        }

        // A link naming a field the dataset lacks spoils only this line.
        const std::vector<std::string> pairs = SplitLine(links, ';');
        bool linksOk = true;
        for (std::size_t k = 0; k < pairs.size(); k += 2)
            if (!FieldExists(dataSet, pairs[k])) linksOk = false;
        if (!linksOk) {
            HideAndBlank(field);
            continue;
        }

        if (!entry->usedForRecord) {
            entry->fetching = true;
            try {
                entry->lastFetchFound = FetchLookupValues(entry->table.get(), dataSet, pairs);
            } catch (...) {
                entry->fetching = false;
                throw;
            }
            entry->fetching = false;
        }
        if (field) {
            db::TField* result = entry->table->FindField(pieces[3]);
            if (!entry->lastFetchFound || !result)
                field->Clear();
            else
                field->SetAsString(result->IsBlob() ? result->AsString() : result->Text());
        }
        entry->usedForRecord = true;
    }
}

void GetLookupDefinition(db::TField* field, std::string& databaseName, std::string& tableName, std::string& links,
                         std::string& resultField) {
    databaseName.clear();
    tableName.clear();
    links.clear();
    resultField.clear();
    if (!field || !field->DataSet()) return;
    db::TDataSet* ds = field->DataSet();
    plat::StringList* lf = GetLookupFieldsProp(ds);
    plat::StringList* ll = GetLookupLinksProp(ds);
    if (lf) {
        for (int i = 0; i < lf->Count(); ++i) {
            auto pieces = SplitLine((*lf)[i], ';');
            if (pieces.size() < 5 || pieces[0] != field->FieldName) continue;
            databaseName = pieces[1];
            tableName = pieces[2];
            resultField = pieces[3];
            if (ll && i < ll->Count()) links = (*ll)[i];
            return;
        }
    }
    if (auto* dbs = dynamic_cast<db::TDBDataSet*>(ds)) databaseName = dbs->DatabaseName;
}

bool FindLookupRecord(db::TField* field, std::string& keyValue, db::TField*& resultField) {
    resultField = field;
    keyValue.clear();
    std::string database, table, links, result;
    GetLookupDefinition(field, database, table, links, result);
    TvlLookupTableList* list = field ? GetLookupTableList(field->DataSet()) : nullptr;
    if (!list) return false;
    for (auto& e : *list) {
        const std::string& name = e->table->TableName;
        const bool sameTable = name == table || name == table.substr(0, table.find('.'));
        if (e->table->DatabaseName != database || !sameTable || !SameTextUpper(e->links, links)) continue;
        if (!e->table->Active()) return false;
        if (db::TField* r = e->table->FindField(result)) resultField = r;
        const auto pairs = SplitLine(links, ';');
        db::TField* own = field->DataSet()->FindField(pairs[0]);
        if (!own) return false;
        keyValue = own->AsString();
        return e->table->FindKey({db::TValue(keyValue)});
    }
    return false;
}

std::string GetAliasPath(const std::string& alias) {
    // The engine keeps its aliases with the session's driver; its
    // configuration list is not available here.
    if (!db::Session().HasDriver()) return {};
    std::string path;
    if (!db::Session().Driver().GetAliasPath(alias, path)) return {};
    return path;
}

}  // namespace vl
