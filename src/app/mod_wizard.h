// The program's objects from start-up to the end (resource texts, the
// baseline descriptor, the project application, the new-project
// definition, the database types offered, the messages) and the services
// the rest of the program calls on them. The wizard and the command-line
// tool each make one session; tests make as many as they like.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "baseline/bl_proj_info.h"
#include "host/project/install_settings.h"
#include "host/project/new_project_definition.h"
#include "host/project/project.h"
#include "host/text/messages.h"
#include "host/text/ordered_map.h"
#include "host/text/path_utils.h"
#include "host/text/resource.h"

namespace vl {

class Session {
 public:
  // Messages go to `sink` (nowhere when null); nothing else exists yet.
  explicit Session(MessageSink* sink = nullptr);
  // Shuts the project application down.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Creates the resource services, the baseline descriptor, the project
  // application, an empty drivers dictionary. True when they all exist.
  bool CreateGlobalObjects();

  // Loads the resource file from `programDir` (the folder of the resource
  // file), initialises the descriptor, creates the new-project definition
  // and reads the database drivers. On an error: the report under
  // "Modwizard.InitGlobalObjects" and False (the program must then end).
  // `initForm`, when given, runs where the window initialises itself.
  bool InitGlobalObjects(const std::string& programDir,
                         const std::function<void()>& initForm = nullptr);

  // Shuts the project application down and releases it; errors are
  // ignored, so a second call does nothing.
  void ReleaseProjectApplication();
  // Makes a project application when there is none: a run releases it at
  // its end, and one that stopped may be tried again.
  void RenewProjectApplication();

  // Installation directory + "/HELP"; "" when it cannot be read.
  std::string GetHelpDirectory();

  // The review and results page names: the new project file's path
  // without extension, ".BLProjCreateReview." or ".BLProjCreateResults.",
  // the local date and time as "yymmdd.hhmmss", ".html".
  std::string BuildReportFileName(bool results) const;
  std::string GetReviewFileName() const { return BuildReportFileName(false); }
  std::string GetResultsFileName() const { return BuildReportFileName(true); }

  // The folder whose "DB Drivers.dat" the programs ship with ("" before
  // InitGlobalObjects).
  const std::string& shipped_files_folder() const { return shipped_files_folder_; }

  Messenger messages;
  // Whether the new project is verified against its baseline right after
  // a run that created it (the summary goes into the results).
  bool verify_after_run = false;
  std::unique_ptr<Resource> goResource;
  std::unique_ptr<BLProjInfo> goBLProjInfo;
  std::shared_ptr<ProjectApplication> goProjApp;
  std::unique_ptr<ProjectDefinitionFactory> goProjDefFactory;
  std::unique_ptr<NewProjectDefinition> goNewProjDef;
  // The database types offered: display name to driver name, in order.
  OrderedMap<std::string> gdictDBDrivers;

 private:
  std::string shipped_files_folder_;
};

// The folder of the running program.
std::string GetProgramDirectory();

}  // namespace vl
