// Where a creation run builds its new project until the whole run has
// succeeded: the folder ".vlbaseline-partial" inside the folder the project
// is for. Nothing in it is taken for a project; its files appear in the
// project's folder only when the run publishes them, the project file
// last. The staging folder holds:
//   RUN      locked by the run while it lives (so a later run can tell the
//            leftover of a run that died from the work of one still going);
//            it says which process, since when;
//   JOURNAL  the run's journal (app/run_journal.h), from the start.
#pragma once

#include <string>

namespace vl {

class ProjectStaging {
 public:
  static constexpr const char* kFolderName = ".vlbaseline-partial";
  static constexpr const char* kRunFile = "RUN";
  static constexpr const char* kJournalFile = "JOURNAL";

  // `projectFolder` is the folder the project is for; `fileTitle` its
  // project file's name without ".vlp".
  ProjectStaging(std::string projectFolder, std::string fileTitle);
  // Lets go of RUN (the staging folder stays: Publish or Discard end it).
  ~ProjectStaging();
  ProjectStaging(const ProjectStaging&) = delete;
  ProjectStaging& operator=(const ProjectStaging&) = delete;

  static std::string FolderFor(const std::string& projectFolder);

  const std::string& project_folder() const { return project_folder_; }
  const std::string& folder() const { return folder_; }
  std::string StagedFile(const std::string& name) const { return folder_ + "/" + name; }
  std::string StagedProjectFile() const;
  std::string FinalProjectFile() const;
  std::string JournalFile() const { return StagedFile(kJournalFile); }

  // Makes the staging folder, marks it as this run's (RUN, locked from now
  // on, says `whose`), and copies into it the files of the project folder
  // that the run adds to (the unresolved views and traces of an earlier
  // run there). Throws VlError when a staging folder exists already (a
  // leftover is cleared first) or when it cannot be made; nothing is left
  // then.
  void Begin(const std::string& whose);

  // Moves every file of the staging folder but RUN and JOURNAL into the
  // project folder (replacing files of the same names), the project file
  // last; then removes the staging folder. Picks up where an interrupted
  // publication stopped. Throws VlError naming the file that cannot be
  // moved.
  void Publish();

  // Removes the staging folder and all it holds. Throws VlError naming
  // what could not be removed.
  void Discard();

 private:
  std::string project_folder_, file_title_, folder_;
  int run_lock_ = -1;
};

// Whether a run still lives that holds the staging folder `folder` (its RUN
// is locked); the description RUN gives goes to `whose`.
bool StagingInUse(const std::string& folder, std::string& whose);

}  // namespace vl
