// The wizard's message sink: messages and questions in message boxes
// titled gsMsgTitle, with the icon that fits (a warning for a message, the
// error sign for an error report, a question mark for a question); results
// lines into the results box; and a window that stays responsive during
// long work. While a creation run shows itself (a RunView is set), its
// messages go into its results and its progress to its display instead of
// boxes, so that the run never waits for the user unless it asks him
// something.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <chrono>

#include "errors/message_sink.h"
#include "ui/results_view.h"

namespace vl {

// Where a creation run shows itself.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual ResultsView* results() = 0;
  // A message of the run (an error report when `error`).
  virtual void ShowRunMessage(bool error, const std::string& text) = 0;
  virtual void ShowProgress(const std::string& stage, long done, long total) = 0;
};

class WizardMessageSink : public MessageSink {
 public:
  // How often, at most, long work lets the window refresh itself.
  static constexpr std::chrono::milliseconds kRefreshInterval{100};
  // A message longer than this many lines shows its first lines and the
  // rest behind the box's "Show Details...".
  static constexpr int kLinesShownInBox = 12;

  // Where results lines go; lines added while there is none are dropped.
  void SetResultsBox(ResultsView* box) { results_ = box; }
  // The run that shows itself now (null when none).
  void SetRunView(RunView* view) { run_ = view; }

  // Into the run's results while a run shows itself; otherwise a modal box
  // (the queued results lines are shown first). While a box is up the
  // mouse pointer is the arrow, whatever it was.
  void ShowInfo(const std::string& title, const std::string& text) override;
  void ShowError(const std::string& title, const std::string& text) override;
  // A modal question with the buttons of `buttons` % 16; returns the
  // answer's code (Cancel or No when the box is closed otherwise).
  int Ask(const std::string& title, const std::string& text, int buttons) override;
  // Queues the line and breathes.
  void AddResultsLine(const std::string& line) override;
  // To the run's display, then breathes.
  void Progress(const std::string& stage, long done, long total) override;
  // When kRefreshInterval has passed since the last refresh: shows the
  // queued lines and processes pending window events.
  void Breathe() override;
  // Shows the queued lines and processes pending window events now.
  void Refresh();

 protected:
  // The boxes themselves (tests record them instead).
  virtual void ShowBox(QMessageBox::Icon icon, const std::string& title, const std::string& text);
  // Returns the button pressed (a QMessageBox::StandardButton).
  virtual int AskBox(const std::string& title, const std::string& text,
                     QMessageBox::StandardButtons buttons, QMessageBox::StandardButton escape);

 private:
  ResultsView* box() const;
  void ShowMessage(bool error, const std::string& title, const std::string& text);
  QPointer<ResultsView> results_;
  RunView* run_ = nullptr;
  std::chrono::steady_clock::time_point last_refresh_{};
};

}  // namespace vl
