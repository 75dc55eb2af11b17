#include "host/project/settings_file.h"

#include <gtest/gtest.h>

#include "support/scratch_folder.h"

namespace vl {
namespace {

std::vector<std::string> Names(const SettingsSection& s) {
  std::vector<std::string> names;
  for (const SettingsEntry& e : s.GetValue()) names.push_back(e.GetName() + "=" + e.GetValue());
  return names;
}

TEST(SettingsFileTest, KeepsSectionsAndEntriesInFileOrder) {
  auto file = SettingsFile::Parse(R"([Enterprise Drivers]
Zeta=Z Driver
Alpha=A Driver
[Other]
b=2
a=1
)");
  ASSERT_EQ(file->sections().size(), 2u);
  EXPECT_EQ(file->sections()[0].GetName(), "Enterprise Drivers");
  EXPECT_EQ(file->sections()[1].GetName(), "Other");
  EXPECT_EQ(Names(file->sections()[0]),
            (std::vector<std::string>{"Zeta=Z Driver", "Alpha=A Driver"}));
  EXPECT_EQ(Names(file->sections()[1]), (std::vector<std::string>{"b=2", "a=1"}));
}

TEST(SettingsFileTest, IgnoresBlankAndCommentLinesAndTrimsNamesAndValues) {
  auto file = SettingsFile::Parse(
      "; leading comment\n"
      "\n"
      "  [ Section One ]  \n"
      "   # another comment\n"
      "\t name \t=   value with  inner blanks  \n"
      "not an entry\n"
      "url = a=b=c\n"
      "empty =\n");
  const SettingsSection* s = file->GetSection("Section One");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Names(*s),
            (std::vector<std::string>{"name=value with  inner blanks", "url=a=b=c", "empty="}));
}

TEST(SettingsFileTest, LooksUpSectionsAndEntriesWithoutCase) {
  auto file = SettingsFile::Parse(
      "[4.0/Preferences]\nEnterpriseDatabaseCreation=0\nenterprisedatabasecreation=1\n");
  const SettingsSection* s = file->GetSection("4.0/preferences");
  ASSERT_NE(s, nullptr);
  const std::string* v = s->Find("ENTERPRISEDATABASECREATION");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(*v, "0");                   // the first entry of a name wins
  EXPECT_EQ(s->GetValue().size(), 2u);  // both stay visible to whoever walks the entries
  EXPECT_EQ(s->Find("Missing"), nullptr);
  EXPECT_EQ(file->GetSection("4.0"), nullptr);
}

TEST(SettingsFileTest, ToleratesByteOrderMarkAndCrLf) {
  auto file = SettingsFile::Parse("\xEF\xBB\xBF[Strings]\r\n200=Title\r\n\r\n201=Caf\xC3\xA9\r\n");
  const SettingsSection* s = file->GetSection("Strings");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Names(*s), (std::vector<std::string>{"200=Title", "201=Caf\xC3\xA9"}));
}

TEST(SettingsFileTest, JoinsARepeatedSectionAndKeepsEntriesBeforeAnyHeader) {
  auto file = SettingsFile::Parse("loose=1\n[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n");
  ASSERT_EQ(file->sections().size(), 3u);
  ASSERT_NE(file->GetSection(""), nullptr);
  EXPECT_EQ(*file->GetSection("")->Find("loose"), "1");
  EXPECT_EQ(Names(*file->GetSection("A")), (std::vector<std::string>{"x=1", "z=3"}));
}

TEST(SettingsFileTest, OpenGivesNothingForMissingFilesAndFolders) {
  auto empty = SettingsFile::Parse("");
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->sections().empty());
  testing::ScratchFolder dir;
  EXPECT_EQ(SettingsFile::OpenSettingsFile(dir.path() + "/missing.dat"), nullptr);
  EXPECT_EQ(SettingsFile::OpenSettingsFile(dir.path()), nullptr);
  std::string path = dir.Write("DB Drivers.dat", "[Enterprise Drivers]\nPostgreSQL=PostgreSQL\n");
  auto file = SettingsFile::OpenSettingsFile(path);
  ASSERT_NE(file, nullptr);
  ASSERT_NE(file->GetSection("Enterprise Drivers"), nullptr);
  EXPECT_EQ(*file->GetSection("Enterprise Drivers")->Find("PostgreSQL"), "PostgreSQL");
}

}  // namespace
}  // namespace vl
