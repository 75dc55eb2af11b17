// Step 1: the new project's name, folder, database and description. The
// place is checked as it is typed, and what cannot be used is said beside
// its field with Next disabled: a folder without its whole path, a folder
// that cannot be written or created, the baseline folder or one inside it,
// a folder that already holds the project, a name no file can take, and on
// PostgreSQL the server settings. Next asks the server itself (on a worker
// thread), then stores the four values and validates the settings, which
// may ask to create the folder.
#pragma once

#include <vector>

#include "baseline/check/target_check.h"
#include "ui/wizard_step_page.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vl {

class ProblemNote;

// Where a new project goes when the installation names no projects
// folder: a folder of the project's name in "Velloq Projects" (resource
// 2202) below the user's documents folder (from the XDG user folders),
// or below the home folder when there is no documents folder.
std::string DefaultProjectFolder(const std::string& projectName);

class NewProjectPage : public WizardStepPage {
 public:
  // The type code of the database entry that needs no configuration.
  static constexpr long kEmbeddedDBTypeCode = 1;

  NewProjectPage();

  // The database list: the entries of RetrieveDrivers (entry i has the
  // type code i + 1), entry 0 selected. Throws VlError when the drivers
  // cannot be read.
  void FillDatabaseList();
  // Selects the first database entry whose type code is `code`; nothing
  // when there is none.
  void SelectDBType(long code);

  // First shown for a baseline: the descriptor's name, folder (or the
  // default folder), description and database entry.
  void initializePage() override;
  // A name and a folder are given and the check found nothing wrong.
  bool isComplete() const override;
  // Completes the step (see the file comment); false keeps the user here.
  bool validatePage() override;

  void BrowseProjectFolder();
  void ConfigureDatabase();
  void DatabaseTypeChosen();

 private:
  TargetChoice Choice() const;
  // The quick check of the place (no server asked), shown beside the
  // fields.
  void Recheck();
  void ShowProblems(const std::vector<TargetProblem>& problems);
  // The check with the server asked; false (problems shown) when it
  // cannot be used or the user cancelled.
  bool CheckWithServer();
  bool Store();

  QLineEdit *txtProjName, *txtProjLoc;
  QPlainTextEdit* txtProjDesc;
  QComboBox* cboDBType;
  QPushButton *cmdProjBrowse, *cmdDBConfig;
  ProblemNote *name_note_, *folder_note_, *database_note_;
  std::string checked_folder_;  // the folder the last check made absolute and normal
  bool usable_ = false;
};

}  // namespace vl
