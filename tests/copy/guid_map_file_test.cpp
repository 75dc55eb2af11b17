#include "copy/guid_map_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "baseline/bl_proj_info.h"
#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "errors/vl_error.h"
#include "host/xml/xml_file.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

class GuidMapFileTest : public testing::CopyTest {
 protected:
  static std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const fs::path dir_{root_};
};

TEST_F(GuidMapFileTest, PairsFollowTheOrderTheyWereRecordedIn) {
  tables().gdictPSGUIDs.Add("{O3}", "{N3}");
  tables().gdictPSGUIDs.Add("{O1}", "{N1}");
  tables().gdictPSGUIDs.Add("{O2}", "{N2}");
  pugi::xml_document doc;
  BuildGUIDMapDocument(doc, "{BL}", "{NEWPROJ}", tables().gdictPSGUIDs);

  EXPECT_EQ(doc.first_child().type(), pugi::node_declaration);
  EXPECT_STREQ(doc.first_child().attribute("version").value(), "1.0");
  EXPECT_STREQ(doc.first_child().attribute("standalone").value(), "yes");
  EXPECT_FALSE(doc.first_child().attribute("encoding"));
  pugi::xml_node root = doc.child("PROJECT");
  EXPECT_STREQ(root.first_attribute().name(), "GUID");
  EXPECT_STREQ(root.first_attribute().value(), "{BL}");
  EXPECT_STREQ(root.first_attribute().next_attribute().name(), "NEWGUID");
  EXPECT_STREQ(root.attribute("NEWGUID").value(), "{NEWPROJ}");
  std::vector<std::string> seen;
  for (pugi::xml_node g : root.children()) {
    EXPECT_STREQ(g.name(), "GUID");
    EXPECT_STREQ(g.first_attribute().name(), "OLDGUID");
    seen.push_back(std::string(g.attribute("OLDGUID").value()) + "=" +
                   g.attribute("NEWGUID").value());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"{O3}={N3}", "{O1}={N1}", "{O2}={N2}"}));
}

TEST_F(GuidMapFileTest, AnEmptyMapIsABareRootAndGuidsOnlyLookedUpAreLeftOut) {
  ctx().TranslateGUID("{ONLY-LOOKED-UP}");
  ctx().IsReqGUIDTranslated("{REQ-ONLY-LOOKED-UP}");
  const std::string path = (dir_ / "ReqGUIDMap.xml").string();
  WriteGUIDMapFile(path, "{BL}", "{NEW}", tables().gdictReqGUIDs);
  pugi::xml_document back;
  ASSERT_TRUE(LoadXmlPath(back, path).ok);
  pugi::xml_node root = back.child("PROJECT");
  ASSERT_TRUE(root);
  EXPECT_STREQ(root.attribute("GUID").value(), "{BL}");
  EXPECT_STREQ(root.attribute("NEWGUID").value(), "{NEW}");
  EXPECT_FALSE(root.first_child());

  BuildGUIDMapDocument(back, "{BL}", "{NEW}", tables().gdictPSGUIDs);
  EXPECT_FALSE(back.child("PROJECT").first_child());
  pugi::xml_node r = StartGUIDMapDocument(back, "{BL}", "{NEW}");
  EXPECT_FALSE(AppendGUIDMapEntry(r, "{O}", ""));
  EXPECT_TRUE(AppendGUIDMapEntry(r, "{O}", "{N}"));
  EXPECT_EQ(std::distance(r.children().begin(), r.children().end()), 1);
}

TEST_F(GuidMapFileTest, ABigMapHasNoLimitAndReplacesTheOldFile) {
  const std::string path = (dir_ / "PSGUIDMap.xml").string();
  std::ofstream(path) << "<PROJECT GUID=\"old\"/>";
  for (int i = 0; i < 40000; ++i) tables().gdictPSGUIDs.Add("{O" + std::to_string(i) + "}", GenerateGUID());
  WriteGUIDMapFile(path, "{BL}", "{NEW}", tables().gdictPSGUIDs);

  pugi::xml_document back;
  ASSERT_TRUE(LoadXmlPath(back, path).ok);
  pugi::xml_node root = back.child("PROJECT");
  EXPECT_STREQ(root.attribute("GUID").value(), "{BL}");
  size_t n = 0;
  for (pugi::xml_node g : root.children("GUID")) {
    ASSERT_EQ(std::string(g.attribute("OLDGUID").value()), "{O" + std::to_string(n) + "}");
    ++n;
  }
  EXPECT_EQ(n, 40000u);
  EXPECT_EQ(ReadFile(path).rfind("<?xml version=\"1.0\" standalone=\"yes\"?>", 0), 0u);
}

TEST_F(GuidMapFileTest, TheFileHoldsExactlyTheTextOfTheWholeDocument) {
  // Old GUIDs come from baseline files and may hold anything.
  const std::vector<std::pair<std::string, std::string>> pairs = {{"{O1}", "{N1}"},
                                                                  {"a\"b&c<d>e'f", "{N2}"},
                                                                  {"tab\there\nline\r", "{N3}"},
                                                                  {"caf\xC3\xA9 \x01", "{N4}"},
                                                                  {"{SKIPPED}", ""},
                                                                  {"", "{N6}"}};
  for (int round = 0; round < 2; ++round) {
    tables().gdictReqGUIDs.Clear();
    // The second round writes more pairs than one small document holds.
    for (int i = 0; i < (round == 0 ? 1 : 2500); ++i)
      for (const auto& [o, n] : pairs)
        tables().gdictReqGUIDs.Add(o + std::to_string(i), n.empty() ? n : n + std::to_string(i));
    pugi::xml_document whole;
    BuildGUIDMapDocument(whole, "{BL\"&}", "{NEW}", tables().gdictReqGUIDs);
    const std::string path = (dir_ / "ReqGUIDMap.xml").string();
    WriteGUIDMapFile(path, "{BL\"&}", "{NEW}", tables().gdictReqGUIDs);
    EXPECT_EQ(ReadFile(path), XmlDocumentText(whole)) << "round " << round;
  }
  // Without pairs the root stands alone.
  tables().gdictReqGUIDs.Clear();
  tables().gdictReqGUIDs.Add("{ONLY}", "");
  const std::string path = (dir_ / "Bare.xml").string();
  WriteGUIDMapFile(path, "{BL}", "{NEW}", tables().gdictReqGUIDs);
  EXPECT_EQ(
      ReadFile(path),
      "<?xml version=\"1.0\" standalone=\"yes\"?>\n<PROJECT GUID=\"{BL}\" NEWGUID=\"{NEW}\" />\n");
}

TEST_F(GuidMapFileTest, AMapThatCannotBeWrittenNamesThePath) {
  const std::string path = (dir_ / "missing" / "PSGUIDMap.xml").string();
  try {
    WriteGUIDMapFile(path, "{BL}", "{NEW}", tables().gdictPSGUIDs);
    FAIL() << "no error";
  } catch (const VlError& e) {
    EXPECT_NE(e.description().find(path), std::string::npos);
  }
}

}  // namespace
}  // namespace vl
