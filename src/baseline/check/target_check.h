// The new project's place, checked where the user chooses it and before
// anything is asked or created: the folder (made absolute and normal, a
// folder that can be written, not the baseline folder nor inside it, not
// holding a project of that name yet), the project name, the database
// type and, on PostgreSQL, the server and the schema.
#pragma once

#include <string>
#include <vector>

#include "host/project/new_project_definition.h"

namespace vl {

// The field of the choice a problem belongs to, so that a window can show
// the message beside it.
enum class TargetField { kFolder, kName, kDatabase, kServer, kSchema };

// "project folder", "project name", "database", "database server",
// "schema".
const char* TargetFieldText(TargetField field);

struct TargetProblem {
  TargetField field = TargetField::kFolder;
  std::string text;
};

struct TargetChoice {
  std::string baseline_folder;         // the baseline the project is created from
  std::string folder;                  // as given: may be relative, or end in "/" or ".."
  std::string name;                    // the project's name
  std::string database;                // the database entry chosen
  std::vector<std::string> databases;  // the entries offered
  ConnectionSettings connection;       // the server settings, for PostgreSQL
  // Whether to ask the PostgreSQL server whether it answers and whether
  // the schema is free (false where no network may be used).
  bool contact_server = true;
};

struct TargetCheckResult {
  std::string folder;     // the folder, absolute and normal, without a trailing "/"
  std::string file_name;  // the project file's name without ".vlp": the folder's last part
  std::vector<TargetProblem> problems;  // empty when the choice can be used
  bool ok() const { return problems.empty(); }
};

// Checks `choice`. Creates and changes nothing (a server is only asked);
// touches no process-wide object, so it may run on a worker thread. On
// PostgreSQL with `contact_server` it connects, which may take up to the
// connection timeout.
TargetCheckResult CheckTarget(const TargetChoice& choice);

// The first of the files a project whose file is named `fileTitle` (+
// ".vlp") writes in `folder` — its project file and, on SQLite, its
// database and the database's journals — that exists there as anything at
// all, a link leading nowhere included; "" when none does.
std::string ExistingProjectFile(const std::string& folder, const std::string& fileTitle,
                                bool sqlite);

// `folder` absolute (against the working directory) and normal: without
// "." and ".." steps and without a trailing "/"; "" for "".
std::string AbsoluteFolder(const std::string& folder);

// Whether the folder could be created: the nearest folder of the path that
// exists is a folder we may write into. False for a relative path.
bool FolderCanBeCreated(const std::string& folder);

}  // namespace vl
