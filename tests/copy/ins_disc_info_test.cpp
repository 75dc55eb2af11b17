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
const char* const kNobody = "{80000000-0000-0000-0000-0000000000FF}";
const char* const kReviewers = "{81000000-0000-0000-0000-000000000001}";
const char* const kReq1 = "{82000000-0000-0000-0000-000000000001}";

class DiscCopyTest : public ProjectPairTest {
 protected:
  void SetUp() override {
    ProjectPairTest::SetUp();
    goResource->SetString(20050, "Discussion %1");
    goBLProjInfo->SetCreateDisc(true);
    alpha_ = CreateProject("Alpha");
    ds_ = DataServicesOf(*alpha_);
    // Users Ann (21) and Bob (22), the group Reviewers (31) and one
    // requirement (41), as the earlier copiers leave them.
    ds_->ExecuteSQL("INSERT INTO vlUsers (ID, VLGUID, LoginName) VALUES (21, '" +
                    ctx().AssignNewGUID(kAnn) + "', 'ann')");
    ds_->ExecuteSQL("INSERT INTO vlUsers (ID, VLGUID, LoginName) VALUES (22, '" +
                    ctx().AssignNewGUID(kBob) + "', 'bob')");
    ds_->ExecuteSQL("INSERT INTO vlUserGroups (ID, VLGUID, NAME) VALUES (31, '" +
                    ctx().AssignNewGUID(kReviewers) + "', 'Reviewers')");
    ds_->ExecuteSQL("INSERT INTO vlRequirements (ID, VLGUID) VALUES (41, '" +
                    ctx().AssignNewReqGUID(kReq1) + "')");
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
  static std::string Values(const std::string& date, const std::string& status,
                            const std::string& priority, const std::string& restrict) {
    return "<Date>" + date + "</Date><Status>" + status + "</Status><Priority>" + priority +
           "</Priority><Restrict>" + restrict + "</Restrict>";
  }

  bool Copy(DataServices& ds) {
    InsDiscInfo copier(ctx());
    return copier.CopyXMLDiscInfo(ds, *alpha_);
  }
  Table Discussions() {
    return Rows(*ds_,
                "SELECT ID, ROOTID, PARENTID, SUBJECT, AUTHORID, PRIORITY, STATUS, HASRESPONSES, "
                "RESTRICTED FROM VLDISCUSSIONS ORDER BY ID");
  }
  Table Pairs(const std::string& table, const std::string& columns) {
    return Rows(*ds_, "SELECT " + columns + " FROM " + table + " ORDER BY 1, 2");
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
  WriteDiscussions(Disc("Top", kAnn, "<Replies>" + reply + empty + "</Replies>") +
                   Disc("Second", kBob, Values("someday", "high", "", "x")));
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
  EXPECT_EQ(Pairs("VLPROJECTDISCUSSIONS", "DISCUSSIONID, PROJECTID").size(), 5u);
  // A discussion without a usable date was submitted now.
  for (const std::string& id : {top, second}) {
    const std::string submitted =
        Rows(*ds_, "SELECT SUBMITDATETIME FROM VLDISCUSSIONS WHERE ID = " + id)[0][0];
    EXPECT_GE(submitted, FormatDateTime(before));
    EXPECT_LE(submitted, FormatDateTime(Now()));
  }
}

TEST_F(DiscCopyTest, AUserListedOnceIsMemberAndHasReadIt) {
  WriteDiscussions(Disc("Speed", kAnn,
                        std::string("<DUsers><DUsr><DUID>") + kAnn + "</DUID></DUsr><DUsr><DUID>" +
                            kBob + "</DUID></DUsr></DUsers>"));
  ASSERT_TRUE(Copy(*ds_));
  const std::string id = Discussions()[0][0];
  EXPECT_EQ(Pairs("VLDISCUSSIONUSERS", "DISCUSSIONID, USERID"), (Table{{id, "21"}, {id, "22"}}));
  EXPECT_EQ(Pairs("VLDISCUSSIONSREAD", "DISCUSSIONID, USERID"), (Table{{id, "21"}, {id, "22"}}));
  EXPECT_TRUE(Pairs("VLDISCUSSIONGROUPS", "DISCUSSIONID, GROUPID").empty());
}

}  // namespace
}  // namespace vl::testing
