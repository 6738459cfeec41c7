// The options' windows shown one at a time for a picture: a program folder
// with a sample project, the window open on it, saved as PNG.
#pragma once

#include <string>
#include <vector>

namespace editor {

// The window classes this folder shows.
const std::vector<std::string>& OptionsWindowClasses();
// Shows the named window on the program folder's tables (a sample project
// is added when there is none) and saves its picture. False when the class
// is not one of these windows; `code` is then untouched, else 0 or 1.
bool ShowOptionsWindow(const std::string& formClass, const std::string& pngFile, int& code);

}  // namespace editor
