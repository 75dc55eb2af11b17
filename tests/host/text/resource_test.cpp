#include "host/text/resource.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "errors/vl_error.h"
#include "host/text/messages.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

TEST(ResourceTest, LoadsStringsFontAndBitmapsFromTheFile) {
  testing::ScratchFolder dir;
  std::string path = dir.Write("res.ini", R"([Strings]
200=Create Project from Baseline
11011=" - missing required element: "
20083=Error in %1:\n\t%2
not-an-id=ignored
12x=ignored too
300=
301=C:\\Temp\x

[Font]
Name=  DejaVu Sans

[Bitmaps]
30=images/step.png
)");
  Resource r;
  r.InitResources(path, kAppName);
  EXPECT_EQ(r.GetString(200) + "|" + r.GetString(11011) + "|" + r.GetString(20083) + "|" +
                r.GetString(301),  // "\\" is one backslash, "\x" stays
            "Create Project from Baseline| - missing required element: |Error in %1:\n\t%2|"
            "C:\\Temp\\x");
  EXPECT_EQ(r.strings().size(), 4u);  // the empty 300 and the bad ids are not texts
  EXPECT_FALSE(r.HasString(300));
  EXPECT_EQ(r.GetFontName(), "DejaVu Sans");
  EXPECT_EQ(r.GetBitmapPath(30), (std::filesystem::path(dir.path()) / "images/step.png").string());
  EXPECT_EQ(r.GetBitmapPath(530), "");
}

TEST(ResourceTest, MissingTextsAndFilesAreVisible) {
  testing::ScratchFolder dir;
  Resource r;
  try {
    r.InitResources(dir.path() + "/absent.ini", kAppName);
    ADD_FAILURE() << "no error";
  } catch (const VlError& e) {
    EXPECT_NE(e.description().find(dir.path() + "/absent.ini"), std::string::npos);
  }
  EXPECT_EQ(r.GetString(20083), "[resource 20083]");
  EXPECT_EQ(r.GetFormattedString(20083, {"frmWizard.CreateProject", "5", ""}),
            "[resource 20083] \"frmWizard.CreateProject\" \"5\" \"\"");
  // Without a resource object at all the messages still give the fallback.
  EXPECT_EQ(Messenger().ResString(5013), "[resource 5013]");
}

TEST(ResourceTest, FormattedStringFillsPlaceholdersOnce) {
  struct Case {
    const char* text;
    std::vector<std::string> values;
    const char* want;
  };
  const std::vector<std::string> ten = {"v1", "v2", "v3", "v4", "v5",
                                        "v6", "v7", "v8", "v9", "v10"};
  const Case cases[] = {
      {"%2 before %1, %1 again", {"a", "b"}, "b before a, a again"},
      {"%1 / %2 / %3", {"x"}, "x / %2 / %3"},  // missing values stay visible
      {"%1 / %2 / %3", {}, "%1 / %2 / %3"},
      {"100% done, %", {"v"}, "100% done, %"},
      // Two digits only when there are that many values.
      {"[%10][%1]", ten, "[v10][v1]"},
      {"[%10][%1]", {"one"}, "[one0][one]"},
      // Inserted values are not scanned again.
      {"Error %2 in %1: %3 %4",
       {"P", "76", "path %1 not found %2", "%4"},
       "Error 76 in P: path %1 not found %2 %4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Resource r;
    r.SetString(1, c.text);
    EXPECT_EQ(r.GetFormattedString(1, c.values), c.want);
  }
}

// ---- The shipped resource file ----

// Texts filled with values, and how many values each takes.
const std::vector<std::pair<long, int>> kFormattedIds = {
    {4101, 1},  {4102, 2},  {11004, 1}, {11005, 1}, {11012, 1}, {20050, 1}, {20051, 1},
    {20052, 1}, {20055, 1}, {20060, 1}, {20066, 1}, {20067, 1}, {20068, 1}, {20071, 3},
    {20073, 1}, {20074, 1}, {20075, 1}, {20076, 1}, {20078, 1}, {20079, 1}, {20080, 1},
    {20083, 4}, {20059, 2}, {20150, 2}, {20151, 2}, {20152, 3}, {20153, 3}};

// Ids written in the program's code: ResString(N), ResFormat(N, ...),
// GetString(N), GetFormattedString(N, ...) and constants named kRes... = N;
// or, with `shown_as_they_stand`, only ResString(N) and GetString(N).
std::set<long> IdsUsedInCode(bool shown_as_they_stand = false) {
  std::set<long> ids;
  std::vector<std::regex> forms = {std::regex(R"(\b(?:ResString|GetString)\(\s*(\d+))")};
  if (!shown_as_they_stand) {
    forms.emplace_back(R"(\b(?:ResFormat|GetFormattedString)\(\s*(\d+))");
    forms.emplace_back(R"(\bkRes\w*\s*=\s*(\d+))");
  }
  for (const char* top : {"src", "apps", "tools"}) {
    std::filesystem::path root = std::filesystem::path(VL_SOURCE_DIR) / top;
    if (!std::filesystem::exists(root)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      std::ifstream in(entry.path());
      std::stringstream buffer;
      buffer << in.rdbuf();
      std::string code = buffer.str();
      for (const std::regex& re : forms)
        for (std::sregex_iterator it(code.begin(), code.end(), re), end; it != end; ++it)
          ids.insert(std::stol((*it)[1].str()));
    }
  }
  return ids;
}

// The shipped file, and its copy in the program's folder: a text for
// every id the code names, each taking its values and no others.
TEST(ResourceTest, ShippedTextsCoverTheCodeAndTakeTheirValues) {
  Resource r, beside;
  r.InitResources(std::string(VL_SOURCE_DIR) + "/resources/" + kResourceFileName, kAppName);
  beside.InitResources(std::string(VL_BINARY_DIR) + "/" + kResourceFileName, kAppName);
  EXPECT_EQ(beside.strings(), r.strings());
  const std::set<long> ids = IdsUsedInCode();
  EXPECT_TRUE(ids.count(20083)) << "the scan found nothing; is VL_SOURCE_DIR right?";
  for (long id : ids) EXPECT_FALSE(r.GetString(id).empty() || !r.HasString(id)) << id;
  std::set<long> formatted;
  for (const auto& [id, count] : kFormattedIds) {
    const std::string& text = r.strings().at(id);
    for (int i = 1; i <= count; ++i)
      EXPECT_NE(text.find("%" + std::to_string(i)), std::string::npos) << id << " lacks %" << i;
    EXPECT_EQ(text.find("%" + std::to_string(count + 1)), std::string::npos) << id;
    formatted.insert(id);
  }
  // Texts shown as they stand (20054 also goes through the formatter, with
  // no values) must not show a placeholder.
  for (long id : IdsUsedInCode(true))
    EXPECT_TRUE(formatted.count(id) || r.GetString(id).find("%1") == std::string::npos) << id;
  // The procedure error names its four values in order.
  const std::string text = r.GetFormattedString(20083, {"PROC", "-2147217900", "DESC", "MSG"});
  EXPECT_LT(text.find("PROC"), text.find("-2147217900"));
  EXPECT_LT(text.find("-2147217900"), text.find("DESC"));
  EXPECT_LT(text.find("DESC"), text.find("MSG"));
  EXPECT_NE(text.find("MSG"), std::string::npos) << text;
}

}  // namespace
}  // namespace vl
