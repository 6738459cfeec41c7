// The HTML export wizard in the build demo.
#pragma once

#include <string>

namespace buildui {

// With a folder: writes html1.png, html2.png and html3.png (the three
// steps) into it and answers 0 when all were written; without: shows the
// wizard until it closes.
int RunHtmlWizardDemo(const std::string& shots);

}  // namespace buildui
