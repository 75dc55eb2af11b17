#include "host/project/install_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "errors/mod_errors.h"
#include "host/project/new_project_definition.h"
#include "host/project/settings_file.h"
#include "host/text/convert.h"
#include "host/text/messages.h"

namespace vl {

namespace {

constexpr const char* kSettingsFile = "Corvane Software/Velloq.conf";
constexpr const char* kInstallSection = "4.0";
constexpr const char* kInstallValue = "InstallDirectory";
constexpr const char* kPreferencesSection = "4.0/Preferences";
constexpr const char* kEnterpriseValue = "EnterpriseDatabaseCreation";
constexpr const char* kDriversFile = "DB Drivers.dat";
constexpr const char* kDriversSection = "Enterprise Drivers";
constexpr long kResCannotReadSetting = 20082;

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string HomeDirectory() {
  std::string home = EnvOrEmpty("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir ? pw->pw_dir : "";
  return "";
}

// A whole decimal number, blanks around it allowed.
bool ParseWholeNumber(const std::string& text, long long& n) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  const char* end = t.data() + t.size();
  auto [ptr, ec] = std::from_chars(t.data(), end, n);
  return ec == std::errc() && ptr == end;
}

}  // namespace

std::string TrimAtNull(const std::string& text) {
  size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

bool ReadRegBaseRegInfo(const std::string& settingsPath, const std::string& section,
                        const std::string& name, std::string& value) {
  value.clear();
  auto file = SettingsFile::OpenSettingsFile(settingsPath);
  if (!file) return false;
  const SettingsSection* s = file->GetSection(section);
  if (!s) return false;
  const std::string* found = s->Find(name);
  if (!found) return false;
  value = TrimAtNull(*found);
  return true;
}

std::string SystemSettingsPath() {
  // The first folder of the search list that holds the file wins; without
  // any, the file is looked for in the first folder of the list.
  std::string dirs = EnvOrEmpty("XDG_CONFIG_DIRS");
  std::string first;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    start = colon == std::string::npos ? dirs.size() + 1 : colon + 1;
    if (dir.empty() || dir.front() != '/') continue;  // relative entries are ignored
    std::string path = dir + "/" + kSettingsFile;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
    if (first.empty()) first = path;
  }
  return first.empty() ? std::string("/etc/xdg/") + kSettingsFile : first;
}

std::string UserSettingsPath() {
  std::string home = EnvOrEmpty("XDG_CONFIG_HOME");
  if (home.empty() || home.front() != '/') home = HomeDirectory() + "/.config";
  return home + "/" + kSettingsFile;
}

bool ReadVelloqInstallDir(std::string& dir, Messenger* messages) {
  dir.clear();
  try {
    std::string value;
    bool read = ReadRegBaseRegInfo(SystemSettingsPath(), kInstallSection, kInstallValue, value);
    dir = TrimAtNull(value);
    // An empty setting names no folder; taking it would put the Bin, HELP
    // and Projects folders at the root of the file system.
    if (Trim(dir).empty()) {
      dir.clear();
      return false;
    }
    return read;
  } catch (const std::exception&) {
    if (messages)
      messages->ReportProcError("RegUtil.ReadVelloqInstallDir",
                                messages->ResString(kResCannotReadSetting) + "CommonDir");
    dir.clear();
    return false;
  }
}

bool GetVelloqBinDirectory(std::string& dir, Messenger* messages) {
  dir.clear();
  try {
    std::string install;
    if (!ReadVelloqInstallDir(install, messages)) return false;
    dir = install + "/Bin";
    return true;
  } catch (const std::exception&) {
    if (messages)
      messages->ReportProcError("RegUtil.GetVelloqBinDirectory",
                                messages->ResString(kResCannotReadSetting) + "CommonDir");
    dir.clear();
    return false;
  }
}

bool EnterpriseDBCreationAllowed() {
  try {
    std::string value;
    if (!ReadRegBaseRegInfo(UserSettingsPath(), kPreferencesSection, kEnterpriseValue, value))
      return true;
    long long n = 0;
    // Only a value that reads as the number 0 forbids; anything else allows.
    return !(ParseWholeNumber(value, n) && n == 0);
  } catch (const std::exception&) {
    RethrowWithSource("ModWizard.EnterpriseDBCreationAllowed");
  }
}

OrderedMap<std::string> RetrieveDrivers(const std::string& shippedFolder) {
  try {
    OrderedMap<std::string> drivers;
    drivers.Add(kSQLiteDisplayName, kSQLiteDriver);
    std::string bin;
    const bool installed = GetVelloqBinDirectory(bin);
    std::string path = installed ? bin + "/" + kDriversFile : std::string();
    std::error_code ec;
    if ((path.empty() || !std::filesystem::exists(path, ec)) && !shippedFolder.empty())
      path = shippedFolder + "/" + kDriversFile;
    if (path.empty() || !EnterpriseDBCreationAllowed()) return drivers;
    auto file = SettingsFile::OpenSettingsFile(path);
    if (!file) return drivers;
    const SettingsSection* section = file->GetSection(kDriversSection);
    if (!section) return drivers;
    for (const SettingsEntry& e : section->GetValue()) drivers.Add(e.GetName(), e.GetValue());
    return drivers;
  } catch (const std::exception&) {
    RethrowWithSource("ModWizard.RetrieveDrivers");
  }
}

}  // namespace vl
