#include "host/project/new_project_definition.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "errors/vl_error.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

class NewProjectDefinitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    def_ = ProjectDefinitionFactory().CreateDefinition();
    def_->SetProjectName("Alpha");
    def_->SetProjectFolder(folder_.path() + "/Alpha");
    def_->SetDBType(kSQLiteDisplayName);
    def_->GetConnection().SetDriver(kSQLiteDriver);
  }

  // The description of the error ValidateDefinition raises, or "" when none.
  std::string ValidationError() const {
    try {
      def_->ValidateDefinition();
      return "";
    } catch (const VlError& e) {
      EXPECT_NE(e.number(), 0);
      EXPECT_FALSE(e.description().empty());
      return e.description();
    }
  }

  testing::ScratchFolder folder_;
  std::unique_ptr<NewProjectDefinition> def_;
};

TEST_F(NewProjectDefinitionTest, RejectsNamesThatCannotBeFileNames) {
  for (std::string bad : {std::string(""), std::string("a/b"), std::string("a\0b", 3),
                          std::string("."), std::string(".."), std::string(252, 'n')}) {
    def_->SetProjectName(bad);
    EXPECT_NE(ValidationError(), "") << "name of " << bad.size() << " bytes";
  }
  def_->SetProjectName(std::string(251, 'n'));  // with ".vlp" just fits
  EXPECT_EQ(ValidationError(), "");
  def_->SetProjectName("a/b");
  EXPECT_NE(ValidationError().find("a/b"), std::string::npos);
}

TEST_F(NewProjectDefinitionTest, RejectsBadFoldersAndUnknownDatabaseTypes) {
  def_->SetProjectFolder("");
  EXPECT_NE(ValidationError(), "");
  std::string file = folder_.Write("plain.txt", "not a folder");
  def_->SetProjectFolder(file);
  EXPECT_NE(ValidationError().find(file), std::string::npos);
  def_->SetProjectFolder(folder_.path());  // an existing folder will do
  for (const char* bad : {"", "MS Access", "sqlite", "SQL Server"}) {
    def_->SetDBType(bad);
    EXPECT_NE(ValidationError(), "") << bad;
  }
  def_->SetDBType(kPostgreSQLDisplayName);
  EXPECT_EQ(ValidationError(), "");
}

TEST_F(NewProjectDefinitionTest, PrepareValidatesCreatesNothingAndMarksTheDefinition) {
  EXPECT_FALSE(def_->IsPrepared());
  def_->PrepareNewProject();
  EXPECT_TRUE(def_->IsPrepared());
  EXPECT_FALSE(std::filesystem::exists(folder_.path() + "/Alpha"));
  // Changing what names the project takes the mark away.
  def_->SetProjectName("Beta");
  EXPECT_FALSE(def_->IsPrepared());
  def_->PrepareNewProject();
  def_->SetDBType("Nothing");
  EXPECT_FALSE(def_->IsPrepared());
  EXPECT_THROW(def_->PrepareNewProject(), VlError);
  EXPECT_FALSE(def_->IsPrepared());
  // A description is no part of the name; a failed prepare clears the mark.
  def_->SetDBType(kSQLiteDisplayName);
  def_->SetProjectName("Alpha");
  def_->PrepareNewProject();
  def_->SetProjectDescription("only the description changes");
  EXPECT_TRUE(def_->IsPrepared());
  folder_.Write("Alpha", "a file where the folder should be");
  EXPECT_THROW(def_->PrepareNewProject(), VlError);
  EXPECT_FALSE(def_->IsPrepared());
}

}  // namespace
}  // namespace vl
