// Hostile baselines: a generated baseline that a test then damages, a
// creation run through the command-line engine, and what the run left
// behind (the project database's rows, the files around it).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "gen-baseline/generator.h"

namespace vl::hostile {

using Rows = std::vector<std::vector<std::string>>;

// A small baseline with every kind of content.
gen::Options SmallBaseline();
// The bytes of the file at `path` ("" when it cannot be read).
std::string ReadAll(const std::filesystem::path& path);

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // <scratch>/bl: the baseline; <scratch>/proj: the new project's folder;
  // <scratch>/outside: files a hostile baseline must never reach.
  std::string Baseline() const { return (scratch_ / "bl").string(); }
  std::string ProjectFolder() const { return (scratch_ / "proj").string(); }
  std::string Outside() const { return (scratch_ / "outside").string(); }
  std::string Db() const { return (scratch_ / "proj" / "proj.db").string(); }

  // Writes a baseline into Baseline() (replacing what was there).
  gen::Summary Generate(const gen::Options& options = SmallBaseline());
  // The path of the baseline file `name`.
  std::string BaselineFile(const std::string& name) const;
  // Loads the baseline file `name`, lets `edit` change it, saves it back
  // (UTF-8).
  void EditXml(const std::string& name, const std::function<void(pugi::xml_document&)>& edit);
  // Replaces the bytes of the baseline file `name`.
  void WriteBaselineFile(const std::string& name, const std::string& bytes);
  // The name of the root package's file and of another package's file.
  std::string RootPackageFile();
  std::string ChildPackageFile();
  // The file name and extension of the root package's first document.
  std::pair<std::string, std::string> FirstDocument();
  // The GUID the new project's requirement GUID map gives `old` ("" when
  // none).
  std::string NewRequirementGuid(const std::string& old) const;

  // "vlbaseline validate BL" / "vlbaseline create BL --folder PROJ --all
  // --yes" plus `extra`, in this process. Returns the exit status; the
  // output is kept in out_ and err_.
  int Validate();
  int Create(const std::vector<std::string>& extra = {});
  // Any command line of the tool.
  int Run(const std::vector<std::string>& args);

  // Runs `sql` on the new project's database.
  Rows Query(const std::string& sql) const;
  std::string QueryOne(const std::string& sql) const;
  // "ok" when the database is intact.
  std::string IntegrityCheck() const;
  // True when a run left nothing: no project folder (the checks before a
  // run find what would stop it).
  bool NothingWritten() const { return !std::filesystem::exists(ProjectFolder()); }

  // Every file below the scratch folder except the project folder, with
  // its bytes (links as "-> target"): taken before a run and compared
  // after it, it shows whether the run wrote anywhere but the project
  // folder.
  std::map<std::string, std::string> SnapshotOutsideProject() const;

  std::filesystem::path scratch_;
  std::string out_, err_;
};

}  // namespace vl::hostile
