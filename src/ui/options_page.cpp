#include "ui/options_page.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/mod_wizard.h"
#include "ui/frm_wizard.h"
#include "ui/page_controls.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

QCheckBox* Choice(const char* name, long id) {
  auto* box = Tagged(new QCheckBox, id);
  box->setObjectName(name);
  return box;
}

void ShowCheck(QCheckBox* box, bool held, bool chosen) {
  box->setEnabled(held);
  box->setChecked(chosen);
}

// The effective choice of a box: one that cannot be used chooses nothing,
// whatever mark it keeps.
bool Chosen(const QCheckBox* box, const QWidget* step) {
  return box->isChecked() && box->isEnabledTo(step);
}

}  // namespace

OptionsPage::OptionsPage() : WizardStepPage(frmWizard::kOptionsStep) {
  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(0, 0, 0, 0);
  chkTraces = Choice("chkTraces", 3002);
  chkExtTraces = Choice("chkExtTraces", 3003);
  chkHistory = Choice("chkHistory", 3004);
  chkDisc = Choice("chkDisc", 3005);
  layout->addWidget(chkTraces);
  auto* indented = new QHBoxLayout;
  indented->addSpacing(24);
  indented->addWidget(chkExtTraces, 1);
  layout->addLayout(indented);
  layout->addWidget(chkHistory);
  layout->addWidget(chkDisc);
  layout->addStretch(1);
  connect(chkTraces, &QCheckBox::toggled, this, [this] { UpdateExtTracesOption(); });
}

void OptionsPage::initializePage() {
  if (!FirstShownForThisBaseline()) return;
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  ShowCheck(chkTraces, d.isBLXMLContainsTraces(), d.CreateTraces());
  ShowCheck(chkExtTraces, d.isBLXMLContainsExtTraces(), d.CreateExtTraces());
  ShowCheck(chkDisc, d.isBLXMLContainsDisc(), d.CreateDisc());
  ShowCheck(chkHistory, d.isBLXMLContainsHist(), d.CreateHist());
  UpdateExtTracesOption();
}

bool OptionsPage::validatePage() {
  BLProjInfo& d = *AppSession().goBLProjInfo;
  d.SetCreateTraces(Chosen(chkTraces, this));
  d.SetCreateExtTraces(Chosen(chkExtTraces, this));
  d.SetCreateDisc(Chosen(chkDisc, this));
  d.SetCreateHist(Chosen(chkHistory, this));
  return true;
}

void OptionsPage::UpdateExtTracesOption() {
  chkExtTraces->setEnabled(chkTraces->isChecked() &&
                           AppSession().goBLProjInfo->isBLXMLContainsExtTraces());
}

}  // namespace vl
