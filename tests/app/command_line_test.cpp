#include "app/command_line.h"

#include <fcntl.h>
#include <pty.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <nlohmann/json.hpp>

#include "app_fixture.h"

namespace vl {
namespace {

int64_t Count(const std::string& db, const std::string& sql) {
  sqlite3* h = nullptr;
  int64_t n = -1;
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return n;
}

TEST(CommandLineParse, UsageErrorsAreRefusedNamingTheOption) {
  const struct {
    std::vector<std::string> args;
    std::string named;
  } refused[] = {{{}, ""},
                 {{"frobnicate", "x"}, ""},
                 {{"create"}, ""},
                 {{"create", "a", "b"}, ""},
                 {{"create", "a", "--folder"}, "--folder"},
                 {{"create", "a", "--external", "nothing"}, ""},
                 {{"create", "a", "--bogus"}, "--bogus"},
                 {{"create", "a", "--pg-schema"}, "--pg-schema"},
                 {{"create", "a", "--sql-log"}, "--sql-log"},
                 {{"create", "a", "--external", "{0000}=p.vlp"}, "is no GUID"}};
  for (const auto& r : refused) {
    CommandLineOptions o;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(r.args, o, error)) << r.args.size();
    EXPECT_NE(error.find(r.named), std::string::npos) << error;
  }
  // Options that do nothing there are named in a note.
  const struct {
    std::vector<std::string> args;
    std::string note;
  } idle[] = {
      {{"validate", "a", "--yes"}, "--yes does nothing with validate"},
      {{"review", "a", "--verify"}, "--verify does nothing with review"},
      {{"create", "a", "--external-traces"}, "--external-traces does nothing without --traces"}};
  for (const auto& i : idle) {
    CommandLineOptions o;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(i.args, o, error)) << error;
    ASSERT_EQ(o.notes.size(), 1u) << i.note;
    EXPECT_EQ(o.notes[0].rfind(i.note, 0), 0u) << o.notes[0];
  }
  EXPECT_EQ(RunCli({"create"}).status, kExitUsage);
  CliResult help = RunCli({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_NE(help.out.find("--pg-conninfo"), std::string::npos) << help.out;
}

using CommandLineTest = AppTest;

TEST_F(CommandLineTest, ValidatePrintsTheBaselineOrFails) {
  CliResult ok = RunCli({"validate", SampleBaseline()});
  EXPECT_EQ(ok.status, kExitOk) << ok.err;
  EXPECT_NE(ok.out.find("GUID:"), std::string::npos);
  CliResult bad = RunCli({"validate", (scratch_ / "nothing").string()});
  EXPECT_EQ(bad.status, kExitFailed);
  EXPECT_NE(bad.err.find("BaselineList.xml"), std::string::npos);
}

TEST_F(CommandLineTest, CreateMakesTheProjectAndReportsTheResult) {
  std::string folder = (scratch_ / "Made").string();
  CliResult r = RunCli(
      {"create", SampleBaseline(), "--folder", folder, "--all", "--yes", "--quiet", "--verify"});
  ASSERT_EQ(r.status, kExitOk) << r.err << r.out;
  EXPECT_NE(r.out.find("Project created: " + folder + "/Made.vlp"), std::string::npos);
  EXPECT_GT(Count(folder + "/Made.db", "select count(*) from vlUsers"), 1);
  // --verify: the proof is among the results on the page.
  const std::string proof = "Result: the project holds its baseline";
  bool on_page = false;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    on_page |= e.path().extension() == ".html" &&
               ReadFile(e.path().string()).find(proof) != std::string::npos;
  EXPECT_TRUE(on_page);
}

TEST_F(CommandLineTest, AFolderQuestionWithoutAnAnswerStopsBeforeCreating) {
  std::string folder = (scratch_ / "Asked" / "Deeper").string();
  CliResult r = RunCli({"create", SampleBaseline(), "--folder", folder});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("--yes"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder));
  CliResult typed = RunCli({"create", SampleBaseline(), "--folder", folder}, "y\n", true);
  EXPECT_EQ(typed.status, kExitOk) << typed.err;
}

// Usage errors are found before anything is asked or created; a signal
// ends the tool with 128 + its number; neither leaves anything behind.
// Messages say what is wrong first and name the procedure only with
// --verbose.
TEST_F(CommandLineTest, TheExitStatusTellsWhatHappened) {
  const std::string folder = (scratch_ / "X").string();
  const std::string not_a_project = SampleBaseline() + "/Project.xml";
  const std::string service = "19a4485b-ebd2-4a73-99eb-ccadda346ef8";  // any case, no braces
  const struct {
    std::vector<std::string> extra;
    int signal, status;
    std::string said, not_said;
  } cases[] = {
      {{"--database", "Nope"}, 0, kExitUsage, "\"Nope\" is not offered", ""},
      {{"--external", "{00000000-0000-0000-0000-000000000000}=/x.vlp"},
       0,
       kExitUsage,
       "has no external project",
       ""},
      {{"--external", service + "=/no/such.vlp"}, 0, kExitUsage, "no such file: /no/such.vlp", ""},
      {{"--external", service + "=" + not_a_project},
       0,
       kExitFailed,
       "not a project file",
       "frmWizard"},
      {{"--external", service + "=" + not_a_project, "-v"},
       0,
       kExitFailed,
       "(frmWizard.validateExtProjectLoc)",
       ""},
      {{}, SIGINT, 130, "", ""},
      {{}, SIGTERM, 143, "", ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"create", SampleBaseline(), "--folder", folder, "--yes"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CancelRequest cancel{c.signal};
    const CliResult r = RunCli(args, "", false, &cancel);
    EXPECT_EQ(r.status, c.status) << c.said << c.signal;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    if (!c.not_said.empty()) {
      EXPECT_EQ(r.err.find(c.not_said), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
  }
}

// Replaces every `from` in the baseline file `name` by `to`.
void Edit(const std::filesystem::path& baseline, const std::string& name, const std::string& from,
          const std::string& to) {
  std::string text = ReadFile((baseline / name).string());
  ASSERT_NE(text.find(from), std::string::npos) << name << ": " << from;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  std::ofstream(baseline / name, std::ios::binary | std::ios::trunc) << text;
}

const std::string kRootPkg = "{A475A773-A7F4-469C-8DEB-1D38EEDABD99}.XML";
const std::string kFeaturePkg = "{B140A83F-B8E4-47ED-BF80-3F751E4A11ED}.XML";
const std::string kSoftwarePkg = "{90CF45CC-5C09-463F-9378-3CCDE5D99791}.XML";
const std::string kPowerPkg = "{02B76298-4599-4EBB-833B-A86A300D4F6C}.XML";

struct Damage {
  const char* what;
  std::function<void(const std::filesystem::path&)> apply;
  std::string file, element;  // both named in the problem
  // At most this many problems that stop the run (0: any): a file that
  // cannot be read is named, not every reference to what it defines.
  size_t most_stops = 0;
};

const Damage kDamages[] = {
    {"package file deleted", [](auto& b) { std::filesystem::remove(b / kPowerPkg); },
     kSoftwarePkg + ":", "PROJECT/Pkg/Pkgs/Pkg/GUID"},
    {"package file truncated",
     [](auto& b) { std::filesystem::resize_file(b / kSoftwarePkg, 3000); }, kSoftwarePkg + ":",
     "not well-formed"},
    {"package file broken", [](auto& b) { Edit(b, kPowerPkg, "<Requirements>", "<Requirements"); },
     kPowerPkg + ":", "not well-formed"},
    {"document file missing", [](auto& b) { std::filesystem::remove(b / "BrewmateVision.DOC"); },
     kFeaturePkg + ":", "Doc/FileName"},
    {"structure does not parse", [](auto& b) { Edit(b, "ProjectStructure.XML", "</PROJECT>", ""); },
     "ProjectStructure.XML:", "not well-formed", 6},
    {"user groups missing", [](auto& b) { std::filesystem::remove(b / "ProjectUserGroups.XML"); },
     "ProjectUserGroups.XML", "missing"},
    {"structure element dropped",
     [](auto& b) { Edit(b, "ProjectStructure.XML", "RequirementTypes>", "ReqTypes>"); },
     "ProjectStructure.XML:", "RequirementTypes"},
    {"project record attribute dropped",
     [](auto& b) { Edit(b, "Project.xml", "SecurityEnabled=\"1\"", ""); },
     "Project.xml:", "Project/@SecurityEnabled"},
    {"root package not listed",
     [](auto& b) { Edit(b, "PackageList.XML", "ParentID=\"0\"", "ParentID=\"9\""); },
     "PackageList.XML:", "root package"},
    {"package files in a cycle",
     [](auto& b) {
       Edit(b, kPowerPkg, "<Docs/>",
            "<Docs/><Pkgs><Pkg><GUID>{A475A773-A7F4-469C-8DEB-1D38EEDABD99}</GUID></Pkg></Pkgs>");
     },
     kPowerPkg + ":", "reached a second time"},
    {"requirement type unknown",
     [](auto& b) { Edit(b, kPowerPkg, "<RTID>{30F53629", "<RTID>{30F53620"); }, kPowerPkg + ":",
     "Req[1]/RTID"},
    {"list item unknown",
     [](auto& b) { Edit(b, kPowerPkg, "<LGUID>{5235BF01", "<LGUID>{5235BF00"); }, kPowerPkg + ":",
     "LV[1]/LGUID"},
    {"group of a user unknown",
     [](auto& b) {
       Edit(b, "ProjectUserGroups.XML", "GroupName=\"Reviewers\"", "GroupName=\"Testers\"");
     },
     "ProjectUserGroups.XML:", "User[4]/@GroupName"},
    {"rights section dropped",
     [](auto& b) { Edit(b, "Permissions.XML", "<AttributeRights/>", ""); },
     "Permissions.XML:", "\"AttributeRights\" is missing"},
    {"view user unknown",
     [](auto& b) { Edit(b, kRootPkg, "<ViewUserGUID>{75918859", "<ViewUserGUID>{75918850"); },
     kRootPkg + ":", "View[1]/ViewUserGUID"},
    {"query of a view refused",
     [](auto& b) { Edit(b, "QueryDefs.XML", "WHERE {67078855", "WHERE {6707885X"); },
     kRootPkg + ":", "View[2]/ViewQueryDefGUID"},
    {"query of a view refused while its second waits",
     [](auto& b) {
       Edit(b, "QueryDefs.XML", "WHERE {67078855", "WHERE {6707885X");
       Edit(b, "QueryDefs.XML", "<QUERYSTRING>({30F53629-3E47-4597-8893-1925C7A0F1B3})<",
            "<QUERYSTRING>({19A4485B-EBD2-4A73-99EB-CCADDA346EF8}.{30F53629-3E47-4597-8893-"
            "1925C7A0F1B3})<");
     },
     kRootPkg + ":", "View[2]/ViewQueryDefGUID"},
    {"history user unknown",
     [](auto& b) { Edit(b, "ProjectHistory.xml", "{22379E04", "{22379E00"); },
     "ProjectHistory.xml:", "RVer[3]/VUGUID"},
    {"trace end unknown",
     [](auto& b) { Edit(b, kFeaturePkg, "<TRID>{539D6CE6", "<TRID>{539D6CE0"); }, kFeaturePkg + ":",
     "TTo/TReq[1]/TRID"},
    {"trace state no number",
     [](auto& b) {
       Edit(b, kFeaturePkg, "<State>0</State><TRTag>SR1<", "<State>x</State><TRTag>SR1<");
     },
     kFeaturePkg + ":", "TReq[1]/State"},
    {"discussion author unknown",
     [](auto& b) { Edit(b, "Discussions.XML", "<AID>{352D7CA7", "<AID>{352D7CA0"); },
     "Discussions.XML:", "Disc[2]/AID"},
};

// Each damage is found by validate, naming the file and the element, and
// stops create before anything is created.
TEST_F(CommandLineTest, DamagedBaselinesAreFoundBeforeAnythingIsWritten) {
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.what);
    scratch_folder_.Clear();
    const std::filesystem::path baseline = CopyOfSample();
    damage.apply(baseline);
    CliResult validated = RunCli({"validate", baseline.string()});
    EXPECT_EQ(validated.status, kExitFailed);
    std::istringstream lines(validated.err);
    bool named = false;
    for (std::string line; !named && std::getline(lines, line);)
      named = line.find(damage.file) != std::string::npos &&
              line.find(damage.element) != std::string::npos;
    EXPECT_TRUE(named) << validated.err;
    size_t stops = 0;
    for (size_t at = 0; (at = validated.err.find(": stops the run: ", at)) != std::string::npos;
         ++at)
      ++stops;
    if (damage.most_stops > 0) {
      EXPECT_LE(stops, damage.most_stops) << validated.err;
    }
    const std::string folder = (scratch_ / "made").string();
    CliResult created = RunCli({"create", baseline.string(), "--folder", folder, "--all", "--yes"});
    EXPECT_EQ(created.status, kExitFailed) << created.err;
    EXPECT_FALSE(std::filesystem::exists(folder));
  }
}

// What would only leave part of the baseline out is listed, and create asks
// before it goes on; the run says what it left out.
TEST_F(CommandLineTest, DataThatWouldBeLostIsListedAndCreateAsksFirst) {
  const struct {
    std::string file, from, to, problem, result;
  } kLosses[] = {
      {kRootPkg, "<SecQueryID>{1618CB22", "<SecQueryID>{1618CB20",
       ":35: loses data: PROJECT/Pkg/Views/View[2]/SecQueryID: ", ""},
      {"ProjectUserGroups.XML", "Password=\"98;114;", "Password=\"98;0;114;",
       ":17: loses data: PROJECT/Users/User[2]/@Password: the password of the user \"mkowalski\"",
       "The password of the user mkowalski holds character codes that stand for no character (1 "
       "of them"},
  };
  for (const auto& loss : kLosses) {
    SCOPED_TRACE(loss.problem);
    scratch_folder_.Clear();
    const std::string baseline = CopyOfSample();
    Edit(baseline, loss.file, loss.from, loss.to);
    CliResult validated = RunCli({"validate", baseline});
    EXPECT_EQ(validated.status, kExitFailed);
    EXPECT_NE(validated.err.find(loss.problem), std::string::npos) << validated.err;
    const std::string folder = (scratch_ / "made").string();
    EXPECT_EQ(RunCli({"create", baseline, "--folder", folder}).status, kExitFailed);
    EXPECT_FALSE(std::filesystem::exists(folder));
    CliResult yes = RunCli({"create", baseline, "--folder", folder, "--yes", "--verbose"});
    EXPECT_EQ(yes.status, kExitOk) << yes.err;
    EXPECT_NE(yes.out.find(loss.result), std::string::npos) << yes.out;
  }
  // The rest of the password is kept.
  EXPECT_EQ(Count((scratch_ / "made/made.db").string(),
                  "select count(*) from vlUsers where Password = 'brew42'"),
            1);
}

// The new project's place is checked before any question: a folder that is
// or lies inside the baseline folder, or that holds a project already, is
// a usage error and nothing is created.
TEST_F(CommandLineTest, AnUnusableProjectFolderIsAUsageError) {
  const std::string baseline = CopyOfSample();
  CliResult made = RunCli({"create", baseline, "--folder", (scratch_ / "p").string(), "--yes"});
  ASSERT_EQ(made.status, kExitOk) << made.err;
  for (const std::string& folder :
       {baseline, baseline + "/inner", (scratch_ / "p").string(), (scratch_ / "p/q/..").string()}) {
    SCOPED_TRACE(folder);
    CliResult r = RunCli({"create", baseline, "--folder", folder, "--yes"});
    EXPECT_EQ(r.status, kExitUsage) << r.err;
    EXPECT_NE(r.err.find("project folder"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(baseline + "/inner"));
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "p" / "q"));
}

// Runs the program with `args`, its standard error on a pseudo-terminal
// (standard output too) or on a pipe (standard output to /dev/null), and
// gives what standard error showed.
std::string StandardErrorOf(const std::vector<std::string>& args, bool terminal) {
  const std::string program = std::string(VL_BINARY_DIR) + "/vlbaseline";
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int reader = -1, ends[2] = {-1, -1};
  winsize size{24, 100, 0, 0};
  const pid_t pid = terminal ? forkpty(&reader, nullptr, nullptr, &size) : (pipe(ends), fork());
  if (pid == 0) {
    if (!terminal) {
      dup2(ends[1], STDERR_FILENO);
      dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
      close(ends[0]);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (!terminal) reader = ends[0], close(ends[1]);
  std::string shown;
  char buffer[4096];
  for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) shown.append(buffer, n);
  close(reader);
  waitpid(pid, nullptr, 0);
  return shown;
}

// On a terminal the progress line is drawn over itself and gone before the
// summary; on a pipe no line is ever drawn over.
TEST_F(CommandLineTest, ProgressShowsOnATerminalOnly) {
  for (const bool terminal : {true, false}) {
    SCOPED_TRACE(terminal);
    scratch_folder_.Clear();
    const std::string shown = StandardErrorOf(
        {"create", SampleBaseline(), "--folder", (scratch_ / "P").string(), "--yes"}, terminal);
    const size_t drawn = shown.find("\rCopying groups");
    if (!terminal) {
      EXPECT_EQ(shown.find_first_of("\r\x1b"), std::string::npos) << shown;
      continue;
    }
    const size_t cleared = shown.rfind("\r\x1b[K");
    const size_t summary = shown.find("Created the project");
    EXPECT_NE(drawn, std::string::npos) << shown;
    EXPECT_LT(drawn, cleared);
    EXPECT_EQ(cleared + 4, summary) << "cleared right before the summary";
  }
}

// --json: one document on standard output that scripts read, for a run
// that created a project with references waiting for another, and for
// one that stopped before creating anything.
TEST_F(CommandLineTest, JsonTellsStatusCountsMessagesAndWaitingReferences) {
  const std::string damaged = CopyOfSample();
  std::filesystem::remove(std::filesystem::path(damaged) / "ProjectUserGroups.XML");
  const std::string service = "{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}";
  const struct {
    std::string baseline, status;
    int exit;
  } cases[] = {{SampleBaseline(), "created", kExitOk}, {damaged, "failed", kExitFailed}};
  for (const auto& c : cases) {
    const std::string folder = (scratch_ / c.status).string();
    const CliResult r =
        RunCli({"create", c.baseline, "--folder", folder, "--all", "--yes", "--json"});
    EXPECT_EQ(r.status, c.exit) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(r.out);  // the whole output is the document
    EXPECT_EQ(doc["status"], c.status);
    EXPECT_EQ(doc["exit_status"], c.exit);
    EXPECT_EQ(doc["project"]["database"], "SQLite");
    if (c.exit == kExitFailed) {
      EXPECT_FALSE(doc["reason"].get<std::string>().empty());
      bool named = false;
      for (const auto& m : doc["messages"])
        named |= m["severity"] == "error" && m["file"] == "ProjectUserGroups.XML";
      EXPECT_TRUE(named) << doc.dump(2);
      continue;
    }
    EXPECT_EQ(doc["project"]["file"], folder + "/created.vlp");
    EXPECT_EQ(doc["project"]["database_file"], folder + "/created.db");
    EXPECT_EQ(doc["counts"]["requirements"], 10);
    EXPECT_EQ(doc["counts"]["traces"], 5);
    ASSERT_EQ(doc["pending"].size(), 1u);
    EXPECT_EQ(doc["pending"][0]["project_guid"], service);
    EXPECT_EQ(doc["pending"][0]["traces"], 2);
    EXPECT_TRUE(std::filesystem::exists(doc["results_page"].get<std::string>()));
  }
}

}  // namespace
}  // namespace vl
