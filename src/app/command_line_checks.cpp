#include "app/command_line_checks.h"

#include <chrono>
#include <ostream>

#include "baseline/bl_proj_info.h"
#include "errors/message_sink.h"
#include "host/text/messages.h"

namespace vl {

namespace {

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Summary(const CheckProblems& problems) {
  const size_t stops = problems.Count(CheckSeverity::kStopsRun);
  const size_t losses = problems.Count(CheckSeverity::kLosesData);
  return Plural(stops, "problem that stops", "problems that stop") + " the run, " +
         Plural(losses, "that loses", "that lose") + " data, " +
         Plural(problems.Count(CheckSeverity::kNote), "note", "notes");
}

}  // namespace

bool ReportTargetCheck(const TargetChoice& choice, TargetCheckResult& result, std::ostream& err) {
  result = CheckTarget(choice);
  for (const TargetProblem& p : result.problems)
    err << "vlbaseline: " << TargetFieldText(p.field) << ": " << p.text << "\n";
  return result.ok();
}

void ReportBaselineCheck(const BaselineCheckResult& result, bool quiet, std::ostream& err) {
  const CheckProblems& problems = result.problems;
  size_t shown = 0;
  for (const CheckProblem& p : problems.listed()) {
    if (quiet && p.severity == CheckSeverity::kNote) continue;
    err << "vlbaseline: " << FormatProblem(p) << "\n";
    ++shown;
  }
  if (problems.unlisted() > 0)
    err << "vlbaseline: " << problems.unlisted() << " more problems are not listed\n";
  if (shown > 0 || problems.unlisted() > 0)
    err << "vlbaseline: the baseline check found " << Summary(problems) << "\n";
  if (result.cancelled) err << "vlbaseline: the baseline check was cancelled\n";
}

bool CheckBaselineBeforeRun(Session& session, const std::string& projectTitle, bool askToGoOn,
                            bool quiet, std::ostream& err, double& seconds) {
  const auto start = std::chrono::steady_clock::now();
  BaselineCheckInput input = CheckInputOf(*session.goBLProjInfo, true);
  input.project_title = projectTitle;
  const BaselineCheckResult result = CheckBaseline(input);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ReportBaselineCheck(result, quiet, err);
  if (result.cancelled) return false;
  if (result.problems.StopsRun()) {
    err << "vlbaseline: nothing was created: mend the baseline, or choose not to copy what "
           "holds the problems\n";
    return false;
  }
  if (!askToGoOn || !result.problems.LosesData()) return true;
  return session.messages.AskUser(
             "Parts of the baseline listed above would not be copied. Create the project "
             "anyway?",
             vbYesNo) == vbYes;
}

bool CheckWholeBaseline(Session& session, std::ostream& out, std::ostream& err) {
  const BaselineCheckResult result = CheckBaseline(CheckInputOf(*session.goBLProjInfo, false));
  ReportBaselineCheck(result, false, err);
  out << "Checked:     " << Plural(result.files_read, "file", "files") << "; "
      << Summary(result.problems) << "\n";
  return !result.cancelled && !result.problems.StopsRun() && !result.problems.LosesData();
}

}  // namespace vl
