// The journal of a creation run's last step: what the run is about to
// change outside the folder where it built its project, written before it
// changes any of it. Should the run be stopped in the middle of that step
// (a crash, a power loss), the journal tells a later run how to finish the
// work (once the run had decided to commit) or undo it (before).
//
// The journal lies in the run's staging folder. Each project the run
// completes gets a pointer to it in its own folder while the step is under
// way, so that whoever opens that project next finds the unfinished work.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/db/pg_connection.h"

namespace vl {

struct RunJournal {
  enum class State { kPrepared, kCommitted };
  State state = State::kPrepared;

  std::string final_project;  // the project file's path once published
  std::string baseline_guid;  // the baseline's project GUID
  std::string project_guid;   // the new project's GUID

  // The new project's tables on PostgreSQL: built under a staging schema,
  // renamed to the final one when the run commits.
  PgLocation pg_place;            // the server, and the final schema
  std::string pg_staging_schema;  // empty: not on PostgreSQL

  // One project the run completes.
  struct Other {
    std::string project_file;
    std::string pointer;  // the pointer file in its folder
    // The new project registered there: a row with this GUID in its
    // vlExternalProjects shows that its transaction was committed.
    std::string witness_guid;
    // Its key table before the run's work, and the statements of the work.
    std::vector<std::pair<std::string, std::string>> keys_before;
    std::vector<std::string> statements;
    // Its files: the new content waits in `temp` (removed when `remove`).
    struct File {
      std::string target, temp;
      bool remove = false;
    };
    std::vector<File> files;
  };
  std::vector<Other> others;
};

// Writes `journal` to `path` so that a reader finds the old journal or the
// new one whole, never a mix: written beside it, flushed, renamed. Throws
// VlError naming the file when it cannot be written.
void WriteRunJournal(const std::string& path, const RunJournal& journal);
// Reads the journal at `path`. Throws VlError naming the file when it is
// missing, cannot be read or is not a journal.
RunJournal ReadRunJournal(const std::string& path);

// The pointer file a run leaves in the folder of a project it completes:
// it names the run's staging folder.
void WritePendingPointer(const std::string& path, const std::string& stagingFolder);
// The staging folders named by the pointer files in `folder`, with the
// pointer files' paths.
std::vector<std::pair<std::string, std::string>> PendingPointersIn(const std::string& folder);

// The file name prefix of pointer files (".vlbaseline-pending-" + a token of
// the run), and what the run adds to a file's name for its new content
// (NAME + ".vlbaseline-" + the same token).
inline constexpr const char* kPendingPointerPrefix = ".vlbaseline-pending-";
inline constexpr const char* kTempSuffix = ".vlbaseline-";

}  // namespace vl
