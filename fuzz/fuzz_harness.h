// What the fuzz targets run for one input, apart from libFuzzer so that
// the regular tests replay every input that once failed. An input is a
// baseline archive (baseline_archive.h) laid over a small, complete
// generated baseline, written into a scratch folder and validated or
// turned into a new SQLite project by the command-line engine. Then the
// promises of a hostile baseline are checked: nothing outside the project
// folder written, the baseline folder as it was, the database intact, and
// a run that failed said why.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "baseline_archive.h"

namespace vl::fuzz {

// The small baseline every input is laid over, generated once per process
// (same bytes every time). Its external project is restored in "ext"
// before each input.
const BaselineFiles& BaseBaseline();

// Where one input's files go: <root>/a/b/{bl,proj,cwd,ext}. The levels
// above "bl" hold nothing else, so a file written through "../" is seen.
// <root>/secret.xml is bait, reachable through "../../../secret.xml": a
// valid baseline file (any of them) whose texts are kSecretMarker.
class Workspace {
 public:
  // `tag` distinguishes concurrent users (target name, test name).
  explicit Workspace(const std::string& tag);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  std::string baseline() const { return (inner_ / "bl").string(); }
  std::string project() const { return (inner_ / "proj").string(); }
  std::string cwd() const { return (inner_ / "cwd").string(); }
  std::string external() const { return (inner_ / "ext").string(); }

  // Empties the folders and writes `folder` into the baseline folder
  // (links as links), skipping names that cannot stand in one folder.
  void Prepare(const BaselineFolder& folder);
  // Appends every trace of a write outside the project folder to
  // `problems`: anything new beside or above the folders, in the working
  // folder or the escape trap, the bait or a baseline entry changed.
  void CheckConfinement(std::vector<std::string>& problems) const;

 private:
  std::filesystem::path root_, inner_;
  BaselineFolder written_;  // as it was made (link targets as the system took them)
};

extern const char* const kSecretMarker;
// A path no input may create (absolute names in hostile baselines point
// at it).
extern const char* const kEscapeTrap;

// The problems one input revealed; empty when every promise held.
struct Outcome {
  std::vector<std::string> problems;
  bool ok() const { return problems.empty(); }
  std::string Describe() const;
};

// Validates the baseline of `input` as the wizard's first step does, then
// checks it deeply. `programDir` holds the resource file.
Outcome RunValidateInput(Workspace& ws, const std::string& input, const std::string& programDir);
// Creates a project from the baseline of `input` ("vlbaseline create BL
// --folder PROJ --all --yes --quiet --external GUID=EXT") and checks both
// project databases.
Outcome RunCreateInput(Workspace& ws, const std::string& input, const std::string& programDir);

}  // namespace vl::fuzz
