// The rows of a project database that a verification compares: every
// verified table read with one SELECT, and the objects' IDs by GUID.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/verify/table_specs.h"
#include "app/verify/verify_types.h"
#include "host/db/data_services.h"
#include "host/text/variant.h"

namespace vl::verify {

class ProjectRows {
 public:
  using Row = std::vector<Cell>;  // in the order of ColumnsOf(spec)

  // Reads every table of VerifiedTables() from `ds`. Throws the VlError
  // of the data services when a table cannot be read.
  void Read(DataServices& ds);

  // The rows of `table` as read ("" tables have none).
  const std::vector<Row>& Rows(const std::string& table) const;

  // The ID of the row of `table` whose VLGUID is `guid`; an unknown cell
  // naming the GUID when there is none.
  Cell IdOf(const std::string& table, const std::string& guid) const;
  bool Has(const std::string& table, const std::string& guid) const;
  // The value of `column` in the row of `table` whose VLGUID is `guid`; an
  // unknown cell when there is none.
  Cell ValueOf(const std::string& table, const std::string& guid, const std::string& column) const;

  // Every row of `table` whose `column` holds `value`.
  std::vector<const Row*> RowsWhere(const std::string& table, const std::string& column,
                                    const std::string& value) const;

  // Number of rows read in all.
  size_t RowCount() const;

 private:
  std::unordered_map<std::string, std::vector<Row>> rows_;
  // table -> (VLGUID -> index of its row)
  std::unordered_map<std::string, std::unordered_map<std::string, size_t>> by_guid_;
};

// A database value as the verification compares it.
Cell CellOf(const Variant& value);

// Index of `column` in ColumnsOf(spec); throws std::out_of_range.
size_t ColumnIndex(const TableSpec& spec, const std::string& column);

}  // namespace vl::verify
