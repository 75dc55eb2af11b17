// A library preloaded (LD_PRELOAD) into the vlbaseline process by the
// interrupted-run tests. It counts the steps that change what lies on disk
// or on a server: each statement handed to SQLite (each sqlite3_exec, and
// the first sqlite3_step after a prepare or reset), each statement sent to
// a PostgreSQL server (each PQexec, each statement sent in a pipeline but
// the savepoints around it; a prepared statement run for several rows
// counts as that many) and each rename of a file. It logs every step and,
// just before step VL_KILL_AT, sends the process VL_KILL_SIGNAL (SIGKILL
// when unset) or, with VL_KILL_SIGNAL=fail, makes the step fail as a full
// disk or a lost server would. A step is a count, never a moment.
//
// Log record (VL_KILL_LOG, appended to, one write each):
// "<where>\t<result code>\t<length>\n<text>\n"; <where> is the SQLite
// database file, "pg:" and the database name, or "rename".
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

// Counts one step; true when it is to fail. Signals the process when it
// is the step to be interrupted before.
bool BeforeStep() {
  if (gLog == -2) {
    const char *log = std::getenv("VL_KILL_LOG"), *at = std::getenv("VL_KILL_AT"),
               *sig = std::getenv("VL_KILL_SIGNAL");
    gLog = log ? open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    gKillAt = at ? std::strtol(at, nullptr, 10) : 0;
    if (sig && *sig) gSignal = std::strcmp(sig, "fail") == 0 ? 0 : std::atoi(sig);
  }
  if (++gCount != gKillAt) return false;
  if (gSignal == 0) return true;
  kill(getpid(), gSignal);
  return false;
}

void LogRecord(const std::string& where, int rc, const std::string& text) {
  if (gLog < 0) return;
  const std::string record =
      where + "\t" + std::to_string(rc) + "\t" + std::to_string(text.size()) + "\n" + text + "\n";
  for (size_t done = 0; done < record.size();) {
    const ssize_t n = write(gLog, record.data() + done, record.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void Log(sqlite3* db, int rc, const char* sql) {
  const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
  LogRecord(file ? file : "", rc, sql ? sql : "");
}

std::string PgName(PGconn* conn) {
  const char* db = conn ? PQdb(conn) : nullptr;
  return std::string("pg:") + (db ? db : "");
}

// A prepared statement named "...x<k>" runs k statements of the program
// (the rows of one table sent together); any other runs one.
long StatementsRun(const char* name) {
  const char* x = name ? std::strrchr(name, 'x') : nullptr;
  char* end = nullptr;
  const long rows = x && x[1] ? std::strtol(x + 1, &end, 10) : 1;
  return end && *end == '\0' && rows > 0 ? rows : 1;
}

}  // namespace

// `real`: the function `f` of the library this one stands in front of.
#define VL_REAL(f) static const auto real = reinterpret_cast<decltype(&f)>(dlsym(RTLD_NEXT, #f))

extern "C" int sqlite3_exec(sqlite3* db, const char* sql,
                            int (*callback)(void*, int, char**, char**), void* arg, char** errmsg) {
  VL_REAL(sqlite3_exec);
  if (gDepth > 0) return real(db, sql, callback, arg, errmsg);
  if (BeforeStep()) {  // a step made to fail
    if (errmsg) *errmsg = sqlite3_mprintf("injected failure");
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
  VL_REAL(sqlite3_step);
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
  VL_REAL(rename);
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

extern "C" PGresult* PQexec(PGconn* conn, const char* query) {
  VL_REAL(PQexec);
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

extern "C" int PQsendQueryPrepared(PGconn* conn, const char* stmtName, int nParams,
                                   const char* const* paramValues, const int* paramLengths,
                                   const int* paramFormats, int resultFormat) {
  VL_REAL(PQsendQueryPrepared);
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
  VL_REAL(PQsendQueryParams);
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
