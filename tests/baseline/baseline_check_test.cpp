// The engine of the checks run before anything is written: the new
// project's place, lines named in files of every encoding, and a deep check
// run on a worker thread that reports progress and can be cancelled.
#include "baseline/check/baseline_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "baseline/check/checked_xml_file.h"
#include "baseline/check/target_check.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

std::string SampleBaseline() { return std::string(VL_SOURCE_DIR) + "/examples/sample-baseline"; }

class BaselineCheckTest : public ::testing::Test {
 protected:
  TargetChoice Choice(const std::string& folder) {
    TargetChoice c;
    c.baseline_folder = SampleBaseline();
    c.folder = folder;
    c.name = "Demo";
    c.database = "SQLite";
    c.databases = {"SQLite", "PostgreSQL", "SQL Server"};
    c.contact_server = false;
    return c;
  }
  testing::ScratchFolder scratch_folder_;
  const fs::path scratch_{scratch_folder_.path()};
};

TEST_F(BaselineCheckTest, ATargetThatCannotBeUsedIsNamedByItsField) {
  std::ofstream(scratch_ / "file") << "x";
  fs::create_directories(scratch_ / "old");
  std::ofstream(scratch_ / "old" / "old.vlp") << "";
  fs::create_directories(scratch_ / "journal");
  std::ofstream(scratch_ / "journal" / "journal.db-journal") << "";
  const std::string fresh = (scratch_ / "new").string();
  using F = TargetField;
  const struct {
    std::string folder, name, database, schema;
    TargetField field;
  } cases[] = {
      {(scratch_ / "file").string(), "Demo", "SQLite", "", F::kFolder},
      {SampleBaseline() + "/new", "Demo", "SQLite", "", F::kFolder},  // inside the baseline
      {(scratch_ / "old/").string(), "Demo", "SQLite", "", F::kFolder},
      {(scratch_ / "journal").string(), "Demo", "SQLite", "", F::kFolder},
      {fresh, "a/b", "SQLite", "", F::kName},
      {fresh, std::string(252, 'n'), "SQLite", "", F::kName},  // too long for the file
      {fresh, "Demo", "Nope", "", F::kDatabase},               // not offered
      {fresh, "Demo", "SQL Server", "", F::kDatabase},         // not supported
      {fresh, "Demo", "PostgreSQL", "information_schema", F::kSchema},
      {fresh, "Demo", "PostgreSQL", "pg_toast", F::kSchema},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.folder + " " + k.name.substr(0, 9) + " " + k.database + " " + k.schema);
    TargetChoice choice = Choice(k.folder);
    choice.name = k.name;
    choice.database = k.database;
    choice.connection.schema = k.schema;
    TargetCheckResult r = CheckTarget(choice);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].field, k.field) << r.problems[0].text;
  }
}

TEST_F(BaselineCheckTest, ARelativeFolderIsMadeAbsoluteAndNamesTheProjectFile) {
  TargetCheckResult r = CheckTarget(Choice("made/sub/.."));
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.folder, (fs::current_path() / "made").string());
  EXPECT_EQ(r.file_name, "made");
}

// A parse error is named by its line also in a file read as UTF-16, and an
// element's line is its own.
TEST_F(BaselineCheckTest, LinesAreCountedInTheTextOfAnyEncoding) {
  const std::string text = "<?xml version=\"1.0\"?>\n<PROJECT>\n  <A>\n</PROJECT>\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) utf16 += std::string{c, '\0'};
  std::ofstream(scratch_ / "Bad.XML", std::ios::binary) << utf16;
  std::ofstream(scratch_ / "Good.XML", std::ios::binary)
      << "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<P>\n<Q a=\"\xE9\"/></P>";
  CheckedXmlFile bad, good;
  EXPECT_FALSE(bad.Load(scratch_.string(), "bad.xml"));
  EXPECT_EQ(bad.error_line(), 4);
  ASSERT_TRUE(good.Load(scratch_.string(), "GOOD.xml")) << good.error();
  pugi::xml_node q = good.doc().child("P").child("Q");
  EXPECT_EQ(good.LineOf(q), 3);
  EXPECT_STREQ(q.attribute("a").value(), "\xC3\xA9");
}

TEST_F(BaselineCheckTest, TheDeepCheckRunsOnAWorkerThreadAndCanBeCancelled) {
  BaselineCheckInput input;
  input.folder = SampleBaseline();
  input.baseline_guid = "{FEFF5554-6761-4663-ABED-E7420207FC9A}";
  BaselineCheckResult whole, cancelled;
  std::vector<BaselineCheckProgress> seen;
  std::thread worker([&] {
    whole = CheckBaseline(input, [&](const BaselineCheckProgress& p) {
      seen.push_back(p);
      return true;
    });
    cancelled =
        CheckBaseline(input, [](const BaselineCheckProgress& p) { return p.files_read < 3; });
  });
  worker.join();
  EXPECT_FALSE(whole.cancelled);
  EXPECT_FALSE(whole.problems.StopsRun() || whole.problems.LosesData());
  ASSERT_EQ(seen.size(), whole.files_read);
  EXPECT_GT(seen.back().bytes_read, seen.front().bytes_read);
  EXPECT_LE(seen.back().bytes_read, seen.back().bytes_total);
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_EQ(cancelled.files_read, 3u);
  // A user may belong to Administrators, which every project has, also when
  // the baseline lists no group of that name.
  fs::copy(SampleBaseline(), scratch_ / "bl");
  std::ifstream in(scratch_ / "bl" / "ProjectUserGroups.XML");
  std::string xml(std::istreambuf_iterator<char>(in), {});
  xml.replace(xml.find("NAME=\"Administrators\""), 21, "NAME=\"Admins\"");
  std::ofstream(scratch_ / "bl" / "ProjectUserGroups.XML") << xml;
  input.folder = (scratch_ / "bl").string();
  EXPECT_FALSE(CheckBaseline(input).problems.StopsRun());
}

}  // namespace
}  // namespace vl
