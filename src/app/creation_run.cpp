#include "app/creation_run.h"

#include <chrono>

#include "copy/db_conventions.h"
#include "copy/guid_map_file.h"
#include "copy/ins_disc_info.h"
#include "copy/ins_ext_proj_info.h"
#include "copy/ins_group_info.h"
#include "copy/ins_group_sec_info.h"
#include "copy/ins_pkg_info.h"
#include "copy/ins_pkg_req_trace_info.h"
#include "copy/ins_proj_info.h"
#include "copy/ins_proj_struct_info.h"
#include "copy/ins_view_info.h"
#include "copy/run_context.h"
#include "host/text/convert.h"

namespace vl {

// One instance of each copier per run.
struct CreationRun::Copiers {
  explicit Copiers(RunContext& ctx)
      : group(ctx),
        proj(ctx),
        structure(ctx),
        ext_proj(ctx),
        group_sec(ctx),
        view(ctx),
        pkg(ctx),
        trace(ctx),
        disc(ctx) {}
  InsGroupInfo group;
  InsProjInfo proj;
  InsProjStruInfo structure;
  InsExtProjInfo ext_proj;
  InsGroupSecInfo group_sec;
  InsViewInfo view;
  InsPkgInfo pkg;
  InsPkgReqTraceInfo trace;
  InsDiscInfo disc;
};

namespace {

using Copiers = CreationRun::Copiers;

// One step of the run: a copier stage, or a reopening (no stage) whose
// failure is reported with its own text.
struct Step {
  const char* name;
  bool (*stage)(Copiers&, DataServices&, Project&);
  long reopen_failed_text;
};

const Step kSteps[] = {
    {"CopyXMLGroupInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.group.CopyXMLGroupInfo(d, p); }, 0},
    {"Reopen", nullptr, kResReopen1Failed},
    {"CopyXMLUserInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.group.CopyXMLUserInfo(d, p); }, 0},
    {"Reopen", nullptr, kResReopen2Failed},
    {"CopyXMLProjInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.proj.CopyXMLProjInfo(d, p); }, 0},
    {"CopyXMLAttrInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.structure.CopyXMLAttrInfo(d, p); }, 0},
    {"CopyXMLReqTypeInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.structure.CopyXMLReqTypeInfo(d, p); },
     0},
    {"ConnectXMLReqTypeAttrs",
     [](Copiers& c, DataServices& d, Project& p) {
       return c.structure.ConnectXMLReqTypeAttrs(d, p);
     },
     0},
    {"CopyXMLDocTypeInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.structure.CopyXMLDocTypeInfo(d, p); },
     0},
    {"Reopen", nullptr, kResReopen3Failed},
    {"CopyXMLExtProjInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.ext_proj.CopyXMLExtProjInfo(d, p); },
     0},
    {"CopyXMLGroupSecInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.group_sec.CopyXMLGroupSecInfo(d, p); },
     0},
    {"CopyXMLQueryDefs",
     [](Copiers& c, DataServices& d, Project& p) { return c.view.CopyXMLQueryDefs(d, p); }, 0},
    {"CopyXMLPkgInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.pkg.CopyXMLPkgInfo(d, p); }, 0},
    {"CopyXMLPkgTraceInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.trace.CopyXMLPkgTraceInfo(d, p); }, 0},
    {"CopyXMLDiscInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.disc.CopyXMLDiscInfo(d, p); }, 0},
};

}  // namespace

CreationRun::CreationRun(Session& session, const CancelRequest* cancel)
    : session_(session), cancel_(cancel) {}

void CreationRun::Time(const std::string& stage, std::chrono::steady_clock::time_point start) {
  stage_times_.push_back(
      {stage, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()});
}

bool CreationRun::ExecuteActions(const std::function<void()>& beforeRelease) {
  Messenger& messages = session_.messages;
  session_.goBLProjInfo->SetStartTime();
  results_file_name_ = session_.GetResultsFileName();
  messages.AddTextResultsLine(messages.ResString(kResRunAnnounce));
  messages.AddTextResultsLine(results_file_name_);
  messages.AddTextResultsLine(messages.ResString(kResRunAnnounceEnd));
  const bool result = CreateProject();
  if (result) messages.AddTextResultsLine(messages.ResString(kResRunSucceeded));
  if (beforeRelease) beforeRelease();
  session_.ReleaseProjectApplication();
  return result;
}

bool CreationRun::CreateProject() {
  stage_times_.clear();
  cancelled_ = 0;
  Messenger& messages = session_.messages;
  RunContext ctx(*session_.goBLProjInfo, messages, session_.goProjApp.get(), cancel_);
  Copiers copiers(ctx);
  std::shared_ptr<Project> oProj;
  std::shared_ptr<DataServices> oDS;
  bool result = false;
  std::string errorText;
  bool report = false;
  ErrorState pending;
  try {
    auto start = std::chrono::steady_clock::now();
    bool go_on = CreateAndOpenVLPFile(oProj);
    Time("CreateProject", start);
    if (go_on) {
      oDS = DataServicesOf(*oProj);
      for (const Step& step : kSteps) {
        ctx.CheckCancelled();
        start = std::chrono::steady_clock::now();
        if (step.stage) {
          go_on = step.stage(copiers, *oDS, *oProj);
          Time(step.name, start);
        } else {
          std::string why;
          go_on = ReopenProject(ctx, oProj, oDS, why);
          Time(step.name, start);
          if (!go_on) {
            errorText = messages.ResString(step.reopen_failed_text) + why;
            report = true;
          }
        }
        if (!go_on) break;
      }
    }
    if (go_on) {
      result = true;
      start = std::chrono::steady_clock::now();
      WriteGUIDMapFiles(ctx, *oProj);
      Time("WriteGUIDMapFiles", start);
    }
  } catch (const RunCancelled& c) {
    cancelled_ = c.reason;
    result = false;
  } catch (const std::exception&) {
    pending = PendingError();
    report = true;
  }
  if (report) {
    if (errorText.empty()) errorText = pending.description;
    messages.ReportProcError("frmWizard.CreateProject", errorText, pending);
  }
  if (oProj) {
    try {
      oProj->CloseProject();
    } catch (const std::exception&) {
      messages.ReportProcError("frmWizard.CreateProject", "");
      result = false;
    }
  }
  return result;
}

bool CreationRun::CreateAndOpenVLPFile(std::shared_ptr<Project>& oProj) {
  Messenger& messages = session_.messages;
  try {
    messages.AddTextResultsLine(AppendTextLine("", messages.ResString(kResCreatingProject), 1));
    session_.goNewProjDef->PrepareNewProject();
    const BLProjInfo& bl = *session_.goBLProjInfo;
    oProj = session_.goProjApp->OpenProjectAs(kAppName, bl.CompleteVLPPathName(), bl.VLPName(),
                                              "admin", "", true, true, "");
    if (!oProj)
      throw VlError(err::kObjectRequired, "VlProjectApplication", "No project was opened");
    return true;
  } catch (const std::exception&) {
    messages.ReportProcError("frmWizard.CreateAndOpenVLPFile", "");
    return false;
  }
}

bool CreationRun::ReopenProject(RunContext& ctx, std::shared_ptr<Project>& oProj,
                                std::shared_ptr<DataServices>& oDS, std::string& why) {
  try {
    std::string path = oProj->GetProjectPath();
    oProj->CloseProject();
    oDS.reset();
    oProj.reset();
    oProj = session_.goProjApp->OpenProject(path);
    if (oProj) oDS = DataServicesOf(*oProj);
  } catch (const std::exception& e) {
    // The report names the reopening that failed; the reason follows it.
    why = std::string(": ") + e.what();
  }
  ctx.found_ids.Clear();
  return oProj && oDS;
}

void CreationRun::WriteGUIDMapFiles(RunContext& ctx, Project& oProj) {
  const std::string folder = GetParentFolderName(oProj.GetProjectPath());
  const std::string baseline_guid = ctx.baseline().BLXMLGUID();
  const std::string project_guid = oProj.GetProjectGUID();
  WriteGUIDMapFile(folder + "/ReqGUIDMap.xml", baseline_guid, project_guid,
                   ctx.tables.gdictReqGUIDs);
  WriteGUIDMapFile(folder + "/PSGUIDMap.xml", baseline_guid, project_guid, ctx.tables.gdictPSGUIDs);
}

}  // namespace vl
