#include "ui/wizard_step_page.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/frm_wizard.h"
#include "ui/qt_text.h"

namespace vl {

WizardStepPage::WizardStepPage(int step, QWidget* parent) : QWizardPage(parent), step_(step) {
  setObjectName(QString("fraStep%1").arg(step));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // A small screen, or a large scale factor, must not push the buttons off
  // the screen: the step scrolls instead.
  auto* scroll = new QScrollArea;
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  body_ = new QWidget;
  scroll->setWidget(body_);
  layout->addWidget(scroll);
}

void WizardStepPage::SetStepCaptions() {
  setTitle(QRes((step_ + 1) * 1000L));
  setSubTitle(QRes((step_ + 1) * 1000L + 1));
}

QString WizardStepPage::HelpAnchor() const { return QString("step%1").arg(step_ + 1); }

frmWizard& WizardStepPage::form() const { return *static_cast<frmWizard*>(wizard()); }

bool WizardStepPage::FirstShownForThisBaseline() {
  const int generation = form().baseline_generation();
  if (filled_for_ == generation) return false;
  filled_for_ = generation;
  return true;
}

}  // namespace vl
