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
using testing::kBlUncopied;

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
  const std::string childGuid = *tables().gdictReqGUIDs.Find(ReqGuid(2));
  EXPECT_EQ(Rows("SELECT REQUIREMENTID, FIELDID, LISTITEMID FROM vlUserDefinedListValues"),
            (std::vector<std::string>{p + "|300|400"}));
  EXPECT_EQ(Rows("SELECT REQUIREMENTID, FIELDID, FIELDVALUE, OVERFLOWIND, NUMERICVALUE FROM "
                 "vlUserDefinedFieldValues ORDER BY rowid"),
            (std::vector<std::string>{p + "|301|12.5|0|12.5", p + "|301|high|0|0"}));
  EXPECT_EQ(Rows("SELECT REQUIREMENTTYPEID, TAG, LASTCHILDTAG, LONGTAGNUMBER, REQUIREMENTPREFIX, "
                 "REQUIREMENTNAME, REQUIREMENTTEXT, OVERFLOWIND, DELETED, BOOKMARKNAME, "
                 "BOOKMARKDOCUMENTID, DOCUMENTPOSITION, LASTDOCTEXT, FLAGS, VLGUID FROM "
                 "vlRequirements WHERE ID = " +
                 c),
            (std::vector<std::string>{"200|1|0|1|FEAT1.|Child|Child text|0|0|VQ_1|0|412|1|4|" +
                                      childGuid}));
  EXPECT_EQ(Rows("SELECT REQUIREMENTTEXT, OVERFLOWIND, DELETED, FLAGS FROM vlRequirements "
                 "WHERE ID = " +
                 p),
            (std::vector<std::string>{"Parent's text|0|0|4"}));
  EXPECT_EQ(Rows("SELECT PROJECTID, REQUIREMENTID FROM vlProjectRequirements ORDER BY 2"),
            (std::vector<std::string>{Pid() + "|" + p, Pid() + "|" + c}));
  EXPECT_EQ(Rows("SELECT PACKAGEID, REQUIREMENTID FROM VLPACKAGEELEMENTS ORDER BY REQUIREMENTID"),
            (std::vector<std::string>{"7|" + p, "7|" + c}));
  EXPECT_EQ(Relationships(), (std::vector<std::string>{p + "|0|" + c + "|0|1|0|1.0000"}));
}

TEST_F(ReqCopyTest, ProgressLinesShowAtMostFiftyCharactersNeverCuttingOne) {
  OpenNewProject();
  const std::string longText(120, 'x');
  std::string accents;
  for (int i = 0; i < 60; ++i) accents += "\xC3\xA9";  // é
  ASSERT_TRUE(Copy(ReqXml(1, "FEAT", 1, "Speed", longText) + ReqXml(2, "FEAT", 2, "", longText) +
                   ReqXml(3, "FEAT", 3, "   ", "ten chars!") + ReqXml(4, "FEAT", 4, "", accents) +
                   ReqXml(5, "FEAT", 5, "Tea", std::string(46, 'y'))));
  std::string fiftyAccents;
  for (int i = 0; i < 50; ++i) fiftyAccents += "\xC3\xA9";
  EXPECT_EQ(sink_.results,
            (std::vector<std::string>{
                "Requirement: FEAT1 Speed:" + std::string(44, 'x') + "...",
                "Requirement: FEAT2 " + std::string(50, 'x') + "...",
                "Requirement: FEAT3 ten chars!", "Requirement: FEAT4 " + fiftyAccents + "...",
                // Exactly fifty characters without a cut still end with "...".
                "Requirement: FEAT5 Tea:" + std::string(46, 'y') + "..."}));
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
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Requirement: FEAT3.1 Early child:c",
                                                     "Requirement: FEAT3 Parent:p"}));
}

TEST_F(ReqCopyTest, TheBookmarkDocumentMustBeCopiedAlready) {
  OpenNewProject();
  const std::string copiedDoc = "{D0C00000-0000-0000-0000-000000000001}";
  AddRow(copiedDoc, "INSERT INTO vlDocuments (ID, VLGUID, NAME) VALUES (55, '%', 'Vision')");
  const std::string inCopied = "<RDInfo><BM>VQ_FEAT1</BM><BMDoc>" + copiedDoc +
                               "</BMDoc><DPos>9</DPos><LDText>2</LDText></RDInfo>";
  // The document of a package that comes later has no translation yet.
  const std::string inLater =
      "<RDInfo><BM>VQ_FEAT2</BM><BMDoc>{D0C00000-0000-0000-0000-0000000000FF}"
      "</BMDoc><DPos>9</DPos><LDText>2</LDText></RDInfo>";
  // A requirement without "RDInfo" lies in no document.
  EXPECT_FALSE(Copy(
      ReqXml(1, "FEAT", 1, "In", "i", "", inCopied) + ReqXml(2, "FEAT", 2, "Loose", "l", "", "") +
      ReqXml(3, "FEAT", 3, "Later", "l", "", inLater) + ReqXml(4, "FEAT", 4, "Never", "n")));
  EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"Not copied"}));
  EXPECT_EQ(Rows("SELECT TAG, BOOKMARKNAME, BOOKMARKDOCUMENTID, DOCUMENTPOSITION, LASTDOCTEXT "
                 "FROM vlRequirements ORDER BY TAG"),
            (std::vector<std::string>{"1|VQ_FEAT1|55|9|2", "2||0|0|0"}));
  EXPECT_EQ(sink_.results.size(), 3u);  // the fourth requirement was not reached
}

TEST_F(ReqCopyTest, UncopiedTypesAndListItemsStopThePackageKeepingWhatWasWritten) {
  OpenNewProject();
  EXPECT_FALSE(Copy(ReqXml(1, "FEAT", 1, "Fine", "f") +
                    ReqXml(2, "FEAT", 2, "Odd type", "o", "", kNoDocument, kBlUncopied)));
  EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"Not copied"}));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlRequirements"), "1");

  sink_.Clear();
  EXPECT_FALSE(Copy(ReqXml(
      3, "FEAT", 3, "Odd item", "o",
      "<LVs>" + LvXml(kBlListAttr, kBlListItem) + LvXml(kBlListAttr, kBlUncopied) + "</LVs>")));
  EXPECT_EQ(sink_.InfoTexts(), (std::vector<std::string>{"Not copied"}));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlUserDefinedListValues WHERE REQUIREMENTID = " + IdOf(3)),
            "1");

  // A package without requirements has nothing to fail on.
  sink_.Clear();
  pugi::xml_node empty = ParsePackage("<PkgName>Empty</PkgName>");
  InsReqInfo copier(ctx());
  EXPECT_TRUE(copier.CopyXMLPkgReqInfo(empty, 7, *ds_, *proj_));
  EXPECT_TRUE(sink_.infos.empty());
}

TEST_F(ReqCopyTest, WorkPerRequirementDoesNotGrowWithThePackage) {
  OpenNewProject();
  std::string many;
  for (int i = 1; i <= 300; ++i)
    many += ReqXml(i, "FEAT", i, "R", "t", "<LVs>" + LvXml(kBlListAttr, kBlListItem) + "</LVs>");
  RecordingDataServices rec(*ds_);
  ASSERT_TRUE(Copy(many, &rec));
  size_t keys = 0, statements = 0;
  for (const RecordingDataServices::Call& call : rec.calls())
    (call.kind == RecordingDataServices::CallKind::kGetNextKey ? keys : statements)++;
  EXPECT_EQ(keys, 300u);
  // Four rows per requirement, and each look-up once for the package.
  EXPECT_EQ(statements, 300u * 4 + 3);
}

}  // namespace
}  // namespace vl
