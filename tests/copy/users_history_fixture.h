// A new SQLite project made through the project application, a baseline
// folder beside it, and recorded messages: the ground for the tests of the
// group, user, project and history copiers.
#pragma once

#include <memory>
#include <string>

#include "copy/copy_test_support.h"
#include "host/text/messages.h"

namespace vl::testing {

// Baseline GUIDs of the tests' users and groups.
inline const std::string kBlAdminGroup = "{0A000000-0000-0000-0000-000000000001}";
inline const std::string kBlReadersGroup = "{0A000000-0000-0000-0000-000000000002}";
inline const std::string kBlAdminUser = "{0B000000-0000-0000-0000-000000000001}";
inline const std::string kBlRitaUser = "{0B000000-0000-0000-0000-000000000002}";
inline const std::string kBlGhostUser = "{0B000000-0000-0000-0000-0000000000FF}";

class UsersHistoryTest : public CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    AddTexts({{kResProcError, "%1|%2|%3|%4"},
              {11011, " lacks "},
              {20053, "Copying history"},
              {20054, "Default version"},
              {20055, "Group %1"},
              {20056, "Group already matched"},
              {20057, "User: "},
              {20058, "User already matched"},
              {20059, "Password of %1 loses %2"},
              {20070, "Project information"},
              {20071, "From %1 (%2; %3)"},
              {20072, "No default history"},
              {20084, "Row missing"},
              {20085, "Not copied"}});
    goBLProjInfo->SetStartTime();
  }

  void TearDown() override {
    ds_.reset();
    proj_.reset();
    CopyTest::TearDown();
  }

  // Creates the project "Alpha" and opens it as "admin". A reason size
  // other than the default is written into the project file, which is then
  // opened again.
  void OpenNewProject(int32_t reasonSize = 255) {
    proj_ = CreateProject("Alpha");
    if (reasonSize != 255)
      proj_ = ReopenWithProjectFile(
          proj_, FolderOf("Alpha") + "/Alpha",
          [&](ProjectFileInfo& info) { info.version_reason_size = reasonSize; });
    ds_ = DataServicesOf(*proj_);
  }

  std::string Scalar(const std::string& sql) { return ScalarOf(*ds_, sql); }

  std::string AdminGuid() { return Scalar("SELECT VLGUID FROM vlUsers WHERE LoginName = 'admin'"); }

  std::shared_ptr<Project> proj_;
  std::shared_ptr<DataServices> ds_;
};

}  // namespace vl::testing
