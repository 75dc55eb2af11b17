#include <gtest/gtest.h>

#include "errors/vl_error.h"
#include "host/db/recordset.h"
#include "host/db/sqlite_data_services.h"
#include "host/text/variant.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

class VariantTest : public ::testing::Test {
 protected:
};

TEST_F(VariantTest, TextFormsUseThePointAndTheClassicWords) {
  EXPECT_EQ(Variant::Long(-7).ToText(), "-7");
  EXPECT_EQ(Variant::Integer(12).ToText(), "12");
  EXPECT_EQ(Variant::Double(12.5).ToText(), "12.5");
  EXPECT_EQ(Variant::Single(0.1f).ToText(), "0.1");
  EXPECT_EQ(Variant::Currency(3.14159).ToText(), "3.1416");
  EXPECT_EQ(Variant::Boolean(true).ToText(), "True");
  EXPECT_EQ(Variant::Boolean(false).ToText(), "False");
  EXPECT_EQ(Variant::Date({2003, 7, 1, 14, 5, 9}).ToText(), "2003-07-01 14:05:09");
  EXPECT_EQ(Variant::String("x").ToText(), "x");
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(Variant::Null().ToText(), "");
}

TEST_F(VariantTest, DatesCountDaysFromTheClassicDayZero) {
  EXPECT_EQ(Variant::Date({1899, 12, 30, 0, 0, 0}).AsDouble(), 0);
  EXPECT_EQ(Variant::Date({1900, 1, 1, 0, 0, 0}).AsDouble(), 2);
  EXPECT_EQ(Variant::Date({2003, 7, 1, 12, 0, 0}).AsDouble(), 37803.5);
  EXPECT_EQ(Variant::Date({1899, 12, 29, 6, 0, 0}).AsDouble(), -1.25);
}

TEST_F(VariantTest, EqualityComparesNumbersByValueAndOtherwiseByType) {
  EXPECT_EQ(Variant::Integer(3), Variant::Long(3));
  EXPECT_EQ(Variant::Long(3), Variant::Double(3.0));
  EXPECT_FALSE(Variant::Long(3) == Variant::String("3"));
  EXPECT_FALSE(Variant() == Variant::Null());
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_FALSE(Variant::Boolean(true) == Variant::Long(1));
}

class RecordsetTest : public ::testing::Test {
 protected:
  Recordset Make(Recordset::RowWriter writer = nullptr) {
    return Recordset(
        {"ID", "Name"},
        {{Variant::Long(1), Variant::String("a")}, {Variant::Long(2), Variant::String("b")}},
        std::move(writer));
  }
};

TEST_F(RecordsetTest, WalksRowsAndFindsColumnsWithoutRegardToCase) {
  Recordset rs = Make();
  EXPECT_EQ(rs.RecordCount(), 2u);
  EXPECT_EQ(rs.GetFieldValue("name").AsString(), "a");
  EXPECT_TRUE(rs.HasField("NAME"));
  EXPECT_FALSE(rs.HasField("Other"));
  rs.MoveNext();
  EXPECT_EQ(rs.GetFieldValue(size_t{0}).AsInt(), 2);
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEOF());
  try {
    rs.GetFieldValue("ID");
    FAIL();
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), 3021);
  }
  EXPECT_THROW(rs.MoveNext(), VlError);
  rs.MoveFirst();
  EXPECT_EQ(rs.GetFieldValue("ID").AsInt(), 1);
  try {
    rs.GetFieldValue("Missing");
    FAIL();
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), 3265);
    EXPECT_NE(e.description().find("Missing"), std::string::npos);
  }
  Recordset empty({"A"}, {});
  EXPECT_TRUE(empty.IsEOF());
}

TEST_F(RecordsetTest, AnEditIsWrittenOnceAndAFailedWriteStaysPending) {
  int writes = 0;
  bool fail = true;
  Recordset rs = Make([&](const std::vector<std::string>&, const Recordset::Row& original,
                          const Recordset::Row& edited, const std::vector<size_t>& changed) {
    ++writes;
    EXPECT_EQ(original[1].AsString(), "a");
    EXPECT_EQ(edited[1].AsString(), "z");
    EXPECT_EQ(changed, std::vector<size_t>{1});
    if (fail) throw VlError(err::kDatabase, "test", "refused");
  });
  rs.Update();  // nothing changed: nothing written
  EXPECT_EQ(writes, 0);
  rs.SetFieldValue("NAME", Variant::String("y"));
  rs.SetFieldValue("Name", Variant::String("z"));
  EXPECT_THROW(rs.Update(), VlError);
  EXPECT_EQ(rs.GetFieldValue("Name").AsString(), "z");
  fail = false;
  // Moving on stores the pending edit, as the classic recordset does.
  rs.MoveNext();
  EXPECT_EQ(writes, 2);
  rs.MoveFirst();
  EXPECT_EQ(rs.GetFieldValue("Name").AsString(), "z");
  EXPECT_EQ(writes, 2);
}

class WrappersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = SqliteDataServices::OpenFile(":memory:", true);
    db_->ExecuteDDL("CREATE TABLE T (ID INTEGER PRIMARY KEY)");
    db_->ExecuteDDL("CREATE TABLE VlKeys (KeyClass TEXT PRIMARY KEY, LastKey INTEGER)");
  }
  std::unique_ptr<SqliteDataServices> db_;
};

TEST_F(WrappersTest, RecordingKeepsEveryStatementAsPassed) {
  RecordingDataServices rec(*db_);
  const std::string insert = "INSERT INTO " + kTableMarker + "T (ID) VALUES (1)";
  rec.ExecuteSQL(insert);
  rec.GetNextKey(kTableMarker + "VlKeys", "KeyClass", "User", "LastKey");
  auto rs = rec.QueryRecordset("SELECT ID FROM T", true);
  EXPECT_THROW(rec.ExecuteSQL("INSERT INTO T (ID) VALUES (1)"), VlError);
  ASSERT_EQ(rec.calls().size(), 4u);
  EXPECT_EQ(rec.calls()[1].kind, RecordingDataServices::CallKind::kGetNextKey);
  EXPECT_EQ(rec.calls()[1].text, "User");
  EXPECT_TRUE(rec.calls()[2].forUpdate);
  EXPECT_EQ(rec.Statements(), (std::vector<std::string>{insert, "SELECT ID FROM T",
                                                        "INSERT INTO T (ID) VALUES (1)"}));
  EXPECT_EQ(rec.StatementsWithoutMarkers()[0], "INSERT INTO T (ID) VALUES (1)");
  EXPECT_EQ(rs->GetFieldValue("ID").AsInt(), 1);
}

TEST_F(WrappersTest, RecordingWithoutADatabaseRunsNothing) {
  RecordingDataServices dry(nullptr);
  EXPECT_EQ(dry.ExecuteSQL("anything at all"), nullptr);
  EXPECT_TRUE(dry.QueryRecordset("SELECT 1")->IsEOF());
  EXPECT_EQ(dry.GetNextKey("VlKeys", "KeyClass", "A", "LastKey"), 1);
  EXPECT_EQ(dry.GetNextKey("VlKeys", "KeyClass", "A", "LastKey"), 2);
  EXPECT_EQ(dry.GetNextKey("VlKeys", "KeyClass", "B", "LastKey"), 1);
  EXPECT_EQ(dry.GetDBType(), kDBSQLite);
}

TEST_F(WrappersTest, FaultInjectionFailsTheChosenCallsOnly) {
  FaultInjectingDataServices faulty(*db_);
  faulty.FailNthCall(2);
  faulty.ExecuteSQL("INSERT INTO T (ID) VALUES (1)");
  try {
    faulty.ExecuteSQL("INSERT INTO T (ID) VALUES (2)");
    FAIL();
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), err::kDatabase);
    EXPECT_NE(e.description().find("VALUES (2)"), std::string::npos);
  }
  faulty.ExecuteSQL("INSERT INTO T (ID) VALUES (3)");
  faulty.FailWhenContains("VALUES (4");
  EXPECT_THROW(faulty.ExecuteSQL("INSERT INTO T (ID) VALUES (4)"), VlError);
  EXPECT_THROW(faulty.ExecuteDDL("INSERT INTO T (ID) VALUES (44)"), VlError);
  faulty.FailWhenContains("Document");
  EXPECT_THROW(faulty.GetNextKey("VlKeys", "KeyClass", "Document", "LastKey"), VlError);
  EXPECT_EQ(faulty.GetNextKey("VlKeys", "KeyClass", "User", "LastKey"), 1);
  EXPECT_EQ(faulty.failures(), 4);
  auto rs = db_->ExecuteSQL("SELECT group_concat(ID) AS IDS FROM T");
  EXPECT_EQ(rs->GetFieldValue("IDS").AsString(), "1,3");
}

}  // namespace
}  // namespace vl
