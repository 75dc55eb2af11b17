#include "host/project/project_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "errors/vl_error.h"
#include "host/project/settings_file.h"
#include "host/text/convert.h"

namespace fs = std::filesystem;

namespace vl {

namespace {

constexpr const char* kSource = "VlProjectFile";

[[noreturn]] void Fail(long number, const std::string& path, const std::string& reason) {
  throw VlError(number, kSource, "The project file \"" + path + "\" " + reason);
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && LCase(s.substr(s.size() - tail.size())) == LCase(tail);
}

std::string Entry(const char* name, const std::string& value, const std::string& path) {
  if (value.find_first_of("\r\n") != std::string::npos || value.find('\0') != std::string::npos)
    Fail(err::kInvalidProcedureCall, path,
         std::string("cannot be written: the value of ") + name + " holds a line break.");
  return std::string(name) + "=" + value + "\n";
}

std::string FileText(const ProjectFileInfo& info, const std::string& path) {
  std::string text = "; Project file. The database password is never kept here.\n";
  text += "[Project]\n";
  text += Entry("Name", info.name, path);
  text += Entry("GUID", info.guid, path);
  text += Entry("DatabaseType", info.db_type, path);
  text += "[Database]\n";
  if (!info.db_file.empty()) text += Entry("File", info.db_file, path);
  if (!info.host.empty()) text += Entry("Host", info.host, path);
  if (!info.port.empty()) text += Entry("Port", info.port, path);
  if (!info.database.empty()) text += Entry("Database", info.database, path);
  if (!info.user.empty()) text += Entry("User", info.user, path);
  if (!info.schema.empty()) text += Entry("Schema", info.schema, path);
  if (!info.options.empty()) text += Entry("Options", info.options, path);
  text += "[Overflow]\n";
  text += Entry("VersionReason", std::to_string(info.version_reason_size), path);
  text += Entry("RequirementText", std::to_string(info.req_text_size), path);
  text += Entry("AttributeValue", std::to_string(info.field_value_size), path);
  return text;
}

void WriteAll(int fd, const std::string& text, const std::string& path) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      Fail(err::kPermissionDenied, path, std::string("cannot be written: ") + strerror(errno));
    done += static_cast<size_t>(n);
  }
}

std::string Value(const SettingsSection* section, const char* name) {
  const std::string* v = section ? section->Find(name) : nullptr;
  return v ? *v : "";
}

int32_t SizeValue(const SettingsSection* section, const char* name, int32_t fallback,
                  const std::string& path) {
  const std::string text = Value(section, name);
  if (text.empty()) return fallback;
  int32_t v = 0;
  try {
    v = CLng(text);
  } catch (const VlError&) {
    Fail(err::kTypeMismatch, path, std::string("is damaged: ") + name + " is not a number.");
  }
  if (v < -1 || std::to_string(v) != text)
    Fail(err::kTypeMismatch, path, std::string("is damaged: ") + name + " is not a size.");
  return v;
}

}  // namespace

std::string ProjectFilePath(const std::string& path) {
  return EndsWithNoCase(path, kProjectFileExtension) ? path : path + kProjectFileExtension;
}

void WriteProjectFile(const std::string& path, const ProjectFileInfo& info) {
  const std::string text = FileText(info, path);
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::random_device rd;
  std::string name = ".";
  name.append(target.filename().string()).append(".tmp").append(std::to_string(rd()));
  const std::string temp = (folder / name).string();
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    Fail(err::kPermissionDenied, path, std::string("cannot be written: ") + strerror(errno));
  try {
    WriteAll(fd, text, path);
    if (::fsync(fd) != 0)
      Fail(err::kPermissionDenied, path, std::string("cannot be written: ") + strerror(errno));
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  ::close(fd);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    Fail(err::kPermissionDenied, path, std::string("cannot be written: ") + strerror(e));
  }
}

ProjectFileInfo ReadProjectFile(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) Fail(err::kFileNotFound, path, "does not exist.");
  if (!fs::is_regular_file(path, ec)) Fail(err::kFileNotFound, path, "is not a file.");
  auto file = SettingsFile::OpenSettingsFile(path);
  if (!file) Fail(err::kPermissionDenied, path, "cannot be read.");
  const SettingsSection* project = file->GetSection("Project");
  const SettingsSection* database = file->GetSection("Database");
  const SettingsSection* overflow = file->GetSection("Overflow");
  ProjectFileInfo info;
  info.name = Value(project, "Name");
  info.guid = Value(project, "GUID");
  info.db_type = Value(project, "DatabaseType");
  if (!project || info.guid.empty() || info.db_type.empty())
    Fail(err::kFileNotFound, path,
         "is not a project file (it names no project GUID and database).");
  info.db_file = Value(database, "File");
  info.host = Value(database, "Host");
  info.port = Value(database, "Port");
  info.database = Value(database, "Database");
  info.user = Value(database, "User");
  info.schema = Value(database, "Schema");
  info.options = Value(database, "Options");
  info.version_reason_size = SizeValue(overflow, "VersionReason", 255, path);
  info.req_text_size = SizeValue(overflow, "RequirementText", 2000, path);
  info.field_value_size = SizeValue(overflow, "AttributeValue", 255, path);
  return info;
}

std::string DatabaseFilePath(const std::string& projectFilePath, const ProjectFileInfo& info) {
  const fs::path vlp(projectFilePath);
  const fs::path folder = vlp.parent_path();
  fs::path beside = vlp;
  beside.replace_extension(kSQLiteFileExtension);
  if (info.db_file.empty()) return beside.string();
  const fs::path named =
      fs::path(info.db_file).is_absolute() ? fs::path(info.db_file) : folder / info.db_file;
  std::error_code ec;
  if (!fs::exists(named, ec) && fs::exists(beside, ec)) return beside.string();
  return named.string();
}

}  // namespace vl
