#include "host/project/query_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace vl {
namespace {

const std::string kReqType = "{11111111-2222-3333-4444-555555555555}";
const std::string kProject = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
const std::string kAttr = "{0A0A0A0A-0B0B-0C0C-0D0D-0E0E0E0E0E0E}";
const std::string kItem = "{99999999-8888-7777-6666-555544443333}";

std::string Canonical(const std::string& query) {
  QueryTree tree;
  std::string error;
  EXPECT_TRUE(ParseQueryText(query, tree, error)) << error;
  return tree.Canonical();
}

std::string ErrorOf(const std::string& query) {
  QueryTree tree;
  std::string error;
  EXPECT_FALSE(ParseQueryText(query, tree, error)) << query;
  return error;
}

TEST(QueryParserTest, CanonicalFormHasOneBlankBetweenTokensAndUpperCase) {
  const std::string scope = "(" + kReqType + ")";
  const std::pair<std::string, std::string> cases[] = {
      {"  (  {11111111-2222-3333-4444-555555555555}  )  ", scope},
      {"({aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee} . {11111111-2222-3333-4444-555555555555})",
       "(" + kProject + "." + kReqType + ")"},
      {scope + "where " + kAttr + "='x'", scope + " WHERE " + kAttr + " = 'x'"},
      {scope + "\r\n WHERE\t" + kAttr + "   contains 'it''s'  Or " + kAttr + "<=-12.5 and " +
           kAttr + "<>{99999999-8888-7777-6666-555544443333}",
       scope + " WHERE " + kAttr + " CONTAINS 'it''s' OR " + kAttr + " <= -12.5 AND " + kAttr +
           " <> " + kItem},
  };
  for (const auto& [query, canonical] : cases) EXPECT_EQ(Canonical(query), canonical) << query;
}

TEST(QueryParserTest, EveryOperatorAndValueKindIsRead) {
  for (const char* op : {"=", "<>", "<", ">", "<=", ">="})
    EXPECT_EQ(Canonical("(" + kReqType + ") WHERE " + kAttr + op + "7"),
              "(" + kReqType + ") WHERE " + kAttr + " " + op + " 7");
  QueryTree tree;
  std::string error;
  ASSERT_TRUE(ParseQueryText(
      "(" + kProject + "." + kReqType + ") WHERE " + kAttr + " = '' OR " + kAttr + " = " + kItem,
      tree, error))
      << error;
  ASSERT_TRUE(tree.project.has_value());
  EXPECT_EQ(tree.project->text + tree.reqType.text, kProject + kReqType);
  EXPECT_EQ(tree.conditions[0].value.kind, QueryTokenKind::kText);
  EXPECT_EQ(tree.conditions[1].value.kind, QueryTokenKind::kGuid);
  EXPECT_EQ(tree.connectors, std::vector<std::string>{"OR"});
}

TEST(QueryParserTest, TextsKeepWhatTheyHoldIncludingKeywordsAndBrackets) {
  EXPECT_EQ(Canonical("(" + kReqType + ") WHERE " + kAttr + " = 'a ) where ( {x} . ''y'''"),
            "(" + kReqType + ") WHERE " + kAttr + " = 'a ) where ( {x} . ''y'''");
  EXPECT_EQ(Canonical("(" + kReqType + ") WHERE " + kAttr + " = 'Grüße\nzwei Zeilen'"),
            "(" + kReqType + ") WHERE " + kAttr + " = 'Grüße\nzwei Zeilen'");
}

// Errors name the token, its position (in characters) and what was expected.
TEST(QueryParserTest, ErrorsNameTheTokenItsPositionAndWhatWasExpected) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "Expected \"(\" at the start of the query, found the end of the query."},
      {"WHERE", "Expected \"(\" at the start of the query, found \"WHERE\" at position 1."},
      {"()",
       "Expected the GUID of a requirement type or a project after \"(\", found \")\" at position "
       "2."},
      {"(" + kProject + ".)",
       "Expected the GUID of a requirement type after \".\", found \")\" at position 41."},
      {"(" + kReqType + " WHERE",
       "Expected \")\" after the requirement type, found \"WHERE\" at position 41."},
      {"(" + kReqType + ") SELECT",
       "Expected \"WHERE\" or the end of the query, found \"SELECT\" at position 42."},
      {"(" + kReqType + ") WHERE 'x' = 1",
       "Expected the GUID of an attribute, found \"'x'\" at position 48."},
      {"(" + kReqType + ") where " + kAttr + " like 'x'",
       "Expected an operator (=, <>, <, >, <=, >= or CONTAINS), found \"like\" at position 87."},
      {"(" + kReqType + ") WHERE " + kAttr + " =",
       "Expected a value (a text in quotes, a number or the GUID of a list item), found the end of "
       "the query."},
      {"(" + kReqType + ") WHERE " + kAttr + " = 1 " + kAttr,
       "Expected \"AND\", \"OR\" or the end of the query, found \"" + kAttr + "\" at position 91."},
      {"(" + kReqType + ") WHERE " + kAttr + " = 1 AND",
       "Expected the GUID of an attribute, found the end of the query."},
      {"({1234567890})",
       "Expected a GUID of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, found \"{1234567890}\" "
       "at position 2."},
      {"({11111111-2222-3333-4444-55555555555G})",
       "Expected a GUID of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, found "
       "\"{11111111-2222-3333-4444-55555555555G}\" at position 2."},
      {"({11111111 )",
       "Expected a GUID of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, found \"{11111111\" at "
       "position 2."},
      {"(" + kReqType + ") WHERE " + kAttr + " = 'open",
       "Expected the closing quote of the text \"'open\" at position 89, found the end of the "
       "query."},
      {"(" + kReqType + ") WHERE " + kAttr + " ! 1",
       "Expected a GUID, a keyword, an operator, a text in quotes or a number, found \"!\" at "
       "position 87."},
      {"(" + kReqType + ") WHERE " + kAttr + " = 'é' ß",
       "Expected a GUID, a keyword, an operator, a text in quotes or a number, found \"ß\" at "
       "position 93."},
  };
  for (const auto& [query, error] : cases) EXPECT_EQ(ErrorOf(query), error) << query;
}

}  // namespace
}  // namespace vl
