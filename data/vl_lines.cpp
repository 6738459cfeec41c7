#include "data/vl_lines.h"

#include "data/picture_validator.h"
#include "data/text_utils.h"
#include "data/vl_intl.h"
#include "data/vl_table.h"
#include "data/db_errors.h"
#include "data/fields.h"

namespace vl {

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The first PictureMasks line of the field (case-insensitive), or -1.
int FindPictureLine(const plat::StringList& lines, const std::string& fieldName) {
    for (int i = 0; i < lines.Count(); ++i) {
        auto pieces = SplitLine(lines[i], '\t');
        if (SameTextUpper(pieces[0], fieldName)) return i;
    }
    return -1;
}

std::string JoinFrom(const std::vector<std::string>& pieces, std::size_t from, char separator) {
    std::string out;
    for (std::size_t k = from; k < pieces.size(); ++k) {
        if (k > from) out += separator;
        out += pieces[k];
    }
    return out;
}

}  // namespace

plat::StringList* GetPictureMasksProp(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl ? &vl->PictureMasks() : nullptr;
}
plat::StringList* GetControlTypeProp(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl ? &vl->ControlType() : nullptr;
}
plat::StringList* GetLookupFieldsProp(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl ? &vl->LookupFields() : nullptr;
}
plat::StringList* GetLookupLinksProp(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl ? &vl->LookupLinks() : nullptr;
}
bool GetValidateWithMaskProp(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl && vl->ValidateWithMask();
}
TvlInvalidValueEvent GetOnInvalidValueProp(db::TDataSet* dataSet) {
    IvlDataSet* vl = AsVlDataSet(dataSet);
    return vl ? vl->OnInvalidValue : TvlInvalidValueEvent{};
}

bool IsCalcLookupOrClientField(const db::TField* field) { return IsCalcOrLookupField(field); }

std::vector<std::string> SplitLine(const std::string& line, char separator) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = line.find(separator, start);
        if (at == std::string::npos) {
            out.push_back(line.substr(start));
            return out;
        }
        out.push_back(line.substr(start, at - start));
        start = at + 1;
    }
}

std::string BoolToTF(bool value) { return value ? "T" : "F"; }

bool FieldExists(db::TDataSet* dataSet, const std::string& name) {
    if (!dataSet) return false;
    for (int i = 0; i < dataSet->FieldCount(); ++i)
        if (SameTextUpper(dataSet->Fields(i)->FieldName, name)) return true;
    return false;
}

bool IsCalcOrLookupField(const db::TField* field) {
    return field && (field->FieldKind == db::fkCalculated || field->FieldKind == db::fkLookup);
}

bool IsNumericFieldType(db::TFieldType type) {
    switch (type) {
        case db::ftSmallint: case db::ftInteger: case db::ftWord:
        case db::ftFloat: case db::ftCurrency: case db::ftAutoInc:
            return true;
        default:
            return false;
    }
}

void GetControlTypeInfo(db::TDataSet* dataSet, const std::string& fieldName, std::string& kind,
                        std::string& parameters) {
    kind.clear();
    parameters.clear();
    plat::StringList* lines = GetControlTypeProp(dataSet);
    if (!lines) return;
    for (int i = 0; i < lines->Count(); ++i) {
        auto pieces = SplitLine((*lines)[i], ';');
        if (pieces.size() < 2 || pieces[0] != fieldName) continue;
        kind = pieces[1];
        parameters = JoinFrom(pieces, 2, ';');
        return;
    }
}

bool IsControlKind(const std::string& kind) {
    return SameTextUpper(kind, "CustomEdit") || SameTextUpper(kind, "LookupCombo") || SameTextUpper(kind, "Combo");
}

std::string GetTableFieldPicture(db::TDataSet* dataSet, const std::string& fieldName) {
    auto* table = dynamic_cast<TvlTable*>(dataSet);
    return table ? table->GetStoredPicture(fieldName) : std::string();
}

void GetFieldPictureMask(db::TDataSet* dataSet, const std::string& fieldName, bool consultTable,
                         bool& autoFill, bool& secondFlag, std::string& mask) {
    autoFill = true;
    secondFlag = true;
    mask.clear();
    plat::StringList* lines = GetPictureMasksProp(dataSet);
    if (lines) {
        int at = FindPictureLine(*lines, fieldName);
        if (at >= 0) {
            auto pieces = SplitLine((*lines)[at], '\t');
            pieces.resize(4);
            mask = pieces[1];
            autoFill = pieces[2] == "T";
            secondFlag = pieces[3] == "T";
        }
    }
    if (!consultTable) return;
    std::string stored = GetTableFieldPicture(dataSet, fieldName);
    if (stored.empty()) return;
    // The table's own picture wins; a line's mask would only contradict it.
    if (!mask.empty()) SetFieldPictureMask(dataSet, fieldName, "", true, true, true, secondFlag, autoFill);
    mask = stored;
}

void SetFieldPictureMask(db::TDataSet* dataSet, const std::string& fieldName, const std::string& mask,
                         bool replaceSecondFlag, bool replaceAutoFill, bool replaceMask, bool secondFlag,
                         bool autoFill) {
    plat::StringList* lines = GetPictureMasksProp(dataSet);
    if (!lines) return;
    std::string newMask = mask;
    std::string stored = GetTableFieldPicture(dataSet, fieldName);
    if (!stored.empty()) newMask = stored;
    int at = FindPictureLine(*lines, fieldName);
    if (at >= 0) {
        auto pieces = SplitLine((*lines)[at], '\t');
        pieces.resize(4);
        if (!replaceMask) newMask = pieces[1];
        if (!replaceAutoFill) autoFill = pieces[2] == "T";
        if (!replaceSecondFlag) secondFlag = pieces[3] == "T";
    }
    if (newMask.empty()) {
        if (at >= 0) lines->Delete(at);
        return;
    }
    std::string line = fieldName + "\t" + newMask + "\t" + BoolToTF(autoFill) + "\t" + BoolToTF(secondFlag);
    if (at >= 0)
        lines->SetString(at, line);
    else
        lines->Add(line);
}

bool IsValidPictureText(const std::string& mask, const std::string& text) {
    if (mask.empty()) return true;
    TvlPictureValidator validator(mask, true);
    return validator.IsValid(text);
}

void ValidateFieldMasks(db::TDataSet* dataSet, const TvlInvalidValueEvent& onInvalidValue) {
    if (!dataSet) return;
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        db::TField* field = dataSet->Fields(i);
        bool autoFill = true, secondFlag = true;
        std::string mask;
        GetFieldPictureMask(dataSet, field->FieldName, false, autoFill, secondFlag, mask);
        if (mask.empty() || field->ReadOnly || IsValidPictureText(mask, field->Text())) continue;
        field->FocusControl();
        if (onInvalidValue) onInvalidValue(dataSet, field);
        std::string text = CreateGlobalIntl().Text("UserMessages", "PictureValidateError");
        db::DatabaseError(text + field->DisplayName());
    }
}

bool IsValidFieldText(db::TFieldType type, const std::string& text) {
    switch (type) {
        case db::ftSmallint: case db::ftInteger: case db::ftWord: case db::ftAutoInc:
            return IsIntegerText(text);
        case db::ftFloat: case db::ftCurrency: case db::ftBCD:
            return IsFloatText(text);
        case db::ftDate:
            return IsValidDateText(text);
        case db::ftTime:
            return IsValidTimeText(text);
        case db::ftDateTime:
            return IsValidDateTimeText(text) || IsValidDateText(text);
        default:
            return true;
    }
}

bool IsValidTextForField(const db::TField* field, const std::string& text) {
    return !field || IsValidFieldText(field->DataType(), text);
}

void ApplySelectedFields(db::TDataSet* dataSet, const plat::StringList& lines) {
    if (!dataSet) return;
    dataSet->DisableControls();
    struct Enable {
        db::TDataSet* ds;
        ~Enable() { ds->EnableControls(); }
    } enable{dataSet};
    for (int i = 0; i < dataSet->FieldCount(); ++i) dataSet->Fields(i)->Visible = false;
    for (int k = 0; k < lines.Count(); ++k) {
        auto pieces = SplitLine(lines[k], '\t');
        pieces.resize(3);
        db::TField* field = dataSet->FindField(pieces[0]);
        if (!field) continue;
        int width = 0;
        try {
            width = std::stoi(pieces[1]);
        } catch (const std::exception&) {
            width = 0;
        }
        field->SetDisplayWidth(width);
        field->DisplayLabel = pieces[2];
        field->SetIndex(k < dataSet->FieldCount() ? k : dataSet->FieldCount() - 1);
        field->Visible = true;
    }
}

void StoreSelectedFields(db::TDataSet* dataSet, plat::StringList& lines) {
    lines.Clear();
    if (!dataSet) return;
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        db::TField* f = dataSet->Fields(i);
        if (!f->Visible) continue;
        lines.Add(f->FieldName + "\t" + std::to_string(f->DisplayWidth()) + "\t" + f->DisplayName());
    }
}

bool FindSelectedField(const plat::StringList& lines, const std::string& fieldName, int& index) {
    const std::string wanted = Upper(fieldName);
    for (int i = 0; i < lines.Count(); ++i) {
        if (Upper(SplitLine(lines[i], '\t')[0]) == wanted) {
            index = i;
            return true;
        }
    }
    index = -1;
    return false;
}

void PurgeMissingFieldLines(db::TDataSet* dataSet, plat::StringList* lookupFields, plat::StringList* lookupLinks,
                            plat::StringList* controlType) {
    if (!dataSet) return;
    if (lookupFields) {
        for (int i = lookupFields->Count() - 1; i >= 0; --i) {
            if (FieldExists(dataSet, SplitLine((*lookupFields)[i], ';')[0])) continue;
            lookupFields->Delete(i);
            if (lookupLinks && i < lookupLinks->Count()) lookupLinks->Delete(i);
        }
    }
    if (controlType) {
        for (int i = controlType->Count() - 1; i >= 0; --i)
            if (!FieldExists(dataSet, SplitLine((*controlType)[i], ';')[0])) controlType->Delete(i);
    }
}

bool PurgeStaleControlTypes(plat::TComponent*, db::TDataSet*) { return true; }

}  // namespace vl
