#include "host/db/recordset.h"

#include <strings.h>

#include "errors/vl_error.h"

namespace vl {

namespace {

// The error numbers of the classic recordset, so callers that test them
// keep working.
constexpr long kErrNoCurrentRow = 3021;
constexpr long kErrItemNotFound = 3265;
constexpr long kErrReadOnly = 3251;
constexpr const char* kSource = "VlRecordset";

}  // namespace

Recordset::Recordset(std::vector<std::string> columns, std::vector<Row> rows, RowWriter writer)
    : columns_(std::move(columns)), rows_(std::move(rows)), writer_(std::move(writer)) {
  for (Row& row : rows_)
    if (row.size() < columns_.size()) row.resize(columns_.size());
}

bool Recordset::IsEOF() const { return pos_ >= rows_.size(); }

void Recordset::MoveFirst() {
  // As the classic recordset does, leaving an edited row stores it.
  Update();
  pos_ = 0;
}

void Recordset::MoveNext() {
  if (IsEOF())
    throw VlError(kErrNoCurrentRow, kSource,
                  "Either BOF or EOF is True, or the current record has been deleted.");
  Update();
  ++pos_;
}

bool Recordset::HasField(const std::string& column) const {
  for (const std::string& c : columns_)
    if (strcasecmp(c.c_str(), column.c_str()) == 0) return true;
  return false;
}

size_t Recordset::ColumnIndex(const std::string& column) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (strcasecmp(columns_[i].c_str(), column.c_str()) == 0) return i;
  throw VlError(
      kErrItemNotFound, kSource,
      "Item cannot be found in the collection corresponding to the requested name: " + column);
}

const Variant& Recordset::GetFieldValue(const std::string& column) const {
  return GetFieldValue(ColumnIndex(column));
}

const Variant& Recordset::GetFieldValue(size_t index) const {
  if (IsEOF())
    throw VlError(kErrNoCurrentRow, kSource,
                  "Either BOF or EOF is True, or the current record has been deleted.");
  if (index >= columns_.size())
    throw VlError(kErrItemNotFound, kSource,
                  "Item cannot be found in the collection corresponding to the requested ordinal.");
  // An edited row shows its new values before it is written back.
  if (!edited_.empty()) return edited_.front()[index];
  return rows_[pos_][index];
}

void Recordset::SetFieldValue(const std::string& column, const Variant& value) {
  if (!writer_)
    throw VlError(kErrReadOnly, kSource,
                  "The recordset is read-only; the field " + column + " cannot be set.");
  const size_t index = ColumnIndex(column);
  if (IsEOF())
    throw VlError(kErrNoCurrentRow, kSource,
                  "Either BOF or EOF is True, or the current record has been deleted.");
  if (edited_.empty()) edited_.push_back(rows_[pos_]);
  edited_.front()[index] = value;
  for (size_t c : changed_)
    if (c == index) return;
  changed_.push_back(index);
}

void Recordset::Update() {
  if (changed_.empty()) return;
  // The writer throws when the database refuses; the edit then stays
  // pending so the caller may correct it or give it up.
  writer_(columns_, rows_[pos_], edited_.front(), changed_);
  rows_[pos_] = std::move(edited_.front());
  edited_.clear();
  changed_.clear();
}

}  // namespace vl
