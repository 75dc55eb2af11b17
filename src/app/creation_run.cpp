#include "app/creation_run.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/project_staging.h"
#include "app/run_journal.h"
#include "app/run_recovery.h"
#include "baseline/check/target_check.h"
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
#include "host/db/pg_data_services.h"
#include "host/project/durable_files.h"
#include "host/project/pg_projects.h"
#include "host/project/project_application.h"
#include "host/project/project_file.h"
#include "host/project/project_lock.h"
#include "host/project/sql_query_services.h"
#include "host/text/convert.h"
#include "host/text/random_guid.h"

namespace fs = std::filesystem;

namespace vl {

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

// Everything one CreateProject holds.
struct CreationRun::Run {
  Run(Session& session, const CancelRequest* cancel, const std::string& folder,
      const std::string& title)
      : ctx(*session.goBLProjInfo, session.messages, session.goProjApp.get(), cancel),
        copiers(ctx),
        staging(folder, title) {}
  RunContext ctx;
  Copiers copiers;
  ProjectStaging staging;
  ProjectLocks locks;
  std::shared_ptr<Project> project;
  std::shared_ptr<DataServices> ds;
  RunJournal journal;
  std::string token;             // names this run's files in other projects' folders
  bool staged = false;           // the staging folder exists
  bool committed = false;        // the journal says commit
  bool finished_before = false;  // an interrupted run made this very project
  std::string error_text;        // a failed reopening's report
};

namespace {

using Copiers = CreationRun::Copiers;

// How long a run waits for another run that works on a project it needs.

// One step of the run: a copier stage, or a reopening (no stage) whose
// failure is reported with its own text. After the stage that writes the
// bulk of the rows (`rows_in`), a PostgreSQL project being built gets the
// indexes it kept for later built while the run goes on.
struct Step {
  const char* name;
  bool (*stage)(Copiers&, DataServices&, Project&);
  long reopen_failed_text;
  bool rows_in = false;
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
     [](Copiers& c, DataServices& d, Project& p) { return c.pkg.CopyXMLPkgInfo(d, p); }, 0, true},
    {"CopyXMLPkgTraceInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.trace.CopyXMLPkgTraceInfo(d, p); }, 0},
    {"CopyXMLDiscInfo",
     [](Copiers& c, DataServices& d, Project& p) { return c.disc.CopyXMLDiscInfo(d, p); }, 0},
};

std::string NormalFolder(const std::string& folder) {
  std::error_code ec;
  std::string s = fs::absolute(fs::path(folder), ec).lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string RandomToken() {
  std::string guid = MakeRandomGuid();
  return LCase(guid.substr(1, 8));
}

// A schema name no project uses, recognisable as a run's unfinished work,
// that says which project it is meant to become.
std::string StagingSchemaFor(const std::string& finalSchema, const std::string& token) {
  std::string name = "vlb_partial_" + token + "_" + SchemaNameFor(finalSchema);
  if (name.size() > 63) name.resize(63);
  return name;
}

// Puts the definition back as the user left it when the run ends.
class DefinitionRestorer {
 public:
  explicit DefinitionRestorer(NewProjectDefinition& def)
      : def_(def), build_folder_(def.GetBuildFolder()), schema_(def.GetConnection().schema) {}
  ~DefinitionRestorer() {
    def_.SetBuildFolder(build_folder_);
    def_.GetConnection().schema = schema_;
  }

 private:
  NewProjectDefinition& def_;
  std::string build_folder_, schema_;
};

}  // namespace

CreationRun::CreationRun(Session& session, const CancelRequest* cancel)
    : session_(session), cancel_(cancel) {}

CreationRun::~CreationRun() = default;

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
  created_project_.clear();
  Messenger& messages = session_.messages;
  BLProjInfo& bl = *session_.goBLProjInfo;
  DefinitionRestorer restorer(*session_.goNewProjDef);
  Run run(session_, cancel_, NormalFolder(bl.VLPFolder()), bl.VLPFileName());
  run.ctx.published_project_path = run.staging.FinalProjectFile();
  // The projects of the run find each other while the new one is not yet
  // where the others will record it.
  auto* app = dynamic_cast<SqlProjectApplication*>(session_.goProjApp.get());
  if (app)
    app->SetQueryServicesFactory([&run](Project&) {
      return std::make_shared<SqlQueryServices>(
          [&run](const std::string& guid) -> std::shared_ptr<Project> {
            if (run.project && run.project->GetProjectGUID() == guid) return run.project;
            if (auto* open = run.ctx.tables.gcolExtProjs.Find(guid)) return *open;
            return nullptr;
          });
    });
  bool result = false;
  bool report = false;
  ErrorState pending;
  try {
    ClearLeftovers(run);
    if (run.finished_before) {
      result = true;
    } else if (CreateAndOpenVLPFileTimed(run) && RunStages(run)) {
      auto start = std::chrono::steady_clock::now();
      messages.Progress("CompleteOtherProjects", 0, 0);
      CompleteOtherProjects(run);
      Time("CompleteOtherProjects", start);
      start = std::chrono::steady_clock::now();
      messages.Progress("WriteGUIDMapFiles", 0, 0);
      WriteGUIDMapFiles(run);
      Time("WriteGUIDMapFiles", start);
      start = std::chrono::steady_clock::now();
      messages.Progress("Commit", 0, 0);
      Commit(run);
      Time("Commit", start);
      result = true;
    }
    report = !run.error_text.empty();
  } catch (const RunCancelled& c) {
    cancelled_ = c.reason;
  } catch (const std::exception&) {
    pending = PendingError();
    report = true;
  }
  if (report) {
    const std::string text = run.error_text.empty() ? pending.description : run.error_text;
    messages.ReportProcError("frmWizard.CreateProject", text, pending);
  }
  copied_ = run.ctx.copied;
  if (result) {
    created_project_ = run.staging.FinalProjectFile();
  } else {
    Undo(run);
  }
  if (app) app->SetQueryServicesFactory(nullptr);
  return result;
}

void CreationRun::ClearLeftovers(Run& run) {
  Messenger& messages = session_.messages;
  const BLProjInfo& bl = *session_.goBLProjInfo;
  // The projects this run may complete.
  std::vector<std::string> others;
  bl.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) {
    std::error_code ec;
    if (!p.Loc.empty() && fs::is_regular_file(p.Loc, ec)) others.push_back(p.Loc);
  });
  for (const LeftoverOutcome& o : ClearLeftoversAround(
           run.staging.project_folder(), others, *session_.goProjApp, run.locks, kLockWaitSeconds,
           [&](const std::string& other) {
             messages.AddTextResultsLine(
                 "Waiting for another creation run that works on the project \"" + other +
                 "\" ...");
           },
           [&] { run.ctx.CheckCancelled(); })) {
    messages.AddTextResultsLine(o.description);
    // A run of this very baseline into this very place: its work is this
    // run's work, done.
    if (o.kind == LeftoverOutcome::Kind::kFinished && o.baseline_guid == bl.BLXMLGUID() &&
        o.final_project == run.staging.FinalProjectFile())
      run.finished_before = true;
  }
}

bool CreationRun::CreateAndOpenVLPFileTimed(Run& run) {
  const auto start = std::chrono::steady_clock::now();
  session_.messages.Progress("CreateProject", 0, 0);
  const bool made = CreateAndOpenVLPFile(run);
  Time("CreateProject", start);
  return made;
}

bool CreationRun::CreateAndOpenVLPFile(Run& run) {
  Messenger& messages = session_.messages;
  const BLProjInfo& bl = *session_.goBLProjInfo;
  NewProjectDefinition& def = *session_.goNewProjDef;
  try {
    messages.AddTextResultsLine(AppendTextLine("", messages.ResString(kResCreatingProject), 1));
    run.token = RandomToken();
    RunJournal& j = run.journal;
    j.final_project = run.staging.FinalProjectFile();
    j.baseline_guid = bl.BLXMLGUID();
    const bool on_pg = def.GetDBType() == kPostgreSQLDisplayName;
    // The project is built aside: only here would it find out too late.
    if (const std::string taken = ExistingProjectFile(
            run.staging.project_folder(), fs::path(j.final_project).stem().string(), !on_pg);
        !taken.empty())
      throw VlError(err::kFileAlreadyExists, "VlProjectApplication",
                    "\"" + taken +
                        "\" already exists; a new project is never written over it. Choose "
                        "another folder or name.");
    if (on_pg) {
      j.pg_place = PgLocationOfDefinition(def.GetConnection(), bl.VLPName());
      j.pg_staging_schema = StagingSchemaFor(j.pg_place.schema, run.token);
      def.GetConnection().schema = j.pg_staging_schema;
      // No one else knows of the staging schema until it is renamed.
      if (auto* app = dynamic_cast<SqlProjectApplication*>(session_.goProjApp.get()))
        app->SetPrivatePgSchema(j.pg_staging_schema);
    }
    char host[256] = "";
    ::gethostname(host, sizeof host - 1);
    run.staging.Begin("process " + std::to_string(::getpid()) + " on " + host + ", started " +
                      FormatDateTime(Now()) + ", creating \"" + j.final_project + "\" from \"" +
                      bl.BLXMLLoc() + "\"");
    run.staged = true;
    WriteRunJournal(run.staging.JournalFile(), j);
    def.SetBuildFolder(run.staging.folder());
    def.PrepareNewProject();
    run.project =
        session_.goProjApp->OpenProjectAs(kAppName, run.staging.StagedFile(bl.VLPFileName()),
                                          bl.VLPName(), "admin", "", true, true, "");
    if (!run.project)
      throw VlError(err::kObjectRequired, "VlProjectApplication", "No project was opened");
    run.ds = DataServicesOf(*run.project);
    run.journal.project_guid = run.project->GetProjectGUID();
    if (auto* pg = dynamic_cast<PgDataServices*>(run.ds.get());
        pg && PgSchemaHoldsAnything(*pg, j.pg_place.schema))
      throw VlError(err::kFileAlreadyExists, "VlProjectApplication",
                    "The schema \"" + j.pg_place.schema + "\" on the PostgreSQL server " +
                        pg->server() +
                        " already holds something, and a project is never written over it. "
                        "Choose another schema.");
    return true;
  } catch (const std::exception&) {
    messages.ReportProcError("frmWizard.CreateAndOpenVLPFile", "");
    return false;
  }
}

bool CreationRun::RunStages(Run& run) {
  Messenger& messages = session_.messages;
  for (const Step& step : kSteps) {
    run.ctx.CheckCancelled();
    const auto start = std::chrono::steady_clock::now();
    messages.Progress(step.name, 0, 0);
    if (step.stage) {
      const bool ok = step.stage(run.copiers, *run.ds, *run.project);
      if (auto* pg = dynamic_cast<PgDataServices*>(run.ds.get()); ok && step.rows_in && pg)
        pg->StartDeferredIndexes();
      Time(step.name, start);
      if (!ok) return false;
    } else {
      std::string why;
      const bool ok = ReopenProject(run, why);
      Time(step.name, start);
      if (!ok) {
        run.error_text = messages.ResString(step.reopen_failed_text) + why;
        return false;
      }
    }
  }
  return true;
}

bool CreationRun::ReopenProject(Run& run, std::string& why) {
  try {
    const std::string path = run.project->GetProjectPath();
    run.project->CloseProject();
    run.ds.reset();
    run.project.reset();
    run.project = session_.goProjApp->OpenProject(path);
    if (run.project) run.ds = DataServicesOf(*run.project);
  } catch (const std::exception& e) {
    // The report names the reopening that failed; the reason follows it.
    why = std::string(": ") + e.what();
  }
  run.ctx.found_ids.Clear();
  return run.project && run.ds;
}

void CreationRun::CompleteOtherProjects(Run& run) {
  Copiers& c = run.copiers;
  c.ext_proj.ApplyPendingRegistrations();
  if (!c.view.CompleteUnResQueryDefs(*run.project) || !c.view.CompleteUnResViews())
    throw VlError(err::kUnspecified, "frmWizard.CreateProject",
                  "The projects waiting for this baseline's project could not be completed");
  c.trace.ApplyPendingExtTraces();
  run.ctx.others.EndRecording();
}

void CreationRun::WriteGUIDMapFiles(Run& run) {
  const std::string folder = GetParentFolderName(run.project->GetProjectPath());
  const std::string baseline_guid = run.ctx.baseline().BLXMLGUID();
  const std::string project_guid = run.project->GetProjectGUID();
  WriteGUIDMapFile(folder + "/ReqGUIDMap.xml", baseline_guid, project_guid,
                   run.ctx.tables.gdictReqGUIDs);
  WriteGUIDMapFile(folder + "/PSGUIDMap.xml", baseline_guid, project_guid,
                   run.ctx.tables.gdictPSGUIDs);
}

void CreationRun::Commit(Run& run) {
  RunJournal& j = run.journal;
  const std::string& folder = run.staging.project_folder();
  const bool on_pg = !j.pg_staging_schema.empty();

  // The new project's own work is durable in its staging place, its
  // indexes built.
  if (auto* pg = dynamic_cast<PgDataServices*>(run.ds.get())) pg->BuildDeferredIndexes();
  run.ds->Commit();
  if (on_pg) {
    // Recorded as it will be found once published.
    ProjectFileInfo info = ReadProjectFile(run.staging.StagedProjectFile());
    info.schema = j.pg_place.schema;
    WriteProjectFile(run.staging.StagedProjectFile(), info);
    if (auto* pg = dynamic_cast<PgDataServices*>(run.ds.get());
        pg && PgSchemaHoldsAnything(*pg, j.pg_place.schema))
      throw VlError(err::kFileAlreadyExists, "frmWizard.CreateProject",
                    "The schema \"" + j.pg_place.schema + "\" on " + pg->server() +
                        " has come to hold something during the run; nothing was created.");
  } else {
    run.project->CloseProject();
    run.project.reset();
    run.ds.reset();
    // Its database, kept open between stages, closes before the decision:
    // its last commit may fail too.
    if (session_.goProjApp) session_.goProjApp->CloseIdleDatabases();
  }
  if (const std::string taken = ExistingProjectFile(
          folder, fs::path(run.staging.FinalProjectFile()).stem().string(), !on_pg);
      !taken.empty())
    throw VlError(err::kFileAlreadyExists, "frmWizard.CreateProject",
                  "\"" + taken +
                      "\" has come into the project folder during the run; it is not written "
                      "over, and nothing was created.");

  // What changes in the other projects, ready beside their files.
  std::vector<std::pair<std::string, std::string>> folders;  // folder -> project file
  for (const std::string& key : run.ctx.tables.gcolExtProjs.Keys()) {
    const std::string file = (*run.ctx.tables.gcolExtProjs.Find(key))->GetProjectPath();
    folders.emplace_back(GetParentFolderName(file), file);
  }
  auto other_for = [&](const std::string& projectFile) -> RunJournal::Other& {
    for (RunJournal::Other& o : j.others)
      if (o.project_file == projectFile) return o;
    RunJournal::Other& o = j.others.emplace_back();
    o.project_file = projectFile;
    o.pointer = GetParentFolderName(projectFile) + "/" + kPendingPointerPrefix + run.token;
    o.witness_guid = j.project_guid;
    return o;
  };
  for (OtherProjects::Work& w : run.ctx.others.work()) {
    RunJournal::Other& o = other_for(w.project->GetProjectPath());
    o.statements = w.statements;
    o.keys_before = w.keys_before;
  }
  for (const OtherProjects::FileChange& f : run.ctx.others.files()) {
    const std::string file_folder = GetParentFolderName(f.path);
    auto it = std::find_if(folders.begin(), folders.end(),
                           [&](const auto& p) { return p.first == file_folder; });
    RunJournal::Other& o = other_for(it != folders.end() ? it->second : f.path);
    o.files.push_back({f.path, f.path + kTempSuffix + run.token, f.remove});
  }
  WriteRunJournal(run.staging.JournalFile(), j);
  for (const RunJournal::Other& o : j.others) {
    WritePendingPointer(o.pointer, run.staging.folder());
    for (const RunJournal::Other::File& file : o.files) {
      const OtherProjects::FileChange* change = nullptr;
      for (const auto& f : run.ctx.others.files())
        if (f.path == file.target) change = &f;
      WriteFileDurably(file.temp, change && !change->remove ? change->content : std::string());
    }
  }

  // The decision. From here on the run is finished by whoever comes next,
  // should it stop.
  run.ctx.CheckCancelled();
  j.state = RunJournal::State::kCommitted;
  WriteRunJournal(run.staging.JournalFile(), j);
  run.committed = true;

  if (on_pg) {
    RenamePgSchema(dynamic_cast<PgDataServices&>(*run.ds), j.pg_staging_schema, j.pg_place.schema);
    run.project->CloseProject();
    run.project.reset();
    run.ds.reset();
  }
  for (OtherProjects::Work& w : run.ctx.others.work()) {
    w.ds->HoldCommits(false);
    w.ds->Commit();
  }
  run.ctx.others.Forget();
  for (const RunJournal::Other& o : j.others) PlaceOtherFiles(o);
  run.ctx.CloseExternalProjects();
  // A database kept open between stages holds its journal files open.
  if (session_.goProjApp) session_.goProjApp->CloseIdleDatabases();
  run.staging.Publish();
}

void CreationRun::Undo(Run& run) {
  Messenger& messages = session_.messages;
  const std::string rollback_failure = run.ctx.others.Rollback();
  if (!rollback_failure.empty())
    messages.AddTextResultsLine("Undoing the work in another project failed: " + rollback_failure);
  try {
    if (run.project) run.project->CloseProject();
  } catch (const std::exception& e) {
    messages.AddTextResultsLine(std::string("Closing the unfinished project failed: ") + e.what());
  }
  run.project.reset();
  run.ds.reset();
  run.ctx.CloseExternalProjects();
  try {
    if (session_.goProjApp) session_.goProjApp->CloseIdleDatabases();
  } catch (const std::exception& e) {
    messages.AddTextResultsLine(std::string("Closing the unfinished project failed: ") + e.what());
  }
  const std::string& folder = run.staging.project_folder();
  if (run.committed) {
    messages.ShowInfoMessage(
        "The project is complete, but it could not be put in place. The next creation run into \"" +
        folder + "\" finishes it.");
    return;
  }
  if (run.staged) {
    try {
      UndoRun(run.staging.folder());
    } catch (const std::exception& e) {
      messages.ShowInfoMessage(std::string("Not everything the run made could be removed: ") +
                               e.what());
      return;
    }
  }
  if (folder_made_for_run_) {
    std::error_code ec;
    // Empty now: the folder was made for this run alone.
    if (fs::is_empty(folder, ec) && fs::remove(folder, ec) && !results_file_name_.empty())
      results_file_name_ =
          (fs::path(folder).parent_path() / fs::path(results_file_name_).filename()).string();
  }
  messages.AddTextResultsLine(cancelled_ ? "Interrupted: nothing was created."
                                         : "Nothing was created.");
}

}  // namespace vl
