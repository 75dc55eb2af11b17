// The creation run as the wizard starts and shows it.
#include <QPushButton>
#include <QTimer>

#include "app/creation_run.h"
#include "app/mod_wizard.h"
#include "app/results_page.h"
#include "ui/frm_wizard.h"
#include "ui/help_window.h"
#include "ui/results_view.h"
#include "ui/ui_session.h"

namespace vl {

void frmWizard::ExecuteActionsTimer() {
  tmrExecuteActions->stop();
  if (run_in_progress_ || run_finished_) return;  // one run per process
  run_in_progress_ = true;
  UpdateNavButtons(current_step_);
  CreationRun run(AppSession(), &cancel_);
  ExecuteActionsAndWriteResultsPage(AppSession(), run, [this] { FinishRun(); });
  FinishRun();
}

// The end of the run: the last lines shown, Next enabled, help closed.
// Runs again after the release, in case the run ended before reaching it.
void frmWizard::FinishRun() {
  txtResults->ShowQueuedLines();
  if (run_finished_) return;
  run_in_progress_ = false;
  run_finished_ = true;
  UpdateNavButtons(current_step_);
  ProcessPendingEvents();
  if (gbHelpShown) CloseHelp();
}

}  // namespace vl
