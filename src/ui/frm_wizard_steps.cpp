// Moving between the wizard's steps: showing a step, its buttons, and
// completing it.
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include "app/ext_project_locations.h"
#include "app/mod_wizard.h"
#include "app/resource_location.h"
#include "app/review_page.h"
#include "ui/ext_projects_grid.h"
#include "ui/frm_wizard.h"
#include "ui/help_window.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

constexpr int kRunDelayMs = 100;
constexpr long kResNext = 103, kResFinish = 105;

void ShowCheck(QCheckBox* box, bool held, bool chosen) {
  box->setEnabled(held);
  box->setChecked(chosen);
}

// The effective choice of a check box on its step: a box that cannot be
// used chooses nothing, whatever mark it keeps.
bool Chosen(const QCheckBox* box, const QWidget* step) {
  return box->isChecked() && box->isEnabledTo(step);
}

}  // namespace

void frmWizard::FillStep(int step) {
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  switch (step) {
    case 0:
      txtBLLoc->setText(Q(d.BLXMLLoc()));
      break;
    case 1:
      txtProjName->setText(Q(d.VLPName()));
      txtProjLoc->setText(Q(d.VLPFolder()));
      txtProjDesc->setPlainText(Q(d.VLPDesc()));
      SelectDBType(d.VLPDBType());
      break;
    case 2:
      ShowCheck(chkTraces, d.isBLXMLContainsTraces(), d.CreateTraces());
      ShowCheck(chkExtTraces, d.isBLXMLContainsExtTraces(), d.CreateExtTraces());
      ShowCheck(chkDisc, d.isBLXMLContainsDisc(), d.CreateDisc());
      ShowCheck(chkHistory, d.isBLXMLContainsHist(), d.CreateHist());
      UpdateExtTracesOption();
      break;
    case 3:
      fgExtProjects->UpdateExtProjFlexGrid();
      break;
    case 4:
      ShowReviewPage();
      break;
    case kRunStep:
      tmrExecuteActions->start(kRunDelayMs);
      break;
  }
}

void frmWizard::ShowReviewPage() {
  CreateReviewHTML(AppSession());
  QUrl page = QUrl::fromLocalFile(Q(AppSession().goBLProjInfo->ReviewHTMLLoc()));
  // Reviewing twice within a second writes the same file again.
  if (webReview->source() == page)
    webReview->reload();
  else
    webReview->setSource(page);
}

void frmWizard::ShowStep(int step, int /*direction*/) {
  FillStep(step);
  if (current_step_ >= 0 && current_step_ < kRunStep) {
    fraStep[current_step_]->setEnabled(false);
    fraSteps->setCurrentIndex(step);
    fraStep[step]->setEnabled(true);
    SetStepCaptions(step);
    UpdateNavButtons(step);
  }
  ProcessPendingEvents();
}

void frmWizard::SetStepCaptions(int step) {
  setWindowTitle(Q(AppSession().messages.title()));
  lblStep->setText(QRes((step + 1) * 1000L));
  lblStepInfo->setText(QRes((step + 1) * 1000L + 1));
}

void frmWizard::UpdateNavButtons(int step) {
  current_step_ = step;
  for (QPushButton* button : cmdNav) {
    button->setVisible(true);
    button->setEnabled(true);
  }
  QPushButton* next = cmdNav[kNext];
  next->setText(QRes(kResNext));
  switch (step) {
    case 0:
      cmdNav[kBack]->setVisible(false);
      cmdNav[kBack]->setEnabled(false);
      next->setEnabled(AppSession().goBLProjInfo->isXMLValid());
      break;
    case 1:
      next->setEnabled(!txtProjName->text().isEmpty() && !txtProjLoc->text().isEmpty());
      break;
    case kRunStep:
      cmdNav[kBack]->setVisible(false);
      cmdNav[kBack]->setEnabled(false);
      // Cancel stops the run while it goes on.
      cmdNav[kCancel]->setVisible(!run_finished_);
      cmdNav[kCancel]->setEnabled(!run_finished_ && cancel_.load() == 0);
      // Next ends the program, so it waits for the run to be over, also
      // when the buttons are refreshed after Help.
      next->setEnabled(run_finished_);
      next->setText(QRes(kResFinish));
      break;
  }
  MakeNextDefault();
}

bool frmWizard::CompleteStep(int step) {
  bool result = false;
  try {
    BLProjInfo& d = *AppSession().goBLProjInfo;
    switch (step) {
      case 1:
        d.SetVLPName(S(txtProjName->text()));
        d.SetVLPFolder(S(txtProjLoc->text()));
        d.SetVLPDBType(static_cast<int32_t>(cboDBType->currentData().toLongLong()));
        d.SetVLPDBDisplayName(S(cboDBType->currentText()));
        d.SetVLPDesc(S(txtProjDesc->toPlainText()));
        result = d.ValidateVLPSettings(*AppSession().goNewProjDef, AppSession().gdictDBDrivers);
        break;
      case 2:
        d.SetCreateTraces(Chosen(chkTraces, fraStep[2]));
        d.SetCreateExtTraces(Chosen(chkExtTraces, fraStep[2]));
        d.SetCreateDisc(Chosen(chkDisc, fraStep[2]));
        d.SetCreateHist(Chosen(chkHistory, fraStep[2]));
        result = true;
        break;
      case 3:
        result = SaveExtProjLocations(fgExtProjects->row_records(), *AppSession().goBLProjInfo,
                                      AppSession().messages);
        break;
      default:
        result = true;
    }
  } catch (...) {
    AppSession().messages.ReportProcError("frmWizard.CompleteStep", "");
    result = false;
  }
  MakeNextDefault();
  ProcessPendingEvents();
  return result;
}

void frmWizard::UpdateExtTracesOption() {
  chkExtTraces->setEnabled(chkTraces->isChecked() &&
                           AppSession().goBLProjInfo->isBLXMLContainsExtTraces());
}

void frmWizard::ClickNav(int index) {
  // A click that arrives while another is handled (the window processes
  // events meanwhile) would act on a step that is about to change.
  if (handling_click_ || index < kHelp || index > kCancel) return;
  handling_click_ = true;
  setCursor(Qt::WaitCursor);
  cmdNav[kNext]->setEnabled(false);
  cmdNav[kCancel]->setEnabled(false);
  ProcessPendingEvents();
  switch (index) {
    case kHelp:
      gbHelpShown = true;
      ShowHelp(help_file_.empty() ? FindHelpFile(GetProgramDirectory()) : help_file_,
               kHelpContextWizard);
      UpdateNavButtons(current_step_);
      break;
    case kBack:
      ShowStep(current_step_ - 1, 1);
      break;
    case kNext:
      if (!CompleteStep(current_step_)) {
        UpdateNavButtons(current_step_);
      } else if (current_step_ == kRunStep) {
        close();
      } else {
        ShowStep(current_step_ + 1, 2);
      }
      break;
    case kCancel:
      if (run_in_progress_) {
        AskToStopRun();
        if (cancel_.load() == 0) cmdNav[kCancel]->setEnabled(true);
      } else {
        close();
      }
      break;
  }
  unsetCursor();
  handling_click_ = false;
}

}  // namespace vl
