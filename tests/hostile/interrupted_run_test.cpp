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
#include <mutex>
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

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

const std::string kGuidA = "{AAAAAAAA-0000-4000-8000-00000000000A}";

// A step the library logged: where (a database, "pg:<name>" or
// "rename") and its text.
struct LoggedStep {
  std::string where, text;
};

std::vector<LoggedStep> ReadLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<LoggedStep> log;
  LoggedStep s;
  for (long rc, size; std::getline(in, s.where, '\t') && in >> rc >> size && in.ignore(1);) {
    s.text.resize(static_cast<size_t>(size));
    if (!in.read(s.text.data(), size) || !in.ignore(1)) break;
    log.push_back(s);
  }
  return log;
}

struct ProcessEnd {
  int signal = 0;  // the signal that ended it
  int exit_code = -1;
};

// Runs vlbaseline with `args` and the step library preloaded, with the
// variables `env`; its output goes to `output`.
ProcessEnd RunTool(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env, const std::string& output) {
  std::string program = std::string(VL_BINARY_DIR) + "/vlbaseline";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(out, 1);
    dup2(out, 2);
    setenv("LD_PRELOAD", VL_SQL_KILL_SHIM, 1);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv = {program.data()};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFSIGNALED(status) ? WTERMSIG(status) : 0, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Every table of a database: its name and its rows as text.
using Tables = std::map<std::string, std::vector<std::string>>;

Tables PgTables(const std::string& conninfo, const std::string& schema) {
  pgtest::Observer server(conninfo);
  Tables tables;
  std::istringstream names(server.Scalar(
      "SELECT string_agg(table_name, ',') FROM information_schema.tables WHERE table_type = "
      "'BASE TABLE' AND table_schema = '" +
      schema + "'"));
  for (std::string name; std::getline(names, name, ',') && name != "<null>";) {
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
  for (const auto& [table, rows] : s.tables)
    for (const std::string& row : rows) out << table << ": " << row << "\n";
  return out;
}

// New GUIDs told by the GUID maps of the projects in `folders` (their
// staging places included): "new:" and the baseline's GUID, the project's
// own as "project:" and its baseline's.
std::map<std::string, std::string> GuidNames(const std::vector<fs::path>& folders) {
  std::map<std::string, std::string> names;
  for (const fs::path& folder : folders)
    for (const fs::path& place : {folder, folder / ".vlbaseline-partial"})
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
  return names;
}

// `s` with the GUIDs the maps name replaced by their names, any other GUID
// by "{G}", and `folder` by "<here>"; rows sorted.
ProjectState Normal(ProjectState s, const std::map<std::string, std::string>& names,
                    const std::string& folder) {
  static const std::regex guid(
      R"(\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\})");
  auto normal = [&](std::string& text) {
    std::string out;
    auto at = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), guid), end; it != end; ++it) {
      out.append(at, (*it)[0].first);
      auto name = names.find(it->str());
      out += name != names.end() ? name->second : "{G}";
      at = (*it)[0].second;
    }
    out.append(at, text.cend());
    for (size_t p; (p = out.find(folder)) != std::string::npos;)
      out.replace(p, folder.size(), "<here>");
    text = out;
  };
  for (auto& [table, rows] : s.tables) {
    std::for_each(rows.begin(), rows.end(), normal);
    std::sort(rows.begin(), rows.end());
  }
  for (auto& [file, text] : s.waiting) normal(text);
  return s;
}

enum class Db { kSQLite, kPostgreSQL };
enum class Stop { kKill, kTerm, kFail };

// A's baseline waits for B (and C); B's and C's for A.
class PairFixture : public ::testing::Test {
 protected:
  void SetUp() override { SetUpPair(Db::kSQLite); }
  void SetUpPair(Db db) {
    db_ = db;
    if (db == Db::kPostgreSQL) {
      VL_NEED_PG_SERVER();
    }
    gen::Options b;
    b.seed = 2, b.project_guid = "{BBBBBBBB-0000-4000-8000-00000000000B}", b.name = "Bravo";
    b.prefix = "BRV", b.requirements = 24, b.packages = 3, b.users = 3, b.discussions = 1;
    gen::WriteBaseline(b, (root_ / "b0").string());
    gen::Options a = b;
    a.seed = 1, a.project_guid = kGuidA, a.name = "Alpha", a.prefix = "ALP", a.cross_traces = 8;
    a.externals = {{"{CCCCCCCC-0000-4000-8000-00000000000C}", "Charlie", "CHA"}};
    a.external_baseline = (root_ / "b0").string();
    gen::WriteBaseline(a, (root_ / "a").string());
    b.external_baseline = (root_ / "a").string();
    gen::WriteBaseline(b, (root_ / "b").string());
    b.seed = 3, b.project_guid = a.externals[0].guid, b.name = "Charlie", b.prefix = "CHA";
    gen::WriteBaseline(b, (root_ / "c").string());
  }

  std::vector<std::string> CreateArgs(const std::string& baseline, const fs::path& folder) {
    std::vector<std::string> args = {
        "create", (root_ / baseline).string(), "--folder", folder.string(), "--all", "--yes",
        "--quiet"};
    if (db_ == Db::kPostgreSQL) {
      const std::lock_guard<std::mutex> lock(schemas_mutex_);  // runs may start together
      schemas_.push_back(std::make_unique<pgtest::ScratchSchema>(conninfo_, "pair"));
      args.insert(args.end(), {"--database", "PostgreSQL", "--pg-conninfo", conninfo_,
                               "--pg-schema", schemas_.back()->name()});
    }
    return args;
  }
  // Creates A in `dir`/A.
  void MakeA(const fs::path& dir) {
    fs::create_directories(dir);
    ASSERT_EQ(RunTool(CreateArgs("a", dir / "A"), {}, (dir / "a.out").string()).exit_code, 0)
        << ReadBytes(dir / "a.out");
  }
  // Runs baseline `project` (lower case) into `dir`/`project`, linked to A,
  // stopped before step `step` (0: never); logs to `dir`/`log`(.out).
  ProcessEnd RunLinked(const fs::path& dir, const std::string& project, long step, Stop stop,
                       const std::string& log) {
    std::string baseline = project;
    baseline[0] = static_cast<char>(std::tolower(baseline[0]));
    std::vector<std::string> args = CreateArgs(baseline, dir / project);
    args.insert(args.end(), {"--external", kGuidA + "=" + (dir / "A" / "A.vlp").string()});
    const std::string how =
        stop == Stop::kFail ? "fail" : std::to_string(stop == Stop::kTerm ? SIGTERM : SIGKILL);
    return RunTool(args,
                   {{"VL_KILL_LOG", (dir / log).string()},
                    {"VL_KILL_AT", std::to_string(step)},
                    {"VL_KILL_SIGNAL", how}},
                   (dir / (log + ".out")).string());
  }

  ProjectState StateOf(const fs::path& folder) const {
    ProjectState s;
    for (const char* f :
         {"UnResExtProjs.xml", "UnResQueryDefs.xml", "UnResViews.xml", "UnResExtTraces.xml"})
      s.waiting[f] = fs::exists(folder / f) ? ReadBytes(folder / f) : "<none>";
    const fs::path vlp = folder / (folder.filename().string() + ".vlp");
    if (!fs::exists(vlp)) return s;
    const ProjectFileInfo info = ReadProjectFile(vlp.string());
    s.tables = info.db_type == kPostgreSQLDisplayName
                   ? PgTables(conninfo_, info.schema)
                   : dbtest::AllRows((folder / info.db_file).string());
    return s;
  }
  // Project `p` of `dir`, normalized by the maps of A and B.
  ProjectState NormalState(const fs::path& dir, const char* p) const {
    return Normal(StateOf(dir / p), GuidNames({dir / "A", dir / "B"}), dir.string());
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
  std::mutex schemas_mutex_;
  testing::ScratchFolder scratch_;
  const fs::path root_{scratch_.path()};
};

// The steps to stop at: around every commit and rename (each of A's
// statements among them when it is the step's database), and more spread
// by a fixed seed; fewer on a server.
std::vector<long> StopPoints(const std::vector<LoggedStep>& steps, const std::string& aDatabase,
                             Stop stop, size_t most) {
  std::set<long> at_edges;
  const long last = static_cast<long>(steps.size());
  for (long i = 1; i <= last; ++i) {
    const LoggedStep& s = steps[i - 1];
    const bool edge = s.text == "COMMIT" || s.where == "rename";
    if (edge || (stop != Stop::kFail && s.where == aDatabase)) at_edges.insert(i);
    if (edge && stop != Stop::kFail) at_edges.insert(i + 1);
  }
  std::vector<long> points(at_edges.begin(), at_edges.end());
  std::shuffle(points.begin(), points.end(), std::mt19937(16));
  points.resize(std::min(points.size(), most * 3 / 4));
  points.push_back(last);  // the new project file put in place
  std::mt19937 random(15);
  while (stop != Stop::kFail && points.size() < most)
    points.push_back(std::uniform_int_distribution<long>(1, last)(random));
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  std::erase_if(points, [&](long p) { return p > last; });
  return points;
}

struct StopCase {
  const char* name;
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
  ASSERT_EQ(RunLinked(ref, "B", 0, c.stop, "log").exit_code, 0) << ReadBytes(ref / "log.out");
  const std::vector<LoggedStep> steps = ReadLog((ref / "log").string());
  ASSERT_GT(steps.size(), 100u) << "the step library is not in effect";
  const ProjectState a_after = NormalState(ref, "A"), b_after = NormalState(ref, "B");
  ASSERT_NE(Normal(a_before_ref, GuidNames({ref / "A"}), ref.string()), a_after);
  const std::vector<long> points = StopPoints(
      steps, c.db == Db::kSQLite ? (ref / "A" / "A.db").string() : "-", c.stop, c.points);
  ASSERT_GE(points.size(), c.stop == Stop::kFail ? 4u : c.points / 2);
  int before = 0, after = 0;
  for (long point : points) {
    SCOPED_TRACE("stopped at step " + std::to_string(point) + " of " +
                 std::to_string(steps.size()) + ": " + steps[point - 1].where + " " +
                 steps[point - 1].text.substr(0, 80));
    const fs::path dir = root_ / ("at" + std::to_string(point));
    MakeA(dir);
    const ProjectState a0 = StateOf(dir / "A");
    const ProcessEnd end = RunLinked(dir, "B", point, c.stop, "log");
    const std::string said = ReadBytes(dir / "log.out");

    // A as before, as after, or committed with each file as before or as
    // after and marked to follow.
    const auto names = GuidNames({dir / "A", dir / "B"});
    const ProjectState a1 = StateOf(dir / "A"), a1_normal = Normal(a1, names, dir.string());
    const ProjectState a0_normal = Normal(a0, names, dir.string());
    const bool is_before = a1 == a0, is_after = a1_normal == a_after;
    bool is_between = !is_before && !is_after && a1_normal.tables == a_after.tables &&
                      !RunLeftovers(dir / "A").empty();
    for (const auto& [file, text] : a1_normal.waiting)
      is_between &= text == a0_normal.waiting.at(file) || text == a_after.waiting.at(file);
    EXPECT_TRUE(is_before || is_after || is_between) << said << a1_normal;
    before += is_before, after += is_after || is_between;
    // B is published whole or not at all.
    EXPECT_TRUE(is_after || !fs::exists(dir / "B" / "B.vlp")) << said;
    EXPECT_EQ(end.signal, c.stop == Stop::kKill ? SIGKILL : end.signal) << said;
    EXPECT_EQ(end.exit_code, c.stop == Stop::kFail ? 1 : end.exit_code) << said;
    // Terminated: stopped before its decision, or past it and finished.
    if (c.stop == Stop::kTerm && end.exit_code == 128 + SIGTERM) {
      EXPECT_TRUE(is_before) << said;
      EXPECT_FALSE(fs::exists(dir / "B")) << said;
      EXPECT_NE(said.find("Interrupted: nothing was created"), std::string::npos) << said;
    } else if (c.stop == Stop::kTerm) {
      EXPECT_EQ(end.exit_code, 0) << said;
      EXPECT_TRUE(is_after) << said;
    }
    // The next run into B's place finishes or redoes the work.
    EXPECT_EQ(
        fs::exists(dir / "B" / "B.vlp") ? 0 : RunLinked(dir, "B", 0, c.stop, "log2").exit_code, 0)
        << ReadBytes(dir / "log2.out");
    EXPECT_EQ(NormalState(dir, "A"), a_after);
    EXPECT_EQ(NormalState(dir, "B"), b_after);
    for (const char* p : {"A", "B"}) EXPECT_EQ(RunLeftovers(dir / p), std::vector<std::string>{});
  }
  // The stops fell on both sides of the decision.
  EXPECT_GT(before, 0);
  EXPECT_TRUE(c.stop == Stop::kFail || after > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, InterruptedPairTest,
    ::testing::Values(StopCase{"SQLiteKilled", Db::kSQLite, Stop::kKill, 24},
                      StopCase{"SQLiteTerminated", Db::kSQLite, Stop::kTerm, 12},
                      StopCase{"SQLiteFailing", Db::kSQLite, Stop::kFail, 12},
                      StopCase{"PostgreSQLKilled", Db::kPostgreSQL, Stop::kKill, 10},
                      StopCase{"PostgreSQLTerminated", Db::kPostgreSQL, Stop::kTerm, 6},
                      StopCase{"PostgreSQLFailing", Db::kPostgreSQL, Stop::kFail, 6}),
    [](const auto& info) { return std::string(info.param.name); });

using RecoveryTest = PairFixture;  // on SQLite

// Killed after its decision, before A's commit, the run's rows for A are
// written again by the next run exactly as planned, which it must refuse
// when others have drawn keys in A meanwhile.
TEST_F(RecoveryTest, AProjectChangedSinceTheDecisionIsNotWrittenInto) {
  const fs::path ref = root_ / "ref", dir = root_ / "stopped";
  MakeA(ref);
  ASSERT_EQ(RunLinked(ref, "B", 0, Stop::kKill, "log").exit_code, 0);
  const std::vector<LoggedStep> steps = ReadLog((ref / "log").string());
  long commit = 0;  // A's last commit
  for (size_t i = 0; i < steps.size(); ++i)
    if (steps[i].where == (ref / "A" / "A.db").string() && steps[i].text == "COMMIT")
      commit = static_cast<long>(i) + 1;
  ASSERT_GT(commit, 0);
  MakeA(dir);
  EXPECT_EQ(RunLinked(dir, "B", commit, Stop::kKill, "log").signal, SIGKILL);
  ASSERT_TRUE(dbtest::OtherConnection((dir / "A" / "A.db").string())
                  .Exec("UPDATE VlKeys SET LastKey = LastKey + 1"));
  EXPECT_EQ(RunLinked(dir, "B", 0, Stop::kKill, "log2").exit_code, 1)
      << ReadBytes(dir / "log2.out");
  EXPECT_NE(ReadBytes(dir / "log2.out").find("has changed since"), std::string::npos);
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
  std::map<std::string, ProcessEnd> ends = {{"B", {}}, {"C", {}}};
  std::vector<std::thread> runs;
  for (const std::string p : {"B", "C"})
    runs.emplace_back([&, p] { ends.at(p) = RunLinked(dir, p, 0, Stop::kKill, "log" + p); });
  for (std::thread& run : runs) run.join();
  for (const auto& [p, end] : ends)
    ASSERT_EQ(end.exit_code, 0) << ReadBytes(dir / ("log" + p + ".out"));
  // A knows both; each knows A; A waits for neither any more.
  const ProjectState a = StateOf(dir / "A");
  EXPECT_EQ(a.waiting.at("UnResExtProjs.xml"), "<none>");
  const std::string ext =
      GetParam() == Db::kPostgreSQL ? "vlexternalprojects" : "vlExternalProjects";
  ASSERT_EQ(a.tables.at(ext).size(), 2u);
  const std::string rows = a.tables.at(ext)[0] + a.tables.at(ext)[1];
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
