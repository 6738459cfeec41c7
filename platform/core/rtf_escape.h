// Plain text put into RTF as a value (footnotes, contents lines, hidden
// targets, bookmark, font and file names), the one rule for every writer:
// "\", "{" and "}" get a backslash, bytes above 0x7F become \'hh, a tab
// becomes \tab, and every other control character (CR and LF among them) is
// dropped: a reader ignores a raw line break anyway, and no value spans
// lines. Nothing escaped can open or close a group.
#pragma once

#include <string>
#include <string_view>

namespace plat {

std::string RtfEscapeText(std::string_view text);

}  // namespace plat
