#include "copy/ins_disc_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"
#include "host/text/convert.h"
#include "support/data_services_wrappers.h"

namespace vl::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

const char* const kAnn = "{80000000-0000-0000-0000-000000000001}";
const char* const kBob = "{80000000-0000-0000-0000-000000000002}";

class DiscCopyTest : public ProjectPairTest {
 protected:
  void SetUp() override {
    ProjectPairTest::SetUp();
    goResource->SetString(20050, "Discussion %1");
    goBLProjInfo->SetCreateDisc(true);
    alpha_ = CreateProject("Alpha");
    ds_ = DataServicesOf(*alpha_);
    // Users Ann (21) and Bob (22), as the earlier copiers leave them.
    ds_->ExecuteSQL("INSERT INTO vlUsers (ID, VLGUID, LoginName) VALUES (21, '" +
                    ctx().AssignNewGUID(kAnn) + "', 'ann')");
    ds_->ExecuteSQL("INSERT INTO vlUsers (ID, VLGUID, LoginName) VALUES (22, '" +
                    ctx().AssignNewGUID(kBob) + "', 'bob')");
  }

  void WriteDiscussions(const std::string& discs) {
    WriteFile(root_ / "baseline" / "Discussions.XML",
              "<?xml version=\"1.0\"?>\n<PROJECT><Discs>" + discs + "</Discs></PROJECT>");
  }
  static std::string Disc(const std::string& subject, const std::string& author,
                          const std::string& inner = "") {
    std::string x = "<Disc><Subj>" + subject + "</Subj><Desc>About " + subject + "</Desc>";
    if (!author.empty()) x += "<AID>" + author + "</AID>";
    return x + inner + "</Disc>";
  }
  bool Copy(DataServices& ds) { return InsDiscInfo(ctx()).CopyXMLDiscInfo(ds, *alpha_); }
  Table Discussions() {
    return Rows(*ds_,
                "SELECT ID, ROOTID, PARENTID, SUBJECT, AUTHORID, PRIORITY, STATUS, HASRESPONSES, "
                "RESTRICTED FROM VLDISCUSSIONS ORDER BY ID");
  }

  std::shared_ptr<Project> alpha_;
  std::shared_ptr<DataServices> ds_;
};

TEST_F(DiscCopyTest, RepliesAtAnyDepthKeepTheirThreadAndParent) {
  // Top <- Reply <- Deep, and Top <- Empty (an empty Replies); then a
  // second thread. Values missing (Top and its replies) or unusable
  // (Second) give the defaults.
  const std::string replyToReply = Disc("Deep", kAnn);
  const std::string reply = Disc("Reply", kBob, "<Replies>" + replyToReply + "</Replies>");
  const std::string empty = Disc("Empty", kBob, "<Replies/>");
  WriteDiscussions(
      Disc("Top", kAnn, "<Replies>" + reply + empty + "</Replies>") +
      Disc("Second", kBob,
           "<Date>someday</Date><Status>high</Status><Priority></Priority><Restrict>x</Restrict>"));
  const VlDate before = Now();

  ASSERT_TRUE(Copy(*ds_));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(sink_.results,
            (std::vector<std::string>{"Discussion Top", "Discussion Reply", "Discussion Deep",
                                      "Discussion Empty", "Discussion Second"}));
  const Table rows = Discussions();
  ASSERT_EQ(rows.size(), 5u);
  const std::string top = rows[0][0], rep = rows[1][0], deep = rows[2][0], emp = rows[3][0],
                    second = rows[4][0];
  // ID, ROOTID, PARENTID, SUBJECT, AUTHORID, PRIORITY, STATUS, HASRESPONSES, RESTRICTED
  EXPECT_EQ(rows[0], (std::vector<std::string>{top, top, "0", "Top", "21", "2", "1", "1", "0"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{rep, top, top, "Reply", "22", "2", "1", "1", "0"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{deep, top, rep, "Deep", "21", "2", "1", "0", "0"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{emp, top, top, "Empty", "22", "2", "1", "1", "0"}));
  EXPECT_EQ(rows[4],
            (std::vector<std::string>{second, second, "0", "Second", "22", "2", "1", "0", "0"}));
  EXPECT_EQ(Rows(*ds_, "SELECT DISCUSSIONID FROM VLPROJECTDISCUSSIONS").size(), 5u);
  // A discussion without a usable date was submitted now.
  for (const std::string& id : {top, second}) {
    const std::string submitted =
        Rows(*ds_, "SELECT SUBMITDATETIME FROM VLDISCUSSIONS WHERE ID = " + id)[0][0];
    EXPECT_GE(submitted, FormatDateTime(before));
    EXPECT_LE(submitted, FormatDateTime(Now()));
  }
}

}  // namespace
}  // namespace vl::testing
