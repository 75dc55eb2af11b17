#include "app/run_recovery.h"

#include <cstring>
#include <filesystem>

#include "app/project_staging.h"
#include "app/run_journal.h"
#include "copy/db_conventions.h"
#include "copy/other_projects.h"
#include "errors/vl_error.h"
#include "host/db/pg_data_services.h"
#include "host/project/durable_files.h"
#include "host/project/pg_projects.h"

namespace fs = std::filesystem;

namespace vl {

namespace {

constexpr const char* kSource = "Recovery";

PgLocation StagingLocationOf(const RunJournal& j, const std::string& schema) {
  PgLocation where = j.pg_place;
  where.schema = schema;
  return where;
}

bool RowWithGuid(DataServices& ds, const std::string& guid) {
  std::unique_ptr<Recordset> rs = ds.QueryRecordset("SELECT ID FROM " + Tbl("vlExternalProjects") +
                                                    " WHERE VLGUID = " + SqlText(guid));
  return rs && !rs->IsEOF();
}

// Completes one project a committed run was completing: its rows, unless
// its transaction was committed; then its files.
void FinishOther(const RunJournal::Other& o, ProjectApplication& projects, ProjectLocks& locks,
                 int lockWaitSeconds) {
  if (!o.statements.empty()) {
    locks.Lock(o.project_file, lockWaitSeconds);
    std::shared_ptr<Project> project = projects.OpenProject(o.project_file);
    std::shared_ptr<DataServices> ds = DataServicesOf(*project);
    if (!RowWithGuid(*ds, o.witness_guid)) {
      // Not committed: the work is done again, exactly, on the project as
      // the run found it; if others have drawn keys there meanwhile, it
      // cannot be done the same way.
      if (ReadKeyTable(*ds) != o.keys_before)
        throw VlError(err::kUnspecified, kSource,
                      "The project \"" + o.project_file +
                          "\" has changed since the interrupted run was to complete it; its "
                          "rows for the new project cannot be written the same way. The files "
                          "waiting beside it (" +
                          kPendingPointerPrefix + "*) name the run's staging folder.");
      ds->HoldCommits(true);
      try {
        for (const std::string& statement : o.statements) ds->ExecuteSQL(statement);
      } catch (const std::exception&) {
        ds->HoldCommits(false);
        ds->Rollback();
        throw;
      }
      ds->HoldCommits(false);
      ds->Commit();
    }
    project->CloseProject();
  }
  PlaceOtherFiles(o);
}

}  // namespace

void PlaceOtherFiles(const RunJournal::Other& o) {
  std::error_code ec;
  for (const RunJournal::Other::File& f : o.files) {
    if (!fs::exists(f.temp, ec)) continue;  // placed already
    if (f.remove) {
      RemoveDurably(f.target);
      RemoveDurably(f.temp);
    } else {
      RenameDurably(f.temp, f.target);
    }
  }
  if (!o.pointer.empty()) RemoveDurably(o.pointer);
}

void FinishPgSchema(const RunJournal& j) {
  if (j.pg_staging_schema.empty()) return;
  std::unique_ptr<PgDataServices> ds =
      PgDataServices::Connect(StagingLocationOf(j, j.pg_staging_schema));
  if (PgSchemaExists(*ds, j.pg_staging_schema)) {
    if (PgSchemaHoldsAnything(*ds, j.pg_place.schema))
      throw VlError(err::kFileAlreadyExists, kSource,
                    "The schema \"" + j.pg_place.schema + "\" on " + ds->server() +
                        " holds something already, so the new project's schema \"" +
                        j.pg_staging_schema + "\" cannot take its name.");
    RenamePgSchema(*ds, j.pg_staging_schema, j.pg_place.schema);
  }
  ds->Close();
}

void UndoRun(const std::string& stagingFolder) {
  const std::string journal_file =
      (fs::path(stagingFolder) / ProjectStaging::kJournalFile).string();
  std::error_code ec;
  if (fs::exists(journal_file, ec)) {
    const RunJournal j = ReadRunJournal(journal_file);
    for (const RunJournal::Other& o : j.others) {
      for (const RunJournal::Other::File& f : o.files) RemoveDurably(f.temp);
      if (!o.pointer.empty()) RemoveDurably(o.pointer);
    }
    if (!j.pg_staging_schema.empty()) {
      std::unique_ptr<PgDataServices> ds =
          PgDataServices::Connect(StagingLocationOf(j, j.pg_staging_schema));
      DropPgSchema(*ds, j.pg_staging_schema);
      ds->Close();
    }
  }
  fs::remove_all(stagingFolder, ec);
  if (ec)
    throw VlError(err::kPermissionDenied, kSource,
                  "The folder \"" + stagingFolder + "\" cannot be removed: " + ec.message());
}

LeftoverOutcome ClearLeftover(const std::string& projectFolder, ProjectApplication& projects,
                              ProjectLocks& locks, int lockWaitSeconds) {
  LeftoverOutcome outcome;
  outcome.project_folder = projectFolder;
  const std::string staging = ProjectStaging::FolderFor(projectFolder);
  std::error_code ec;
  if (!fs::exists(staging, ec)) return outcome;
  std::string whose;
  if (StagingInUse(staging, whose)) {
    outcome.kind = LeftoverOutcome::Kind::kInUse;
    outcome.description =
        "Another run (" + whose + ") is creating a project in \"" + projectFolder + "\" right now.";
    return outcome;
  }
  const std::string journal_file = (fs::path(staging) / ProjectStaging::kJournalFile).string();
  const bool committed = fs::exists(journal_file, ec) &&
                         ReadRunJournal(journal_file).state == RunJournal::State::kCommitted;
  const std::string what = whose.empty() ? "A run" : "A run (" + whose + ")";
  if (!committed) {
    UndoRun(staging);
    outcome.kind = LeftoverOutcome::Kind::kUndone;
    outcome.description = what +
                          " that stopped before it was done left an unfinished project in \"" +
                          staging + "\"; it was removed, and nothing of it remains.";
    return outcome;
  }
  const RunJournal j = ReadRunJournal(journal_file);
  FinishPgSchema(j);
  for (const RunJournal::Other& o : j.others) FinishOther(o, projects, locks, lockWaitSeconds);
  const fs::path final_project(j.final_project);
  ProjectStaging(projectFolder, final_project.stem().string()).Publish();
  outcome.kind = LeftoverOutcome::Kind::kFinished;
  outcome.baseline_guid = j.baseline_guid;
  outcome.final_project = j.final_project;
  outcome.description = what +
                        " was stopped while it put its finished project in place; that is "
                        "done now: \"" +
                        j.final_project + "\".";
  return outcome;
}

std::vector<LeftoverOutcome> ClearLeftoversPointingTo(const std::string& projectFile,
                                                      ProjectApplication& projects,
                                                      ProjectLocks& locks, int lockWaitSeconds) {
  std::vector<LeftoverOutcome> outcomes;
  const std::string folder = fs::path(projectFile).parent_path().string();
  for (const auto& [staging, pointer] : PendingPointersIn(folder)) {
    const std::string project_folder = fs::path(staging).parent_path().string();
    std::error_code ec;
    if (!fs::exists(staging, ec)) {
      // The run's staging folder is gone (removed by hand): its files
      // waiting here are all that is left of it.
      const std::string token =
          fs::path(pointer).filename().string().substr(std::strlen(kPendingPointerPrefix));
      for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string suffix = std::string(kTempSuffix) + token;
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
          RemoveDurably(it->path().string());
      }
      RemoveDurably(pointer);
      continue;
    }
    outcomes.push_back(ClearLeftover(project_folder, projects, locks, lockWaitSeconds));
  }
  return outcomes;
}

std::vector<LeftoverOutcome> ClearLeftoversAround(
    const std::string& projectFolder, std::vector<std::string> projectFiles,
    ProjectApplication& projects, ProjectLocks& locks, int lockWaitSeconds,
    const std::function<void(const std::string&)>& onWait, const std::function<void()>& poll) {
  std::vector<LeftoverOutcome> found;
  auto keep = [&](const LeftoverOutcome& o) {
    if (o.kind == LeftoverOutcome::Kind::kInUse)
      throw VlError(err::kFileAlreadyExists, kSource, o.description);
    if (o.kind != LeftoverOutcome::Kind::kNone) found.push_back(o);
  };
  keep(ClearLeftover(projectFolder, projects, locks, lockWaitSeconds));
  std::sort(projectFiles.begin(), projectFiles.end());
  for (const std::string& file : projectFiles) {
    locks.Lock(
        file, lockWaitSeconds, [&] { onWait(file); }, poll);
    for (const LeftoverOutcome& o :
         ClearLeftoversPointingTo(file, projects, locks, lockWaitSeconds))
      keep(o);
  }
  return found;
}

}  // namespace vl
