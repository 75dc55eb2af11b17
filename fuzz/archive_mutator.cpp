#include "archive_mutator.h"

#include <algorithm>
#include <cctype>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <vector>

#include "gen-baseline/text_encoding.h"

namespace vl::fuzz {

namespace {

using Random = std::mt19937_64;

size_t Pick(Random& r, size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(r); }
bool Chance(Random& r, int percent) { return static_cast<int>(Pick(r, 100)) < percent; }

// Values that break assumptions: numbers at and beyond every integer
// width, GUIDs of every shape, names that leave a folder, texts SQL and
// XML treat specially, dates in no known form.
const std::vector<std::string>& HostileValues() {
  // clang-format off
  static const std::vector<std::string> values = {
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
  return values;
}

// A long text: plain letters, letters of two bytes, or a mix with quotes
// and separators, of a length around the overflow thresholds or far past
// them.
std::string EnormousText(Random& r, size_t room) {
  static const size_t lengths[] = {255, 256, 2000, 2001, 4096, 9000, 30000};
  size_t length = std::min(lengths[Pick(r, std::size(lengths))], room);
  static const std::string pieces[] = {"A", "\xC3\xA9", "'|", "x ", "\xE2\x82\xAC"};
  const std::string& piece = pieces[Pick(r, std::size(pieces))];
  std::string text;
  while (text.size() + piece.size() <= length) text += piece;
  return text;
}

// Every GUID-shaped text in `text`.
void CollectGuids(const std::string& text, std::vector<std::string>& guids) {
  static const std::regex guid(
      "\\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-"
      "[0-9A-Fa-f]{12}\\}");
  for (std::sregex_iterator it(text.begin(), text.end(), guid), end; it != end; ++it)
    guids.push_back(it->str());
}

// Every element of `doc`, walked without recursion (inputs nest deep).
std::vector<pugi::xml_node> Elements(pugi::xml_document& doc) {
  std::vector<pugi::xml_node> all;
  for (pugi::xml_node n = doc.first_child(); n;) {
    if (n.type() == pugi::node_element) all.push_back(n);
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && !n.next_sibling()) n = n.parent();
    if (n) n = n.next_sibling();
  }
  return all;
}

void SetText(pugi::xml_node element, const std::string& text) {
  while (element.first_child()) element.remove_child(element.first_child());
  element.append_child(pugi::node_pcdata).set_value(text.c_str());
}

// One structural change of `doc`; false when it has no element.
bool MutateDocument(pugi::xml_document& doc, size_t room, const std::vector<std::string>& guids,
                    Random& r) {
  std::vector<pugi::xml_node> all = Elements(doc);
  if (all.empty()) return false;
  pugi::xml_node target = all[Pick(r, all.size())];
  pugi::xml_node other = all[Pick(r, all.size())];
  const std::string value =
      Chance(r, 10) ? EnormousText(r, room) : HostileValues()[Pick(r, HostileValues().size())];
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
      if (!target.first_element_by_path("*")) SetText(target, value);
      break;
    case 4: {  // an attribute value of the wrong type
      pugi::xml_attribute a = target.first_attribute();
      for (size_t skip = Pick(r, 4); a && skip > 0 && a.next_attribute(); --skip)
        a = a.next_attribute();
      if (a)
        a.set_value(value.c_str());
      else
        target.append_attribute("GUID").set_value(value.c_str());
      break;
    }
    case 5:  // one object's GUID given to another
      if (!guids.empty() && !target.first_element_by_path("*"))
        SetText(target, guids[Pick(r, guids.size())]);
      break;
    case 6:  // an element renamed after another
      target.set_name(other.name());
      break;
    case 7: {  // deep nesting
      pugi::xml_node inner = target;
      // Now and then deeper than any recursion over elements could go.
      const size_t levels = std::min<size_t>(room / 8, Chance(r, 10) ? 100000 : 1 + Pick(r, 3000));
      for (size_t i = 0; i < levels; ++i) inner = inner.append_child(target.name());
      break;
    }
    case 8:  // children in another order
      if (target.first_child() && target.last_child() != target.first_child())
        target.append_move(target.first_child());
      break;
    default:  // a text of the right element empty or blank
      if (!target.first_element_by_path("*")) SetText(target, Chance(r, 50) ? "" : "   ");
      break;
  }
  return true;
}

std::string Serialize(const pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

// Where the XML declaration of `xml` ends (0 when it has none).
size_t DeclarationEnd(const std::string& xml) {
  const size_t end = xml.rfind("<?xml", 0) == 0 ? xml.find("?>") : std::string::npos;
  return end == std::string::npos ? 0 : end + 2;
}

// The declaration of `xml` made to name `encoding` (added when missing).
std::string WithDeclaredEncoding(const std::string& xml, const char* encoding) {
  return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>" +
         xml.substr(DeclarationEnd(xml));
}

std::string Reencode(const std::string& xml, Random& r) {
  switch (Pick(r, 5)) {
    case 0:
      return "\xFF\xFE" + gen::Utf8ToUtf16Le(WithDeclaredEncoding(xml, "UTF-16"));
    case 1:  // no byte-order mark
      return gen::Utf8ToUtf16Le(WithDeclaredEncoding(xml, "UTF-16"));
    case 2:
      return gen::Utf8To1252(WithDeclaredEncoding(xml, "windows-1252"));
    case 3:  // declared UTF-8, written in the Windows code page
      return gen::Utf8To1252(xml);
    default:
      return "\xEF\xBB\xBF" + xml;
  }
}

// Declarations of entities: external ones that must never be fetched,
// and nested ones that would grow without bound if expanded.
std::string WithDoctype(const std::string& xml, Random& r) {
  static const std::string doctypes[] = {
      "<!DOCTYPE PROJECT [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>",
      "<!DOCTYPE PROJECT SYSTEM \"http://127.0.0.1:9/baseline.dtd\">",
      "<!DOCTYPE PROJECT [<!ENTITY % p SYSTEM \"file:///etc/hostname\"> %p;]>",
      "<!DOCTYPE PROJECT [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>",
      "<!DOCTYPE PROJECT [<!ELEMENT PROJECT ANY><!ATTLIST PROJECT GUID CDATA \"{X}\">]>"};
  const std::string& doctype = doctypes[Pick(r, std::size(doctypes))];
  const size_t at = DeclarationEnd(xml);
  std::string out = xml;
  out.insert(at, doctype);
  // Use the entities inside the first element's text.
  static const char* const refs[] = {"&xxe;", "&d;", "&c;", "&undefined;", "&#0;", "&#x1;"};
  size_t gt = out.find('>', out.find('<', at + doctype.size()));
  if (gt != std::string::npos) out.insert(gt + 1, refs[Pick(r, std::size(refs))]);
  return out;
}

std::string ChangeCase(std::string name, Random& r) {
  const bool upper = Chance(r, 50);
  for (char& c : name) c = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
  return name;
}

// Where a baseline file may point when it is a symbolic link: out of the
// folder (to the bait the harness keeps three levels up, to a system
// file), nowhere, at itself, at the folder, or inside the folder.
std::string LinkTarget(const std::string& name, const BaselineFiles& base, Random& r) {
  const std::string other = std::next(base.begin(), static_cast<long>(Pick(r, base.size())))->first;
  const std::string targets[] = {
      "../../../secret.xml", "/etc/hostname", "nowhere.xml", name, ".", "..", other,
      "../bl/" + other};
  return targets[Pick(r, std::size(targets))];
}

// A change to the list of files: a whole base file added, a file taken
// away, renamed in another letter case, present in two spellings, or
// turned into a symbolic link.
void MutateFileList(std::vector<ArchiveSection>& sections, const BaselineFiles& base, Random& r) {
  auto file = std::next(base.begin(), static_cast<long>(Pick(r, base.size())));
  const size_t choice = Pick(r, 5);
  if (choice == 0) sections.push_back({file->first, file->second, false, ""});
  if (choice == 1 || choice == 2) sections.push_back({file->first, "", true, ""});
  // Only another spelling of the name remains.
  if (choice == 2) sections.push_back({ChangeCase(file->first, r), file->second, false, ""});
  if (choice == 3 && !sections.empty()) sections.erase(sections.begin() + Pick(r, sections.size()));
  if (choice == 4)
    sections.push_back({Chance(r, 80) ? file->first : ChangeCase(file->first, r), "", false,
                        LinkTarget(file->first, base, r)});
}

}  // namespace

std::string MutateArchive(const std::string& input, size_t maxSize, const BaselineFiles& base,
                          Random& random, const ByteMutator& bytes) {
  std::vector<ArchiveSection> sections = ParseArchive(input);
  if (sections.empty() || Chance(random, 8)) {
    MutateFileList(sections, base, random);
  } else {
    ArchiveSection& s = sections[Pick(random, sections.size())];
    const size_t others = SerializeArchive(sections).size() - s.content.size();
    const size_t room = maxSize > others + 64 ? maxSize - others - 64 : 0;
    const size_t choice = Pick(random, 100);
    if (choice < 45) {
      pugi::xml_document doc;
      std::vector<std::string> guids;
      CollectGuids(s.content, guids);
      if (guids.empty()) CollectGuids(base.begin()->second, guids);
      if (doc.load_buffer(s.content.data(), s.content.size(),
                          pugi::parse_default | pugi::parse_declaration) &&
          MutateDocument(doc, room / 2, guids, random)) {
        s.content = Serialize(doc);
      }
    } else if (choice < 80 && room > 0) {
      std::string buffer = s.content;
      buffer.resize(std::max(room, s.content.size()));
      const size_t size =
          bytes(reinterpret_cast<uint8_t*>(buffer.data()), s.content.size(), buffer.size());
      s.content = buffer.substr(0, std::min(size, buffer.size()));
    } else if (choice < 88) {
      s.content = Reencode(s.content, random);
    } else if (choice < 94) {
      s.content = WithDoctype(s.content, random);
    } else if (!s.content.empty()) {
      s.content.resize(Pick(random, s.content.size()));
    }
  }
  std::string out = SerializeArchive(sections);
  if (out.size() > maxSize) out.resize(maxSize);
  return out;
}

}  // namespace vl::fuzz
