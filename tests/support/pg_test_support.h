// The PostgreSQL server the tests may use, and schemas of their own on it.
//
// The server is the one VL_PG_TESTS names (a libpq connection string), or,
// without it, the one the PG* variables name (PGHOST, PGPORT, PGSERVICE,
// PGDATABASE). Without either, or when the server cannot be reached, the
// PostgreSQL tests are skipped with the reason; VL_PG_TESTS=0 skips them
// on purpose. With VL_PG_TESTS_REQUIRED=1 (set by the CI's throwaway
// cluster) a server that cannot be reached fails them instead.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "errors/vl_error.h"
#include "host/db/pg_connection.h"

namespace vl::pgtest {

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The connection string of the test server ("" means the PG* variables).
// False with `why` when no server is named or it cannot be reached.
inline bool ServerReachable(std::string& conninfo, std::string& why) {
  conninfo = Env("VL_PG_TESTS");
  if (conninfo == "0" || conninfo == "off")
    why = "VL_PG_TESTS=" + conninfo + " turns the PostgreSQL tests off";
  else if (conninfo.empty() && Env("PGHOST").empty() && Env("PGPORT").empty() &&
           Env("PGSERVICE").empty() && Env("PGDATABASE").empty())
    why =
        "no PostgreSQL server is named: set VL_PG_TESTS to a connection string, or PGHOST and "
        "PGPORT (eval \"$(scripts/pg-test-cluster.sh start)\" makes a throwaway one)";
  else {
    static const std::string unreachable = [&] {  // "" when reachable; asked once
      try {
        PgConnection::Open(PgLocationFromConnInfo(conninfo));
        return std::string();
      } catch (const VlError& e) {
        return "the PostgreSQL test server cannot be reached: " + e.description();
      }
    }();
    why = unreachable;
  }
  return why.empty();
}

// In SetUp: skips (or, when a server is required, fails) the test when
// there is no server.
#define VL_NEED_PG_SERVER()                                                       \
  do {                                                                            \
    std::string vl_pg_why_;                                                       \
    if (!::vl::pgtest::ServerReachable(conninfo_, vl_pg_why_)) {                  \
      if (::vl::pgtest::Env("VL_PG_TESTS_REQUIRED") == "1") FAIL() << vl_pg_why_; \
      GTEST_SKIP() << vl_pg_why_;                                                 \
    }                                                                             \
  } while (0)

// The test server's location with `schema`.
inline PgLocation TestLocation(const std::string& conninfo, const std::string& schema) {
  PgLocation where = PgLocationFromConnInfo(conninfo);
  where.schema = schema;
  return where;
}

// A plain connection of its own, outside the data services: it sees only
// what they committed.
class Observer {
 public:
  explicit Observer(const std::string& conninfo, const std::string& schema = "")
      : conn_(PgConnection::Open(TestLocation(conninfo, schema))) {}

  // The first column of the first row as text; "<null>" for NULL, "" when
  // there is no row, "<error: ...>" when the statements fail.
  std::string Scalar(const std::string& sql) {
    std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(conn_->get(), sql.c_str()), PQclear);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
      return "<error: " + std::string(PQresultErrorMessage(r.get())) + ">";
    if (PQntuples(r.get()) == 0) return "";
    return PQgetisnull(r.get(), 0, 0) ? "<null>" : PQgetvalue(r.get(), 0, 0);
  }
  // True when the statements ran.
  bool Exec(const std::string& sql) { return Scalar(sql).rfind("<error", 0) != 0; }

 private:
  std::unique_ptr<PgConnection> conn_;
};

// Drops the schema with everything in it when the test ends.
class ScratchSchema {
 public:
  // Named so that no other test (nor another run) uses the name.
  ScratchSchema(std::string conninfo, const std::string& stem) : conninfo_(std::move(conninfo)) {
    static std::atomic<unsigned> counter{0};
    name_ = "vl_t_" + stem + "_" + std::to_string(std::random_device{}() % 1000000) + "_" +
            std::to_string(counter++);
  }
  ~ScratchSchema() { Drop(); }
  ScratchSchema(const ScratchSchema&) = delete;
  ScratchSchema& operator=(const ScratchSchema&) = delete;

  const std::string& name() const { return name_; }
  PgLocation location() const { return TestLocation(conninfo_, name_); }
  void Drop() {
    try {  // the names made here hold no quote
      Observer(conninfo_).Exec("DROP SCHEMA IF EXISTS \"" + name_ + "\" CASCADE");
    } catch (...) {
      // The server went away: nothing is left to drop.
    }
  }

 private:
  std::string conninfo_;
  std::string name_;
};

// Runs `script` with psql (stopping at the first error; unaligned rows
// without headers, fields separated by `separator`, the records of a
// result by `recordSeparator`, each result ended by "\n"); the output, or
// "<failed>" followed by psql's messages.
inline std::string RunPsql(const std::string& conninfo, const std::string& script,
                           const std::string& separator = "|",
                           const std::string& recordSeparator = "\n") {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vl-psql-" + std::to_string(std::random_device{}()) + ".sql");
  std::ofstream(file) << script;
  auto quote = [](const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  };
  const std::string command = "psql " + (conninfo.empty() ? std::string() : quote(conninfo)) +
                              " -X -q -A -t -v ON_ERROR_STOP=1 -F " + quote(separator) + " -R " +
                              quote(recordSeparator) + " -f " + quote(file.string()) +
                              " 2>&1; echo \"<exit $?>\"";
  std::string out;
  if (std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose); pipe) {
    std::array<char, 4096> buf;
    while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe.get())) out.append(buf.data(), n);
  }
  std::error_code ec;
  std::filesystem::remove(file, ec);
  const std::string ok = "<exit 0>\n";
  if (out.ends_with(ok)) return out.substr(0, out.size() - ok.size());
  return "<failed>" + out;
}

}  // namespace vl::pgtest
