// Text made safe for the pages the program writes.
#pragma once

#include <string>

namespace vl {

// `text` with "&", "<" and ">" escaped; everything else as it is.
std::string HtmlEscape(const std::string& text);

// `text` as HTML character data: escaped as HtmlEscape does, and each line
// break (CR LF, LF or CR) shown as "<br>". Nothing in the text can become
// markup.
std::string HtmlText(const std::string& text);

}  // namespace vl
