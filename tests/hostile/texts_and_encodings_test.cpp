// Enormous texts and raw bytes in names. (Texts that SQL and XML treat
// specially, other encodings, letter cases and date forms of a whole
// baseline are the verify suite's shapes, on both databases.)

#include "app/console_sink.h"
#include "hostile_fixture.h"

namespace vl::hostile {
namespace {

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
  const struct {
    std::string written, stored, said;
  } cases[] = {
      {"Zcaf\xC3\xA9 \xFF", "Zcaf\xC3\xA9 \xEF\xBF\xBD", "1 byte that is not UTF-8 replaced"},
      {"Za&#0;b&#x0;c", "Zabc", ""},
      {"Zx&#10;Project created: /evil", "Zx\nProject created: /evil", "Zx Project created"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    Generate();
    const std::string file = ChildPackageFile();
    EditXml(file, [](pugi::xml_document& doc) {
      doc.select_node("//Pkg/PkgName").node().text().set("@NAME@");
    });
    std::string bytes = ReadBytes(BaselineFile(file));
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
