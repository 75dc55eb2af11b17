// Test helpers: a generated baseline loaded back with pugixml for checking.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "support/scratch_folder.h"

namespace vl::gen::test {

// One "Req" element of a package file.
struct LoadedReq {
  pugi::xml_node node;
  std::string guid;
};

// A baseline folder read back: every ".xml" file (any letter case) parsed,
// and the package tree walked from PackageList.XML.
class LoadedBaseline {
 public:
  explicit LoadedBaseline(const std::string& folder);

  // The parsed file `name` (matched without regard to letter case); an
  // empty document when there is none.
  const pugi::xml_document& Doc(const std::string& name) const;
  // Names of the files that did not parse, with the parser's message.
  const std::vector<std::string>& failures() const { return failures_; }
  // Package GUIDs in walk order.
  const std::vector<std::string>& packages() const { return packages_; }
  const std::vector<LoadedReq>& requirements() const { return requirements_; }
  const pugi::xml_document& PackageDoc(const std::string& guid) const { return Doc(guid + ".XML"); }

 private:
  void WalkPackage(const std::string& guid, int level);

  std::string folder_;
  std::map<std::string, std::unique_ptr<pugi::xml_document>> docs_;  // by lower-case name
  std::vector<std::string> failures_;
  std::vector<std::string> packages_;
  std::vector<LoadedReq> requirements_;
};

// The bytes of every file of a folder, by file name.
std::map<std::string, std::string> ReadAllFiles(const std::string& folder);

}  // namespace vl::gen::test
