// The deep check of a baseline, run before anything is asked or written:
// every file the creation run will read exists, is read in its encoding
// and has the elements and attributes the copiers need; every document's
// file is there; every reference the run resolves inside the baseline
// (requirement types, attributes and list items, users and groups,
// documents, query definitions, packages, parents, trace ends, discussion
// members) resolves, or is reported as what the run will do with it. All
// problems are found at once, each naming the file, the line and the
// element.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "baseline/check/check_problem.h"

namespace vl {

class BLProjInfo;

// What the check needs to know of the baseline and of the run planned.
struct BaselineCheckInput {
  // The baseline folder, whose BaselineList.xml, Project.xml and
  // ExternalProjects.xml passed the descriptor's validation.
  std::string folder;
  // The GUID of the project the baseline was taken from (BaselineList.xml).
  std::string baseline_guid;
  // The external projects (GUIDs as ExternalProjects.xml names them) whose
  // project file is located: references to the others wait.
  std::vector<std::string> located_external_projects;
  // The new project's file name without ".vlp", when known: no document
  // may take the place of its files.
  std::string project_title;
  // The contents the run copies; files only they need are not read.
  bool traces = true, history = true, discussions = true;
};

// The input for a descriptor that passed ValidateBLProj: its folder, GUID
// and located external projects, and the contents the user chose
// (`chosen`) or, for a check of the whole baseline, every content it holds.
// Reads the descriptor only; call it where the descriptor lives.
BaselineCheckInput CheckInputOf(const BLProjInfo& descriptor, bool chosen);

struct BaselineCheckProgress {
  std::string file;  // the file just read
  size_t files_read = 0;
  uint64_t bytes_read = 0;   // of the files read so far
  uint64_t bytes_total = 0;  // of the XML files in the folder: what a full check reads at most
};
// Called after each file is read, on the thread the check runs on; the
// check stops when it returns false.
using BaselineCheckProgressFn = std::function<bool(const BaselineCheckProgress&)>;

struct BaselineCheckResult {
  CheckProblems problems;
  bool cancelled = false;  // stopped by the progress function: the problems are incomplete
  size_t files_read = 0;
};

// Checks the baseline for a run with `input`. Reads each file once and
// holds one file's document at a time; the time and memory grow with the
// baseline's size. Touches no process-wide object (descriptor, resource
// texts, message sink, translation tables), writes nothing and shows
// nothing: it may run on a worker thread while a window stays responsive.
// Never throws for anything a baseline holds.
BaselineCheckResult CheckBaseline(const BaselineCheckInput& input,
                                  const BaselineCheckProgressFn& progress = nullptr);

}  // namespace vl
