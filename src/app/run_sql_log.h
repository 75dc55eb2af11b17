// The statements of one creation run, as its new project's database ran
// them, written to a file that the database's own shell replays
// (`sqlite3 NEW.db < FILE`, `psql -f FILE`), and counted.
//
// The run also opens external projects; their statements are not the new
// project's and are left out. The new project's database is the first one
// the run reports a statement for: creating it is the run's first step.
#pragma once

#include <cstdio>
#include <string>

#include "host/project/project.h"

namespace vl {

class RunSqlLog {
 public:
  RunSqlLog() = default;
  // Closes the file (errors go unreported; call Close() to see them).
  ~RunSqlLog();
  RunSqlLog(const RunSqlLog&) = delete;
  RunSqlLog& operator=(const RunSqlLog&) = delete;

  // Starts writing to `path`, replacing what it held. On failure returns
  // false with `error` naming the file and the reason; the log then only
  // counts. Without a call to Open the log only counts.
  bool Open(const std::string& path, std::string& error);

  // Takes one statement that `database` ran: written as it stands, followed
  // by ";" and a line break, when `database` is the run's new database;
  // ignored otherwise.
  void Take(const std::string& database, const std::string& statement);

  // Flushes and closes the file. False (with `error`) when something could
  // not be written: the file is then incomplete.
  bool Close(std::string& error);

  // Statements taken from the new project's database.
  long statements() const { return statements_; }
  // The new project's database as the data services name it ("" before
  // its first statement).
  const std::string& database() const { return database_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string database_;
  long statements_ = 0;
  bool write_failed_ = false;
};

// Hands every statement that `projects` runs from now on to `log`;
// nullptr stops it. Does nothing when the application cannot report
// statements.
void AttachRunSqlLog(ProjectApplication* projects, RunSqlLog* log);

}  // namespace vl
