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

class ResourceTest : public ::testing::Test {
 protected:
};

TEST_F(ResourceTest, LoadsStringsFontAndBitmapsFromTheFile) {
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
  EXPECT_EQ(r.GetString(200), "Create Project from Baseline");
  EXPECT_EQ(r.GetString(11011), " - missing required element: ");
  EXPECT_EQ(r.GetString(20083), "Error in %1:\n\t%2");
  EXPECT_EQ(r.GetString(301), "C:\\Temp\\x");  // "\\" is one backslash, "\x" stays
  EXPECT_EQ(r.strings().size(), 4u);           // the empty 300 and the bad ids are not texts
  EXPECT_FALSE(r.HasString(300));
  EXPECT_EQ(r.GetFontName(), "DejaVu Sans");
  EXPECT_EQ(r.GetBitmapPath(30), (std::filesystem::path(dir.path()) / "images/step.png").string());
  EXPECT_EQ(r.GetBitmapPath(530), "");
}

TEST_F(ResourceTest, UnreadableFileThrowsNamingTheFile) {
  testing::ScratchFolder dir;
  Resource r;
  r.SetString(200, "kept?");
  try {
    r.InitResources(dir.path() + "/absent.ini", kAppName);
    FAIL() << "no error";
  } catch (const VlError& e) {
    EXPECT_NE(e.description().find(dir.path() + "/absent.ini"), std::string::npos);
    EXPECT_NE(e.number(), 0);
  }
}

TEST_F(ResourceTest, MissingOrEmptyTextGivesVisibleFallback) {
  Resource r;
  EXPECT_EQ(r.GetString(20083), "[resource 20083]");
  r.SetString(7, "");
  EXPECT_EQ(r.GetString(7), "[resource 7]");
  EXPECT_EQ(r.GetFormattedString(20083, {"frmWizard.CreateProject", "5", "bad call", ""}),
            "[resource 20083] \"frmWizard.CreateProject\" \"5\" \"bad call\" \"\"");
  EXPECT_EQ(r.GetFormattedString(99, {}), "[resource 99]");
  // Without a resource object at all the messages still give the fallback.
  EXPECT_EQ(Messenger().ResString(5013), "[resource 5013]");
}

TEST_F(ResourceTest, FormattedStringFillsPlaceholdersInOrder) {
  Resource r;
  r.SetString(1, "%2 before %1, %1 again");
  EXPECT_EQ(r.GetFormattedString(1, {"a", "b"}), "b before a, a again");
  r.SetString(2, "%1 / %2 / %3");
  EXPECT_EQ(r.GetFormattedString(2, {"x"}), "x / %2 / %3");  // missing values stay visible
  EXPECT_EQ(r.GetFormattedString(2, {}), "%1 / %2 / %3");
  r.SetString(3, "100% done, %");
  EXPECT_EQ(r.GetFormattedString(3, {"v"}), "100% done, %");
}

TEST_F(ResourceTest, FormattedStringReadsTwoDigitPlaceholdersOnlyWhenThereAreThatManyValues) {
  Resource r;
  r.SetString(1, "[%10][%1]");
  std::vector<std::string> ten = {"v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9", "v10"};
  EXPECT_EQ(r.GetFormattedString(1, ten), "[v10][v1]");
  EXPECT_EQ(r.GetFormattedString(1, {"one"}), "[one0][one]");
}

TEST_F(ResourceTest, InsertedValuesAreNotScannedAgain) {
  Resource r;
  r.SetString(20083, "Error %2 in %1: %3 %4");
  EXPECT_EQ(r.GetFormattedString(20083, {"P", "76", "path %1 not found %2", "%4"}),
            "Error 76 in P: path %1 not found %2 %4");
}

// ---- The shipped resource file ----

std::string ShippedResourceFile() {
  return std::string(VL_SOURCE_DIR) + "/resources/" + kResourceFileName;
}

Resource LoadShipped() {
  Resource r;
  r.InitResources(ShippedResourceFile(), kAppName);
  return r;
}

// Every id the program uses: buttons and title, the six steps with their
// controls, the review page, the run, validation, and the copy messages.
const std::vector<long> kUsedIds = {
    100,   101,   102,   103,   105,   200,   1000,  1001,  1002,  1003,  1005,  1006,  1007,
    1008,  1010,  1012,  1013,  1014,  1100,  2000,  2001,  2002,  2003,  2004,  2005,  2006,
    2007,  2200,  3000,  3001,  3002,  3003,  3004,  3005,  4000,  4001,  4002,  4003,  4004,
    4005,  4100,  4101,  4102,  5000,  5001,  5010,  5011,  5012,  5013,  5014,  5100,  5101,
    5102,  5103,  5104,  5105,  5200,  5201,  5202,  5203,  5300,  5301,  5302,  5303,  5304,
    5305,  5306,  5307,  5400,  6000,  6001,  6002,  6003,  10001, 11004, 11005, 11010, 11011,
    11012, 20050, 20051, 20052, 20053, 20054, 20055, 20056, 20057, 20058, 20060, 20062, 20063,
    20064, 20065, 20066, 20067, 20068, 20069, 20070, 20071, 20072, 20073, 20074, 20075, 20076,
    20077, 20078, 20079, 20080, 20082, 20083, 20084, 20085};

// Texts filled with values, and how many values each takes.
const std::vector<std::pair<long, int>> kFormattedIds = {
    {4101, 1},  {4102, 2},  {11004, 1}, {11005, 1}, {11012, 1}, {20050, 1}, {20051, 1}, {20052, 1},
    {20055, 1}, {20060, 1}, {20066, 1}, {20067, 1}, {20068, 1}, {20071, 3}, {20073, 1}, {20074, 1},
    {20075, 1}, {20076, 1}, {20078, 1}, {20079, 1}, {20080, 1}, {20083, 4}};

bool IsFormatted(long id) {
  for (const auto& [fid, n] : kFormattedIds)
    if (fid == id) return true;
  return false;
}

TEST_F(ResourceTest, ShippedFileHasATextForEveryIdInUse) {
  Resource r = LoadShipped();
  for (long id : kUsedIds) {
    EXPECT_TRUE(r.HasString(id)) << "no text for resource " << id;
    EXPECT_FALSE(r.GetString(id).empty()) << id;
  }
  EXPECT_EQ(r.GetFontName(), "");
  EXPECT_EQ(r.GetString(200), "Create Project from Baseline");
}

TEST_F(ResourceTest, ShippedTextsTakeTheirValuesAndNoOthers) {
  Resource r = LoadShipped();
  for (const auto& [id, count] : kFormattedIds) {
    const std::string& text = r.strings().at(id);
    for (int i = 1; i <= count; ++i)
      EXPECT_NE(text.find("%" + std::to_string(i)), std::string::npos) << id << " lacks %" << i;
    EXPECT_EQ(text.find("%" + std::to_string(count + 1)), std::string::npos) << id;
  }
  // Texts shown as they stand (20054 also goes through the formatter, with
  // no values) must not show a placeholder.
  for (long id : kUsedIds) {
    if (IsFormatted(id)) continue;
    EXPECT_EQ(r.GetString(id).find("%1"), std::string::npos) << id;
  }
}

TEST_F(ResourceTest, ShippedProcErrorTextNamesTheFourValuesInOrder) {
  Resource r = LoadShipped();
  std::string text = r.GetFormattedString(20083, {"PROC", "-2147217900", "DESC", "MSG"});
  size_t proc = text.find("PROC"), number = text.find("-2147217900"), desc = text.find("DESC"),
         msg = text.find("MSG");
  ASSERT_NE(msg, std::string::npos) << text;
  EXPECT_LT(proc, number);
  EXPECT_LT(number, desc);
  EXPECT_LT(desc, msg);
}

TEST_F(ResourceTest, ShippedTextsReadWellWhereTheyAreJoinedWithOthers) {
  Resource r = LoadShipped();
  // File name + 11011 + element name, and 11011 + element name alone.
  std::string missing = "ProjectUserGroups.XML" + r.GetString(11011) + "PROJECT";
  EXPECT_NE(missing.find("XML "), std::string::npos) << missing;
  EXPECT_NE(missing.find(" PROJECT"), std::string::npos) << missing;
  // 10001, 20057 and 20082 are followed directly by a name.
  for (long id : {10001L, 20057L, 20082L}) {
    std::string text = r.GetString(id);
    EXPECT_EQ(text.back(), ' ') << id;
  }
  // "BaselineList.xml" + 11012 with the type found.
  std::string type = "BaselineList.xml" + r.GetFormattedString(11012, {"Requirement"});
  EXPECT_NE(type.find("xml "), std::string::npos) << type;
  EXPECT_NE(type.find("Requirement"), std::string::npos) << type;
  // 5010 to 5012 and 20069 are followed by " (procedure)": no full stop before it.
  for (long id : {5010L, 5011L, 5012L, 20069L}) EXPECT_NE(r.GetString(id).back(), '.') << id;
}

// Ids written in the program's code: ResString(N), ResFormat(N, ...),
// GetString(N), GetFormattedString(N, ...) and constants named kRes... = N.
std::set<long> IdsUsedInCode() {
  std::set<long> ids;
  const std::regex call(R"(\b(?:ResString|ResFormat|GetString|GetFormattedString)\(\s*(\d+))");
  const std::regex constant(R"(\bkRes\w*\s*=\s*(\d+))");
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
      for (const std::regex* re : {&call, &constant})
        for (std::sregex_iterator it(code.begin(), code.end(), *re), end; it != end; ++it)
          ids.insert(std::stol((*it)[1].str()));
    }
  }
  return ids;
}

TEST_F(ResourceTest, EveryIdWrittenInTheCodeHasAShippedText) {
  Resource r = LoadShipped();
  std::set<long> ids = IdsUsedInCode();
  EXPECT_TRUE(ids.count(20083)) << "the scan found nothing; is VL_SOURCE_DIR right?";
  for (long id : ids)
    EXPECT_TRUE(r.HasString(id)) << "resource " << id << " is used but has no text";
}

TEST_F(ResourceTest, ProgramFolderCopyIsTheShippedFile) {
  std::string copy = std::string(VL_BINARY_DIR) + "/" + kResourceFileName;
  ASSERT_TRUE(std::filesystem::exists(copy));
  Resource shipped = LoadShipped(), beside;
  beside.InitResources(copy, kAppName);
  EXPECT_EQ(beside.strings(), shipped.strings());
}

}  // namespace
}  // namespace vl
