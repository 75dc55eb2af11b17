#include "baseline/check/checked_xml_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "host/xml/xml_encoding.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {

// As the run parses: document type declarations are skipped, never
// resolved.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;

}  // namespace

bool CheckedXmlFile::Load(const std::string& folder, const std::string& name) {
  doc_.reset();
  text_.reset();
  buffer_ = nullptr;
  buffer_size_ = 0;
  line_breaks_.clear();
  error_.clear();
  error_line_ = 0;
  encoding_note_.clear();
  encoding_line_ = 0;
  size_ = 0;
  name_ = name;
  const std::string path = FindFileNoCase(folder, name);
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) {
    error_ = "the file is missing";
    return false;
  }
  name_ = std::filesystem::path(path).filename().string();
  std::string bytes;
  if (!std::filesystem::is_regular_file(path, ec) || !ReadFileBytes(path, bytes)) {
    error_ = "the file cannot be read";
    return false;
  }
  size_ = bytes.size();
  PreparedXmlBytes prepared = PrepareXmlBytes(std::move(bytes));
  if (!prepared.error.empty()) {
    error_ = "the file cannot be read: " + prepared.error;
    return false;
  }
  encoding_note_ = EncodingNote(prepared);
  encoding_line_ = prepared.replaced.empty() ? 0 : static_cast<int>(prepared.replaced[0].line);
  return Parse(std::move(prepared.bytes));
}

bool CheckedXmlFile::Parse(std::string text) {
  for (const char* p = text.data();
       (p = static_cast<const char*>(std::memchr(p, '\n', text.data() + text.size() - p))); ++p)
    line_breaks_.push_back(static_cast<size_t>(p - text.data()));
  // Parsed where it lies: the document points into the text, which is kept
  // (at an address that moving this object does not change).
  text_ = std::make_unique<std::string>(std::move(text));
  buffer_ = text_->data();
  buffer_size_ = text_->size();
  pugi::xml_parse_result parsed =
      doc_.load_buffer_inplace(text_->data(), buffer_size_, kParseOptions, pugi::encoding_utf8);
  if (parsed) return true;
  error_.assign("it is not well-formed XML: ").append(parsed.description());
  error_line_ =
      LineAt(buffer_ + std::min<size_t>(static_cast<size_t>(parsed.offset), buffer_size_));
  doc_.reset();
  text_.reset();
  buffer_ = nullptr;
  return false;
}

int CheckedXmlFile::LineAt(const char* at) const {
  if (!buffer_ || at < buffer_ || at > buffer_ + buffer_size_) return 0;
  const size_t offset = static_cast<size_t>(at - buffer_);
  return static_cast<int>(std::lower_bound(line_breaks_.begin(), line_breaks_.end(), offset) -
                          line_breaks_.begin()) +
         1;
}

int CheckedXmlFile::LineOf(const pugi::xml_node& node) const {
  if (!node) return 0;
  if (node.type() == pugi::node_element) return LineAt(node.name());
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
    return LineAt(node.value());
  return LineOf(node.parent());
}

int CheckedXmlFile::LineOf(const pugi::xml_attribute& attribute) const {
  return attribute ? LineAt(attribute.name()) : 0;
}

namespace {

// One step of an element path: the name, and the position among siblings
// of that name when there are such siblings.
std::string PathStep(const pugi::xml_node& n) {
  size_t position = 1;
  for (pugi::xml_node s = n.previous_sibling(n.name()); s; s = s.previous_sibling(n.name()))
    ++position;
  std::string step = n.name();
  if (position > 1 || n.next_sibling(n.name()))
    step.append("[").append(std::to_string(position)).append("]");
  return step;
}

}  // namespace

std::string ElementPath(const pugi::xml_node& node) {
  // A hostile file may nest elements a million deep: a path that long is
  // shown with its root and its last steps only.
  constexpr size_t kShownSteps = 16;
  std::vector<pugi::xml_node> chain;
  for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent())
    chain.push_back(n);
  std::string path;
  for (size_t i = chain.size(); i-- > 0;) {
    if (i + 1 != chain.size() && i >= kShownSteps) {
      if (i + 2 == chain.size()) path += "/...";
      continue;
    }
    if (!path.empty()) path += '/';
    path += PathStep(chain[i]);
  }
  return path;
}

}  // namespace vl
