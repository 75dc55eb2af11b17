#include "app/creation_run.h"

#include <chrono>

#include "app/mod_wizard.h"
#include "app/run_stages.h"
#include "copy/db_conventions.h"
#include "copy/guid_map_file.h"

namespace vl {

namespace {

// One step of the run: a copier stage, or a reopening whose failure is
// reported with its own text.
struct Step {
  const char* name;
  bool (RunStages::*stage)(DataServices&, Project&);
  long reopen_failed_text;  // 0 for a copier stage
};

const Step kSteps[] = {
    {"CopyXMLGroupInfo", &RunStages::CopyXMLGroupInfo, 0},
    {"Reopen", nullptr, kResReopen1Failed},
    {"CopyXMLUserInfo", &RunStages::CopyXMLUserInfo, 0},
    {"Reopen", nullptr, kResReopen2Failed},
    {"CopyXMLProjInfo", &RunStages::CopyXMLProjInfo, 0},
    {"CopyXMLAttrInfo", &RunStages::CopyXMLAttrInfo, 0},
    {"CopyXMLReqTypeInfo", &RunStages::CopyXMLReqTypeInfo, 0},
    {"ConnectXMLReqTypeAttrs", &RunStages::ConnectXMLReqTypeAttrs, 0},
    {"CopyXMLDocTypeInfo", &RunStages::CopyXMLDocTypeInfo, 0},
    {"Reopen", nullptr, kResReopen3Failed},
    {"CopyXMLExtProjInfo", &RunStages::CopyXMLExtProjInfo, 0},
    {"CopyXMLGroupSecInfo", &RunStages::CopyXMLGroupSecInfo, 0},
    {"CopyXMLQueryDefs", &RunStages::CopyXMLQueryDefs, 0},
    {"CopyXMLPkgInfo", &RunStages::CopyXMLPkgInfo, 0},
    {"CopyXMLPkgTraceInfo", &RunStages::CopyXMLPkgTraceInfo, 0},
    {"CopyXMLDiscInfo", &RunStages::CopyXMLDiscInfo, 0},
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool CreationRun::ExecuteActions(const std::function<void()>& beforeRelease) {
  bool result = false;
  try {
    goBLProjInfo->SetStartTime();
    results_file_name_ = GetResultsFileName();
    AddTextResultsLine(ResString(kResRunAnnounce));
    AddTextResultsLine(results_file_name_);
    AddTextResultsLine(ResString(kResRunAnnounceEnd));
    result = CreateProject();
    if (result) AddTextResultsLine(ResString(kResRunSucceeded));
    if (beforeRelease) beforeRelease();
  } catch (...) {
  }
  ReleaseProjectApplication();
  return result;
}

bool CreationRun::CreateProject() {
  stage_times_.clear();
  std::shared_ptr<Project> oProj;
  std::shared_ptr<DataServices> oDS;
  RunStages copiers;
  bool result = false;
  std::string errorText;
  bool report = false;
  ErrorState pending;
  try {
    auto start = std::chrono::steady_clock::now();
    bool go_on = CreateAndOpenVLPFile(oProj);
    stage_times_.push_back({"CreateProject", SecondsSince(start)});
    if (go_on) {
      oDS = DataServicesOf(*oProj);
      for (const Step& step : kSteps) {
        if (step.stage) {
          auto stage = [&](DataServices& ds, Project& p) { return (copiers.*step.stage)(ds, p); };
          if (!RunStage(step.name, stage, *oDS, *oProj)) {
            go_on = false;
            break;
          }
        } else if (!ReopenProject(oProj, oDS)) {
          errorText = ResString(step.reopen_failed_text);
          report = true;
          go_on = false;
          break;
        }
      }
    }
    if (go_on) {
      result = true;
      auto map_start = std::chrono::steady_clock::now();
      WriteGUIDMapFiles(*oProj);
      stage_times_.push_back({"WriteGUIDMapFiles", SecondsSince(map_start)});
    }
  } catch (...) {
    pending = PendingError();
    report = true;
  }
  if (report) {
    if (errorText.empty()) errorText = pending.description;
    ReportProcError("frmWizard.CreateProject", errorText, pending);
  }
  try {
    if (oProj) oProj->CloseProject();
  } catch (...) {
  }
  return result;
}

bool CreationRun::RunStage(const std::string& name, const Stage& stage, DataServices& oDS,
                           Project& oProj) {
  auto start = std::chrono::steady_clock::now();
  bool ok = stage(oDS, oProj);
  stage_times_.push_back({name, SecondsSince(start)});
  return ok;
}

bool CreationRun::CreateAndOpenVLPFile(std::shared_ptr<Project>& oProj) {
  try {
    AddTextResultsLine(AppendTextLine("", ResString(kResCreatingProject), 1));
    goNewProjDef->PrepareNewProject();
    oProj = goProjApp->OpenProjectAs(kAppName, goBLProjInfo->CompleteVLPPathName(),
                                     goBLProjInfo->VLPName(), "admin", "", true, true, "");
    if (!oProj)
      throw VlError(err::kObjectRequired, "VlProjectApplication", "No project was opened");
    return true;
  } catch (...) {
    ReportProcError("frmWizard.CreateAndOpenVLPFile", "");
    return false;
  }
}

bool CreationRun::ReopenProject(std::shared_ptr<Project>& oProj,
                                std::shared_ptr<DataServices>& oDS) {
  auto start = std::chrono::steady_clock::now();
  try {
    std::string path = oProj->GetProjectPath();
    oProj->CloseProject();
    oDS.reset();
    oProj.reset();
    oProj = goProjApp->OpenProject(path);
    if (oProj) oDS = DataServicesOf(*oProj);
  } catch (...) {
  }
  ResetLookupCache();
  stage_times_.push_back({"Reopen", SecondsSince(start)});
  return oProj && oDS;
}

void CreationRun::WriteGUIDMapFiles(Project& oProj) {
  const std::string folder = GetParentFolderName(oProj.GetProjectPath());
  const std::string baseline_guid = goBLProjInfo->BLXMLGUID();
  const std::string project_guid = oProj.GetProjectGUID();
  WriteGUIDMapFile(folder + "/ReqGUIDMap.xml", baseline_guid, project_guid, gdictReqGUIDs);
  WriteGUIDMapFile(folder + "/PSGUIDMap.xml", baseline_guid, project_guid, gdictPSGUIDs);
}

}  // namespace vl
