// Every input that once broke a promise in fuzzing (fuzz/regressions),
// and every starting input of the fuzz targets, replayed through the same
// harness the fuzz targets use.
#include <gtest/gtest.h>

#include "fuzz_harness.h"

namespace vl::fuzz {
namespace {

TEST(FuzzReplayTest, ValidationAndCreationKeepTheirPromisesOnSeedsAndRegressions) {
  for (const std::string target : {"validate", "create-run"}) {
    SCOPED_TRACE(target);
    Seeds inputs = SeedsOf(target);
    const size_t seeds = inputs.size();
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(
             std::filesystem::path(VL_SOURCE_DIR) / "fuzz/regressions" / target, ec))
      if (e.path().filename().string()[0] != '.')
        inputs.emplace_back(e.path(), testing::ReadBytes(e.path()));
    ASSERT_GT(inputs.size(), seeds) << "fuzz/regressions/" << target << " not found";
    Workspace ws;
    for (const auto& [name, input] : inputs)
      EXPECT_EQ(
          (target == "validate" ? RunValidateInput : RunCreateInput)(ws, input, VL_BINARY_DIR), "")
          << name;
  }
}

}  // namespace
}  // namespace vl::fuzz
