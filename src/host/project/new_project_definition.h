// The definition of a project to create: name, description, folder,
// database type and connection.
#pragma once

#include <memory>
#include <string>

namespace vl {

// Connection settings of the database a new project lives in. For the
// embedded file database only the driver is used; for PostgreSQL the
// server settings (never a password).
class ConnectionSettings {
 public:
  void SetDriver(const std::string& driver) { driver_ = driver; }
  const std::string& GetDriver() const { return driver_; }

  std::string host, port, database, user, schema;
  std::string conninfo;  // a libpq connection string, used when not empty

 private:
  std::string driver_;
};

// The display name and driver of the embedded file database.
inline constexpr const char* kSQLiteDisplayName = "SQLite";
inline constexpr const char* kSQLiteDriver = "SQLite3";
inline constexpr const char* kPostgreSQLDisplayName = "PostgreSQL";

class NewProjectDefinition {
 public:
  void SetProjectName(const std::string& v) {
    name_ = v;
    prepared_ = false;
  }
  void SetProjectDescription(const std::string& v) { description_ = v; }
  void SetProjectFolder(const std::string& v) {
    folder_ = v;
    prepared_ = false;
  }
  // The display name of the database type ("SQLite", "PostgreSQL").
  void SetDBType(const std::string& v) {
    db_type_ = v;
    prepared_ = false;
  }
  ConnectionSettings& GetConnection() { return connection_; }
  // Where the project is built before it appears in its folder: a folder
  // in which the project file gets the name it will have in its own
  // folder. Empty (the default): in its folder.
  void SetBuildFolder(const std::string& v) {
    build_folder_ = v;
    prepared_ = false;
  }
  const std::string& GetBuildFolder() const { return build_folder_; }

  const std::string& GetProjectName() const { return name_; }
  const std::string& GetProjectDescription() const { return description_; }
  const std::string& GetProjectFolder() const { return folder_; }
  const std::string& GetDBType() const { return db_type_; }
  const ConnectionSettings& GetConnection() const { return connection_; }

  // Throws VlError with a clear description when the definition cannot be
  // used: empty name, a name holding "/" or a NUL or being "." or "..", a
  // folder that exists but is not a directory, an unknown database type,
  // PostgreSQL connection settings that cannot be used (a connection
  // string libpq cannot read or that holds a password, a schema name the
  // server would refuse).
  void ValidateDefinition() const;
  // Validates and marks the definition as ready: the next OpenProjectAs of
  // the path folder/name creates the project. Throws as ValidateDefinition.
  void PrepareNewProject();
  bool IsPrepared() const { return prepared_; }
  // Folder + "/" + name: the path (without extension) the project file
  // will have.
  std::string ProjectPathWithoutExtension() const;

 private:
  std::string name_, description_, folder_, db_type_, build_folder_;
  ConnectionSettings connection_;
  bool prepared_ = false;
};

class ProjectDefinitionFactory {
 public:
  std::unique_ptr<NewProjectDefinition> CreateDefinition() const {
    return std::make_unique<NewProjectDefinition>();
  }
};

}  // namespace vl
