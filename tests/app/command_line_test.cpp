#include "app/command_line.h"

#include <array>
#include <csignal>
#include <nlohmann/json.hpp>

#include "app_fixture.h"
#include "support/db_test_support.h"

namespace vl {
namespace {

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
      {{"--name", "a/b"}, 0, kExitUsage, "project name: ", ""},
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

// Replaces every `from` in the baseline file `name` by `to`; an empty
// `from` removes the file, or with a `to` cuts it to that many bytes.
void Edit(const std::filesystem::path& baseline, const std::string& name, const std::string& from,
          const std::string& to) {
  if (from.empty()) {
    if (to.empty()) std::filesystem::remove(baseline / name);
    if (!to.empty()) std::filesystem::resize_file(baseline / name, std::stoul(to));
    return;
  }
  std::string text = ReadBytes((baseline / name).string());
  ASSERT_NE(text.find(from), std::string::npos) << name << ": " << from;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  std::ofstream(baseline / name, std::ios::binary | std::ios::trunc) << text;
}

const std::string kRootPkg = "{A475A773-A7F4-469C-8DEB-1D38EEDABD99}.XML";
const std::string kFeaturePkg = "{B140A83F-B8E4-47ED-BF80-3F751E4A11ED}.XML";
const std::string kSoftwarePkg = "{90CF45CC-5C09-463F-9378-3CCDE5D99791}.XML";
const std::string kPowerPkg = "{02B76298-4599-4EBB-833B-A86A300D4F6C}.XML";
const std::string kStructure = "ProjectStructure.XML", kGroups = "ProjectUserGroups.XML";
const std::string kQueries = "QueryDefs.XML";

// One or two edits of the sample (see Edit), and what the problem names.
struct Damage {
  std::vector<std::array<std::string, 3>> edits;  // file, from, to
  std::string file, element;                      // both named in the problem
  // At most this many problems that stop the run (0: any): a file that
  // cannot be read is named, not every reference to what it defines.
  size_t most_stops = 0;
};

const Damage kDamages[] = {
    {{{kPowerPkg, "", ""}}, kSoftwarePkg + ":", "PROJECT/Pkg/Pkgs/Pkg/GUID"},
    {{{kSoftwarePkg, "", "3000"}}, kSoftwarePkg + ":", "not well-formed"},
    {{{kPowerPkg, "<Requirements>", "<Requirements"}}, kPowerPkg + ":", "not well-formed"},
    {{{"BrewmateVision.DOC", "", ""}}, kFeaturePkg + ":", "Doc/FileName"},
    {{{kStructure, "</PROJECT>", ""}}, kStructure + ":", "not well-formed", 6},
    {{{kGroups, "", ""}}, kGroups, "missing"},
    {{{kStructure, "RequirementTypes>", "ReqTypes>"}}, kStructure + ":", "RequirementTypes"},
    {{{"Project.xml", "SecurityEnabled=\"1\"", ""}}, "Project.xml:", "Project/@SecurityEnabled"},
    {{{"PackageList.XML", "ParentID=\"0\"", "ParentID=\"9\""}}, "PackageList.XML:", "root package"},
    // Package files in a cycle, and one package its own child.
    {{{kPowerPkg, "<Docs/>",
       "<Docs/><Pkgs><Pkg><GUID>{A475A773-A7F4-469C-8DEB-1D38EEDABD99}</GUID></Pkg></Pkgs>"}},
     kPowerPkg + ":",
     "reached a second time"},
    {{{kPowerPkg, "<Docs/>",
       "<Docs/><Pkgs><Pkg><GUID>{02B76298-4599-4EBB-833B-A86A300D4F6C}</GUID></Pkg></Pkgs>"}},
     kPowerPkg + ":",
     "reached a second time"},
    {{{kPowerPkg, "<RTID>{30F53629", "<RTID>{30F53620"}}, kPowerPkg + ":", "Req[1]/RTID"},
    {{{kPowerPkg, "<LGUID>{5235BF01", "<LGUID>{5235BF00"}}, kPowerPkg + ":", "LV[1]/LGUID"},
    {{{kGroups, "GroupName=\"Reviewers\"", "GroupName=\"Testers\""}},
     kGroups + ":",
     "User[4]/@GroupName"},
    {{{"Permissions.XML", "<AttributeRights/>", ""}},
     "Permissions.XML:",
     "\"AttributeRights\" is missing"},
    {{{kRootPkg, "<ViewUserGUID>{75918859", "<ViewUserGUID>{75918850"}},
     kRootPkg + ":",
     "View[1]/ViewUserGUID"},
    {{{kQueries, "WHERE {67078855", "WHERE {6707885X"}},
     kRootPkg + ":",
     "View[2]/ViewQueryDefGUID"},
    // The same while the view's second query waits for another project.
    {{{kQueries, "WHERE {67078855", "WHERE {6707885X"},
      {kQueries, "<QUERYSTRING>({30F53629-3E47-4597-8893-1925C7A0F1B3})<",
       "<QUERYSTRING>({19A4485B-EBD2-4A73-99EB-CCADDA346EF8}.{30F53629-3E47-4597-8893-"
       "1925C7A0F1B3})<"}},
     kRootPkg + ":",
     "View[2]/ViewQueryDefGUID"},
    {{{"ProjectHistory.xml", "{22379E04", "{22379E00"}}, "ProjectHistory.xml:", "RVer[3]/VUGUID"},
    {{{kFeaturePkg, "<TRID>{539D6CE6", "<TRID>{539D6CE0"}}, kFeaturePkg + ":", "TTo/TReq[1]/TRID"},
    {{{kFeaturePkg, "<State>0</State><TRTag>SR1<", "<State>x</State><TRTag>SR1<"}},
     kFeaturePkg + ":",
     "TReq[1]/State"},
    {{{"Discussions.XML", "<AID>{352D7CA7", "<AID>{352D7CA0"}}, "Discussions.XML:", "Disc[2]/AID"},
};

// Each damage is found by validate, naming the file and the element, and
// stops create before anything is created.
TEST_F(CommandLineTest, DamagedBaselinesAreFoundBeforeAnythingIsWritten) {
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.element);
    scratch_folder_.Clear();
    const std::filesystem::path baseline = CopyOfSample();
    for (const auto& [file, from, to] : damage.edits) Edit(baseline, file, from, to);
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
    EXPECT_LE(stops, damage.most_stops ? damage.most_stops : stops) << validated.err;
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
  EXPECT_EQ(dbtest::OtherConnection((scratch_ / "made/made.db").string())
                .Scalar("select count(*) from vlUsers where Password = 'brew42'"),
            "1");
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

// On a terminal the progress line is drawn over itself and gone before the
// summary; elsewhere no line is ever drawn over.
TEST_F(CommandLineTest, ProgressShowsOnATerminalOnly) {
  for (const bool terminal : {true, false}) {
    SCOPED_TRACE(terminal);
    scratch_folder_.Clear();
    const CliResult r =
        RunCli({"create", SampleBaseline(), "--folder", (scratch_ / "P").string(), "--yes"}, "",
               false, nullptr, {terminal, terminal, 100});
    EXPECT_NE(r.out.find("Created the project"), std::string::npos) << r.out;
    const size_t drawn = r.err.find("\rCopying groups"), cleared = r.err.rfind("\r\x1b[K");
    if (!terminal) {
      EXPECT_EQ(r.err.find_first_of("\r\x1b"), std::string::npos) << r.err;
      continue;
    }
    EXPECT_NE(drawn, std::string::npos) << r.err;
    EXPECT_LT(drawn, cleared);
    EXPECT_EQ(cleared + 4, r.err.size()) << "cleared at the end";
  }
}

// --json: one document on standard output that scripts read, for a run
// that created a project with references waiting for another (and, with
// --verify, the proof on its results page), and for one that stopped
// before creating anything.
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
        RunCli({"create", c.baseline, "--folder", folder, "--all", "--yes", "--json", "--verify"});
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
    EXPECT_NE(ReadBytes(doc["results_page"].get<std::string>())
                  .find("Result: the project holds its baseline"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace vl
