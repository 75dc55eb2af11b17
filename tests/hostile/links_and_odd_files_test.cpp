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

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class LinksAndOddFilesTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    Generate();
    std::ofstream(Outside() + "/secret.txt") << "TOP-SECRET-CONTENT";
  }

  // The file name (without ".DOC") of the first document of the root
  // package.
  std::string FirstDocumentName() {
    pugi::xml_document doc;
    doc.load_file(BaselineFile(RootPackageFile()).c_str());
    return doc.select_node("//Docs/Doc/FileName").node().text().get();
  }
  std::string FirstDocumentExtension() {
    pugi::xml_document doc;
    doc.load_file(BaselineFile(RootPackageFile()).c_str());
    return doc.select_node("//Docs/Doc/FileExtension").node().text().get();
  }
  void Replace(const std::string& name, const std::function<void(const fs::path&)>& make) {
    const fs::path path = BaselineFile(name);
    fs::remove_all(path);
    make(path);
  }
};

TEST_F(LinksAndOddFilesTest, ABaselineFileLinkedToAFileOutsideIsNotRead) {
  // A valid Project.xml, but outside the baseline.
  fs::copy_file(BaselineFile("Project.xml"), Outside() + "/Project.xml");
  EditXml("Project.xml", [](pugi::xml_document&) {});
  std::string outside = ReadAll(Outside() + "/Project.xml");
  std::ofstream(Outside() + "/Project.xml", std::ios::trunc)
      << std::string(outside).replace(outside.find("Name=\""), 6, "Name=\"STOLEN ");
  Replace("Project.xml",
          [&](const fs::path& p) { fs::create_symlink(Outside() + "/Project.xml", p); });

  EXPECT_EQ(Validate(), 1);
  EXPECT_NE(err_.find("Project.xml"), std::string::npos) << err_;
  EXPECT_EQ(out_.find("STOLEN"), std::string::npos);
}

TEST_F(LinksAndOddFilesTest, LinksThatStayInsideTheBaselineAreFollowed) {
  fs::create_directories(BaselineFile("parts"));
  fs::rename(BaselineFile("Project.xml"), BaselineFile("parts/Project.xml"));
  fs::create_symlink("parts/Project.xml", BaselineFile("Project.xml"));
  EXPECT_EQ(Validate(), 0) << err_;
  EXPECT_EQ(Create(), 0) << err_;
}

TEST_F(LinksAndOddFilesTest, DanglingAndSelfReferringLinksCountAsMissing) {
  Replace("ExternalProjects.xml", [](const fs::path& p) { fs::create_symlink("nowhere.xml", p); });
  EXPECT_EQ(Validate(), 1);
  EXPECT_NE(err_.find("ExternalProjects.xml"), std::string::npos) << err_;

  Generate();
  Replace("ExternalProjects.xml", [](const fs::path& p) { fs::create_symlink(p.filename(), p); });
  EXPECT_EQ(Validate(), 1);
  EXPECT_NE(err_.find("ExternalProjects.xml"), std::string::npos) << err_;
}

TEST_F(LinksAndOddFilesTest, APackageFileLinkedOutsideIsNotRead) {
  const std::string package = ChildPackageFile();
  fs::copy_file(BaselineFile(package), Outside() + "/stolen.XML");
  std::string xml = ReadAll(Outside() + "/stolen.XML");
  const size_t name = xml.find("<PkgName>") + 9;
  std::ofstream(Outside() + "/stolen.XML", std::ios::trunc) << xml.insert(name, "STOLEN ");
  Replace(package, [&](const fs::path& p) { fs::create_symlink(Outside() + "/stolen.XML", p); });

  EXPECT_EQ(Create(), 1);
  EXPECT_FALSE(err_.empty());
  EXPECT_TRUE(NothingWritten());
}

TEST_F(LinksAndOddFilesTest, ADocumentFileLinkedOutsideIsNotCopied) {
  const std::string document = FirstDocumentName();
  Replace(document + ".DOC",
          [&](const fs::path& p) { fs::create_symlink(Outside() + "/secret.txt", p); });

  EXPECT_EQ(Create(), 1);
  EXPECT_NE(err_.find(document), std::string::npos) << err_;
  EXPECT_TRUE(NothingWritten());
}

TEST_F(LinksAndOddFilesTest, ADocumentFileThatIsAFolderOrAPipeStopsTheRunWithAMessage) {
  const std::string document = FirstDocumentName();
  Replace(document + ".DOC", [](const fs::path& p) { fs::create_directories(p / "inside"); });
  EXPECT_EQ(Create(), 1);
  EXPECT_NE(err_.find(document), std::string::npos) << err_;
  EXPECT_TRUE(NothingWritten());

  // A pipe would block a reader forever.
  fs::remove_all(ProjectFolder());
  Replace(document + ".DOC", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); });
  EXPECT_EQ(Create(), 1);
  EXPECT_NE(err_.find(document), std::string::npos) << err_;
}

TEST_F(LinksAndOddFilesTest, ABaselineFileThatIsAFolderReadsAsMissing) {
  Replace("ProjectStructure.XML", [](const fs::path& p) { fs::create_directories(p); });
  EXPECT_EQ(Create(), 1);
  EXPECT_NE(err_.find("ProjectStructure.XML"), std::string::npos) << err_;
  EXPECT_TRUE(NothingWritten());
}

TEST_F(LinksAndOddFilesTest, ALinkWaitingInTheProjectFolderIsReplacedNotFollowed) {
  std::ofstream(Outside() + "/victim.txt") << "must stay";
  fs::create_directories(ProjectFolder());
  const std::string copy = FirstDocumentName() + "." + FirstDocumentExtension();
  fs::create_symlink(Outside() + "/victim.txt", fs::path(ProjectFolder()) / copy);

  EXPECT_EQ(Create(), 0) << err_;
  EXPECT_EQ(ReadAll(Outside() + "/victim.txt"), "must stay");
  EXPECT_FALSE(fs::is_symlink(fs::path(ProjectFolder()) / copy));
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
    EXPECT_FALSE(fs::exists(Db()));
  }
}

}  // namespace
}  // namespace vl::hostile
