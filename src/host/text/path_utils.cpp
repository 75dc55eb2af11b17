#include "host/text/path_utils.h"

#include "errors/mod_errors.h"
#include "host/text/convert.h"

namespace vl {

std::string GetFileExtension(const std::string& path) {
  std::string trimmed = Trim(path);
  size_t dot = trimmed.rfind('.');
  if (dot == std::string::npos) return "";
  // A "." in a folder name ("/a.b/file") is no extension of the file.
  if (trimmed.find_first_of("/:", dot + 1) != std::string::npos) return "";
  return trimmed.substr(dot + 1);
}

std::string StripFileExtension(std::string& path) {
  path = Trim(path);
  std::string extension = GetFileExtension(path);
  if (extension.empty()) return path;
  return path.substr(0, path.size() - extension.size() - 1);
}

std::string AppendTextLine(const std::string& text, const std::string& line, int indent) {
  bool hasLine = !Trim(line).empty();
  std::string result = text;
  if (hasLine && !Trim(text).empty()) result += "\r\n";
  if (hasLine) result += std::string(indent > 0 ? indent : 0, '\t') + line;
  return result;
}

std::string JoinWithComma(const std::string& a, const std::string& b) {
  std::string first = Trim(a), second = Trim(b);
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + ", " + second;
}

std::string AddTrailingSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path;
  return path + "/";
}

std::string StripTrailingSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path.substr(0, path.size() - 1);
  return path;
}

std::string GetLastFolder(const std::string& path) {
  try {
    std::string folder = StripTrailingSlash(path);
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return "";
    return folder.substr(slash + 1);
  } catch (...) {
    RethrowWithSource("ModWizard.GetLastFolder");
  }
}

namespace {

// The path without any trailing "/", except that the root stays "/".
std::string WithoutTrailingSlashes(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "" : "/";
  return path.substr(0, end + 1);
}

}  // namespace

std::string GetParentFolderName(const std::string& path) {
  std::string p = WithoutTrailingSlashes(path);
  if (p == "/") return "";
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) return "";
  return WithoutTrailingSlashes(p.substr(0, slash + 1));
}

std::string GetFileName(const std::string& path) {
  std::string p = WithoutTrailingSlashes(path);
  if (p == "/") return "";
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string FolderNameFrom(const std::string& name) {
  std::string folder = name;
  for (char& c : folder)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  if (!folder.empty() && folder.find_first_not_of('.') == std::string::npos)
    folder.assign(folder.size(), '_');
  return folder;
}

}  // namespace vl
