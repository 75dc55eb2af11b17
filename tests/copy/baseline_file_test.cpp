#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "baseline/bl_proj_info.h"
#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

class BaselineFileTest : public testing::CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    goResource->SetString(11011, " does not hold the element ");
  }
  void Write(const std::string& name, const std::string& text) { WriteBaselineFile(name, text); }
};

TEST_F(BaselineFileTest, TheRootIsFoundWhateverTheCaseOfTheFileName) {
  Write("projectusergroups.xml", R"(<?xml version="1.0"?>
<PROJECT><Groups><Group ID="{G1}"><Name>Authors</Name><Description/></Group></Groups></PROJECT>)");
  pugi::xml_document doc;
  pugi::xml_node root = ctx().LoadBaselineFile(doc, "ProjectUserGroups.XML");
  ASSERT_TRUE(root);
  pugi::xml_node group = root.child("Groups").child("Group");
  EXPECT_EQ(ElementText(group, "Name"), "Authors");
  EXPECT_EQ(ElementText(group, "Description"), "");
  EXPECT_EQ(ElementText(group, "Missing"), "");
  EXPECT_TRUE(sink_.infos.empty());
}

TEST_F(BaselineFileTest, AMissingRootShowsFileTextAndElement) {
  Write("QueryDefs.XML", "<Other/>");
  Write("Broken.XML", "<PROJECT><Open></PROJECT>");
  pugi::xml_document doc;
  EXPECT_FALSE(ctx().LoadBaselineFile(doc, "QueryDefs.XML"));
  EXPECT_FALSE(ctx().LoadBaselineFile(doc, "Broken.XML"));
  EXPECT_FALSE(ctx().LoadBaselineFile(doc, "Discussions.XML"));  // no file at all
  EXPECT_EQ(sink_.infos,
            (std::vector<std::string>{"QueryDefs.XML does not hold the element PROJECT",
                                      "Broken.XML does not hold the element PROJECT",
                                      "Discussions.XML does not hold the element PROJECT"}));
}

}  // namespace
}  // namespace vl
