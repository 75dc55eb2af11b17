// Names from the baseline that would lead out of the baseline folder or
// the project folder: package GUIDs (they name package files) and
// document file names with "/", "..", a NUL, a backslash or an absolute
// path. Nothing outside the two folders is read or written; the tool
// stops before the run with a message naming what it refused.
#include <fstream>

#include "hostile_fixture.h"
#include "support/scoped_env.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

class EscapingNamesTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    Generate();
    // Bait: a package file and a document file outside the baseline that
    // an escaping name would reach.
    fs::copy_file(BaselineFile(ChildPackageFile()), Outside() + "/stolen.XML");
    std::ofstream(Outside() + "/secret.DOC") << "TOP-SECRET-CONTENT";
    std::ofstream(Outside() + "/victim.txt") << "must stay";
  }

  // Runs and checks what every refused name must leave: a run refused
  // before it began, that said why, and nothing written anywhere.
  void ExpectRefused(const std::string& shownName) {
    const auto before = SnapshotOutsideProject();
    EXPECT_EQ(Create(), 1) << err_;
    EXPECT_FALSE(err_.empty());
    EXPECT_NE(err_.find(shownName), std::string::npos) << err_;
    EXPECT_EQ(SnapshotOutsideProject(), before);
    EXPECT_TRUE(NothingWritten());
  }

  void SetRootPackageGuid(const std::string& guid) {
    EditXml("PackageList.XML", [&](pugi::xml_document& doc) {
      doc.select_node("//Pkg[@ParentID='0']").node().attribute("GUID").set_value(guid.c_str());
    });
  }
  void SetChildPackageGuid(const std::string& guid) {
    EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
      doc.select_node("//Pkgs/Pkg/GUID").node().text().set(guid.c_str());
    });
  }
  void SetDocumentFile(const std::string& name, const std::string& extension) {
    EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
      pugi::xml_node d = doc.select_node("//Docs/Doc").node();
      d.child("FileName").text().set(name.c_str());
      d.child("FileExtension").text().set(extension.c_str());
    });
  }
};

TEST_F(EscapingNamesTest, PackageGuidsThatNameAnotherFolderAreRefused) {
  const std::pair<bool, std::string> guids[] = {{true, "../outside/stolen"},
                                                {false, Outside() + "/stolen"},
                                                {false, ".."},
                                                {false, "..\\outside\\stolen"}};
  for (const auto& [root, guid] : guids) {
    SCOPED_TRACE(guid);
    Generate();
    if (root)
      SetRootPackageGuid(guid);
    else
      SetChildPackageGuid(guid);
    ExpectRefused(guid);
    fs::remove_all(ProjectFolder());
  }
}

TEST_F(EscapingNamesTest, ANulInAGuidEndsTheNameBeforeItCanClimbOut) {
  // The parser ends the text at the NUL: what remains names no file.
  SetChildPackageGuid("{X}");
  std::string xml = ReadAll(BaselineFile(RootPackageFile()));
  xml.replace(xml.find("{X}"), 3, "{X}&#0;/../../outside/stolen");
  WriteBaselineFile(RootPackageFile(), xml);
  ExpectRefused("");
}

TEST_F(EscapingNamesTest, DocumentFilesAreNeitherReadNorWrittenOutsideTheirFolders) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"../outside/secret", "txt"},            // read from outside the baseline
      {Outside() + "/secret", "txt"},          // the same by an absolute path
      {"Vision", "../../outside/victim.txt"},  // written outside the project
      {"Vision", "/../../outside/victim"},     // the same through the extension
      {"..", "DOC"},                           // the folder above
      {"..\\outside\\secret", "txt"}};         // a path from another system
  for (const auto& [name, extension] : names) {
    SCOPED_TRACE(name + " . " + extension);
    Generate();
    SetDocumentFile(name, extension);
    ExpectRefused(name);
    fs::remove_all(ProjectFolder());
  }
  EXPECT_EQ(ReadAll(Outside() + "/victim.txt"), "must stay");
}

TEST_F(EscapingNamesTest, DocumentFilesNeverTakeThePlaceOfTheProjectsOwnFiles) {
  // The project goes into "proj": its own files are proj.vlp, proj.db and
  // the files beside them.
  const std::vector<std::pair<std::string, std::string>> names = {
      {"proj", "db"},           {"proj", "vlp"},
      {"PROJ", "DB-wal"},       {"proj", "db-journal"},
      {"PSGUIDMap", "xml"},     {"unresviews", "XML"},
      {".vlbaseline-run", "x"}, {"proj.BLProjCreateResults.261207", "html"}};
  for (const auto& [name, extension] : names) {
    SCOPED_TRACE(name + " . " + extension);
    Generate();
    fs::copy_file(BaselineFile(FirstDocument().first + ".DOC"), BaselineFile(name + ".DOC"),
                  fs::copy_options::overwrite_existing);
    SetDocumentFile(name, extension);
    ExpectRefused(name + "." + extension);
    fs::remove_all(ProjectFolder());
  }
}

TEST_F(EscapingNamesTest, AProjectFolderInsideTheBaselineIsRefusedAndTheBaselineStays) {
  for (const std::string& folder : {Baseline(), Baseline() + "/inner", Baseline() + "/x/.."}) {
    SCOPED_TRACE(folder);
    const auto before = SnapshotOutsideProject();
    EXPECT_EQ(Run({"create", Baseline(), "--folder", folder, "--all", "--yes"}), 2) << err_;
    EXPECT_EQ(SnapshotOutsideProject(), before);
  }
}

TEST_F(EscapingNamesTest, TheBaselineProjectNameCannotSteerTheDefaultProjectFolder) {
  // Without --folder the new project goes into a folder named after the
  // baseline project, below the current folder (no installation here).
  EditXml("Project.xml", [](pugi::xml_document& doc) {
    doc.child("Project").attribute("Name").set_value("../../escaped");
  });
  const fs::path cwd = scratch_ / "work" / "here";
  fs::create_directories(cwd);
  fs::create_directories(scratch_ / "xdg");
  testing::ScopedEnv config("XDG_CONFIG_DIRS", (scratch_ / "xdg").string());
  const fs::path before = fs::current_path();
  fs::current_path(cwd);
  // The name itself cannot name a project; the default folder must not
  // have led anywhere before that was found out.
  const int refused = Run({"create", Baseline(), "--all", "--yes"});
  const std::string refusal = err_;
  const int renamed = Run({"create", Baseline(), "--all", "--yes", "--name", "Renamed"});
  fs::current_path(before);

  EXPECT_EQ(refused, 1);
  EXPECT_NE(refusal.find("../../escaped"), std::string::npos) << refusal;
  EXPECT_EQ(renamed, 0) << err_;
  EXPECT_TRUE(fs::exists(cwd / "Renamed" / "Renamed.vlp"));
  EXPECT_FALSE(fs::exists(scratch_ / "escaped"));
  EXPECT_FALSE(fs::exists(scratch_ / "work" / "escaped"));
}

}  // namespace
}  // namespace vl::hostile
