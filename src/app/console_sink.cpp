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
                                       bool interactive, bool assumeYes, bool quiet)
    : out_(out),
      err_(err),
      in_(in),
      interactive_(interactive),
      assume_yes_(assumeYes),
      quiet_(quiet) {}

void ConsoleMessageSink::ShowInfo(const std::string&, const std::string& text) {
  ++messages_shown_;
  out_.flush();  // keep results and messages in the order they happened
  err_ << "vlbaseline: " << text << std::endl;
}

int ConsoleMessageSink::Ask(const std::string&, const std::string& text, int buttons) {
  out_.flush();
  if (assume_yes_) {
    err_ << "vlbaseline: " << text << " [yes]" << std::endl;
    return YesAnswerOf(buttons);
  }
  if (!interactive_) {
    err_ << "vlbaseline: " << text << " [no: use --yes to answer yes]" << std::endl;
    return NoAnswerOf(buttons);
  }
  err_ << "vlbaseline: " << text << " [y/N] " << std::flush;
  std::string answer;
  std::getline(in_, answer);
  bool yes = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
  return yes ? YesAnswerOf(buttons) : NoAnswerOf(buttons);
}

void ConsoleMessageSink::AddResultsLine(const std::string& line) {
  ++results_lines_;
  if (!quiet_) out_ << line << '\n';
}

}  // namespace vl
