#include "copy/guid_map_file.h"

#include <gtest/gtest.h>

#include <filesystem>

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

using GuidMapFileTest = testing::CopyTest;

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
  EXPECT_STREQ(root.attribute("GUID").value(), "{BL}");
  EXPECT_STREQ(root.attribute("NEWGUID").value(), "{NEWPROJ}");
  std::vector<std::string> seen;
  for (pugi::xml_node g : root.children("GUID")) {
    seen.push_back(std::string(g.attribute("OLDGUID").value()) + "=" +
                   g.attribute("NEWGUID").value());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"{O3}={N3}", "{O1}={N1}", "{O2}={N2}"}));
}

TEST_F(GuidMapFileTest, AMapThatCannotBeWrittenNamesThePath) {
  const std::string path = (root_ / "missing" / "PSGUIDMap.xml").string();
  try {
    WriteGUIDMapFile(path, "{BL}", "{NEW}", tables().gdictPSGUIDs);
    FAIL() << "no error";
  } catch (const VlError& e) {
    EXPECT_NE(e.description().find(path), std::string::npos);
  }
}

}  // namespace
}  // namespace vl
