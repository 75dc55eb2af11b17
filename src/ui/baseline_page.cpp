#include "ui/baseline_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/mod_wizard.h"
#include "host/text/convert.h"
#include "ui/frm_wizard.h"
#include "ui/page_controls.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {
constexpr long kResBaselinePrompt = 1100;
}

BaselinePage::BaselinePage() : WizardStepPage(frmWizard::kBaselineStep) {
  auto* grid = new QGridLayout(body());
  grid->setContentsMargins(0, 0, 0, 0);
  txtBLLoc = ShownText("txtBLLoc");
  cmdBLBrowse = Button(1003);
  cmdBLBrowse->setObjectName("cmdBLBrowse");
  grid->addWidget(Caption(1002, txtBLLoc), 0, 0);
  grid->addWidget(txtBLLoc, 0, 1);
  grid->addWidget(cmdBLBrowse, 0, 2);

  auto* details = new QGroupBox;
  auto* form = new QGridLayout(details);
  txtBLLabel = ShownText("txtBLLabel");
  txtBLTimeStamp = ShownText("txtBLTimeStamp");
  txtBLDesc = MultiLineText("txtBLDesc", true, 5);
  txtBLIncOptions = ShownText("txtBLIncOptions");
  form->addWidget(Caption(1005, txtBLLabel), 0, 0);
  form->addWidget(txtBLLabel, 0, 1);
  form->addWidget(Caption(1006, txtBLTimeStamp), 1, 0);
  form->addWidget(txtBLTimeStamp, 1, 1);
  form->addWidget(Caption(1007, txtBLDesc), 2, 0, Qt::AlignTop);
  form->addWidget(txtBLDesc, 2, 1);
  form->addWidget(Caption(1008, txtBLIncOptions), 3, 0);
  form->addWidget(txtBLIncOptions, 3, 1);
  grid->addWidget(details, 1, 0, 1, 3);
  grid->setRowStretch(2, 1);
  connect(cmdBLBrowse, &QPushButton::clicked, this, [this] { BrowseBaseline(); });
}

void BaselinePage::initializePage() {
  txtBLLoc->setText(Q(AppSession().goBLProjInfo->BLXMLLoc()));
  ShowBaselineDetails();
}

bool BaselinePage::isComplete() const { return AppSession().goBLProjInfo->isXMLValid(); }

void BaselinePage::BrowseBaseline() {
  Messenger& messages = AppSession().messages;
  std::string path = form().dialogs().browse_for_folder(
      &form(), messages.ResString(kResBaselinePrompt), S(txtBLLoc->text()));
  if (!Trim(path).empty()) {
    // The descriptor starts afresh with any folder it is given.
    const bool valid = AppSession().goBLProjInfo->ValidateBLProj(path);
    form().NewBaselineChosen();
    if (valid) txtBLLoc->setText(Q(path));
  }
  ShowBaselineDetails();
  emit completeChanged();
}

void BaselinePage::ShowBaselineDetails() {
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  const bool valid = d.isXMLValid();
  txtBLLabel->setText(valid ? Q(d.BLXMLLabel()) : QString());
  txtBLTimeStamp->setText(valid ? Q(d.BLXMLTimestamp()) : QString());
  txtBLDesc->setPlainText(valid ? Q(d.BLXMLDesc()) : QString());
  txtBLIncOptions->setText(valid ? Q(d.BLXMLOptionsList()) : QString());
}

}  // namespace vl
