// Step 0: the baseline. The folder comes only from the folder dialog and
// is taken only when the descriptor accepts it; the baseline's label, time
// stamp, description and contents are shown below it. Next needs a valid
// baseline.
#pragma once

#include "ui/wizard_step_page.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vl {

class BaselinePage : public WizardStepPage {
 public:
  BaselinePage();

  // The folder box from BLXMLLoc.
  void initializePage() override;
  bool isComplete() const override;

  // cmdBLBrowse: the folder dialog, starting at the folder shown; a folder
  // chosen is validated (ValidateBLProj) and shown only when valid; the
  // details and Next follow the descriptor.
  void BrowseBaseline();
  // The details of a valid baseline; empty boxes otherwise.
  void ShowBaselineDetails();

 private:
  QLineEdit *txtBLLoc, *txtBLLabel, *txtBLTimeStamp, *txtBLIncOptions;
  QPlainTextEdit* txtBLDesc;
  QPushButton* cmdBLBrowse;
};

}  // namespace vl
