#include "copy/insert_sql.h"

#include "copy/db_conventions.h"

namespace vl {

std::string LinkRowInsertSQL(const std::string& table, const char* firstColumn,
                             const char* secondColumn, int32_t firstValue, int32_t secondValue) {
  return "INSERT INTO " + table + "(" + firstColumn + "," + kCrLf + secondColumn + kCrLf +
         ") VALUES (" + SqlLong(firstValue) + ", " + kCrLf + SqlLong(secondValue) + kCrLf + ")";
}

std::string ColumnPerLineInsertSQL(const std::string& table,
                                   const std::vector<const char*>& columns,
                                   const std::vector<std::string>& values) {
  std::string sql = "INSERT INTO " + table + " (" + kCrLf;
  for (size_t i = 0; i < columns.size(); ++i)
    sql += std::string(columns[i]) + (i + 1 < columns.size() ? ", " : "") + kCrLf;
  sql += ") VALUES (";
  for (size_t i = 0; i < values.size(); ++i)
    sql += values[i] + (i + 1 < values.size() ? std::string(", ") + kCrLf : std::string(kCrLf));
  return sql + ")";
}

}  // namespace vl
