#include "ui/single_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFileSystemWatcher>
#include <cerrno>
#include <cstdlib>

#include "host/text/resource.h"

namespace vl {

SingleInstanceLock::SingleInstanceLock(std::string path) : path_(std::move(path)) {}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

bool SingleInstanceLock::Acquire() {
  if (fd_ >= 0) return true;
  // O_NOFOLLOW: in a shared /tmp another user must not be able to point the
  // lock at a file of ours.
  int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    bool held_elsewhere = errno == EWOULDBLOCK;
    ::close(fd);
    return !held_elsewhere;
  }
  fd_ = fd;
  return true;
}

void SingleInstanceLock::OnKnock(std::function<void()> knocked) {
  if (fd_ < 0) return;
  watcher_ = std::make_unique<QFileSystemWatcher>(QStringList{QString::fromStdString(path_)});
  QObject::connect(watcher_.get(), &QFileSystemWatcher::fileChanged, watcher_.get(),
                   [knocked = std::move(knocked)] { knocked(); });
}

void SingleInstanceLock::Knock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  // The file stays one byte long however often it is knocked on.
  if (::ftruncate(fd, 0) == 0 && ::write(fd, "!", 1) < 0) {
    // A knock that cannot be written only leaves the window where it is.
  }
  ::close(fd);
}

void SingleInstanceLock::Release() {
  watcher_.reset();
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

std::string SingleInstanceLock::DefaultPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + kAppName + ".lock";
  return std::string("/tmp/") + kAppName + "-" + std::to_string(::getuid()) + ".lock";
}

}  // namespace vl
