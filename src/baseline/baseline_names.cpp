#include "baseline/baseline_names.h"

#include <cctype>

namespace vl {

bool IsSafeNamePart(const std::string& part) {
  if (part == "." || part == "..") return false;
  return part.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string NameForMessage(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    if (c == '\0')
      shown += "\\0";
    else
      shown += c;
  }
  return shown;
}

bool IsProjectOwnFileName(const std::string& fileName, const std::string& projectTitle) {
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string name = lower(fileName);
  if (name.rfind(".vlbaseline", 0) == 0) return true;
  for (const char* shared :
       {"reqguidmap.xml", "psguidmap.xml", "resrtguids.xml", "unresextprojs.xml",
        "unresquerydefs.xml", "unresviews.xml", "unresexttraces.xml"})
    if (name == shared) return true;
  if (projectTitle.empty()) return false;
  const std::string title = lower(projectTitle);
  for (const char* own : {".vlp", ".db", ".db-wal", ".db-shm", ".db-journal"})
    if (name == title + own) return true;
  for (const char* page : {".blprojcreateresults.", ".blprojcreatereview."})
    if (name.rfind(title + page, 0) == 0) return true;
  return false;
}

}  // namespace vl
