#include "host/project/pg_projects.h"

#include "errors/vl_error.h"
#include "host/project/idle_databases.h"

namespace vl {

namespace {

constexpr const char* kSource = "VlProjectApplication";

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string QuoteIdentifier(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Whether the schema exists, and whether it holds a project already (its
// key table or its project table).
struct SchemaState {
  bool exists = false;
  bool holds_project = false;
};

SchemaState StateOf(PgDataServices& ds, const std::string& schema) {
  auto rs = ds.ExecuteSQL(
      "SELECT (SELECT count(*) FROM pg_catalog.pg_class c WHERE c.relnamespace = n.oid AND "
      "c.relname IN ('vlprojects', 'vlkeys')) AS tables FROM pg_catalog.pg_namespace n WHERE "
      "n.nspname = " +
      Quote(schema));
  SchemaState state;
  if (rs && !rs->IsEOF()) {
    state.exists = true;
    state.holds_project = rs->GetFieldValue("tables").AsDouble() > 0;
  }
  return state;
}

}  // namespace

bool PgSchemaHoldsProject(PgDataServices& ds, const std::string& schema) {
  return StateOf(ds, schema).holds_project;
}

bool PgSchemaExists(PgDataServices& ds, const std::string& schema) {
  return StateOf(ds, schema).exists;
}

bool PgSchemaHoldsAnything(PgDataServices& ds, const std::string& schema) {
  auto rs = ds.ExecuteSQL(
      "SELECT n.nspname FROM pg_catalog.pg_namespace n WHERE n.nspname = " + Quote(schema) +
      " AND (EXISTS (SELECT 1 FROM pg_catalog.pg_class c WHERE c.relnamespace = n.oid) OR "
      "EXISTS (SELECT 1 FROM pg_catalog.pg_proc p WHERE p.pronamespace = n.oid) OR "
      "EXISTS (SELECT 1 FROM pg_catalog.pg_type t WHERE t.typnamespace = n.oid))");
  return rs && !rs->IsEOF();
}

void RenamePgSchema(PgDataServices& ds, const std::string& from, const std::string& to) {
  CheckSchemaName(to);
  // An empty schema of the final name, made beforehand for the project,
  // gives way to it; dropping it refuses when it holds anything.
  if (StateOf(ds, to).exists) ds.ExecuteDDL("DROP SCHEMA " + QuoteIdentifier(to) + " RESTRICT");
  ds.ExecuteDDL("ALTER SCHEMA " + QuoteIdentifier(from) + " RENAME TO " + QuoteIdentifier(to));
  ds.Commit();
}

void DropPgSchema(PgDataServices& ds, const std::string& schema) {
  if (!StateOf(ds, schema).exists) return;
  ds.ExecuteDDL("DROP SCHEMA " + QuoteIdentifier(schema) + " CASCADE");
  ds.Commit();
}

PgLocation PgLocationOf(const ProjectFileInfo& info) {
  PgLocation where;
  where.host = info.host;
  where.port = info.port;
  where.database = info.database;
  where.user = info.user;
  where.options = info.options;
  where.schema = info.schema;
  return where;
}

void RecordPgLocation(const PgLocation& where, ProjectFileInfo& info) {
  info.db_type = kPostgreSQLDisplayName;
  info.db_file.clear();
  info.host = where.host;
  info.port = where.port;
  info.database = where.database;
  info.user = where.user;
  info.options = where.options;
  info.schema = where.schema;
}

PgLocation PgLocationOfDefinition(const ConnectionSettings& connection,
                                  const std::string& projectName) {
  PgLocation where;
  if (!connection.conninfo.empty()) where = PgLocationFromConnInfo(connection.conninfo);
  if (!connection.host.empty()) where.host = connection.host;
  if (!connection.port.empty()) where.port = connection.port;
  if (!connection.database.empty()) where.database = connection.database;
  if (!connection.user.empty()) where.user = connection.user;
  where.schema = connection.schema.empty() ? SchemaNameFor(projectName) : connection.schema;
  CheckSchemaName(where.schema);
  return where;
}

PgLocation CreatePgProject(const PgLocation& where, const ProjectStartingValues& values,
                           const PgOptions& options, std::shared_ptr<PgDataServices>* keep) {
  CheckSchemaName(where.schema);
  std::shared_ptr<PgDataServices> ds = PgDataServices::Connect(where, options);
  const std::string place =
      "the schema \"" + where.schema + "\" on the PostgreSQL server " + ds->server();
  const SchemaState state = StateOf(*ds, where.schema);
  if (state.holds_project)
    throw VlError(err::kFileAlreadyExists, kSource,
                  "The project \"" + values.name + "\" cannot be created: " + place +
                      " already holds a project, and a project is never written over. Choose "
                      "another schema.");
  try {
    if (!state.exists) ds->ExecuteDDL("CREATE SCHEMA " + QuoteIdentifier(where.schema));
    CreateProjectSchema(*ds);
    InsertStartingRows(*ds, values);
    const PgLocation made = ds->effective_location();
    if (keep) {
      ds->Commit();
      *keep = std::move(ds);
    } else {
      ds->Close();
    }
    return made;
  } catch (const VlError& e) {
    try {
      ds->Rollback();
    } catch (...) {
      // A lost connection undoes the transaction on the server all the same.
    }
    throw VlError(e.number(), kSource,
                  "The project \"" + values.name + "\" could not be created in " + place +
                      "; nothing of it was kept: " + e.description());
  }
}

std::string PgDatabasePool::KeyOf(const PgLocation& where) {
  // A field separator no setting can hold.
  const char sep = '\x1F';
  return where.host + sep + where.port + sep + where.database + sep + where.user + sep +
         where.options + sep + where.schema;
}

std::string PgDatabasePool::NameOf(const PgLocation& where) {
  return "schema " + where.schema + " on " + DescribeServer(where);
}

std::shared_ptr<PgDataServices> PgDatabasePool::Acquire(const PgLocation& where,
                                                        const PgOptions& options) {
  const std::string key = KeyOf(where);
  auto it = open_.find(key);
  if (it == open_.end()) {
    std::shared_ptr<PgDataServices> ds = PgDataServices::Connect(where, options);
    it = open_.emplace(key, Entry{std::move(ds), 0}).first;
  }
  ++it->second.users;
  return it->second.ds;
}

void PgDatabasePool::Adopt(const PgLocation& where, std::shared_ptr<PgDataServices> ds) {
  open_[KeyOf(where)] = Entry{std::move(ds), 0};
}

void PgDatabasePool::Release(const PgLocation& where) {
  auto it = open_.find(KeyOf(where));
  if (it == open_.end() || --it->second.users > 0) return;
  std::shared_ptr<PgDataServices> ds = it->second.ds;
  if (ds->private_schema() && ds->IsOpen()) {
    try {
      // As closing would.
      if (ds->commits_held())
        ds->Rollback();
      else
        ds->Commit();
      return;
    } catch (const std::exception&) {
      open_.erase(it);
      try {
        ds->Close();
      } catch (...) {
        // The first failure is the one to tell.
      }
      throw;
    }
  }
  open_.erase(it);
  ds->Close();
}

void PgDatabasePool::CloseIdle() {
  std::exception_ptr failure;
  CloseIdleIn(open_, failure);
  if (failure) std::rethrow_exception(failure);
}

void PgDatabasePool::CloseAll() {
  for (auto& [key, entry] : open_) {
    try {
      entry.ds->Close();
    } catch (...) {
    }
  }
  open_.clear();
}

}  // namespace vl
