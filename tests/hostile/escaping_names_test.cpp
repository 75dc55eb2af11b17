// Names from the baseline that would lead out of the baseline folder or
// the project folder: package GUIDs (they name package files) and
// document file names with "/", "..", a NUL, a backslash or an absolute
// path, or naming one of the project's own files. Nothing outside the two
// folders is read or written; the tool stops before the run with a
// message naming what it refused.
#include <fstream>

#include "hostile_fixture.h"
#include "support/scoped_env.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

class EscapingNamesTest : public HostileTest {
 protected:
  void SetUp() override { Generate(); }
  // A fresh baseline with the bait an escaping name would reach outside:
  // a package file and a document file.
  void Bait() {
    Generate();
    fs::copy_file(BaselineFile(ChildPackageFile()), Outside() + "/stolen.XML",
                  fs::copy_options::overwrite_existing);
    std::ofstream(Outside() + "/secret.DOC") << "TOP-SECRET-CONTENT";
    std::ofstream(Outside() + "/victim.txt") << "must stay";
  }
  // Runs and checks what every refused name must leave: a run refused
  // before it began, that said why, and nothing written anywhere.
  void ExpectRefused(const std::string& shownName) {
    const auto before = SnapshotOutsideProject();
    EXPECT_EQ(Create(), 1) << err_;
    EXPECT_NE(err_.find(shownName), std::string::npos) << err_;
    EXPECT_EQ(SnapshotOutsideProject(), before);
    EXPECT_TRUE(NothingWritten());
  }
};

TEST_F(EscapingNamesTest, PackageGuidsThatNameAnotherFolderAreRefused) {
  // The root's GUID in the package list, or a child's in the root's file;
  // at a NUL the parser ends the text, and what remains names no file.
  const struct {
    bool root;
    std::string guid, written, shown;
  } cases[] = {{true, "../outside/stolen", "", "../outside/stolen"},
               {false, Outside() + "/stolen", "", Outside() + "/stolen"},
               {false, "..", "", ".."},
               {false, "..\\outside\\stolen", "", "..\\outside\\stolen"},
               {false, "{X}", "{X}&#0;/../../outside/stolen", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.guid + c.written);
    Bait();
    if (c.root)
      EditXml("PackageList.XML", [&](pugi::xml_document& doc) {
        doc.select_node("//Pkg[@ParentID='0']/@GUID").attribute().set_value(c.guid.c_str());
      });
    else
      EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
        doc.select_node("//Pkgs/Pkg/GUID").node().text().set(c.guid.c_str());
      });
    if (!c.written.empty()) {
      std::string xml = ReadBytes(BaselineFile(RootPackageFile()));
      WriteBaselineFile(RootPackageFile(), xml.replace(xml.find(c.guid), c.guid.size(), c.written));
    }
    ExpectRefused(c.shown);
  }
}

TEST_F(EscapingNamesTest, DocumentFilesStayInTheirFoldersAndOffTheProjectsOwnFiles) {
  // The project goes into "proj": its own files are proj.vlp, proj.db and
  // the files beside them.
  const struct {
    std::string name, extension;
    bool own;                                        // one of the project's own files, else a path
  } cases[] = {{"../outside/secret", "txt", false},  // read from outside the baseline
               {Outside() + "/secret", "txt", false},          // the same by an absolute path
               {"Vision", "../../outside/victim.txt", false},  // written outside the project
               {"Vision", "/../../outside/victim", false},     // the same through the extension
               {"..", "DOC", false},                           // the folder above
               {"..\\outside\\secret", "txt", false},          // a path from another system
               {"proj", "db", true},
               {"proj", "vlp", true},
               {"PROJ", "DB-wal", true},
               {"proj", "db-journal", true},
               {"PSGUIDMap", "xml", true},
               {"unresviews", "XML", true},
               {".vlbaseline-run", "x", true},
               {"proj.BLProjCreateResults.261207", "html", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name + " . " + c.extension);
    Bait();
    if (c.own)
      fs::copy_file(BaselineFile(FirstDocument().first + ".DOC"), BaselineFile(c.name + ".DOC"),
                    fs::copy_options::overwrite_existing);
    EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
      pugi::xml_node d = doc.select_node("//Docs/Doc").node();
      d.child("FileName").text().set(c.name.c_str());
      d.child("FileExtension").text().set(c.extension.c_str());
    });
    ExpectRefused(c.own ? c.name + "." + c.extension : c.name);
  }
  EXPECT_EQ(ReadBytes(Outside() + "/victim.txt"), "must stay");
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
