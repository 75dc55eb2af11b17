// The data services run most statements as a prepared shape with the
// values bound. Whatever a statement stores, reads, or reports must be
// what the same text gives when the database reads it as it stands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors/vl_error.h"
#include "host/db/sqlite_data_services.h"
#include "support/db_test_support.h"

namespace vl {
namespace {

using dbtest::OtherConnection;
using dbtest::TempDir;

constexpr const char* kTable =
    "(ID INTEGER PRIMARY KEY, I INTEGER, R DOUBLE PRECISION, T TEXT, N NUMERIC, D TIMESTAMP, B)";

class ShapedStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("shaped.db");
    ds_ = SqliteDataServices::OpenFile(path_, true);
    ds_->ExecuteDDL(std::string("CREATE TABLE Bound ") + kTable);
    ds_->ExecuteDDL(std::string("CREATE TABLE AsText ") + kTable);
  }
  // Each column of the row as typeof() and quote(), which tell every
  // stored difference apart.
  std::string Row(OtherConnection& c, const std::string& table, size_t id) {
    std::string out;
    for (const char* col : {"I", "R", "T", "N", "D", "B"})
      out += c.Scalar("SELECT typeof(" + std::string(col) + ") || ':' || quote(" + col + ") FROM " +
                      table + " WHERE ID = " + std::to_string(id)) +
             " ";
    return out;
  }

  TempDir dir_;
  std::string path_;
  std::unique_ptr<SqliteDataServices> ds_;
};

TEST_F(ShapedStatementsTest, StoredValuesAreThoseOfTheTextInEveryColumnKind) {
  const std::vector<std::string> literals = {"0",
                                             "-0",
                                             "7",
                                             "-123456789012345678",
                                             "12.5",
                                             "0.1",
                                             "-0.0",
                                             "1e300",
                                             "2.5E-3",
                                             ".5",
                                             "7.",
                                             "3.0",
                                             "'12'",
                                             "'12.50'",
                                             "' 7 '",
                                             "''",
                                             "'it''s'",
                                             "'x; DROP TABLE T -- 5'",
                                             "'caf\xC3\xA9'",
                                             "NULL",
                                             "'2003-07-01 14:05:09'",
                                             "99999999999999999999",
                                             "0.30000000000000004",
                                             "-(5)"};
  auto values = [&](size_t i) {
    std::string v = std::to_string(i + 1);
    for (int column = 0; column < 6; ++column) v += ", " + literals[i];
    return v;
  };
  for (size_t i = 0; i < literals.size(); ++i)
    ds_->ExecuteSQL("INSERT INTO Bound (ID, I, R, T, N, D, B) VALUES (" + values(i) + ")");
  ds_->Commit();
  OtherConnection check(path_);
  for (size_t i = 0; i < literals.size(); ++i) {
    ASSERT_TRUE(check.Exec("INSERT INTO AsText VALUES (" + values(i) + ")"));
    EXPECT_EQ(Row(check, "Bound", i + 1), Row(check, "AsText", i + 1)) << literals[i];
  }
}

TEST_F(ShapedStatementsTest, LookUpsAndUpdatesFindTheRowsTheTextWouldFind) {
  ds_->ExecuteSQL("INSERT INTO Bound (ID, I, T, R) VALUES (1, 5, '{A}', 0.1)");
  ds_->ExecuteSQL("INSERT INTO Bound (ID, I, T, R) VALUES (2, 6, '{B}', 0.2)");
  // The same shape with another value finds another row; a text compared
  // with a number column converts as the text would.
  for (const auto& [where, id] : std::vector<std::pair<const char*, int>>{
           {"T = '{B}'", 2}, {"T = '{A}'", 1}, {"I = '6'", 2}, {"R = 0.1", 1}})
    EXPECT_EQ(ds_->QueryRecordset(std::string("SELECT ID  FROM Bound WHERE ") + where)
                  ->GetFieldValue("ID")
                  .AsInt(),
              id)
        << where;
  // A shape goes on working after a failure; a string where the database
  // wants a name is read as the text reads it.
  EXPECT_THROW(ds_->ExecuteSQL("INSERT INTO Bound (ID, I, T, R) VALUES (2, 6, '{C}', 0.2)"),
               VlError);
  ds_->ExecuteSQL("INSERT INTO Bound (ID, I, T, R) VALUES (3, 7, '{C}', 0.3)");
  ds_->ExecuteSQL("INSERT INTO Bound ('ID', 'T') VALUES (4, 'named')");
  std::unique_ptr<Recordset> rs;
  ds_->ExecuteSQL("UPDATE Bound SET T = 'it''s' WHERE ID = 2");
  ds_->ExecuteSQL("DELETE FROM Bound WHERE T = '{A}'");
  rs = ds_->ExecuteSQL("SELECT COUNT(*) AS N, MIN(T) AS T FROM Bound");
  EXPECT_EQ(rs->GetFieldValue("N").AsInt(), 3);
  EXPECT_EQ(rs->GetFieldValue("T").AsString(), "it's");
  // Result columns keep the names of their text.
  rs = ds_->ExecuteSQL("SELECT 'x', 2, ID FROM Bound WHERE ID = 2 ORDER BY 1");
  EXPECT_EQ(rs->GetFieldValue("'x'").AsString(), "x");
  EXPECT_EQ(rs->GetFieldValue("2").AsInt(), 2);
}

// More shapes than are kept prepared: each still runs with its values.
TEST_F(ShapedStatementsTest, ManyDistinctShapesRunWithTheirValues) {
  std::string in_list = "0";
  for (int n = 1; n <= 600; ++n) {
    in_list += "," + std::to_string(n);
    ds_->ExecuteSQL("INSERT INTO Bound (ID, I) SELECT " + std::to_string(n) + ", " +
                    std::to_string(n * 2) + " WHERE -1 NOT IN (" + in_list + ")");
    ds_->ExecuteSQL("INSERT INTO Bound (ID, I) VALUES (" + std::to_string(1000 + n) + ", " +
                    std::to_string(n) + ")");
  }
  auto rs = ds_->ExecuteSQL("SELECT COUNT(*) AS N, SUM(I) AS S FROM Bound");
  EXPECT_EQ(rs->GetFieldValue("N").AsInt(), 1200);
  EXPECT_EQ(rs->GetFieldValue("S").AsInt(), 3 * 600 * 601 / 2);
}

}  // namespace
}  // namespace vl
