// The project application: creates and opens projects (a project file
// NAME.vlp and its database) and hands out their project objects.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/db/sqlite_data_services.h"
#include "host/project/new_project_definition.h"
#include "host/project/pg_projects.h"
#include "host/project/project.h"
#include "host/project/sql_project.h"

namespace vl {

class SqlProjectApplication : public ProjectApplication {
 public:
  // Gives the definition of the project to create, or nullptr.
  using DefinitionSource = std::function<NewProjectDefinition*()>;
  // Receives every statement run on a database this application opens,
  // with the path of that database.
  using DatabaseLog =
      std::function<void(const std::string& databasePath, const std::string& statement)>;

  // `definition` gives the prepared new-project definition; without one
  // the application creates no project, it only opens existing ones.
  explicit SqlProjectApplication(DefinitionSource definition = nullptr);
  // Shuts down (closing every project still open).
  ~SqlProjectApplication() override;
  SqlProjectApplication(const SqlProjectApplication&) = delete;
  SqlProjectApplication& operator=(const SqlProjectApplication&) = delete;

  // Opens the project at `path` (with or without ".vlp") as `user`. When
  // the project file does not exist and the definition is prepared for
  // this path (its folder + "/" + its name, or its folder + "/" + the
  // folder's own name), creates the project first: the folder when
  // missing, the database with every table and its starting rows, then
  // the project file, named `projectName` (the definition's name when
  // empty). A project file that exists where a prepared definition wants
  // to create one is not touched: that is an error. Throws VlError naming
  // the file and the reason when the project cannot be created or opened;
  // a database begun but not finished is named as such and left in place.
  // The password and the flags are not used: projects here have no
  // sign-on of their own.
  std::shared_ptr<Project> OpenProjectAs(const std::string& appName, const std::string& path,
                                         const std::string& projectName, const std::string& user,
                                         const std::string& password, bool flag1, bool flag2,
                                         const std::string& extra) override;
  // Opens an existing project as "admin".
  std::shared_ptr<Project> OpenProject(const std::string& path) override;
  ContextInfo& GetContextInfo() override { return context_; }
  // Closes every project still open; afterwards nothing can be opened. A
  // second call does nothing.
  void Shutdown() noexcept override;
  void CloseIdleDatabases() override;

  void SetQueryServicesFactory(QueryServicesFactory factory) {
    query_services_ = std::move(factory);
  }
  // Also for the SQLite databases open now (PostgreSQL connections take it
  // when they are made).
  void SetStatementLog(DatabaseLog log);
  // Settings for the SQLite databases opened from now on (lock waiting,
  // commit interval); the log is set through SetStatementLog.
  void SetSqliteOptions(const SqliteOptions& options) { sqlite_options_ = options; }
  // Settings for the PostgreSQL connections opened from now on (connect
  // and lock timeouts, commit interval); the log is set through
  // SetStatementLog.
  void SetPgOptions(const PgOptions& options) { pg_options_ = options; }
  // The PostgreSQL schema `schema` (a name made up for one run) is that
  // run's own until it takes its final name: no other session reads or
  // writes it, and its connections work accordingly
  // (PgOptions::private_schema). An empty name names none.
  void SetPrivatePgSchema(std::string schema) { private_pg_schema_ = std::move(schema); }
  // The user named the project file `vlp` for this run (the project a
  // verification checks): its server counts as named by the user, as does
  // the server the new project's definition gives. Every other server a
  // project file names gets no password but by SCRAM with channel binding
  // (PgConnectOptions::server_named_by_user).
  void NameProjectFileForThisRun(const std::string& vlp);

 private:
  struct OpenDatabase {
    std::shared_ptr<SqliteDataServices> ds;
    int users = 0;  // 0: kept open after its last project closed
    std::pair<dev_t, ino_t> file;
  };

  void CheckRunning() const;
  bool DefinitionWants(const NewProjectDefinition& def, const std::string& vlp) const;
  void CreateProject(const std::string& vlp, const NewProjectDefinition& def,
                     const std::string& projectName);
  void CreateSqliteProject(const std::string& vlp, const std::string& name,
                           const std::string& description);
  std::shared_ptr<Project> Open(const std::string& vlp, const std::string& user);
  std::shared_ptr<SqliteDataServices> AcquireDatabase(const std::string& dbPath, bool create);
  void ReleaseDatabase(const std::string& dbPath);
  SqliteOptions OptionsFor(const std::string& dbPath) const;
  void CreatePgProject(const std::string& vlp, const NewProjectDefinition& def,
                       const std::string& name);
  void AcquirePgDatabase(const std::string& vlp, const ProjectFileInfo& info,
                         SqlProject::Setup& setup);
  PgOptions PgOptionsFor(const PgLocation& where) const;
  // True when the user named the server of `where` for this run.
  bool NamedForThisRun(const std::string& vlp, const PgLocation& where);

  DefinitionSource definition_;
  QueryServicesFactory query_services_;
  DatabaseLog log_;
  SqliteOptions sqlite_options_;
  ContextInfo context_;
  bool shut_down_ = false;
  std::vector<std::weak_ptr<SqlProject>> projects_;
  std::map<std::string, OpenDatabase> databases_;
  PgOptions pg_options_;
  std::string private_pg_schema_;
  std::set<std::string> named_files_;
  std::vector<PgLocation> named_servers_;
  PgDatabasePool pg_databases_;
  // Project files this application created: opening them again is fine.
  std::set<std::string> created_;
};

}  // namespace vl
