// Helpers for the database tests: a scratch folder removed afterwards, and
// a second, independent connection for looking at what others can see.
#pragma once

#include <sqlite3.h>

#include <string>

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

}  // namespace vl::dbtest
