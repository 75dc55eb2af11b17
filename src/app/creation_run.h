// The creation run: creates the new project file and database, calls the
// copiers in their fixed order with the reopenings between them, and
// writes the two GUID map files.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/mod_wizard.h"
#include "errors/run_cancelled.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// Resource ids of the run's own lines and reports.
constexpr long kResRunAnnounce = 6002, kResRunAnnounceEnd = 6003, kResCreatingProject = 5014,
               kResRunSucceeded = 5013, kResReopen1Failed = 5010, kResReopen2Failed = 5011,
               kResReopen3Failed = 5012;

class RunContext;

class CreationRun {
 public:
  struct StageTime {
    std::string stage;  // the copier routine's name, or "CreateProject", "Reopen", ...
    double seconds = 0;
  };

  // A run of `session`'s descriptor, new-project definition and project
  // application. `cancel`, when given, stops the run when set.
  explicit CreationRun(Session& session, const CancelRequest* cancel = nullptr);

  // The timer event's work, in order: the start time is set on the
  // descriptor; the lines 6002, the results page name and 6003 are added;
  // CreateProject runs; on success the 5013 line is added;
  // `beforeRelease` (when given) runs, then the project application is
  // released. Returns CreateProject's result.
  bool ExecuteActions(const std::function<void()>& beforeRelease = nullptr);

  // The run's driver. True only when every stage succeeded and the map
  // writer was reached.
  bool CreateProject();

  // The results page name announced by ExecuteActions.
  const std::string& results_file_name() const { return results_file_name_; }
  // Wall time of each stage of the last CreateProject, in order.
  const std::vector<StageTime>& stage_times() const { return stage_times_; }
  // Why the last run stopped when it was asked to (a signal number, or
  // kCancelledByUser); 0 when it was not.
  int cancelled() const { return cancelled_; }

  // One instance of each copier per run.
  struct Copiers;

 private:
  bool CreateAndOpenVLPFile(std::shared_ptr<Project>& oProj);
  bool ReopenProject(RunContext& ctx, std::shared_ptr<Project>& oProj,
                     std::shared_ptr<DataServices>& oDS, std::string& why);
  void WriteGUIDMapFiles(RunContext& ctx, Project& oProj);
  void Time(const std::string& stage, std::chrono::steady_clock::time_point start);

  Session& session_;
  const CancelRequest* cancel_;
  std::string results_file_name_;
  std::vector<StageTime> stage_times_;
  int cancelled_ = 0;
};

}  // namespace vl
