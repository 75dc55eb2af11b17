// The attribute value view texts of the enterprise databases and of the
// classic file database, as exact text, and which statements reach the
// database for each kind and data type.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/copy_test_support.h"
#include "copy/mod_attr_views.h"
#include "copy/run_context.h"
#include "support/data_services_wrappers.h"
#include "support/recording_sink.h"

namespace vl {
namespace {

// The expected texts are written with "@" where the table marker stands.
std::string Marked(std::string text) {
  std::string out;
  for (char c : text) out += c == '@' ? kTableMarker : std::string(1, c);
  return out;
}

const std::string kListView42 =
    "Create View @VlAttrValuesView_42 as Select @vlUserDefinedListValues.RequirementID, "
    "@vlUserDefinedListValues.ListItemID, @vlUserDefinedListItems.ItemRank from "
    "@vlUserDefinedListValues, @vlUserDefinedListItems Where @vlUserDefinedListValues.FieldID = "
    "@vlUserDefinedListItems.FieldID and @vlUserDefinedListValues.ListItemID = "
    "@vlUserDefinedListItems.ItemId And @vlUserDefinedListValues.FieldId = 42";

const std::string kSortView42 =
    "CREATE VIEW @VlAttrValuesSortView_42 AS SELECT @vlUserDefinedListValues.RequirementID, "
    "Min(@vlUserDefinedListValues.ListItemID) AS ListItemID, "
    "Min(@vlUserDefinedListItems.ItemRank) AS ItemRank FROM @vlUserDefinedListValues, "
    "@vlUserDefinedListItems WHERE @vlUserDefinedListValues.FieldID = "
    "@vlUserDefinedListItems.FieldID AND @vlUserDefinedListValues.ListItemID = "
    "@vlUserDefinedListItems.ItemID AND @vlUserDefinedListValues.FieldID = 42 GROUP BY "
    "@vlUserDefinedListValues.RequirementID";

using Builder = std::string (*)(int32_t, int32_t);

struct KindTexts {
  const char* name;
  Builder build;
  const char* text;          // data type 1
  const char* wholeNumber;   // data types 2, 4, 5
  const char* numericValue;  // data type 3
};

const KindTexts kClassicKinds[] = {
    {"Oracle", BuildAttrViewForOracle_,
     "Create View @VlAttrValuesView_42 as Select RequirementID, VL_STR_TO_STRING(FieldValue)  As "
     "FieldValue from @vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID, VL_STR_TO_NUMBER(FieldValue)  As "
     "FieldValue from @vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID, NumericValue As FieldValue from "
     "@vlUserDefinedFieldValues Where FieldID = 42"},
    {"SQLServer", BuildAttrViewForSQLServer_,
     "Create View @VlAttrValuesView_42 as Select RequirementID,  CASE when FieldValue is NULL Then "
     "NULL Else  CONVERT(VARCHAR(255), FieldValue) END as FieldValue from "
     "@vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID,  CASE when FieldValue is NULL Then "
     "NULL Else  COALESCE(NULLIF(ISNUMERIC(FieldValue), 1),  CONVERT(INT, FieldValue)) END as "
     "FieldValue from @vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID, NumericValue as FieldValue from "
     "@vlUserDefinedFieldValues Where FieldID = 42"},
    {"DB2", BuildAttrViewForDB2_,
     "Create View @VlAttrValuesView_42 as Select RequirementID, FieldValue  As FieldValue from "
     "@vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID, DECIMAL(FieldValue)  As "
     "FieldValue from @vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID, NumericValue As FieldValue from "
     "@vlUserDefinedFieldValues Where FieldID = 42"},
    {"Access", BuildAttrViewForAccess_,
     "Create View @VlAttrValuesView_42 as Select RequirementID, iif(NOT "
     "isnull(@vlUserDefinedFieldValues.FieldValue), cstr(@vlUserDefinedFieldValues.FieldValue), "
     "NULL) as FieldValue from @vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID, iif(NOT "
     "isnull(@vlUserDefinedFieldValues.FieldValue), "
     "iif(isnumeric(@vlUserDefinedFieldValues.FieldValue), "
     "clng(@vlUserDefinedFieldValues.FieldValue), 0), NULL) as fieldvalue from "
     "@vlUserDefinedFieldValues Where FieldID = 42",
     "Create View @VlAttrValuesView_42 as Select RequirementID, NumericValue as FieldValue from "
     "@vlUserDefinedFieldValues Where FieldID = 42"},
};

TEST(AttrViewTexts, EachClassicKindGivesTheKnownTextForEveryDataType) {
  for (const KindTexts& k : kClassicKinds) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(k.build(42, 0), Marked(kListView42));
    EXPECT_EQ(k.build(42, 10), Marked(kListView42));
    EXPECT_EQ(k.build(42, 1), Marked(k.text));
    for (int32_t wholeNumberType : {2, 4, 5})
      EXPECT_EQ(k.build(42, wholeNumberType), Marked(k.wholeNumber)) << wholeNumberType;
    EXPECT_EQ(k.build(42, 3), Marked(k.numericValue));
  }
}

// Data services of any kind that run nothing and record what they get.
class KindOnlyDataServices : public RecordingDataServices {
 public:
  explicit KindOnlyDataServices(int kind) : RecordingDataServices(nullptr), kind_(kind) {}
  int GetDBType() const override { return kind_; }

 private:
  int kind_;
};

class AttrViewCreationTest : public ::testing::Test {
 protected:
  std::vector<std::string> Executed(int kind, int32_t dataType) {
    KindOnlyDataServices ds(kind);
    g_CreateAttrView(42, dataType, ds, messages_);
    return ds.Statements();
  }

  RecordingMessageSink sink_;
  Messenger messages_{&sink_};
};

TEST_F(AttrViewCreationTest, MultiValueListGivesTheListViewThenTheSortView) {
  for (int kind : {kDBAccessFile, kDBOracle, kDBSqlServer, kDBDB2, kDBPostgreSQL}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(Executed(kind, 10),
              (std::vector<std::string>{Marked(kListView42), Marked(kSortView42)}));
    EXPECT_EQ(Executed(kind, 0), std::vector<std::string>{Marked(kListView42)});
  }
  EXPECT_TRUE(sink_.infos.empty());
}

}  // namespace
}  // namespace vl
