// The project file NAME.vlp: a small settings file a person can read,
// naming the project, its GUID, the kind of database it lives in and how
// to reach it (for SQLite the database file beside it, for PostgreSQL the
// server settings; never a password), and the three overflow sizes.
//
//   [Project]
//   Name=Alpha
//   GUID={...}
//   DatabaseType=SQLite
//   [Database]
//   File=Alpha.db
//   [Overflow]
//   VersionReason=255
//   RequirementText=2000
//   AttributeValue=255
#pragma once

#include <cstdint>
#include <string>

namespace vl {

inline constexpr const char* kProjectFileExtension = ".vlp";
inline constexpr const char* kSQLiteFileExtension = ".db";

struct ProjectFileInfo {
  std::string name;
  std::string guid;
  // The display name of the database type: "SQLite" or "PostgreSQL".
  std::string db_type;
  // SQLite: the database file's name, relative to the project file's
  // folder (or a full path).
  std::string db_file;
  // PostgreSQL: where the tables are.
  std::string host, port, database, user, schema;
  // PostgreSQL: further connection keywords as a libpq connection string
  // ("sslmode=require"); never a password.
  std::string options;
  // Longest texts kept in their own rows; -1 means no limit.
  int32_t version_reason_size = 255;
  int32_t req_text_size = 2000;
  int32_t field_value_size = 255;
};

// `path` with ".vlp" added unless it already ends with it (any case).
std::string ProjectFilePath(const std::string& path);

// Writes the project file at `path` atomically: a temporary file beside
// it, then renamed over it, so a reader never sees half a file. Throws
// VlError naming the file and the reason when it cannot be written (a
// text with a line break cannot be written either); nothing is left
// behind then.
void WriteProjectFile(const std::string& path, const ProjectFileInfo& info);

// Reads the project file at `path`. Throws VlError naming the file and the
// reason when it is missing, unreadable, or not a project file (no
// [Project] section with a GUID and a database type, or a size that is not
// a whole number of at least -1).
ProjectFileInfo ReadProjectFile(const std::string& path);

// The SQLite database file of the project file at `projectFilePath`:
// `db_file` taken relative to the project file's folder; when that file is
// missing but the project file's name with ".db" in place of ".vlp" exists
// beside it, that one.
std::string DatabaseFilePath(const std::string& projectFilePath, const ProjectFileInfo& info);

}  // namespace vl
