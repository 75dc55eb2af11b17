#include <gtest/gtest.h>

#include "errors/vl_error.h"
#include "host/db/recordset.h"
#include "host/text/variant.h"

namespace vl {
namespace {

TEST(VariantTest, TextsDatesAndEquality) {
  const std::pair<Variant, const char*> texts[] = {
      {Variant::Double(12.5), "12.5"},
      {Variant::Single(0.1f), "0.1"},
      {Variant::Currency(3.14159), "3.1416"},
      {Variant::Boolean(true), "True"},
      {Variant::Boolean(false), "False"},
      {Variant::Date({2003, 7, 1, 14, 5, 9}), "2003-07-01 14:05:09"},
      {Variant::Null(), ""}};
  for (const auto& [v, text] : texts) EXPECT_EQ(v.ToText(), text) << text;
  // Dates count days from the classic day zero.
  EXPECT_EQ(Variant::Date({1900, 1, 1, 0, 0, 0}).AsDouble(), 2);
  EXPECT_EQ(Variant::Date({2003, 7, 1, 12, 0, 0}).AsDouble(), 37803.5);
  EXPECT_EQ(Variant::Date({1899, 12, 29, 6, 0, 0}).AsDouble(), -1.25);
  // Numbers compare by value, everything else by type too.
  EXPECT_EQ(Variant::Integer(3), Variant::Double(3.0));
  EXPECT_FALSE(Variant::Long(3) == Variant::String("3"));
  EXPECT_FALSE(Variant() == Variant::Null());
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
  auto error = [&](const char* column) {
    try {
      rs.GetFieldValue(column);
    } catch (const VlError& e) {
      return std::to_string(e.number()) + " " + e.description();
    }
    return std::string("<no error>");
  };
  EXPECT_EQ(error("ID").rfind("3021", 0), 0u);  // no current row
  EXPECT_THROW(rs.MoveNext(), VlError);
  rs.MoveFirst();
  EXPECT_EQ(rs.GetFieldValue("ID").AsInt(), 1);
  EXPECT_EQ(error("Missing").rfind("3265", 0), 0u);
  EXPECT_NE(error("Missing").find("Missing"), std::string::npos);
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

}  // namespace
}  // namespace vl
