// A baseline file as the check reads it: found whatever the letter case of
// its name, decoded as the run decodes it, parsed, and with the line of
// every node known, so that each problem can say where it lies.
#pragma once

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace vl {

class CheckedXmlFile {
 public:
  // Reads `name` in `folder` (found as the run finds it). True when the
  // document can be used. Otherwise false with error() saying why (the
  // file is missing or cannot be read, its encoding is not supported, or
  // it is not well-formed, with the parser's reason) and error_line() the
  // line where parsing failed (0 when no line applies); the document is
  // then empty.
  bool Load(const std::string& folder, const std::string& name);

  // The name as found in the folder, or as asked when it was not found.
  const std::string& name() const { return name_; }
  uint64_t size() const { return size_; }
  const std::string& error() const { return error_; }
  int error_line() const { return error_line_; }
  const pugi::xml_document& doc() const { return doc_; }
  // How the text was read when that changed it (EncodingNote), "" when it
  // did not; encoding_line() the line of the first byte replaced (0: none).
  const std::string& encoding_note() const { return encoding_note_; }
  int encoding_line() const { return encoding_line_; }

  // The 1-based line where `node` (an element: its name) or `attribute`
  // starts; 0 for a node that did not come from the file.
  int LineOf(const pugi::xml_node& node) const;
  int LineOf(const pugi::xml_attribute& attribute) const;

 private:
  int LineAt(const char* at) const;
  bool Parse(std::string text);

  pugi::xml_document doc_;
  std::string name_, error_;
  int error_line_ = 0;
  std::string encoding_note_;
  int encoding_line_ = 0;
  uint64_t size_ = 0;
  std::unique_ptr<std::string> text_;  // the text the document was parsed in
  const char* buffer_ = nullptr;       // where it starts
  size_t buffer_size_ = 0;
  std::vector<size_t> line_breaks_;  // offsets of the "\n" of the text
};

// The path of `node` from the root element, each element with its position
// among siblings of its name when it has such siblings:
// "PROJECT/Pkg/Requirements/Req[3]/RTID".
std::string ElementPath(const pugi::xml_node& node);

}  // namespace vl
