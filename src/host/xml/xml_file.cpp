#include "host/xml/xml_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "errors/vl_error.h"
#include "host/xml/xml_encoding.h"

namespace vl {

namespace {

// Document type declarations are skipped, never resolved: the parser
// expands only the predefined entities and character references.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;

// Parses a whole file's bytes. The document must own the buffer it is
// parsed in, so the bytes are copied once into memory the parser frees:
// for a moment a file is held twice, then once beside its nodes.
XmlLoadResult ParseXmlBytes(pugi::xml_document& doc, std::string bytes) {
  XmlLoadResult result;
  doc.reset();
  PreparedXmlBytes prepared = PrepareXmlBytes(std::move(bytes));
  if (!prepared.error.empty()) {
    result.message = prepared.error;
    return result;
  }
  result.encoding_note = EncodingNote(prepared);
  const size_t size = prepared.bytes.size();
  void* buffer = pugi::get_memory_allocation_function()(size == 0 ? 1 : size);
  if (!buffer) {
    result.message = "out of memory";
    return result;
  }
  std::memcpy(buffer, prepared.bytes.data(), size);
  prepared.bytes = std::string();
  // The document owns the buffer from here on, also when parsing fails.
  pugi::xml_parse_result parsed =
      doc.load_buffer_inplace_own(buffer, size, kParseOptions, prepared.encoding);
  if (!parsed) {
    doc.reset();
    result.message =
        std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset);
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff size = in.tellg();
  if (size < 0) return false;
  bytes.resize(static_cast<size_t>(size));
  in.seekg(0);
  return static_cast<bool>(in.read(bytes.data(), size));
}

std::string NodeText(const pugi::xml_node& node) {
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
  pugi::xml_node n = node.first_child();
  // Nearly every value is one text and nothing else: taken as it stands.
  if (n && !n.next_sibling() && (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata))
    return n.value();
  std::string text;
  while (n) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n != node && !n.next_sibling()) n = n.parent();
    if (n == node) break;
    n = n.next_sibling();
  }
  return text;
}

XmlLoadResult LoadXmlBuffer(pugi::xml_document& doc, const std::string& bytes) {
  return ParseXmlBytes(doc, bytes);
}

XmlLoadResult LoadXmlPath(pugi::xml_document& doc, const std::string& path) {
  std::string bytes;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || !ReadFileBytes(path, bytes)) {
    doc.reset();
    XmlLoadResult result;
    result.message = std::filesystem::exists(path, ec) ? "cannot read the file" : "file not found";
    return result;
  }
  XmlLoadResult result = ParseXmlBytes(doc, std::move(bytes));
  result.path = path;
  return result;
}

XmlLoadResult LoadXmlFile(pugi::xml_document& doc, const std::string& folder,
                          const std::string& name) {
  std::string path = FindFileNoCase(folder, name);
  if (path.empty()) {
    doc.reset();
    XmlLoadResult result;
    result.message = "file not found";
    return result;
  }
  return LoadXmlPath(doc, path);
}

void AddXmlDeclaration(pugi::xml_document& doc) {
  pugi::xml_node decl = doc.prepend_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("standalone") = "yes";
}

std::string ChildText(const pugi::xml_node& node, const char* xpath) {
  if (!node) return "";
  try {
    pugi::xpath_node found = node.select_node(xpath);
    if (found.attribute()) return found.attribute().value();
    return found.node() ? NodeText(found.node()) : std::string();
  } catch (const pugi::xpath_exception&) {
    return "";
  }
}

}  // namespace vl
