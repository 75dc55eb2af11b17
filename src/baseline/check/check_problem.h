// What a check finds: each problem a value that says what the creation run
// would do with it and where it lies (file, line, element), so that a user
// can find and mend it before anything is written.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace vl {

enum class CheckSeverity {
  kStopsRun,   // the creation run would stop part-way
  kLosesData,  // the run goes on, without part of the baseline
  kNote,       // the run deals with it (a reference waits for another project, a message)
};

// "stops the run", "loses data", "note".
const char* SeverityText(CheckSeverity severity);

struct CheckProblem {
  CheckSeverity severity = CheckSeverity::kNote;
  std::string file;     // the baseline file as found in its folder; "" for none
  int line = 0;         // 1-based line in `file`; 0 when none applies
  std::string element;  // path from the root element: "PROJECT/Users/User[2]/@GroupName"
  std::string text;     // what is wrong and what the run does about it
};

// "FILE:LINE: SEVERITY: ELEMENT: TEXT"; empty parts and a line of 0 are
// left out.
std::string FormatProblem(const CheckProblem& problem);

// The problems of one check in the order found. Beyond the limit of their
// severity problems are only counted: a badly damaged baseline must not
// flood the memory or the screen, and a flood of notes must not hide a
// problem that stops the run.
class CheckProblems {
 public:
  static constexpr size_t kDefaultLimit = 500;
  explicit CheckProblems(size_t limit = kDefaultLimit) : limit_(limit) {}

  void Add(CheckProblem problem);
  const std::vector<CheckProblem>& listed() const { return listed_; }
  // Found, listed or not.
  size_t Count(CheckSeverity severity) const { return counts_[Index(severity)]; }
  size_t unlisted() const { return unlisted_; }
  bool StopsRun() const { return Count(CheckSeverity::kStopsRun) > 0; }
  bool LosesData() const { return Count(CheckSeverity::kLosesData) > 0; }

 private:
  static size_t Index(CheckSeverity severity) { return static_cast<size_t>(severity); }
  size_t limit_;
  std::vector<CheckProblem> listed_;
  std::array<size_t, 3> counts_{}, listed_counts_{};
  size_t unlisted_ = 0;
};

}  // namespace vl
