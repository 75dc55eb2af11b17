#include "baseline_archive.h"

#include <algorithm>

namespace vl::fuzz {
namespace {

constexpr std::string_view kHeader = "=== ", kArrow = " -> ";
constexpr size_t npos = std::string::npos;

// The position of the next header at or after `from` that starts a line.
size_t NextHeader(const std::string& bytes, size_t from) {
  for (size_t at = bytes.find(kHeader, from); at != npos; at = bytes.find(kHeader, at + 1))
    if (at == 0 || bytes[at - 1] == '\n') return at;
  return npos;
}

}  // namespace

std::vector<ArchiveSection> ParseArchive(const std::string& bytes) {
  std::vector<ArchiveSection> sections;
  for (size_t at = NextHeader(bytes, 0); at != npos;) {
    const size_t line_end = std::min(bytes.find('\n', at), bytes.size());
    const std::string name = bytes.substr(at + kHeader.size(), line_end - at - kHeader.size());
    const size_t begin = std::min(line_end + 1, bytes.size()), arrow = name.find(kArrow);
    const size_t next = NextHeader(bytes, begin);
    // The line break before a header belongs to the header.
    const size_t end = next == npos ? bytes.size() : std::max(begin, next - 1);
    if (name.starts_with('-'))
      sections.push_back({name.substr(1), "", true, ""});
    else if (arrow != npos)
      sections.push_back({name.substr(0, arrow), "", false, name.substr(arrow + kArrow.size())});
    else
      sections.push_back({name, bytes.substr(begin, end - begin), false, ""});
    at = next;
  }
  return sections;
}

std::string SerializeArchive(const std::vector<ArchiveSection>& sections) {
  std::string out;
  for (const ArchiveSection& s : sections)
    out +=
        (out.empty() ? "" : "\n") + std::string(kHeader) +
        (s.removed ? "-" + s.name
                   : s.name + (s.link.empty() ? "\n" + s.content : std::string(kArrow) + s.link));
  return out;
}

BaselineFolder Overlay(const BaselineFiles& base, const std::vector<ArchiveSection>& sections) {
  BaselineFolder folder{base, {}};
  for (const ArchiveSection& s : sections) {
    folder.files.erase(s.name);
    folder.links.erase(s.name);
    if (!s.removed && !s.link.empty()) folder.links[s.name] = s.link;
    if (!s.removed && s.link.empty()) folder.files[s.name] = s.content;
  }
  return folder;
}

}  // namespace vl::fuzz
