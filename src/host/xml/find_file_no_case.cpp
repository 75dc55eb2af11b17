// Finding a file whose name may differ in letter case: baselines are often
// copied from case-insensitive file systems, where "ProjectStructure.XML"
// and "projectstructure.xml" are the same file.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "host/xml/xml_file.h"

namespace vl {

namespace {

namespace fs = std::filesystem;

// The lower-case partner of `cp` for the letters of the Latin, Greek and
// Cyrillic alphabets; other characters stay as they are.
uint32_t FoldCase(uint32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if (cp < 0xC0) return cp;
  if (cp <= 0xDE) return cp == 0xD7 ? cp : cp + 32;
  if (cp >= 0x100 && cp <= 0x137 && cp != 0x130) return cp | 1;
  if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) return cp % 2 ? cp + 1 : cp;
  if (cp >= 0x14A && cp <= 0x177) return cp | 1;
  if (cp == 0x178) return 0xFF;
  if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) return cp + 32;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  return cp;
}

// Decodes UTF-8 into folded code points. A byte that does not start a
// well-formed sequence stands for itself (above the Unicode range, so it
// only ever equals the same byte).
std::vector<uint32_t> FoldedCodePoints(std::string_view s) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80           ? 1
                 : (c >> 5) == 0x6  ? 2
                 : (c >> 4) == 0xE  ? 3
                 : (c >> 3) == 0x1E ? 4
                                    : 0;
    bool ok = len != 0 && i + len <= s.size();
    for (size_t k = 1; ok && k < len; ++k)
      ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (!ok) {
      out.push_back(0x110000 + c);
      ++i;
      continue;
    }
    uint32_t cp = len == 1 ? c : c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(FoldCase(cp));
    i += len;
  }
  return out;
}

bool IsSafeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// True when the entry `name` of `folder` is what it seems: a plain entry,
// or a symbolic link whose target lies inside the folder. A baseline from
// elsewhere may hold links to any file of this system (or to nothing, or
// to themselves); those must never be read or written through.
bool LeadsInside(const std::string& folder, const std::string& name) {
  std::error_code ec;
  const fs::path entry = fs::path(JoinPath(folder, name));
  if (!fs::is_symlink(fs::symlink_status(entry, ec))) return !ec;
  const fs::path target = fs::canonical(entry, ec);
  if (ec) return false;
  const fs::path base = fs::canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return false;
  const fs::path relative = target.lexically_relative(base);
  return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

}  // namespace

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
  if (!IsSafeName(name)) return "";
  std::error_code ec;
  std::string exact = JoinPath(folder, name);
  if (fs::exists(fs::symlink_status(exact, ec)) && LeadsInside(folder, name)) return exact;

  // Several names may differ only in case on this file system; the
  // smallest one is taken so that the choice does not depend on the order
  // in which the directory lists them.
  const std::vector<uint32_t> wanted = FoldedCodePoints(name);
  std::vector<std::string> matches;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (FoldedCodePoints(entry) == wanted && LeadsInside(folder, entry)) matches.push_back(entry);
  }
  if (matches.empty()) return "";
  return JoinPath(folder, *std::min_element(matches.begin(), matches.end()));
}

}  // namespace vl
