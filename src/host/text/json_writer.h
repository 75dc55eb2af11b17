// A small streaming JSON writer: objects, arrays, strings, numbers,
// Booleans and null, written as they are added. Strings are UTF-8; the
// writer escapes what JSON requires (quote, backslash, control
// characters) and passes every other character through.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

class JsonWriter {
 public:
  // Writes to `out`; with `pretty`, one member or element per line,
  // indented by two blanks per level.
  explicit JsonWriter(std::ostream& out, bool pretty = false) : out_(out), pretty_(pretty) {}

  // Containers. Inside an object every value is preceded by Key(); a
  // container ended that was never begun, or a key outside an object,
  // throws std::logic_error (a programming fault, never bad data).
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view name);

  // Values.
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(int64_t value);
  // A number that is not finite has no JSON form: it is written as null.
  JsonWriter& Number(double value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Shorthands for a member of an object.
  JsonWriter& Member(std::string_view name, std::string_view text) {
    return Key(name).String(text);
  }
  JsonWriter& Member(std::string_view name, const char* text) { return Key(name).String(text); }
  JsonWriter& Member(std::string_view name, int64_t value) { return Key(name).Number(value); }
  JsonWriter& Member(std::string_view name, bool value) { return Key(name).Bool(value); }

  // True when every container begun has been ended.
  bool Complete() const { return stack_.empty() && wrote_top_; }

 private:
  struct Level {
    bool object;
    bool empty = true;
    bool key_pending = false;
  };
  void BeforeValue();
  void NewLine();

  std::ostream& out_;
  bool pretty_;
  bool wrote_top_ = false;
  std::vector<Level> stack_;
};

// `text` as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);

}  // namespace vl
