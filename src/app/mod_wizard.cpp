#include "app/mod_wizard.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "copy/db_conventions.h"
#include "host/project/project_application.h"
#include "host/text/convert.h"

namespace vl {

bool gbHelpShown = false;

void ResetGlobalObjects() {
  ResetCopyGlobals();
  ResetLookupCache();
  ResetBaselineGlobals();
  ResetHostGlobals();
  gbHelpShown = false;
}

bool CreateGlobalObjects() {
  goResource = std::make_unique<Resource>();
  goBLProjInfo = std::make_unique<BLProjInfo>();
  gdictDBDrivers.Clear();
  goProjApp = std::make_shared<SqlProjectApplication>();
  gdictPSGUIDs.Clear();
  gdictReqGUIDs.Clear();
  return goResource && goBLProjInfo;
}

bool InitGlobalObjects(const std::string& programDir, void (*initForm)()) {
  try {
    goResource->InitResources(programDir + "/" + kResourceFileName, kAppName);
    // The programs ship a "DB Drivers.dat" beside the resource file for
    // an installation that has none of its own; the form lists the
    // database types too.
    SetShippedFilesFolder(programDir);
    gsMsgTitle = goResource->GetString(200);
    goBLProjInfo->init();
    if (initForm) initForm();
    goProjDefFactory = std::make_unique<ProjectDefinitionFactory>();
    goNewProjDef = goProjDefFactory->CreateDefinition();
    gdictDBDrivers = RetrieveDrivers();
    return true;
  } catch (...) {
    ReportProcError("Modwizard.InitGlobalObjects", "");
    return false;
  }
}

void ReleaseProjectApplication() {
  try {
    if (goProjApp) goProjApp->Shutdown();
  } catch (...) {
  }
  goProjApp.reset();
}

std::string GetHelpDirectory() {
  std::string dir;
  if (!ReadVelloqInstallDir(dir)) return "";
  return dir + "/HELP";
}

std::string BuildReportFileName(bool results) {
  std::string path = goBLProjInfo ? goBLProjInfo->CompleteVLPPathName() : "";
  std::string name = StripFileExtension(path);
  name += results ? ".BLProjCreateResults." : ".BLProjCreateReview.";
  VlDate now = Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d%02d%02d.%02d%02d%02d", now.year % 100, now.month,
                now.day, now.hour, now.minute, now.second);
  return name + stamp + ".html";
}

std::string GetReviewFileName() { return BuildReportFileName(false); }
std::string GetResultsFileName() { return BuildReportFileName(true); }

std::string GetProgramDirectory() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

}  // namespace vl
