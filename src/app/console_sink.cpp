#include "app/console_sink.h"

#include <istream>
#include <ostream>

namespace vl {

namespace {
int YesAnswerOf(int buttons) {
  int set = buttons % 16;
  return (set == vbYesNo || set == vbYesNoCancel) ? vbYes : vbOK;
}
int NoAnswerOf(int buttons) {
  int set = buttons % 16;
  return (set == vbYesNo || set == vbYesNoCancel) ? vbNo : vbCancel;
}
}  // namespace

ConsoleMessageSink::ConsoleMessageSink(std::ostream& out, std::ostream& err, std::istream& in,
                                       bool interactive, bool assumeYes, bool quiet,
                                       ConsoleTerminals terminals)
    : out_(out),
      err_(err),
      in_(in),
      interactive_(interactive),
      assume_yes_(assumeYes),
      quiet_(quiet),
      terminals_(terminals) {}

std::string EscapeControls(const std::string& text, bool keep_line_breaks) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    unsigned code = 0x100;  // none
    if ((c < 0x20 && c != '\t' && !(keep_line_breaks && c == '\n')) || c == 0x7F) {
      code = c;
    } else if (c == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) code = next, ++i;
    }
    if (code == 0x100) {
      out += text[i];
      continue;
    }
    out += "\\x";
    out += kHex[code >> 4];
    out += kHex[code & 15];
  }
  return out;
}

std::string ConsoleMessageSink::ForErr(const std::string& text) const {
  return terminals_.err ? EscapeControls(text, true) : text;
}

void ConsoleMessageSink::ShowInfo(const std::string&, const std::string& text) {
  ++messages_shown_;
  out_.flush();  // keep results and messages in the order they happened
  err_ << "vlbaseline: " << ForErr(text) << std::endl;
}

int ConsoleMessageSink::Ask(const std::string&, const std::string& text, int buttons) {
  out_.flush();
  if (assume_yes_) {
    err_ << "vlbaseline: " << ForErr(text) << " [yes]" << std::endl;
    return YesAnswerOf(buttons);
  }
  if (!interactive_) {
    err_ << "vlbaseline: " << ForErr(text) << " [no: use --yes to answer yes]" << std::endl;
    return NoAnswerOf(buttons);
  }
  err_ << "vlbaseline: " << ForErr(text) << " [y/N] " << std::flush;
  std::string answer;
  std::getline(in_, answer);
  bool yes = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
  return yes ? YesAnswerOf(buttons) : NoAnswerOf(buttons);
}

void ConsoleMessageSink::AddResultsLine(const std::string& line) {
  ++results_lines_;
  if (!quiet_) out_ << (terminals_.out ? EscapeControls(line, false) : line) << '\n';
}

}  // namespace vl
