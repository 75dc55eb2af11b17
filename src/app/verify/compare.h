// Matching the rows a run was to write with the rows the project database
// holds: each expected row, as it is derived, is found by its key columns
// (an object by its GUID) and its further columns are compared; the rows
// of the database left over at the end are extra.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

class Comparer {
 public:
  // At most `maxDifferences` differences are listed; the counts always
  // cover all of them.
  Comparer(const ProjectRows& db, size_t maxDifferences);

  // Finds `row` among the database's rows not matched yet: the first one
  // with its key whose columns all equal, else the first one with its key
  // (its columns then differ), else it is missing (or pending).
  void Compare(const ExpectedRow& row);

  // The rows never matched are extra; returns the counts and differences.
  Comparison Finish();

 private:
  struct TableState {
    const TableLayout* layout = nullptr;
    const TableRows* rows = nullptr;
    std::vector<std::string> columns;
    std::unordered_map<std::string_view, size_t> column_index;
    std::unordered_multimap<uint64_t, uint32_t> by_key;  // tables without GUID
    std::vector<bool> used;
  };
  TableState& State(const std::string& table);
  std::vector<size_t> Candidates(TableState& t, const ExpectedRow& row) const;
  KindSummary& Kind(const std::string& name);
  void Report(Difference d);
  void Extra(const TableState& t, size_t row);

  const ProjectRows& db_;
  size_t max_;
  std::unordered_map<std::string, TableState> tables_;
  std::unordered_map<std::string, KindSummary> kinds_;
  std::vector<std::string> order_;
  Comparison result_;
};

}  // namespace vl::verify
