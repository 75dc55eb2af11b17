// Two baselines that refer to each other end up linked whichever is
// created first: every trace of both baselines exists exactly once, in the
// database of the project whose baseline recorded it, and what the first
// project left unresolved is completed by the second run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <sstream>
#include <tuple>

#include "app/command_line.h"
#include "gen-baseline/generator.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

const std::string kGuidA = "{AAAAAAAA-0000-4000-8000-00000000000A}";
const std::string kGuidB = "{BBBBBBBB-0000-4000-8000-00000000000B}";

// A trace as a baseline states it: start requirement, end requirement (old
// GUIDs), and whether the start lies in the other project.
using Trace = std::tuple<std::string, std::string>;
using Rows = std::vector<std::vector<std::string>>;

Rows Query(const std::string& db, const std::string& sql) {
  Rows rows;
  sqlite3* h = nullptr;
  sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const unsigned char* t = sqlite3_column_text(st, i);
        row.push_back(t ? reinterpret_cast<const char*>(t) : "");
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(h);
  return rows;
}

// One created project: its database and how its new IDs map back to the
// baseline's requirement GUIDs.
struct Created {
  std::string db;
  std::map<std::string, std::string> old_guid_of_id;
};

Created Load(const fs::path& folder) {
  Created c;
  c.db = (folder / (folder.filename().string() + ".db")).string();
  pugi::xml_document map;
  map.load_file((folder / "ReqGUIDMap.xml").c_str());
  std::map<std::string, std::string> old_of_new;
  for (pugi::xml_node g : map.child("PROJECT").children("GUID"))
    old_of_new[g.attribute("NEWGUID").value()] = g.attribute("OLDGUID").value();
  for (const auto& row : Query(c.db, "SELECT ID, VLGUID FROM vlRequirements"))
    c.old_guid_of_id[row[0]] = old_of_new[row[1]];
  return c;
}

// The traces a baseline records: internal ones from their TTo side (a
// trace to one's own child is not a trace), cross-project ones from both
// sides.
std::multiset<Trace> BaselineTraces(const fs::path& baseline) {
  std::multiset<Trace> traces;
  for (const auto& entry : fs::directory_iterator(baseline)) {
    if (entry.path().filename().string().front() != '{') continue;
    pugi::xml_document doc;
    doc.load_file(entry.path().c_str());
    for (pugi::xpath_node n : doc.select_nodes("//Req")) {
      pugi::xml_node req = n.node();
      std::string guid = req.child_value("GUID"), rpre = req.child_value("RPre");
      for (pugi::xml_node t : req.child("TTo").children("TReq")) {
        std::string tag = t.child_value("TRTag");
        bool external = *t.child_value("EPGUID") != 0;
        std::string parent =
            tag.substr(0, tag.find_last_of('.') == std::string::npos ? 0 : tag.find_last_of('.'));
        if (external || rpre.empty() || parent != rpre)
          traces.insert({guid, t.child_value("TRID")});
      }
      for (pugi::xml_node t : req.child("TFrom").children("TReq"))
        if (*t.child_value("EPGUID") != 0) traces.insert({t.child_value("TRID"), guid});
    }
  }
  return traces;
}

// The trace rows of a database, translated back to baseline GUIDs.
std::multiset<Trace> DatabaseTraces(const Created& self, const Created& other) {
  std::multiset<Trace> traces;
  auto name = [](const Created& c, const std::string& id) {
    auto it = c.old_guid_of_id.find(id);
    return it == c.old_guid_of_id.end() ? "?" + id : it->second;
  };
  for (const auto& r : Query(self.db,
                             "SELECT REQUIREMENTID, EXTERNALPROJECTID, TOID, EXTERNALPROJECTTOID "
                             "FROM VlToRelationships WHERE TYPE = 0")) {
    const Created& from = r[1] == "0" ? self : other;
    const Created& to = r[3] == "0" ? self : other;
    traces.insert({name(from, r[0]), name(to, r[2])});
  }
  return traces;
}

class TwoProjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gen::Options b0;
    b0.seed = 2, b0.project_guid = kGuidB, b0.name = "Bravo", b0.prefix = "BRV";
    b0.requirements = 30;
    gen::WriteBaseline(b0, (root_ / "b0").string());
    gen::Options a = b0;
    a.seed = 1, a.project_guid = kGuidA, a.name = "Alpha", a.prefix = "ALP";
    a.cross_traces = 12;
    a.external_baseline = (root_ / "b0").string();
    gen::WriteBaseline(a, (root_ / "a").string());
    gen::Options b = b0;
    b.external_baseline = (root_ / "a").string();
    gen::WriteBaseline(b, (root_ / "b").string());
  }

  // Creates a project from `baseline` into root/`folder` through the
  // command-line tool; `external` names the other project's file. Unless
  // `planted` (a fault was planted for it), the run prints only its
  // summary and every reference resolves. Keeps what the run printed.
  void Create(const std::string& baseline, const std::string& folder,
              const std::string& externalGuid = "", const std::string& externalFile = "",
              bool planted = false) {
    std::vector<std::string> args = {"create",   (root_ / baseline).string(),
                                     "--folder", (root_ / folder).string(),
                                     "--all",    "--yes"};
    args.push_back(planted ? "--verbose" : "--quiet");
    if (!externalGuid.empty()) {
      args.push_back("--external");
      args.push_back(externalGuid + "=" + (root_ / externalFile).string());
    }
    std::ostringstream out, err;
    std::istringstream in;
    ASSERT_EQ(RunCommandLine(args, VL_BINARY_DIR, out, err, in, false), kExitOk)
        << err.str() << out.str();
    out_ = out.str(), err_ = err.str();
    if (planted) return;
    // Every reference resolves: no message besides the folder question
    // and where the external project leads.
    std::istringstream lines(err_);
    for (std::string line; std::getline(lines, line);)
      EXPECT_TRUE(line.find("[yes]") != std::string::npos ||
                  line.starts_with("vlbaseline: external project "))
          << "unexpected message: " << line;
  }

  void ExpectLinkedBothWays() {
    Created a = Load(root_ / "A"), b = Load(root_ / "B");
    EXPECT_EQ(DatabaseTraces(a, b), BaselineTraces(root_ / "a"));
    EXPECT_EQ(DatabaseTraces(b, a), BaselineTraces(root_ / "b"));
    EXPECT_GT(Query(a.db, "SELECT 1 FROM VlToRelationships WHERE EXTERNALPROJECTTOID <> 0").size(),
              0u);
    for (const char* p : {"A", "B"}) {
      for (const char* f :
           {"UnResExtProjs.xml", "UnResQueryDefs.xml", "UnResViews.xml", "UnResExtTraces.xml"})
        EXPECT_FALSE(fs::exists(root_ / p / f)) << p << "/" << f << " should be gone";
    }
    // Each project knows the other, once.
    EXPECT_EQ(Query(a.db, "SELECT VLGUID FROM vlExternalProjects").size(), 1u);
    EXPECT_EQ(Query(b.db, "SELECT VLGUID FROM vlExternalProjects").size(), 1u);
    // Every query definition and view of each baseline reached its project.
    for (const char* p : {"a", "b"}) {
      pugi::xml_document q;
      q.load_file((root_ / p / "QueryDefs.XML").c_str());
      std::string db = (std::string(p) == "a" ? a : b).db;
      EXPECT_EQ(Query(db, "SELECT ID FROM VlQueryDefinitions").size(),
                q.select_nodes("//QUERYDEF").size())
          << p;
    }
  }

  testing::ScratchFolder scratch_;
  const fs::path root_{scratch_.path()};
  std::string out_, err_;
};

TEST_F(TwoProjectsTest, AlphaFirstThenBravo) {
  Create("a", "A");
  EXPECT_TRUE(fs::exists(root_ / "A" / "UnResExtProjs.xml"));
  EXPECT_TRUE(fs::exists(root_ / "A" / "UnResExtTraces.xml"));
  EXPECT_TRUE(fs::exists(root_ / "A" / "UnResQueryDefs.xml"));
  Create("b", "B", kGuidA, "A/A.vlp");
  ExpectLinkedBothWays();
}

TEST_F(TwoProjectsTest, BravoFirstThenAlpha) {
  Create("b", "B");
  EXPECT_TRUE(fs::exists(root_ / "B" / "UnResExtTraces.xml"));
  Create("a", "A", kGuidB, "B/B.vlp");
  ExpectLinkedBothWays();
}

// What the second run writes into the first project names that project;
// so does what the second baseline does not hold for it, with the object.
TEST_F(TwoProjectsTest, CompletingTheFirstProjectNamesItAndTheObject) {
  Create("a", "A");
  const std::string lostQuery = "{DEADBEEF-0000-4000-8000-000000000001}";
  const std::string lostReq = "{DEADBEEF-0000-4000-8000-000000000002}";
  pugi::xml_document views, traces;
  ASSERT_TRUE(views.load_file((root_ / "A" / "UnResViews.xml").c_str()));
  ASSERT_TRUE(traces.load_file((root_ / "A" / "UnResExtTraces.xml").c_str()));
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
  views.save_file((root_ / "A" / "UnResViews.xml").c_str());
  traces.save_file((root_ / "A" / "UnResExtTraces.xml").c_str());

  Create("b", "B", kGuidA, "A/A.vlp", true);
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

}  // namespace
}  // namespace vl
