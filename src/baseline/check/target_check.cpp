#include "baseline/check/target_check.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "baseline/baseline_names.h"
#include "errors/vl_error.h"
#include "host/db/pg_data_services.h"
#include "host/project/pg_projects.h"

namespace vl {

namespace {

namespace fs = std::filesystem;

// A project file's name is the name plus ".vlp"; a file name may hold at
// most this many bytes on the file systems we run on.
constexpr size_t kMaxNameBytes = 255 - 4;

// Why `name` cannot name the project file, or "".
std::string NameFault(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name.find('\0') != std::string::npos) return "holds a NUL character";
  if (name.find('/') != std::string::npos) return "holds a \"/\", which no file name may hold";
  if (name == "." || name == "..") return "cannot be a file name";
  if (name.size() > kMaxNameBytes)
    return "is longer than " + std::to_string(kMaxNameBytes) + " bytes, too long for a file name";
  return "";
}

// True when `inner` is `outer` or lies inside it, links resolved.
bool IsOrLiesInside(const fs::path& inner, const fs::path& outer) {
  std::error_code ec1, ec2;
  const fs::path a = fs::weakly_canonical(inner, ec1), b = fs::weakly_canonical(outer, ec2);
  if (ec1 || ec2 || b.empty()) return false;
  auto [end, at] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
  return end == b.end() || (std::next(end) == b.end() && end->empty());
}

void CheckFolder(const TargetChoice& choice, TargetCheckResult& result) {
  auto fault = [&](const std::string& text) {
    result.problems.push_back({TargetField::kFolder, text});
  };
  const std::string& folder = result.folder;
  if (folder.empty()) return fault("No project folder is given.");
  if (folder.find('\0') != std::string::npos) return fault("The folder holds a NUL character.");
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (fs::exists(status) && !fs::is_directory(status))
    return fault("\"" + folder + "\" exists but is not a folder.");
  if (fs::exists(status) && ::access(folder.c_str(), W_OK | X_OK) != 0)
    return fault("The folder \"" + folder + "\" cannot be written.");
  if (!fs::exists(status) && !FolderCanBeCreated(folder))
    return fault("The folder \"" + folder + "\" cannot be created: the nearest folder above it " +
                 "that exists cannot be written.");
  if (!choice.baseline_folder.empty() && IsOrLiesInside(folder, choice.baseline_folder))
    return fault("The project folder is the baseline folder or lies inside it: the project's " +
                 std::string("files would be written among the baseline's."));
  const std::string fileFault = NameFault(result.file_name);
  if (!fileFault.empty())
    return fault("The project file is named after the folder's last part, \"" + result.file_name +
                 "\", which " + fileFault + ".");
  // Anything at all under one of the names the run writes is refused, a
  // link (even one leading nowhere) included: SQLite and the project file
  // writer would follow it out of the folder, or the run would mix its
  // journal with someone else's database.
  const std::string file =
      ExistingProjectFile(folder, result.file_name, choice.database == kSQLiteDisplayName);
  if (file.empty()) return;
  const std::string extension = fs::path(file).extension().string();
  if (extension == ".vlp" || extension == ".db")
    return fault("The folder holds a project of that name already (" + file +
                 "); a project is never written over.");
  return fault("The folder holds \"" + file +
               "\", a database journal of that name; a project is never written over.");
}

void CheckServer(const TargetChoice& choice, TargetCheckResult& result) {
  PgLocation where;
  try {
    where = PgLocationOfDefinition(choice.connection, choice.name);
  } catch (const VlError& e) {
    result.problems.push_back({TargetField::kSchema, e.description()});
    return;
  }
  if (!choice.contact_server) return;
  std::unique_ptr<PgDataServices> ds;
  try {
    ds = PgDataServices::Connect(where);
  } catch (const VlError& e) {
    result.problems.push_back({TargetField::kServer, e.description()});
    return;
  }
  try {
    if (PgSchemaHoldsProject(*ds, where.schema))
      result.problems.push_back(
          {TargetField::kSchema, "The schema \"" + where.schema + "\" on " + ds->server() +
                                     " already holds a project; a project is never "
                                     "written over. Choose another schema."});
  } catch (const VlError& e) {
    result.problems.push_back({TargetField::kServer, e.description()});
  }
}

}  // namespace

const char* TargetFieldText(TargetField field) {
  switch (field) {
    case TargetField::kFolder:
      return "project folder";
    case TargetField::kName:
      return "project name";
    case TargetField::kDatabase:
      return "database";
    case TargetField::kServer:
      return "database server";
    case TargetField::kSchema:
      break;
  }
  return "schema";
}

std::string ExistingProjectFile(const std::string& folder, const std::string& fileTitle,
                                bool sqlite) {
  std::vector<std::string> extensions = {".vlp"};
  if (sqlite) extensions.insert(extensions.end(), {".db", ".db-wal", ".db-shm", ".db-journal"});
  for (const std::string& extension : extensions) {
    const fs::path file = fs::path(folder) / (fileTitle + extension);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec))) return file.string();
  }
  return "";
}

std::string AbsoluteFolder(const std::string& folder) {
  if (folder.empty()) return "";
  std::error_code ec;
  fs::path p = fs::absolute(folder, ec);
  if (ec) p = folder;
  p = p.lexically_normal();
  if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
  return p.string();
}

bool FolderCanBeCreated(const std::string& folder) {
  fs::path p = fs::path(folder).lexically_normal();
  if (folder.empty() || !p.is_absolute()) return false;
  std::error_code ec;
  while (!fs::exists(p, ec)) {
    if (p == p.root_path()) return false;
    p = p.parent_path();
  }
  return fs::is_directory(p, ec) && ::access(p.c_str(), W_OK) == 0;
}

TargetCheckResult CheckTarget(const TargetChoice& choice) {
  TargetCheckResult result;
  result.folder = AbsoluteFolder(choice.folder);
  result.file_name = fs::path(result.folder).filename().string();
  const std::string nameFault = NameFault(choice.name);
  if (!nameFault.empty())
    result.problems.push_back(
        {TargetField::kName,
         "The project name \"" + NameForMessage(choice.name) + "\" " + nameFault + "."});
  CheckFolder(choice, result);
  const auto& offered = choice.databases;
  if (std::find(offered.begin(), offered.end(), choice.database) == offered.end()) {
    std::string list;
    for (const std::string& entry : offered) list += (list.empty() ? "\"" : ", \"") + entry + "\"";
    result.problems.push_back(
        {TargetField::kDatabase,
         "The database \"" + choice.database + "\" is not offered; the list offers " + list + "."});
  } else if (choice.database != kSQLiteDisplayName && choice.database != kPostgreSQLDisplayName) {
    result.problems.push_back({TargetField::kDatabase, "The database \"" + choice.database +
                                                           "\" is not supported; choose " +
                                                           kSQLiteDisplayName + " or " +
                                                           kPostgreSQLDisplayName + "."});
  } else if (choice.database == kPostgreSQLDisplayName) {
    CheckServer(choice, result);
  }
  return result;
}

}  // namespace vl
