#include "host/project/settings_file.h"

#include <gtest/gtest.h>

#include "support/scratch_folder.h"

namespace vl {
namespace {

std::vector<std::string> Names(const SettingsSection* s) {
  std::vector<std::string> names;
  if (s)
    for (const SettingsEntry& e : s->GetValue()) names.push_back(e.GetName() + "=" + e.GetValue());
  return names;
}

// Sections and entries keep file order; blank and comment lines are
// skipped, names and values trimmed, a byte-order mark and CR LF line ends
// tolerated, a repeated section joined, entries before any header kept.
TEST(SettingsFileTest, ReadsSectionsAndEntriesInFileOrder) {
  auto file = SettingsFile::Parse(
      "\xEF\xBB\xBFloose=1\r\n; comment\n\n  [ Section One ]  \n   # comment\n"
      "\t name \t=   value with  inner blanks  \r\nnot an entry\nurl = a=b=c\nempty =\n"
      "[Other]\nb=2\na=1\n[section one]\nz=3\n");
  ASSERT_EQ(file->sections().size(), 3u);
  EXPECT_EQ(file->sections()[2].GetName(), "Other");
  EXPECT_EQ(Names(file->GetSection("")), std::vector<std::string>{"loose=1"});
  EXPECT_EQ(
      Names(file->GetSection("Section One")),
      (std::vector<std::string>{"name=value with  inner blanks", "url=a=b=c", "empty=", "z=3"}));
  EXPECT_EQ(Names(file->GetSection("Other")), (std::vector<std::string>{"b=2", "a=1"}));
}

TEST(SettingsFileTest, LooksUpSectionsAndEntriesWithoutCase) {
  auto file = SettingsFile::Parse(
      "[4.0/Preferences]\nEnterpriseDatabaseCreation=0\nenterprisedatabasecreation=1\n");
  const SettingsSection* s = file->GetSection("4.0/preferences");
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->Find("ENTERPRISEDATABASECREATION"), nullptr);
  EXPECT_EQ(*s->Find("ENTERPRISEDATABASECREATION"), "0");  // the first entry of a name wins
  EXPECT_EQ(s->GetValue().size(), 2u);  // both stay visible to whoever walks the entries
  EXPECT_EQ(s->Find("Missing"), nullptr);
  EXPECT_EQ(file->GetSection("4.0"), nullptr);
}

TEST(SettingsFileTest, OpenGivesNothingForMissingFilesAndFolders) {
  testing::ScratchFolder dir;
  EXPECT_EQ(SettingsFile::OpenSettingsFile(dir.path() + "/missing.dat"), nullptr);
  EXPECT_EQ(SettingsFile::OpenSettingsFile(dir.path()), nullptr);
  auto file = SettingsFile::OpenSettingsFile(
      dir.Write("DB Drivers.dat", "[Enterprise Drivers]\nPostgreSQL=PostgreSQL\n"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(Names(file->GetSection("Enterprise Drivers")),
            std::vector<std::string>{"PostgreSQL=PostgreSQL"});
}

}  // namespace
}  // namespace vl
