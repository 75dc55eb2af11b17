// Entries of a baseline folder that are not what their names say:
// symbolic links pointing out of the folder (or nowhere, or at
// themselves), a document file that is a folder or a pipe, and a link
// waiting in the project folder where a document copy will go.
#include <sys/stat.h>

#include <fstream>

#include "hostile_fixture.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

using Make = std::function<void(const fs::path&)>;

class LinksAndOddFilesTest : public HostileTest {
 protected:
  void SetUp() override { Generate(); }

  // The baseline entry `name` made by `make`, or (no `make`) a link to a
  // copy outside the baseline with "STOLEN " put after `marker`.
  void Replace(const std::string& name, const Make& make, const std::string& marker = "") {
    const fs::path path = BaselineFile(name), stolen = Outside() + "/stolen-" + name;
    std::string xml = ReadBytes(path);
    if (!make) std::ofstream(stolen) << xml.insert(xml.find(marker) + marker.size(), "STOLEN ");
    fs::remove_all(path);
    make ? make(path) : fs::create_symlink(stolen, path);
  }
};

TEST_F(LinksAndOddFilesTest, BaselineFilesLinkedOutsideOrNowhereAreNotRead) {
  const struct {
    const char* name;
    Make make;
  } cases[] = {
      {"Project.xml", {}},  // a valid file, but outside the baseline
      {"ExternalProjects.xml", [](const fs::path& p) { fs::create_symlink("nowhere.xml", p); }},
      {"ExternalProjects.xml", [](const fs::path& p) { fs::create_symlink(p.filename(), p); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Generate();
    Replace(c.name, c.make, "Name=\"");
    EXPECT_EQ(Validate(), 1);
    EXPECT_NE(err_.find(c.name), std::string::npos) << err_;
    EXPECT_EQ(out_.find("STOLEN"), std::string::npos);
  }
}

TEST_F(LinksAndOddFilesTest, LinksThatStayInsideTheBaselineAreFollowed) {
  fs::create_directories(BaselineFile("parts"));
  fs::rename(BaselineFile("Project.xml"), BaselineFile("parts/Project.xml"));
  fs::create_symlink("parts/Project.xml", BaselineFile("Project.xml"));
  EXPECT_EQ(Validate(), 0) << err_;
  EXPECT_EQ(Create(), 0) << err_;
}

// Each stops the run before it begins with a message naming the file.
TEST_F(LinksAndOddFilesTest, OddEntriesInTheBaselineStopTheRunWithAMessage) {
  const std::string secret = Outside() + "/secret.txt";
  std::ofstream(secret) << "TOP-SECRET-CONTENT";
  const struct {
    std::string file, shown;
    Make make;
  } cases[] = {
      {"document linked outside", "", [&](const fs::path& p) { fs::create_symlink(secret, p); }},
      {"document that is a folder", "",
       [](const fs::path& p) { fs::create_directories(p / "inside"); }},
      // A pipe would block a reader forever.
      {"document that is a pipe", "",
       [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
      {"ProjectStructure.XML", "ProjectStructure.XML",
       [](const fs::path& p) { fs::create_directories(p); }},
      {"package linked outside", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Generate();
    const bool document = c.file.starts_with("document");
    const std::string name = document ? FirstDocument().first + ".DOC"
                             : c.make ? c.file
                                      : ChildPackageFile();
    Replace(name, c.make, "<PkgName>");
    EXPECT_EQ(Create(), 1);
    EXPECT_NE(err_.find(document ? FirstDocument().first : c.shown), std::string::npos) << err_;
    EXPECT_FALSE(err_.empty());
    EXPECT_TRUE(NothingWritten());
  }
}

TEST_F(LinksAndOddFilesTest, ALinkWaitingInTheProjectFolderIsReplacedNotFollowed) {
  std::ofstream(Outside() + "/victim.txt") << "must stay";
  fs::create_directories(ProjectFolder());
  const auto [name, extension] = FirstDocument();
  const fs::path copy = fs::path(ProjectFolder()) / (name + "." + extension);
  fs::create_symlink(Outside() + "/victim.txt", copy);

  EXPECT_EQ(Create(), 0) << err_;
  EXPECT_EQ(ReadBytes(Outside() + "/victim.txt"), "must stay");
  EXPECT_FALSE(fs::is_symlink(copy));
}

// Any entry named like a file the run writes, a link leading nowhere
// included, makes the place unusable: nothing is followed or written.
TEST_F(LinksAndOddFilesTest, AnEntryNamedLikeTheProjectsOwnFilesRefusesThePlace) {
  for (const char* name : {"proj.db", "proj.vlp", "proj.db-wal", "proj.db-journal"}) {
    SCOPED_TRACE(name);
    fs::remove_all(ProjectFolder());
    fs::create_directories(ProjectFolder());
    fs::create_symlink(Outside() + "/planted", fs::path(ProjectFolder()) / name);
    EXPECT_EQ(Create(), 2) << err_;
    EXPECT_NE(err_.find(name), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(Outside() + "/planted"));
    EXPECT_FALSE(fs::exists(ProjectFolder() + "/proj.db"));
  }
}

}  // namespace
}  // namespace vl::hostile
