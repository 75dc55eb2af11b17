#include "copy/insert_sql.h"

#include "copy/db_conventions.h"

namespace vl {

// These statements are written several times per requirement: each is
// built in one string of the right size.

std::string LinkRowInsertSQL(const std::string& table, const char* firstColumn,
                             const char* secondColumn, int32_t firstValue, int32_t secondValue) {
  std::string sql;
  sql.reserve(table.size() + 80);
  sql.append("INSERT INTO ").append(table).append("(").append(firstColumn).append(",");
  sql.append(kCrLf).append(secondColumn).append(kCrLf).append(") VALUES (");
  sql.append(SqlLong(firstValue)).append(", ").append(kCrLf);
  sql.append(SqlLong(secondValue)).append(kCrLf).append(")");
  return sql;
}

std::string ColumnPerLineInsertSQL(const std::string& table,
                                   const std::vector<const char*>& columns,
                                   const std::vector<std::string>& values) {
  size_t size = table.size() + 32;
  for (const char* column : columns) size += std::char_traits<char>::length(column) + 4;
  for (const std::string& value : values) size += value.size() + 4;
  std::string sql;
  sql.reserve(size);
  sql.append("INSERT INTO ").append(table).append(" (").append(kCrLf);
  for (size_t i = 0; i < columns.size(); ++i) {
    sql.append(columns[i]);
    if (i + 1 < columns.size()) sql.append(", ");
    sql.append(kCrLf);
  }
  sql.append(") VALUES (");
  for (size_t i = 0; i < values.size(); ++i) {
    sql.append(values[i]);
    if (i + 1 < values.size()) sql.append(", ");
    sql.append(kCrLf);
  }
  sql.push_back(')');
  return sql;
}

}  // namespace vl
