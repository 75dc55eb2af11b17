// The starting inputs of the fuzz targets: every file of the base
// baseline on its own, and hand-made hostile variants that the mutations
// would take long to reach (entities, deep nesting, escaping names,
// cycles, other encodings and letter cases).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vl::fuzz {

// (name, archive) pairs; names are usable as file names.
using Seeds = std::vector<std::pair<std::string, std::string>>;

// Seeds for the validation target: the three files validation reads.
Seeds ValidateSeeds();
// Seeds for the creation-run target.
Seeds CreateRunSeeds();

}  // namespace vl::fuzz
