// The command-line tool's message sink: messages on standard error,
// results lines on standard output (buffered) when asked for, a progress
// line on standard error when it is a terminal, questions answered by
// --yes or at a terminal.
#pragma once

#include <chrono>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/run_report.h"
#include "errors/message_sink.h"

namespace vl {

class Messenger;

// Which of the sink's streams are terminals: texts from a baseline written
// to a terminal have their control characters shown escaped ("\x1b"), so
// that no text sets the window title, clears the screen or moves the
// cursor. `columns` is the width of the terminal of standard error.
struct ConsoleTerminals {
  bool out = false, err = false;
  int columns = 80;
};

// `text` with every control character (C0 but tab and, when
// `keep_line_breaks`, line feed; DEL; C1 as UTF-8) written as "\xHH".
std::string EscapeControls(const std::string& text, bool keep_line_breaks);

class ConsoleMessageSink : public MessageSink {
 public:
  // `in` is read for answers only when `interactive`; otherwise every
  // question is answered by `assumeYes` (Yes / OK) or No / Cancel. With
  // `quiet`, questions answered by `assumeYes` are not echoed and no
  // progress is shown.
  ConsoleMessageSink(std::ostream& out, std::ostream& err, std::istream& in, bool interactive,
                     bool assumeYes, bool quiet, ConsoleTerminals terminals = {});

  // Results lines are printed only when `show`: to standard output, or to
  // standard error when `toErr` (standard output then holds a document
  // of its own). Counted either way.
  void ShowResultsLines(bool show, bool toErr);
  // Stage texts and message ids come from `messages`; a progress line is
  // shown on standard error while work goes on, when standard error is a
  // terminal and the sink is not quiet.
  void UseMessenger(const Messenger* messages) { messages_ = messages; }
  // While `log` is set, every message shown is also added to it ("error"
  // for an error report, "warning" otherwise).
  void SetLog(std::vector<ReportMessage>* log) { log_ = log; }
  // Removes the progress line, so that what follows starts on a clean
  // line. Does nothing when none is shown.
  void EndProgress();

  void ShowInfo(const std::string& title, const std::string& text) override;
  void ShowError(const std::string& title, const std::string& text) override;
  int Ask(const std::string& title, const std::string& text, int buttons) override;
  void AddResultsLine(const std::string& line) override;
  void Progress(const std::string& stage, long done, long total) override;

  long results_lines() const { return results_lines_; }
  long messages_shown() const { return messages_shown_; }

 private:
  // A message to standard error, escaped on a terminal.
  std::string ForErr(const std::string& text) const;
  void Show(const char* severity, const std::string& text);
  // Draws the progress line when it is due (`now` when forced).
  void DrawProgress(bool now);
  // The progress line, at most `width` characters.
  std::string ProgressText(size_t width) const;

  std::ostream& out_;
  std::ostream& err_;
  std::istream& in_;
  bool interactive_, assume_yes_, quiet_;
  ConsoleTerminals terminals_;
  bool show_lines_ = true, lines_to_err_ = false;
  const Messenger* messages_ = nullptr;
  std::vector<ReportMessage>* log_ = nullptr;
  long results_lines_ = 0;
  long messages_shown_ = 0;

  // The progress line.
  using Clock = std::chrono::steady_clock;
  std::string stage_;
  long done_ = 0, total_ = 0;
  Clock::time_point stage_start_{}, first_line_{}, last_draw_{};
  long lines_at_first_ = -1;
  bool drawn_ = false;
};

}  // namespace vl
