// A run report for people at the end of the tool's output, and for
// programs as one JSON document.
#pragma once

#include <ostream>

#include "app/run_report.h"

namespace vl {

// The summary of a creation: the status and where the project is, what was
// copied per kind, what waits for which other project and how it gets
// completed, the messages (at most `maxMessages`, then how many more), and
// the results page. One fact per line, indented under the status.
void WriteSummaryText(const RunReport& report, std::ostream& out, size_t maxMessages = 10);

// "3 groups, 5 users and 30 requirements": the kinds copied, in the run's
// order; "nothing" when none was.
std::string CopiedText(const CopiedObjects& copied);

// "no messages", or "1 error, 2 warnings and 3 notes".
std::string MessageCountsText(const RunReport& report);
// One message as one line: "severity: file:line: element: text", the
// place's parts that are known.
std::string MessageLine(const ReportMessage& m);

// The report as one JSON object (see README.md, "Output for scripts"):
// "command", "status", "exit_status", "reason", "baseline", "project",
// "counts", "messages", "pending", "results_page", "review_page",
// "results_lines", "verified" (with --verify), "seconds". Members that do
// not apply to the command are left out; their names and types never
// change.
void WriteReportJson(const RunReport& report, std::ostream& out);

}  // namespace vl
