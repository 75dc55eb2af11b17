// Names that come from a baseline and become file names: a package's GUID
// names its package file, a document's FileName and FileExtension name its
// file in the baseline folder and in the new project's folder. A baseline
// is data from elsewhere, so such a name must never lead out of the folder
// it is meant for.
#pragma once

#include <string>

namespace vl {

// True when `part` can stand in a file name inside one folder without
// naming another place: it holds no "/", no "\" (a path on the system the
// baseline came from) and no NUL, and it is not "." or "..". An empty part
// is safe here; callers decide whether they need a non-empty one.
bool IsSafeNamePart(const std::string& part);

// True when a document copied to `fileName` in the new project's folder
// would take the place of a file the project itself keeps there: its
// project file and database (with the database's journals), the GUID map
// and UnRes files, the review and results pages, and anything a creation
// run keeps while it works (".vlbaseline..."). `projectTitle` is the
// project file's name without ".vlp"; when it is empty, only the names
// every project shares are known. Letter case does not count: a project
// folder may be shared with a system where it does not.
bool IsProjectOwnFileName(const std::string& fileName, const std::string& projectTitle);

// `text` for a message: a NUL shown as "\0", so that the message shows
// the whole name and not only the part before the NUL.
std::string NameForMessage(const std::string& text);

}  // namespace vl
