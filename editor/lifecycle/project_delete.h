// File | Delete Project: the project's rows go first, in one engine
// transaction, then (after asking) its pictures and its build outputs,
// never in a folder another project uses, in the program directory or in a
// folder above it.
#pragma once

#include "project/editor_context.h"

#include <functional>
#include <string>

namespace editor {

inline constexpr const char* kDeleteFailedText = "This Project Could not be deleted. Please try later.";

// The folder a stored folder names, resolved and canonical (letter case as
// on disk, no "." or ".."): what two projects share is decided on it.
std::string CanonicalFolder(const std::string& stored, const std::string& programDir);
// Whether deleting in `folder` could touch the program directory: the
// folder is the program directory or one above it.
bool IsProgramFolderOrAbove(const std::string& folder, const std::string& programDir);
// Whether another project's row stores a folder (field `field`) that is the
// same as `canonical`.
bool FolderUsedByAnotherProject(const std::string& field, const std::string& canonical, const std::string& project,
                                const std::string& programDir);

// Deletes the current project of `ctx.mainTable` after the question. False
// when nothing was deleted (No, or the rows could not be deleted: then
// every row and file stays and the warning has been shown). `progress`
// shows the wait window's text ("" closes it).
bool DeleteProject(EditorContext& ctx, const std::function<void(const std::string&)>& progress = {});

}  // namespace editor
