// What a command of the tool or a creation run reports at its end: its
// status, where the project is, what was copied kind by kind, every
// message, and what waits for which other project. Written for people
// (the summary at the end, the results page) and for programs (JSON) from
// this one record.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/mod_wizard.h"
#include "copy/copied_objects.h"

namespace vl {

// One message, with the place in the baseline it is about where known.
struct ReportMessage {
  long id = 0;           // resource id of its text; 0 when it has none
  std::string severity;  // "error", "warning" or "note"
  std::string text;
  std::string file;  // baseline file, "" when none
  int line = 0;      // line in `file`, 0 when none
  std::string element;
};

// Where a project is (or is to be): its file and its database.
struct ProjectPlace {
  std::string name;           // the project's name
  std::string file;           // the project file, NAME.vlp
  std::string database;       // the database list's entry: "SQLite", "PostgreSQL", ...
  std::string database_file;  // a file database: its file
  // A server database: the server ("host:port", "" for libpq's default),
  // the database on it ("" for the default) and the project's schema.
  std::string server, server_database, schema;

  // "SQLite database /p/P.db", or "PostgreSQL server db.example:5432,
  // database projects, schema p"; "" when nothing is known.
  std::string Describe() const;
};

// The new project's place as the session's descriptor and new-project
// definition plan it (the review and the run use the same).
ProjectPlace PlannedProjectPlace(const Session& session);

// What waits, beside one project, for one other project.
struct PendingReferences {
  std::string project_guid;   // the other project as the baseline names it
  std::string name, prefix;   // as the baseline names it; "" when unknown
  std::string location;       // its project file when it was located, else ""
  bool registration = false;  // its entry in the project's external projects
  long query_definitions = 0, views = 0, traces = 0;
};

// Reads the UnRes files in `projectFolder` and groups what waits there by
// the other project it waits for, in the order of the baseline's external
// projects (`baseline`), others after them. A file that is missing or
// cannot be read counts as empty.
std::vector<PendingReferences> ReadPendingReferences(const std::string& projectFolder,
                                                     const BLProjInfo& baseline);

struct RunReport {
  std::string command;  // "create", "review", "validate"
  // "created", "failed", "interrupted", "reviewed", "valid", "invalid",
  // "usage_error"
  std::string status;
  std::string reason;  // why the command did not succeed, "" when it did
  int exit_status = 0;
  std::string baseline_folder, baseline_guid, baseline_label;
  ProjectPlace project;
  CopiedObjects copied;  // counts only after a run
  bool run = false;      // a creation run took place: `copied` is its count
  std::vector<ReportMessage> messages;
  std::vector<PendingReferences> pending;
  std::string results_page, review_page;
  long results_lines = 0;
  int verified = -1;  // --verify: 1 the project holds its baseline, 0 it differs; -1 not asked
  double seconds = 0;

  // Messages of `severity`.
  size_t Count(const std::string& severity) const;
};

// How what waits for `pending` gets completed, as a sentence: by the run
// that creates that project from its baseline and is given this project.
std::string CompletionAdvice(const PendingReferences& pending);
// That run's command line: "vlbaseline create BASELINE --external
// GUID=FILE", `projectFile` being this project's file (quoted for a shell
// when it needs it) and `baselineGuid` the GUID of its baseline's project.
std::string CompletionCommand(const std::string& projectFile, const std::string& baselineGuid);

// "1 query definition, 2 views and 12 traces" (with "its registration as
// external project" first when it waits too).
std::string PendingText(const PendingReferences& pending);

}  // namespace vl
