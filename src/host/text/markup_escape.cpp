#include "host/text/markup_escape.h"

namespace vl {

void AppendMarkupEscaped(std::string& out, std::string_view text, MarkupEscapes also) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += also.quote ? "&quot;" : "\"";
        break;
      case '\t':
        out += also.tab ? "&#9;" : "\t";
        break;
      case '\n':
        out += also.line_feed ? "&#10;" : "\n";
        break;
      case '\r':
        out += also.carriage_return ? "&#13;" : "\r";
        break;
      default:
        out += c;
    }
  }
}

}  // namespace vl
