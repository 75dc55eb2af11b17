// The checks the command-line tool runs before it asks anything or writes
// anything: the new project's place (usage errors), and the deep check of
// the baseline for the run planned or for everything it holds. Each
// problem is printed and added to the run's report.
#pragma once

#include <iosfwd>

#include "app/mod_wizard.h"
#include "app/run_report.h"
#include "baseline/check/baseline_check.h"
#include "baseline/check/target_check.h"
#include "errors/run_cancelled.h"

namespace vl {

// Checks `choice`; prints each problem to `err` and adds it to `report`
// as an error. True when the place can be used.
bool ReportTargetCheck(const TargetChoice& choice, TargetCheckResult& result, std::ostream& err,
                       RunReport& report);

// Prints the problems of `result` to `err` (notes unless `quiet`) and a
// summary line when there are any; adds every problem listed to `report`
// (stopping the run as an error, losing data as a warning, a note as a
// note).
void ReportBaselineCheck(const BaselineCheckResult& result, bool quiet, std::ostream& err,
                         RunReport& report);

// The check before a run or a review page, with the contents chosen and the
// external projects located: false when a problem would stop the run (or
// the check was cancelled through `cancel`). Problems that lose data are
// listed and, when `askToGoOn`, the user is asked whether to go on
// (AskUser). `seconds` receives the check's time. `projectTitle` is the
// new project file's name without ".vlp".
bool CheckBaselineBeforeRun(Session& session, const std::string& projectTitle, bool askToGoOn,
                            bool quiet, std::ostream& err, double& seconds, RunReport& report,
                            const CancelRequest* cancel = nullptr);

// The check of everything the baseline holds, for `validate`: prints the
// problems (notes unless `quiet`) and a line for standard output. True
// when nothing would stop a run or lose data.
bool CheckWholeBaseline(Session& session, std::ostream& out, std::ostream& err, RunReport& report,
                        bool quiet = false, const CancelRequest* cancel = nullptr);

// Both checks report their progress through the session's messages (the
// stage "CheckBaseline", in hundredths of the files' bytes), end it with
// an empty stage, and stop when `cancel` is set.

}  // namespace vl
