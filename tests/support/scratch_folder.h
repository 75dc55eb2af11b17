// A folder of its own under the system's temporary folder for one test,
// removed with everything in it when the test ends.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace vl::testing {

// The bytes of the file at `path` ("" when it cannot be read).
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScratchFolder {
 public:
  ScratchFolder() {
    // The process's own count keeps two folders of one run apart even
    // when the random source repeats itself.
    static std::atomic<unsigned> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("vl-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    Clear();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path() const { return path_.string(); }
  // Removes everything in the folder, which stays.
  void Clear() const {
    // A test may have taken away the right to change the folder.
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ec))
      entries.push_back(entry.path());
    for (const auto& entry : entries) std::filesystem::remove_all(entry, ec);
  }
  // The full path of `relative` inside the folder.
  std::string File(const std::string& relative) const { return (path_ / relative).string(); }
  // Writes `content` byte for byte to `relative` (folders created as
  // needed) and returns the full path.
  std::string Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path p = path_ / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vl::testing
