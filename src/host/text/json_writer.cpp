#include "host/text/json_writer.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace vl {

std::string JsonQuote(std::string_view text) {
  constexpr const char* hex = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7f) {
          out += "\\u00";
          out += hex[u >> 4];
          out += hex[u & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

void JsonWriter::NewLine() {
  if (!pretty_) return;
  out_ << '\n';
  for (size_t i = 0; i < stack_.size(); ++i) out_ << "  ";
}

void JsonWriter::BeforeValue() {
  if (stack_.empty()) {
    if (wrote_top_) throw std::logic_error("JsonWriter: a second value at the top level");
    wrote_top_ = true;
    return;
  }
  Level& level = stack_.back();
  if (level.object) {
    if (!level.key_pending) throw std::logic_error("JsonWriter: a value in an object needs a key");
    level.key_pending = false;
    return;
  }
  if (!level.empty) out_ << ',';
  level.empty = false;
  NewLine();
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  if (stack_.empty() || !stack_.back().object || stack_.back().key_pending)
    throw std::logic_error("JsonWriter: a key outside an object");
  Level& level = stack_.back();
  if (!level.empty) out_ << ',';
  level.empty = false;
  level.key_pending = true;
  NewLine();
  out_ << JsonQuote(name) << (pretty_ ? ": " : ":");
  return *this;
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  out_ << '{';
  stack_.push_back({true});
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  out_ << '[';
  stack_.push_back({false});
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  if (stack_.empty() || !stack_.back().object || stack_.back().key_pending)
    throw std::logic_error("JsonWriter: no object to end");
  const bool empty = stack_.back().empty;
  stack_.pop_back();
  if (!empty) NewLine();
  out_ << '}';
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  if (stack_.empty() || stack_.back().object) throw std::logic_error("JsonWriter: no array to end");
  const bool empty = stack_.back().empty;
  stack_.pop_back();
  if (!empty) NewLine();
  out_ << ']';
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  out_ << JsonQuote(text);
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  BeforeValue();
  out_ << value;
  return *this;
}

JsonWriter& JsonWriter::Number(double value) {
  BeforeValue();
  if (!std::isfinite(value)) {
    out_ << "null";
    return *this;
  }
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out_.write(buf, res.ptr - buf);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
  return *this;
}

}  // namespace vl
