// Registers the baseline's external projects (ExternalProjects.xml) in the
// new project, and the new project in each of them.
//
// For every external project the user located, the project is opened (it
// stays open in gcolExtProjs for trace copying), a vlExternalProjects row
// and a vlProjectExternalProjects row describing it are written into the
// new project's database, its baseline GUID is mapped to its GUID as it
// exists now (gdictExtProjMap), and the new project is registered the same
// way in it, where it had been waiting for the baseline's project (its
// UnResExtProjs.xml lists that project).
//
// The external projects the user did not locate are written to
// UnResExtProjs.xml in the new project's folder (the layout of
// ExternalProjects.xml, with only those projects), so that a project
// created later for one of them can register itself in the new project.
//
// A pair of rows describing each other's projects uses one key in both
// databases: the external project's own project ID when both projects
// live in one enterprise database, otherwise a "Project" key free in both.
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// The file of the external projects a project still waits for.
inline constexpr const char* kUnResExtProjsFile = "UnResExtProjs.xml";

// Holds no state; the run-wide tables are gdictExtProjMap and gcolExtProjs.
class InsExtProjInfo : public Copier {
 public:
  using Copier::Copier;

  // Replaces gdictExtProjMap by one holding BLXMLGUID -> the new project's
  // GUID, then, for every child element of "PROJECT" in document order,
  // adds the results line 20052 (the name) and, when the user gave the
  // project a location, calls openAndProcessExtProjInfo (whatever its
  // result) and drops the element. When elements remain, saves the
  // document as UnResExtProjs.xml in VLPFolder; otherwise writes no file.
  // True when every element was handled.
  // False, with nothing done, after a message ("ExternalProjects.xml" +
  // text 11011 + "PROJECT") when the file has no "PROJECT" element. False
  // after a report ("CopyXMLExtProjInfo") when an element names a project
  // the baseline descriptor does not list, or the file cannot be written;
  // projects handled before stay registered.
  bool CopyXMLExtProjInfo(DataServices& oDS, Project& oProj);

  // Opens the project file sExtProjLoc as "admin" and adds it to
  // gcolExtProjs under its GUID; unless the new project already knows it,
  // writes its vlExternalProjects and vlProjectExternalProjects rows into
  // oDS (the new project's database); maps the element's GUID to the
  // opened project's GUID in gdictExtProjMap; then registers the new
  // project in it (addCurrProjectAsExtProj). True when all of this was
  // done; false after a report ("openAndProcessExtProjInfo") when the
  // project cannot be opened or any step fails, leaving what was done.
  // When the new project already knew the external project, the pair's key
  // is the ID of that existing row, so that both rows keep one ID.
  bool openAndProcessExtProjInfo(const std::string& sExtProjLoc,
                                 const pugi::xml_node& a_oXMLExtProj, DataServices& oDS,
                                 Project& oProj);

  // True when both databases are enterprise databases and the external
  // project's own row (its ID and GUID) is found in the current project's
  // vlProjects: both projects then share one database. False for a file
  // database on either side, and false after a report
  // ("areProjectsFromSameDB") on any error.
  bool areProjectsFromSameDB(DataServices& oCurrProjDS, DataServices& oExtProjDS,
                             Project& oExtProj);

  // Draws the next "Project" key in both databases and returns the larger;
  // the database whose key was smaller gets its counter set to that value,
  // so both counters end at the key returned and it is free in both.
  // Throws VlError when a database fails (counters may then have moved).
  int32_t getNextExtProjKey(DataServices& oCurrProjDS, DataServices& oExtProjDS);

  // Registers oCurrProj (the new project) in oExtProj, which had been
  // waiting for the baseline's project: reads the connect-at-open setting
  // from the entry of BLXMLGUID in the UnResExtProjs.xml beside oExtProj's
  // project file; unless oExtProj already knows the new project, writes the
  // two rows into its database, with the key oCurrProj's project ID when
  // bAreProjFromSameDB, else lExtProjKey; then removes the entry, and the
  // file itself when no entry is left. True when done; false after a report
  // ("addCurrProjectAsExtProj") when the file or the entry is missing
  // (nothing registered) or any step fails.
  bool addCurrProjectAsExtProj(Project& oExtProj, Project& oCurrProj, int32_t lExtProjKey,
                               bool bAreProjFromSameDB);

 private:
  // True when `ds`'s vlExternalProjects has a row with that GUID. Throws
  // VlError when the statement fails.
  static bool isExtProjExists(DataServices& ds, const std::string& sProjGUID);
};

}  // namespace vl
