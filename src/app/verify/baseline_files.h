// The baseline as a verification reads it: its files, each loaded once
// with the project's XML readers (any encoding, names in any letter
// case), and its package tree walked in the order the run walks it, one
// package file in memory at a time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace vl::verify {

class BaselineFiles {
 public:
  explicit BaselineFiles(std::string folder) : folder_(std::move(folder)) {}

  const std::string& folder() const { return folder_; }

  // The root element of the baseline file `name` ("//PROJECT", or the
  // given element name anywhere in it); a null node when the file is
  // missing, does not parse or has no such element. The document stays
  // loaded with this object.
  pugi::xml_node Root(const std::string& name, const char* element = "PROJECT");
  // Why Root(name) gave a null node ("" when it did not).
  std::string Problem(const std::string& name) const;

  // One package of the walk.
  struct Package {
    std::string guid;
    std::string parent_guid;  // "" for the root package
    pugi::xml_node pkg;       // PROJECT/Pkg of its file; null when the file is missing
  };
  // Calls `visit` for every package, depth first, a package before its
  // children, siblings in document order. A package reached twice (a
  // cycle) is visited once. Returns false with `problem` set when
  // PackageList.XML names no root package.
  bool WalkPackages(const std::function<void(const Package&)>& visit, std::string& problem);

 private:
  std::string folder_;
  std::map<std::string, std::unique_ptr<pugi::xml_document>> docs_;
  std::map<std::string, std::string> problems_;
};

}  // namespace vl::verify
