// Finishing or undoing what a creation run left when it was stopped where
// it could not clean up after itself (killed, crashed, the power gone).
//
// A run that had not yet decided to commit left nothing that counts: its
// staging folder, its new project's staging schema on PostgreSQL, files
// waiting in other projects' folders. All of it is removed. A run that had
// decided to commit had everything ready: what it had not done yet is done
// now, from its journal, exactly as it would have done it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/run_journal.h"
#include "host/project/project.h"
#include "host/project/project_lock.h"

namespace vl {

struct LeftoverOutcome {
  enum class Kind {
    kNone,      // nothing was left
    kInUse,     // a run that still lives works there: nothing was touched
    kUndone,    // the leftover of a run that had not committed: removed
    kFinished,  // a run that had committed: its work completed
  };
  Kind kind = Kind::kNone;
  std::string project_folder;
  std::string description;  // what was found and what was done, for the user
  // The finished run's baseline and project file.
  std::string baseline_guid, final_project;
};

// Clears the leftover a run left in `projectFolder` (the folder of a new
// project), if any. The projects a committed run completes are opened
// through `projects` and locked in `locks` (waiting at most
// `lockWaitSeconds` for another run). Throws VlError when a leftover can
// be neither finished nor undone; the message says what remains and
// where, so that a person can finish the work.
LeftoverOutcome ClearLeftover(const std::string& projectFolder, ProjectApplication& projects,
                              ProjectLocks& locks, int lockWaitSeconds);

// Clears the leftovers of the runs that were completing the project whose
// file is `projectFile` (they left pointers in its folder). The caller
// holds that project's lock in `locks`. Throws as ClearLeftover.
std::vector<LeftoverOutcome> ClearLeftoversPointingTo(const std::string& projectFile,
                                                      ProjectApplication& projects,
                                                      ProjectLocks& locks, int lockWaitSeconds);

// What a run does first, and what the command line does before it checks
// anything (so that the checks see the projects as they are): clears the
// leftover in `projectFolder`, then, one project after the other in a
// fixed order (so that two runs never wait for each other in a circle),
// locks each of `projectFiles` in `locks` and clears the leftovers
// pointing to it. While another run holds one of them, `onWait` is told
// which, once, and `poll` is called every tenth of a second (either may
// throw). Returns what was found (no kNone, no kInUse). Throws VlError
// as ClearLeftover, and when a run still works in one of those places.
std::vector<LeftoverOutcome> ClearLeftoversAround(
    const std::string& projectFolder, std::vector<std::string> projectFiles,
    ProjectApplication& projects, ProjectLocks& locks, int lockWaitSeconds,
    const std::function<void(const std::string&)>& onWait, const std::function<void()>& poll);

// --- The steps of a run's end that a later run may have to take for it ---

// Puts the new content of a completed project's files in place (or removes
// them), then its pointer file. Files placed already are skipped. Throws
// VlError naming the file that cannot be moved.
void PlaceOtherFiles(const RunJournal::Other& other);
// Gives the new project's PostgreSQL schema its final name, when it does
// not have it yet. Throws VlError when the server cannot be reached or the
// final name is taken.
void FinishPgSchema(const RunJournal& journal);
// Removes everything a run that did not commit made, as the journal in its
// staging folder lists it: the files waiting in other projects' folders and
// their pointers, the new project's staging schema, the staging folder.
// Throws VlError naming what cannot be removed.
void UndoRun(const std::string& stagingFolder);

}  // namespace vl
