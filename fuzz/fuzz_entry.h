// The libFuzzer entry points shared by the fuzz targets: each target
// defines which run an input gets; inputs are mutated as baseline
// archives.
#pragma once

#include <string>

#include "fuzz_harness.h"

namespace vl::fuzz {

// Implemented by each target: runs one input in `ws`.
Outcome RunTarget(Workspace& ws, const std::string& input);
// The target's name, for its scratch folder.
const char* TargetName();

}  // namespace vl::fuzz
