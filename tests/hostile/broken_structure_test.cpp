// Baselines whose parts do not fit together: one GUID used by two
// requirements, truncated and missing files, a chain of packages deeper
// than a recursion could go. (Package cycles are among the command line's
// damaged baselines; wrong types, huge numbers and GUIDs shared across
// kinds of objects are the fuzz targets' daily fare.) Every run ends and
// says why it stopped; what the checks before it find leaves nothing
// written, any other run an intact database.
#include <pthread.h>

#include <functional>

#include "hostile_fixture.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

class BrokenStructureTest : public HostileTest {
 protected:
  void SetUp() override { Generate(); }

  // A baseline refused before the run: exit 1, a message, nothing written.
  void ExpectStoppedWithMessage() {
    EXPECT_EQ(Create(), 1);
    EXPECT_NE(err_.find_first_not_of(" \n"), std::string::npos);
    EXPECT_TRUE(NothingWritten());
  }
};

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
  ASSERT_TRUE(map.load_file((ProjectFolder() + "/ReqGUIDMap.xml").c_str()));
  EXPECT_EQ(map.select_nodes("/PROJECT/GUID").size(), 9u);
  // The first of the two in the package walk is the one the map names.
  const std::string mapped = Select(ProjectFolder() + "/ReqGUIDMap.xml",
                                    "/PROJECT/GUID[@OLDGUID='" + shared + "']/@NEWGUID");
  EXPECT_EQ(QueryOne("SELECT REQUIREMENTTEXT FROM vlRequirements WHERE VLGUID = '" + mapped + "'"),
            firstText);
}

TEST_F(BrokenStructureTest, TruncatedAndMissingFilesStopTheRunWithAMessage) {
  for (const char* name : {"ProjectUserGroups.XML", "ProjectStructure.XML", "QueryDefs.XML",
                           "Discussions.XML", "Permissions.XML", "PackageList.XML"}) {
    SCOPED_TRACE(name);
    Generate();
    const std::string bytes = ReadBytes(BaselineFile(name));
    WriteBaselineFile(name, bytes.substr(0, bytes.size() / 2));
    ExpectStoppedWithMessage();
    EXPECT_NE(err_.find(name), std::string::npos) << err_;
  }
  Generate();
  fs::remove(BaselineFile(ChildPackageFile()));
  ExpectStoppedWithMessage();
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
  o.packages = 3000, o.depth = 2999;  // each package below the one before
  o.docs_per_package = 0, o.views_per_package = 0;
  Generate(o);
  int status = -1;
  OnSmallStack(512 * 1024, [&] { status = Create(); });
  EXPECT_EQ(status, 0) << err_;
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM vlPackages"), "3000");
}

}  // namespace
}  // namespace vl::hostile
