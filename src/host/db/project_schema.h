// The layout of a project database: every table and column the project
// component and the copiers read or write, the indexes their look-ups
// need, and the rows a new project starts with. Plain portable SQL
// (INTEGER, TEXT, DOUBLE PRECISION, TIMESTAMP), so every database kind can
// use it. (A bare REAL is eight bytes on the file database but four on
// PostgreSQL, where it would lose digits.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/db/data_services.h"
#include "host/text/variant.h"

namespace vl {

// The tables of a project database, named as the statements name them
// (the database ignores letter case).
const std::vector<std::string>& ProjectTableNames();

// The key classes numbered in VlKeys: one per kind of row.
const std::vector<std::string>& ProjectKeyClasses();

// The CREATE TABLE statements, then the CREATE INDEX statements.
std::vector<std::string> ProjectSchemaStatements();

// Runs ProjectSchemaStatements() on `ds` (an empty database). Throws the
// first statement's VlError; the tables created before it stay.
void CreateProjectSchema(DataServices& ds);

// The login and group a new project starts with.
inline constexpr const char* kAdminLogin = "admin";
inline constexpr const char* kAdminFullName = "Administrator";
inline constexpr const char* kAdminGroupName = "Administrators";
// Every access right: the administrators may do everything.
inline constexpr int32_t kAllRights = -1;

struct ProjectStartingValues {
  std::string guid;
  std::string name;
  std::string description;
  std::string prefix;
  std::string root_package_guid;
  std::string admin_group_guid;
  std::string admin_user_guid;
  VlDate created;
};

struct ProjectStartingIDs {
  int32_t project_id = 0;
  int32_t root_package_id = 0;
  int32_t admin_group_id = 0;
  int32_t admin_user_id = 0;
};

// Writes the rows of a new project into a database that has the schema:
// one VlKeys row per key class, the project's vlProjects row, its root
// package (PARENTID 0), the administrators group with the user "admin"
// (empty password) and the first vlProjectHistory row. IDs come from
// VlKeys, so every LastKey ends at the highest ID used. Throws VlError on
// the first statement that fails.
ProjectStartingIDs InsertStartingRows(DataServices& ds, const ProjectStartingValues& values);

// A requirement prefix made from a project name: its ASCII letters and
// digits, upper-cased, at most 8; "PRJ" when the name has none.
std::string DefaultProjectPrefix(const std::string& name);

}  // namespace vl
