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

// `File` is what a load fills: a parsed document and what its reading
// said. A load passed to Expect runs on another thread, so it must touch
// nothing but the file and its `File`; it must fill what the load passed
// to Take for the same name would.
template <class File>
class ReadAhead {
 public:
  using Load = std::function<void(File& into)>;

  ReadAhead() = default;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  // Waits for a file still being read; it is dropped.
  ~ReadAhead() { Drop(); }

  // Starts `load` of `name` on another thread, unless `name` is being
  // read already. A file read ahead and never taken is dropped. When no
  // thread can be started, nothing is read ahead.
  void Expect(const std::string& name, Load load) {
    if (next_.valid() && name == next_name_) return;
    Drop();
    try {
      next_ = std::async(std::launch::async, [load = std::move(load)] {
        auto file = std::make_unique<File>();
        load(*file);
        return file;
      });
      next_name_ = name;
    } catch (const std::system_error&) {
      next_ = {};
    }
  }

  // Fills `into` with `name`: the file read ahead when it is that one,
  // otherwise `load` now. What the load throws comes out here.
  void Take(const std::string& name, File& into, const Load& load) {
    if (next_.valid() && name == next_name_) {
      std::unique_ptr<File> file = next_.get();
      into = std::move(*file);
      return;
    }
    load(into);
  }

 private:
  void Drop() {
    if (!next_.valid()) return;
    try {
      next_.get();
    } catch (...) {
      // A file read ahead and not wanted: what it threw does not matter.
    }
  }

  std::string next_name_;
  std::future<std::unique_ptr<File>> next_;
};

}  // namespace vl
