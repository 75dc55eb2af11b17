#include "host/xml/xml_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "errors/vl_error.h"
#include "host/xml/xml_encoding.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

const std::string kEAcute = "\xC3\xA9";
const std::string kEuro = "\xE2\x82\xAC";

class XmlFileTest : public ::testing::Test {
 protected:
  std::string Folder() const { return dir_.string(); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  testing::ScratchFolder scratch_;
  const fs::path dir_{scratch_.path()};
};

// UTF-16 bytes of an ASCII/Latin-1 text, little or big endian, with a BOM.
std::string Utf16(const std::u16string& text, bool littleEndian) {
  std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t c : text) {
    char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out += littleEndian ? std::string{lo, hi} : std::string{hi, lo};
  }
  return out;
}

TEST_F(XmlFileTest, ReadsEveryEncodingBaselinesUse) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"utf-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><P N=\"caf\xC3\xA9 \xE2\x82\xAC\"/>"},
      {"utf-8 bom", "\xEF\xBB\xBF<P N=\"caf\xC3\xA9 \xE2\x82\xAC\"/>"},
      {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><P N=\"caf\xE9 \x80\"/>"},
      {"ISO-8859-1 as its writers mean it",
       "<?xml version='1.0' encoding='ISO-8859-1'?><P N=\"caf\xE9 \x80\"/>"},
      {"latin1", "<?xml version=\"1.0\" encoding = \"latin1\" ?><P N=\"caf\xE9 \x80\"/>"},
      {"utf-16le",
       Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><P N=\"caf\u00e9 \u20ac\"/>", true)},
      {"utf-16be", Utf16(u"<P N=\"caf\u00e9 \u20ac\"/>", false)},
      {"utf-8 declared, code page written", "<?xml version=\"1.0\"?><P N=\"caf\xE9 \x80\"/>"},
  };
  for (const Case& c : cases) {
    pugi::xml_document doc;
    XmlLoadResult r = LoadXmlBuffer(doc, c.bytes);
    ASSERT_TRUE(r.ok) << c.what << ": " << r.message;
    EXPECT_EQ(std::string(doc.child("P").attribute("N").value()), "caf" + kEAcute + " " + kEuro)
        << c.what;
  }
}

// A file that is UTF-8 with a few bad bytes stays UTF-8 (each bad byte
// U+FFFD, said with its line and offset); only a file whose bad bytes
// outnumber its UTF-8 characters is read as windows-1252, and says so.
// A reference to U+0000 is dropped, the rest of the text kept.
TEST_F(XmlFileTest, DamagedUtf8StaysUtf8AndEveryChangeIsSaid) {
  struct Case {
    std::string bytes, value, note;
  };
  const std::string kBad = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"<P N=\"caf\xC3\xA9 \xFF\"/>", "caf" + kEAcute + " " + kBad,
       "1 byte that is not UTF-8 replaced by U+FFFD (line 1 offset 12)"},
      {"<P\nN=\"\xE2\x82\xAC\xC3\xA9\xC3\xA9\x80\xE2\"/>", kEuro + kEAcute + kEAcute + kBad + kBad,
       "2 bytes that are not UTF-8 replaced by U+FFFD (line 2 offset 13, line 2 offset 14)"},
      {"\xEF\xBB\xBF<P N=\"\xE9\xE9\"/>", kBad + kBad, "2 bytes that are not UTF-8"},
      {"<P N=\"caf\xE9\"/>", "caf" + kEAcute, "the file is not UTF-8 and was read as windows-1252"},
      {"<P N=\"\xC3\xA9\xE9\xE9\"/>", "\xC3\x83\xC2\xA9" + kEAcute + kEAcute,
       "read as windows-1252"},
      {"<P N=\"caf\xC3\xA9\"/>", "caf" + kEAcute, ""},
      {"<P N=\"a&#0;b&#x00;c&#0\"/>", "abc&#0", ""},
      {Utf16(u"<P N=\"a&#0;b\"/>", true), "ab", ""},
  };
  for (const Case& c : cases) {
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

TEST_F(XmlFileTest, CodePageBytesWithoutALetterKeepTheirNumber) {
  EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x9F\xFF"), "\xC2\x81\xC2\x8D\xC5\xB8\xC3\xBF");
  EXPECT_EQ(DeclaredXmlEncoding("<?xml version=\"1.0\" encoding=\"cp1252\"?><a/>"), "cp1252");
  EXPECT_EQ(DeclaredXmlEncoding("<a encoding=\"x\"/>"), "");
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_TRUE(IsValidUtf8("a\xF0\x9F\x98\x80"));
}

TEST_F(XmlFileTest, AnUnknownEncodingIsRefusedUnlessItIsUtf8Anyway) {
  pugi::xml_document doc;
  XmlLoadResult r =
      LoadXmlBuffer(doc, "<?xml version=\"1.0\" encoding=\"shift_jis\"?><P>\x82\xA0</P>");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("shift_jis"), std::string::npos);
  EXPECT_TRUE(LoadXmlBuffer(doc, "<?xml version=\"1.0\" encoding=\"ascii-ish\"?><P>x</P>").ok);
}

TEST_F(XmlFileTest, ADoctypeIsParsedButNeverResolved) {
  Write("secret.txt", "TOP SECRET");
  const std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE P [\n<!ENTITY x SYSTEM \"file://" +
                          Folder() + "/secret.txt\">\n<!ENTITY y \"yy\">\n]>\n<P>a&x;b&y;</P>";
  pugi::xml_document doc;
  ASSERT_TRUE(LoadXmlBuffer(doc, xml).ok);
  std::string text = NodeText(doc.child("P"));
  EXPECT_EQ(text.find("TOP SECRET"), std::string::npos);
  EXPECT_EQ(text.find("yy"), std::string::npos);
}

TEST_F(XmlFileTest, BrokenXmlSaysWhereAndLeavesAnEmptyDocument) {
  pugi::xml_document doc;
  doc.append_child("Old");
  XmlLoadResult r = LoadXmlBuffer(doc, "<P><Q></P>");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("at offset "), std::string::npos) << r.message;
  EXPECT_FALSE(doc.first_child());
  EXPECT_FALSE(LoadXmlBuffer(doc, "").ok);
  EXPECT_FALSE(LoadXmlBuffer(doc, "\xEF\xBB\xBF").ok);
}

TEST_F(XmlFileTest, NamesAreFoundWithoutRegardToCase) {
  Write("ProjectStructure.XML", "<PROJECT/>");
  Write("Caf\xC3\x89.xml", "<PROJECT/>");  // "CafÉ.xml"
  EXPECT_EQ(FindFileNoCase(Folder(), "ProjectStructure.XML"), Folder() + "/ProjectStructure.XML");
  EXPECT_EQ(FindFileNoCase(Folder(), "projectstructure.xml"), Folder() + "/ProjectStructure.XML");
  EXPECT_EQ(FindFileNoCase(Folder() + "/", "PROJECTSTRUCTURE.xml"),
            Folder() + "/ProjectStructure.XML");
  EXPECT_EQ(FindFileNoCase(Folder(), "caf\xC3\xA9.XML"), Folder() + "/Caf\xC3\x89.xml");
  EXPECT_EQ(FindFileNoCase(Folder(), "Missing.xml"), "");
  EXPECT_EQ(FindFileNoCase(Folder() + "/nowhere", "x.xml"), "");

  pugi::xml_document doc;
  XmlLoadResult r = LoadXmlFile(doc, Folder(), "PROJECTSTRUCTURE.XML");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.path, Folder() + "/ProjectStructure.XML");
  EXPECT_TRUE(doc.child("PROJECT"));
}

TEST_F(XmlFileTest, UnsafeNamesAreNeverFound) {
  fs::create_directories(dir_ / "sub");
  Write("sub/inner.xml", "<PROJECT/>");
  Write("a", "<PROJECT/>");
  std::string withNul("a\0b", 3);
  for (const std::string& name :
       {std::string("sub/inner.xml"), std::string("../") + dir_.filename().string() + "/a",
        std::string("."), std::string(".."), std::string(""), withNul, std::string("/etc/passwd")})
    EXPECT_EQ(FindFileNoCase(Folder() + "/sub", name), "") << name;
  pugi::xml_document doc;
  XmlLoadResult r = LoadXmlFile(doc, Folder(), "sub/inner.xml");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.path, "");
  EXPECT_EQ(r.message, "file not found");
  // Nor is a folder an XML file.
  fs::create_directories(dir_ / "Pkg.xml");
  EXPECT_FALSE(LoadXmlFile(doc, Folder(), "Pkg.xml").ok);
}

// Saved files have the declaration, no encoding name (a code page file
// becomes UTF-8), replace what was there and read back as they were.
TEST_F(XmlFileTest, SavedFilesAreUtf8AndRoundTrip) {
  Write("Map.xml", "old content that is longer than the new one, by far, really");
  pugi::xml_document doc;
  ASSERT_TRUE(
      LoadXmlBuffer(doc, "<?xml version=\"1.0\" encoding=\"windows-1252\"?><P N=\"\xE9\"/>").ok);
  doc.child("P").append_attribute("GUID") = ("{A}" + kEuro).c_str();
  const std::string path = Folder() + "/Map.xml";
  SaveXmlFile(doc, path);

  std::string text = ReadFile(path);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\"", 0), 0u) << text;
  EXPECT_EQ(text.find("encoding"), std::string::npos) << text;
  EXPECT_NE(text.find("N=\"" + kEAcute + "\""), std::string::npos) << text;
  pugi::xml_document back;
  ASSERT_TRUE(LoadXmlPath(back, path).ok);
  EXPECT_EQ(std::string(back.child("P").attribute("N").value()), kEAcute);
  EXPECT_EQ(std::string(back.child("P").attribute("GUID").value()), "{A}" + kEuro);
  // Nothing is left beside the file.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(XmlFileTest, ASaveThatCannotBeWrittenNamesThePath) {
  pugi::xml_document doc;
  doc.append_child("PROJECT");
  const std::string path = Folder() + "/no/such/folder/Map.xml";
  try {
    SaveXmlFile(doc, path);
    FAIL() << "no error";
  } catch (const VlError& e) {
    EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    EXPECT_EQ(e.number(), err::kPathNotFound);
  }
  if (::geteuid() != 0) {  // permissions do not stop the superuser
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_THROW(SaveXmlFile(doc, Folder() + "/Map.xml"), VlError);
  }
}

TEST_F(XmlFileTest, ChildTextReadsElementsAndAttributes) {
  pugi::xml_document doc;
  ASSERT_TRUE(
      LoadXmlBuffer(
          doc,
          R"(<Req ID="{G}"><Name>Alpha &amp; <![CDATA[<b>]]></Name><Text><p>one</p><p>two</p></Text><Empty/></Req>)")
          .ok);
  pugi::xml_node req = doc.child("Req");
  EXPECT_EQ(ChildText(req, "Name"), "Alpha & <b>");
  EXPECT_EQ(ChildText(req, "Text"), "onetwo");
  EXPECT_EQ(ChildText(req, "@ID"), "{G}");
  EXPECT_EQ(ChildText(req, "Empty"), "");
  EXPECT_EQ(ChildText(req, "Missing"), "");
  EXPECT_EQ(ChildText(req, "!!bad xpath"), "");
  EXPECT_EQ(ChildText(pugi::xml_node(), "Name"), "");
}

}  // namespace
}  // namespace vl
