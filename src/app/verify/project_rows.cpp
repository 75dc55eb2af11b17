#include "app/verify/project_rows.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "host/text/convert.h"

namespace vl::verify {

Cell CellOf(const Variant& value) {
  switch (value.type()) {
    case vbEmpty:
    case vbNull:
      return NullCell();
    case vbInteger:
    case vbLong:
      return IntCell(value.AsInt());
    case vbBoolean:
      return BoolCell(value.AsBool());
    case vbString:
      return TextCell(value.AsString());
    case vbDate:
      return TextCell(FormatDateTime(value.AsDate()));
    default:
      if (value.IsNumber()) {
        const double d = value.AsDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9e15)
          return IntCell(static_cast<int64_t>(d));
        return TextCell(FormatNumber(d));
      }
      return TextCell(value.ToText());
  }
}

size_t ColumnIndex(const TableLayout& layout, const std::string& column) {
  const std::vector<std::string> columns = ColumnsOf(layout);
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i] == column) return i;
  throw std::out_of_range("no column " + column + " in " + layout.table);
}

std::string_view TableRows::Text(size_t row, size_t col) const {
  const size_t i = row * width_ + col;
  const size_t begin = i == 0 ? 0 : ends_[i - 1];
  return std::string_view(text_).substr(begin, ends_[i] - begin);
}

Cell TableRows::Get(size_t row, size_t col) const {
  return Null(row, col) ? NullCell() : TextCell(std::string(Text(row, col)));
}

bool TableRows::Equals(size_t row, size_t col, const Cell& c) const {
  if (c.unknown) return false;
  if (c.null || Null(row, col)) return c.null == Null(row, col);
  return Text(row, col) == c.text;
}

void TableRows::Push(const Cell& c) {
  text_ += c.text;
  if (text_.size() > std::numeric_limits<uint32_t>::max())
    throw std::length_error("a table's texts exceed 4 GB");
  ends_.push_back(static_cast<uint32_t>(text_.size()));
  null_.push_back(c.null ? 1 : 0);
}

void TableRows::Append(Recordset& rs) {
  for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext())
    for (size_t i = 0; i < width_; ++i) Push(CellOf(rs.GetFieldValue(i)));
}

namespace {

std::string SelectOf(const TableLayout& layout) {
  const std::vector<std::string> columns = ColumnsOf(layout);
  std::string sql = "SELECT ";
  for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + columns[i];
  return sql + " FROM " + kTableMarker + layout.table;
}

// Rows of an object table read per slice, in the order of its ID.
constexpr int kSliceRows = 20000;

}  // namespace

void ProjectRows::Read(DataServices& ds) {
  for (const TableLayout& layout : VerifiedTables()) {
    TableRows& table =
        rows_.insert_or_assign(layout.table, TableRows(ColumnsOf(layout).size())).first->second;
    const std::string select = SelectOf(layout);
    if (!layout.has_guid) {
      if (std::unique_ptr<Recordset> rs = ds.ExecuteSQL(select)) table.Append(*rs);
      continue;
    }
    // Slices by ID: a recordset holds its rows as variants, several
    // times the size of the texts kept here.
    std::string last;
    while (true) {
      std::unique_ptr<Recordset> rs =
          ds.ExecuteSQL(select + (last.empty() ? "" : " WHERE " + layout.id_column + " > " + last) +
                        " ORDER BY " + layout.id_column + " LIMIT " + std::to_string(kSliceRows));
      const size_t before = table.size();
      if (rs) table.Append(*rs);
      if (table.size() - before < static_cast<size_t>(kSliceRows)) break;
      last = std::string(table.Text(table.size() - 1, 1));
    }
    auto& index = by_guid_[layout.table];
    index.reserve(table.size());
    for (size_t i = 0; i < table.size(); ++i) index.emplace(table.Text(i, 0), i);
  }
}

const TableRows& ProjectRows::Rows(const std::string& table) const {
  static const TableRows none;
  auto it = rows_.find(table);
  return it == rows_.end() ? none : it->second;
}

std::optional<size_t> ProjectRows::RowOf(const std::string& table, std::string_view guid) const {
  auto t = by_guid_.find(table);
  if (guid.empty() || t == by_guid_.end()) return std::nullopt;
  auto it = t->second.find(guid);
  if (it == t->second.end()) return std::nullopt;
  return it->second;
}

Cell ProjectRows::IdOf(const std::string& table, const std::string& guid) const {
  if (guid.empty()) return UnknownCell("(not copied)");
  std::optional<size_t> row = RowOf(table, guid);
  if (!row) return UnknownCell("(no " + table + " row " + guid + ")");
  // An object table's columns are its GUID, then its ID.
  return Rows(table).Get(*row, 1);
}

std::vector<size_t> ProjectRows::RowsWhere(const std::string& table, const std::string& column,
                                           std::string_view value) const {
  std::vector<size_t> out;
  const TableRows& rows = Rows(table);
  const size_t c = ColumnIndex(LayoutOf(table), column);
  for (size_t i = 0; i < rows.size(); ++i)
    if (!rows.Null(i, c) && rows.Text(i, c) == value) out.push_back(i);
  return out;
}

size_t ProjectRows::RowCount() const {
  size_t n = 0;
  for (const auto& [table, rows] : rows_) n += rows.size();
  return n;
}

}  // namespace vl::verify
