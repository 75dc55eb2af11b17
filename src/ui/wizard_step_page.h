// What every step of the wizard shares: its number (0 to 5), its title and
// explanation from the resource file ((step + 1) * 1000 and the id after
// it), a body that scrolls when the window is too small for it, and the
// rule that a step shows what the descriptor holds when it is first shown
// for a baseline and keeps what the user entered when he comes back to it.
#pragma once

#include <QWizardPage>

namespace vl {

class frmWizard;

class WizardStepPage : public QWizardPage {
 public:
  explicit WizardStepPage(int step, QWidget* parent = nullptr);

  int step() const { return step_; }
  // Title and explanation from the resource file.
  void SetStepCaptions();
  // The anchor of the step's topic in the help file ("step1" to "step6").
  QString HelpAnchor() const;

 protected:
  frmWizard& form() const;
  // Where the step's controls go.
  QWidget* body() const { return body_; }
  // True once for each baseline chosen: the step is then filled from the
  // descriptor; otherwise it keeps what the user left in it.
  bool FirstShownForThisBaseline();

 private:
  int step_;
  QWidget* body_;
  int filled_for_ = -1;
};

}  // namespace vl
