#include "host/text/resource.h"

#include <cctype>
#include <charconv>
#include <filesystem>

#include "errors/vl_error.h"
#include "host/project/settings_file.h"

namespace vl {

namespace {

// A whole decimal id such as "20083"; anything else is not an id.
bool ParseId(const std::string& text, long& id) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, id);
  return ec == std::errc() && ptr == end;
}

// The settings reader trims values, so a text that must begin or end with
// a blank (one that is put between a file name and an element name, say)
// is written in double quotes; the quotes are dropped here. "\n", "\t" and
// "\\" stand for a line break, a tab and a backslash.
std::string DecodeText(const std::string& raw) {
  std::string text = raw;
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[i + 1];
      if (next == 'n' || next == 't' || next == '\\') {
        out += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

// The text of `id`, or nullptr when there is none or it is empty (texts
// given by SetString may be empty; a message must never be).
const std::string* FindText(const std::map<long, std::string>& strings, long id) {
  auto it = strings.find(id);
  return it == strings.end() || it->second.empty() ? nullptr : &it->second;
}

std::string FallbackText(long id) { return "[resource " + std::to_string(id) + "]"; }

// Length of the placeholder number at text[pos] (just behind a "%"): the
// longest run of digits naming a value that exists, so "%10" is the tenth
// value when there are ten and the first value followed by "0" otherwise.
size_t PlaceholderLength(const std::string& text, size_t pos, size_t valueCount, size_t& index) {
  size_t digits = 0;
  while (pos + digits < text.size() && std::isdigit(static_cast<unsigned char>(text[pos + digits])))
    ++digits;
  for (size_t len = digits; len > 0; --len) {
    size_t n = 0;
    auto [ptr, ec] = std::from_chars(text.data() + pos, text.data() + pos + len, n);
    if (ec == std::errc() && n >= 1 && n <= valueCount) {
      index = n - 1;
      return len;
    }
  }
  return 0;
}

}  // namespace

void Resource::InitResources(const std::string& path, const std::string& /*appName*/) {
  auto file = SettingsFile::OpenSettingsFile(path);
  if (!file)
    throw VlError(err::kFileNotFound, "VlResourceServices.Resource",
                  "The resource file " + path + " cannot be read.");
  strings_.clear();
  bitmaps_.clear();
  font_name_.clear();
  long id = 0;
  if (const SettingsSection* strings = file->GetSection("Strings")) {
    for (const SettingsEntry& e : strings->GetValue()) {
      std::string text = DecodeText(e.GetValue());
      // An empty text would show an empty message; the fallback is better.
      if (ParseId(e.GetName(), id) && !text.empty()) strings_[id] = text;
    }
  }
  if (const SettingsSection* font = file->GetSection("Font")) {
    if (const std::string* name = font->Find("Name")) font_name_ = DecodeText(*name);
  }
  if (const SettingsSection* bitmaps = file->GetSection("Bitmaps")) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (const SettingsEntry& e : bitmaps->GetValue())
      if (ParseId(e.GetName(), id) && !e.GetValue().empty())
        bitmaps_[id] = (folder / DecodeText(e.GetValue())).string();
  }
}

std::string Resource::GetString(long id) const {
  const std::string* text = FindText(strings_, id);
  return text ? *text : FallbackText(id);
}

std::string Resource::GetFormattedString(long id, const std::vector<std::string>& values) const {
  const std::string* found = FindText(strings_, id);
  if (!found) {
    std::string fallback = FallbackText(id);
    for (const std::string& v : values) fallback += " \"" + v + "\"";
    return fallback;
  }
  // One pass over the text: an inserted value is never scanned again, so a
  // description holding "%2" stays as it is.
  const std::string& text = *found;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    size_t index = 0;
    size_t len = text[i] == '%' ? PlaceholderLength(text, i + 1, values.size(), index) : 0;
    if (len == 0) {
      out += text[i];
      continue;
    }
    out += values[index];
    i += len;
  }
  return out;
}

std::string Resource::GetBitmapPath(long id) const {
  auto it = bitmaps_.find(id);
  return it == bitmaps_.end() ? "" : it->second;
}

}  // namespace vl
