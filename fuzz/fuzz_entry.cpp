// libFuzzer's entry points: one input is one baseline archive; a broken
// promise aborts with the list of what went wrong, so that libFuzzer keeps
// the input as a crash.
#include "fuzz_entry.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "archive_mutator.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

std::unique_ptr<vl::fuzz::Workspace> gWorkspace;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)vl::fuzz::BaseBaseline();
  gWorkspace = std::make_unique<vl::fuzz::Workspace>(vl::fuzz::TargetName());
  // The workspace goes with the process, also when libFuzzer ends it.
  std::atexit([] { gWorkspace.reset(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  vl::fuzz::Outcome outcome = vl::fuzz::RunTarget(*gWorkspace, input);
  if (!outcome.ok()) {
    std::fprintf(stderr, "==vl-fuzz== broken promise:\n%s", outcome.Describe().c_str());
    std::abort();
  }
  return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  std::mt19937_64 random(seed);
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string mutated =
      vl::fuzz::MutateArchive(input, maxSize, vl::fuzz::BaseBaseline(), random, LLVMFuzzerMutate);
  std::copy(mutated.begin(), mutated.end(), data);
  return mutated.size();
}
