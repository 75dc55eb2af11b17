// Writes the starting inputs of a fuzz target into a folder:
//   vl-fuzz-seeds validate|create-run FOLDER
#include <fstream>
#include <iostream>

#include "fuzz_harness.h"

int main(int argc, char** argv) {
  const std::string target = argc == 3 ? argv[1] : "";
  if (target != "validate" && target != "create-run") {
    std::cerr << "usage: vl-fuzz-seeds validate|create-run FOLDER\n";
    return 2;
  }
  const vl::fuzz::Seeds seeds = vl::fuzz::SeedsOf(target);
  std::filesystem::create_directories(argv[2]);
  for (const auto& [name, bytes] : seeds)
    if (!(std::ofstream(std::filesystem::path(argv[2]) / ("seed-" + name), std::ios::binary)
          << bytes)) {
      std::cerr << "vl-fuzz-seeds: cannot write " << name << "\n";
      return 1;
    }
  std::cout << seeds.size() << " seeds in " << argv[2] << "\n";
  return 0;
}
