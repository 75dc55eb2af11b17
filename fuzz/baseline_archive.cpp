#include "baseline_archive.h"

namespace vl::fuzz {

namespace {

constexpr const char kHeader[] = "=== ";
constexpr size_t kHeaderSize = sizeof(kHeader) - 1;
constexpr const char kArrow[] = " -> ";

// The position of the next header at or after `from` that starts a line.
size_t NextHeader(const std::string& bytes, size_t from) {
  for (size_t at = bytes.find(kHeader, from); at != std::string::npos;
       at = bytes.find(kHeader, at + 1)) {
    if (at == 0 || bytes[at - 1] == '\n') return at;
  }
  return std::string::npos;
}

}  // namespace

std::vector<ArchiveSection> ParseArchive(const std::string& bytes) {
  std::vector<ArchiveSection> sections;
  size_t at = NextHeader(bytes, 0);
  while (at != std::string::npos) {
    const size_t name_begin = at + kHeaderSize;
    const size_t line_end = bytes.find('\n', name_begin);
    ArchiveSection section;
    section.name = bytes.substr(
        name_begin, line_end == std::string::npos ? std::string::npos : line_end - name_begin);
    const size_t content_begin = line_end == std::string::npos ? bytes.size() : line_end + 1;
    const size_t next = NextHeader(bytes, content_begin);
    size_t content_end = next == std::string::npos ? bytes.size() : next;
    // The line break before a header belongs to the header.
    if (next != std::string::npos && content_end > content_begin) --content_end;
    const size_t arrow = section.name.find(kArrow);
    if (!section.name.empty() && section.name[0] == '-') {
      section.name.erase(0, 1);
      section.removed = true;
    } else if (arrow != std::string::npos) {
      section.link = section.name.substr(arrow + sizeof(kArrow) - 1);
      section.name.erase(arrow);
    } else {
      section.content = bytes.substr(content_begin, content_end - content_begin);
    }
    sections.push_back(std::move(section));
    at = next;
  }
  return sections;
}

std::string SerializeArchive(const std::vector<ArchiveSection>& sections) {
  std::string out;
  for (const ArchiveSection& s : sections) {
    if (!out.empty()) out += '\n';
    out += kHeader;
    if (s.removed) {
      out += "-" + s.name;
      continue;
    }
    if (!s.link.empty()) {
      out += s.name + kArrow + s.link;
      continue;
    }
    out += s.name + "\n" + s.content;
  }
  return out;
}

BaselineFolder Overlay(const BaselineFiles& base, const std::vector<ArchiveSection>& sections) {
  BaselineFolder folder{base, {}};
  for (const ArchiveSection& s : sections) {
    folder.files.erase(s.name);
    folder.links.erase(s.name);
    if (s.removed) continue;
    if (!s.link.empty())
      folder.links[s.name] = s.link;
    else
      folder.files[s.name] = s.content;
  }
  return folder;
}

}  // namespace vl::fuzz
