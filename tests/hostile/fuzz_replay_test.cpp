// Every input that once broke a promise in fuzzing (fuzz/regressions),
// and every starting input of the fuzz targets, replayed through the same
// harness the fuzz targets use.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_harness.h"
#include "fuzz_seeds.h"
#include "hostile_fixture.h"

namespace vl::fuzz {
namespace {

namespace fs = std::filesystem;

TEST(FuzzReplayTest, ValidationAndCreationKeepTheirPromisesOnSeedsAndRegressions) {
  const struct {
    const char* name;
    Seeds inputs;
    Outcome (*run)(Workspace&, const std::string&, const std::string&);
  } targets[] = {{"validate", ValidateSeeds(), &RunValidateInput},
                 {"create-run", CreateRunSeeds(), &RunCreateInput}};
  for (auto t : targets) {
    SCOPED_TRACE(t.name);
    const size_t seeds = t.inputs.size();
    std::error_code ec;
    for (const auto& e :
         fs::directory_iterator(fs::path(VL_SOURCE_DIR) / "fuzz/regressions" / t.name, ec))
      if (e.path().filename().string()[0] != '.')
        t.inputs.emplace_back(e.path(), hostile::ReadBytes(e.path()));
    ASSERT_GT(t.inputs.size(), seeds) << "fuzz/regressions/" << t.name << " not found";
    Workspace ws(std::string("replay-") + t.name);
    for (const auto& [name, input] : t.inputs) {
      const Outcome outcome = t.run(ws, input, VL_BINARY_DIR);
      EXPECT_TRUE(outcome.ok()) << name << "\n" << outcome.Describe();
    }
  }
}

}  // namespace
}  // namespace vl::fuzz
