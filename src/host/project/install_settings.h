// Installation settings: the installation directory and the
// enterprise-database preference from the settings files, and the list of
// database types offered.
//
// System file: $XDG_CONFIG_DIRS (default /etc/xdg) + "/Corvane Software/Velloq.conf",
//   section [4.0], key InstallDirectory.
// User file:   $XDG_CONFIG_HOME (default ~/.config) + "/Corvane Software/Velloq.conf",
//   section [4.0/Preferences], key EnterpriseDatabaseCreation.
#pragma once

#include <string>

#include "host/text/messages.h"
#include "host/text/ordered_map.h"

namespace vl {

// The text before the first NUL character, or the whole text.
std::string TrimAtNull(const std::string& text);
// Reads one value of a settings file (`file` "system" or "user" scope is
// chosen by the caller through the path). False with `value` "" when the
// file, section or key is missing.
bool ReadRegBaseRegInfo(const std::string& settingsPath, const std::string& section,
                        const std::string& name, std::string& value);
// The settings file of the given scope: "system" or "user".
std::string SystemSettingsPath();
std::string UserSettingsPath();

// The installation directory (its Bin folder). False with `dir` "" when
// it is not set; a settings file that cannot be read is reported through
// `messages` when given.
bool ReadVelloqInstallDir(std::string& dir, Messenger* messages = nullptr);
bool GetVelloqBinDirectory(std::string& dir, Messenger* messages = nullptr);
// False only when the preference is read and is 0.
bool EnterpriseDBCreationAllowed();

// "SQLite" -> "SQLite3" first, then the entries of section
// "Enterprise Drivers" of Bin/"DB Drivers.dat" in file order (only when the
// Bin folder is known and enterprise databases are allowed). When the
// installation offers no "DB Drivers.dat" (no installation directory, or
// none in its Bin folder), the one shipped with the programs is read
// instead: the one in `shippedFolder`, the folder of the files the
// programs ship with (beside the resource file), which offers PostgreSQL
// where no installation offers a list of its own; "" reads none. A
// duplicate entry name throws VlError (source "ModWizard.RetrieveDrivers").
OrderedMap<std::string> RetrieveDrivers(const std::string& shippedFolder = "");

}  // namespace vl
