// A run of project B that completes project A (A waits for B with its
// external project entry, query definitions, views and cross traces) is
// stopped at many steps spread over the whole run: killed (SIGKILL),
// asked to stop (SIGTERM), or hit by a step that fails (a full disk, a
// lost server). After each stop, A's database and waiting files are
// exactly as before the run, or exactly as after a successful one (or,
// after a kill between A's commit and its files, marked so that the next
// run finishes them); B is absent or a marked leftover. Running B again
// then gives the same A and B, row for row through the GUID maps, as a
// run never stopped.
//
// The steps are counted by a preloaded library (kill_shim/sql_kill_shim.cpp):
// every statement and every rename of a file is one step.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "gen-baseline/generator.h"
#include "host/project/new_project_definition.h"
#include "host/project/project_file.h"
#include "hostile_fixture.h"
#include "support/db_test_support.h"
#include "support/pg_test_support.h"
#include "support/scratch_folder.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

const std::string kGuidA = "{AAAAAAAA-0000-4000-8000-00000000000A}";
const std::string kGuidB = "{BBBBBBBB-0000-4000-8000-00000000000B}";
const std::string kGuidC = "{CCCCCCCC-0000-4000-8000-00000000000C}";
const char* const kUnResFiles[] = {"UnResExtProjs.xml", "UnResQueryDefs.xml", "UnResViews.xml",
                                   "UnResExtTraces.xml"};

// A step the library logged: where (a database, "pg:<name>" or
// "rename") and its text.
struct LoggedStep {
  std::string where, text;
};

std::vector<LoggedStep> ReadLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<LoggedStep> log;
  LoggedStep s;
  int rc = 0;
  size_t size = 0;
  while (std::getline(in, s.where, '\t') && in >> rc >> size && in.ignore(1)) {
    s.text.resize(size);
    if (!in.read(s.text.data(), static_cast<std::streamsize>(size)) || !in.ignore(1)) break;
    log.push_back(s);
  }
  return log;
}

struct ProcessEnd {
  int signal = 0;  // the signal that ended it
  int exit_code = -1;
};

// Runs vlbaseline with `args` and the step library preloaded; VL_KILL_*
// from `env`; its output goes to `output`.
ProcessEnd RunTool(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env, const std::string& output) {
  const std::string program = std::string(VL_BINARY_DIR) + "/vlbaseline";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    setenv("LD_PRELOAD", VL_SQL_KILL_SHIM, 1);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ProcessEnd end;
  if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  if (WIFEXITED(status)) end.exit_code = WEXITSTATUS(status);
  return end;
}

// Every table of a database: its name and its rows as text.
using Tables = std::map<std::string, std::vector<std::string>>;

Tables PgTables(const std::string& conninfo, const std::string& schema) {
  pgtest::Observer server(conninfo);
  const std::string names = server.Scalar(
      "SELECT string_agg(table_name, ',' ORDER BY table_name) FROM information_schema.tables "
      "WHERE table_type = 'BASE TABLE' AND table_schema = '" +
      schema + "'");
  Tables tables;
  std::istringstream list(names == "<null>" ? "" : names);
  for (std::string name; std::getline(list, name, ',');) {
    std::istringstream rows(server.Scalar("SELECT string_agg(t::text, E'\\n') FROM \"" + schema +
                                          "\".\"" + name + "\" t"));
    std::vector<std::string>& out = tables[name];
    for (std::string row; std::getline(rows, row);)
      if (row != "<null>") out.push_back(row);
  }
  return tables;
}

// What a project is: its database's tables and its waiting files.
struct ProjectState {
  Tables tables;
  std::map<std::string, std::string> waiting;  // file -> content ("<none>")
  bool operator==(const ProjectState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ProjectState& s) {
  for (const auto& [file, text] : s.waiting) out << file << ": " << text << "\n";
  for (const auto& [table, rows] : s.tables) {
    out << "== " << table << "\n";
    for (const std::string& row : rows) out << row << "\n";
  }
  return out;
}

// New GUIDs told by the GUID maps of the projects in `folders` (their
// staging places included): "new:" and the baseline's GUID, the project's
// own as "project:" and its baseline's.
std::map<std::string, std::string> GuidNames(const std::vector<fs::path>& folders) {
  std::map<std::string, std::string> names;
  for (const fs::path& folder : folders) {
    for (const fs::path& place : {folder, folder / ".vlbaseline-partial"}) {
      for (const char* map : {"ReqGUIDMap.xml", "PSGUIDMap.xml"}) {
        pugi::xml_document doc;
        if (!doc.load_file((place / map).c_str())) continue;
        pugi::xml_node root = doc.child("PROJECT");
        names[root.attribute("NEWGUID").value()] =
            std::string("project:") + root.attribute("GUID").value();
        for (pugi::xml_node g : root.children("GUID"))
          names[g.attribute("NEWGUID").value()] =
              std::string("new:") + g.attribute("OLDGUID").value();
      }
    }
  }
  return names;
}

// `text` with the GUIDs the maps name replaced by their names, any other
// GUID by "{G}", and `folder` by "<here>".
std::string Normal(const std::string& text, const std::map<std::string, std::string>& names,
                   const std::string& folder) {
  static const std::regex guid(
      R"(\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\})");
  std::string out;
  auto at = text.cbegin();
  for (std::sregex_iterator it(text.begin(), text.end(), guid), end; it != end; ++it) {
    out.append(at, (*it)[0].first);
    auto name = names.find(it->str());
    out += name != names.end() ? name->second : "{G}";
    at = (*it)[0].second;
  }
  out.append(at, text.cend());
  for (size_t p; !folder.empty() && (p = out.find(folder)) != std::string::npos;)
    out.replace(p, folder.size(), "<here>");
  return out;
}

ProjectState Normal(ProjectState s, const std::map<std::string, std::string>& names,
                    const std::string& folder) {
  for (auto& [table, rows] : s.tables) {
    for (std::string& row : rows) row = Normal(row, names, folder);
    std::sort(rows.begin(), rows.end());
  }
  for (auto& [file, text] : s.waiting) text = Normal(text, names, folder);
  return s;
}

enum class Db { kSQLite, kPostgreSQL };
enum class Stop { kKill, kTerm, kFail };

// A's baseline waits for B (and C); B's and C's for A.
class PairFixture : public ::testing::Test {
 protected:
  void SetUpPair(Db db) {
    db_ = db;
    if (db == Db::kPostgreSQL) {
      VL_NEED_PG_SERVER();
    }
    gen::Options b0;
    b0.seed = 2, b0.project_guid = kGuidB, b0.name = "Bravo", b0.prefix = "BRV";
    b0.requirements = 24, b0.packages = 3, b0.users = 3, b0.discussions = 1;
    gen::WriteBaseline(b0, (root_ / "b0").string());
    gen::Options a = b0;
    a.seed = 1, a.project_guid = kGuidA, a.name = "Alpha", a.prefix = "ALP";
    a.cross_traces = 8;
    a.externals = {{kGuidC, "Charlie", "CHA"}};
    a.external_baseline = (root_ / "b0").string();
    gen::WriteBaseline(a, (root_ / "a").string());
    gen::Options b = b0;
    b.external_baseline = (root_ / "a").string();
    gen::WriteBaseline(b, (root_ / "b").string());
    gen::Options c = b;
    c.seed = 3, c.project_guid = kGuidC, c.name = "Charlie", c.prefix = "CHA";
    gen::WriteBaseline(c, (root_ / "c").string());
  }

  std::vector<std::string> CreateArgs(const std::string& baseline, const fs::path& folder) {
    std::vector<std::string> args = {
        "create", (root_ / baseline).string(), "--folder", folder.string(), "--all", "--yes",
        "--quiet"};
    if (db_ == Db::kPostgreSQL) {
      schemas_.push_back(std::make_unique<pgtest::ScratchSchema>(conninfo_, "pair"));
      args.insert(args.end(), {"--database", "PostgreSQL", "--pg-conninfo", conninfo_,
                               "--pg-schema", schemas_.back()->name()});
    }
    return args;
  }
  // Creates A in `dir`/A.
  void MakeA(const fs::path& dir) {
    fs::create_directories(dir);
    const ProcessEnd end = RunTool(CreateArgs("a", dir / "A"), {}, (dir / "a.out").string());
    ASSERT_EQ(end.exit_code, 0) << ReadBytes(dir / "a.out");
  }
  // Runs `baseline` into `dir`/`project`, linked to `dir`/A, stopped at
  // `step` (0: never).
  ProcessEnd RunLinked(const fs::path& dir, const std::string& baseline, const std::string& project,
                       long step, Stop stop, const std::string& log,
                       std::vector<std::string> args = {}) {
    if (args.empty()) args = CreateArgs(baseline, dir / project);
    args.insert(args.end(), {"--external", kGuidA + "=" + (dir / "A" / "A.vlp").string()});
    const std::string how = stop == Stop::kFail   ? "fail"
                            : stop == Stop::kTerm ? std::to_string(SIGTERM)
                                                  : std::to_string(SIGKILL);
    return RunTool(
        args, {{"VL_KILL_LOG", log}, {"VL_KILL_AT", std::to_string(step)}, {"VL_KILL_SIGNAL", how}},
        log + ".out");
  }

  ProjectState StateOf(const fs::path& folder) const {
    ProjectState s;
    for (const char* f : kUnResFiles)
      s.waiting[f] = fs::exists(folder / f) ? ReadBytes(folder / f) : "<none>";
    const fs::path vlp = folder / (folder.filename().string() + ".vlp");
    if (!fs::exists(vlp)) return s;
    const ProjectFileInfo info = ReadProjectFile(vlp.string());
    s.tables = info.db_type == kPostgreSQLDisplayName
                   ? PgTables(conninfo_, info.schema)
                   : dbtest::AllRows((folder / info.db_file).string());
    return s;
  }
  // A and B of `dir`, normalized.
  std::pair<ProjectState, ProjectState> NormalPair(const fs::path& dir) const {
    const auto names = GuidNames({dir / "A", dir / "B"});
    return {Normal(StateOf(dir / "A"), names, dir.string()),
            Normal(StateOf(dir / "B"), names, dir.string())};
  }
  // Names in `folder` that a run leaves only while unfinished.
  static std::vector<std::string> RunLeftovers(const fs::path& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      if (e.path().filename().string().find(".vlbaseline") != std::string::npos)
        found.push_back(e.path().filename().string());
    return found;
  }

  Db db_ = Db::kSQLite;
  std::string conninfo_;
  std::vector<std::unique_ptr<pgtest::ScratchSchema>> schemas_;
  testing::ScratchFolder scratch_;
  const fs::path root_{scratch_.path()};
};

// The steps to stop at: around every commit and rename (each of A's
// statements among them when it is the step's database), and more spread
// by a fixed seed; fewer on a server.
std::vector<long> StopPoints(const std::vector<LoggedStep>& steps, const std::string& aDatabase,
                             Stop stop, size_t most) {
  std::set<long> at_edges;
  for (size_t i = 0; i < steps.size(); ++i) {
    const LoggedStep& s = steps[i];
    const long before = static_cast<long>(i) + 1;
    if (s.text == "COMMIT" || s.where == "rename") {
      at_edges.insert(before);
      if (stop != Stop::kFail) at_edges.insert(before + 1);
    } else if (stop != Stop::kFail && s.where == aDatabase) {
      at_edges.insert(before);
    }
  }
  std::vector<long> points(at_edges.begin(), at_edges.end());
  std::shuffle(points.begin(), points.end(), std::mt19937(16));
  if (points.size() > most * 3 / 4) points.resize(most * 3 / 4);
  // The last step: the new project file put in place.
  points.push_back(static_cast<long>(steps.size()));
  if (stop != Stop::kFail) {
    std::mt19937 random(15);
    std::uniform_int_distribution<long> anywhere(1, static_cast<long>(steps.size()));
    while (points.size() < most) points.push_back(anywhere(random));
  }
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  std::erase_if(points, [&](long p) { return p > static_cast<long>(steps.size()); });
  return points;
}

struct StopCase {
  Db db;
  Stop stop;
  size_t points;
};

class InterruptedPairTest : public PairFixture, public ::testing::WithParamInterface<StopCase> {
 protected:
  void SetUp() override { SetUpPair(GetParam().db); }
};

TEST_P(InterruptedPairTest, LeavesAAsBeforeOrAsAfterAndTheNextRunFinishesTheSame) {
  const StopCase& c = GetParam();
  // The run never stopped, its steps logged.
  const fs::path ref = root_ / "ref";
  MakeA(ref);
  const ProjectState a_before_ref = StateOf(ref / "A");
  for (const char* waits : {"UnResExtTraces.xml", "UnResQueryDefs.xml", "UnResViews.xml"})
    ASSERT_NE(a_before_ref.waiting.at(waits), "<none>") << waits;
  const std::string log = (ref / "log").string();
  ASSERT_EQ(RunLinked(ref, "b", "B", 0, c.stop, log).exit_code, 0) << ReadBytes(log + ".out");
  const std::vector<LoggedStep> steps = ReadLog(log);
  ASSERT_GT(steps.size(), 100u) << "the step library is not in effect";
  const auto [a_after, b_after] = NormalPair(ref);
  ASSERT_NE(Normal(a_before_ref, GuidNames({ref / "A"}), ref.string()), a_after);
  const std::string a_db = c.db == Db::kSQLite ? (ref / "A" / "A.db").string() : "-";

  const std::vector<long> points = StopPoints(steps, a_db, c.stop, c.points);
  ASSERT_GE(points.size(), c.stop == Stop::kFail ? 4u : c.points / 2);
  int before = 0, after = 0, between = 0;
  for (long point : points) {
    SCOPED_TRACE("stopped at step " + std::to_string(point) + " of " +
                 std::to_string(steps.size()) + ": " + steps[point - 1].where + " " +
                 steps[point - 1].text.substr(0, 80));
    const fs::path dir = root_ / ("at" + std::to_string(point));
    MakeA(dir);
    const ProjectState a0 = StateOf(dir / "A");
    const std::string stopped_log = (dir / "log").string();
    const ProcessEnd end = RunLinked(dir, "b", "B", point, c.stop, stopped_log);
    const std::string said = ReadBytes(stopped_log + ".out");

    // A as before, as after, or committed with its files marked to follow.
    const ProjectState a1 = StateOf(dir / "A");
    const auto names = GuidNames({dir / "A", dir / "B"});
    const ProjectState a1_normal = Normal(a1, names, dir.string());
    const bool is_before = a1 == a0;
    const bool is_after = a1_normal == a_after;
    // Between: committed, each file as before or as after, marked.
    bool files_either = true;
    const ProjectState a0_normal = Normal(a0, names, dir.string());
    for (const auto& [file, text] : a1_normal.waiting)
      files_either &= text == a0_normal.waiting.at(file) || text == a_after.waiting.at(file);
    const bool is_between = !is_before && !is_after && files_either &&
                            a1_normal.tables == a_after.tables && !RunLeftovers(dir / "A").empty();
    EXPECT_TRUE(is_before || is_after || is_between) << said << a1_normal;
    before += is_before, after += is_after, between += is_between;
    // B is published whole or not at all.
    if (fs::exists(dir / "B" / "B.vlp")) {
      EXPECT_TRUE(is_after) << said;
    }
    switch (c.stop) {
      case Stop::kKill:
        EXPECT_EQ(end.signal, SIGKILL) << said;
        break;
      case Stop::kTerm:
        // Stopped before its decision, or past it and finished.
        if (end.exit_code == 128 + SIGTERM) {
          EXPECT_TRUE(is_before) << said;
          EXPECT_FALSE(fs::exists(dir / "B")) << said;
          EXPECT_NE(said.find("Interrupted: nothing was created"), std::string::npos) << said;
        } else {
          EXPECT_EQ(end.exit_code, 0) << said;
          EXPECT_TRUE(is_after) << said;
        }
        break;
      case Stop::kFail:
        EXPECT_EQ(end.exit_code, 1) << said;
        break;
    }

    // The next run into B's place finishes or redoes the work.
    if (!fs::exists(dir / "B" / "B.vlp")) {
      const ProcessEnd again = RunLinked(dir, "b", "B", 0, c.stop, stopped_log + "2");
      EXPECT_EQ(again.exit_code, 0) << ReadBytes(stopped_log + "2.out");
    }
    const auto [a2, b2] = NormalPair(dir);
    EXPECT_EQ(a2, a_after);
    EXPECT_EQ(b2, b_after);
    EXPECT_EQ(RunLeftovers(dir / "A"), std::vector<std::string>{});
    EXPECT_EQ(RunLeftovers(dir / "B"), std::vector<std::string>{});
  }
  // The stops fell on both sides of the decision.
  EXPECT_GT(before, 0);
  if (c.stop != Stop::kFail) {
    EXPECT_GT(after + between, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Stops, InterruptedPairTest,
                         ::testing::Values(StopCase{Db::kSQLite, Stop::kKill, 24},
                                           StopCase{Db::kSQLite, Stop::kTerm, 12},
                                           StopCase{Db::kSQLite, Stop::kFail, 12},
                                           StopCase{Db::kPostgreSQL, Stop::kKill, 10},
                                           StopCase{Db::kPostgreSQL, Stop::kTerm, 6},
                                           StopCase{Db::kPostgreSQL, Stop::kFail, 6}),
                         [](const auto& info) {
                           const StopCase& c = info.param;
                           return std::string(c.db == Db::kSQLite ? "SQLite" : "PostgreSQL") +
                                  (c.stop == Stop::kKill   ? "Killed"
                                   : c.stop == Stop::kTerm ? "Terminated"
                                                           : "Failing");
                         });

class RecoveryTest : public PairFixture {
 protected:
  void SetUp() override { SetUpPair(Db::kSQLite); }
};

// Killed after its decision, before A's commit, the run's rows for A are
// written again by the next run exactly as planned, which it must refuse
// when others have drawn keys in A meanwhile.
TEST_F(RecoveryTest, AProjectChangedSinceTheDecisionIsNotWrittenInto) {
  const fs::path ref = root_ / "ref", dir = root_ / "stopped";
  MakeA(ref);
  ASSERT_EQ(RunLinked(ref, "b", "B", 0, Stop::kKill, (ref / "log").string()).exit_code, 0);
  const std::vector<LoggedStep> steps = ReadLog((ref / "log").string());
  long commit = 0;  // A's last commit
  for (size_t i = 0; i < steps.size(); ++i)
    if (steps[i].where == (ref / "A" / "A.db").string() && steps[i].text == "COMMIT")
      commit = static_cast<long>(i) + 1;
  ASSERT_GT(commit, 0);
  MakeA(dir);
  EXPECT_EQ(RunLinked(dir, "b", "B", commit, Stop::kKill, (dir / "log").string()).signal, SIGKILL);
  ASSERT_TRUE(dbtest::OtherConnection((dir / "A" / "A.db").string())
                  .Exec("UPDATE VlKeys SET LastKey = LastKey + 1"));
  const ProcessEnd again = RunLinked(dir, "b", "B", 0, Stop::kKill, (dir / "log2").string());
  const std::string said = ReadBytes(dir / "log2.out");
  EXPECT_EQ(again.exit_code, 1) << said;
  EXPECT_NE(said.find("has changed since"), std::string::npos) << said;
}

class ConcurrentPairTest : public PairFixture, public ::testing::WithParamInterface<Db> {
 protected:
  void SetUp() override { SetUpPair(GetParam()); }
};

// Two runs that both complete A, started together: one waits for the
// other, and both end linked to A.
TEST_P(ConcurrentPairTest, TwoRunsCompletingOneProjectBothLinkIt) {
  const fs::path dir = root_ / "both";
  MakeA(dir);
  std::vector<std::string> b_args = CreateArgs("b", dir / "B"), c_args = CreateArgs("c", dir / "C");
  ProcessEnd b_end, c_end;
  std::thread b(
      [&] { b_end = RunLinked(dir, "b", "B", 0, Stop::kKill, (dir / "logB").string(), b_args); });
  std::thread c(
      [&] { c_end = RunLinked(dir, "c", "C", 0, Stop::kKill, (dir / "logC").string(), c_args); });
  b.join();
  c.join();
  ASSERT_EQ(b_end.exit_code, 0) << ReadBytes(dir / "logB.out");
  ASSERT_EQ(c_end.exit_code, 0) << ReadBytes(dir / "logC.out");
  // A knows both; each knows A; A waits for neither any more.
  const ProjectState a = StateOf(dir / "A");
  EXPECT_EQ(a.waiting.at("UnResExtProjs.xml"), "<none>");
  const std::string ext =
      GetParam() == Db::kPostgreSQL ? "vlexternalprojects" : "vlExternalProjects";
  ASSERT_EQ(a.tables.at(ext).size(), 2u);
  std::string rows = a.tables.at(ext)[0] + a.tables.at(ext)[1];
  EXPECT_NE(rows.find("Bravo"), std::string::npos) << rows;
  EXPECT_NE(rows.find("Charlie"), std::string::npos) << rows;
  for (const char* p : {"B", "C"}) {
    const ProjectState s = StateOf(dir / p);
    ASSERT_EQ(s.tables.at(ext).size(), 1u) << p;
    EXPECT_NE(s.tables.at(ext)[0].find("Alpha"), std::string::npos) << p;
  }
}

INSTANTIATE_TEST_SUITE_P(Databases, ConcurrentPairTest,
                         ::testing::Values(Db::kSQLite, Db::kPostgreSQL), [](const auto& info) {
                           return std::string(info.param == Db::kSQLite ? "SQLite" : "PostgreSQL");
                         });

}  // namespace
}  // namespace vl::hostile
