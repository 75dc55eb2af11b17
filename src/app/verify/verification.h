// Proof that a project holds its baseline: every object a creation run was
// to copy is looked for in the project's database with every field the
// copy rules give it, and every difference is named.
//
// The verification reads the baseline and the project's rows itself and
// derives each expected value from the baseline by the copy rules on its
// own, never through the copiers, so a fault in a copier shows up here as
// a difference instead of being repeated. It uses no process-wide state:
// it may run beside a creation run, or on a thread of its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/verify/verify_types.h"

namespace vl::verify {

struct VerifyRequest {
  std::string baseline;      // the baseline folder
  std::string project_file;  // NAME.vlp (SQLite or PostgreSQL project)
  // The run's choices; those not given are read from what the project
  // records (its history, trace and discussion rows).
  std::optional<bool> history, traces, discussions;
  // The folder of the resource file, for the texts a run writes without
  // history; "" leaves those texts unchecked.
  std::string resource_dir;
  // Differences listed at the most (the counts always cover all).
  size_t max_differences = 1000;
};

struct VerifyReport {
  std::string baseline, project_file;
  CopyChoices choices;
  bool choices_given = false;  // all three given, none read from the project
  std::vector<KindSummary> kinds;
  std::vector<Difference> differences;  // pending entries among them
  size_t differences_left_out = 0;
  std::vector<std::string> notes;  // what could not be checked, and why
  std::string error;               // not empty when the verification could not run
  size_t rows_read = 0;
  double seconds = 0;

  // No error, and no kind with a differing, missing or extra row.
  bool Matches() const;
};

// Verifies the project of `request`. Never throws: a baseline or project
// that cannot be read gives a report with `error` set.
VerifyReport VerifyProject(const VerifyRequest& request);

// Verifies a project a run has just created from `baseline`, with the
// choices that run took: what a run's results page shows when the user
// asks for the verification.
VerifyReport VerifyCreatedProject(const std::string& baseline, const std::string& projectFile,
                                  const CopyChoices& choices, const std::string& resourceDir);

}  // namespace vl::verify
