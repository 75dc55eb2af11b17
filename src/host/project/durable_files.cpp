#include "host/project/durable_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "errors/vl_error.h"

namespace vl {

namespace {

constexpr const char* kSource = "DurableFiles";

[[noreturn]] void Fail(const std::string& what, int error) {
  throw VlError(error == EACCES || error == EPERM || error == EROFS ? err::kPermissionDenied
                                                                    : err::kPathNotFound,
                kSource, what + ": " + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

}  // namespace

void WriteFileDurably(const std::string& path, const std::string& content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("Cannot write the file \"" + path + "\"", errno);
  size_t done = 0;
  int error = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) Fail("Cannot write the file \"" + path + "\"", error);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("Cannot read the file \"" + path + "\"", errno != 0 ? errno : ENOENT);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("Cannot open the folder \"" + folder + "\"", errno);
  const int rc = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  // Some file systems cannot flush a folder; their renames are as durable
  // as they get.
  if (rc != 0 && error != EINVAL && error != EROFS)
    Fail("Cannot flush the folder \"" + folder + "\"", error);
}

void RenameDurably(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0)
    Fail("Cannot move \"" + from + "\" to \"" + to + "\"", errno);
  SyncFolder(FolderOf(to));
}

void RemoveDurably(const std::string& path) {
  if (::unlink(path.c_str()) != 0) {
    if (errno == ENOENT) return;
    Fail("Cannot remove \"" + path + "\"", errno);
  }
  SyncFolder(FolderOf(path));
}

}  // namespace vl
