// Projects whose tables live on a PostgreSQL server, one schema per
// project: where a project file and a new-project definition say the
// tables are, creating a project's schema, and the open data services the
// projects of one schema share.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "host/db/pg_data_services.h"
#include "host/db/project_schema.h"
#include "host/project/new_project_definition.h"
#include "host/project/project_file.h"

namespace vl {

// The location a project file records, and the other way round (the
// database type is set to "PostgreSQL").
PgLocation PgLocationOf(const ProjectFileInfo& info);
void RecordPgLocation(const PgLocation& where, ProjectFileInfo& info);

// The location the connection settings of a new-project definition name:
// the connection string when there is one, with every field given
// separately written over it; the schema given, else one made from
// `projectName` (SchemaNameFor). Throws VlError
// (err::kInvalidProcedureCall) when the settings cannot be used (a
// connection string libpq cannot read or that holds a password, a schema
// name the server cannot take).
PgLocation PgLocationOfDefinition(const ConnectionSettings& connection,
                                  const std::string& projectName);

// True when `schema` on the server of `ds` holds a project's tables.
bool PgSchemaHoldsProject(PgDataServices& ds, const std::string& schema);
// True when `schema` exists on the server of `ds`.
bool PgSchemaExists(PgDataServices& ds, const std::string& schema);

// True when `schema` exists on the server of `ds` and holds a table,
// view, sequence, function or type.
bool PgSchemaHoldsAnything(PgDataServices& ds, const std::string& schema);

// Renames the schema `from` to `to` on the server of `ds`, and commits; an
// empty schema `to` is dropped first, in the same transaction.
// Throws VlError naming both and the server when it fails.
void RenamePgSchema(PgDataServices& ds, const std::string& from, const std::string& to);
// Removes the schema `schema` and everything in it from the server of
// `ds`, and commits; nothing when there is no such schema. Throws VlError
// naming it and the server when it fails.
void DropPgSchema(PgDataServices& ds, const std::string& schema);

// Creates the project's schema when missing and, in one transaction, the
// tables, indexes and starting rows of a new project, named `name`, with
// the GUIDs in `values` (its name and prefix are filled in here). A schema
// that already holds a project is refused: VlError
// (err::kFileAlreadyExists) naming the schema and the server. On any
// failure nothing of the new project stays on the server and the VlError
// names the server and the reason. Returns the location with the fields
// `where` left to libpq's defaults filled in as they were used, for the
// project file. With `keep`, the data services that made the project are
// handed out there, committed, instead of closed.
PgLocation CreatePgProject(const PgLocation& where, const ProjectStartingValues& values,
                           const PgOptions& options,
                           std::shared_ptr<PgDataServices>* keep = nullptr);

// The open data services, one per schema and user, shared by every
// project opened on it and closed when the last of them is released. Those
// of a private schema (PgOptions::private_schema) stay open, committed,
// until CloseIdle(): a run closes and opens its new project again between
// stages, and the work they hold for later (the indexes they build once
// the rows are in) goes on.
class PgDatabasePool {
 public:
  // Throws as PgDataServices::Connect.
  std::shared_ptr<PgDataServices> Acquire(const PgLocation& where, const PgOptions& options);
  // Takes in the open data services `ds` of `where`, with no user yet.
  void Adopt(const PgLocation& where, std::shared_ptr<PgDataServices> ds);
  // Closes the data services when `where` has no other user (see above);
  // errors of the final commit are thrown (the connection is closed all
  // the same).
  void Release(const PgLocation& where);
  // Closes the data services that have no user; throws the first error
  // after closing them all.
  void CloseIdle();
  // Closes everything, swallowing errors.
  void CloseAll();
  // "schema S on host:port, database D, user U", for logs and messages.
  static std::string NameOf(const PgLocation& where);

 private:
  struct Entry {
    std::shared_ptr<PgDataServices> ds;
    int users = 0;
  };
  static std::string KeyOf(const PgLocation& where);
  std::map<std::string, Entry> open_;
};

}  // namespace vl
