#include "ui/run_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "app/creation_run.h"
#include "app/mod_wizard.h"
#include "app/resource_location.h"
#include "app/results_page.h"
#include "app/run_stages.h"
#include "app/verify/verify_command.h"
#include "ui/frm_wizard.h"
#include "ui/help_window.h"
#include "ui/page_controls.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

constexpr long kResCreated = 6004, kResNotCreated = 6005, kResStopped = 6006, kResAskStop = 6011,
               kResStopping = 6012, kResWarning = 6013, kResError = 6014, kResOutcomeCreated = 6020,
               kResOutcomeNotCreated = 6021, kResOutcomeStopped = 6022, kResStageCount = 6120;

}  // namespace

RunPage::RunPage() : WizardStepPage(frmWizard::kRunStep) {
  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(0, 0, 0, 0);
  lblStage = new QLabel;
  lblStage->setObjectName("lblStage");
  lblStage->setTextFormat(Qt::PlainText);
  prgRun = new QProgressBar;
  prgRun->setObjectName("prgRun");
  prgRun->setTextVisible(false);
  txtResults = new ResultsView;
  txtResults->setObjectName("txtResults");
  txtResults->setMinimumHeight(4 * txtResults->fontMetrics().lineSpacing());
  fraOutcome = new QWidget;
  auto* outcome = new QHBoxLayout(fraOutcome);
  outcome->setContentsMargins(0, 0, 0, 0);
  lblOutcomeSign = new QLabel;
  lblOutcomeSign->setAlignment(Qt::AlignTop);
  lblOutcome = new QLabel;
  lblOutcome->setObjectName("lblOutcome");
  lblOutcome->setTextFormat(Qt::PlainText);
  lblOutcome->setWordWrap(true);
  lblOutcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outcome->addWidget(lblOutcomeSign);
  outcome->addWidget(lblOutcome, 1);
  fraOutcome->hide();
  layout->addWidget(lblStage);
  layout->addWidget(prgRun);
  layout->addWidget(Caption(6007, txtResults));
  layout->addWidget(txtResults, 1);
  layout->addWidget(fraOutcome);
  tmrExecuteActions = new QTimer(this);
  tmrExecuteActions->setObjectName("tmrExecuteActions");
  tmrExecuteActions->setSingleShot(true);
  connect(tmrExecuteActions, &QTimer::timeout, this, [this] { ExecuteActionsTimer(); });
}

void RunPage::initializePage() {
  finished_ = succeeded_ = false;
  cancel_ = 0;
  last_message_.clear();
  txtResults->clear();
  lblStage->clear();
  prgRun->setRange(0, 0);
  fraOutcome->hide();
  SetStepCaptions();
  form().setOption(QWizard::NoBackButtonOnLastPage, true);
  form().setOption(QWizard::NoCancelButtonOnLastPage, false);
  tmrExecuteActions->start(kRunDelayMs);
}

void RunPage::ExecuteActionsTimer() {
  tmrExecuteActions->stop();
  if (in_progress_ || finished_) return;
  in_progress_ = true;
  Session& session = AppSession();
  // A run releases the project application at its end; another try needs
  // a new one.
  session.RenewProjectApplication();
  auto* sink = dynamic_cast<WizardMessageSink*>(&session.messages.sink());
  if (sink) sink->SetRunView(this);
  CreationRun run(session, &cancel_);
  const bool ok = ExecuteActionsAndWriteResultsPage(
      session, run, [this] { txtResults->ShowQueuedLines(); },
      [&] {
        if (session.verify_after_run && !run.created_project().empty())
          AddVerificationResults(session, run.created_project(),
                                 FindResourceDirectory(GetProgramDirectory()));
      });
  if (sink) sink->SetRunView(nullptr);
  FinishRun(ok, run.cancelled());
}

void RunPage::FinishRun(bool succeeded, int cancelled) {
  in_progress_ = false;
  finished_ = true;
  succeeded_ = succeeded;
  if (stop_question_) stop_question_->close();
  txtResults->ShowQueuedLines();
  if (succeeded) {
    prgRun->setRange(0, 1);
    prgRun->setValue(1);
  }
  ShowOutcome(succeeded, cancelled);
  // Back leads to the choices again after a run that created nothing;
  // after a project was created only Finish remains.
  form().setOption(QWizard::NoBackButtonOnLastPage, succeeded);
  form().setOption(QWizard::NoCancelButtonOnLastPage, succeeded);
  emit completeChanged();
  if (gbHelpShown) CloseHelp();
}

void RunPage::ShowOutcome(bool succeeded, int cancelled) {
  QStyle::StandardPixmap sign = QStyle::SP_MessageBoxInformation;
  long explanation = kResCreated;
  QString text;
  if (succeeded) {
    text = Q(AppSession().messages.ResFormat(
        kResOutcomeCreated, {AppSession().goBLProjInfo->CompleteVLPPathName() + ".vlp"}));
  } else if (cancelled) {
    sign = QStyle::SP_MessageBoxWarning;
    explanation = kResStopped;
    text = QRes(kResOutcomeStopped);
  } else {
    sign = QStyle::SP_MessageBoxCritical;
    explanation = kResNotCreated;
    text = QRes(kResOutcomeNotCreated);
    if (!last_message_.empty()) text += "\n" + Q(last_message_);
  }
  const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  lblOutcomeSign->setPixmap(style()->standardIcon(sign).pixmap(size, size));
  lblOutcome->setText(text);
  fraOutcome->show();
  lblStage->clear();
  setSubTitle(QRes(explanation));
}

QString RunPage::outcome() const { return fraOutcome->isHidden() ? QString() : lblOutcome->text(); }

void RunPage::AskToStop() {
  if (!in_progress_ || stop_question_) return;
  QPointer<RunPage> page(this);
  stop_question_ = form().dialogs().ask_without_waiting(
      &form(), AppSession().messages.ResString(kResAskStop), [page](bool yes) {
        if (!page || !yes || !page->in_progress_) return;
        page->cancel_ = kCancelledByUser;
        page->lblStage->setText(QRes(kResStopping));
      });
}

void RunPage::ShowRunMessage(bool error, const std::string& text) {
  last_message_ = text;
  txtResults->QueueLine(AppSession().messages.ResFormat(error ? kResError : kResWarning, {text}));
}

void RunPage::ShowProgress(const std::string& stage, long done, long total) {
  if (cancel_) return;  // "Stopping" stays in view
  const std::string text = RunStageText(AppSession().messages, stage);
  if (total > 0) {
    lblStage->setText(Q(AppSession().messages.ResFormat(
        kResStageCount, {text, std::to_string(done), std::to_string(total)})));
    prgRun->setRange(0, static_cast<int>(std::min<long>(total, 1L << 30)));
    prgRun->setValue(static_cast<int>(std::min(done, total)));
  } else {
    lblStage->setText(Q(text));
    prgRun->setRange(0, 0);
  }
}

}  // namespace vl
