// The attribute value views of both databases hold the values a
// whole-number conversion gives, read by the databases' own shells: on
// SQLite nothing the program registers is needed. The PostgreSQL cases
// run in a schema of their own and are skipped without a test server.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "copy/mod_attr_views.h"
#include "host/db/data_services.h"
#include "host/text/convert.h"
#include "support/pg_test_support.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

class AttrViewTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (GetParam() == kDBPostgreSQL) VL_NEED_PG_SERVER();
  }

  // The rows `select` gives after the value tables are filled by `rows`
  // and the views of attribute `attr` of `dataType` are made, as the
  // database's shell prints them; "<failed>..." on an error.
  std::string Rows(const std::string& rows, int32_t attr, int32_t dataType,
                   const std::string& select) {
    RecordingMessageSink sink;
    Messenger messages(&sink);
    std::string view, sortView;
    EXPECT_TRUE(InsertAttrView_(dataType, attr, GetParam(), view, sortView, messages));
    std::string script =
        "CREATE TABLE vlUserDefinedListValues (REQUIREMENTID INTEGER, FIELDID INTEGER, "
        "LISTITEMID INTEGER);\nCREATE TABLE vlUserDefinedListItems (ITEMID INTEGER PRIMARY KEY, "
        "FIELDID INTEGER, ITEMRANK INTEGER, ITEMTEXT TEXT);\nCREATE TABLE "
        "vlUserDefinedFieldValues (REQUIREMENTID INTEGER, FIELDID INTEGER, FIELDVALUE TEXT);\n" +
        rows + Unmarked(view) + ";\n" + (sortView.empty() ? "" : Unmarked(sortView) + ";\n") +
        select + ";\n";
    if (GetParam() == kDBPostgreSQL) {
      pgtest::ScratchSchema schema(conninfo_, "attrview");
      return pgtest::RunPsql(conninfo_, "SET client_min_messages TO warning;\nCREATE SCHEMA " +
                                            schema.name() + ";\nSET search_path TO " +
                                            schema.name() + ";\n" + script);
    }
    const std::string file = folder_.File("views.sql");
    std::ofstream(file) << script;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        ::popen(("sqlite3 -batch -bail :memory: < '" + file + "' 2>&1").c_str(), "r"), ::pclose);
    std::string out;
    std::array<char, 4096> buf;
    while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe.get())) out.append(buf.data(), n);
    return out;
  }
  static std::string Unmarked(std::string sql) {
    for (size_t at; (at = sql.find(kTableMarker)) != std::string::npos;)
      sql.erase(at, kTableMarker.size());
    return sql;
  }

  std::string conninfo_;
  testing::ScratchFolder folder_;
};

TEST_P(AttrViewTest, WholeNumbersAreConvertedLikeTheClassicConversion) {
  std::vector<std::string> texts;
  std::istringstream list(
      "12; 12 ;-3;+4;12.5;13.5;-2.5;-3.5;0.5;.5;5.;1e3;1E+2;-1e-1;\t7\r\n;high;;1e;e5;.;+;-;1.2.3;"
      "1 2;--5;1e+-5;0x10;12abc;abc12;1,5;0;-0;007;99999999999;1e400;-1e400;-1e-400;2147483647;"
      "2147483647.5;-2147483648;-2147483648.5;-2147483649");
  for (std::string t; std::getline(list, t, ';');) texts.push_back(t);
  std::string rows, expected;
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string id = std::to_string(i + 1);
    rows +=
        "INSERT INTO vlUserDefinedFieldValues VALUES (" + id + ", 5, " + Quoted(texts[i]) + ");\n";
    expected += id + "|" + std::to_string(ToLongOrZero(texts[i])) + "\n";
  }
  // An absent value stays NULL; another attribute's value stays out.
  rows += "INSERT INTO vlUserDefinedFieldValues VALUES (900, 5, NULL), (999, 6, '17');\n";
  expected += "900|\n";
  EXPECT_EQ(Rows(rows, 5, 2, "SELECT RequirementID, FieldValue FROM VlAttrValuesView_5 ORDER BY 1"),
            expected);
}

TEST_P(AttrViewTest, MultiValueListSortsByTheSmallestRank) {
  const std::string rows =
      "INSERT INTO vlUserDefinedListItems VALUES (100, 7, 3, 'Low'), (101, 7, 1, 'High'), "
      "(102, 7, 2, 'Medium'), (200, 8, 1, 'Other');\nINSERT INTO vlUserDefinedListValues VALUES "
      "(1, 7, 100), (1, 7, 102), (2, 7, 101), (3, 8, 200), (4, 7, 999);\n";
  EXPECT_EQ(Rows(rows, 7, 10,
                 "SELECT * FROM VlAttrValuesView_7 ORDER BY 1, 2;\nSELECT * FROM "
                 "VlAttrValuesSortView_7 ORDER BY 1"),
            "1|100|3\n1|102|2\n2|101|1\n1|100|2\n2|101|1\n");
}

INSTANTIATE_TEST_SUITE_P(Databases, AttrViewTest, ::testing::Values(kDBSQLite, kDBPostgreSQL),
                         [](const auto& info) {
                           return std::string(info.param == kDBSQLite ? "SQLite" : "PostgreSQL");
                         });

}  // namespace
}  // namespace vl
