#include "ui/review_step_page.h"

#include <QCheckBox>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "app/mod_wizard.h"
#include "app/review_page.h"
#include "baseline/check/target_check.h"
#include "ui/frm_wizard.h"
#include "ui/page_controls.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {
constexpr long kResCreate = 104, kResVerifyAfterRun = 5002;
}

ReviewStepPage::ReviewStepPage() : WizardStepPage(frmWizard::kReviewStep) {
  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(0, 0, 0, 0);
  webReview = new QTextBrowser;
  webReview->setObjectName("webReview");
  webReview->setOpenLinks(false);
  // How the page looks here; the file itself stays as it is written.
  webReview->document()->setDefaultStyleSheet(
      "table { border-style: solid; border-color: #9aa9bf; } td { padding: 2px 6px; }"
      "p { margin-top: 4px; margin-bottom: 0px; }");
  layout->addWidget(webReview);
  chkVerify = Tagged(new QCheckBox, kResVerifyAfterRun);
  chkVerify->setObjectName("chkVerify");
  layout->addWidget(chkVerify);
}

void ReviewStepPage::initializePage() {
  setButtonText(QWizard::NextButton, QRes(kResCreate));
  CreateReviewHTML(AppSession());
  const QUrl page = QUrl::fromLocalFile(Q(AppSession().goBLProjInfo->ReviewHTMLLoc()));
  // Reviewing twice within a second writes the same file again.
  if (webReview->source() == page)
    webReview->reload();
  else
    webReview->setSource(page);
}

bool ReviewStepPage::validatePage() {
  AppSession().verify_after_run = chkVerify->isChecked();
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  TargetChoice choice;
  choice.baseline_folder = d.BLXMLLoc();
  choice.folder = d.VLPFolder();
  choice.name = d.VLPName();
  choice.database = d.VLPDBDisplayName();
  choice.databases = AppSession().gdictDBDrivers.Keys();
  choice.contact_server = false;
  const TargetCheckResult checked = CheckTarget(choice);
  for (const TargetProblem& p : checked.problems)
    if (p.field == TargetField::kFolder) {
      AppSession().messages.ShowInfoMessage(p.text);
      return false;
    }
  return true;
}

}  // namespace vl
