#include "app/console_sink.h"

#include <istream>
#include <ostream>

#include "app/run_stages.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/user_text.h"

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

// How often the progress line is drawn at most, and how many results
// lines pass between two looks at the clock.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr long kLinesBetweenLooks = 64;
// The stage of the baseline check reports its progress in hundredths.
constexpr const char* kCheckStage = "CheckBaseline";
// Erases the terminal's line from the cursor to its end.
constexpr const char* kEraseLine = "\x1b[K";

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

void ConsoleMessageSink::ShowResultsLines(bool show, bool toErr) {
  show_lines_ = show;
  lines_to_err_ = toErr;
}

std::string ConsoleMessageSink::ForErr(const std::string& text) const {
  return terminals_.err ? EscapeControls(text, true) : text;
}

void ConsoleMessageSink::Show(const char* severity, const std::string& text) {
  ++messages_shown_;
  if (log_) log_->push_back({messages_ ? messages_->shown_id() : 0, severity, text, "", 0, ""});
  EndProgress();
  out_.flush();  // keep results and messages in the order they happened
  err_ << "vlbaseline: " << ForErr(text) << std::endl;
}

void ConsoleMessageSink::ShowInfo(const std::string&, const std::string& text) {
  Show("warning", text);
}

void ConsoleMessageSink::ShowError(const std::string&, const std::string& text) {
  Show("error", text);
}

int ConsoleMessageSink::Ask(const std::string&, const std::string& text, int buttons) {
  EndProgress();
  out_.flush();
  if (assume_yes_) {
    if (!quiet_) err_ << "vlbaseline: " << ForErr(text) << " [yes]" << std::endl;
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
  if (lines_at_first_ < 0) {
    lines_at_first_ = results_lines_;
    first_line_ = Clock::now();
  }
  ++results_lines_;
  if (show_lines_) {
    if (lines_to_err_) {
      err_ << (terminals_.err ? EscapeControls(line, false) : line) << '\n';
    } else {
      out_ << (terminals_.out ? EscapeControls(line, false) : line) << '\n';
    }
  }
  if (results_lines_ % kLinesBetweenLooks == 0) DrawProgress(false);
}

void ConsoleMessageSink::Progress(const std::string& stage, long done, long total) {
  if (stage.empty()) {
    stage_.clear();
    EndProgress();
    return;
  }
  const bool new_stage = stage != stage_;
  if (new_stage) {
    stage_ = stage;
    stage_start_ = Clock::now();
  }
  done_ = done;
  total_ = total;
  DrawProgress(new_stage);
}

std::string ConsoleMessageSink::ProgressText(size_t width) const {
  // The counts go last and stay whole; the stage's text gives way.
  std::string counts;
  if (total_ > 0) {
    counts = stage_ == kCheckStage ? std::to_string(done_) + "%"
                                   : GroupedNumber(done_) + " of " + GroupedNumber(total_);
  }
  const auto now = Clock::now();
  auto add = [&counts](const std::string& part) { counts += (counts.empty() ? "" : ", ") + part; };
  if (lines_at_first_ >= 0) {
    const long objects = results_lines_ - lines_at_first_;
    add(CountText(objects, "object", "objects"));
    const double seconds = std::chrono::duration<double>(now - first_line_).count();
    if (seconds >= 1) add(GroupedNumber(static_cast<long long>(objects / seconds)) + "/s");
  }
  const double in_stage = std::chrono::duration<double>(now - stage_start_).count();
  const double left = total_ > 0 && done_ > 0 ? in_stage / done_ * (total_ - done_) : 0;
  if (in_stage >= 1 && left >= 0.5) add("about " + SecondsText(left) + " left");
  std::string stage = EscapeControls(messages_ ? RunStageText(*messages_, stage_) : stage_, false);
  // "Checking the baseline...": the counts say that it goes on.
  while (!stage.empty() && stage.back() == '.') stage.pop_back();
  if (counts.empty()) return CharLeft(stage, width);
  const size_t room = width > counts.size() + 2 ? width - counts.size() - 2 : 0;
  if (CharCount(stage) > room) stage = room > 3 ? CharLeft(stage, room - 3) + "..." : "";
  return CharLeft(stage.empty() ? counts : stage + ": " + counts, width);
}

void ConsoleMessageSink::DrawProgress(bool now) {
  if (quiet_ || !terminals_.err || stage_.empty()) return;
  // Results lines shown on the same terminal are the progress themselves.
  if (show_lines_ && (lines_to_err_ || terminals_.out)) return;
  const auto time = Clock::now();
  if (!now && drawn_ && time - last_draw_ < kRedrawEvery) return;
  last_draw_ = time;
  // One line, never wrapped: a wrapped line could not be redrawn in place.
  const size_t width = terminals_.columns > 1 ? static_cast<size_t>(terminals_.columns - 1) : 79;
  out_.flush();
  err_ << '\r' << ProgressText(width) << kEraseLine << std::flush;
  drawn_ = true;
}

void ConsoleMessageSink::EndProgress() {
  if (!drawn_) return;
  err_ << '\r' << kEraseLine << std::flush;
  drawn_ = false;
}

}  // namespace vl
