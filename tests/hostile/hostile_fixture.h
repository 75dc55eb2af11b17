// Hostile baselines: a generated baseline that a test then damages, a
// creation run through the command-line engine, and what the run left
// behind (the project database's rows, the files around it).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "gen-baseline/generator.h"
#include "support/scratch_folder.h"

namespace vl::hostile {

// A small baseline with every kind of content.
gen::Options SmallBaseline();
using testing::ReadBytes;

class HostileTest : public ::testing::Test {
 protected:
  // <scratch>/bl: the baseline; <scratch>/proj: the new project's folder;
  // <scratch>/outside: files a hostile baseline must never reach.
  std::string Baseline() const { return scratch_ / "bl"; }
  std::string ProjectFolder() const { return scratch_ / "proj"; }
  std::string Outside() const { return scratch_ / "outside"; }
  std::string BaselineFile(const std::string& name) const { return scratch_ / "bl" / name; }

  // Writes a baseline into Baseline() (replacing what was there) and
  // empties the project folder's place.
  void Generate(const gen::Options& options = SmallBaseline());
  // Loads the baseline file `name`, lets `edit` change it, saves it back.
  void EditXml(const std::string& name, const std::function<void(pugi::xml_document&)>& edit);
  void WriteBaselineFile(const std::string& name, const std::string& bytes) {
    std::ofstream(BaselineFile(name), std::ios::binary | std::ios::trunc) << bytes;
  }
  // The text (or value) `xpath` selects in the file at `path`.
  static std::string Select(const std::string& path, const std::string& xpath);
  // The name of the root package's file and of another package's file.
  std::string RootPackageFile() const { return PackageFile("ParentID='0'"); }
  std::string ChildPackageFile() const { return PackageFile("ParentID!='0'"); }
  std::string PackageFile(const std::string& which) const {
    return Select(BaselineFile("PackageList.XML"), "//Pkg[@" + which + "]/@GUID") + ".XML";
  }
  // The file name and extension of the root package's first document.
  std::pair<std::string, std::string> FirstDocument() const {
    const std::string file = BaselineFile(RootPackageFile());
    return {Select(file, "//Docs/Doc/FileName"), Select(file, "//Docs/Doc/FileExtension")};
  }

  // "vlbaseline validate BL" / "vlbaseline create BL --folder PROJ --all
  // --yes --verbose" plus `extra` / any command line, in this process.
  // Returns the exit status; the output is kept in out_ and err_.
  int Validate() { return Run({"validate", Baseline()}); }
  int Create(const std::vector<std::string>& extra = {});
  int Run(const std::vector<std::string>& args);

  // The first column of the first row of `sql` on the new project's
  // database ("" when there is none).
  std::string QueryOne(const std::string& sql) const;
  // True when a run left nothing: no project folder.
  bool NothingWritten() const { return !std::filesystem::exists(ProjectFolder()); }
  // Every entry below the scratch folder except the project folder, with
  // its bytes (links as "-> target"): equal before and after a run when
  // the run wrote nowhere but the project folder.
  std::map<std::string, std::string> SnapshotOutsideProject() const;

  testing::ScratchFolder folder_;
  const std::filesystem::path scratch_{folder_.path()};
  std::string out_, err_;
};

}  // namespace vl::hostile
