// The INSERT forms the package contents copiers share. Their texts keep
// the line breaks ("\r\n") the project's statement log has always shown,
// so a statement can be compared with one written by an earlier version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vl {

inline constexpr const char* kCrLf = "\r\n";

// A row linking two objects by their IDs:
//   "INSERT INTO " table "(" first "," CRLF second CRLF ") VALUES ("
//   firstValue ", " CRLF secondValue CRLF ")"
// `table` is passed as the statement names it (with the table marker when
// the table is a marked one).
std::string LinkRowInsertSQL(const std::string& table, const char* firstColumn,
                             const char* secondColumn, int32_t firstValue, int32_t secondValue);

// One column per line:
//   "INSERT INTO " table " (" CRLF c1 ", " CRLF c2 ... cN CRLF ") VALUES ("
//   v1 ", " CRLF v2 ... vN CRLF ")"
// `values` are literals, as many as `columns`.
std::string ColumnPerLineInsertSQL(const std::string& table,
                                   const std::vector<const char*>& columns,
                                   const std::vector<std::string>& values);

}  // namespace vl
