// Where the programs find the files they ship with. In a build folder the
// resource file, its bitmaps and the help lie beside the programs; an
// installation puts the programs in bin/ and those files in share/velloq/.
#pragma once

#include <string>

namespace vl {

// The shared data folder of an installed program: `programDir`/../share/velloq.
std::string InstalledDataDirectory(const std::string& programDir);

// The folder that holds the resource file: `programDir` when it is there,
// otherwise the installed data folder when it is there, otherwise
// `programDir` (so that the error names the place the file belongs).
std::string FindResourceDirectory(const std::string& programDir);

// The help file "velloq.html": in the installation's HELP folder when the
// installation directory is known and holds it; otherwise in the HELP
// folder of the installed data folder or of `programDir`, whichever holds
// it; "" when none does.
std::string FindHelpFile(const std::string& programDir);

}  // namespace vl
