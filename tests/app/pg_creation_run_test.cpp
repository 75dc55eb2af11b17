// Whole creation runs into PostgreSQL: the sample baseline gives the same
// rows there as on the file database, as psql and the sqlite3 shell show
// them. Against the test server (see tests/host/pg_test_support.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "app/creation_run.h"
#include "app_fixture.h"
#include "host/db/project_schema.h"
#include "host/project/pg_projects.h"
#include "host/project/project_file.h"
#include "host/text/convert.h"
#include "host/xml/xml_file.h"
#include "support/pg_test_support.h"

namespace vl {
namespace {

using pgtest::ScratchSchema;

// Field and record separators no value of the sample holds.
const std::string kFieldSep = "\x1F";
const std::string kRecordSep = "\x1E";

std::string RunCommand(const std::string& command) {
  std::string out;
  if (std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose); pipe) {
    std::array<char, 4096> buf;
    while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe.get())) out.append(buf.data(), n);
  }
  return out;
}

std::vector<std::string> Split(const std::string& text, const std::string& sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(sep, start)) != std::string::npos; start = at + sep.size())
    parts.push_back(text.substr(start, at - start));
  if (start < text.size()) parts.push_back(text.substr(start));
  return parts;
}

// Old GUID of every new GUID a run recorded in its two map files.
std::map<std::string, std::string> NewToOldGuids(const std::string& folder) {
  std::map<std::string, std::string> back;
  for (const char* file : {"PSGUIDMap.xml", "ReqGUIDMap.xml"}) {
    pugi::xml_document doc;
    if (!LoadXmlPath(doc, folder + "/" + file)) continue;
    pugi::xml_node root = doc.child("PROJECT");
    back[root.attribute("NEWGUID").value()] = root.attribute("GUID").value();
    for (pugi::xml_node g : root.children("GUID"))
      back[g.attribute("NEWGUID").value()] = g.attribute("OLDGUID").value();
  }
  return back;
}

// A value as both databases can be compared by: a new GUID as the
// baseline's, a GUID the run made up on its own as "<new>", a number in
// one form (the file database writes 2.0 where the server writes 2).
std::string Comparable(const std::string& value, const std::map<std::string, std::string>& guids) {
  static const std::regex guid(
      R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
  std::string out;
  std::sregex_iterator it(value.begin(), value.end(), guid), end;
  size_t last = 0;
  for (; it != end; ++it) {
    out += value.substr(last, it->position() - last);
    auto found = guids.find(it->str());
    out += found != guids.end() ? found->second : "<new>";
    last = it->position() + it->length();
  }
  out += value.substr(last);
  // The file database shows a whole number kept as a real one with ".0".
  static const std::regex real_whole(R"(-?[0-9]+\.0)");
  if (std::regex_match(out, real_whole)) out.resize(out.size() - 2);
  return out;
}

// The rows of `table` (sorted) with comparable values; `raw` is the
// dump, fields and records separated as above.
std::vector<std::string> Rows(const std::string& raw,
                              const std::map<std::string, std::string>& guids) {
  std::vector<std::string> rows;
  for (const std::string& record : Split(raw, kRecordSep)) {
    std::string row;
    for (const std::string& field : Split(record, kFieldSep))
      row += Comparable(field, guids) + " | ";
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

class PgCreationRunTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (HasFatalFailure()) return;
    VL_NEED_PG_SERVER();
    schema_ = std::make_unique<ScratchSchema>(conninfo_, "run");
  }
  void TearDown() override {
    AppTest::TearDown();
    schema_.reset();
  }

  // Runs the whole creation from the sample into `folderName`, copying
  // everything the sample holds.
  bool RunSample(const std::string& folderName, bool onServer) {
    if (!goBLProjInfo->ValidateBLProj(SampleBaseline())) return false;
    BLProjInfo& d = *goBLProjInfo;
    d.SetVLPFolder((scratch_ / folderName).string());
    d.SetVLPDBType(onServer ? 2 : 1);
    d.SetVLPDBDisplayName(onServer ? kPostgreSQLDisplayName : kSQLiteDisplayName);
    if (onServer) {
      goNewProjDef->GetConnection().conninfo = conninfo_;
      goNewProjDef->GetConnection().schema = schema_->name();
    }
    if (!d.ValidateVLPSettings(*goNewProjDef, gdictDBDrivers)) return false;
    d.SetCreateTraces(d.isBLXMLContainsTraces());
    d.SetCreateExtTraces(d.isBLXMLContainsExtTraces());
    d.SetCreateHist(d.isBLXMLContainsHist());
    d.SetCreateDisc(d.isBLXMLContainsDisc());
    CreationRun run(session_);
    return run.ExecuteActions();
  }

  std::string SqliteDump(const std::string& db, const std::string& select) {
    // The separators go to the shell as they are, inside quotes.
    return RunCommand("sqlite3 -batch -noheader -separator '" + kFieldSep + "' -newline '" +
                      kRecordSep + "' '" + db + "' \"" + select + "\"");
  }
  // The records of each of `selects` on the server, separated as the
  // file database's dump separates them. One psql for all: it takes a
  // while to start.
  std::vector<std::string> PsqlDumps(const std::vector<std::string>& selects) {
    const std::string end_of_result = "\x1D";
    std::string script = "SET search_path TO " + schema_->name() + ";\n";
    for (const std::string& select : selects)
      script += select + ";\n\\echo '" + end_of_result + "'\n";
    const std::string out = pgtest::RunPsql(conninfo_, script, kFieldSep, kRecordSep);
    std::vector<std::string> dumps = Split(out, end_of_result + "\n");
    for (std::string& dump : dumps)
      if (!dump.empty() && dump.back() == '\n') dump.pop_back();  // the end of the result
    EXPECT_EQ(dumps.size(), selects.size()) << out;
    dumps.resize(selects.size());
    return dumps;
  }

  std::string conninfo_;
  std::unique_ptr<ScratchSchema> schema_;
};

TEST_F(PgCreationRunTest, TheSampleGivesTheSameRowsAsOnTheFileDatabase) {
  ASSERT_TRUE(RunSample("OnFile", false)) << Messages(sink_);
    session_.messages.SetSink(&sink_);
  ASSERT_TRUE(session_.CreateGlobalObjects());
  ASSERT_TRUE(session_.InitGlobalObjects(VL_BINARY_DIR)) << Messages(sink_);
  ASSERT_TRUE(RunSample("OnServer", true)) << Messages(sink_);
  EXPECT_TRUE(sink_.infos.empty()) << Messages(sink_);

  const std::string file_folder = (scratch_ / "OnFile").string();
  const std::string server_folder = (scratch_ / "OnServer").string();
  const ProjectFileInfo info = ReadProjectFile(server_folder + "/OnServer.vlp");
  EXPECT_EQ(info.db_type, "PostgreSQL");
  EXPECT_EQ(info.schema, schema_->name());
  const auto file_guids = NewToOldGuids(file_folder);
  const auto server_guids = NewToOldGuids(server_folder);
  const std::string db = file_folder + "/OnFile.db";

  // Every table, and every attribute value view the run made.
  std::vector<std::string> relations = ProjectTableNames();
  for (const std::string& view :
       Split(SqliteDump(db, "SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY 1"),
             kRecordSep))
    relations.push_back(view);
  EXPECT_GT(relations.size(), ProjectTableNames().size()) << "the sample has attribute views";
  std::vector<std::string> selects;
  for (const std::string& relation : relations) selects.push_back("SELECT * FROM " + relation);
  selects.push_back("SELECT count(*) FROM pg_views WHERE schemaname = current_schema()");
  const std::vector<std::string> on_server = PsqlDumps(selects);
  EXPECT_EQ(on_server.back(), std::to_string(relations.size() - ProjectTableNames().size()));
  size_t rows = 0;
  for (size_t i = 0; i < relations.size(); ++i) {
    const auto on_file = Rows(SqliteDump(db, selects[i]), file_guids);
    EXPECT_EQ(Rows(on_server[i], server_guids), on_file) << relations[i];
    rows += on_file.size();
  }
  EXPECT_GT(rows, 200u);
}

}  // namespace
}  // namespace vl
