// libFuzzer's entry points, built twice: VL_FUZZ_CREATE 0 validates each
// input's baseline, 1 makes a whole creation run of it. A broken promise
// aborts with the list of what went wrong, so that libFuzzer keeps the
// input as a crash; inputs are mutated as baseline archives.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "fuzz_harness.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

static std::unique_ptr<vl::fuzz::Workspace> gWorkspace;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)vl::fuzz::BaseBaseline();
  gWorkspace = std::make_unique<vl::fuzz::Workspace>();
  // The workspace goes with the process, also when libFuzzer ends it.
  std::atexit([] { gWorkspace.reset(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto run = VL_FUZZ_CREATE ? vl::fuzz::RunCreateInput : vl::fuzz::RunValidateInput;
  const std::string problems =
      run(*gWorkspace, std::string(reinterpret_cast<const char*>(data), size), VL_FUZZ_PROGRAM_DIR);
  if (problems.empty()) return 0;
  std::fprintf(stderr, "==vl-fuzz== broken promise:\n%s", problems.c_str());
  std::abort();
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  std::mt19937_64 random(seed);
  const std::string mutated =
      vl::fuzz::MutateArchive(std::string(reinterpret_cast<const char*>(data), size), maxSize,
                              vl::fuzz::BaseBaseline(), random, LLVMFuzzerMutate);
  std::copy(mutated.begin(), mutated.end(), data);
  return mutated.size();
}
