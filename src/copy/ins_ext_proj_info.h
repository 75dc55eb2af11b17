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
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// The file of the external projects a project still waits for.
inline constexpr const char* kUnResExtProjsFile = "UnResExtProjs.xml";

// What one project's vlExternalProjects row says about another project.
struct ExtProjRow {
  int32_t key = 0;
  std::string name, guid, prefix, directory, fileTitle;
};

// The run-wide tables are gdictExtProjMap and gcolExtProjs. The
// registrations of the new project in the external projects wait in the
// copier until the run completes those projects (ApplyPendingRegistrations).
class InsExtProjInfo : public Copier {
 public:
  using Copier::Copier;

  // Replaces gdictExtProjMap by one holding BLXMLGUID -> the new project's
  // GUID, then, for every child element of "PROJECT" in document order,
  // adds the results line 20052 (the name) and, when the user gave the
  // project a location, calls openAndProcessExtProjInfo (whatever its
  // result) and drops the element. When elements remain, saves the
  // document as UnResExtProjs.xml beside the new project file; otherwise
  // writes no file.
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

  // The key a pair of rows describing each other's projects shares: the
  // larger of the next "Project" key of the current project (drawn) and
  // that of the external project (only read: the external project is not
  // changed before the run completes it). The current project's counter
  // ends at the key; the external project's is raised to it when the
  // registration is applied. Throws VlError when a database fails.
  int32_t getNextExtProjKey(DataServices& oCurrProjDS, DataServices& oExtProjDS);

  // Registers oCurrProj (the new project) in oExtProj, which had been
  // waiting for the baseline's project: reads the connect-at-open setting
  // from the entry of BLXMLGUID in the UnResExtProjs.xml beside oExtProj's
  // project file and prepares, for when the run completes oExtProj: unless
  // oExtProj already knows the new project, its two rows, with the key
  // oCurrProj's project ID when bAreProjFromSameDB, else lExtProjKey (its
  // counter then raised to that key); the entry removed, and the file
  // itself when no entry is left. True when done; false after a report
  // ("addCurrProjectAsExtProj") when the file or the entry is missing
  // (nothing registered) or any step fails.
  bool addCurrProjectAsExtProj(const std::shared_ptr<Project>& oExtProj, Project& oCurrProj,
                               int32_t lExtProjKey, bool bAreProjFromSameDB);

  // Writes the prepared registrations into the external projects, each in
  // the transaction the run holds open there (OtherProjects::Begin).
  // Throws VlError when a statement fails, or when an external project has
  // drawn the pair's key meanwhile.
  void ApplyPendingRegistrations();

 private:
  struct PendingRegistration {
    std::shared_ptr<Project> project;
    ExtProjRow row;  // the new project, as the external project records it
    int32_t key = 0;
    bool connect_at_open = false;
    bool raise_key = false;  // the external project's counter goes to `key`
    bool rows = false;       // it does not know the new project yet
  };

  // True when `ds`'s vlExternalProjects has a row with that GUID. Throws
  // VlError when the statement fails.
  static bool isExtProjExists(DataServices& ds, const std::string& sProjGUID);

  std::vector<PendingRegistration> pending_;
};

}  // namespace vl
