// What the fuzz targets run for one input, apart from libFuzzer so that
// the regular tests replay every input that once failed. An input is a
// baseline archive (baseline_archive.h) laid over a small, complete
// generated baseline, written into a scratch folder and validated or
// turned into a new SQLite project by the command-line engine. Then the
// promises of a hostile baseline are checked: nothing outside the project
// folder written or read, the baseline folder as it was, the databases
// intact, and a run that failed said why.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "baseline_archive.h"
#include "support/scratch_folder.h"

namespace vl::fuzz {

// The small baseline every input is laid over, generated once per process
// (same bytes every time).
const BaselineFiles& BaseBaseline();

// Where one input's files go: <root>/a/b/{bl,proj,cwd,ext}. The levels
// above "bl" hold nothing else, so a file written through "../" is seen.
// <root>/secret.xml is bait, reachable through "../../../secret.xml": a
// valid baseline file of any kind whose texts are a marker.
class Workspace {
 public:
  Workspace();
  std::string dir(const char* sub) const { return (inner_ / sub).string(); }
  // Empties the folders, restores the external project in "ext" and writes
  // `folder` into "bl" (links as links), skipping names no folder can hold.
  void Prepare(const BaselineFolder& folder);
  // Appends every trace of a write outside the project folder, one a
  // line: anything
  // new beside or above the folders, in "cwd" or the escape trap, the bait
  // or a baseline entry changed.
  void CheckConfinement(std::string& problems) const;

 private:
  testing::ScratchFolder scratch_;
  const std::filesystem::path root_{scratch_.path()}, inner_{root_ / "a" / "b"};
  BaselineFolder written_;  // as made (link targets as the system took them)
};

// The promises `input` broke, one a line ("" when all held).
// RunValidateInput validates its baseline as the wizard's first step does,
// then checks it deeply; RunCreateInput runs "vlbaseline create BL
// --folder PROJ --all --yes --quiet --external GUID=EXT" and checks both
// projects. `programDir` holds the resource file.
std::string RunValidateInput(Workspace& ws, const std::string& input,
                             const std::string& programDir);
std::string RunCreateInput(Workspace& ws, const std::string& input, const std::string& programDir);

// The starting inputs of target "validate" or "create-run" as (name,
// archive) pairs: every file the target reads on its own, and hostile
// variants the mutations would take long to reach.
using Seeds = std::vector<std::pair<std::string, std::string>>;
Seeds SeedsOf(const std::string& target);

}  // namespace vl::fuzz
