// The text work of the query definition and view copier: GUIDs renewed in
// query strings, the external project of a query string, and the external
// project markers of view properties.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "copy/ins_view_info.h"

namespace vl {
namespace {

const std::string kOld1 = "{11111111-1111-1111-1111-111111111111}";
const std::string kNew1 = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
const std::string kOld2 = "{22222222-2222-2222-2222-222222222222}";
const std::string kNew2 = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";
const std::string kUnknown = "{33333333-3333-3333-3333-333333333333}";

// Renews `s` through a fixed table; GUIDs outside it translate to "".
std::string Renewed(std::string s, std::vector<std::string>* asked = nullptr) {
  const std::map<std::string, std::string> table{{kOld1, kNew1}, {kOld2, kNew2}};
  InsViewInfo::RenewGUIDs(s, [&](const std::string& guid) {
    if (asked) asked->push_back(guid);
    auto it = table.find(guid);
    return it == table.end() ? std::string() : it->second;
  });
  return s;
}

TEST(RenewGUIDsTest, GuidShapedPairsAreRenewedWhereTheyStand) {
  const std::string partial = kOld2.substr(0, 20);
  struct Case {
    std::string in, out;
    size_t asked;
  } const cases[] = {
      {"(" + kOld1 + ") WHERE " + kOld2 + " = 'x'", "(" + kNew1 + ") WHERE " + kNew2 + " = 'x'", 2},
      {kOld1 + kOld2, kNew1 + kNew2, 2},
      {"", "", 0},
      {"no braces at all", "no braces at all", 0},
      // A ten-character text in braces is skipped; the scan goes on after it.
      {"{0123456789} then " + kOld1, "{0123456789} then " + kNew1, 1},
      {"(" + kUnknown + ") WHERE " + kOld1 + " = 1", "(" + kUnknown + ") WHERE " + kNew1 + " = 1",
       2},
      // An opening brace without a closing one ends the scan.
      {kOld1 + " {open " + partial, kNew1 + " {open " + partial, 1},
      // A "{" inside the pair starts the pair at the first "{": 39 characters.
      {"{" + kOld1, "{" + kOld1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    std::vector<std::string> asked;
    EXPECT_EQ(Renewed(c.in, &asked), c.out);
    EXPECT_EQ(asked.size(), c.asked);
  }
  // The length in characters never changes.
  std::string s = "(" + kOld1 + ")";
  InsViewInfo::RenewGUIDs(s, [](const std::string&) { return std::string("{SHORT}"); });
  EXPECT_EQ(s, "({SHORT}11-1111-1111-1111-111111111111})");
  s = "(" + kOld1 + ")";
  InsViewInfo::RenewGUIDs(s, [](const std::string& g) { return g + "-and-more"; });
  EXPECT_EQ(s, "(" + kOld1 + ")");
}

TEST(ExtProjRefTest, ThePartBeforeTheDotOfTheScopeNamesTheProject) {
  struct Case {
    std::string query;
    bool found;
  } const cases[] = {
      {"(" + kOld1 + "." + kOld2 + ") WHERE x", true},
      {"( " + kOld1 + " . " + kOld2 + " )", true},
      {"(" + kOld2 + ") WHERE " + kOld1 + " = 1.5", false},
      {"", false},
      {"(" + kOld1 + "." + kOld2, false},  // no ")"
      {") a.b (", false},                  // ")" first
      {"a.b)", false},                     // no "("
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    std::string guid = "unchanged";
    EXPECT_EQ(InsViewInfo::GetExtProjRef(c.query, guid), c.found);
    EXPECT_EQ(guid, c.found ? kOld1 : "unchanged");
  }
}

// The marker takes the external project's row ID (1 included); an ID
// below 1 leaves the properties alone. The type is taken either way.
TEST(ViewPropertiesTest, TheExternalProjectMarkerGetsTheRowID) {
  const struct {
    ProjStructSpec spec;
    std::string props, expected;
    int32_t reqType;
  } cases[] = {
      {{"31", "12"},
       "Sort=1;externalProjectID=/i7;Width=/i20;",
       "Sort=1;externalProjectID=/i12;Width=/i20;",
       31},
      {{"31", "12"}, "Sort=1;externalProjectID=/i7", "Sort=1;externalProjectID=/i12", 31},
      {{"31", "1"}, ";externalProjectID=/i7;", ";externalProjectID=/i1;", 31},
      {{"8", ""}, ";externalProjectID=/i7;", ";externalProjectID=/i7;", 8},
      {{"x", "0"}, ";externalProjectID=/i7;", ";externalProjectID=/i7;", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.props + " " + c.spec.ExternalProjectID);
    int32_t reqType = 5;
    std::string props = c.props;
    InsViewInfo::UpdatePropsExtProjID(reqType, props, c.spec);
    EXPECT_EQ(props, c.expected);
    EXPECT_EQ(reqType, c.reqType);
  }
}

}  // namespace
}  // namespace vl
