#include "copy/ins_req_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/package_copy_fixture.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

using testing::kBlListAttr;
using testing::kBlListItem;
using testing::kBlReqType;
using testing::kBlTextAttr;

const char* const kNoDocument =
    "<RDInfo><BM>VQ_1</BM><BMDoc></BMDoc><DPos>412</DPos><LDText>1</LDText></RDInfo>";

// A baseline requirement GUID made from a number.
std::string ReqGuid(int n) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{EEEE0000-0000-0000-0000-%012d}", n);
  return buf;
}

std::string ReqXml(int n, const std::string& prefix, int tag, const std::string& name,
                   const std::string& text, const std::string& more = "",
                   const std::string& rdInfo = kNoDocument,
                   const std::string& reqType = kBlReqType) {
  return "<Req><GUID>" + ReqGuid(n) + "</GUID><Tag>" + std::to_string(tag) +
         "</Tag><LCTag>0</LCTag><LTNum>" + std::to_string(tag) + "</LTNum><RPre>" + prefix +
         "</RPre><RText>" + text + "</RText><RName>" + name + "</RName><Flags>4</Flags><RTID>" +
         reqType + "</RTID>" + rdInfo + more + "</Req>";
}

std::string LvXml(const std::string& attr, const std::string& item) {
  return "<LV><UDF>" + attr + "</UDF><LGUID>" + item + "</LGUID></LV>";
}
std::string FvXml(const std::string& attr, const std::string& value) {
  return "<FV><FGUID>" + attr + "</FGUID><FTxt>" + value + "</FTxt></FV>";
}

class ReqCopyTest : public testing::PackageCopyTest {
 protected:
  bool Copy(const std::string& requirements, DataServices* ds = nullptr) {
    pugi::xml_node pkg = ParsePackage("<Requirements>" + requirements + "</Requirements>");
    InsReqInfo copier(ctx());
    // The package copier links the children once every package is in.
    return copier.CopyXMLPkgReqInfo(pkg, 7, ds ? *ds : *ds_, *proj_) &&
           copier.LinkPendingChildren(ds ? *ds : *ds_, *proj_);
  }
  // The new ID of baseline requirement n, as text.
  std::string IdOf(int n) {
    const std::string* guid = tables().gdictReqGUIDs.Find(ReqGuid(n));
    if (!guid) return "<not copied>";
    return Scalar("SELECT ID FROM vlRequirements WHERE VLGUID = '" + *guid + "'");
  }
  std::vector<std::string> Relationships() {
    return Rows(
        "SELECT REQUIREMENTID, EXTERNALPROJECTID, TOID, EXTERNALPROJECTTOID, TYPE, STATE, "
        "VERSIONNUMBER FROM VlToRelationships ORDER BY rowid");
  }
};

TEST_F(ReqCopyTest, RowsOfAParentAndItsChild) {
  OpenNewProject();
  ASSERT_TRUE(Copy(ReqXml(1, "FEAT", 1, "Parent", "Parent's text",
                          "<LVs>" + LvXml(kBlListAttr, kBlListItem) + "</LVs><FVs>" +
                              FvXml(kBlTextAttr, "12.5") + FvXml(kBlTextAttr, "high") + "</FVs>") +
                   ReqXml(2, "FEAT1.", 1, "Child", "Child text")));
  EXPECT_TRUE(sink_.infos.empty());
  const std::string p = IdOf(1), c = IdOf(2);
  EXPECT_EQ(Rows("SELECT REQUIREMENTID, FIELDID, LISTITEMID FROM vlUserDefinedListValues"),
            (std::vector<std::string>{p + "|300|400"}));
  EXPECT_EQ(Rows("SELECT REQUIREMENTID, FIELDID, FIELDVALUE, OVERFLOWIND, NUMERICVALUE FROM "
                 "vlUserDefinedFieldValues ORDER BY rowid"),
            (std::vector<std::string>{p + "|301|12.5|0|12.5", p + "|301|high|0|0"}));
  EXPECT_EQ(Relationships(), (std::vector<std::string>{p + "|0|" + c + "|0|1|0|1.0000"}));
}

TEST_F(ReqCopyTest, TextsAtTheLimitStayWholeAndLongerOnesOverflow) {
  OpenNewProject(10, 4);
  std::string elevenAccents;
  for (int i = 0; i < 11; ++i) elevenAccents += "\xC3\xA9";
  ASSERT_TRUE(Copy(ReqXml(1, "FEAT", 1, "At", "abcdefghij") +
                   ReqXml(2, "FEAT", 2, "Over", "abcdefghijk",
                          "<FVs>" + FvXml(kBlTextAttr, "123456.5") + "</FVs>") +
                   ReqXml(3, "FEAT", 3, "Wide", elevenAccents)));
  EXPECT_EQ(Rows("SELECT REQUIREMENTTEXT, OVERFLOWIND FROM vlRequirements ORDER BY ID"),
            (std::vector<std::string>{"abcdefghij|0", "abcdefghij|1",
                                      elevenAccents.substr(0, 20) + "|1"}));
  EXPECT_EQ(Rows("SELECT OVERFLOWID, OVERFLOWTEXT FROM VlOverflowText ORDER BY OVERFLOWID"),
            (std::vector<std::string>{IdOf(2) + "|abcdefghijk", IdOf(3) + "|" + elevenAccents}));
  // The number is that of the whole value.
  EXPECT_EQ(Rows("SELECT FIELDVALUE, OVERFLOWIND, NUMERICVALUE FROM vlUserDefinedFieldValues"),
            (std::vector<std::string>{"1234|1|123456.5"}));
  EXPECT_EQ(Rows("SELECT OVERFLOWREQUIREMENTID, OVERFLOWFIELDID, OVERFLOWFIELDVALUE FROM "
                 "VlOverflowValues"),
            (std::vector<std::string>{IdOf(2) + "|301|123456.5"}));
}

TEST_F(ReqCopyTest, APrefixEndingInADotNamesTheParentByItsTag) {
  OpenNewProject();
  ASSERT_TRUE(Copy(ReqXml(1, "FEAT", 1, "Parent", "p") + ReqXml(2, "FEAT", 2, "No dot", "n") +
                   ReqXml(3, "FEAT1.", 1, "Child", "c") +
                   ReqXml(4, "FEAT1.1.", 1, "Grandchild", "g") +
                   ReqXml(5, "A.B.", 1, "Orphan", "o")));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(Relationships(),
            (std::vector<std::string>{IdOf(1) + "|0|" + IdOf(3) + "|0|1|0|1.0000",
                                      IdOf(3) + "|0|" + IdOf(4) + "|0|1|0|1.0000"}));
  // No row for a parent that is not there; a line says which one.
  EXPECT_EQ(sink_.results.back(), "Parent A.B of A.B.1 not found");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlRequirements"), "5");
}

TEST_F(ReqCopyTest, AChildBeforeItsParentIsLinkedOnceThePackagesAreIn) {
  OpenNewProject();
  ASSERT_TRUE(
      Copy(ReqXml(1, "FEAT3.", 1, "Early child", "c") + ReqXml(2, "FEAT", 3, "Parent", "p")));
  EXPECT_EQ(Relationships(),
            (std::vector<std::string>{IdOf(2) + "|0|" + IdOf(1) + "|0|1|0|1.0000"}));
}

}  // namespace
}  // namespace vl
