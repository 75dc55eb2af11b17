#include "app/command_line_checks.h"

#include <algorithm>
#include <chrono>
#include <ostream>

#include "baseline/bl_proj_info.h"
#include "errors/message_sink.h"
#include "host/text/messages.h"
#include "host/text/user_text.h"

namespace vl {

namespace {

std::string Summary(const CheckProblems& problems) {
  const size_t stops = problems.Count(CheckSeverity::kStopsRun);
  const size_t losses = problems.Count(CheckSeverity::kLosesData);
  return CountText(stops, "problem that stops", "problems that stop") + " the run, " +
         CountText(losses, "that loses", "that lose") + " data, " +
         CountText(problems.Count(CheckSeverity::kNote), "note", "notes");
}

// The stage the baseline check reports its progress under, in hundredths.
constexpr const char* kCheckStage = "CheckBaseline";

const char* SeverityOf(CheckSeverity s) {
  switch (s) {
    case CheckSeverity::kStopsRun:
      return "error";
    case CheckSeverity::kLosesData:
      return "warning";
    case CheckSeverity::kNote:
      break;
  }
  return "note";
}

}  // namespace

bool ReportTargetCheck(const TargetChoice& choice, TargetCheckResult& result, std::ostream& err,
                       RunReport& report) {
  result = CheckTarget(choice);
  for (const TargetProblem& p : result.problems) {
    const std::string text = std::string(TargetFieldText(p.field)) + ": " + p.text;
    err << "vlbaseline: " << text << "\n";
    report.messages.push_back({0, "error", text, "", 0, ""});
  }
  return result.ok();
}

void ReportBaselineCheck(const BaselineCheckResult& result, bool quiet, std::ostream& err,
                         RunReport& report) {
  const CheckProblems& problems = result.problems;
  size_t shown = 0;
  for (const CheckProblem& p : problems.listed()) {
    report.messages.push_back({0, SeverityOf(p.severity), p.text, p.file, p.line, p.element});
    if (quiet && p.severity == CheckSeverity::kNote) continue;
    err << "vlbaseline: " << FormatProblem(p) << "\n";
    ++shown;
  }
  if (problems.unlisted() > 0)
    err << "vlbaseline: " << CountText(problems.unlisted(), "more problem is", "more problems are")
        << " not listed\n";
  if (shown > 0 || problems.unlisted() > 0)
    err << "vlbaseline: the baseline check found " << Summary(problems) << "\n";
  if (result.cancelled) err << "vlbaseline: the baseline check was cancelled\n";
}

BaselineCheckProgressFn CheckProgress(Messenger& messages, const CancelRequest* cancel) {
  return [&messages, cancel](const BaselineCheckProgress& p) {
    if (p.bytes_total > 0)
      messages.Progress(
          kCheckStage,
          static_cast<long>(std::min<uint64_t>(99, p.bytes_read * 100 / p.bytes_total)), 100);
    return !(cancel && cancel->load() != 0);
  };
}

bool CheckBaselineBeforeRun(Session& session, const std::string& projectTitle, bool askToGoOn,
                            bool quiet, std::ostream& err, double& seconds, RunReport& report,
                            const CancelRequest* cancel) {
  const auto start = std::chrono::steady_clock::now();
  BaselineCheckInput input = CheckInputOf(*session.goBLProjInfo, true);
  input.project_title = projectTitle;
  const BaselineCheckResult result = CheckBaseline(input, CheckProgress(session.messages, cancel));
  session.messages.Progress("", 0, 0);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ReportBaselineCheck(result, quiet, err, report);
  if (result.cancelled) return false;
  if (result.problems.StopsRun()) {
    report.reason = "the baseline holds problems that would stop the run";
    err << "vlbaseline: nothing was created: mend the baseline, or choose not to copy what "
           "holds the problems\n";
    return false;
  }
  if (!askToGoOn || !result.problems.LosesData()) return true;
  if (session.messages.AskUser(
          "Parts of the baseline listed above would not be copied. Create the project anyway?",
          vbYesNo) == vbYes)
    return true;
  report.reason = "parts of the baseline would not be copied, and the question was answered no";
  return false;
}

bool CheckWholeBaseline(Session& session, std::ostream& out, std::ostream& err, RunReport& report,
                        bool quiet, const CancelRequest* cancel) {
  const BaselineCheckResult result = CheckBaseline(CheckInputOf(*session.goBLProjInfo, false),
                                                   CheckProgress(session.messages, cancel));
  session.messages.Progress("", 0, 0);
  ReportBaselineCheck(result, quiet, err, report);
  out << "Checked:     " << CountText(result.files_read, "file", "files") << "; "
      << Summary(result.problems) << "\n";
  return !result.cancelled && !result.problems.StopsRun() && !result.problems.LosesData();
}

}  // namespace vl
