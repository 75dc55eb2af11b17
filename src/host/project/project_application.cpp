#include "host/project/project_application.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "errors/vl_error.h"
#include "host/db/project_schema.h"
#include "host/project/idle_databases.h"
#include "host/project/project_file.h"
#include "host/text/convert.h"
#include "host/text/path_utils.h"
#include "host/text/random_guid.h"
#include "host/text/resource.h"

namespace fs = std::filesystem;

namespace vl {

namespace {

constexpr const char* kSource = "VlProjectApplication";

// One spelling per file: absolute, "." and ".." resolved, no "//".
std::string NormalPath(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(path), ec).lexically_normal();
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string WithoutProjectExtension(const std::string& vlp) {
  return vlp.substr(0, vlp.size() - std::strlen(kProjectFileExtension));
}

}  // namespace

std::shared_ptr<DataServices> DataServicesOf(Project& project) {
  return project.GetDataServices(project.GetApplication().GetContextInfo().GetContextKey());
}

SqlProjectApplication::SqlProjectApplication(DefinitionSource definition)
    : definition_(std::move(definition)), context_(std::string(kAppName) + ":" + MakeRandomGuid()) {
  if (!definition_) definition_ = []() -> NewProjectDefinition* { return nullptr; };
}

SqlProjectApplication::~SqlProjectApplication() { Shutdown(); }

void SqlProjectApplication::CheckRunning() const {
  if (shut_down_)
    throw VlError(err::kObjectRequired, kSource, "The project application has been shut down.");
}

void SqlProjectApplication::Shutdown() noexcept {
  if (shut_down_) return;
  shut_down_ = true;
  for (auto& weak : projects_) {
    if (auto project = weak.lock()) {
      try {
        project->CloseProject();
      } catch (const std::exception&) {
        // Shutting down goes on: every other project must still be closed.
        // A run has committed or undone its work before it lets go of
        // the application, so nothing is lost here.
      }
      project->DetachApplication();
    }
  }
  projects_.clear();
  for (auto& [path, db] : databases_) {
    try {
      db.ds->Close();
    } catch (const std::exception&) {
      // As above: whatever is still open holds nothing unfinished.
    }
  }
  databases_.clear();
  pg_databases_.CloseAll();
}

bool SqlProjectApplication::DefinitionWants(const NewProjectDefinition& def,
                                            const std::string& vlp) const {
  if (!def.IsPrepared()) return false;
  const std::string asked = NormalPath(WithoutProjectExtension(vlp));
  // The wizard names the project file after the project's folder; the
  // definition names it after the project. Either form is this project.
  const std::string folder = def.GetProjectFolder();
  // A project built elsewhere first has the name it will have.
  if (!def.GetBuildFolder().empty())
    return asked == NormalPath(def.GetBuildFolder() + "/" + GetLastFolder(folder)) ||
           asked == NormalPath(def.GetBuildFolder() + "/" + def.GetProjectName());
  return asked == NormalPath(def.ProjectPathWithoutExtension()) ||
         asked == NormalPath(folder + "/" + GetLastFolder(folder));
}

std::shared_ptr<Project> SqlProjectApplication::OpenProjectAs(
    const std::string& /*appName*/, const std::string& path, const std::string& projectName,
    const std::string& user, const std::string& /*password*/, bool /*flag1*/, bool /*flag2*/,
    const std::string& /*extra*/) {
  CheckRunning();
  const std::string vlp = ProjectFilePath(path);
  NewProjectDefinition* def = definition_();
  const bool wanted = def && DefinitionWants(*def, vlp);
  std::error_code ec;
  if (!fs::exists(vlp, ec)) {
    if (!wanted)
      throw VlError(err::kFileNotFound, kSource,
                    "The project file \"" + vlp + "\" does not exist.");
    CreateProject(vlp, *def, projectName);
  } else if (wanted && !created_.count(NormalPath(vlp))) {
    throw VlError(err::kFileAlreadyExists, kSource,
                  "The project file \"" + vlp +
                      "\" already exists; a new project is never written over it. Choose "
                      "another folder or name.");
  }
  return Open(vlp, user.empty() ? kAdminLogin : user);
}

std::shared_ptr<Project> SqlProjectApplication::OpenProject(const std::string& path) {
  CheckRunning();
  return Open(ProjectFilePath(path), kAdminLogin);
}

void SqlProjectApplication::CreateProject(const std::string& vlp, const NewProjectDefinition& def,
                                          const std::string& projectName) {
  const std::string name = projectName.empty() ? def.GetProjectName() : projectName;
  const std::string& type = def.GetDBType();
  if (type != kSQLiteDisplayName && type != kPostgreSQLDisplayName) {
    throw VlError(err::kInvalidProcedureCall, kSource,
                  "The project \"" + vlp + "\" cannot be created: the database type \"" + type +
                      "\" is not known.");
  }
  const fs::path folder = fs::path(vlp).parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::exists(folder, ec) && !fs::create_directories(folder, ec) && ec)
    throw VlError(
        err::kPathNotFound, kSource,
        "The project folder \"" + folder.string() + "\" cannot be created: " + ec.message() + ".");
  const std::string dir = folder.empty() ? "." : folder.string();
  if (!fs::is_directory(dir, ec))
    throw VlError(err::kPathNotFound, kSource,
                  "The project folder \"" + dir + "\" is not a folder.");
  if (::access(dir.c_str(), W_OK | X_OK) != 0)
    throw VlError(
        err::kPermissionDenied, kSource,
        "The project folder \"" + dir + "\" cannot be written: " + std::strerror(errno) + ".");
  if (type == kPostgreSQLDisplayName)
    CreatePgProject(vlp, def, name);
  else
    CreateSqliteProject(vlp, name, def.GetProjectDescription());
  created_.insert(NormalPath(vlp));
}

void SqlProjectApplication::CreateSqliteProject(const std::string& vlp, const std::string& name,
                                                const std::string& description) {
  fs::path db_path = vlp;
  db_path.replace_extension(kSQLiteFileExtension);
  const std::string db = db_path.string();
  std::error_code ec;
  if (fs::exists(db, ec))
    throw VlError(err::kFileAlreadyExists, kSource,
                  "The project \"" + vlp + "\" cannot be created: the database file \"" + db +
                      "\" already exists and is not written over.");
  ProjectFileInfo info;
  info.name = name;
  info.guid = MakeRandomGuid();
  info.db_type = kSQLiteDisplayName;
  info.db_file = db_path.filename().string();
  try {
    auto ds = SqliteDataServices::OpenFile(db, true, OptionsFor(db));
    CreateProjectSchema(*ds);
    ProjectStartingValues values;
    values.guid = info.guid;
    values.name = name;
    values.description = description;
    values.prefix = DefaultProjectPrefix(name);
    values.root_package_guid = MakeRandomGuid();
    values.admin_group_guid = MakeRandomGuid();
    values.admin_user_guid = MakeRandomGuid();
    values.created = Now();
    InsertStartingRows(*ds, values);
    ds->Close();
  } catch (const VlError& e) {
    const bool begun = fs::exists(db, ec);
    throw VlError(e.number(), kSource,
                  "The project \"" + vlp + "\" could not be created" +
                      (begun ? "; its database file \"" + db +
                                   "\" was begun but is incomplete and has been left in place"
                             : std::string()) +
                      ": " + e.description());
  }
  try {
    WriteProjectFile(vlp, info);
  } catch (const VlError& e) {
    throw VlError(e.number(), kSource,
                  "The database file \"" + db + "\" was created, but " + e.description());
  }
}

void SqlProjectApplication::CloseIdleDatabases() {
  std::exception_ptr failure;
  CloseIdleIn(databases_, failure);
  try {
    pg_databases_.CloseIdle();
  } catch (const std::exception&) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void SqlProjectApplication::SetStatementLog(DatabaseLog log) {
  log_ = std::move(log);
  // A database kept open must not write to a log its owner has closed.
  for (auto& [path, db] : databases_) db.ds->SetStatementLog(OptionsFor(db.ds->path()).log);
}

SqliteOptions SqlProjectApplication::OptionsFor(const std::string& dbPath) const {
  SqliteOptions options = sqlite_options_;
  if (log_) {
    DatabaseLog log = log_;
    options.log = [log, dbPath](const std::string& statement) { log(dbPath, statement); };
  }
  return options;
}

namespace {

// Which file a path names now: a file replaced under the same name is
// another one.
std::pair<dev_t, ino_t> FileIdentity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {0, 0};
  return {st.st_dev, st.st_ino};
}

}  // namespace

std::shared_ptr<SqliteDataServices> SqlProjectApplication::AcquireDatabase(
    const std::string& dbPath, bool create) {
  const std::string key = NormalPath(dbPath);
  auto it = databases_.find(key);
  // A database kept open after its last project closed serves the next
  // opening only while its name still names the same file.
  if (it != databases_.end() && it->second.users == 0 && it->second.file != FileIdentity(dbPath)) {
    std::shared_ptr<SqliteDataServices> stale = std::move(it->second.ds);
    databases_.erase(it);
    stale->Close();
    it = databases_.end();
  }
  if (it == databases_.end()) {
    std::shared_ptr<SqliteDataServices> ds =
        SqliteDataServices::OpenFile(dbPath, create, OptionsFor(dbPath));
    it = databases_.emplace(key, OpenDatabase{std::move(ds), 0, FileIdentity(dbPath)}).first;
  }
  ++it->second.users;
  return it->second.ds;
}

void SqlProjectApplication::ReleaseDatabase(const std::string& dbPath) {
  auto it = databases_.find(NormalPath(dbPath));
  if (it == databases_.end() || --it->second.users > 0) return;
  std::shared_ptr<SqliteDataServices> ds = it->second.ds;
  try {
    // A connection that wrote views without reading them back stays open,
    // its work committed and copied into the database file: opened again,
    // SQLite would read the whole schema, and a schema of many views takes
    // it time that grows with their square (100,000 attributes: minutes).
    // A run closes and reopens its new project between stages.
    if (ds->commits_held())
      ds->Rollback();
    else
      ds->Commit();
    if (ds->HoldsUnreadViews()) {
      ds->Checkpoint();
      return;
    }
  } catch (const std::exception&) {
    databases_.erase(it);
    ds->Close();
    throw;
  }
  databases_.erase(it);
  ds->Close();
}

std::shared_ptr<Project> SqlProjectApplication::Open(const std::string& vlp,
                                                     const std::string& user) {
  const ProjectFileInfo info = ReadProjectFile(vlp);
  SqlProject::Setup setup;
  if (info.db_type == kPostgreSQLDisplayName) {
    AcquirePgDatabase(vlp, info, setup);
  } else {
    if (info.db_type != kSQLiteDisplayName)
      throw VlError(err::kDatabaseOpen, kSource,
                    "The project \"" + vlp + "\" lives in a database of type \"" + info.db_type +
                        "\", which cannot be opened here.");
    const std::string db = DatabaseFilePath(vlp, info);
    std::error_code ec;
    if (!fs::exists(db, ec))
      throw VlError(
          err::kFileNotFound, kSource,
          "The database file \"" + db + "\" of the project \"" + vlp + "\" does not exist.");
    try {
      setup.data_services = AcquireDatabase(db, false);
    } catch (const VlError& e) {
      throw VlError(e.number(), kSource,
                    "The project \"" + vlp + "\" cannot be opened: " + e.description());
    }
    setup.close_database = [this, db] { ReleaseDatabase(db); };
  }
  setup.application = this;
  setup.project_path = NormalPath(vlp);
  setup.file = info;
  setup.context_key = context_.GetContextKey();
  setup.login = user;
  setup.query_services = query_services_;
  auto project = std::make_shared<SqlProject>(std::move(setup));
  // Forget projects already released, so the list stays short in long runs.
  std::erase_if(projects_, [](const std::weak_ptr<SqlProject>& p) { return p.expired(); });
  projects_.push_back(project);
  return project;
}

// Projects on PostgreSQL keep their tables in a schema of their own; the
// project file names the server and the schema, never a password.
void SqlProjectApplication::CreatePgProject(const std::string& vlp, const NewProjectDefinition& def,
                                            const std::string& name) {
  ProjectFileInfo info;
  info.name = name;
  info.guid = MakeRandomGuid();
  PgLocation where;
  try {
    where = PgLocationOfDefinition(def.GetConnection(), name);
  } catch (const VlError& e) {
    throw VlError(e.number(), kSource,
                  "The project \"" + vlp + "\" cannot be created: " + e.description());
  }
  ProjectStartingValues values;
  values.guid = info.guid;
  values.name = name;
  values.description = def.GetProjectDescription();
  values.prefix = DefaultProjectPrefix(name);
  values.root_package_guid = MakeRandomGuid();
  values.admin_group_guid = MakeRandomGuid();
  values.admin_user_guid = MakeRandomGuid();
  values.created = Now();
  const PgOptions options = PgOptionsFor(where);
  // The connection that made a private schema fills it too.
  std::shared_ptr<PgDataServices> made;
  RecordPgLocation(
      vl::CreatePgProject(where, values, options, options.private_schema ? &made : nullptr), info);
  if (made) pg_databases_.Adopt(PgLocationOf(info), std::move(made));
  try {
    WriteProjectFile(vlp, info);
  } catch (const VlError& e) {
    throw VlError(
        e.number(), kSource,
        "The project was created in " + PgDatabasePool::NameOf(where) + ", but " + e.description());
  }
}

PgOptions SqlProjectApplication::PgOptionsFor(const PgLocation& where) const {
  PgOptions options = pg_options_;
  options.private_schema = !private_pg_schema_.empty() && where.schema == private_pg_schema_;
  if (log_) {
    DatabaseLog log = log_;
    const std::string name = PgDatabasePool::NameOf(where);
    options.log = [log, name](const std::string& statement) { log(name, statement); };
  }
  return options;
}

void SqlProjectApplication::NameProjectFileForThisRun(const std::string& vlp) {
  named_files_.insert(NormalPath(ProjectFilePath(vlp)));
}

bool SqlProjectApplication::NamedForThisRun(const std::string& vlp, const PgLocation& where) {
  const std::string key = NormalPath(vlp);
  if (created_.count(key) || named_files_.count(key)) {
    named_servers_.push_back(where);
    return true;
  }
  NewProjectDefinition* def = definition_();
  if (def && def->GetDBType() == kPostgreSQLDisplayName) {
    try {
      if (SameServer(PgLocationOfDefinition(def->GetConnection(), def->GetProjectName()), where))
        return true;
    } catch (const VlError&) {
      // A definition without a usable server names none.
    }
  }
  return std::any_of(named_servers_.begin(), named_servers_.end(),
                     [&](const PgLocation& named) { return SameServer(named, where); });
}

void SqlProjectApplication::AcquirePgDatabase(const std::string& vlp, const ProjectFileInfo& info,
                                              SqlProject::Setup& setup) {
  const PgLocation where = PgLocationOf(info);
  try {
    CheckSchemaName(where.schema);
    PgOptions options = PgOptionsFor(where);
    options.connect.server_named_by_user = NamedForThisRun(vlp, where);
    std::shared_ptr<PgDataServices> ds = pg_databases_.Acquire(where, options);
    if (!PgSchemaHoldsProject(*ds, where.schema)) {
      pg_databases_.Release(where);
      throw VlError(err::kFileNotFound, kSource,
                    "the " + PgDatabasePool::NameOf(where) +
                        " holds no project (the schema or its tables are missing).");
    }
    setup.data_services = ds;
  } catch (const VlError& e) {
    throw VlError(e.number(), kSource,
                  "The project \"" + vlp + "\" cannot be opened: " + e.description());
  }
  setup.close_database = [this, where] { pg_databases_.Release(where); };
}

}  // namespace vl
