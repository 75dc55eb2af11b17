// The resource services: every user-visible text by numeric id, from the
// resource file beside the program.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vl {

// The base name of the resource file and of the application.
inline constexpr const char* kResourceFileName = "VlCreateProjFromBaselineWizRes.ini";
inline constexpr const char* kAppName = "VlCreateProjFromBaselineWiz";

class Resource {
 public:
  // Loads the resource file (an INI-style settings file: section
  // [Strings] with "id=text" entries, "\n" and "\t" escapes, a text in
  // double quotes keeping its blanks at both ends (the quotes dropped); section
  // [Font] with "Name="; section [Bitmaps] with "id=file" relative to the
  // resource file). Throws VlError naming the file when it cannot be read.
  void InitResources(const std::string& path, const std::string& appName);
  // Texts given directly, for tests and for a program without its file.
  void SetString(long id, const std::string& text) { strings_[id] = text; }

  // The text of `id`; an id without a text gives a visible fallback naming
  // the id ("[resource 20083]"), never an empty text.
  std::string GetString(long id) const;
  // The text of `id` with %1, %2, ... replaced by the values in order
  // (a placeholder without a value stays as it is). The fallback for an
  // id without a text names the id and lists the values.
  std::string GetFormattedString(long id, const std::vector<std::string>& values) const;
  std::string GetFontName() const { return font_name_; }
  // Path of the bitmap of `id`, or "" when there is none.
  std::string GetBitmapPath(long id) const;

  bool HasString(long id) const { return strings_.count(id) != 0; }
  const std::map<long, std::string>& strings() const { return strings_; }

 private:
  std::map<long, std::string> strings_;
  std::map<long, std::string> bitmaps_;
  std::string font_name_;
};

}  // namespace vl
