// `vlbaseline verify` on projects created from baselines of every shape
// (SQLite and PostgreSQL), on linked pairs created in both orders (and
// what the second run of a pair says of the first project), and on
// databases with one planted fault of each kind.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <pugixml.hpp>
#include <sstream>

#include "app/command_line.h"
#include "app/verify/verification.h"
#include "gen-baseline/generator.h"
#include "support/pg_test_support.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

namespace fs = std::filesystem;
using verify::Difference;
using verify::VerifyReport;

std::string Describe(const VerifyReport& r) {
  std::string s = r.error;
  for (const Difference& d : r.differences)
    s += "\n" + d.object.kind + " " + d.object.name + " " + d.table + "." + d.field + ": " +
         d.expected + " / " + d.found;
  for (const std::string& n : r.notes) s += "\nnote: " + n;
  return s;
}

size_t Count(const VerifyReport& r, size_t verify::KindSummary::*field) {
  size_t n = 0;
  for (const verify::KindSummary& k : r.kinds) n += k.*field;
  return n;
}

class VerifyTest : public ::testing::Test {
 protected:
  const std::string kA = "{AAAAAAAA-0000-4000-8000-00000000000A}";
  const std::string kB = "{BBBBBBBB-0000-4000-8000-00000000000B}";
  int Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    std::istringstream in;
    const int status = RunCommandLine(args, VL_BINARY_DIR, out, err, in, false);
    out_ = out.str(), err_ = err.str();
    return status;
  }
  std::string Generate(const std::string& name, const gen::Options& o) {
    gen::WriteBaseline(o, (root_ / name).string());
    return (root_ / name).string();
  }
  // Creates root/folder from `baseline`; returns the project file.
  std::string Create(const std::string& baseline, const std::string& folder,
                     std::vector<std::string> extra = {"--all"}) {
    std::vector<std::string> args = {"create", baseline, "--folder", (root_ / folder).string(),
                                     "--yes",  "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(Run(args), kExitOk) << err_ << out_;
    return (root_ / folder / (folder + ".vlp")).string();
  }
  VerifyReport Verify(const std::string& baseline, const std::string& project) {
    verify::VerifyRequest r;
    r.baseline = baseline;
    r.project_file = project;
    r.resource_dir = VL_BINARY_DIR;
    return verify::VerifyProject(r);
  }
  // Baselines "a" (Alpha, kA) and "b" (Bravo, kB) that refer to each other.
  std::pair<std::string, std::string> GeneratePair() {
    gen::Options b;
    b.seed = 2, b.project_guid = kB, b.name = "Bravo", b.prefix = "BRV", b.requirements = 30;
    Generate("b0", b);
    gen::Options a = b;
    a.seed = 1, a.project_guid = kA, a.name = "Alpha", a.prefix = "ALP", a.cross_traces = 12;
    a.external_baseline = (root_ / "b0").string();
    b.external_baseline = Generate("a", a);
    return {b.external_baseline, Generate("b", b)};
  }
  void ExpectMatch(const std::string& baseline, const std::string& project) {
    const VerifyReport r = Verify(baseline, project);
    EXPECT_TRUE(r.Matches()) << Describe(r);
    EXPECT_GT(Count(r, &verify::KindSummary::found), 0u);
    EXPECT_EQ(Count(r, &verify::KindSummary::found), Count(r, &verify::KindSummary::expected));
  }

  testing::ScratchFolder scratch_;
  const fs::path root_{scratch_.path()};
  std::string out_, err_;
};

// Texts that SQL, XML and the literal rule treat specially.
void MakeTextsHostile(const std::string& baseline) {
  const char* texts[] = {"it's",
                         "can''t",
                         "'",
                         "a|b||c",
                         "tab\tline\nctl\x01\x1F end",
                         "\xCE\xA9\xCE\xBC \xF0\x9F\x98\x80",
                         "'); DROP TABLE vlRequirements; --",
                         "C:\\dir\\' \\n",
                         "%1 %s {ts '2003-01-01 00:00:00'}",
                         "   "};
  for (const auto& entry : fs::directory_iterator(baseline)) {
    if (entry.path().filename().string().front() != '{') continue;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(entry.path().c_str()));
    size_t i = 0;
    for (pugi::xpath_node n : doc.select_nodes("//Req")) {
      const char* t = texts[i++ % std::size(texts)];
      n.node().child("RName").text().set(t);
      n.node().child("RText").text().set(t);
      for (pugi::xpath_node fv : n.node().select_nodes(".//FTxt")) fv.node().text().set(t);
    }
    ASSERT_TRUE(doc.save_file(entry.path().c_str()));
  }
}

struct Shape {
  const char* name;
  std::function<void(gen::Options&)> options;  // nullptr: the sample baseline
  std::vector<std::string> create;
  bool hostile = false, postgres = false;
};

class VerifyShapeTest : public VerifyTest, public ::testing::WithParamInterface<Shape> {
 protected:
  std::string conninfo_;
};

TEST_P(VerifyShapeTest, EverythingMatches) {
  const Shape& s = GetParam();
  std::string baseline = std::string(VL_SOURCE_DIR) + "/examples/sample-baseline";
  if (s.options) {
    gen::Options o;
    o.requirements = 60;
    s.options(o);
    baseline = Generate("bl", o);
  }
  if (s.hostile) MakeTextsHostile(baseline);
  std::vector<std::string> create = s.create;
  std::unique_ptr<pgtest::ScratchSchema> schema;
  if (s.postgres) {
    VL_NEED_PG_SERVER();
    schema = std::make_unique<pgtest::ScratchSchema>(conninfo_, "verify");
    create.insert(create.end(), {"--database", "PostgreSQL", "--pg-conninfo", conninfo_,
                                 "--pg-schema", schema->name()});
  }
  const std::string project = Create(baseline, "proj", create);
  // The check before the run foresaw nothing lost.
  EXPECT_EQ(err_.find(": loses data: "), std::string::npos) << err_;
  ExpectMatch(baseline, project);
}

INSTANTIATE_TEST_SUITE_P(
    Baselines, VerifyShapeTest,
    ::testing::Values(Shape{"Sample", nullptr, {"--all"}},
                      Shape{"Utf16IsoUpperCaseLongTexts",
                            [](gen::Options& o) {
                              o.encoding = gen::FileEncoding::kUtf16;
                              o.date_style = gen::DateStyle::kIso;
                              o.file_case = gen::FileNameCase::kUpper;
                              o.long_text_every = 3;
                            },
                            {"--all"}},
                      Shape{"Windows1252UsDatesNoHistory",
                            [](gen::Options& o) {
                              o.encoding = gen::FileEncoding::kWindows1252;
                              o.date_style = gen::DateStyle::kUs;
                              o.history_versions = 0;
                            },
                            {"--all"}},
                      Shape{"NothingChosen", [](gen::Options& o) { o.long_text_every = 5; }, {}},
                      Shape{"HistoryOnly", [](gen::Options&) {}, {"--history"}},
                      Shape{"ChildrenBeforeTheirParents",
                            [](gen::Options& o) { o.late_child_percent = 30; },
                            {"--all"}},
                      Shape{"HostileTexts", [](gen::Options& o) { o.seed = 9; }, {"--all"}, true},
                      Shape{"SamplePostgreSQL", nullptr, {"--all"}, false, true},
                      Shape{"HostileLongTextsPostgreSQL",
                            [](gen::Options& o) { o.long_text_every = 4; },
                            {"--all"},
                            true,
                            true}),
    [](const ::testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

// Two baselines that refer to each other, created in either order, on
// SQLite and PostgreSQL: after the first run what waits for the other
// project is pending, after the second both projects hold everything.
struct PairRun {
  const char* name;
  bool alphaFirst, postgres;
  bool firstTraces = true;  // the first project is created with traces
};

class VerifyPairTest : public VerifyTest, public ::testing::WithParamInterface<PairRun> {
 protected:
  void SetUp() override {
    if (!GetParam().postgres) return;
    VL_NEED_PG_SERVER();
    for (auto* s : {&schema1_, &schema2_})
      *s = std::make_unique<pgtest::ScratchSchema>(conninfo_, "verify_pair");
  }
  std::vector<std::string> Where(const std::unique_ptr<pgtest::ScratchSchema>& schema) {
    if (!schema) return {};
    return {"--database", "PostgreSQL", "--pg-conninfo", conninfo_, "--pg-schema", schema->name()};
  }
  std::string conninfo_;
  std::unique_ptr<pgtest::ScratchSchema> schema1_, schema2_;
};

TEST_P(VerifyPairTest, BothOrdersMatch) {
  const auto [blA, blB] = GeneratePair();
  const bool alphaFirst = GetParam().alphaFirst;
  const std::string first = alphaFirst ? blA : blB, second = alphaFirst ? blB : blA;
  std::vector<std::string> options = Where(schema1_);
  // Without traces the first run records none of them for the second.
  options.push_back(GetParam().firstTraces ? "--all" : "--history");
  const std::string firstProject = Create(first, "P1", options);
  const VerifyReport waiting = Verify(first, firstProject);
  EXPECT_TRUE(waiting.Matches()) << Describe(waiting);
  EXPECT_GT(Count(waiting, &verify::KindSummary::pending), 0u);

  options = Where(schema2_);
  options.insert(options.end(),
                 {"--all", "--external", (alphaFirst ? kA : kB) + "=" + firstProject});
  const std::string secondProject = Create(second, "P2", options);
  for (const auto& [bl, project] : {std::pair{first, firstProject}, {second, secondProject}}) {
    const VerifyReport r = Verify(bl, project);
    EXPECT_TRUE(r.Matches()) << project << Describe(r);
    EXPECT_EQ(Count(r, &verify::KindSummary::pending), 0u) << project << Describe(r);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Orders, VerifyPairTest,
    ::testing::Values(PairRun{"AlphaFirstSQLite", true, false},
                      PairRun{"BravoFirstSQLite", false, false},
                      PairRun{"AlphaFirstPostgreSQL", true, true},
                      PairRun{"BravoFirstPostgreSQL", false, true},
                      PairRun{"AlphaWithoutTracesFirstSQLite", true, false, false}),
    [](const ::testing::TestParamInfo<PairRun>& info) { return std::string(info.param.name); });

// What the second run writes into the first project names that project;
// so does what the second baseline does not hold for it, with the object.
TEST_F(VerifyTest, CompletingTheFirstProjectNamesItAndTheObject) {
  const auto [blA, blB] = GeneratePair();
  const fs::path a = fs::path(Create(blA, "A")).parent_path();
  const std::string lostQuery = "{DEADBEEF-0000-4000-8000-000000000001}";
  const std::string lostReq = "{DEADBEEF-0000-4000-8000-000000000002}";
  pugi::xml_document views, traces;
  ASSERT_TRUE(views.load_file((a / "UnResViews.xml").c_str()));
  ASSERT_TRUE(traces.load_file((a / "UnResExtTraces.xml").c_str()));
  // A second waiting view whose query the second baseline does not hold.
  pugi::xml_node view = views.select_node("//View").node();
  view = view.parent().append_copy(view);
  view.child("ViewName").text().set("Lost view");
  view.child("ViewQueryDefGUID").remove_attribute("RESOLVED");
  view.child("ViewQueryDefGUID").text().set(lostQuery.c_str());
  // Traces are resolved last first.
  const pugi::xpath_node_set all = traces.select_nodes("//URTRACE");
  ASSERT_FALSE(all.empty());
  pugi::xml_node trace = all[all.size() - 1].node();
  trace.attribute("TRID").set_value(lostReq.c_str());
  views.save_file((a / "UnResViews.xml").c_str());
  traces.save_file((a / "UnResExtTraces.xml").c_str());

  ASSERT_EQ(Run({"create", blB, "--folder", (root_ / "B").string(), "--all", "--yes", "--verbose",
                 "--external", kA + "=" + (a / "A.vlp").string()}),
            kExitOk)
      << err_;
  const std::string into = "(into the project \"Alpha\")", notCopied = "not been copied";
  // Each message names the object looked for, what waits for it, and the
  // project it waits in.
  const std::pair<const std::string*, std::vector<std::string>> lines[] = {
      {&out_, {"Copying query definition: ", into}},
      {&out_, {"Copying view: ", into}},
      {&err_, {notCopied, "project \"Alpha\"", lostQuery, "Lost view"}},
      {&err_,
       {notCopied, "project \"Alpha\"", lostReq, trace.parent().attribute("OLDGUID").value()}}};
  for (const auto& [text, fragments] : lines) {
    std::istringstream in(*text);
    bool found = false;
    for (std::string line; !found && std::getline(in, line);)
      found = std::all_of(fragments.begin(), fragments.end(),
                          [&](const std::string& f) { return line.find(f) != std::string::npos; });
    EXPECT_TRUE(found) << fragments[0] << " ... " << fragments.back() << "\n" << *text;
  }
}

// One fault planted straight into a created database, and what verify
// must say of it.
struct Fault {
  const char* name;
  const char* sql;
  Difference::What what;
  const char* table;
  const char* field;  // "" for a missing or extra row
};

class VerifyFaultTest : public VerifyTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(VerifyFaultTest, IsNamed) {
  const Fault& f = GetParam();
  gen::Options o;
  o.requirements = 30;
  o.long_text_every = 3;
  const std::string baseline = Generate("bl", o);
  const std::string project = Create(baseline, "proj");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root_ / "proj" / "proj.db").c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, f.sql, nullptr, nullptr, &error);
  EXPECT_EQ(sqlite3_changes(db), 1);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "");

  const VerifyReport r = Verify(baseline, project);
  EXPECT_FALSE(r.Matches());
  bool named = false;
  for (const Difference& d : r.differences)
    named = named || (d.what == f.what && d.table == f.table && d.field == f.field &&
                      !d.object.kind.empty());
  EXPECT_TRUE(named) << Describe(r);

  // The command line says so too, in its exit status and its JSON.
  EXPECT_EQ(Run({"verify", baseline, project, "--json"}), kExitFailed);
  EXPECT_NE(out_.find("\"result\": \"differences\""), std::string::npos) << out_;
  EXPECT_NE(out_.find(std::string("\"table\": \"") + f.table + "\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Planted, VerifyFaultTest,
    ::testing::Values(
        Fault{"ChangedValue",
              "UPDATE vlRequirements SET REQUIREMENTNAME = 'changed' WHERE ID = "
              "(SELECT MIN(ID) FROM vlRequirements)",
              Difference::What::kDiffers, "vlRequirements", "REQUIREMENTNAME"},
        Fault{"MissingRow",
              "DELETE FROM vlUserDefinedListValues WHERE rowid = "
              "(SELECT MIN(rowid) FROM vlUserDefinedListValues)",
              Difference::What::kMissing, "vlUserDefinedListValues", ""},
        Fault{"WrongTranslatedGuid",
              "UPDATE VlQueryDefinitions SET QUERYSTRING = replace(QUERYSTRING, "
              "substr(QUERYSTRING, 2, 38), (SELECT VLGUID FROM vlUsers LIMIT 1)) WHERE ID = "
              "(SELECT MIN(ID) FROM VlQueryDefinitions)",
              Difference::What::kDiffers, "VlQueryDefinitions", "QUERYSTRING"},
        Fault{"BrokenParentChildRow",
              "UPDATE VlToRelationships SET REQUIREMENTID = TOID WHERE rowid = "
              "(SELECT MIN(rowid) FROM VlToRelationships WHERE TYPE = 1)",
              Difference::What::kMissing, "VlToRelationships", ""},
        Fault{"TraceToWrongRequirement",
              "UPDATE VlToRelationships SET TOID = REQUIREMENTID WHERE rowid = "
              "(SELECT MIN(rowid) FROM VlToRelationships WHERE TYPE = 0)",
              Difference::What::kExtra, "VlToRelationships", ""},
        Fault{"LostOverflowText",
              "DELETE FROM VlOverflowText WHERE rowid = (SELECT MIN(rowid) FROM VlOverflowText)",
              Difference::What::kMissing, "VlOverflowText", ""},
        Fault{"ExtraRow", "INSERT INTO vlProjectRequirements VALUES (1, 99999)",
              Difference::What::kExtra, "vlProjectRequirements", ""}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// Rows that share a key are paired by their values, not in the order they
// were read: one trace written twice with two states, the states then
// swapped between the two stored rows.
TEST_F(VerifyTest, RowsSharingAKeyArePairedByTheirValues) {
  const fs::path baseline = root_ / "bl";
  fs::copy(std::string(VL_SOURCE_DIR) + "/examples/sample-baseline", baseline,
           fs::copy_options::recursive);
  const fs::path file = baseline / "{B140A83F-B8E4-47ED-BF80-3F751E4A11ED}.XML";
  std::string xml = testing::ReadBytes(file);
  const std::string trace = "<State>0</State><TRTag>SR1</TRTag></TReq>";
  const size_t at = xml.find(trace), from = xml.rfind("<TReq>", at);
  ASSERT_NE(at, std::string::npos);
  std::string twice = xml.substr(from, at + trace.size() - from);
  twice.replace(twice.find("<State>0"), 8, "<State>1");
  std::ofstream(file, std::ios::binary) << xml.insert(at + trace.size(), twice);
  const std::string project = Create(baseline.string(), "proj");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root_ / "proj" / "proj.db").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db,
               "UPDATE VlToRelationships SET STATE = 1 - STATE WHERE TYPE = 0 AND TOID IN (SELECT "
               "TOID FROM VlToRelationships WHERE TYPE = 0 GROUP BY REQUIREMENTID, TOID HAVING "
               "COUNT(*) = 2)",
               nullptr, nullptr, nullptr);
  EXPECT_EQ(sqlite3_changes(db), 2);
  sqlite3_close(db);
  ExpectMatch(baseline.string(), project);
}

TEST_F(VerifyTest, CommandLineExitStatus) {
  const std::string sample = std::string(VL_SOURCE_DIR) + "/examples/sample-baseline";
  const std::string project = Create(sample, "proj");
  EXPECT_EQ(Run({"verify", sample, project}), kExitOk) << out_ << err_;
  EXPECT_NE(out_.find("the project holds its baseline"), std::string::npos) << out_;
  EXPECT_EQ(Run({"verify", sample, project, "--json"}), kExitOk);
  EXPECT_NE(out_.find("\"result\": \"match\""), std::string::npos) << out_;
  // Choices that the run did not take: the traces it was not told to copy
  // are not missing, the discussions it copied are extra.
  EXPECT_EQ(Run({"verify", sample, project, "--history", "--traces"}), kExitFailed);
  // Another baseline than the project's is named as such.
  gen::Options o;
  o.requirements = 5;
  EXPECT_EQ(Run({"verify", Generate("other", o), project}), kExitFailed);
  EXPECT_NE(err_.find("created from the baseline"), std::string::npos) << err_;
  EXPECT_EQ(Run({"verify", sample}), kExitUsage);
  EXPECT_EQ(Run({"verify", sample, (root_ / "none.vlp").string()}), kExitFailed);
  EXPECT_NE(err_.find("cannot verify"), std::string::npos) << err_;
}

}  // namespace
}  // namespace vl
