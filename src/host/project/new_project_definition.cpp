#include "host/project/new_project_definition.h"

#include <filesystem>
#include <system_error>

#include "errors/vl_error.h"
#include "host/project/pg_projects.h"

namespace vl {

namespace {

constexpr const char* kSource = "NewProjectDefinition.ValidateDefinition";
// The project file is the name plus ".vlp"; a file name may hold at most
// this many bytes on the file systems we run on.
constexpr size_t kMaxFileNameBytes = 255;
constexpr size_t kProjectExtensionBytes = 4;  // ".vlp"

[[noreturn]] void Unusable(long number, const std::string& description) {
  throw VlError(number, kSource, description);
}

void ValidateName(const std::string& name) {
  if (name.empty()) Unusable(err::kInvalidProcedureCall, "The project name is empty.");
  if (name.find('\0') != std::string::npos)
    Unusable(err::kInvalidProcedureCall, "The project name holds a NUL character.");
  if (name.find('/') != std::string::npos)
    Unusable(err::kInvalidProcedureCall,
             "The project name \"" + name + "\" holds a \"/\", which no file name may hold.");
  if (name == "." || name == "..")
    Unusable(err::kInvalidProcedureCall,
             "The project name \"" + name + "\" cannot be used as a file name.");
  if (name.size() + kProjectExtensionBytes > kMaxFileNameBytes)
    Unusable(err::kInvalidProcedureCall,
             "The project name is too long for a file name (at most " +
                 std::to_string(kMaxFileNameBytes - kProjectExtensionBytes) + " bytes).");
}

void ValidateFolder(const std::string& folder) {
  if (folder.empty()) Unusable(err::kPathNotFound, "The project folder is empty.");
  if (folder.find('\0') != std::string::npos)
    Unusable(err::kPathNotFound, "The project folder holds a NUL character.");
  std::error_code ec;
  auto status = std::filesystem::status(folder, ec);
  // A folder that does not exist yet is fine: it is created before the
  // project is. Something else of that name is not.
  if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
    Unusable(err::kPathNotFound, "The project folder " + folder + " exists but is not a folder.");
}

void ValidateDBType(const std::string& dbType) {
  if (dbType == kSQLiteDisplayName || dbType == kPostgreSQLDisplayName) return;
  if (dbType.empty()) Unusable(err::kInvalidProcedureCall, "No database type is chosen.");
  Unusable(err::kInvalidProcedureCall, "The database type \"" + dbType +
                                           "\" is not supported; choose " + kSQLiteDisplayName +
                                           " or " + kPostgreSQLDisplayName + ".");
}

// The server settings of a PostgreSQL project: a connection string libpq
// can read and that holds no password, a schema name the server takes.
void ValidateConnection(const std::string& dbType, const ConnectionSettings& connection,
                        const std::string& name) {
  if (dbType != kPostgreSQLDisplayName) return;
  try {
    PgLocationOfDefinition(connection, name);
  } catch (const VlError& e) {
    Unusable(e.number(), e.description());
  }
}

}  // namespace

void NewProjectDefinition::ValidateDefinition() const {
  ValidateName(name_);
  ValidateFolder(folder_);
  ValidateDBType(db_type_);
  ValidateConnection(db_type_, connection_, name_);
}

void NewProjectDefinition::PrepareNewProject() {
  prepared_ = false;
  ValidateDefinition();
  prepared_ = true;
}

std::string NewProjectDefinition::ProjectPathWithoutExtension() const {
  return folder_ + "/" + name_;
}

}  // namespace vl
