// Step 4: the review. The page that sums up the plan is written beside the
// new project file and shown; the button that goes on reads "Create",
// since it starts the creation.
#pragma once

#include "ui/wizard_step_page.h"

class QCheckBox;
class QTextBrowser;

namespace vl {

class ReviewStepPage : public WizardStepPage {
 public:
  ReviewStepPage();

  // CreateReviewHTML, then the page shown (whatever the result).
  void initializePage() override;
  // The new project's place is checked once more: something may have
  // taken it since step 1 (another run, another program).
  bool validatePage() override;

 private:
  QTextBrowser* webReview;
  // Verify the new project against the baseline after creating it.
  QCheckBox* chkVerify;
};

}  // namespace vl
