// Baselines whose parts do not fit together: package files that refer to
// each other in a cycle, one GUID used by two objects, truncated and
// missing files. Every run ends and says why it stopped; what the checks
// before it find leaves nothing written, any other run an intact database.
#include <pthread.h>

#include <functional>

#include "hostile_fixture.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

class BrokenStructureTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    Generate();
  }

  std::string RootGuid() {
    std::string file = RootPackageFile();
    return file.substr(0, file.size() - 4);
  }
  // Makes the package file `file` list `guid` as a child package.
  void AddChildPackage(const std::string& file, const std::string& guid) {
    EditXml(file, [&](pugi::xml_document& doc) {
      pugi::xml_node pkg = doc.select_node("//PROJECT/Pkg").node();
      pugi::xml_node pkgs = pkg.child("Pkgs") ? pkg.child("Pkgs") : pkg.append_child("Pkgs");
      pkgs.append_child("Pkg").append_child("GUID").text().set(guid.c_str());
    });
  }
  // A baseline refused before the run: exit 1, a message, nothing written.
  void ExpectStoppedWithMessage() {
    EXPECT_EQ(Create(), 1);
    EXPECT_NE(err_.find_first_not_of(" \n"), std::string::npos);
    EXPECT_TRUE(NothingWritten());
  }
};

TEST_F(BrokenStructureTest, PackageCyclesStopTheWalk) {
  // Another package listing the root as its child, and the root itself.
  for (bool self : {false, true}) {
    SCOPED_TRACE(self ? "own child" : "cycle");
    Generate();
    AddChildPackage(self ? RootPackageFile() : ChildPackageFile(), RootGuid());
    ExpectStoppedWithMessage();
    EXPECT_NE(err_.find(RootGuid()), std::string::npos) << err_;
  }
}

TEST_F(BrokenStructureTest, TwoRequirementsWithOneGuidAreBothCopiedAndTheFirstKeepsTheGuid) {
  std::string shared, firstText;
  EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
    pugi::xpath_node_set reqs = doc.select_nodes("//Req");
    ASSERT_GE(reqs.size(), 2u);
    shared = reqs[0].node().child("GUID").text().get();
    firstText = reqs[0].node().child("RText").text().get();
    reqs[1].node().child("GUID").text().set(shared.c_str());
  });
  ASSERT_EQ(Create(), 0) << err_;
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM vlRequirements"), "10");
  pugi::xml_document map;
  ASSERT_TRUE(map.load_file((fs::path(ProjectFolder()) / "ReqGUIDMap.xml").c_str()));
  EXPECT_EQ(map.select_nodes("/PROJECT/GUID").size(), 9u);
  // The first of the two in the package walk is the one the map names.
  EXPECT_EQ(QueryOne("SELECT REQUIREMENTTEXT FROM vlRequirements WHERE VLGUID = '" +
                     NewRequirementGuid(shared) + "'"),
            firstText);
}

TEST_F(BrokenStructureTest, GuidsSharedAcrossKindsOfObjectsLeaveAnIntactDatabase) {
  // An attribute and a requirement type, and a package and a requirement,
  // share their GUIDs.
  std::string requirement;
  EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
    requirement = doc.select_node("//Req/GUID").node().text().get();
  });
  EditXml("ProjectStructure.XML", [](pugi::xml_document& doc) {
    std::string attr = doc.select_node("//Attribute/@ID").attribute().value();
    doc.select_node("//RequirementType/@GUID").attribute().set_value(attr.c_str());
  });
  EditXml("PackageList.XML", [&](pugi::xml_document& doc) {
    doc.select_node("//Pkg[@ParentID!='0']")
        .node()
        .attribute("GUID")
        .set_value(requirement.c_str());
  });
  const int status = Create();
  EXPECT_TRUE(status == 0 || !err_.empty());
  EXPECT_EQ(IntegrityCheck(), "ok");
}

TEST_F(BrokenStructureTest, TruncatedAndMissingFilesStopTheRunWithAMessage) {
  for (const char* name : {"ProjectUserGroups.XML", "ProjectStructure.XML", "QueryDefs.XML",
                           "Discussions.XML", "Permissions.XML", "PackageList.XML"}) {
    SCOPED_TRACE(name);
    Generate();
    const std::string bytes = ReadAll(BaselineFile(name));
    WriteBaselineFile(name, bytes.substr(0, bytes.size() / 2));
    ExpectStoppedWithMessage();
    EXPECT_NE(err_.find(name), std::string::npos) << err_;
  }
  Generate();
  fs::remove(BaselineFile(ChildPackageFile()));
  ExpectStoppedWithMessage();
}

TEST_F(BrokenStructureTest, WrongTypesAndHugeNumbersAreReadAsMissing) {
  EditXml(RootPackageFile(), [](pugi::xml_document& doc) {
    for (const char* path : {"//Req/Tag", "//Req/LCTag", "//Req/Flags", "//Doc/FileSize",
                             "//Doc/ItemLabel", "//RVer/VNum"}) {
      int i = 0;
      for (pugi::xpath_node n : doc.select_nodes(path)) {
        static const char* const values[] = {
            "99999999999999999999", "-2147483649", "1e309", "abc", "", "NaN", "32768"};
        n.node().text().set(values[i++ % 7]);
      }
    }
    for (pugi::xpath_node n : doc.select_nodes("//RVer/VDate")) n.node().text().set("13/45/2003");
  });
  const int status = Create();
  EXPECT_EQ(IntegrityCheck(), "ok");
  EXPECT_TRUE(status == 0 || !err_.empty());
}

// Runs `body` on a thread with a stack of `bytes`: a walk that recursed
// once per level of a deep structure runs out of it long before the
// structure ends.
void OnSmallStack(size_t bytes, const std::function<void()>& body) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, bytes);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST_F(BrokenStructureTest, AChainOfThousandsOfPackagesIsWalkedWithoutRecursion) {
  gen::Options o = SmallBaseline();
  o.packages = 3000;
  o.depth = 2999;  // each package below the one before
  o.docs_per_package = 0;
  o.views_per_package = 0;
  Generate(o);
  int status = -1;
  OnSmallStack(512 * 1024, [&] { status = Create(); });
  EXPECT_EQ(status, 0) << err_;
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM vlPackages"), "3000");
}

}  // namespace
}  // namespace vl::hostile
