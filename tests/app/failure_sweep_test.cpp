// A creation run whose database fails at one call, for each kind of call
// each stage makes: the run must stop, say which routine failed and leave
// nothing behind.
#include <set>

#include "app/creation_run.h"
#include "app_fixture.h"
#include "host/project/project_application.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

// Counts the calls of the whole run (the project is reopened between
// stages), notes the stage each came from and fails the `fail_at`th.
struct Sweep {
  const RecordingMessageSink& sink;
  int fail_at = 0;
  std::vector<std::string> stage, text;  // of every call, in order
};

class SweptDataServices : public FaultInjectingDataServices {
 public:
  SweptDataServices(std::shared_ptr<DataServices> inner, Sweep& s)
      : FaultInjectingDataServices(*inner), inner_(std::move(inner)), s_(s) {}
  std::unique_ptr<Recordset> ExecuteSQL(const std::string& sql) override {
    return Count(sql), FaultInjectingDataServices::ExecuteSQL(sql);
  }
  std::unique_ptr<Recordset> QueryRecordset(const std::string& sql, bool u) override {
    return Count(sql), FaultInjectingDataServices::QueryRecordset(sql, u);
  }
  int32_t GetNextKey(const std::string& t, const std::string& k, const std::string& c,
                     const std::string& v) override {
    return Count("key " + c), FaultInjectingDataServices::GetNextKey(t, k, c, v);
  }
  void ExecuteDDL(const std::string& sql) override {
    Count(sql), FaultInjectingDataServices::ExecuteDDL(sql);
  }

 private:
  void Count(const std::string& text) {
    s_.stage.push_back(s_.sink.progress.empty() ? "" : s_.sink.progress.back().stage);
    s_.text.push_back(text);
    if (static_cast<int>(s_.text.size()) == s_.fail_at) FailNextCall();
  }
  std::shared_ptr<DataServices> inner_;
  Sweep& s_;
};

// The new project as the run sees it, its data services swept.
#define VL_FORWARD(R, F) \
  R F() override { return p_->F(); }
#define VL_FORWARD1(R, F, A) \
  R F(A a) override { return p_->F(a); }
class SweptProject : public Project {
 public:
  SweptProject(std::shared_ptr<Project> p, Sweep& s)
      : p_(std::move(p)), ds_(std::make_shared<SweptDataServices>(DataServicesOf(*p_), s)) {}
  std::shared_ptr<DataServices> GetDataServices(const std::string&) override { return ds_; }
  VL_FORWARD(ProjectApplication&, GetApplication);
  VL_FORWARD(void, CloseProject);
  VL_FORWARD(std::string, GetProjectGUID);
  VL_FORWARD(std::string, GetProjectName);
  VL_FORWARD(std::string, GetProjectPrefix);
  VL_FORWARD(int32_t, GetProjectID);
  VL_FORWARD(std::string, GetProjectPath);
  VL_FORWARD(int32_t, GetCurrentUserID);
  VL_FORWARD(int32_t, GetOverflowSize);
  VL_FORWARD(int32_t, GetReqTextOverflowSize);
  VL_FORWARD(int32_t, GetFieldValueOverflowSize);
  VL_FORWARD(std::shared_ptr<Package>, GetRootPackage);
  VL_FORWARD(GroupCollection&, GetGroups);
  VL_FORWARD(void, CommitUsersAndGroups);
  VL_FORWARD1(std::shared_ptr<QueryServices>, GetQueryServices, const std::string&);
  VL_FORWARD1(std::shared_ptr<Requirement>, GetRequirement, const std::string&);
  VL_FORWARD1(std::shared_ptr<Group>, FindGroup, const std::string&);
  VL_FORWARD1(std::shared_ptr<User>, FindUser, const std::string&);
  VL_FORWARD1(void, PrepareQueryParsing, bool);

 private:
  std::shared_ptr<Project> p_;
  std::shared_ptr<DataServices> ds_;
};

// Hands out the new project (and its reopenings) swept; other projects as
// they are.
class SweptApplication : public SqlProjectApplication {
 public:
  SweptApplication(DefinitionSource d, Sweep& s) : SqlProjectApplication(std::move(d)), s_(s) {}
  std::shared_ptr<Project> OpenProjectAs(const std::string& a, const std::string& path,
                                         const std::string& n, const std::string& u,
                                         const std::string& pw, bool f1, bool f2,
                                         const std::string& x) override {
    auto p = SqlProjectApplication::OpenProjectAs(a, path, n, u, pw, f1, f2, x);
    if (!new_project_.empty()) return p;
    new_project_ = p->GetProjectPath();
    return std::make_shared<SweptProject>(p, s_);
  }
  std::shared_ptr<Project> OpenProject(const std::string& path) override {
    auto p = SqlProjectApplication::OpenProject(path);
    if (p->GetProjectPath() != new_project_) return p;
    return std::make_shared<SweptProject>(p, s_);
  }

 private:
  Sweep& s_;
  std::string new_project_;
};

// Who reports a failed call of each stage: the routines named, whether the
// run goes on (a view or an attribute value view that cannot be made is
// left out) and the text that closes the report (0: none).
struct Reported {
  const char *stage, *routines;
  bool stops;
  long closing;
};
const Reported kReported[] = {
    {"CopyXMLUserInfo", "CopyXMLUserInfo", true, 0},
    {"CopyXMLProjInfo", "frmWizard.CopyXMLProjInfo InsertSingleHistRecord GetNewUserID", true, 0},
    {"CopyXMLAttrInfo", "CopyXMLAttrInfo", true, 0},
    {"CopyXMLAttrInfo", "g_CreateAttrView", false, 0},
    {"CopyXMLReqTypeInfo", "CopyXMLReqTypeInfo", true, 0},
    {"ConnectXMLReqTypeAttrs", "ConnectXMLReqTypeAttrs GetNewReqTypeID", true, 0},
    {"CopyXMLDocTypeInfo", "CopyXMLDocTypeInfo", true, 0},
    {"CopyXMLGroupSecInfo",
     "GetNewGroupID GetNewDocTypeID GetNewReqTypeID GetNewLVID CopyGroupDocTypeRights "
     "CopyGroupReqTypeRights CopyGroupRTAttrRights",
     true, 0},
    // A query definition left out fails the view that shows it.
    {"CopyXMLQueryDefs", "InsertQueryDefSQL RenewQStringIDs", true, 20064},
    {"CopyXMLQueryDefs", "GetNewUserID", false, 0},
    {"CopyXMLPkgInfo", "AddXMLPackage", true, 0},
    {"CopyXMLPkgInfo", "CopyXMLPkgDocInfo", true, 20063},
    {"CopyXMLPkgInfo", "GetNewQefID", true, 20064},
    {"CopyXMLPkgInfo", "InsertViewSQL", false, 0},
    {"CopyXMLPkgInfo",
     "CopyXMLPkgReqInfo GetNewDocID GetNewAttrID GetNewLVID CopyReqLVInfo CopyHierarchyInfo", true,
     20065},
    {"CopyXMLPkgTraceInfo", "CopyReqTraceInfo", true, 0},
    {"CopyXMLDiscInfo", "AddXMLDiscs AddXMLDiscUsers AddXMLDiscGroups AddXMLDiscReqs", true, 0},
};

// The row of kReported for `stage` whose routines hold the one `report`
// names first; nullptr when there is none.
const Reported* ReportedBy(const std::string& stage, const std::string& report) {
  const std::string lead = "An error occurred in ";
  if (report.rfind(lead, 0) != 0) return nullptr;
  std::string routine = report.substr(lead.size());
  routine = " " + routine.substr(0, routine.find_last_not_of(" .") + 1) + " ";
  for (const Reported& r : kReported)
    if (stage == r.stage &&
        (" " + std::string(r.routines) + " ").find(routine) != std::string::npos)
      return &r;
  return nullptr;
}

using FailureSweepTest = AppTest;

TEST_F(FailureSweepTest, AFailedCallStopsTheRunNamesItsRoutineAndLeavesNothing) {
  auto run = [&](const std::string& folder, int failAt, Sweep& s) {
    session_.ReleaseProjectApplication();
    sink_.Clear();
    sink_.progress.clear();
    s.fail_at = failAt;
    goProjApp = std::make_shared<SweptApplication>([this] { return goNewProjDef.get(); }, s);
    ChooseBaselineAndFolder(SampleBaseline(), folder);
    goBLProjInfo->SetCreateTraces(true);
    goBLProjInfo->SetCreateHist(true);
    goBLProjInfo->SetCreateDisc(true);
    return CreationRun(session_).ExecuteActions();
  };
  Sweep all{sink_, 0, {}, {}};
  ASSERT_TRUE(run("Whole", 0, all)) << Messages(sink_);
  // The first call of each stage that starts with other words.
  std::set<std::string> seen;
  for (size_t i = 0; i < all.text.size(); ++i) {
    const std::string shape = all.stage[i] + "|" + all.text[i].substr(0, 25);
    if (!seen.insert(shape).second) continue;
    SCOPED_TRACE(shape);
    Sweep s{sink_, 0, {}, {}};
    const std::string folder = "F" + std::to_string(i);
    const bool created = run(folder, static_cast<int>(i) + 1, s);
    ASSERT_GT(s.stage.size(), i);
    ASSERT_FALSE(sink_.infos.empty());
    const std::string& first = sink_.infos.front();
    const Reported* r = ReportedBy(s.stage[i], first.substr(0, first.find('\n')));
    if (!r) {
      ADD_FAILURE() << "not a routine of " << s.stage[i] << ": " << first;
      continue;
    }
    EXPECT_EQ(created, !r->stops);
    if (r->closing) {
      EXPECT_EQ(sink_.infos.back(), session_.messages.ResString(r->closing));
    }
    if (!r->stops) continue;
    EXPECT_NE(sink_.results.back(), session_.messages.ResString(kResRunSucceeded));
    for (const auto& e : std::filesystem::directory_iterator(scratch_ / folder))
      EXPECT_NE(e.path().string().find(".BLProjCreateResults."), std::string::npos) << e.path();
  }
}

}  // namespace
}  // namespace vl
