// The wizard window: six steps shown one at a time (baseline, new project,
// options, external projects, review, creation run) with the step's title
// and explanation above and the buttons Help, Back, Next and Cancel below.
// Every step's data lives in AppSession().goBLProjInfo; a step's controls are filled
// from it when the step is shown and stored back when it is completed.
#pragma once

#include <QDialog>
#include <QVariant>
#include <functional>
#include <string>

#include "errors/run_cancelled.h"
#include "host/project/new_project_definition.h"
#include "ui/ui_session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class QTimer;

namespace vl {

class ExtProjectsGrid;
class ImageControl;
class ResultsView;

// The modal dialogs the window opens. Tests put their own in place.
struct WizardDialogs {
  std::function<std::string(QWidget* owner, const std::string& prompt, const std::string& start)>
      browse_for_folder;
  // The location browser of the external projects (path replaced; false
  // when cancelled).
  std::function<bool(QWidget* owner, std::string& path)> browse_for_project_file;
  std::function<void(QWidget* owner, NewProjectDefinition& definition)> configure_database;

  // The standard dialogs.
  static WizardDialogs Standard();
};

class frmWizard : public QDialog {
 public:
  static constexpr int kStepCount = 6;
  static constexpr int kRunStep = 5;
  enum NavButton { kHelp = 0, kBack = 1, kNext = 2, kCancel = 3 };
  // The resource id of the window's title (and of every message box's).
  static constexpr long kResTitle = 200;
  // The message shown when the window is closed during the creation run.
  static constexpr long kResCloseDuringRun = 6010, kResStopRun = 6011;
  // The type code of the database entry that needs no configuration.
  static constexpr long kEmbeddedDBTypeCode = 1;

  explicit frmWizard(WizardDialogs dialogs = WizardDialogs::Standard(), QWidget* parent = nullptr);
  ~frmWizard() override;

  // Loads the window when it is not loaded yet (resource texts and font,
  // centred on the screen, step 0 shown); then fills the database list with
  // the entries of RetrieveDrivers (entry i has the type code i + 1), selects
  // entry 0 and prepares the external-projects grid. Throws VlError when
  // the drivers cannot be read (start-up then fails).
  void init();

  // Fills step `step` from the descriptor and shows it, leaving the current
  // step; step 5 arms the creation run. Nothing changes once on step 5.
  void ShowStep(int step, int direction);
  // Window title, step title ((step + 1) * 1000) and explanation (+ 1).
  void SetStepCaptions(int step);
  // Records `step` as current and sets the buttons for it.
  void UpdateNavButtons(int step);
  // Stores and checks the input of `step`; false keeps the user there.
  bool CompleteStep(int step);
  // Selects the first database entry whose type code is `code`; nothing
  // when there is none.
  void SelectDBType(long code);
  void UpdateExtTracesOption();
  void ShowBaselineDetails();
  // True once the window has unloaded (a QVariant holding a bool).
  QVariant isUnloaded() const { return QVariant(unloaded_); }

  // The user's actions.
  void ClickNav(int index);
  void BrowseBaseline();
  void BrowseProjectFolder();
  void ConfigureDatabase();
  void DatabaseTypeChosen();
  // The creation run, started by tmrExecuteActions once step 5 is shown.
  void ExecuteActionsTimer();

  int current_step() const { return current_step_; }
  // The run has started and still holds the new project.
  bool run_in_progress() const { return run_in_progress_; }
  bool run_finished() const { return run_finished_; }
  // The help file the Help button opens; by default the one FindHelpFile
  // finds when the button is pressed.
  void SetHelpFile(const std::string& path) { help_file_ = path; }
  // Runs once the window has unloaded: the program ends.
  std::function<void()> on_unloaded;

  // The controls, by their names.
  QLabel *lblStep, *lblStepInfo;
  ImageControl* imgWizard;
  QPushButton* cmdNav[4];
  QStackedWidget* fraSteps;
  QWidget* fraStep[kStepCount];
  QLineEdit *txtBLLoc, *txtBLLabel, *txtBLTimeStamp, *txtBLIncOptions;
  QPlainTextEdit* txtBLDesc;
  QPushButton* cmdBLBrowse;
  QLineEdit *txtProjName, *txtProjLoc;
  QPlainTextEdit* txtProjDesc;
  QComboBox* cboDBType;
  QPushButton *cmdProjBrowse, *cmdDBConfig;
  QCheckBox *chkTraces, *chkExtTraces, *chkHistory, *chkDisc;
  ExtProjectsGrid* fgExtProjects;
  QTextBrowser* webReview;
  ResultsView* txtResults;
  QTimer* tmrExecuteActions;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Escape does not close the wizard: only Cancel does.
  void reject() override {}

 private:
  // Layout (frm_wizard_layout.cpp).
  void BuildControls();
  QWidget* BuildMessageFrame();
  QWidget* BuildBaselineFrame();
  QWidget* BuildProjectFrame();
  QWidget* BuildOptionsFrame();
  QWidget* BuildExtProjectsFrame();
  QWidget* BuildReviewFrame();
  QWidget* BuildRunFrame();
  QWidget* BuildButtonRow();
  void ConnectEvents();

  void Load();
  void CenterOnScreen();
  void FillStep(int step);
  void ShowReviewPage();
  void FinishRun();
  void MakeNextDefault();
  // Asks whether to stop the run going on; sets the cancel request on yes.
  void AskToStopRun();
  void ProcessPendingEvents();

  WizardDialogs dialogs_;
  std::string help_file_;
  int current_step_ = 0;
  bool loaded_ = false;
  bool unloaded_ = false;
  bool handling_click_ = false;
  bool run_in_progress_ = false;
  bool run_finished_ = false;
  // Set to stop the run (Cancel during the run).
  CancelRequest cancel_{0};
};

// The one wizard form of the process (owned by Main; null outside it).
extern frmWizard* gfrmWizard;

}  // namespace vl
