// Step 3: the external projects the baseline refers to, each with the
// location of the project file that stands for it. Completing the step
// checks the locations and then the whole baseline for the run planned
// (on a worker thread, with its progress shown): problems that would stop
// the run keep the user here; parts of the baseline that would not be
// copied are listed and the user decides whether to go on.
#pragma once

#include "ui/wizard_step_page.h"

namespace vl {

class ExtProjectsGrid;

class ExtProjectsPage : public WizardStepPage {
 public:
  ExtProjectsPage();

  // Columns and headings of the grid.
  void SetUpGrid();
  // First shown for a baseline: one row per external project.
  void initializePage() override;
  // SaveExtProjLocations, then the check of the baseline.
  bool validatePage() override;

 private:
  // The deep check of the baseline with the contents chosen and the
  // projects located; true when the run may go on.
  bool CheckBaselineForTheRun();

  ExtProjectsGrid* fgExtProjects;
};

}  // namespace vl
