// The wizard window: six steps shown one at a time (baseline, new project,
// options, external projects, review, creation run), each a page of its
// own, with the step's title and explanation above it, a banner at its
// side and the buttons Help, Back, Next (Create on the review, Finish after
// the run) and Cancel below. Every step's data lives in
// AppSession().goBLProjInfo; a step is filled from it when it is first
// shown for a baseline and stores into it when it is completed.
//
// The window asks before it lets anything go: Cancel, Escape or closing
// the window ask whether to leave once a baseline has been chosen, and
// during the creation run whether to stop it (the run goes on while the
// question is open).
#pragma once

#include <QRect>
#include <QVariant>
#include <QWizard>
#include <functional>
#include <string>

#include "host/project/new_project_definition.h"

namespace vl {

class WizardBanner;
class WizardStepPage;
class BaselinePage;
class NewProjectPage;
class OptionsPage;
class ExtProjectsPage;
class ReviewStepPage;
class RunPage;

// The dialogs the window opens. Tests put their own in place.
struct WizardDialogs {
  std::function<std::string(QWidget* owner, const std::string& prompt, const std::string& start)>
      browse_for_folder;
  // The location browser of the external projects (path replaced; false
  // when cancelled).
  std::function<bool(QWidget* owner, std::string& path)> browse_for_project_file;
  std::function<void(QWidget* owner, NewProjectDefinition& definition)> configure_database;
  // A yes-or-no question that does not wait for its answer: `answered`
  // runs with it once the user gives it. Returns the question's window
  // (null when there is none), which the caller may close unanswered.
  std::function<QWidget*(QWidget* owner, const std::string& question,
                         std::function<void(bool yes)> answered)>
      ask_without_waiting;

  // The standard dialogs.
  static WizardDialogs Standard();
};

// The place and size of a window that would like `wanted` on a screen
// whose free area is `area`: as large as wanted where it fits, never
// larger than the area, centred in it, never beyond its top left corner.
QRect FitWindow(QSize wanted, const QRect& area);

class frmWizard : public QWizard {
 public:
  enum Step {
    kBaselineStep = 0,
    kProjectStep,
    kOptionsStep,
    kExtProjectsStep,
    kReviewStep,
    kRunStep,
    kStepCount
  };
  // The resource id of the window's title (and of every message box's).
  static constexpr long kResTitle = 200;
  // The size the window opens with where the screen allows it.
  static constexpr QSize kWantedSize{880, 620};

  explicit frmWizard(WizardDialogs dialogs = WizardDialogs::Standard(), QWidget* parent = nullptr);
  ~frmWizard() override;

  // Loads the window when it is not loaded yet (resource texts and font,
  // fitted and centred on the screen, step 0 shown); then fills the
  // database list with the entries of RetrieveDrivers (entry i has the
  // type code i + 1), selects entry 0 and prepares the external-projects
  // grid. Throws VlError when the drivers cannot be read (start-up then
  // fails).
  void init();

  int current_step() const { return currentId(); }
  WizardStepPage& step_page(int step) const;
  NewProjectPage& project_page() const;
  RunPage& run_page() const;
  const WizardDialogs& dialogs() const { return dialogs_; }

  // A new baseline was taken (or the one taken was dropped): the later
  // steps are filled from the descriptor again when next shown.
  void NewBaselineChosen() { ++baseline_generation_; }
  int baseline_generation() const { return baseline_generation_; }

  // The help file at the current step's topic (Help and F1).
  void ShowHelpForStep();
  // The help file the Help button opens; by default the one FindHelpFile
  // finds when the button is pressed.
  void SetHelpFile(const std::string& path) { help_file_ = path; }

  // Size and place on the screen the window opens on, the banner scaled
  // to it.
  void FitOnScreen();
  // Brings the window to the front (a second start of the program asks
  // for it).
  void BringToFront();

  // True once the window has unloaded (a QVariant holding a bool).
  QVariant isUnloaded() const { return QVariant(unloaded_); }
  // Runs once the window has unloaded: the program ends.
  std::function<void()> on_unloaded;

 protected:
  // Cancel, Escape and closing the window: see the class comment.
  void reject() override;
  void done(int result) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Load();
  void AskToLeaveDuringRun();
  bool ChoicesWouldBeLost() const;

  WizardDialogs dialogs_;
  WizardBanner* banner_;
  std::string help_file_;
  int baseline_generation_ = 0;
  bool loaded_ = false;
  bool unloaded_ = false;
};

// The one wizard form of the process (owned by Main; null outside it).
extern frmWizard* gfrmWizard;

}  // namespace vl
