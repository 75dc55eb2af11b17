// The tables a verification reads and compares, each with the columns
// that identify a row and the further columns compared.
#pragma once

#include <string>
#include <vector>

namespace vl::verify {

struct TableLayout {
  std::string table;
  std::string kind;                 // the kind of object its rows count for
  std::vector<std::string> key;     // columns that identify a row
  std::vector<std::string> fields;  // further columns compared
  // The column holding the row's integer ID and GUID, where it has them:
  // objects are found by GUID, and other rows refer to them by ID.
  std::string id_column;
  bool has_guid = false;
};

// Every table a creation run writes, in the order a report lists them.
const std::vector<TableLayout>& VerifiedTables();
// The layout of `table` (as VerifiedTables names it); throws
// std::out_of_range for a table that is not verified.
const TableLayout& LayoutOf(const std::string& table);
// Its columns: the key's, then the fields.
std::vector<std::string> ColumnsOf(const TableLayout& layout);

}  // namespace vl::verify
