#include "copy/ins_pkg_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/package_copy_fixture.h"

namespace vl {
namespace {

using testing::kBlReqType;
using testing::kBlUncopied;

const std::string kRoot = "{AAAA0000-0000-0000-0000-000000000000}";
const std::string kA = "{AAAA0000-0000-0000-0000-00000000000A}";
const std::string kA1 = "{AAAA0000-0000-0000-0000-0000000000A1}";
const std::string kA2 = "{AAAA0000-0000-0000-0000-0000000000A2}";
const std::string kB = "{AAAA0000-0000-0000-0000-00000000000B}";
const std::string kDoc = "{D0C00000-0000-0000-0000-000000000001}";

std::string Children(const std::vector<std::string>& guids) {
  std::string out = "<Pkgs>";
  for (const std::string& g : guids) out += "<Pkg><GUID>" + g + "</GUID></Pkg>";
  return out + "</Pkgs>";
}

// A requirement tagged <prefix><tag>, optionally placed in a document.
std::string Requirement(int tag, const std::string& reqType = kBlReqType,
                        const std::string& bookmarkDoc = "", const std::string& prefix = "FEAT") {
  char guid[40];
  std::snprintf(guid, sizeof guid, "{EEEE0000-0000-0000-0000-%012d}", tag);
  return std::string("<Requirements><Req><GUID>") + guid + "</GUID><Tag>" + std::to_string(tag) +
         "</Tag><RPre>" + prefix + "</RPre><RText>Text " + std::to_string(tag) +
         "</RText><RName>R" + std::to_string(tag) + "</RName><RTID>" + reqType +
         "</RTID><RDInfo><BMDoc>" + bookmarkDoc + "</BMDoc></RDInfo></Req></Requirements>";
}

class PkgCopyTest : public testing::PackageCopyTest {
 protected:
  void SetUp() override {
    testing::PackageCopyTest::SetUp();
    WriteBaselineFile("PackageList.XML", "<PROJECT><Pkg ParentID=\"" + kRoot + "\" GUID=\"" + kA +
                                             "\"/><Pkg ParentID=\"0\" GUID=\"" + kRoot +
                                             "\"/></PROJECT>");
  }
  void WritePackage(const std::string& guid, const std::string& inner) {
    WriteBaselineFile(guid + ".XML", PackageXml(inner));
  }
  std::string RootId() { return std::to_string(proj_->GetRootPackage()->GetPackageID()); }
  std::string PackageId(const std::string& blGuid) {
    return Scalar("SELECT ID FROM vlPackages WHERE VLGUID = '" + ctx().TranslateGUID(blGuid) + "'");
  }
  bool CopyTree() { return InsPkgInfo(ctx()).CopyXMLPkgInfo(*ds_, *proj_); }
};

TEST_F(PkgCopyTest, TheTreeIsCopiedDepthFirstWithTheRootRowUpdatedInPlace) {
  OpenNewProject();
  const std::string rootId = RootId();
  WritePackage(kRoot,
               "<PkgName>Brewmate</PkgName><PkgDesc>All of it</PkgDesc>" + Children({kA, kB}));
  WritePackage(kA, "<PkgName>Features</PkgName><PkgDesc>Agreed</PkgDesc>" + Requirement(1) +
                       Children({kA1}));
  // A child whose parent stands in a later package.
  WritePackage(kA1, "<PkgName>Details</PkgName><PkgDesc></PkgDesc>" +
                        Requirement(2, kBlReqType, "", "FEAT3."));
  WritePackage(kB, "<PkgName>Software</PkgName>" + Requirement(3));
  ASSERT_TRUE(CopyTree());
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];

  // The root keeps its row and ID; it takes the baseline root's texts and
  // a new GUID recorded for the baseline root.
  EXPECT_EQ(RootId(), rootId);
  EXPECT_EQ(PackageId(kRoot), rootId);
  const std::string a = PackageId(kA), a1 = PackageId(kA1), b = PackageId(kB);
  EXPECT_EQ(Rows("SELECT ID, PARENTID, NAME, DESCRIPTION IS NULL, DESCRIPTION FROM vlPackages "
                 "ORDER BY ID"),
            (std::vector<std::string>{
                rootId + "|0|Brewmate|0|All of it", a + "|" + rootId + "|Features|0|Agreed",
                a1 + "|" + a + "|Details|0|", b + "|" + rootId + "|Software|0|"}));
  EXPECT_LT(std::stoi(a), std::stoi(a1));
  EXPECT_LT(std::stoi(a1), std::stoi(b));
  EXPECT_EQ(Rows("SELECT PACKAGEID FROM VLPACKAGEELEMENTS ORDER BY REQUIREMENTID"),
            (std::vector<std::string>{a, a1, b}));
  EXPECT_EQ(Rows("SELECT p.TAG, c.TAG FROM VlToRelationships r JOIN vlRequirements p ON "
                 "p.ID = r.REQUIREMENTID JOIN vlRequirements c ON c.ID = r.TOID"),
            (std::vector<std::string>{"3|2"}));
}

// A package whose requirements or views fail stops the walk at every
// level, and the message names what failed.
TEST_F(PkgCopyTest, AFailingPackageStopsTheWalkAtEveryLevel) {
  const std::string view = "<Views><View><GUID>" + kDoc + "</GUID><ViewQueryDefGUID>" +
                           kBlUncopied + "</ViewQueryDefGUID></View></Views>";
  const struct {
    std::string content, failed;
  } cases[] = {{Requirement(1, kBlUncopied), "Requirements failed"}, {view, "Views failed"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failed);
    TearDown();
    SetUp();
    OpenNewProject();
    WritePackage(kRoot, "<PkgName>Root</PkgName>" + Children({kA, kB}));
    WritePackage(kA, "<PkgName>A</PkgName>" + Children({kA1, kA2}));
    WritePackage(kA1, "<PkgName>A1</PkgName>" + c.content);
    WritePackage(kA2, "<PkgName>A2</PkgName>");
    WritePackage(kB, "<PkgName>B</PkgName>");
    EXPECT_FALSE(CopyTree());
    ASSERT_FALSE(sink_.infos.empty());
    EXPECT_EQ(sink_.InfoTexts().back(), c.failed);
    EXPECT_EQ(Rows("SELECT NAME FROM vlPackages ORDER BY ID"),
              (std::vector<std::string>{"Root", "A", "A1"}));
  }
}

TEST_F(PkgCopyTest, PackagesReachedTwiceStopTheWalkInsteadOfLooping) {
  OpenNewProject();
  // A lists the root again, under another letter case of the same file.
  std::string lowerRoot = kRoot;
  for (char& c : lowerRoot) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  WritePackage(kRoot, "<PkgName>Root</PkgName>" + Children({kA}));
  WritePackage(kA, "<PkgName>A</PkgName>" + Children({kB, lowerRoot}));
  WritePackage(kB, "<PkgName>B</PkgName>");
  EXPECT_FALSE(CopyTree());
  EXPECT_EQ(sink_.infos, (std::vector<std::string>{"Package " + lowerRoot + " reached twice"}));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM vlPackages"), "3");
}

}  // namespace
}  // namespace vl
