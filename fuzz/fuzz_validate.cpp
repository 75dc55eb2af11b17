// Fuzz target: validation of a baseline folder (BaselineList.xml,
// Project.xml, ExternalProjects.xml and what the descriptor takes from
// them).
#include "fuzz_entry.h"

namespace vl::fuzz {

const char* TargetName() { return "validate"; }

Outcome RunTarget(Workspace& ws, const std::string& input) {
  return RunValidateInput(ws, input, VL_FUZZ_PROGRAM_DIR);
}

}  // namespace vl::fuzz
