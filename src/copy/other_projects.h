// What a run changes in the projects it completes: the external projects
// that waited for the baseline's project. Nothing of them changes before
// the run's own project is complete. Their rows are written at the very
// end, in one transaction per project that the run commits only when
// everything else has succeeded; the new content of their files is kept
// here until then.
#pragma once

#include <deque>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

class OtherProjects {
 public:
  // One project the run writes into.
  struct Work {
    std::shared_ptr<Project> project;
    std::shared_ptr<DataServices> ds;
    // Every statement that succeeded there, in order; running them again
    // on the project as it was repeats the work exactly.
    std::vector<std::string> statements;
    // Its key table before the work: (key class, last key) in key order.
    std::vector<std::pair<std::string, std::string>> keys_before;
  };
  // One file of another project, as the run leaves it.
  struct FileChange {
    std::string path;
    bool remove = false;
    std::string content;  // the new text when not removed
  };

  OtherProjects() = default;
  // Undoes what was not committed.
  ~OtherProjects();
  OtherProjects(const OtherProjects&) = delete;
  OtherProjects& operator=(const OtherProjects&) = delete;

  // The new content of `path`, a file of another project, or its removal,
  // made when the run commits. A later change of the same file replaces
  // an earlier one.
  void ReplaceFile(const std::string& path, const pugi::xml_document& doc);
  void RemoveFile(const std::string& path);
  const std::vector<FileChange>& files() const { return files_; }

  // Starts the work in `project`: ends the transaction its reads may have
  // left open, holds its commits, notes its key table, and records every
  // statement from now on. Throws VlError when its database fails.
  void Begin(const std::shared_ptr<Project>& project);
  // Stops recording; the transactions stay open, their commits held.
  void EndRecording();
  std::deque<Work>& work() { return work_; }

  // Forgets the work once it is committed.
  void Forget() {
    work_.clear();
    files_.clear();
  }

  // Undoes everything executed in the other projects and forgets the
  // files. Errors are kept for the caller's report; nothing throws.
  // Returns the description of the first failure, "" when there was none.
  std::string Rollback();

 private:
  FileChange& ChangeOf(const std::string& path);

  // A deque: the statement recorders hold the address of their list.
  std::deque<Work> work_;
  std::vector<FileChange> files_;
};

// The key table of `ds` as (key class, last key) pairs in key order.
std::vector<std::pair<std::string, std::string>> ReadKeyTable(DataServices& ds);

}  // namespace vl
