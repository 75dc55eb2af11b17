// Every input that once broke a promise in fuzzing (fuzz/regressions),
// and every starting input of the fuzz targets, replayed through the same
// harness the fuzz targets use.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/mod_wizard.h"
#include "fuzz_harness.h"
#include "fuzz_seeds.h"

namespace vl::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Regressions(const char* target) {
  std::vector<fs::path> files;
  const fs::path folder = fs::path(VL_SOURCE_DIR) / "fuzz" / "regressions" / target;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
    if (e.is_regular_file() && e.path().filename().string()[0] != '.') files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzReplayTest : public ::testing::Test {};

TEST_F(FuzzReplayTest, ValidationKeepsItsPromisesOnSeedsAndRegressions) {
  ASSERT_FALSE(Regressions("validate").empty()) << "fuzz/regressions/validate not found";
  Workspace ws("replay-validate");
  for (const auto& [name, input] : ValidateSeeds())
    EXPECT_TRUE(RunValidateInput(ws, input, VL_BINARY_DIR).ok()) << name;
  for (const fs::path& file : Regressions("validate")) {
    Outcome outcome = RunValidateInput(ws, ReadAll(file), VL_BINARY_DIR);
    EXPECT_TRUE(outcome.ok()) << file << "\n" << outcome.Describe();
  }
}

TEST_F(FuzzReplayTest, CreationRunKeepsItsPromisesOnSeedsAndRegressions) {
  ASSERT_FALSE(Regressions("create-run").empty()) << "fuzz/regressions/create-run not found";
  Workspace ws("replay-create");
  for (const auto& [name, input] : CreateRunSeeds()) {
    Outcome outcome = RunCreateInput(ws, input, VL_BINARY_DIR);
    EXPECT_TRUE(outcome.ok()) << name << "\n" << outcome.Describe();
  }
  for (const fs::path& file : Regressions("create-run")) {
    Outcome outcome = RunCreateInput(ws, ReadAll(file), VL_BINARY_DIR);
    EXPECT_TRUE(outcome.ok()) << file << "\n" << outcome.Describe();
  }
}

}  // namespace
}  // namespace vl::fuzz
