// The project tables: every table file of the editor with its fields,
// indexes and shipped rows, in one place, and the installer that creates
// the files a program folder lacks. Existing files are never touched.
// tavrin_mkdb <folder> runs the installer alone.
#pragma once

#include "data/field_defs.h"

#include <string>
#include <vector>

namespace editor {

// Table files, as the components name them under the alias "Tavrin".
inline constexpr const char* kMainTableFile = "TvrnMAIN.QVD";
inline constexpr const char* kItemTableFile = "TvrnITEM.QVD";
inline constexpr const char* kCntTableFile = "TvrnCNT.QVD";
inline constexpr const char* kPrefTableFile = "TvrnPREF.QVD";
inline constexpr const char* kRefiTableFile = "TvrnREFI.QVD";
inline constexpr const char* kInhTableFile = "TvrnInh.QVD";
inline constexpr const char* kFontTableFile = "Tvrnfont.QVD";
inline constexpr const char* kWizTableFile = "TvrnWIZ.QVD";
inline constexpr const char* kWizTitlesTableFile = "TvrnWIZT.QVD";

// The engine alias every project table goes through.
inline constexpr const char* kTavrinAlias = "Tavrin";
// The primary index of the tables keyed that way.
inline constexpr const char* kPrimaryIndex = "QV$PRIMARY";
// The longest project name; every project table links rows by it.
inline constexpr int kApplicationSize = 25;

struct TableSchema {
    std::string fileName;
    std::vector<db::TFieldDef> fields;
    std::vector<db::TIndexDef> indexes;
};

// Every table the installer makes, in creation order. Tables of later
// features join this list.
const std::vector<TableSchema>& ProjectTableSchemas();
// By file name without regard to case; nullptr when unknown.
const TableSchema* FindTableSchema(const std::string& fileName);

// The generic project RTF header: font table of the fourteen standard
// names, the sixteen standard colours, page settings and one empty plain
// paragraph. New projects and the preferences row start from it.
std::string GenericProjectRtfHeader();

// Creates, in `folder` (a path the path layer accepts), each table of
// ProjectTableSchemas whose file is missing, and fills the new ones with
// their shipped rows. Uses the dataset session's driver, which must be set.
// Returns the file names created. Throws when a table cannot be created.
std::vector<std::string> InstallProjectTables(const std::string& folder);

}  // namespace editor
