// Reading the next file while the current one is worked on. The walks of
// the package tree read and parse one package file after another, and
// the work on each (checking it, or copying it to the database) needs
// only that file: with the name of the next one known, its reading and
// parsing runs on another core meanwhile. What the walk gets is the same
// as reading the file when it is needed; only when it is read changes.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

namespace vl {

// `File` is what the load fills from one file: a parsed document and
// what its reading said. For a file read ahead the load runs on another
// thread, so it must touch nothing but that file and its `File`.
template <class File>
class ReadAhead {
 public:
  using Load = std::function<void(const std::string& folder, const std::string& name, File& into)>;

  explicit ReadAhead(Load load) : load_(std::move(load)) {}
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  // Waits for a file still being read; it is dropped.
  ~ReadAhead() { Drop(); }

  // Starts loading `name` in `folder` on another thread, unless it is
  // being read already. A file read ahead and never taken is dropped.
  // When no thread can be started, nothing is read ahead.
  void Expect(const std::string& folder, const std::string& name) {
    if (IsNext(folder, name)) return;
    Drop();
    try {
      next_ = std::async(std::launch::async, [this, folder, name] {
        auto file = std::make_unique<File>();
        load_(folder, name, *file);
        return file;
      });
      next_folder_ = folder;
      next_name_ = name;
    } catch (const std::system_error&) {
      next_ = {};
    }
  }

  // Fills `into` with `name` in `folder`: the file read ahead when it is
  // that one, otherwise loaded now. What the load throws comes out here.
  void Take(const std::string& folder, const std::string& name, File& into) {
    if (!IsNext(folder, name)) return load_(folder, name, into);
    std::unique_ptr<File> file = next_.get();
    into = std::move(*file);
  }

 private:
  bool IsNext(const std::string& folder, const std::string& name) const {
    return next_.valid() && name == next_name_ && folder == next_folder_;
  }
  void Drop() {
    if (!next_.valid()) return;
    try {
      next_.get();
    } catch (...) {
      // A file read ahead and not wanted: what it threw does not matter.
    }
  }

  const Load load_;
  std::string next_folder_, next_name_;
  std::future<std::unique_ptr<File>> next_;
};

}  // namespace vl
