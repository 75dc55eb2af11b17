#include "app/project_staging.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "copy/ins_pkg_req_trace_info.h"
#include "copy/ins_view_info.h"
#include "errors/vl_error.h"
#include "host/project/durable_files.h"
#include "host/project/project_lock.h"

namespace fs = std::filesystem;

namespace vl {

namespace {

constexpr const char* kSource = "ProjectStaging";

// Files of the project folder that a run loads and adds to.
const char* const kFilesAddedTo[] = {kUnResViewsFile, kUnResExtTracesFile};

}  // namespace

ProjectStaging::ProjectStaging(std::string projectFolder, std::string fileTitle)
    : project_folder_(std::move(projectFolder)),
      file_title_(std::move(fileTitle)),
      folder_(FolderFor(project_folder_)) {}

ProjectStaging::~ProjectStaging() {
  if (run_lock_ >= 0) ::close(run_lock_);
}

std::string ProjectStaging::FolderFor(const std::string& projectFolder) {
  return (fs::path(projectFolder) / kFolderName).lexically_normal().string();
}

std::string ProjectStaging::StagedProjectFile() const { return StagedFile(file_title_ + ".vlp"); }

std::string ProjectStaging::FinalProjectFile() const {
  return (fs::path(project_folder_) / (file_title_ + ".vlp")).string();
}

void ProjectStaging::Begin(const std::string& whose) {
  std::error_code ec;
  if (!fs::create_directory(folder_, ec)) {
    throw VlError(err::kFileAlreadyExists, kSource,
                  ec ? "The folder \"" + folder_ + "\" cannot be made: " + ec.message()
                     : "The folder \"" + folder_ + "\" exists already.");
  }
  try {
    const std::string run = StagedFile(kRunFile);
    WriteFileDurably(run, whose + "\n");
    run_lock_ = TryLockFile(run, false);
    if (run_lock_ < 0)
      throw VlError(err::kPermissionDenied, kSource, "The file \"" + run + "\" is locked.");
    for (const char* name : kFilesAddedTo) {
      const fs::path existing = fs::path(project_folder_) / name;
      if (fs::is_regular_file(fs::symlink_status(existing)))
        fs::copy_file(existing, StagedFile(name));
    }
    SyncFolder(project_folder_);
  } catch (const std::exception&) {
    if (run_lock_ >= 0) ::close(run_lock_);
    run_lock_ = -1;
    fs::remove_all(folder_, ec);
    throw;
  }
}

void ProjectStaging::Publish() {
  std::error_code ec;
  if (!fs::exists(folder_, ec)) return;
  const std::string project_file = fs::path(StagedProjectFile()).filename().string();
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name != kRunFile && name != kJournalFile && name != project_file) names.push_back(name);
  }
  if (ec)
    throw VlError(err::kPathNotFound, kSource,
                  "The folder \"" + folder_ + "\" cannot be read: " + ec.message());
  // The project file last: once it is there, the project is.
  if (fs::exists(StagedProjectFile(), ec)) names.push_back(project_file);
  for (const std::string& name : names) {
    const std::string from = StagedFile(name);
    const std::string to = (fs::path(project_folder_) / name).string();
    if (::rename(from.c_str(), to.c_str()) != 0)
      throw VlError(
          err::kPermissionDenied, kSource,
          "The file \"" + from + "\" cannot be moved to \"" + to + "\": " + std::strerror(errno));
  }
  SyncFolder(project_folder_);
  Discard();
}

void ProjectStaging::Discard() {
  std::error_code ec;
  fs::remove_all(folder_, ec);
  if (ec)
    throw VlError(err::kPermissionDenied, kSource,
                  "The folder \"" + folder_ + "\" cannot be removed: " + ec.message());
  if (run_lock_ >= 0) ::close(run_lock_);
  run_lock_ = -1;
  SyncFolder(project_folder_);
}

bool StagingInUse(const std::string& folder, std::string& whose) {
  const std::string run = (fs::path(folder) / ProjectStaging::kRunFile).string();
  std::error_code ec;
  if (!fs::exists(run, ec)) return false;
  try {
    whose = ReadWholeFile(run);
    while (!whose.empty() && whose.back() == '\n') whose.pop_back();
    const int fd = TryLockFile(run, false);
    if (fd < 0) return true;
    ::close(fd);
  } catch (const VlError&) {
    // A RUN that cannot be read or locked belongs to no live run.
  }
  return false;
}

}  // namespace vl
