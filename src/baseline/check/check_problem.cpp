#include "baseline/check/check_problem.h"

#include <utility>

namespace vl {

const char* SeverityText(CheckSeverity severity) {
  switch (severity) {
    case CheckSeverity::kStopsRun:
      return "stops the run";
    case CheckSeverity::kLosesData:
      return "loses data";
    case CheckSeverity::kNote:
      break;
  }
  return "note";
}

std::string FormatProblem(const CheckProblem& problem) {
  std::string out;
  if (!problem.file.empty()) {
    out = problem.file;
    if (problem.line > 0) out += ":" + std::to_string(problem.line);
    out += ": ";
  }
  out += SeverityText(problem.severity);
  out += ": ";
  if (!problem.element.empty()) out += problem.element + ": ";
  return out + problem.text;
}

void CheckProblems::Add(CheckProblem problem) {
  const size_t i = Index(problem.severity);
  ++counts_[i];
  if (listed_counts_[i] >= limit_) {
    ++unlisted_;
    return;
  }
  ++listed_counts_[i];
  listed_.push_back(std::move(problem));
}

}  // namespace vl
