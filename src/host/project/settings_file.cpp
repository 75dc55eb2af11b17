#include "host/project/settings_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "host/text/convert.h"

namespace vl {

namespace {

// Blanks and tabs at both ends; a settings file may be indented either way.
std::string TrimBlanks(const std::string& s) {
  const char* blanks = " \t";
  size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

bool IsComment(const std::string& line) { return line[0] == ';' || line[0] == '#'; }

// "[Name]" gives true and the trimmed name.
bool ParseSectionHeader(const std::string& line, std::string& name) {
  if (line.front() != '[' || line.back() != ']') return false;
  name = TrimBlanks(line.substr(1, line.size() - 2));
  return true;
}

}  // namespace

const std::string* SettingsSection::Find(const std::string& name) const {
  for (const SettingsEntry& e : entries_)
    if (EqualsNoCase(e.GetName(), name)) return &e.GetValue();
  return nullptr;
}

std::unique_ptr<SettingsFile> SettingsFile::OpenSettingsFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return nullptr;
  return Parse(text.str());
}

std::unique_ptr<SettingsFile> SettingsFile::Parse(const std::string& text) {
  auto file = std::make_unique<SettingsFile>();
  size_t pos = 0;
  // Files written by editors elsewhere may begin with a UTF-8 byte-order mark.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  // A section that appears twice is one section: its entries are joined in
  // file order, so none of them is lost behind the first header.
  auto sectionIndex = [&file](const std::string& name) {
    for (size_t i = 0; i < file->sections_.size(); ++i)
      if (EqualsNoCase(file->sections_[i].GetName(), name)) return i;
    file->sections_.emplace_back(name);
    return file->sections_.size() - 1;
  };
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t current = kNone;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = TrimBlanks(raw);
    if (line.empty() || IsComment(line)) continue;
    std::string name;
    if (ParseSectionHeader(line, name)) {
      current = sectionIndex(name);
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;  // not an entry: ignored
    // Entries before the first section header belong to a section without
    // a name, so that they are kept rather than silently dropped.
    if (current == kNone) current = sectionIndex("");
    file->sections_[current].AddEntry(TrimBlanks(line.substr(0, eq)),
                                      TrimBlanks(line.substr(eq + 1)));
  }
  return file;
}

const SettingsSection* SettingsFile::GetSection(const std::string& name) const {
  for (const SettingsSection& s : sections_)
    if (EqualsNoCase(s.GetName(), name)) return &s;
  return nullptr;
}

}  // namespace vl
