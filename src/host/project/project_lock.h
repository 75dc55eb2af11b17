// Creation runs that work on the same project take turns. A run holds an
// advisory lock on the project file of every project it completes, from
// the moment it opens the project until it is done with it. Only these
// runs take the lock: everyone else goes on reading and writing the
// project meanwhile.
#pragma once

#include <functional>
#include <map>
#include <string>

namespace vl {

class ProjectLocks {
 public:
  ProjectLocks() = default;
  // Releases every lock still held.
  ~ProjectLocks();
  ProjectLocks(const ProjectLocks&) = delete;
  ProjectLocks& operator=(const ProjectLocks&) = delete;

  // Locks the file at `path` for this process; nothing when this set holds
  // it already. While another process holds it, calls `onWait` once and
  // then `poll` every tenth of a second (either may throw, which stops the
  // waiting), for at most `waitSeconds`. Throws VlError naming the file
  // when it cannot be opened or the wait runs out; nothing is held then.
  void Lock(const std::string& path, int waitSeconds, const std::function<void()>& onWait = nullptr,
            const std::function<void()>& poll = nullptr);
  bool Holds(const std::string& path) const;
  void Unlock(const std::string& path);
  void UnlockAll();

 private:
  std::map<std::string, int> held_;  // normal path -> open file descriptor
};

// Opens (creating it when missing) and locks the file at `path` without
// waiting. Returns the open descriptor, which holds the lock until it is
// closed; -1 when another process holds the lock. Throws VlError when the
// file cannot be opened.
int TryLockFile(const std::string& path, bool create);

}  // namespace vl
