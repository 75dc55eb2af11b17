#include "app/creation_run.h"

#include <algorithm>
#include <fstream>

#include "app_fixture.h"
#include "host/project/project_application.h"

namespace vl {
namespace {

using CreationRunTest = AppTest;

// What a run left in `folder`, results pages aside.
std::vector<std::string> ProjectFilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    if (e.path().filename().string().find(".BLProjCreateResults.") == std::string::npos)
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CreationRunTest, AnExistingMapFileIsReplaced) {
  ChooseBaselineAndFolder(SampleBaseline(), "Beta");
  std::filesystem::create_directories(scratch_ / "Beta");
  std::ofstream(scratch_ / "Beta" / "PSGUIDMap.xml") << "old content";
  CreationRun run(session_);
  ASSERT_TRUE(run.CreateProject()) << Messages(sink_);
  EXPECT_EQ(ReadBytes((scratch_ / "Beta" / "PSGUIDMap.xml").string()).find("old content"),
            std::string::npos);
}

TEST_F(CreationRunTest, GroupsThatCannotBeCopiedStopTheRunWithoutMapsOr5013) {
  std::string baseline = CopyOfSample();
  std::ofstream(baseline + "/ProjectUserGroups.XML") << "<Other/>";
  ChooseBaselineAndFolder(baseline, "Gamma");
  CreationRun run(session_);
  EXPECT_FALSE(run.ExecuteActions());
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("ProjectUserGroups.XML"), std::string::npos);
  EXPECT_EQ(sink_.results.back(), "Nothing was created.");
  EXPECT_EQ(ProjectFilesIn(scratch_ / "Gamma"), std::vector<std::string>{});
}

// A project application whose n-th reopening fails.
class FailingReopenApplication : public ProjectApplication {
 public:
  FailingReopenApplication(std::shared_ptr<ProjectApplication> inner, int failAt)
      : inner_(std::move(inner)), fail_at_(failAt) {}
  std::shared_ptr<Project> OpenProjectAs(const std::string& a, const std::string& p,
                                         const std::string& n, const std::string& u,
                                         const std::string& pw, bool f1, bool f2,
                                         const std::string& x) override {
    return inner_->OpenProjectAs(a, p, n, u, pw, f1, f2, x);
  }
  std::shared_ptr<Project> OpenProject(const std::string& path) override {
    if (++opens_ == fail_at_) throw VlError(err::kDatabaseOpen, "test", "cannot reopen");
    return inner_->OpenProject(path);
  }
  ContextInfo& GetContextInfo() override { return inner_->GetContextInfo(); }
  void Shutdown() noexcept override { inner_->Shutdown(); }

 private:
  std::shared_ptr<ProjectApplication> inner_;
  int fail_at_;
  int opens_ = 0;
};

TEST_F(CreationRunTest, AFailedSecondReopeningIsReportedWithItsOwnText) {
  ChooseBaselineAndFolder(SampleBaseline(), "Delta");
  goProjApp = std::make_shared<FailingReopenApplication>(goProjApp, 2);
  CreationRun run(session_);
  EXPECT_FALSE(run.CreateProject());
  ASSERT_FALSE(sink_.infos.empty());
  // The report names the reopening and why it failed.
  EXPECT_EQ(sink_.infos.back(), session_.messages.ResString(kResReopen2Failed) +
                                    ": cannot reopen (frmWizard.CreateProject)");
  // The users copied before the failure went with the rest.
  EXPECT_EQ(ProjectFilesIn(scratch_ / "Delta"), std::vector<std::string>{});
}

TEST_F(CreationRunTest, AProjectThatCannotBeCreatedIsReportedUnderItsProcedure) {
  ChooseBaselineAndFolder(SampleBaseline(), "Epsilon");
  // A project file already there is never overwritten.
  std::filesystem::create_directories(scratch_ / "Epsilon");
  std::ofstream(scratch_ / "Epsilon" / "Epsilon.vlp") << "[Project]\n";
  CreationRun run(session_);
  EXPECT_FALSE(run.CreateProject());
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("frmWizard.CreateAndOpenVLPFile"), std::string::npos);
}

}  // namespace
}  // namespace vl
