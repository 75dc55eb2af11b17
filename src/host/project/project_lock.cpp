#include "host/project/project_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "errors/vl_error.h"

namespace vl {

namespace {

constexpr const char* kSource = "ProjectLocks";

std::string NormalPath(const std::string& path) {
  std::error_code ec;
  return std::filesystem::absolute(path, ec).lexically_normal().string();
}

}  // namespace

int TryLockFile(const std::string& path, bool create) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
  if (fd < 0)
    throw VlError(err::kPathNotFound, kSource,
                  "The file \"" + path + "\" cannot be opened: " + std::strerror(errno));
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return -1;
    throw VlError(err::kPermissionDenied, kSource,
                  "The file \"" + path + "\" cannot be locked: " + std::strerror(error));
  }
  return fd;
}

ProjectLocks::~ProjectLocks() { UnlockAll(); }

void ProjectLocks::Lock(const std::string& path, int waitSeconds,
                        const std::function<void()>& onWait, const std::function<void()>& poll) {
  const std::string key = NormalPath(path);
  if (held_.count(key)) return;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  bool told = false;
  for (;;) {
    const int fd = TryLockFile(key, false);
    if (fd >= 0) {
      held_.emplace(key, fd);
      return;
    }
    if (!told && onWait) onWait();
    told = true;
    if (std::chrono::steady_clock::now() >= deadline)
      throw VlError(err::kPermissionDenied, kSource,
                    "Another creation run has been working on the project \"" + path +
                        "\" for longer than " + std::to_string(waitSeconds) +
                        " seconds; try again when it has ended.");
    if (poll) poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

bool ProjectLocks::Holds(const std::string& path) const { return held_.count(NormalPath(path)); }

void ProjectLocks::Unlock(const std::string& path) {
  auto it = held_.find(NormalPath(path));
  if (it == held_.end()) return;
  ::close(it->second);
  held_.erase(it);
}

void ProjectLocks::UnlockAll() {
  for (auto& [path, fd] : held_) ::close(fd);
  held_.clear();
}

}  // namespace vl
