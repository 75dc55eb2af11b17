// The wizard's message sink: messages and questions in message boxes
// titled gsMsgTitle, results lines into the results box, and a window that
// stays responsive during long work.
#pragma once

#include <QPointer>
#include <chrono>

#include "errors/message_sink.h"
#include "ui/results_view.h"

namespace vl {

class WizardMessageSink : public MessageSink {
 public:
  // How often, at most, long work lets the window refresh itself.
  static constexpr std::chrono::milliseconds kRefreshInterval{100};

  // Where results lines go; lines added while there is none are dropped.
  void SetResultsBox(ResultsView* box) { results_ = box; }

  // A modal information box (the queued results lines are shown first).
  // While it is up the mouse pointer is the arrow, whatever it was.
  void ShowInfo(const std::string& title, const std::string& text) override;
  // A modal question with the buttons of `buttons` % 16; returns the
  // answer's code (Cancel or No when the box is closed otherwise).
  int Ask(const std::string& title, const std::string& text, int buttons) override;
  // Queues the line and breathes.
  void AddResultsLine(const std::string& line) override;
  // When kRefreshInterval has passed since the last refresh: shows the
  // queued lines and processes pending window events.
  void Breathe() override;
  // Shows the queued lines and processes pending window events now.
  void Refresh();

 private:
  QPointer<ResultsView> results_;
  std::chrono::steady_clock::time_point last_refresh_{};
};

}  // namespace vl
