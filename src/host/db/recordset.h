// Rows returned by the data services.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/text/variant.h"

namespace vl {

// A materialised result: column names and rows. An updatable recordset
// writes its edited current row back through its writer on Update().
class Recordset {
 public:
  using Row = std::vector<Variant>;
  // Writes the changed columns of one row back; `original` is the row as
  // read, `changed` holds the names of the columns set since.
  using RowWriter = std::function<void(const std::vector<std::string>& columns, const Row& original,
                                       const Row& edited, const std::vector<size_t>& changed)>;

  // A row may carry values behind its named columns: callers never see
  // them, the writer receives them (an updatable recordset keeps the key of
  // the row there).
  Recordset(std::vector<std::string> columns, std::vector<Row> rows, RowWriter writer = nullptr);

  // True when there is no current row (no rows, or moved past the last).
  bool IsEOF() const;
  void MoveFirst();
  void MoveNext();
  size_t RecordCount() const { return rows_.size(); }

  // The column names, in select order.
  const std::vector<std::string>& GetFields() const { return columns_; }
  bool HasField(const std::string& column) const;
  // The value of a column (name compared without regard to letter case) in
  // the current row. Throws VlError when there is no current row or no such
  // column.
  const Variant& GetFieldValue(const std::string& column) const;
  const Variant& GetFieldValue(size_t index) const;
  // Sets a column of the current row; throws VlError when the recordset is
  // read-only.
  void SetFieldValue(const std::string& column, const Variant& value);
  // Writes the current row's changes to the database; nothing when nothing
  // changed. Throws VlError on failure (the row in the database unchanged).
  void Update();

 private:
  size_t ColumnIndex(const std::string& column) const;
  std::vector<std::string> columns_;
  std::vector<Row> rows_;
  std::vector<Row> edited_;
  std::vector<size_t> changed_;
  size_t pos_ = 0;
  RowWriter writer_;
};

}  // namespace vl
