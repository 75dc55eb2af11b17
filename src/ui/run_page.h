// Step 5: the creation run. Shown, the step arms a timer of 100 ms that
// starts the run; the run shows its stage and counts in a progress bar, its
// results lines below it, and its messages among them (it never waits for
// a message box). Cancel asks, without stopping the run meanwhile, and a
// Yes stops it at its next breathing point. The outcome is shown under the
// results with its sign: created (Finish ends the program), or not created
// or stopped (Back leads to the earlier steps to change the choices and
// try again, Cancel leaves).
#pragma once

#include <QPointer>
#include <string>

#include "errors/run_cancelled.h"
#include "ui/wizard_message_sink.h"
#include "ui/wizard_step_page.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace vl {

class RunPage : public WizardStepPage, public RunView {
 public:
  static constexpr int kRunDelayMs = 100;

  RunPage();

  // Arms the run: the results emptied, Back hidden, tmrExecuteActions
  // started.
  void initializePage() override;
  // True once the run has created the project.
  bool isComplete() const override { return succeeded_; }

  // The run, started by tmrExecuteActions; one at a time.
  void ExecuteActionsTimer();
  // Cancel (or Escape, or closing the window) during the run.
  void AskToStop();

  bool run_in_progress() const { return in_progress_; }
  bool run_finished() const { return finished_; }
  bool run_succeeded() const { return succeeded_; }
  // The outcome shown under the results ("" before the run has ended).
  QString outcome() const;

  // RunView.
  ResultsView* results() override { return txtResults; }
  void ShowRunMessage(bool error, const std::string& text) override;
  void ShowProgress(const std::string& stage, long done, long total) override;

 private:
  void FinishRun(bool succeeded, int cancelled);
  void ShowOutcome(bool succeeded, int cancelled);

  QLabel* lblStage;
  QProgressBar* prgRun;
  ResultsView* txtResults;
  QWidget* fraOutcome;
  QLabel *lblOutcomeSign, *lblOutcome;
  QTimer* tmrExecuteActions;
  QPointer<QWidget> stop_question_;
  CancelRequest cancel_{0};
  std::string last_message_;
  bool in_progress_ = false, finished_ = false, succeeded_ = false;
};

}  // namespace vl
