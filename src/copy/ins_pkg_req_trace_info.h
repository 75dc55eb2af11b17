// Copies the traces between requirements into the new project.
//
// A baseline keeps each trace twice, on the requirement it starts from
// (element "TTo") and on the one it ends at ("TFrom"), in the package
// files. Internal traces (both ends in the baseline's own project) are
// written once, from their "TTo" side. Cross-project traces (an "EPGUID"
// names the project holding the other end) are written when that project
// was opened by the external-project copier and recorded an ID for the
// other requirement; otherwise they are recorded in "UnResExtTraces.xml"
// beside the new project file, so that a project created later from the
// other project's baseline can complete them.
//
// Before the baseline's own traces, the traces that projects created
// earlier left unresolved towards the baseline's project are found, and
// their IDs noted in gdictExtTraces; they are written into those projects
// when the run completes them (ApplyPendingExtTraces).
//
// Trace row (VlToRelationships), from this requirement's point of view:
//   internal:                 this, 0, other, 0
//   cross-project, TTo side:  this, 0, other (there), external project row
//   cross-project, TFrom side: other (there), external project row, this, 0
// each followed by TYPE 0, STATE and VERSIONNUMBER.
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// The file of a project's unresolved cross-project traces.
inline constexpr const char* kUnResExtTracesFile = "UnResExtTraces.xml";
// The line shown when the traces of a package could not be copied.
inline constexpr const char* kTracePackageFailedText =
    "Unable to insert package requirement trace information";
// The start of the results line for an internal trace that merely repeats
// a parent-child relationship.
inline constexpr const char* kParentChildTraceText =
    "Not adding the trace as it is parent child relationship: ";

class InsPkgReqTraceInfo : public Copier {
 public:
  using Copier::Copier;

  // When CreateTraces is off: returns true and does nothing else (the
  // external projects stay open).
  // Otherwise: resolves what the opened external projects recorded for the
  // baseline's project, walks the package tree of "PackageList.XML" depth
  // first (a package's traces before its child packages') copying every
  // requirement's traces, saves "UnResExtTraces.xml" in the new project's
  // folder when it holds at least one requirement. The external projects
  // stay open for the end of the run. True when every package was done.
  // False after a message when "PackageList.XML" has no "PROJECT", after
  // "Unable to insert package requirement trace information" when a
  // package failed (rows written before stay; packages after it are not
  // done), after a message when package files refer to each other in a
  // cycle, and after a report ("CopyXMLPkgTraceInfo") on any other error.
  bool CopyXMLPkgTraceInfo(DataServices& oDS, Project& oProj);

  // Copies the traces of every "Req" below oPkg's "Requirements" (true at
  // once when there is none). Unresolved cross-project traces are added to
  // the document this object saves at the end of CopyXMLPkgTraceInfo.
  // False when a requirement or the other end of an internal trace has no
  // new ID (the look-up's message), or after a report
  // ("CopyXMLPkgReqTraceInfo", "CopyReqTraceInfo") on any other error.
  bool CopyXMLPkgReqTraceInfo(pugi::xml_node oPkg, DataServices& oDS, Project& oProj);

  // The trace row's INSERT from this requirement's point of view (see the
  // table above): bDirection false for the TTo side, true for the TFrom
  // side; the internal form is lExtProjRowID 0 with bDirection false.
  static std::string BuildTraceInsertSQL(int32_t lReqID, int32_t lOtherReqID, int32_t lExtProjRowID,
                                         int32_t lState, const std::string& sVersion,
                                         bool bDirection);

  // Writes the traces found by processUnResExtTracesOfExtProjects into
  // their external projects, each in the transaction the run holds open
  // there (OtherProjects::Begin). Throws VlError when a statement fails.
  void ApplyPendingExtTraces();

 private:
  // Prepares the unresolved-traces document: the existing file of the new
  // project's folder when it has a "PROJECT" root, otherwise a new one.
  void PrepareUnResDoc(const std::string& sProjFolder);

  // The depth-first walk from the root package. Each package file is read
  // once; a package met a second time (the files form a cycle, or name one
  // package twice) stops the walk with a message.
  bool AddXMLPackageTraces(const std::string& sPkgGUID, DataServices& oDS, Project& oProj);
  // One package of the walk: its progress line and its requirements'
  // traces; `childGUIDs` receives the GUIDs of its child packages (the
  // walk goes on to the first, or to `nextIfLeaf` when there is none, and
  // that file is read meanwhile). False after "Unable to insert package
  // requirement trace information" when its requirements failed; throws
  // VlError when its package file is missing or has no "PROJECT/Pkg".
  bool CopyOnePackageTraces(const std::string& sPkgGUID, DataServices& oDS, Project& oProj,
                            std::vector<std::string>& childGUIDs, const std::string& nextIfLeaf);

  // The traces of one "TTo": internal ones inserted (unless they repeat a
  // parent-child relationship: a results line instead), cross-project ones
  // through CopyCPTInfo, whose failures do not stop the others. False when
  // an internal trace's other end has no new ID, or after a report.
  bool CopyReqTraceInfo(const pugi::xml_node& oTTo, int32_t lReqID, const std::string& sRPre,
                        const std::string& sGUID, DataServices& oDS, Project& oProj);
  // The cross-project traces of the requirement's "TFrom" through
  // CopyCPTInfo; internal ones are written from their TTo side. `lReqID`
  // is the requirement's new ID, `sGUID` its GUID. False only after a
  // report.
  bool ProcessTFromsForCPTs(const pugi::xml_node& oReq, int32_t lReqID, const std::string& sGUID,
                            DataServices& oDS, Project& oProj);
  // One cross-project trace: written into oDS when its project was opened
  // and the other requirement's ID is known there (gdictExtTraces, filled
  // from what that project recorded, or FindMappedExtReqID); otherwise
  // recorded as unresolved. False after a report ("CopyCPTInfo":
  // text 20069 when the new project has no vlExternalProjects row for the
  // opened project, or any error).
  bool CopyCPTInfo(const pugi::xml_node& oTReq, int32_t lReqID, DataServices& oDS, Project& oProj,
                   bool bDirection);
  // The ID, in the opened project sOpenedGUID, of the requirement its
  // baseline named sTRID, through the "ReqGUIDMap.xml" beside that project
  // (read once per run): true and lID set when the map names it and the
  // row is there; false otherwise (no map: the project was not created
  // from a baseline). Throws VlError when the look-up fails.
  bool FindMappedExtReqID(const std::string& sOpenedGUID, const std::string& sTRID, int32_t& lID);
  // Adds an "URTRACE" under the current requirement's "REQURCPT" (added to
  // the root on its first unresolved trace).
  void RecordUnresolved(const std::string& sTRID, const std::string& sEPGUID,
                        const std::string& sTRVer, int32_t lState, bool bDirection);

  // Finds in the opened external projects the traces they recorded as
  // unresolved towards the baseline's project, notes their requirements'
  // IDs in gdictExtTraces, and prepares their rows and the files without
  // them for the end of the run. True when done, also when a trace's end in
  // the new project has no new ID (the look-up's message; what was found
  // so far is kept). False after a report
  // ("processUnResExtTracesOfExtProjects") when the new project is not (to
  // be) registered in an external project, or on any other error.
  bool processUnResExtTracesOfExtProjects(DataServices& oDS, Project& oProj);
  // The part of processUnResExtTracesOfExtProjects for one opened project
  // oExtProj. A project whose folder holds no "UnResExtTraces.xml" is
  // skipped. The file's new content is what was found taken out (or its
  // removal when nothing is left), also when the work stops early. False
  // when a trace's end in the new project has no new ID (stop, nothing
  // failed; for an end this run did not copy, text 20085 followed by 20153,
  // naming the trace and oExtProj); throws VlError on failure.
  bool ResolveExtProjTraces(const std::shared_ptr<Project>& oExtProj, const std::string& sBLGUID,
                            const std::string& sNewProjGUID, DataServices& oDS);

  // The ID of the vlExternalProjects row of oProj's database whose GUID is
  // sProjGUID: true and lID set when there is one; false, lID unchanged,
  // otherwise. Throws VlError when the statement fails.
  static bool getExtProjID(int32_t& lID, const std::string& sProjGUID, Project& oProj);

  // A trace row for an external project, written when the run completes it.
  struct PendingTrace {
    std::shared_ptr<Project> project;
    std::string statement;
  };
  std::vector<PendingTrace> pending_traces_;

  // vlExternalProjects row IDs of the new project's database, by the GUID
  // of the project they describe (rows do not change during the copy).
  std::unordered_map<std::string, int32_t> ext_row_ids_;
  // The requirement GUID maps of the opened projects (baseline GUID ->
  // GUID there), by the project's GUID, read on first need.
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> ext_req_maps_;

  pugi::xml_document unres_doc_;
  pugi::xml_node unres_root_;
  std::string unres_path_;
  // The requirement whose traces are being copied, and its "REQURCPT"
  // once it has an unresolved trace.
  std::string cur_old_guid_;
  int32_t cur_new_req_id_ = 0;
  pugi::xml_node cur_requrcpt_;
  // Package GUIDs met in this walk (upper case: the files are found
  // without regard to letter case).
  std::unordered_set<std::string> visited_pkgs_;
};

}  // namespace vl
