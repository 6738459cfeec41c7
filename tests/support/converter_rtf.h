// What the help-file converter's RTF holds, counted the way the import
// splits it, so tests of the import and of the program agree on it.
#pragma once

#include <cstddef>
#include <string>

namespace testsupport {

// The converter's topics in its RTF: one a "\page" it writes between them,
// less the empty sections it leaves at the end (nothing but control words,
// braces and blanks).
std::size_t ConverterTopicCount(const std::string& rtf);

}  // namespace testsupport
