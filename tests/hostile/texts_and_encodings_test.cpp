// Texts that SQL and XML treat specially, stored exactly as the literal
// rule says (a "|" becomes the character 26, a quote not already doubled
// is doubled, a text of blanks becomes empty), on SQLite and PostgreSQL;
// enormous texts and raw bytes in names. (Other encodings, letter cases
// and date forms of a whole baseline are the verify suite's shapes.)

#include "app/console_sink.h"
#include "hostile_fixture.h"
#include "support/pg_test_support.h"

namespace vl::hostile {
namespace {


struct SpecialText {
  std::string written;  // in the baseline
  std::string stored;   // in the database
};

const std::vector<SpecialText>& SpecialTexts() {
  static const std::vector<SpecialText> texts = {
      {"it's", "it's"},
      {"can''t stop", "can't stop"},  // a pair already doubled stays a pair
      {"'", "'"},
      {"a|b||c",
       "a\x1A"
       "b\x1A\x1A"
       "c"},
      {"tab\tline\nctl\x01\x1F end", "tab\tline\nctl\x01\x1F end"},
      {"\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC "
       "\xD0\x9F\xD1\x80\xD0\xB8 \xF0\x9F\x98\x80",
       "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC "
       "\xD0\x9F\xD1\x80\xD0\xB8 \xF0\x9F\x98\x80"},
      {"'); DROP TABLE vlRequirements; --", "'); DROP TABLE vlRequirements; --"},
      {"C:\\dir\\x \\' \\n", "C:\\dir\\x \\' \\n"},  // backslashes are no escapes
      {"%1 %s {ts '2003-01-01 00:00:00'}", "%1 %s {ts '2003-01-01 00:00:00'}"},
      {"   ", ""}};
  return texts;
}

enum class Db { kSQLite, kPostgreSQL };

class SpecialTextsTest : public HostileTest, public ::testing::WithParamInterface<Db> {
 protected:
  void SetUp() override {
    if (GetParam() == Db::kPostgreSQL) {
      VL_NEED_PG_SERVER();
      schema_ = std::make_unique<pgtest::ScratchSchema>(conninfo_, "hostile");
    }
    gen::Options o = SmallBaseline();
    o.requirements = 40;  // enough in the root package
    Generate(o);
  }
  int CreateHere() {
    if (GetParam() == Db::kSQLite) return Create();
    return Create(
        {"--database", "PostgreSQL", "--pg-conninfo", conninfo_, "--pg-schema", schema_->name()});
  }
  std::string Stored(const std::string& sql) {
    if (GetParam() == Db::kSQLite) return QueryOne(sql);
    return pgtest::Observer(conninfo_, schema_->name()).Scalar(sql);
  }

  std::string conninfo_;
  std::unique_ptr<pgtest::ScratchSchema> schema_;
};

TEST_P(SpecialTextsTest, AreStoredByTheLiteralRule) {
  // Each special text becomes the name of one requirement and the text of
  // the next.
  std::vector<std::string> guids;
  EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
    pugi::xpath_node_set reqs = doc.select_nodes("//Req");
    ASSERT_GT(reqs.size(), SpecialTexts().size());
    for (size_t i = 0; i < SpecialTexts().size(); ++i) {
      pugi::xml_node req = reqs[i].node();
      guids.push_back(req.child("GUID").text().get());
      req.child("RName").text().set(SpecialTexts()[i].written.c_str());
      reqs[i + 1].node().child("RText").text().set(SpecialTexts()[i].written.c_str());
    }
  });
  ASSERT_EQ(CreateHere(), 0) << err_;
  for (size_t i = 0; i < SpecialTexts().size(); ++i) {
    SCOPED_TRACE(SpecialTexts()[i].written);
    EXPECT_EQ(Stored("SELECT REQUIREMENTNAME FROM vlRequirements WHERE VLGUID = '" +
                     NewRequirementGuid(guids[i]) + "'"),
              SpecialTexts()[i].stored);
  }
  EXPECT_NE(Stored("SELECT COUNT(*) FROM vlRequirements"), "0");
}

INSTANTIATE_TEST_SUITE_P(Databases, SpecialTextsTest,
                         ::testing::Values(Db::kSQLite, Db::kPostgreSQL),
                         [](const ::testing::TestParamInfo<Db>& info) {
                           return info.param == Db::kSQLite ? "SQLite" : "PostgreSQL";
                         });

using EnormousTextTest = HostileTest;

TEST_F(EnormousTextTest, IsCutBetweenCharactersAndKeptWholeInOverflow) {
  Generate();
  // Three megabytes of two-byte letters, quotes and separators, starting
  // one byte off so that a cut by bytes would split a letter.
  std::string text = "x";
  while (text.size() < 3000000) text += "\xCE\xA9'a|";
  EditXml(RootPackageFile(), [&](pugi::xml_document& doc) {
    doc.select_node("//Req/RText").node().text().set(text.c_str());
  });
  ASSERT_EQ(Create(), 0) << err_;
  std::string stored = text;
  for (char& c : stored)
    if (c == '|') c = '\x1A';
  const std::string cut = "FROM vlRequirements WHERE OVERFLOWIND = 1";
  EXPECT_EQ(QueryOne("SELECT COUNT(*) " + cut), "1");
  EXPECT_EQ(QueryOne("SELECT LENGTH(REQUIREMENTTEXT) " + cut), "2000");  // characters, not bytes
  EXPECT_EQ(stored.find(QueryOne("SELECT REQUIREMENTTEXT " + cut)), 0u);
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM VlOverflowText"), "1");
  EXPECT_TRUE(QueryOne("SELECT OVERFLOWTEXT FROM VlOverflowText") == stored);
}

// A package name written as raw bytes into its file: what is stored, and
// what the results say. A file of UTF-8 with one bad byte stays UTF-8 and
// says where the byte was; a reference to U+0000 is dropped, not the rest
// of the text; a line break or a terminal control never makes a results
// line of its own.
TEST_F(EnormousTextTest, RawBytesInANameAreStoredSoundlyAndShownOnOneLine) {
  struct Case {
    std::string written, stored, said;
  };
  const Case cases[] = {
      {"Zcaf\xC3\xA9 \xFF", "Zcaf\xC3\xA9 \xEF\xBF\xBD", "1 byte that is not UTF-8 replaced"},
      {"Za&#0;b&#x0;c", "Zabc", ""},
      {"Zx&#10;Project created: /evil", "Zx\nProject created: /evil", "Zx Project created"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    Generate();
    const std::string file = ChildPackageFile();
    EditXml(file, [](pugi::xml_document& doc) {
      doc.select_node("//Pkg/PkgName").node().text().set("@NAME@");
    });
    std::string bytes = ReadAll(BaselineFile(file));
    bytes.replace(bytes.find("@NAME@"), 6, c.written);
    WriteBaselineFile(file, bytes);
    ASSERT_EQ(Create(), 0) << err_;
    EXPECT_EQ(QueryOne("SELECT NAME FROM vlPackages WHERE NAME LIKE 'Z%'"), c.stored);
    EXPECT_NE(out_.find(c.said), std::string::npos) << out_;
    EXPECT_EQ(out_.find("\nProject created: /evil"), std::string::npos) << out_;
  }
}

// On a terminal a control character shows escaped; off it, as it is.
TEST(ConsoleControls, AreEscapedOnATerminal) {
  EXPECT_EQ(EscapeControls("a\x1B[2Jb\tc\nd\x7F\xC2\x9B", false), "a\\x1b[2Jb\tc\\x0ad\\x7f\\x9b");
  EXPECT_EQ(EscapeControls("a\nb\xC3\xA9", true), "a\nb\xC3\xA9");
}

}  // namespace
}  // namespace vl::hostile
