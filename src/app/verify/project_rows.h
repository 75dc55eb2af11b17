// The rows of a project database that a verification compares: every
// verified table read once, held compactly (the texts of all values of a
// table in one buffer), and the objects' rows by GUID.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/verify/table_columns.h"
#include "app/verify/verify_types.h"
#include "host/db/data_services.h"
#include "host/text/variant.h"

namespace vl::verify {

// The rows of one table, in the columns of ColumnsOf(layout).
class TableRows {
 public:
  explicit TableRows(size_t width = 0) : width_(width) {}
  size_t size() const { return width_ ? null_.size() / width_ : 0; }
  bool Null(size_t row, size_t col) const { return null_[row * width_ + col] != 0; }
  std::string_view Text(size_t row, size_t col) const;
  Cell Get(size_t row, size_t col) const;
  // True when the value equals `c` (an unknown cell equals nothing).
  bool Equals(size_t row, size_t col, const Cell& c) const;

  // Appends the rows of `rs` (its columns in the table's order). Throws
  // std::length_error when the texts outgrow what one table can hold.
  void Append(Recordset& rs);

 private:
  void Push(const Cell& c);
  size_t width_;
  std::vector<uint32_t> ends_;  // end of each value's text in text_
  std::vector<uint8_t> null_;
  std::string text_;
};

class ProjectRows {
 public:
  // Reads every table of VerifiedTables() from `ds`, an object table in
  // slices by its ID so that no more than a slice is ever held twice.
  // Throws the VlError of the data services when a table cannot be read.
  void Read(DataServices& ds);

  const TableRows& Rows(const std::string& table) const;

  // The row of `table` whose VLGUID is `guid`.
  std::optional<size_t> RowOf(const std::string& table, std::string_view guid) const;
  bool Has(const std::string& table, std::string_view guid) const {
    return RowOf(table, guid).has_value();
  }
  // The ID of that row; an unknown cell naming the GUID when there is none.
  Cell IdOf(const std::string& table, const std::string& guid) const;

  // The rows of `table` whose `column` holds `value`.
  std::vector<size_t> RowsWhere(const std::string& table, const std::string& column,
                                std::string_view value) const;

  // Number of rows read in all.
  size_t RowCount() const;

 private:
  std::unordered_map<std::string, TableRows> rows_;
  // table -> (VLGUID -> its row); the keys view the table's texts.
  std::unordered_map<std::string, std::unordered_map<std::string_view, size_t>> by_guid_;
};

// A database value as the verification compares it.
Cell CellOf(const Variant& value);

// Index of `column` in ColumnsOf(layout); throws std::out_of_range.
size_t ColumnIndex(const TableLayout& layout, const std::string& column);

}  // namespace vl::verify
