// The command-line tool's message sink: messages on standard error,
// results lines on standard output (buffered), questions answered by
// --yes or at a terminal.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>

#include "errors/message_sink.h"

namespace vl {

// Which of the sink's streams are terminals: texts from a baseline written
// to a terminal have their control characters shown escaped ("\x1b"), so
// that no text sets the window title, clears the screen or moves the
// cursor.
struct ConsoleTerminals {
  bool out = false, err = false;
};

// `text` with every control character (C0 but tab and, when
// `keep_line_breaks`, line feed; DEL; C1 as UTF-8) written as "\xHH".
std::string EscapeControls(const std::string& text, bool keep_line_breaks);

class ConsoleMessageSink : public MessageSink {
 public:
  // `in` is read for answers only when `interactive`; otherwise every
  // question is answered by `assumeYes` (Yes / OK) or No / Cancel.
  ConsoleMessageSink(std::ostream& out, std::ostream& err, std::istream& in, bool interactive,
                     bool assumeYes, bool quiet, ConsoleTerminals terminals = {});

  void ShowInfo(const std::string& title, const std::string& text) override;
  int Ask(const std::string& title, const std::string& text, int buttons) override;
  void AddResultsLine(const std::string& line) override;

  long results_lines() const { return results_lines_; }
  long messages_shown() const { return messages_shown_; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::istream& in_;
  // A message to standard error, escaped on a terminal.
  std::string ForErr(const std::string& text) const;

  bool interactive_, assume_yes_, quiet_;
  ConsoleTerminals terminals_;
  long results_lines_ = 0;
  long messages_shown_ = 0;
};

}  // namespace vl
