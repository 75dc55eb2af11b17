#include "gen-baseline/xml_writer.h"

#include <stdexcept>

#include "host/text/markup_escape.h"

namespace vl::gen {

namespace {
constexpr size_t kFlushSize = 1 << 20;
}  // namespace

void AppendEscapedText(std::string& out, std::string_view text) {
  AppendMarkupEscaped(out, text, {.carriage_return = true});
}

void AppendEscapedAttr(std::string& out, std::string_view text) {
  AppendMarkupEscaped(out, text,
                      {.quote = true, .tab = true, .line_feed = true, .carriage_return = true});
}

XmlWriter::XmlWriter(const std::filesystem::path& path, FileEncoding encoding)
    : path_(path), encoding_(encoding) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) throw std::runtime_error("cannot create " + path.string());
  buffer_.reserve(kFlushSize + 4096);
  if (encoding_ == FileEncoding::kUtf16) std::fwrite("\xFF\xFE", 1, 2, file_);
  buffer_ += "<?xml version=\"1.0\" encoding=\"";
  buffer_ += EncodingName(encoding_);
  buffer_ += "\" standalone=\"yes\"?>";
}

XmlWriter::~XmlWriter() {
  if (file_ != nullptr) {
    Flush();
    std::fclose(file_);
  }
}

void XmlWriter::CloseStartTag() {
  if (start_tag_open_) {
    buffer_ += '>';
    start_tag_open_ = false;
  }
}

void XmlWriter::NewLine() {
  buffer_ += '\n';
  buffer_.append(open_.size() * 2, ' ');
}

XmlWriter& XmlWriter::Start(std::string_view name) {
  CloseStartTag();
  // Flushing here, between tags, never splits a character in two.
  if (buffer_.size() >= kFlushSize) Flush();
  if (!open_.empty()) open_.back().second = true;
  NewLine();
  buffer_ += '<';
  buffer_ += name;
  open_.emplace_back(std::string(name), false);
  start_tag_open_ = true;
  has_text_ = false;
  return *this;
}

XmlWriter& XmlWriter::Attr(std::string_view name, std::string_view value) {
  buffer_ += ' ';
  buffer_ += name;
  buffer_ += "=\"";
  AppendEscapedAttr(buffer_, value);
  buffer_ += '"';
  return *this;
}

XmlWriter& XmlWriter::Attr(std::string_view name, long long value) {
  return Attr(name, std::to_string(value));
}

XmlWriter& XmlWriter::Text(std::string_view text) {
  if (text.empty()) return *this;
  CloseStartTag();
  AppendEscapedText(buffer_, text);
  has_text_ = true;
  return *this;
}

XmlWriter& XmlWriter::End() {
  if (open_.empty()) throw std::logic_error("XmlWriter::End without an open element");
  auto [name, has_children] = open_.back();
  open_.pop_back();
  if (start_tag_open_) {
    buffer_ += "/>";
    start_tag_open_ = false;
  } else {
    if (has_children && !has_text_) NewLine();
    buffer_ += "</";
    buffer_ += name;
    buffer_ += '>';
  }
  has_text_ = false;
  return *this;
}

XmlWriter& XmlWriter::Element(std::string_view name, std::string_view text) {
  Start(name);
  Text(text);
  return End();
}

XmlWriter& XmlWriter::Element(std::string_view name, long long value) {
  return Element(name, std::to_string(value));
}

void XmlWriter::Flush() {
  if (buffer_.empty() || file_ == nullptr) return;
  const std::string* bytes = &buffer_;
  std::string converted;
  if (encoding_ == FileEncoding::kUtf16) {
    converted = Utf8ToUtf16Le(buffer_);
    bytes = &converted;
  } else if (encoding_ == FileEncoding::kWindows1252) {
    converted = Utf8To1252(buffer_);
    bytes = &converted;
  }
  if (std::fwrite(bytes->data(), 1, bytes->size(), file_) != bytes->size()) failed_ = true;
  buffer_.clear();
}

void XmlWriter::Close() {
  if (file_ == nullptr) return;
  while (!open_.empty()) End();
  buffer_ += '\n';
  Flush();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  if (failed_) throw std::runtime_error("cannot write " + path_.string());
}

}  // namespace vl::gen
