#include "app/html_text.h"

#include "host/text/markup_escape.h"

namespace vl {


std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  AppendMarkupEscaped(out, text);
  return out;
}

std::string HtmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "<br>";
    } else {
      AppendMarkupEscaped(out, std::string_view(&text[i], 1));
    }
  }
  return out;
}

}  // namespace vl
