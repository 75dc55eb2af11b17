// Fuzz target: a whole creation run from a damaged baseline into a new
// SQLite project.
#include "fuzz_entry.h"

namespace vl::fuzz {

const char* TargetName() { return "create-run"; }

Outcome RunTarget(Workspace& ws, const std::string& input) {
  return RunCreateInput(ws, input, VL_FUZZ_PROGRAM_DIR);
}

}  // namespace vl::fuzz
