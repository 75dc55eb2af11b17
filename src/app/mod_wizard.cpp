#include "app/mod_wizard.h"

#include <cstdio>
#include <filesystem>

#include "host/project/project_application.h"
#include "host/text/convert.h"

namespace vl {

Session::Session(MessageSink* sink) : messages(sink) {}

Session::~Session() { ReleaseProjectApplication(); }

bool Session::CreateGlobalObjects() {
  goResource = std::make_unique<Resource>();
  messages.SetResource(goResource.get());
  goBLProjInfo = std::make_unique<BLProjInfo>(messages);
  gdictDBDrivers.Clear();
  goProjApp.reset();
  RenewProjectApplication();
  return goResource && goBLProjInfo;
}

bool Session::InitGlobalObjects(const std::string& programDir,
                                const std::function<void()>& initForm) {
  try {
    goResource->InitResources(programDir + "/" + kResourceFileName, kAppName);
    // The programs ship a "DB Drivers.dat" beside the resource file for
    // an installation that has none of its own; the form lists the
    // database types too.
    shipped_files_folder_ = programDir;
    messages.SetTitle(goResource->GetString(200));
    goBLProjInfo->init();
    if (initForm) initForm();
    goProjDefFactory = std::make_unique<ProjectDefinitionFactory>();
    goNewProjDef = goProjDefFactory->CreateDefinition();
    gdictDBDrivers = RetrieveDrivers(shipped_files_folder_);
    return true;
  } catch (const std::exception&) {
    messages.ReportProcError("Modwizard.InitGlobalObjects", "");
    return false;
  }
}

void Session::ReleaseProjectApplication() {
  if (!goProjApp) return;
  goProjApp->Shutdown();
  goProjApp.reset();
}

void Session::RenewProjectApplication() {
  if (!goProjApp)
    goProjApp = std::make_shared<SqlProjectApplication>([this] { return goNewProjDef.get(); });
}

std::string Session::GetHelpDirectory() {
  std::string dir;
  if (!ReadVelloqInstallDir(dir, &messages)) return "";
  return dir + "/HELP";
}

std::string Session::BuildReportFileName(bool results) const {
  std::string path = goBLProjInfo ? goBLProjInfo->CompleteVLPPathName() : "";
  std::string name = StripFileExtension(path);
  name += results ? ".BLProjCreateResults." : ".BLProjCreateReview.";
  VlDate now = Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d%02d%02d.%02d%02d%02d", now.year % 100, now.month,
                now.day, now.hour, now.minute, now.second);
  return name + stamp + ".html";
}

std::string GetProgramDirectory() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

}  // namespace vl
