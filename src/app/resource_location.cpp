#include "app/resource_location.h"

#include <filesystem>

#include "host/project/install_settings.h"
#include "host/text/resource.h"

namespace vl {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelpFileName = "velloq.html";

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

}  // namespace

std::string InstalledDataDirectory(const std::string& programDir) {
  return (fs::path(programDir).parent_path() / "share" / "velloq").lexically_normal().string();
}

std::string FindResourceDirectory(const std::string& programDir) {
  if (IsFile(fs::path(programDir) / kResourceFileName)) return programDir;
  std::string installed = InstalledDataDirectory(programDir);
  if (IsFile(fs::path(installed) / kResourceFileName)) return installed;
  return programDir;
}

std::string FindHelpFile(const std::string& programDir) {
  std::string install;
  const std::string help_dir = ReadVelloqInstallDir(install) ? install + "/HELP" : "";
  const fs::path candidates[] = {
      help_dir.empty() ? fs::path() : fs::path(help_dir) / kHelpFileName,
      fs::path(InstalledDataDirectory(programDir)) / "HELP" / kHelpFileName,
      fs::path(programDir) / "HELP" / kHelpFileName,
  };
  for (const fs::path& p : candidates)
    if (!p.empty() && IsFile(p)) return p.string();
  return "";
}

}  // namespace vl
