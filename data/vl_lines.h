// The per-field lines of the library's datasets, read and written by field:
// PictureMasks (field TAB mask TAB auto-fill TAB grid flag), ControlType
// (field;kind;parameters), LookupFields/LookupLinks (purged with their
// fields) and the grid's field selection (field TAB width TAB label). Also
// the checks of field text against masks and field types, run before a
// record is posted. What reads or sets the controls' own properties is in
// controls/data/vl_control_helpers.h.
#pragma once

#include "data/vl_dataset.h"
#include "data/data_source.h"
#include "data/field_defs.h"
#include "platform/core/component.h"

#include <string>
#include <vector>

namespace vl {

// The lines of a dataset of the library; nullptr for any other dataset.
plat::StringList* GetPictureMasksProp(db::TDataSet* dataSet);
plat::StringList* GetControlTypeProp(db::TDataSet* dataSet);
plat::StringList* GetLookupFieldsProp(db::TDataSet* dataSet);
plat::StringList* GetLookupLinksProp(db::TDataSet* dataSet);
bool GetValidateWithMaskProp(db::TDataSet* dataSet);
TvlInvalidValueEvent GetOnInvalidValueProp(db::TDataSet* dataSet);

// Calculated or lookup (no client datasets exist here).
bool IsCalcLookupOrClientField(const db::TField* field);

// Pieces of a line between single-character separators (the last one too).
std::vector<std::string> SplitLine(const std::string& line, char separator);
std::string BoolToTF(bool value);

bool FieldExists(db::TDataSet* dataSet, const std::string& name);  // case-insensitive
bool IsCalcOrLookupField(const db::TField* field);
bool IsNumericFieldType(db::TFieldType type);  // ftBCD is not numeric here

// Kind and parameters (pieces 3.. joined by ";") of the field's ControlType
// line (field name compared case-sensitively); both empty without one.
void GetControlTypeInfo(db::TDataSet* dataSet, const std::string& fieldName, std::string& kind,
                        std::string& parameters);
// "CustomEdit", "LookupCombo" and "Combo": kinds that name a control.
bool IsControlKind(const std::string& kind);

// The field's mask and flags; both flags True and no mask without a line.
// consultTable lets a table's own stored picture take precedence.
void GetFieldPictureMask(db::TDataSet* dataSet, const std::string& fieldName, bool consultTable,
                         bool& autoFill, bool& secondFlag, std::string& mask);
// Rewrites (or, without a mask, deletes) the field's line. Each replace flag
// that is false keeps that piece of an existing line.
void SetFieldPictureMask(db::TDataSet* dataSet, const std::string& fieldName, const std::string& mask,
                         bool replaceSecondFlag, bool replaceAutoFill, bool replaceMask, bool secondFlag,
                         bool autoFill);
std::string GetTableFieldPicture(db::TDataSet* dataSet, const std::string& fieldName);
// True for an empty mask or a text the mask accepts (auto-fill on).
bool IsValidPictureText(const std::string& mask, const std::string& text);
// The first writable field whose text fails its mask: focus its control,
// call onInvalidValue, raise "Invalid characters. Field : " + display name.
void ValidateFieldMasks(db::TDataSet* dataSet, const TvlInvalidValueEvent& onInvalidValue);

bool IsValidFieldText(db::TFieldType type, const std::string& text);
bool IsValidTextForField(const db::TField* field, const std::string& text);

// The grid's field selection.
void ApplySelectedFields(db::TDataSet* dataSet, const plat::StringList& lines);
void StoreSelectedFields(db::TDataSet* dataSet, plat::StringList& lines);
bool FindSelectedField(const plat::StringList& lines, const std::string& fieldName, int& index);

// Deletes LookupFields lines (with their LookupLinks line) and ControlType
// lines whose field is gone.
void PurgeMissingFieldLines(db::TDataSet* dataSet, plat::StringList* lookupFields, plat::StringList* lookupLinks,
                            plat::StringList* controlType);
// Only a form designer would purge stale control names; there is none.
bool PurgeStaleControlTypes(plat::TComponent* owner, db::TDataSet* dataSet);

}  // namespace vl
