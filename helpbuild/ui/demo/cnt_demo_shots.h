// Pictures of the contents windows for the build demo: the add dialog over a
// small project, the footnotes dialog on one of its pages, and the explorer
// tree loaded from a real contents file.
#pragma once

#include <string>

namespace buildui {

// Writes cnt_add.png, footnotes.png and explorer.png into `dir` (which
// exists). The project lives in a temporary program folder, removed after.
bool WriteContentsScreenshots(const std::string& dir);

}  // namespace buildui
