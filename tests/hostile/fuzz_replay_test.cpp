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
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FuzzReplayTest, ValidationAndCreationKeepTheirPromisesOnSeedsAndRegressions) {
  struct Target {
    const char* name;
    Seeds seeds;
    Outcome (*run)(Workspace&, const std::string&, const std::string&);
  };
  const Target targets[] = {{"validate", ValidateSeeds(), &RunValidateInput},
                            {"create-run", CreateRunSeeds(), &RunCreateInput}};
  for (const Target& t : targets) {
    SCOPED_TRACE(t.name);
    ASSERT_FALSE(Regressions(t.name).empty()) << "fuzz/regressions/" << t.name << " not found";
    Workspace ws(std::string("replay-") + t.name);
    Seeds inputs = t.seeds;
    for (const fs::path& file : Regressions(t.name)) inputs.emplace_back(file, ReadAll(file));
    for (const auto& [name, input] : inputs) {
      Outcome outcome = t.run(ws, input, VL_BINARY_DIR);
      EXPECT_TRUE(outcome.ok()) << name << "\n" << outcome.Describe();
    }
  }
}

}  // namespace
}  // namespace vl::fuzz
