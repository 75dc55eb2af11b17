#include <algorithm>
#include <cctype>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "baseline_archive.h"
#include "gen-baseline/text_encoding.h"

namespace vl::fuzz {
namespace {

using Random = std::mt19937_64;

size_t Pick(Random& r, size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(r); }
bool Chance(Random& r, int percent) { return static_cast<int>(Pick(r, 100)) < percent; }
template <typename T, size_t N>
const T& OneOf(Random& r, const T (&values)[N]) {
  return values[Pick(r, N)];
}

// Values that break assumptions: numbers at and beyond every integer
// width, GUIDs of every shape, names that leave a folder, texts SQL and
// XML treat specially, dates in no known form.
// clang-format off
const char* const kHostileValues[] = {
    "", " ", "0", "-1", "1", "2", "10", "255", "256", "32767", "32768", "-32769", "65536",
    "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967296", "9223372036854775807",
    "9223372036854775808", "-9223372036854775809", "99999999999999999999999999999", "1e308",
    "1e309", "-1e309", "1e-400", "NaN", "inf", "-0", "0x1F", "1.5", "1,5", "3.000", " 7 ", "+3",
    "true", "True", "{00000000-0000-0000-0000-000000000000}", "{}", "{", "}",
    "{12345678-1234-1234-1234-1234567890AB", "12345678-1234-1234-1234-1234567890AB",
    "{12345678-1234-1234-1234-1234567890ab}", "{ZZZZZZZZ-ZZZZ-ZZZZ-ZZZZ-ZZZZZZZZZZZZ}",
    "{12345678-1234-1234-1234-1234567890AB}{12345678-1234-1234-1234-1234567890AB}",
    "{12345678-1234-1234-1234-1234567890AB}.{12345678-1234-1234-1234-1234567890AB}", ".", "..",
    "../..", "../../../../../../../../tmp/vl-fuzz-escape", "/tmp/vl-fuzz-escape", "..\\..\\x",
    "a/b", "a\\b", "C:\\Windows\\x", "con", "x\x01y", "\t", "\r\n", "it's", "''", "'", "can''t",
    "a|b", "|", "'; DROP TABLE vlRequirements; --", "\"", "&amp;", "<b>", "]]>",
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xCE\xA9\xCE\xBC\xCE\xAD",
    "\xD0\x9F\xD1\x80\xD0\xB8", "\xF0\x9F\x98\x80", "\xC3\xA9\xC3\xA8", "\xE2\x82\xAC",
    "2003-07-01 14:05:09", "2003-07-01T14:05:09", "7/1/2003 2:05:09 PM", "7/1/2003",
    "13/45/2003 25:61:61 PM", "0000-00-00 00:00:00", "9999-12-31 23:59:59", "1899-12-30 00:00:00",
    "10000-01-01 00:00:00", "2003-02-30 00:00:00", "(", "()",
    "({12345678-1234-1234-1234-1234567890AB})", "({12345678-1234-1234-1234-1234567890AB}) WHERE",
    "%1", "%s%s%n"};
// clang-format on

// A long text of plain letters, letters of two bytes, or quotes and
// separators, of a length around the overflow thresholds or far past them.
std::string EnormousText(Random& r, size_t room) {
  static const size_t lengths[] = {255, 256, 2000, 2001, 4096, 9000, 30000};
  static const std::string pieces[] = {"A", "\xC3\xA9", "'|", "x ", "\xE2\x82\xAC"};
  const size_t length = std::min(OneOf(r, lengths), room);
  const std::string& piece = OneOf(r, pieces);
  std::string text;
  while (text.size() + piece.size() <= length) text += piece;
  return text;
}

// Every GUID-shaped text in `text`.
std::vector<std::string> Guids(const std::string& text) {
  static const std::regex guid(
      "\\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\}");
  std::vector<std::string> guids;
  for (std::sregex_iterator it(text.begin(), text.end(), guid), end; it != end; ++it)
    guids.push_back(it->str());
  return guids;
}

// Every element, walked without recursion (inputs nest deep).
struct Elements : pugi::xml_tree_walker {
  std::vector<pugi::xml_node> all;
  bool for_each(pugi::xml_node& n) override {
    if (n.type() == pugi::node_element) all.push_back(n);
    return true;
  }
};

void SetText(pugi::xml_node element, const std::string& text) {
  while (element.first_child()) element.remove_child(element.first_child());
  element.append_child(pugi::node_pcdata).set_value(text.c_str());
}

// One structural change of `doc`; false when it has no element.
bool MutateDocument(pugi::xml_document& doc, size_t room, const std::vector<std::string>& guids,
                    Random& r) {
  Elements walk;
  doc.traverse(walk);
  if (walk.all.empty()) return false;
  pugi::xml_node target = walk.all[Pick(r, walk.all.size())];
  pugi::xml_node other = walk.all[Pick(r, walk.all.size())];
  const bool leaf = !target.first_element_by_path("*");
  const std::string value = Chance(r, 10) ? EnormousText(r, room) : OneOf(r, kHostileValues);
  switch (Pick(r, 10)) {
    case 0:  // an element missing
      if (target.parent()) target.parent().remove_child(target);
      break;
    case 1:  // an element twice
      if (target.parent()) target.parent().insert_copy_after(target, target);
      break;
    case 2:  // an element where another kind belongs
      if (target != other && target.parent() &&
          !target.find_node([&](pugi::xml_node n) { return n == other; }))
        other.append_copy(target);
      break;
    case 3:  // a text of the wrong type
      if (leaf) SetText(target, value);
      break;
    case 4: {  // an attribute value of the wrong type
      pugi::xml_attribute a = target.first_attribute();
      for (size_t skip = Pick(r, 4); a.next_attribute() && skip > 0; --skip) a = a.next_attribute();
      (a ? a : target.append_attribute("GUID")).set_value(value.c_str());
      break;
    }
    case 5:  // one object's GUID given to another
      if (!guids.empty() && leaf) SetText(target, guids[Pick(r, guids.size())]);
      break;
    case 6:  // an element renamed after another
      target.set_name(other.name());
      break;
    case 7: {  // deep nesting, now and then deeper than any recursion could go
      pugi::xml_node inner = target;
      const size_t levels = std::min<size_t>(room / 8, Chance(r, 10) ? 100000 : 1 + Pick(r, 3000));
      for (size_t i = 0; i < levels; ++i) inner = inner.append_child(target.name());
      break;
    }
    case 8:  // children in another order
      if (target.first_child() != target.last_child()) target.append_move(target.first_child());
      break;
    default:  // a text of the right element empty or blank
      if (leaf) SetText(target, Chance(r, 50) ? "" : "   ");
  }
  return true;
}

// Where the XML declaration of `xml` ends (0 when it has none).
size_t DeclarationEnd(const std::string& xml) {
  const size_t end = xml.rfind("<?xml", 0) == 0 ? xml.find("?>") : std::string::npos;
  return end == std::string::npos ? 0 : end + 2;
}

// `xml` with its declaration (added when missing) naming `encoding`.
std::string Declared(const std::string& xml, const char* encoding) {
  return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>" +
         xml.substr(DeclarationEnd(xml));
}

std::string Reencode(const std::string& xml, Random& r) {
  const size_t how = Pick(r, 5);
  if (how < 2)  // with a byte-order mark and without
    return (how == 0 ? "\xFF\xFE" : "") + gen::Utf8ToUtf16Le(Declared(xml, "UTF-16"));
  if (how == 2) return gen::Utf8To1252(Declared(xml, "windows-1252"));
  if (how == 3) return gen::Utf8To1252(xml);  // declared UTF-8, written in the Windows code page
  return "\xEF\xBB\xBF" + xml;
}

// A document type declaration with external entities that must never be
// fetched or nested ones that would grow without bound if expanded, one
// of them used in the first element's text.
std::string WithDoctype(const std::string& xml, Random& r) {
  static const char* const doctypes[] = {
      "<!DOCTYPE PROJECT [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>",
      "<!DOCTYPE PROJECT SYSTEM \"http://127.0.0.1:9/baseline.dtd\">",
      "<!DOCTYPE PROJECT [<!ENTITY % p SYSTEM \"file:///etc/hostname\"> %p;]>",
      ("<!DOCTYPE PROJECT [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>"),
      "<!DOCTYPE PROJECT [<!ELEMENT PROJECT ANY><!ATTLIST PROJECT GUID CDATA \"{X}\">]>"};
  static const char* const refs[] = {"&xxe;", "&d;", "&c;", "&undefined;", "&#0;", "&#x1;"};
  const std::string doctype = OneOf(r, doctypes);
  const size_t at = DeclarationEnd(xml);
  std::string out = xml;
  out.insert(at, doctype);
  const size_t gt = out.find('>', out.find('<', at + doctype.size()));
  if (gt != std::string::npos) out.insert(gt + 1, OneOf(r, refs));
  return out;
}

std::string ChangeCase(std::string name, Random& r) {
  const bool upper = Chance(r, 50);
  for (char& c : name) c = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
  return name;
}

// A change to the list of files: a whole base file added, a file taken
// away, renamed in another letter case (only that spelling remains), or
// turned into a symbolic link: out of the folder (to the bait the harness
// keeps three levels up, to a system file), nowhere, at itself, at the
// folder, or at another file.
void MutateFileList(std::vector<ArchiveSection>& sections, const BaselineFiles& base, Random& r) {
  const auto& [name, bytes] = *std::next(base.begin(), static_cast<long>(Pick(r, base.size())));
  const std::string& other =
      std::next(base.begin(), static_cast<long>(Pick(r, base.size())))->first;
  const size_t choice = Pick(r, 5);
  if (choice == 0) sections.push_back({name, bytes, false, ""});
  if (choice == 1 || choice == 2) sections.push_back({name, "", true, ""});
  if (choice == 2) sections.push_back({ChangeCase(name, r), bytes, false, ""});
  if (choice == 3 && !sections.empty())
    sections.erase(sections.begin() + static_cast<long>(Pick(r, sections.size())));
  const std::string targets[] = {
      "../../../secret.xml", "/etc/hostname", "nowhere.xml", name, ".", "..", other,
      "../bl/" + other};
  if (choice == 4)
    sections.push_back({Chance(r, 80) ? name : ChangeCase(name, r), "", false, OneOf(r, targets)});
}

}  // namespace

std::string MutateArchive(const std::string& input, size_t maxSize, const BaselineFiles& base,
                          Random& random, const ByteMutator& bytes) {
  std::vector<ArchiveSection> sections = ParseArchive(input);
  if (sections.empty() || Chance(random, 8)) {
    MutateFileList(sections, base, random);
  } else {
    std::string& s = sections[Pick(random, sections.size())].content;
    const size_t others = SerializeArchive(sections).size() - s.size();
    const size_t room = maxSize > others + 64 ? maxSize - others - 64 : 0;
    const size_t choice = Pick(random, 100);
    pugi::xml_document doc;
    if (choice < 45) {
      std::vector<std::string> guids = Guids(s);
      if (guids.empty()) guids = Guids(base.begin()->second);
      if (doc.load_buffer(s.data(), s.size(), pugi::parse_default | pugi::parse_declaration) &&
          MutateDocument(doc, room / 2, guids, random)) {
        std::ostringstream out;
        doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
        s = out.str();
      }
    } else if (choice < 80 && room > 0) {
      std::string buffer = s;
      buffer.resize(std::max(room, s.size()));
      s = buffer.substr(0,
                        bytes(reinterpret_cast<uint8_t*>(buffer.data()), s.size(), buffer.size()));
    } else if (choice < 88) {
      s = Reencode(s, random);
    } else if (choice < 94) {
      s = WithDoctype(s, random);
    } else if (!s.empty()) {
      s.resize(Pick(random, s.size()));
    }
  }
  std::string out = SerializeArchive(sections);
  if (out.size() > maxSize) out.resize(maxSize);
  return out;
}

}  // namespace vl::fuzz
