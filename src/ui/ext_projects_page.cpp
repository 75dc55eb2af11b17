#include "ui/ext_projects_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/ext_project_locations.h"
#include "app/mod_wizard.h"
#include "baseline/check/baseline_check.h"
#include "ui/background_task.h"
#include "ui/ext_projects_grid.h"
#include "ui/frm_wizard.h"
#include "ui/page_controls.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

constexpr long kResChecking = 4200, kResCheckingFile = 4201, kResStopsRun = 4202,
               kResLosesData = 4203, kResNotListed = 4204;

// `summary`, then every problem of `severity` on a line of its own.
std::string ProblemList(const std::string& summary, const CheckProblems& problems,
                        CheckSeverity severity) {
  std::string text = summary + "\n";
  for (const CheckProblem& p : problems.listed())
    if (p.severity == severity) text.append("\n").append(FormatProblem(p));
  if (problems.unlisted() > 0)
    text.append("\n").append(
        AppSession().messages.ResFormat(kResNotListed, {std::to_string(problems.unlisted())}));
  return text;
}

}  // namespace

ExtProjectsPage::ExtProjectsPage() : WizardStepPage(frmWizard::kExtProjectsStep) {
  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(0, 0, 0, 0);
  fgExtProjects = new ExtProjectsGrid;
  fgExtProjects->setObjectName("fgExtProjects");
  layout->addWidget(Caption(4007, fgExtProjects));
  layout->addWidget(fgExtProjects, 1);
  fgExtProjects->location_browser = [this](std::string& path) {
    return form().dialogs().browse_for_project_file(&form(), path);
  };
}

void ExtProjectsPage::SetUpGrid() { fgExtProjects->SetUp(); }

void ExtProjectsPage::initializePage() {
  if (FirstShownForThisBaseline()) fgExtProjects->UpdateExtProjFlexGrid();
}

bool ExtProjectsPage::validatePage() {
  try {
    if (!SaveExtProjLocations(fgExtProjects->row_records(), *AppSession().goBLProjInfo,
                              AppSession().messages))
      return false;
  } catch (...) {
    AppSession().messages.ReportProcError("frmWizard.CompleteStep", "");
    return false;
  }
  return CheckBaselineForTheRun();
}

bool ExtProjectsPage::CheckBaselineForTheRun() {
  const BaselineCheckInput input = CheckInputOf(*AppSession().goBLProjInfo, true);
  const QString reading = QRes(kResCheckingFile);
  BaselineCheckResult result;
  const bool finished = RunInBackground(&form(), QRes(kResChecking), [&](TaskProgress& task) {
    result = CheckBaseline(input, [&](const BaselineCheckProgress& at) {
      task.Report(static_cast<long long>(at.bytes_read), static_cast<long long>(at.bytes_total),
                  reading.arg(Q(at.file)));
      return !task.cancelled();
    });
  });
  if (!finished || result.cancelled) return false;
  Messenger& messages = AppSession().messages;
  if (result.problems.StopsRun()) {
    messages.sink().ShowError(
        messages.title(),
        ProblemList(messages.ResString(kResStopsRun), result.problems, CheckSeverity::kStopsRun));
    return false;
  }
  if (!result.problems.LosesData()) return true;
  return messages.AskUser(ProblemList(messages.ResString(kResLosesData), result.problems,
                                      CheckSeverity::kLosesData),
                          vbYesNo) == vbYes;
}

}  // namespace vl
