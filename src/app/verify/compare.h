// Matching the rows a run was to write with the rows the project database
// holds, table by table: each expected row is found by its key columns,
// then its further columns are compared; what is left over is extra.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "app/verify/project_rows.h"
#include "app/verify/verify_types.h"

namespace vl::verify {

struct Comparison {
  std::vector<KindSummary> kinds;  // in the order of VerifiedTables()
  std::vector<Difference> differences;
  size_t differences_left_out = 0;  // beyond the limit
};

// Compares `expected` (rows by table) with `db`. At most `maxDifferences`
// differences are listed; the counts always cover all of them.
Comparison CompareRows(const std::unordered_map<std::string, std::vector<ExpectedRow>>& expected,
                       const ProjectRows& db, size_t maxDifferences);

}  // namespace vl::verify
