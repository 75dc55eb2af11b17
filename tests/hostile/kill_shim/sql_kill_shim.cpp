// A library preloaded (LD_PRELOAD) into the vlbaseline process by the
// interrupted-run tests. It counts the steps the program takes that
// change what lies on disk or on a server: each statement handed to
// SQLite (each sqlite3_exec call, and the first sqlite3_step of a
// prepared statement after it was prepared or reset), each statement sent
// to a PostgreSQL server (each PQexec, and each statement sent in a
// pipeline apart from the savepoints around it: a text, or a run of a
// prepared statement, logged as its name and values, a run for several
// rows counting as that many statements; preparing one is no statement of
// the program), and each rename of a file. It writes every step to a log and, just before step
// number VL_KILL_AT, either sends the process a signal (VL_KILL_SIGNAL, SIGKILL when unset) or,
// with VL_KILL_SIGNAL=fail, makes that step fail as a full disk or a lost server would. A step is a
// count, never a moment.
//
// Environment: VL_KILL_LOG (the log file, appended to), VL_KILL_AT (the
// step; none when unset or 0), VL_KILL_SIGNAL (a signal number or "fail").
//
// Log record: "<where>\t<result code>\t<length>\n<text>\n", written with
// one write call. <where> is the SQLite database file, "pg:" and the
// PostgreSQL database name, or "rename" (the text: "from -> to").
#include <dlfcn.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int gLog = -2;  // -2: not opened yet, -1: no log
long gKillAt = 0;
int gSignal = SIGKILL;  // 0: make the step fail instead
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
  const char* sig = std::getenv("VL_KILL_SIGNAL");
  if (sig && std::strcmp(sig, "fail") == 0)
    gSignal = 0;
  else if (sig && *sig)
    gSignal = static_cast<int>(std::strtol(sig, nullptr, 10));
}

// Counts one step; true when it is to fail. Signals the process when it
// is the step to be interrupted before.
bool BeforeStep() {
  Init();
  if (++gCount != gKillAt) return false;
  if (gSignal == 0) return true;
  kill(getpid(), gSignal);
  return false;
}

void LogRecord(const std::string& where, int rc, const std::string& text) {
  if (gLog < 0) return;
  std::string record =
      where + "\t" + std::to_string(rc) + "\t" + std::to_string(text.size()) + "\n" + text + "\n";
  const char* p = record.data();
  size_t left = record.size();
  while (left > 0) {
    const ssize_t n = write(gLog, p, left);
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void Log(sqlite3* db, int rc, const char* sql) {
  const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
  LogRecord(file ? file : "", rc, sql ? sql : "");
}

template <typename Fn>
Fn Real(const char* name) {
  static_assert(sizeof(Fn) == sizeof(void*));
  void* f = dlsym(RTLD_NEXT, name);
  if (!f) std::abort();
  return reinterpret_cast<Fn>(f);
}

constexpr const char* kInjected = "injected failure";

}  // namespace

extern "C" int sqlite3_exec(sqlite3* db, const char* sql,
                            int (*callback)(void*, int, char**, char**), void* arg, char** errmsg) {
  using Fn = int (*)(sqlite3*, const char*, int (*)(void*, int, char**, char**), void*, char**);
  static const Fn real = Real<Fn>("sqlite3_exec");
  if (gDepth > 0) return real(db, sql, callback, arg, errmsg);
  if (BeforeStep()) {
    if (errmsg) *errmsg = sqlite3_mprintf("%s", kInjected);
    Log(db, SQLITE_IOERR, sql);
    return SQLITE_IOERR;
  }
  ++gDepth;
  const int rc = real(db, sql, callback, arg, errmsg);
  --gDepth;
  Log(db, rc, sql);
  return rc;
}

extern "C" int sqlite3_step(sqlite3_stmt* stmt) {
  using Fn = int (*)(sqlite3_stmt*);
  static const Fn real = Real<Fn>("sqlite3_step");
  if (gDepth > 0 || !stmt || sqlite3_stmt_busy(stmt)) return real(stmt);
  if (BeforeStep()) {
    Log(sqlite3_db_handle(stmt), SQLITE_IOERR, sqlite3_sql(stmt));
    return SQLITE_IOERR;
  }
  ++gDepth;
  const int rc = real(stmt);
  --gDepth;
  char* expanded = sqlite3_expanded_sql(stmt);
  Log(sqlite3_db_handle(stmt), rc, expanded ? expanded : sqlite3_sql(stmt));
  sqlite3_free(expanded);
  return rc;
}

extern "C" int rename(const char* from, const char* to) {
  using Fn = int (*)(const char*, const char*);
  static const Fn real = Real<Fn>("rename");
  const std::string text = std::string(from ? from : "") + " -> " + (to ? to : "");
  if (BeforeStep()) {
    LogRecord("rename", EIO, text);
    errno = EIO;
    return -1;
  }
  const int rc = real(from, to);
  LogRecord("rename", rc == 0 ? 0 : errno, text);
  return rc;
}

// PostgreSQL.

namespace {

std::string PgName(PGconn* conn) {
  const char* db = conn ? PQdb(conn) : nullptr;
  return std::string("pg:") + (db ? db : "");
}

}  // namespace

extern "C" PGresult* PQexec(PGconn* conn, const char* query) {
  using Fn = PGresult* (*)(PGconn*, const char*);
  static const Fn real = Real<Fn>("PQexec");
  if (gDepth > 0) return real(conn, query);
  if (BeforeStep()) {
    LogRecord(PgName(conn), PGRES_FATAL_ERROR, query ? query : "");
    return PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR);
  }
  ++gDepth;
  PGresult* r = real(conn, query);
  LogRecord(PgName(conn), PQresultStatus(r), query ? query : "");
  --gDepth;
  return r;
}

namespace {

// A prepared statement named "...x<k>" runs k statements of the program
// (the rows of one table sent together); any other runs one.
long StatementsRun(const char* name) {
  const char* x = name ? std::strrchr(name, 'x') : nullptr;
  if (!x || !x[1]) return 1;
  char* end = nullptr;
  const long rows = std::strtol(x + 1, &end, 10);
  return *end == '\0' && rows > 0 ? rows : 1;
}

}  // namespace

extern "C" int PQsendQueryPrepared(PGconn* conn, const char* stmtName, int nParams,
                                   const char* const* paramValues, const int* paramLengths,
                                   const int* paramFormats, int resultFormat) {
  using Fn = int (*)(PGconn*, const char*, int, const char* const*, const int*, const int*, int);
  static const Fn real = Real<Fn>("PQsendQueryPrepared");
  if (gDepth == 0) {
    const long rows = StatementsRun(stmtName);
    const int per_row = static_cast<int>(nParams / rows);
    for (long r = 0; r < rows; ++r) {
      const bool fail = BeforeStep();
      std::string text = std::string("EXECUTE ") + (stmtName ? stmtName : "") + " (";
      for (int i = 0; i < per_row; ++i) {
        const char* v = paramValues[r * per_row + i];
        text += std::string(i ? ", " : "") + (v ? v : "NULL");
      }
      LogRecord(PgName(conn), fail ? PGRES_FATAL_ERROR : 0, text + ")");
      if (fail) return 0;
    }
  }
  return real(conn, stmtName, nParams, paramValues, paramLengths, paramFormats, resultFormat);
}

extern "C" int PQsendQueryParams(PGconn* conn, const char* command, int nParams,
                                 const Oid* paramTypes, const char* const* paramValues,
                                 const int* paramLengths, const int* paramFormats,
                                 int resultFormat) {
  using Fn = int (*)(PGconn*, const char*, int, const Oid*, const char* const*, const int*,
                     const int*, int);
  static const Fn real = Real<Fn>("PQsendQueryParams");
  const std::string text = command ? command : "";
  // The savepoints around each statement belong to it.
  const bool guard = text.rfind("SAVEPOINT ", 0) == 0 || text.rfind("RELEASE SAVEPOINT", 0) == 0 ||
                     text.rfind("ROLLBACK TO SAVEPOINT", 0) == 0;
  if (gDepth == 0 && !guard) {
    if (BeforeStep()) {
      LogRecord(PgName(conn), PGRES_FATAL_ERROR, text);
      return 0;
    }
    LogRecord(PgName(conn), 0, text);
  }
  return real(conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats,
              resultFormat);
}
