// Escaping for the XML and HTML that the program and its tools write.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// Which characters besides "&", "<" and ">" become character references.
// A reader turns CR LF into LF in text, and tabs and line breaks into
// spaces in attribute values, unless they are written as references.
struct MarkupEscapes {
  bool quote = false;            // '"' as "&quot;" (attribute values)
  bool tab = false;              // as "&#9;"
  bool line_feed = false;        // as "&#10;"
  bool carriage_return = false;  // as "&#13;"
};

// Appends `text` to `out` with "&", "<" and ">" escaped, and the
// characters `also` names as references; every other byte as it is.
void AppendMarkupEscaped(std::string& out, std::string_view text, MarkupEscapes also = {});

}  // namespace vl
