// The command-line tool's message sink: messages on standard error,
// results lines on standard output (buffered), questions answered by
// --yes or at a terminal.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>

#include "errors/message_sink.h"

namespace vl {

class ConsoleMessageSink : public MessageSink {
 public:
  // `in` is read for answers only when `interactive`; otherwise every
  // question is answered by `assumeYes` (Yes / OK) or No / Cancel.
  ConsoleMessageSink(std::ostream& out, std::ostream& err, std::istream& in, bool interactive,
                     bool assumeYes, bool quiet);

  void ShowInfo(const std::string& title, const std::string& text) override;
  int Ask(const std::string& title, const std::string& text, int buttons) override;
  void AddResultsLine(const std::string& line) override;

  long results_lines() const { return results_lines_; }
  long messages_shown() const { return messages_shown_; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::istream& in_;
  bool interactive_, assume_yes_, quiet_;
  long results_lines_ = 0;
  long messages_shown_ = 0;
};

}  // namespace vl
