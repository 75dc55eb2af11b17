#include "app/verify/project_rows.h"

#include <cmath>
#include <stdexcept>

#include "host/text/convert.h"
#include "host/text/variant.h"

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

size_t ColumnIndex(const TableSpec& spec, const std::string& column) {
  const std::vector<std::string> columns = ColumnsOf(spec);
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i] == column) return i;
  throw std::out_of_range("no column " + column + " in " + spec.table);
}

void ProjectRows::Read(DataServices& ds) {
  for (const TableSpec& spec : VerifiedTables()) {
    const std::vector<std::string> columns = ColumnsOf(spec);
    std::string sql = "SELECT ";
    for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + columns[i];
    sql += " FROM " + kTableMarker + spec.table;
    std::unique_ptr<Recordset> rs = ds.ExecuteSQL(sql);
    std::vector<Row>& rows = rows_[spec.table];
    rows.clear();
    if (!rs) continue;
    rows.reserve(rs->RecordCount());
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
      Row row;
      row.reserve(columns.size());
      for (size_t i = 0; i < columns.size(); ++i) row.push_back(CellOf(rs->GetFieldValue(i)));
      rows.push_back(std::move(row));
    }
    if (!spec.has_guid) continue;
    auto& index = by_guid_[spec.table];
    index.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) index.emplace(rows[i][0].text, i);
  }
}

const std::vector<ProjectRows::Row>& ProjectRows::Rows(const std::string& table) const {
  static const std::vector<Row> none;
  auto it = rows_.find(table);
  return it == rows_.end() ? none : it->second;
}

bool ProjectRows::Has(const std::string& table, const std::string& guid) const {
  auto t = by_guid_.find(table);
  return t != by_guid_.end() && t->second.count(guid) != 0;
}

Cell ProjectRows::ValueOf(const std::string& table, const std::string& guid,
                          const std::string& column) const {
  auto t = by_guid_.find(table);
  if (guid.empty() || t == by_guid_.end()) return UnknownCell("(not copied)");
  auto it = t->second.find(guid);
  if (it == t->second.end()) return UnknownCell("(no " + table + " row " + guid + ")");
  return rows_.at(table)[it->second][ColumnIndex(SpecOf(table), column)];
}

Cell ProjectRows::IdOf(const std::string& table, const std::string& guid) const {
  return ValueOf(table, guid, SpecOf(table).id_column);
}

std::vector<const ProjectRows::Row*> ProjectRows::RowsWhere(const std::string& table,
                                                            const std::string& column,
                                                            const std::string& value) const {
  std::vector<const Row*> out;
  const size_t c = ColumnIndex(SpecOf(table), column);
  for (const Row& row : Rows(table))
    if (!row[c].null && row[c].text == value) out.push_back(&row);
  return out;
}

size_t ProjectRows::RowCount() const {
  size_t n = 0;
  for (const auto& [table, rows] : rows_) n += rows.size();
  return n;
}

}  // namespace vl::verify
