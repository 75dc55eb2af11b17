// Step 2: what optional contents are copied. A box can be used only when
// the baseline holds that content, and the traces to external projects
// only together with the traces; the boxes keep what the user chose when
// he goes back and comes again.
#pragma once

#include "ui/wizard_step_page.h"

class QCheckBox;

namespace vl {

class OptionsPage : public WizardStepPage {
 public:
  OptionsPage();

  // First shown for a baseline: each box usable when the baseline holds
  // its content and checked as the descriptor's choice says.
  void initializePage() override;
  // Stores the four choices; a box that cannot be used chooses nothing.
  bool validatePage() override;
  // chkExtTraces usable exactly when traces are checked and the baseline
  // holds external traces.
  void UpdateExtTracesOption();

 private:
  QCheckBox *chkTraces, *chkExtTraces, *chkHistory, *chkDisc;
};

}  // namespace vl
