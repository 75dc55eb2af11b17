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
  struct Case {
    const char* what;
    std::function<void(TargetChoice&)> change;
    TargetField field;
  } cases[] = {
      {"folder is a file", [&](auto& c) { c.folder = (scratch_ / "file").string(); },
       TargetField::kFolder},
      {"folder inside the baseline", [&](auto& c) { c.folder = SampleBaseline() + "/new"; },
       TargetField::kFolder},
      {"folder holds the project", [&](auto& c) { c.folder = (scratch_ / "old/").string(); },
       TargetField::kFolder},
      {"folder holds a journal", [&](auto& c) { c.folder = (scratch_ / "journal").string(); },
       TargetField::kFolder},
      {"name with a slash", [](auto& c) { c.name = "a/b"; }, TargetField::kName},
      {"name too long for the file", [](auto& c) { c.name = std::string(252, 'n'); },
       TargetField::kName},
      {"database not offered", [](auto& c) { c.database = "Nope"; }, TargetField::kDatabase},
      {"database not supported", [](auto& c) { c.database = "SQL Server"; },
       TargetField::kDatabase},
      {"system schema",
       [](auto& c) {
         c.database = "PostgreSQL";
         c.connection.schema = "information_schema";
       },
       TargetField::kSchema},
      {"server schema",
       [](auto& c) { c.database = "PostgreSQL", c.connection.schema = "pg_toast"; },
       TargetField::kSchema},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TargetChoice choice = Choice((scratch_ / "new").string());
    k.change(choice);
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
}

}  // namespace
}  // namespace vl
