// The per-user flag that the wizard is already running: an exclusive lock
// on a file in the user's runtime folder, held for the life of the process
// (the system drops it when the process ends, however it ends). A second
// start knocks on the lock file (writes to it); the holder, watching it,
// brings its window to the front.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QFileSystemWatcher;

namespace vl {

class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(std::string path = DefaultPath());
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // True when this object now holds the lock (or already did); false when
  // another holder has it. A lock file that cannot be opened counts as free:
  // the program then runs without the guard rather than not at all.
  bool Acquire();
  // Gives the lock up (nothing when it is not held).
  void Release();

  // While the lock is held: `knocked` runs (on the window's thread) each
  // time another start knocks.
  void OnKnock(std::function<void()> knocked);
  // Tells the holder of the lock at `path` that the program was started
  // again. Nothing when there is no such file.
  static void Knock(const std::string& path);

  // $XDG_RUNTIME_DIR/VlCreateProjFromBaselineWiz.lock, or, without a
  // runtime folder, /tmp/VlCreateProjFromBaselineWiz-<user id>.lock.
  static std::string DefaultPath();

 private:
  std::string path_;
  int fd_ = -1;
  std::unique_ptr<QFileSystemWatcher> watcher_;
};

}  // namespace vl
