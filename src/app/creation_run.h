// The creation run: creates the new project file and database, calls the
// copiers in their fixed order with the reopenings between them, completes
// the projects that waited for the baseline's project, and writes the two
// GUID map files.
//
// A run creates the whole project or nothing, and changes the projects it
// completes only when it succeeds, all at once. The new project is built
// in a staging folder inside its folder (and, on PostgreSQL, in a staging
// schema) and put in place at the end; the rows it writes into other
// projects wait in one open transaction per project, and their files in
// memory, until everything else has succeeded. Then a journal records the
// decision, the other projects commit, their files are replaced, and the
// new project appears. A run that fails or is stopped removes what it
// made; one killed before its decision leaves a staging folder that the
// next run into the same folder (or the next run that opens a project it
// was completing) removes, and one killed after its decision is finished
// by that next run.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/mod_wizard.h"
#include "copy/copied_objects.h"
#include "errors/run_cancelled.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// How long a run waits for another run that works on a project it needs.
inline constexpr int kLockWaitSeconds = 600;

// Resource ids of the run's own lines and reports.
constexpr long kResRunAnnounce = 6002, kResRunAnnounceEnd = 6003, kResCreatingProject = 5014,
               kResRunSucceeded = 5013, kResReopen1Failed = 5010, kResReopen2Failed = 5011,
               kResReopen3Failed = 5012;

class RunContext;
class ProjectStaging;
struct RunJournal;

class CreationRun {
 public:
  struct StageTime {
    std::string stage;  // the copier routine's name, or "CreateProject", "Reopen", ...
    double seconds = 0;
  };

  // A run of `session`'s descriptor, new-project definition and project
  // application. `cancel`, when given, stops the run when set.
  explicit CreationRun(Session& session, const CancelRequest* cancel = nullptr);
  ~CreationRun();

  // The timer event's work, in order: the start time is set on the
  // descriptor; the lines 6002, the results page name and 6003 are added;
  // CreateProject runs; on success the 5013 line is added;
  // `beforeRelease` (when given) runs, then the project application is
  // released. Returns CreateProject's result.
  bool ExecuteActions(const std::function<void()>& beforeRelease = nullptr);

  // The run's driver. True only when every stage succeeded and the project
  // is in place; otherwise nothing of it remains (the failure was
  // reported) and the other projects are as they were.
  bool CreateProject();

  // The project folder did not exist before the user chose it: a run that
  // creates nothing removes it again (when nothing else has come into it)
  // and writes its results page beside it.
  void SetFolderMadeForRun(bool made) { folder_made_for_run_ = made; }

  // The results page name announced by ExecuteActions (moved beside the
  // project folder when a run that created nothing removed that folder).
  const std::string& results_file_name() const { return results_file_name_; }
  // Wall time of each stage of the last CreateProject, in order.
  const std::vector<StageTime>& stage_times() const { return stage_times_; }
  // Why the last run stopped when it was asked to (a signal number, or
  // kCancelledByUser); 0 when it was not.
  int cancelled() const { return cancelled_; }
  // The project file of the last run when it was created.
  const std::string& created_project() const { return created_project_; }
  // What the last run copied, kind by kind (also when it then failed).
  const CopiedObjects& copied() const { return copied_; }

  // One instance of each copier per run.
  struct Copiers;

 private:
  struct Run;
  bool CreateAndOpenVLPFile(Run& run);
  bool CreateAndOpenVLPFileTimed(Run& run);
  bool RunStages(Run& run);
  bool ReopenProject(Run& run, std::string& why);
  void CompleteOtherProjects(Run& run);
  void WriteGUIDMapFiles(Run& run);
  void Commit(Run& run);
  void Undo(Run& run);
  void ClearLeftovers(Run& run);
  void Time(const std::string& stage, std::chrono::steady_clock::time_point start);

  Session& session_;
  const CancelRequest* cancel_;
  bool folder_made_for_run_ = false;
  std::string results_file_name_;
  std::vector<StageTime> stage_times_;
  int cancelled_ = 0;
  std::string created_project_;
  CopiedObjects copied_;
};

}  // namespace vl
