// The ground every copier test on real projects stands on: every global
// cleared before and after the test, a scratch folder of the test's own
// holding the baseline folder ("baseline") and the projects, recorded
// messages, a fresh descriptor pointing at the baseline folder, and SQLite
// projects made the way a creation run makes them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "support/recording_sink.h"
#include "host/db/data_services.h"
#include "host/project/new_project_definition.h"
#include "host/project/project_application.h"
#include "host/project/project_file.h"
#include "host/text/resource.h"
#include "support/scratch_folder.h"

namespace vl::testing {

namespace fs = std::filesystem;

class CopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "baseline");
    sink_.Clear();
    goResource = std::make_unique<Resource>();
    messages_.SetResource(goResource.get());
    goNewProjDef = std::make_unique<NewProjectDefinition>();
    goProjApp = std::make_shared<SqlProjectApplication>([this] { return goNewProjDef.get(); });
    goBLProjInfo = std::make_unique<BLProjInfo>(messages_);
    goBLProjInfo->init();
    goBLProjInfo->SetBLXMLLoc(Baseline());
    StartNewRun();
  }

  // Leaves the scratch folder empty, so that a test may start over with
  // TearDown() and SetUp(); the folder itself goes with the fixture. The
  // run goes first: the external projects it opened are closed before the
  // application goes.
  void TearDown() override {
    ctx_.reset();
    if (goProjApp) goProjApp->Shutdown();
    goProjApp.reset();
    goBLProjInfo.reset();
    scratch_.Clear();
  }

  // The run the copiers under test work for (it opens external projects
  // with whatever goProjApp is now).
  RunContext& ctx() {
    ctx_->SetProjectApplication(goProjApp.get());
    return *ctx_;
  }
  // Forgets the run so far: a new one starts with empty tables.
  void StartNewRun() {
    ctx_ = std::make_unique<RunContext>(*goBLProjInfo, messages_, goProjApp.get());
  }
  RunTables& tables() { return ctx_->tables; }

  void AddTexts(std::initializer_list<std::pair<long, const char*>> texts) {
    for (const auto& [id, text] : texts) goResource->SetString(id, text);
  }

  std::string Root() const { return root_.string(); }
  std::string Baseline() const { return (root_ / "baseline").string(); }
  std::string FolderOf(const std::string& name) const { return (root_ / name).string(); }
  std::string ProjectFileOf(const std::string& name) const {
    return (root_ / name / (name + ".vlp")).string();
  }

  // Creates the SQLite project `name` in Root()/name, as a creation run
  // does: a prepared definition, then OpenProjectAs of the path without
  // extension.
  std::shared_ptr<Project> CreateProject(const std::string& name) {
    goNewProjDef->SetProjectName(name);
    goNewProjDef->SetProjectFolder(FolderOf(name));
    goNewProjDef->SetDBType(kSQLiteDisplayName);
    goNewProjDef->GetConnection().SetDriver(kSQLiteDriver);
    goNewProjDef->PrepareNewProject();
    return goProjApp->OpenProjectAs(kAppName, FolderOf(name) + "/" + name, name, "admin", "", true,
                                    true, "");
  }

  // Closes `project`, lets `edit` change its project file (found from the
  // path it was opened as) and opens it again.
  std::shared_ptr<Project> ReopenWithProjectFile(
      std::shared_ptr<Project> project, const std::string& pathWithoutExtension,
      const std::function<void(ProjectFileInfo&)>& edit) {
    project->CloseProject();
    const std::string vlp = ProjectFilePath(pathWithoutExtension);
    ProjectFileInfo info = ReadProjectFile(vlp);
    edit(info);
    WriteProjectFile(vlp, info);
    return goProjApp->OpenProject(vlp);
  }

  // Writes a baseline of the project `guid` named "Alpha" that the
  // descriptor accepts, with `externalProjects` as its whole
  // ExternalProjects.xml; the new project is to lie in Root()/Alpha.
  void UseValidatedBaseline(const std::string& guid, const std::string& externalProjects) {
    WriteBaselineFile("BaselineList.xml",
                      "<BaselineList><PROJECT><BaselineType>Project</BaselineType><GUID>" + guid +
                          "</GUID></PROJECT></BaselineList>");
    WriteBaselineFile("Project.xml", R"(<Project Name="Alpha" Description=""/>)");
    WriteBaselineFile("ExternalProjects.xml", externalProjects);
    ASSERT_TRUE(goBLProjInfo->ValidateBLProj(Baseline()));
    goBLProjInfo->SetVLPFolder(FolderOf("Alpha"));
  }

  void WriteBaselineFile(const std::string& name, const std::string& text) const {
    WriteFile(root_ / "baseline" / name, text);
  }
  // Writes `text` byte for byte to `path`, creating the folders above it.
  static void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The first column of the first row as text; "<none>" without a row,
  // "<null>" for a null.
  static std::string ScalarOf(DataServices& ds, const std::string& sql) {
    auto rs = ds.ExecuteSQL(sql);
    if (!rs || rs->IsEOF()) return "<none>";
    const Variant& v = rs->GetFieldValue(size_t{0});
    return v.IsNull() ? "<null>" : v.ToText();
  }

  ScratchFolder scratch_;
  const fs::path root_{scratch_.path()};
  RecordingMessageSink sink_;
  Messenger messages_{&sink_};
  std::unique_ptr<Resource> goResource;
  std::unique_ptr<NewProjectDefinition> goNewProjDef;
  std::shared_ptr<ProjectApplication> goProjApp;
  std::unique_ptr<BLProjInfo> goBLProjInfo;
  std::unique_ptr<RunContext> ctx_;
};

}  // namespace vl::testing
