#include "host/text/path_utils.h"

#include <gtest/gtest.h>

namespace vl {
namespace {

TEST(PathUtilsTest, FileExtensionIsTheTextBehindTheLastDotOfTheFileName) {
  EXPECT_EQ(GetFileExtension("/dir/name.vlp"), "vlp");
  EXPECT_EQ(GetFileExtension("  /dir/name.tar.gz  "), "gz");
  EXPECT_EQ(GetFileExtension("/a.b/file"), "");
  EXPECT_EQ(GetFileExtension("/a.b/"), "");
  EXPECT_EQ(GetFileExtension("name.x:y"), "");
  EXPECT_EQ(GetFileExtension("/dir/name."), "");
  EXPECT_EQ(GetFileExtension("/dir/name"), "");
  EXPECT_EQ(GetFileExtension(""), "");
}

TEST(PathUtilsTest, StripFileExtensionTrimsInPlaceAndDropsTheExtension) {
  std::string path = " /P/Alpha/Alpha.vlp ";
  EXPECT_EQ(StripFileExtension(path), "/P/Alpha/Alpha");
  EXPECT_EQ(path, "/P/Alpha/Alpha.vlp");
  std::string trailingDot = "/dir/name.";
  EXPECT_EQ(StripFileExtension(trailingDot), "/dir/name.");
  std::string dottedFolder = "/a.b/file";
  EXPECT_EQ(StripFileExtension(dottedFolder), "/a.b/file");
  std::string twoDots = "/P/My.Project";  // a "." in the project name counts as one
  EXPECT_EQ(StripFileExtension(twoDots), "/P/My");
}

TEST(PathUtilsTest, AppendTextLineSeparatesNonBlankLinesWithCrLf) {
  EXPECT_EQ(AppendTextLine("", "line"), "line");
  EXPECT_EQ(AppendTextLine("   ", "line"), "   line");
  EXPECT_EQ(AppendTextLine("text", "line"), "text\r\nline");
  EXPECT_EQ(AppendTextLine("text", "   "), "text");
  EXPECT_EQ(AppendTextLine("text", ""), "text");
  EXPECT_EQ(AppendTextLine("text", "line", 1), "text\r\n\tline");
  EXPECT_EQ(AppendTextLine("", "line", 2), "\t\tline");
  EXPECT_EQ(AppendTextLine("text", "line", -3), "text\r\nline");
}

TEST(PathUtilsTest, JoinWithCommaDropsEmptySides) {
  EXPECT_EQ(JoinWithComma("", "Traces"), "Traces");
  EXPECT_EQ(JoinWithComma(" Traces ", "  "), "Traces");
  EXPECT_EQ(JoinWithComma(" Traces", "History "), "Traces, History");
  EXPECT_EQ(JoinWithComma(" ", ""), "");
}

TEST(PathUtilsTest, TrailingSlashes) {
  EXPECT_EQ(AddTrailingSlash("/P"), "/P/");
  EXPECT_EQ(AddTrailingSlash("/P/"), "/P/");
  EXPECT_EQ(AddTrailingSlash(""), "/");
  EXPECT_EQ(StripTrailingSlash("/P/"), "/P");
  EXPECT_EQ(StripTrailingSlash("/P//"), "/P/");  // one only
  EXPECT_EQ(StripTrailingSlash("/P"), "/P");
}

TEST(PathUtilsTest, LastFolderIsTheLastPartOfAPathWithASlash) {
  EXPECT_EQ(GetLastFolder("/A/B/"), "B");
  EXPECT_EQ(GetLastFolder("/A/B"), "B");
  EXPECT_EQ(GetLastFolder("/P/Alpha//"), "");
  EXPECT_EQ(GetLastFolder("name"), "");
  EXPECT_EQ(GetLastFolder("name/"), "");
  EXPECT_EQ(GetLastFolder("/"), "");
  EXPECT_EQ(GetLastFolder(""), "");
}

TEST(PathUtilsTest, ParentFolderAndFileName) {
  EXPECT_EQ(GetParentFolderName("/P/Alpha/Alpha.vlp"), "/P/Alpha");
  EXPECT_EQ(GetParentFolderName("/P/Alpha/"), "/P");
  EXPECT_EQ(GetParentFolderName("/P//Alpha"), "/P");
  EXPECT_EQ(GetParentFolderName("/P"), "/");
  EXPECT_EQ(GetParentFolderName("/"), "");
  EXPECT_EQ(GetParentFolderName("name.vlp"), "");
  EXPECT_EQ(GetParentFolderName("rel/name.vlp"), "rel");
  EXPECT_EQ(GetFileName("/P/Alpha/Alpha.vlp"), "Alpha.vlp");
  EXPECT_EQ(GetFileName("/P/Alpha/"), "Alpha");
  EXPECT_EQ(GetFileName("name.vlp"), "name.vlp");
  EXPECT_EQ(GetFileName("/"), "");
  EXPECT_EQ(GetFileName(""), "");
}

}  // namespace
}  // namespace vl
