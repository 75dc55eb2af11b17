// A library preloaded (LD_PRELOAD) into the vlbaseline process by the
// interrupted-run tests. It counts the statements the program hands to
// SQLite (each sqlite3_exec call, and the first sqlite3_step of a
// prepared statement after it was prepared or reset), writes every one
// to a log once SQLite has run it, and kills the process with SIGKILL
// just before statement number VL_KILL_AT would run. The log then holds
// exactly the statements that ran, so the test knows which of them were
// committed: the kill point is a statement count, never a moment in time.
//
// Environment: VL_KILL_LOG (the log file, appended to), VL_KILL_AT (the
// statement to die before; none when unset or 0).
//
// Log record: "<database file>\t<result code>\t<length>\n<statement>\n",
// written with one write call.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

using ExecFn = int (*)(sqlite3*, const char*, int (*)(void*, int, char**, char**), void*, char**);
using StepFn = int (*)(sqlite3_stmt*);

int gLog = -2;  // -2: not opened yet, -1: no log
long gKillAt = 0;
long gCount = 0;
// SQLite runs statements of its own inside the program's (sqlite3_exec
// steps its statements, a CREATE INDEX reads the schema back): they are
// part of the program's statement, not statements of their own.
thread_local int gDepth = 0;

void Init() {
  if (gLog != -2) return;
  const char* log = std::getenv("VL_KILL_LOG");
  gLog = log ? open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
  const char* at = std::getenv("VL_KILL_AT");
  gKillAt = at ? std::strtol(at, nullptr, 10) : 0;
}

// Counts one statement; dies when it is the one to die before.
void BeforeStatement() {
  Init();
  if (++gCount == gKillAt) kill(getpid(), SIGKILL);
}

void Log(sqlite3* db, int rc, const char* sql) {
  if (gLog < 0) return;
  const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
  const std::string text = sql ? sql : "";
  std::string record = std::string(file ? file : "") + "\t" + std::to_string(rc) + "\t" +
                       std::to_string(text.size()) + "\n" + text + "\n";
  const char* p = record.data();
  size_t left = record.size();
  while (left > 0) {
    const ssize_t n = write(gLog, p, left);
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

template <typename Fn>
Fn Real(const char* name) {
  static_assert(sizeof(Fn) == sizeof(void*));
  void* f = dlsym(RTLD_NEXT, name);
  if (!f) std::abort();
  return reinterpret_cast<Fn>(f);
}

}  // namespace

extern "C" int sqlite3_exec(sqlite3* db, const char* sql,
                            int (*callback)(void*, int, char**, char**), void* arg, char** errmsg) {
  static const ExecFn real = Real<ExecFn>("sqlite3_exec");
  if (gDepth > 0) return real(db, sql, callback, arg, errmsg);
  BeforeStatement();
  ++gDepth;
  const int rc = real(db, sql, callback, arg, errmsg);
  --gDepth;
  Log(db, rc, sql);
  return rc;
}

extern "C" int sqlite3_step(sqlite3_stmt* stmt) {
  static const StepFn real = Real<StepFn>("sqlite3_step");
  if (gDepth > 0 || !stmt || sqlite3_stmt_busy(stmt)) return real(stmt);
  BeforeStatement();
  ++gDepth;
  const int rc = real(stmt);
  --gDepth;
  char* expanded = sqlite3_expanded_sql(stmt);
  Log(sqlite3_db_handle(stmt), rc, expanded ? expanded : sqlite3_sql(stmt));
  sqlite3_free(expanded);
  return rc;
}
