// Loading and saving XML files. Baselines come from other systems: files
// may be UTF-8, UTF-16 with a byte-order mark, or declare windows-1252 or
// ISO-8859-1; their names may differ in letter case from the names asked
// for. Document type declarations are never resolved or fetched.
#pragma once

#include <functional>
#include <pugixml.hpp>
#include <string>

namespace vl {

struct XmlLoadResult {
  bool ok = false;
  std::string path;     // the file actually read ("" when none was found)
  std::string message;  // why it failed: "file not found", "... at offset N"
  // How the text was read when that changed it (bytes that were not UTF-8
  // replaced, or read as windows-1252): EncodingNote; "" otherwise.
  std::string encoding_note;
  explicit operator bool() const { return ok; }
};

// The path of `name` in `folder`: the exact name when it exists, otherwise
// the first entry whose name equals it without regard to letter case;
// "" when there is none. A name holding "/" or a NUL, or "." or "..", is
// never found, nor is a symbolic link whose target lies outside `folder`
// (or does not exist): a folder from elsewhere must not lead elsewhere.
std::string FindFileNoCase(const std::string& folder, const std::string& name);

// Reads the whole file at `path` into `bytes`; false when it cannot be
// opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Loads `folder`/`name` (found as FindFileNoCase does) into `doc`. On
// failure `doc` is empty (a document without elements, as a missing or
// broken file behaves).
XmlLoadResult LoadXmlFile(pugi::xml_document& doc, const std::string& folder,
                          const std::string& name);
// Loads a file by its full path, with the same encoding rules.
XmlLoadResult LoadXmlPath(pugi::xml_document& doc, const std::string& path);
// Parses XML text held in memory (bytes as in a file), same rules.
XmlLoadResult LoadXmlBuffer(pugi::xml_document& doc, const std::string& bytes);

// Adds the declaration <?xml version="1.0" standalone="yes"?> as the first
// node of `doc` (no encoding attribute).
void AddXmlDeclaration(pugi::xml_document& doc);
// Saves `doc` in UTF-8 to `path`, replacing the file atomically (written
// to a temporary file beside it, then renamed). Throws VlError naming the
// path when it cannot be written.
void SaveXmlFile(const pugi::xml_document& doc, const std::string& path);
// Saves to `path` the text that `write` hands to the writer it is given,
// the same way (atomically, the same permissions and errors): for files too
// large to be held as a document. The text of SaveXmlFile for a document
// is XmlDocumentText; WriteXmlNode writes one node of it as it appears at
// `depth` (indented by that many tabs, followed by a line break).
void SaveXmlText(const std::string& path, const std::function<void(pugi::xml_writer&)>& write);
std::string XmlDocumentText(const pugi::xml_document& doc);
void WriteXmlNode(pugi::xml_writer& writer, const pugi::xml_node& node, unsigned depth);

// The text of the first element matching `xpath` below `node`, "" when none.
std::string ChildText(const pugi::xml_node& node, const char* xpath);
// All character data below `node` (its own value for a text node), in
// document order, as a DOM gives the text of an element; "" for none.
std::string NodeText(const pugi::xml_node& node);

}  // namespace vl
