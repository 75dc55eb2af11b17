// The attribute value views of the file database hold the values a
// whole-number conversion gives, and any SQLite client can read them:
// nothing the program registers is needed.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/copy_test_support.h"
#include "copy/mod_attr_views.h"
#include "copy/run_context.h"
#include "host/db/project_schema.h"
#include "host/db/sqlite_data_services.h"
#include "host/text/convert.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

// The output of the sqlite3 shell for one query on a database file, rows
// as "a|b" lines; "<failed>" when the shell reports an error.
std::string RunSqliteShell(const std::string& dbPath, const std::string& sql) {
  const std::string command =
      "sqlite3 -batch -bail -readonly '" + dbPath + "' \"" + sql + "\" 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return "<failed>";
  std::string out;
  std::array<char, 4096> buf;
  while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe.get())) out.append(buf.data(), n);
  return out;
}

std::string SqlQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

class AttrViewSqliteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dbPath_ = folder_.File("views.db");
    ds_ = SqliteDataServices::OpenFile(dbPath_, true);
    CreateProjectSchema(*ds_);
  }
  void TearDown() override { ds_.reset(); }

  void AddFieldValue(int32_t req, int32_t field, const std::string& literal) {
    ds_->ExecuteSQL(
        "INSERT INTO vlUserDefinedFieldValues (REQUIREMENTID, FIELDID, FIELDVALUE) "
        "VALUES (" +
        std::to_string(req) + ", " + std::to_string(field) + ", " + literal + ")");
  }

  // The view's rows, ordered by requirement and value, as the shell prints them.
  std::string ShellRows(const std::string& view) {
    ds_->Commit();
    return RunSqliteShell(dbPath_, "SELECT * FROM " + view + " ORDER BY 1, 2");
  }

  RecordingMessageSink sink_;
  Messenger messages_{&sink_};
  testing::ScratchFolder folder_;
  std::string dbPath_;
  std::unique_ptr<SqliteDataServices> ds_;
};

TEST_F(AttrViewSqliteTest, WholeNumbersAreConvertedLikeTheClassicConversion) {
  const std::vector<std::string> texts = {"12",
                                          " 12 ",
                                          "-3",
                                          "+4",
                                          "12.5",
                                          "13.5",
                                          "-2.5",
                                          "-3.5",
                                          "0.5",
                                          ".5",
                                          "5.",
                                          "1e3",
                                          "1E+2",
                                          "-1e-1",
                                          "\t7\r\n",
                                          "high",
                                          "",
                                          "1e",
                                          "e5",
                                          ".",
                                          "+",
                                          "-",
                                          "1.2.3",
                                          "1 2",
                                          "--5",
                                          "1e+-5",
                                          "0x10",
                                          "2147483647",
                                          "2147483647.5",
                                          "-2147483648",
                                          "-2147483648.5",
                                          "-2147483649",
                                          "99999999999",
                                          "1e400",
                                          "-1e400",
                                          "12abc",
                                          "abc12",
                                          "1,5",
                                          "0",
                                          "-0",
                                          "007"};
  for (size_t i = 0; i < texts.size(); ++i)
    AddFieldValue(static_cast<int32_t>(i + 1), 5, SqlQuote(texts[i]));
  AddFieldValue(static_cast<int32_t>(texts.size() + 1), 5, "NULL");
  AddFieldValue(999, 6, "'17'");  // another attribute's value stays out

  g_CreateAttrView(5, 2, *ds_, messages_);
  ASSERT_TRUE(sink_.infos.empty()) << sink_.infos[0];

  std::string expected;
  for (size_t i = 0; i < texts.size(); ++i)
    expected += std::to_string(i + 1) + "|" + std::to_string(ToLongOrZero(texts[i])) + "\n";
  expected += std::to_string(texts.size() + 1) + "|\n";  // absent stays NULL
  EXPECT_EQ(ShellRows("VlAttrValuesView_5"), expected);

  // The values the view gives through the program's own connection, and
  // the examples the conversion is known by.
  std::unique_ptr<Recordset> rs =
      ds_->ExecuteSQL("SELECT FieldValue FROM VlAttrValuesView_5 ORDER BY RequirementID");
  std::vector<std::string> got;
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
    got.push_back(rs->GetFieldValue("FieldValue").ToText());
  ASSERT_EQ(got.size(), texts.size() + 1);
  EXPECT_EQ(got[0], "12");  // "12"
  EXPECT_EQ(got[1], "12");  // " 12 "
  EXPECT_EQ(got[2], "-3");
  EXPECT_EQ(got[3], "4");   // "+4"
  EXPECT_EQ(got[4], "12");  // "12.5": half to even
  EXPECT_EQ(got[5], "14");  // "13.5"
  EXPECT_EQ(got[15], "0");  // "high"
  EXPECT_EQ(got[16], "0");  // ""
  EXPECT_EQ(got[17], "0");  // "1e"
}

TEST_F(AttrViewSqliteTest, MultiValueListSortsByTheSmallestRank) {
  ds_->ExecuteSQL(
      "INSERT INTO vlUserDefinedListItems (ITEMID, FIELDID, ITEMRANK, ITEMTEXT) VALUES "
      "(100, 7, 3, 'Low'), (101, 7, 1, 'High'), (102, 7, 2, 'Medium'), (200, 8, 1, 'Other')");
  ds_->ExecuteSQL(
      "INSERT INTO vlUserDefinedListValues (REQUIREMENTID, FIELDID, LISTITEMID) VALUES "
      "(1, 7, 100), (1, 7, 102), (2, 7, 101), (3, 8, 200), (4, 7, 999)");
  g_CreateAttrView(7, 10, *ds_, messages_);
  ASSERT_TRUE(sink_.infos.empty());
  EXPECT_EQ(ShellRows("VlAttrValuesView_7"), "1|100|3\n1|102|2\n2|101|1\n");
  EXPECT_EQ(ShellRows("VlAttrValuesSortView_7"), "1|100|2\n2|101|1\n");
}

}  // namespace
}  // namespace vl
