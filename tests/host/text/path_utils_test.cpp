#include "host/text/path_utils.h"

#include <gtest/gtest.h>

#include <functional>

namespace vl {
namespace {

// Each row: a function of one path, its argument and the expected result.
TEST(PathUtilsTest, PathPartsAndJoins) {
  const std::function<std::string(const std::string&)> ext = GetFileExtension, last = GetLastFolder,
                                                       parent = GetParentFolderName,
                                                       file = GetFileName, add = AddTrailingSlash,
                                                       strip = StripTrailingSlash;
  auto stripExt = [](std::string p) { return StripFileExtension(p); };
  const struct {
    std::function<std::string(const std::string&)> f;
    const char *in, *want;
  } cases[] = {
      {ext, "  /dir/name.tar.gz  ", "gz"},
      {ext, "/a.b/file", ""},
      {ext, "name.x:y", ""},
      {ext, "/dir/name.", ""},
      {stripExt, " /P/Alpha/Alpha.vlp ", "/P/Alpha/Alpha"},
      {stripExt, "/dir/name.", "/dir/name."},
      {stripExt, "/a.b/file", "/a.b/file"},
      {stripExt, "/P/My.Project", "/P/My"},  // a "." in the project name counts as one
      {add, "/P", "/P/"},
      {add, "/P/", "/P/"},
      {strip, "/P//", "/P/"},
      {strip, "/P", "/P"},
      {last, "/A/B/", "B"},
      {last, "/A/B", "B"},
      {last, "/P/Alpha//", ""},
      {last, "name", ""},
      {parent, "/P/Alpha/Alpha.vlp", "/P/Alpha"},
      {parent, "/P/Alpha/", "/P"},
      {parent, "/P//Alpha", "/P"},
      {parent, "/P", "/"},
      {parent, "/", ""},
      {parent, "rel/name.vlp", "rel"},
      {file, "/P/Alpha/", "Alpha"},
      {file, "name.vlp", "name.vlp"},
      {file, "/", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.f(c.in), c.want) << c.in;
  EXPECT_EQ(JoinWithComma(" Traces", "History ") + "/" + JoinWithComma(" ", "History") + "/" +
                JoinWithComma("Traces", " "),
            "Traces, History/History/Traces");
}

TEST(PathUtilsTest, AppendTextLineSeparatesNonBlankLinesWithCrLf) {
  EXPECT_EQ(AppendTextLine("", "line"), "line");
  EXPECT_EQ(AppendTextLine("text", "line"), "text\r\nline");
  EXPECT_EQ(AppendTextLine("text", "   "), "text");
  EXPECT_EQ(AppendTextLine("text", "line", 1), "text\r\n\tline");
  EXPECT_EQ(AppendTextLine("", "line", 2), "\t\tline");
  EXPECT_EQ(AppendTextLine("text", "line", -3), "text\r\nline");
}

}  // namespace
}  // namespace vl
