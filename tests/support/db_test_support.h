// Helpers for the database tests: a scratch folder removed afterwards, a
// second, independent connection for looking at what others can see, and
// every row of a database file.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/scratch_folder.h"

namespace vl::dbtest {

// A scratch folder removed afterwards.
using TempDir = vl::testing::ScratchFolder;

// A plain connection of its own to a database file.
class OtherConnection {
 public:
  explicit OtherConnection(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~OtherConnection() { sqlite3_close_v2(db_); }
  OtherConnection(const OtherConnection&) = delete;
  OtherConnection& operator=(const OtherConnection&) = delete;

  // The first column of the first row as text; "" when there is none or
  // the statement fails.
  std::string Scalar(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return out;
  }
  // True when the statements ran.
  bool Exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }

 private:
  sqlite3* db_ = nullptr;
};

// Every table of the database file `path` by name, each row as the type
// and bytes of each column ("1:5|3:abc|"), rows sorted: two databases with
// the same rows give the same tables. {"<cannot open PATH>": {}} when the
// file does not open.
inline std::map<std::string, std::vector<std::string>> AllRows(const std::string& path) {
  std::map<std::string, std::vector<std::string>> tables;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return {{"<cannot open " + path + ">", {}}};
  }
  auto each_row = [&](const std::string& sql, auto&& f) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
      while (sqlite3_step(st) == SQLITE_ROW) f(st);
    sqlite3_finalize(st);
  };
  std::vector<std::string> names;
  each_row("SELECT name FROM sqlite_master WHERE type = 'table'", [&](sqlite3_stmt* st) {
    names.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  });
  for (const std::string& name : names) {
    std::vector<std::string>& rows = tables[name];
    each_row("SELECT * FROM \"" + name + "\"", [&](sqlite3_stmt* st) {
      std::string row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        row += std::to_string(sqlite3_column_type(st, c)) + ":" +
               (text ? std::string(text, sqlite3_column_bytes(st, c)) : "") + "|";
      }
      rows.push_back(row);
    });
    std::sort(rows.begin(), rows.end());
  }
  sqlite3_close_v2(db);
  return tables;
}

}  // namespace vl::dbtest
