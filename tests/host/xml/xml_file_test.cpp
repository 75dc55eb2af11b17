#include "host/xml/xml_file.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "errors/vl_error.h"
#include "host/xml/read_ahead.h"
#include "host/xml/xml_encoding.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

const std::string kEAcute = "\xC3\xA9", kEuro = "\xE2\x82\xAC", kBad = "\xEF\xBF\xBD";

// UTF-16 bytes of an ASCII/Latin-1 text, little or big endian, with a BOM.
std::string Utf16(const std::u16string& text, bool littleEndian) {
  std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t c : text) {
    char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out += littleEndian ? std::string{lo, hi} : std::string{hi, lo};
  }
  return out;
}

// Every encoding baselines use reads to the same text. A file that is
// UTF-8 with a few bad bytes stays UTF-8 (each bad byte U+FFFD, said with
// its line and offset); only a file whose bad bytes outnumber its UTF-8
// characters is read as windows-1252, and says so. A reference to U+0000
// is dropped.
TEST(XmlFileTest, ReadsEveryEncodingAndSaysEveryChange) {
  const std::string cafe = "caf" + kEAcute + " " + kEuro;
  const struct {
    std::string bytes, value, note;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><P N=\"caf\xC3\xA9 \xE2\x82\xAC\"/>", cafe, ""},
      {"\xEF\xBB\xBF<P N=\"caf\xC3\xA9 \xE2\x82\xAC\"/>", cafe, ""},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><P N=\"caf\xE9 \x80\"/>", cafe, ""},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><P N=\"caf\xE9 \x80\"/>", cafe, ""},
      {"<?xml version=\"1.0\" encoding = \"latin1\" ?><P N=\"caf\xE9 \x80\"/>", cafe, ""},
      {Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><P N=\"caf\u00e9 \u20ac\"/>", true), cafe,
       ""},
      {Utf16(u"<P N=\"caf\u00e9 \u20ac\"/>", false), cafe, ""},
      // The code page's own letters, and bytes without one keep their number.
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><P N=\"\x85\x8A\x9C\x81\x9F\xFF\"/>",
       "\xE2\x80\xA6\xC5\xA0\xC5\x93\xC2\x81\xC5\xB8\xC3\xBF", ""},
      {"<P N=\"caf\xC3\xA9 \xFF\"/>", "caf" + kEAcute + " " + kBad,
       "1 byte that is not UTF-8 replaced by U+FFFD (line 1 offset 12)"},
      {"<P\nN=\"\xE2\x82\xAC\xC3\xA9\xC3\xA9\x80\xE2\"/>", kEuro + kEAcute + kEAcute + kBad + kBad,
       "2 bytes that are not UTF-8 replaced by U+FFFD (line 2 offset 13, line 2 offset 14)"},
      {"<?xml version=\"1.0\"?><P N=\"caf\xE9 \x80\"/>", cafe,
       "the file is not UTF-8 and was read as windows-1252"},
      {"<P N=\"\xC3\xA9\xE9\xE9\"/>", "\xC3\x83\xC2\xA9" + kEAcute + kEAcute,
       "read as windows-1252"},
      {"<P N=\"a&#0;b&#x00;c&#0\"/>", "abc&#0", ""},
      {Utf16(u"<P N=\"a&#0;b\"/>", true), "ab", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    pugi::xml_document doc;
    XmlLoadResult r = LoadXmlBuffer(doc, c.bytes);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(std::string(doc.child("P").attribute("N").value()), c.value);
    if (c.note.empty())
      EXPECT_EQ(r.encoding_note, "");
    else
      EXPECT_NE(r.encoding_note.find(c.note), std::string::npos) << r.encoding_note;
  }
}

// The code page as the system's own converter reads it; bytes it leaves
// undefined keep their number.
TEST(XmlFileTest, Windows1252IsReadAsTheSystemReadsIt) {
  iconv_t cd = iconv_open("UTF-8", "CP1252");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int b = 1; b < 256; ++b) {
    char in = static_cast<char>(b), out[8], *ip = &in, *op = out;
    size_t il = 1, ol = sizeof out;
    const bool defined = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1);
    EXPECT_EQ(Windows1252ToUtf8(std::string(1, in)),
              defined ? std::string(out, op) : "\xC2" + std::string(1, in))
        << b;
  }
  iconv_close(cd);
}

TEST(XmlFileTest, BadInputIsRefusedAndNothingOutsideIsRead) {
  testing::ScratchFolder dir;
  dir.Write("secret.txt", "TOP SECRET");
  pugi::xml_document doc;
  ASSERT_TRUE(LoadXmlBuffer(doc, "<!DOCTYPE P [<!ENTITY x SYSTEM \"file://" + dir.path() +
                                     "/secret.txt\"><!ENTITY y \"yy\">]><P>a&x;b&y;</P>")
                  .ok);
  EXPECT_EQ(NodeText(doc.child("P")).find("TOP SECRET"), std::string::npos);
  XmlLoadResult r =
      LoadXmlBuffer(doc, "<?xml version=\"1.0\" encoding=\"shift_jis\"?><P>\x82\xA0</P>");
  EXPECT_NE(r.message.find("shift_jis"), std::string::npos);
  r = LoadXmlBuffer(doc, "<P><Q></P>");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("at offset "), std::string::npos) << r.message;
  EXPECT_FALSE(doc.first_child());
  EXPECT_FALSE(LoadXmlBuffer(doc, "\xEF\xBB\xBF").ok);
}

TEST(XmlFileTest, NamesAreFoundWithoutRegardToCaseButNeverOutsideTheFolder) {
  testing::ScratchFolder scratch;
  const std::string dir = scratch.path();
  scratch.Write("ProjectStructure.XML", "<PROJECT/>");
  scratch.Write("projectstructure.xml", "<PROJECT/>");  // a case twin: the first by bytes wins
  scratch.Write("Caf\xC3\x89 Zone.xml", "<PROJECT/>");
  scratch.Write("sub/inner.xml", "<PROJECT/>");
  fs::create_directories(dir + "/Pkg.xml");
  const std::pair<std::string, std::string> cases[] = {
      {"PROJECTSTRUCTURE.xml", "ProjectStructure.XML"},
      {"caf\xC3\xA9 zone.XML", "Caf\xC3\x89 Zone.xml"},
      {"Missing.xml", ""},
      {"sub/inner.xml", ""},
      {"../" + fs::path(dir).filename().string() + "/Pkg.xml", ""},
      {"..", ""},
      {std::string("a\0b", 3), ""},
      {"/etc/passwd", ""},
  };
  for (const auto& [name, found] : cases)
    EXPECT_EQ(FindFileNoCase(dir + "/", name), found.empty() ? "" : dir + "/" + found) << name;
  pugi::xml_document doc;
  XmlLoadResult r = LoadXmlFile(doc, dir, "PROJECTSTRUCTURE.XML");
  EXPECT_EQ(r.path, dir + "/ProjectStructure.XML");
  EXPECT_FALSE(LoadXmlFile(doc, dir, "Pkg.xml").ok);  // a folder is no XML file
}

// Saved files have the declaration, no encoding name (a code page file
// becomes UTF-8), replace what was there and read back as they were.
TEST(XmlFileTest, SavedFilesAreUtf8AndRoundTrip) {
  testing::ScratchFolder dir;
  const std::string path = dir.Write("Map.xml", "old content that is longer than the new one");
  pugi::xml_document doc;
  ASSERT_TRUE(
      LoadXmlBuffer(doc, "<?xml version=\"1.0\" encoding=\"windows-1252\"?><P N=\"\xE9\"/>").ok);
  SaveXmlFile(doc, path);
  std::ifstream in(path, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\"", 0), 0u) << text;
  EXPECT_EQ(text.find("encoding"), std::string::npos) << text;
  pugi::xml_document back;
  ASSERT_TRUE(LoadXmlPath(back, path).ok);
  EXPECT_EQ(std::string(back.child("P").attribute("N").value()), kEAcute);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  try {
    SaveXmlFile(doc, dir.File("no/such/Map.xml"));
    ADD_FAILURE() << "no error";
  } catch (const VlError& e) {
    EXPECT_NE(e.description().find(dir.File("no/such/Map.xml")), std::string::npos);
  }
}

TEST(XmlFileTest, ChildTextReadsElementsAndAttributes) {
  pugi::xml_document doc;
  ASSERT_TRUE(LoadXmlBuffer(doc, R"(<Req ID="{G}"><Name>A &amp; <![CDATA[<b>]]></Name>)"
                                 R"(<Text><p>one</p><p>two</p></Text></Req>)")
                  .ok);
  const pugi::xml_node req = doc.child("Req");
  EXPECT_EQ(ChildText(req, "Name"), "A & <b>");
  EXPECT_EQ(ChildText(req, "Text"), "onetwo");
  EXPECT_EQ(ChildText(req, "@ID"), "{G}");
  EXPECT_EQ(ChildText(req, "!!bad xpath"), "");
  // A single text, a single CDATA, nothing, no element.
  ASSERT_TRUE(LoadXmlBuffer(doc, "<R><A>one</A><B><![CDATA[<c>]]></B><C/></R>").ok);
  for (const auto& [name, text] : {std::pair{"A", "one"}, {"B", "<c>"}, {"C", ""}, {"Z", ""}})
    EXPECT_EQ(NodeText(doc.child("R").child(name)), text) << name;
}

// A file read ahead is what taking its name gives, read once; any other
// name is read when taken; what a load throws comes out of Take; a file
// read ahead and never taken is dropped (here by the next Expect and by
// the destructor) without being handed out.
TEST(ReadAheadTest, TakeGivesWhatReadingThenWouldGive) {
  std::atomic<int> loads{0};
  ReadAhead<std::string> ahead(
      [&loads](const std::string&, const std::string& name, std::string& into) {
        ++loads;
        if (name == "broken") throw std::runtime_error("cannot be read");
        into = "text of " + name;
      });
  std::string got;
  ahead.Expect("", "a");
  ahead.Take("", "a", got);
  EXPECT_EQ(got, "text of a");
  EXPECT_EQ(loads, 1);
  ahead.Expect("", "b");
  ahead.Take("", "c", got);
  EXPECT_EQ(got, "text of c");
  ahead.Expect("", "broken");
  EXPECT_THROW(ahead.Take("", "broken", got), std::runtime_error);
  ahead.Take("", "b", got);
  EXPECT_EQ(got, "text of b");
  ahead.Expect("", "d");
}

}  // namespace
}  // namespace vl
