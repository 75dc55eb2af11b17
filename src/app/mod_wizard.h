// The start-up module: the process's global objects and the services all
// other parts of the program call.
#pragma once

#include <string>

#include "baseline/bl_proj_info.h"
#include "copy/run_tables.h"
#include "host/project/install_settings.h"
#include "host/text/host_globals.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"

namespace vl {

// The help file has been opened since start-up.
extern bool gbHelpShown;

// Brings every global object of every layer back to its state before
// start-up (no global exists; messages go nowhere).
void ResetGlobalObjects();

// Creates the resource services, the baseline descriptor, the project
// application, an empty drivers dictionary and empty GUID translation
// tables. True when they all exist (the project application is not
// tested).
bool CreateGlobalObjects();

// Loads the resource file from `programDir` (the folder of the running
// program), initialises the descriptor, creates the new-project definition
// and reads the database drivers. On an error: the report under
// "Modwizard.InitGlobalObjects" and False (the program must then end).
// `initForm`, when given, runs where the window initialises itself.
bool InitGlobalObjects(const std::string& programDir, void (*initForm)() = nullptr);

// Shuts the project application down and releases it; errors are ignored,
// so a second call does nothing.
void ReleaseProjectApplication();

// Installation directory + "/HELP"; "" when it cannot be read.
std::string GetHelpDirectory();

// The review and results page names: the new project file's path without
// extension, ".BLProjCreateReview." or ".BLProjCreateResults.", the local
// date and time as "yymmdd.hhmmss", ".html".
std::string BuildReportFileName(bool results);
std::string GetReviewFileName();
std::string GetResultsFileName();

// The folder of the running program.
std::string GetProgramDirectory();

}  // namespace vl
