// A streaming XML writer: elements go straight into a buffered file, so a
// baseline of any size is written without holding its document in memory.
// Texts are escaped here; names are trusted (they are the generator's own).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "gen-baseline/text_encoding.h"

namespace vl::gen {

class XmlWriter {
 public:
  // Creates (or replaces) the file and writes the XML declaration naming
  // `encoding` (UTF-16 files start with a byte-order mark). Throws
  // std::runtime_error naming the path when the file cannot be created.
  XmlWriter(const std::filesystem::path& path, FileEncoding encoding);
  // Flushes what is left; errors are only reported by Close.
  ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // Starts an element; attributes may follow until its content starts.
  XmlWriter& Start(std::string_view name);
  // Adds an attribute to the element just started.
  XmlWriter& Attr(std::string_view name, std::string_view value);
  XmlWriter& Attr(std::string_view name, long long value);
  // Adds text content to the current element.
  XmlWriter& Text(std::string_view text);
  // Ends the current element ("<x/>" when it has no content).
  XmlWriter& End();
  // A whole element holding only text.
  XmlWriter& Element(std::string_view name, std::string_view text);
  XmlWriter& Element(std::string_view name, long long value);

  // Ends open elements, flushes and closes the file. Throws
  // std::runtime_error naming the path when writing failed.
  void Close();

 private:
  void CloseStartTag();
  void NewLine();
  void Flush();

  std::filesystem::path path_;
  FileEncoding encoding_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
  // Open elements; `second` tells whether the element has child elements
  // (its end tag then goes on a line of its own).
  std::vector<std::pair<std::string, bool>> open_;
  bool start_tag_open_ = false;
  bool has_text_ = false;
  bool failed_ = false;
};

// `text` escaped for element content: & < > and a carriage return (which a
// parser would otherwise fold into a line feed).
void AppendEscapedText(std::string& out, std::string_view text);
// `text` escaped for a double-quoted attribute value: also " and the three
// white-space controls, which a parser would otherwise turn into blanks.
void AppendEscapedAttr(std::string& out, std::string_view text);

}  // namespace vl::gen
