// A library preloaded (LD_PRELOAD) into the vlbaseline process by the
// interrupted-run tests. It counts the statements the program hands to
// SQLite (each sqlite3_exec call, and the first sqlite3_step of a
// prepared statement after it was prepared or reset) or to a PostgreSQL
// server (each PQexec, and each statement sent in a pipeline apart from
// the savepoints around it: a text, or a run of a prepared statement,
// logged as its name and values, a run for several rows counting as that
// many statements; preparing one is no statement of the program), writes
// every one to a log, and kills the
// process with SIGKILL just before statement number VL_KILL_AT would run.
// The kill point is a statement count, never a moment in time.
//
// SQLite statements are logged once SQLite has run them: the log then
// holds exactly the statements that ran, and replaying it tells what was
// committed. On PostgreSQL, right after each successful COMMIT, the
// content of every table of the connection's schema is summed up (row
// count and digest, read on the same connection) and logged: what the
// server holds after the kill must equal the last such record.
//
// Environment: VL_KILL_LOG (the log file, appended to), VL_KILL_AT (the
// statement to die before; none when unset or 0).
//
// Log record: "<database>\t<result code>\t<length>\n<text>\n", written with
// one write call. <database> is the SQLite database file, "pg:" and the
// PostgreSQL database name, or "pg-committed" for a summary.
#include <dlfcn.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "committed_state.h"

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

void LogRecord(const std::string& database, int rc, const char* sql) {
  if (gLog < 0) return;
  const std::string text = sql ? sql : "";
  std::string record = database + "\t" + std::to_string(rc) + "\t" + std::to_string(text.size()) +
                       "\n" + text + "\n";
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
  LogRecord(file ? file : "", rc, sql);
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

// PostgreSQL.

namespace {

using PQexecFn = PGresult* (*)(PGconn*, const char*);
using PQsendQueryParamsFn = int (*)(PGconn*, const char*, int, const Oid*, const char* const*,
                                    const int*, const int*, int);

void LogCommittedState(PGconn* conn, PQexecFn real) {
  PGresult* r = real(conn, vl::hostile::kCommittedState);
  if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1)
    LogRecord("pg-committed", 0, PQgetvalue(r, 0, 0));
  else
    LogRecord("pg-committed", -1, PQresultErrorMessage(r));
  PQclear(r);
}

std::string PgName(PGconn* conn) {
  const char* db = conn ? PQdb(conn) : nullptr;
  return std::string("pg:") + (db ? db : "");
}

}  // namespace

extern "C" PGresult* PQexec(PGconn* conn, const char* query) {
  static const PQexecFn real = Real<PQexecFn>("PQexec");
  if (gDepth > 0) return real(conn, query);
  BeforeStatement();
  ++gDepth;
  PGresult* r = real(conn, query);
  const ExecStatusType status = PQresultStatus(r);
  LogRecord(PgName(conn), status, query);
  if (query && std::string(query) == "COMMIT" && status == PGRES_COMMAND_OK &&
      PQtransactionStatus(conn) == PQTRANS_IDLE)
    LogCommittedState(conn, real);
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
      BeforeStatement();
      std::string text = std::string("EXECUTE ") + (stmtName ? stmtName : "") + " (";
      for (int i = 0; i < per_row; ++i) {
        const char* v = paramValues[r * per_row + i];
        text += std::string(i ? ", " : "") + (v ? v : "NULL");
      }
      LogRecord(PgName(conn), 0, (text + ")").c_str());
    }
  }
  return real(conn, stmtName, nParams, paramValues, paramLengths, paramFormats, resultFormat);
}

extern "C" int PQsendQueryParams(PGconn* conn, const char* command, int nParams,
                                 const Oid* paramTypes, const char* const* paramValues,
                                 const int* paramLengths, const int* paramFormats,
                                 int resultFormat) {
  static const PQsendQueryParamsFn real = Real<PQsendQueryParamsFn>("PQsendQueryParams");
  const std::string text = command ? command : "";
  // The savepoints around each statement belong to it.
  const bool guard = text.rfind("SAVEPOINT ", 0) == 0 || text.rfind("RELEASE SAVEPOINT", 0) == 0 ||
                     text.rfind("ROLLBACK TO SAVEPOINT", 0) == 0;
  if (gDepth == 0 && !guard) {
    BeforeStatement();
    LogRecord(PgName(conn), 0, command);
  }
  return real(conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats,
              resultFormat);
}
