// A creation run killed (SIGKILL on the vlbaseline process) at many
// points: afterwards the database opens, passes SQLite's integrity check
// and holds exactly what was committed before the kill, and a new run
// into a fresh folder succeeds. The same on PostgreSQL, where the server
// must hold exactly what the last commit left.
//
// The kill points are statement counts: a preloaded library
// (kill_shim/sql_kill_shim.cpp) logs every statement the process runs and
// kills it just before the chosen one. Replaying the logged statements
// on an empty database and undoing the transaction left open gives what
// was committed; the killed database must hold exactly that.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <set>

#include "host/project/project_application.h"
#include "hostile_fixture.h"
#include "kill_shim/committed_state.h"
#include "support/pg_test_support.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

struct LoggedStatement {
  std::string database;
  int rc = 0;
  std::string sql;
};

std::vector<LoggedStatement> ReadLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<LoggedStatement> log;
  std::string header;
  while (std::getline(in, header)) {
    const size_t tab1 = header.find('\t'), tab2 = header.find('\t', tab1 + 1);
    if (tab1 == std::string::npos || tab2 == std::string::npos) break;
    LoggedStatement s;
    s.database = header.substr(0, tab1);
    s.rc = std::stoi(header.substr(tab1 + 1, tab2 - tab1 - 1));
    s.sql.resize(std::stoul(header.substr(tab2 + 1)));
    if (!in.read(s.sql.data(), static_cast<std::streamsize>(s.sql.size()))) break;
    in.ignore(1);
    log.push_back(std::move(s));
  }
  return log;
}

struct ProcessEnd {
  bool killed = false;  // by SIGKILL
  int exit_code = -1;
};

// Runs vlbaseline with the shim preloaded; its output goes to `output`.
ProcessEnd RunKilledAt(const std::vector<std::string>& args, long killAt, const std::string& log,
                       const std::string& output) {
  const std::string program = std::string(VL_BINARY_DIR) + "/vlbaseline";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    setenv("LD_PRELOAD", VL_SQL_KILL_SHIM, 1);
    setenv("VL_KILL_LOG", log.c_str(), 1);
    setenv("VL_KILL_AT", std::to_string(killAt).c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ProcessEnd end;
  end.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) end.exit_code = WEXITSTATUS(status);
  return end;
}

// Everything a database holds, as text: its schema, then every row of
// every table in rowid order, with the type of each value.
std::string Dump(const std::string& path) {
  sqlite3* db = nullptr;
  std::string dump;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return "<cannot open>";
  }
  auto each_row = [&](const std::string& sql, const std::function<void(sqlite3_stmt*)>& f) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      dump += "<error " + std::string(sqlite3_errmsg(db)) + ">\n";
      return;
    }
    while (sqlite3_step(st) == SQLITE_ROW) f(st);
    sqlite3_finalize(st);
  };
  std::vector<std::string> tables;
  each_row("SELECT type, name, sql FROM sqlite_master ORDER BY type, name", [&](sqlite3_stmt* st) {
    const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    const auto* sql = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
    dump += type + " " + name + ": " + (sql ? sql : "") + "\n";
    if (type == "table") tables.push_back(name);
  });
  for (const std::string& table : tables) {
    dump += "== " + table + "\n";
    each_row("SELECT * FROM \"" + table + "\" ORDER BY rowid", [&](sqlite3_stmt* st) {
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        dump += std::to_string(sqlite3_column_type(st, c)) + ":" +
                (text ? std::string(text, sqlite3_column_bytes(st, c)) : "") + "|";
      }
      dump += "\n";
    });
  }
  sqlite3_close_v2(db);
  return dump;
}

// What was committed on `database`: its logged statements replayed on an
// empty database at `scratch`, the transaction left open undone.
std::string Committed(const std::vector<LoggedStatement>& log, const std::string& database,
                      const std::string& scratch) {
  fs::remove(scratch);
  fs::remove(scratch + "-wal");
  fs::remove(scratch + "-shm");
  sqlite3* db = nullptr;
  sqlite3_open(scratch.c_str(), &db);
  for (const LoggedStatement& s : log)
    if (s.database == database) sqlite3_exec(db, s.sql.c_str(), nullptr, nullptr, nullptr);
  if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db);
  return Dump(scratch);
}

// The values `sql` gives on the database at `path`, joined.
std::string ScalarOf(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::string verdict;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_exec(
        db, sql,
        [](void* out, int, char** values, char**) {
          *static_cast<std::string*>(out) += values[0] ? values[0] : "NULL";
          return 0;
        },
        &verdict, nullptr);
  } else {
    verdict = "cannot open: " + std::string(sqlite3_errmsg(db));
  }
  sqlite3_close_v2(db);
  return verdict;
}

std::string IntegrityOf(const std::string& path) {
  return ScalarOf(path, "PRAGMA integrity_check");
}

// Kill points in a run of `statements`: just before and just after each
// commit, and four more spread by a fixed seed.
std::set<long> KillPoints(const std::vector<LoggedStatement>& statements) {
  std::set<long> points;
  for (size_t i = 0; i < statements.size(); ++i) {
    if (statements[i].sql != "COMMIT") continue;
    points.insert(static_cast<long>(i) + 1);
    if (i + 2 <= statements.size()) points.insert(static_cast<long>(i) + 2);
  }
  std::mt19937 random(15);
  std::uniform_int_distribution<long> anywhere(1, static_cast<long>(statements.size()));
  for (size_t spread = points.size() + 4; points.size() < spread;) points.insert(anywhere(random));
  return points;
}

class InterruptedRunTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    gen::Options o = SmallBaseline();
    o.requirements = 30;
    o.packages = 4;
    o.long_text_every = 5;
    Generate(o);
  }

  std::vector<std::string> CreateArgs(const std::string& folder) const {
    return {"create", Baseline(), "--folder", folder, "--all", "--yes", "--quiet"};
  }
  std::string Log(long run) const { return (scratch_ / ("log" + std::to_string(run))).string(); }
  // The baseline folder and the files beside it that no run may touch.
  std::map<std::string, std::string> BaselineSnapshot() const {
    auto files = SnapshotOutsideProject();
    std::erase_if(files, [](const auto& file) {
      return file.first.rfind("bl", 0) != 0 && file.first.rfind("outside", 0) != 0;
    });
    return files;
  }
};

TEST_F(InterruptedRunTest, AKilledRunLeavesExactlyWhatWasCommitted) {
  // A whole run, to count its statements.
  const std::string full = (scratch_ / "full").string();
  const ProcessEnd whole = RunKilledAt(CreateArgs(full), 0, Log(0), Log(0) + ".out");
  ASSERT_FALSE(whole.killed);
  ASSERT_EQ(whole.exit_code, 0) << std::ifstream(Log(0) + ".out").rdbuf();
  const std::vector<LoggedStatement> all = ReadLog(Log(0));
  ASSERT_GT(all.size(), 100u) << "the statement shim is not in effect";
  const std::string fullDb = full + "/full.db";
  ASSERT_TRUE(std::any_of(all.begin(), all.end(),
                          [&](const LoggedStatement& s) { return s.database == fullDb; }));

  const std::set<long> points = KillPoints(all);

  const auto before = BaselineSnapshot();
  int holding_types = 0;  // killed databases with committed requirement types
  for (long point : points) {
    SCOPED_TRACE("killed before statement " + std::to_string(point) + " of " +
                 std::to_string(all.size()));
    const std::string folder = (scratch_ / ("killed" + std::to_string(point))).string();
    const std::string db = folder + "/killed" + std::to_string(point) + ".db";
    const ProcessEnd end = RunKilledAt(CreateArgs(folder), point, Log(point), Log(point) + ".out");
    ASSERT_TRUE(end.killed) << "exit " << end.exit_code;
    const std::vector<LoggedStatement> ran = ReadLog(Log(point));
    EXPECT_EQ(ran.size(), static_cast<size_t>(point - 1));

    if (fs::exists(db)) {
      const std::string killed = Dump(db);
      EXPECT_EQ(killed, Committed(ran, db, (scratch_ / "replay.db").string()));
      EXPECT_EQ(IntegrityOf(db), "ok");
      if (ScalarOf(db, "SELECT COUNT(*) FROM vlRequirementTypes") != "0") ++holding_types;
    }
    // The project file, once written, opens its database.
    const std::string vlp = folder + "/killed" + std::to_string(point) + ".vlp";
    if (fs::exists(vlp)) {
      SqlProjectApplication app([]() -> NewProjectDefinition* { return nullptr; });
      EXPECT_NO_THROW(app.OpenProject(vlp));
      app.Shutdown();
    }
  }
  EXPECT_EQ(BaselineSnapshot(), before);
  // Some kills came after rows were committed, not only before.
  EXPECT_GT(holding_types, 0);

  // A new run into a fresh folder succeeds.
  const std::string again = (scratch_ / "again").string();
  const ProcessEnd second = RunKilledAt(CreateArgs(again), 0, Log(-1), Log(-1) + ".out");
  EXPECT_EQ(second.exit_code, 0) << std::ifstream(Log(-1) + ".out").rdbuf();
}

class InterruptedPgRunTest : public InterruptedRunTest {
 protected:
  void SetUp() override {
    InterruptedRunTest::SetUp();
    VL_NEED_PG_SERVER();
  }
  std::vector<std::string> PgArgs(const std::string& folder, const std::string& schema) const {
    std::vector<std::string> args = CreateArgs(folder);
    args.insert(args.end(),
                {"--database", "PostgreSQL", "--pg-conninfo", conninfo_, "--pg-schema", schema});
    return args;
  }
  // The server's statements of a log (the summaries left out).
  static std::vector<LoggedStatement> ServerStatements(const std::vector<LoggedStatement>& log) {
    std::vector<LoggedStatement> statements;
    for (const LoggedStatement& s : log)
      if (s.database.rfind("pg:", 0) == 0) statements.push_back(s);
    return statements;
  }

  std::string conninfo_;
};

TEST_F(InterruptedPgRunTest, AKilledRunOnPostgreSQLLeavesExactlyWhatWasCommitted) {
  pgtest::ScratchSchema whole_schema(conninfo_, "whole");
  const ProcessEnd whole = RunKilledAt(PgArgs((scratch_ / "full").string(), whole_schema.name()), 0,
                                       Log(0), Log(0) + ".out");
  ASSERT_EQ(whole.exit_code, 0) << std::ifstream(Log(0) + ".out").rdbuf();
  const std::vector<LoggedStatement> all = ServerStatements(ReadLog(Log(0)));
  ASSERT_GT(all.size(), 100u) << "the statement shim is not in effect";

  int holding_types = 0;  // kills after requirement types were committed
  for (long point : KillPoints(all)) {
    SCOPED_TRACE("killed before statement " + std::to_string(point) + " of " +
                 std::to_string(all.size()));
    pgtest::ScratchSchema schema(conninfo_, "killed");
    const std::string folder = (scratch_ / ("killed" + std::to_string(point))).string();
    const ProcessEnd end =
        RunKilledAt(PgArgs(folder, schema.name()), point, Log(point), Log(point) + ".out");
    ASSERT_TRUE(end.killed) << "exit " << end.exit_code;
    const std::vector<LoggedStatement> log = ReadLog(Log(point));
    EXPECT_EQ(ServerStatements(log).size(), static_cast<size_t>(point - 1));
    std::string committed;  // nothing before the first commit
    for (const LoggedStatement& s : log) {
      if (s.database != "pg-committed") continue;
      ASSERT_EQ(s.rc, 0) << s.sql;
      committed = s.sql;
    }
    pgtest::Observer server(conninfo_, schema.name());
    EXPECT_EQ(server.Scalar(kCommittedState), committed);
    if (committed.find("vlrequirementtypes=0:") == std::string::npos &&
        committed.find("vlrequirementtypes=") != std::string::npos)
      ++holding_types;

    const std::string vlp = folder + "/killed" + std::to_string(point) + ".vlp";
    if (fs::exists(vlp)) {
      SqlProjectApplication app([]() -> NewProjectDefinition* { return nullptr; });
      EXPECT_NO_THROW(app.OpenProject(vlp));
      app.Shutdown();
    }
  }
  EXPECT_GT(holding_types, 0);

  pgtest::ScratchSchema again(conninfo_, "again");
  const ProcessEnd second = RunKilledAt(PgArgs((scratch_ / "again").string(), again.name()), 0,
                                        Log(-1), Log(-1) + ".out");
  EXPECT_EQ(second.exit_code, 0) << std::ifstream(Log(-1) + ".out").rdbuf();
}

}  // namespace
}  // namespace vl::hostile
