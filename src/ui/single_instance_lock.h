// The per-user flag that the wizard is already running: an exclusive lock
// on a file in the user's runtime folder, held for the life of the process
// (the system drops it when the process ends, however it ends).
#pragma once

#include <string>

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

  // $XDG_RUNTIME_DIR/VlCreateProjFromBaselineWiz.lock, or, without a
  // runtime folder, /tmp/VlCreateProjFromBaselineWiz-<user id>.lock.
  static std::string DefaultPath();

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace vl
