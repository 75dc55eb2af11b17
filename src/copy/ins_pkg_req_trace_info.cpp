#include "copy/ins_pkg_req_trace_info.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/package_walk.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"
#include "host/xml/named_elements.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

constexpr const char* kPackageListFile = "PackageList.XML";
constexpr const char* kReqGUIDMapFile = "ReqGUIDMap.xml";
constexpr long kResPackageTraces = 20066;
constexpr long kResRequirementTraces = 20067;
constexpr long kResRequirementExtTraces = 20068;
constexpr long kResExtProjNotRegistered = 20069;
constexpr long kResNotCopied = 20085;
constexpr long kResTraceWaitsFor = 20153;

bool HasElementChild(const pugi::xml_node& node) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element) return true;
  return false;
}

// The tag of a requirement's parent: the part of `tag` before its last
// ".", "" when it has none.
// The tag a user knows a requirement by: its prefix and number ("SR12",
// or "FEAT3.1" for a child, whose prefix is its parent's tag and ".").
std::string FullTagOf(const pugi::xml_node& req) {
  return ElementText(req, "RPre") + ElementText(req, "Tag");
}

std::string ParentTagOf(const std::string& tag) {
  const size_t dot = tag.rfind('.');
  return dot == std::string::npos ? std::string() : tag.substr(0, dot);
}

int32_t IdOf(const Variant& v) {
  if (v.type() == vbString) return CLng(v.AsString());
  return static_cast<int32_t>(std::llround(v.AsDouble()));
}

}  // namespace

bool InsPkgReqTraceInfo::CopyXMLPkgTraceInfo(DataServices& oDS, Project& oProj) {
  try {
    const std::string sProjFolder = GetParentFolderName(oProj.GetProjectPath());
    PrepareUnResDoc(sProjFolder);
    if (!BaselineDescriptor().CreateTraces()) return true;
    visited_pkgs_.clear();
    ext_row_ids_.clear();
    ext_req_maps_.clear();

    std::string sRootGUID;
    {
      pugi::xml_document list;
      pugi::xml_node root = LoadBaselineFile(list, kPackageListFile);
      if (!root) return false;
      pugi::xml_node rootPkg = root.select_node("Pkg[@ParentID='0']").node();
      if (!rootPkg)
        throw VlError(err::kObjectVariableNotSet, "CopyXMLPkgTraceInfo",
                      std::string("Object variable not set: ") + kPackageListFile +
                          " names no root package (a Pkg whose ParentID is 0)");
      sRootGUID = rootPkg.attribute("GUID").value();
    }

    processUnResExtTracesOfExtProjects(oDS, oProj);
    const bool bCopied = AddXMLPackageTraces(sRootGUID, oDS, oProj);
    if (HasElementChild(unres_root_)) SaveXmlFile(unres_doc_, unres_path_);
    // The external projects stay open: the run completes them at its end.
    return bCopied;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLPkgTraceInfo", "");
    return false;
  }
}

void InsPkgReqTraceInfo::PrepareUnResDoc(const std::string& sProjFolder) {
  unres_doc_.reset();
  unres_root_ = pugi::xml_node();
  cur_requrcpt_ = pugi::xml_node();
  unres_path_ = AddTrailingSlash(sProjFolder) + kUnResExtTracesFile;
  XmlLoadResult loaded = LoadXmlFile(unres_doc_, sProjFolder, kUnResExtTracesFile);
  if (loaded) {
    unres_path_ = loaded.path;
    pugi::xml_node root = unres_doc_.document_element();
    if (std::strcmp(root.name(), "PROJECT") == 0) unres_root_ = root;
  }
  if (!unres_root_) {
    unres_doc_.reset();
    AddXmlDeclaration(unres_doc_);
    unres_root_ = unres_doc_.append_child("PROJECT");
  }
}

bool InsPkgReqTraceInfo::AddXMLPackageTraces(const std::string& sPkgGUID, DataServices& oDS,
                                             Project& oProj) {
  try {
    // Pre-order: a package, then its first child package with everything
    // below it, then the next child. Each level keeps only its children's
    // GUIDs, not its package file.
    struct Level {
      std::vector<std::string> children;
      size_t next = 0;
    };
    std::vector<Level> pending;
    std::string sGUID = sPkgGUID;
    for (;;) {
      if (!visited_pkgs_.insert(UCase(sGUID)).second) {
        ShowInfoMessage("The package " + sGUID +
                        " is named more than once in the package files (they refer to each other "
                        "in a cycle); its traces are not copied again.");
        return false;
      }
      Level level;
      if (!CopyOnePackageTraces(sGUID, oDS, oProj, level.children, NextLeftInWalk(pending)))
        return false;
      pending.push_back(std::move(level));
      while (!pending.empty() && pending.back().next == pending.back().children.size())
        pending.pop_back();
      if (pending.empty()) return true;
      sGUID = pending.back().children[pending.back().next++];
    }
  } catch (const std::exception&) {
    ReportProcError("AddXMLPackageTraces", "");
    return false;
  }
}

bool InsPkgReqTraceInfo::CopyOnePackageTraces(const std::string& sPkgGUID, DataServices& oDS,
                                              Project& oProj, std::vector<std::string>& childGUIDs,
                                              const std::string& nextIfLeaf) {
  pugi::xml_document doc;
  const std::string sFile = sPkgGUID + ".XML";
  XmlLoadResult loaded = ctx_.LoadBaselineXml(doc, sFile);
  pugi::xml_node oPkg = FirstChildElementOf(doc, "PROJECT", "Pkg");
  if (!oPkg)
    throw VlError(loaded ? err::kObjectVariableNotSet : err::kFileNotFound, "AddXMLPackageTraces",
                  "The package file " + sFile + " cannot be used: " +
                      (loaded ? std::string("it has no PROJECT/Pkg element") : loaded.message));
  for (const pugi::xml_node& child : DescendantsNamed(oPkg.child("Pkgs"), "Pkg"))
    childGUIDs.push_back(ElementText(child, "GUID"));
  ctx_.ExpectNextPackage(childGUIDs, nextIfLeaf);

  AddTextResultsLine(ResFormat(kResPackageTraces, {ElementText(oPkg, "PkgName")}));
  Breathe();
  if (!CopyXMLPkgReqTraceInfo(oPkg, oDS, oProj)) {
    ShowInfoMessage(kTracePackageFailedText);
    return false;
  }
  return true;
}

bool InsPkgReqTraceInfo::CopyXMLPkgReqTraceInfo(pugi::xml_node oPkg, DataServices& oDS,
                                                Project& oProj) {
  try {
    if (!oPkg)
      throw VlError(err::kObjectRequired, "CopyXMLPkgReqTraceInfo",
                    "Object required: no package element");
    pugi::xml_node reqs = oPkg.child("Requirements");
    if (!reqs) return true;
    for (const pugi::xml_node& req : DescendantsNamed(reqs, "Req")) {
      cur_requrcpt_ = pugi::xml_node();
      pugi::xml_node tto = req.child("TTo");
      const std::string sGUID = ElementText(req, "GUID");
      const std::string sRPre = ElementText(req, "RPre");
      ctx_.copied.About(CopiedKind::kRequirement, FullTagOf(req), sGUID);
      const int32_t lReqID = GetNewReqID(oDS, sGUID);
      if (lReqID == -1) return false;
      cur_old_guid_ = sGUID;
      cur_new_req_id_ = lReqID;

      if (tto) {
        AddTextResultsLine(ResFormat(kResRequirementTraces, {FullTagOf(req)}));
        Breathe();
        if (!CopyReqTraceInfo(tto, lReqID, sRPre, sGUID, oDS, oProj)) return false;
      }
      if (!ProcessTFromsForCPTs(req, lReqID, sGUID, oDS, oProj)) return false;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLPkgReqTraceInfo", "");
    return false;
  }
}

bool InsPkgReqTraceInfo::CopyReqTraceInfo(const pugi::xml_node& oTTo, int32_t lReqID,
                                          const std::string& sRPre, const std::string& /*sGUID*/,
                                          DataServices& oDS, Project& oProj) {
  try {
    for (const pugi::xml_node& treq : DescendantsNamed(oTTo, "TReq")) {
      if (!ElementText(treq, "EPGUID").empty()) {
        // A failure here is reported where it happens; the other traces
        // of the requirement are still copied.
        CopyCPTInfo(treq, lReqID, oDS, oProj, false);
        continue;
      }
      const std::string sTRID = ElementText(treq, "TRID");
      const std::string sTRVer = ElementText(treq, "TRVer");
      const int32_t lState = CLng(ElementText(treq, "State"));
      const std::string sTRTag = ElementText(treq, "TRTag");

      const int32_t lOtherID = GetNewReqID(oDS, sTRID);
      if (lOtherID == -1) return false;

      // A trace from a requirement to its own child repeats the
      // parent-child row the requirement copier wrote. A tag without "."
      // has no parent, so an empty parent part never matches (not even a
      // requirement without prefix).
      const std::string sParentTag = ParentTagOf(sTRTag);
      if (!sParentTag.empty() && sParentTag == sRPre) {
        AddTextResultsLine(kParentChildTraceText + sTRTag + " And " + sRPre);
        continue;
      }
      oDS.ExecuteSQL(BuildTraceInsertSQL(lReqID, lOtherID, 0, lState, sTRVer, false));
      ctx_.copied.Count(CopiedKind::kTrace);
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyReqTraceInfo", "");
    return false;
  }
}

bool InsPkgReqTraceInfo::ProcessTFromsForCPTs(const pugi::xml_node& oReq, int32_t lReqID,
                                              const std::string& sGUID, DataServices& oDS,
                                              Project& oProj) {
  try {
    pugi::xml_node tfrom = oReq.child("TFrom");
    if (!tfrom) return true;
    AddTextResultsLine(ResFormat(kResRequirementExtTraces, {FullTagOf(oReq)}));
    ctx_.copied.About(CopiedKind::kRequirement, FullTagOf(oReq), sGUID);
    Breathe();
    // Internal traces are written from the other requirement's TTo.
    for (const pugi::xml_node& treq : DescendantsNamed(tfrom, "TReq"))
      if (!ElementText(treq, "EPGUID").empty()) CopyCPTInfo(treq, lReqID, oDS, oProj, true);
    return true;
  } catch (const std::exception&) {
    ReportProcError("ProcessTFromsForCPTs", "");
    return false;
  }
}

bool InsPkgReqTraceInfo::CopyCPTInfo(const pugi::xml_node& oTReq, int32_t lReqID, DataServices& oDS,
                                     Project& oProj, bool bDirection) {
  try {
    const std::string sEPGUID = ElementText(oTReq, "EPGUID");
    const std::string sTRID = ElementText(oTReq, "TRID");
    const std::string sTRVer = ElementText(oTReq, "TRVer");
    const int32_t lState = ToLongOrZero(ElementText(oTReq, "State"));

    const std::string* sOpenedGUID = tables().gdictExtProjMap.Find(sEPGUID);
    if (!sOpenedGUID || sOpenedGUID->empty()) {
      RecordUnresolved(sTRID, sEPGUID, sTRVer, lState, bDirection);
      return true;
    }
    if (!tables().gcolExtProjs.Exists(*sOpenedGUID))
      throw VlError(err::kInvalidProcedureCall, "CopyCPTInfo",
                    "Invalid procedure call or argument: the project " + *sOpenedGUID +
                        " that stands for the external project " + sEPGUID + " is not open");
    // The other requirement's ID is known when that project recorded the
    // trace as unresolved towards the baseline's project, or when the run
    // that created it mapped the requirement (a run without traces records
    // none). Otherwise the trace waits, like one to a project not opened,
    // for a project created later from the other project's baseline.
    const int32_t* lOtherID = tables().gdictExtTraces.Find(sTRID);
    if (!lOtherID) {
      int32_t lMappedID = 0;
      if (FindMappedExtReqID(*sOpenedGUID, sTRID, lMappedID)) {
        tables().gdictExtTraces.Add(sTRID, lMappedID);
        lOtherID = tables().gdictExtTraces.Find(sTRID);
      }
    }
    if (!lOtherID) {
      RecordUnresolved(sTRID, sEPGUID, sTRVer, lState, bDirection);
      return true;
    }

    int32_t lRowID = 0;
    auto known = ext_row_ids_.find(*sOpenedGUID);
    if (known != ext_row_ids_.end()) {
      lRowID = known->second;
    } else {
      if (!getExtProjID(lRowID, *sOpenedGUID, oProj)) {
        ReportProcError("CopyCPTInfo", ResString(kResExtProjNotRegistered));
        return false;
      }
      ext_row_ids_.emplace(*sOpenedGUID, lRowID);
    }
    oDS.ExecuteSQL(BuildTraceInsertSQL(lReqID, *lOtherID, lRowID, lState, sTRVer, bDirection));
    ctx_.copied.Count(CopiedKind::kTrace);
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyCPTInfo", "");
    return false;
  }
}

bool InsPkgReqTraceInfo::FindMappedExtReqID(const std::string& sOpenedGUID,
                                            const std::string& sTRID, int32_t& lID) {
  auto map = ext_req_maps_.find(sOpenedGUID);
  std::shared_ptr<Project> project = *tables().gcolExtProjs.Find(sOpenedGUID);
  if (map == ext_req_maps_.end()) {
    std::unordered_map<std::string, std::string> pairs;
    pugi::xml_document doc;
    if (LoadXmlFile(doc, GetParentFolderName(project->GetProjectPath()), kReqGUIDMapFile))
      for (const pugi::xml_node& pair : DescendantsNamed(doc.child("PROJECT"), "GUID"))
        pairs.emplace(pair.attribute("OLDGUID").value(), pair.attribute("NEWGUID").value());
    map = ext_req_maps_.emplace(sOpenedGUID, std::move(pairs)).first;
  }
  auto newGuid = map->second.find(sTRID);
  if (newGuid == map->second.end()) return false;
  std::unique_ptr<Recordset> rs = DataServicesOf(*project)->QueryRecordset(
      "SELECT ID FROM " + Tbl("vlRequirements") + " WHERE VLGUID = " + SqlText(newGuid->second));
  if (!rs || rs->IsEOF()) return false;
  rs->MoveFirst();
  lID = IdOf(rs->GetFieldValue("ID"));
  return true;
}

void InsPkgReqTraceInfo::RecordUnresolved(const std::string& sTRID, const std::string& sEPGUID,
                                          const std::string& sTRVer, int32_t lState,
                                          bool bDirection) {
  if (!cur_requrcpt_) {
    cur_requrcpt_ = unres_root_.append_child("REQURCPT");
    cur_requrcpt_.append_attribute("OLDGUID").set_value(cur_old_guid_.c_str());
    cur_requrcpt_.append_attribute("NEWREQID").set_value(cur_new_req_id_);
  }
  pugi::xml_node trace = cur_requrcpt_.append_child("URTRACE");
  trace.append_attribute("TRID").set_value(sTRID.c_str());
  trace.append_attribute("EPGUID").set_value(sEPGUID.c_str());
  trace.append_attribute("TRVer").set_value(sTRVer.c_str());
  trace.append_attribute("State").set_value(lState);
  trace.append_attribute("DIR").set_value(bDirection ? "TFROM" : "TTO");
}

std::string InsPkgReqTraceInfo::BuildTraceInsertSQL(int32_t lReqID, int32_t lOtherReqID,
                                                    int32_t lExtProjRowID, int32_t lState,
                                                    const std::string& sVersion, bool bDirection) {
  // Seen from the start requirement: on the TFrom side the other
  // requirement is the start and lives in the external project.
  const int32_t lFromID = bDirection ? lOtherReqID : lReqID;
  const int32_t lFromProj = bDirection ? lExtProjRowID : 0;
  const int32_t lToID = bDirection ? lReqID : lOtherReqID;
  const int32_t lToProj = bDirection ? 0 : lExtProjRowID;
  const std::string sep = ", \r\n";
  return "INSERT INTO " + Tbl("VlToRelationships") + " (\r\n" + "REQUIREMENTID" + sep +
         "EXTERNALPROJECTID" + sep + "TOID" + sep + "EXTERNALPROJECTTOID" + sep + "TYPE" + sep +
         "STATE" + sep + "VERSIONNUMBER\r\n" + ") VALUES (" + SqlLong(lFromID) + sep +
         SqlLong(lFromProj) + sep + SqlLong(lToID) + sep + SqlLong(lToProj) + sep + SqlLong(0) +
         sep + SqlLong(lState) + sep + SqlText(sVersion) + "\r\n)";
}

bool InsPkgReqTraceInfo::processUnResExtTracesOfExtProjects(DataServices& oDS, Project& oProj) {
  try {
    if (tables().gcolExtProjs.Empty()) return true;
    const std::string sBLGUID = BaselineDescriptor().BLXMLGUID();
    const std::string sNewProjGUID = oProj.GetProjectGUID();
    const std::vector<std::string> keys = tables().gcolExtProjs.Keys();
    for (size_t i = keys.size(); i-- > 0;) {
      std::shared_ptr<Project> ext = *tables().gcolExtProjs.Find(keys[i]);
      if (!ResolveExtProjTraces(ext, sBLGUID, sNewProjGUID, oDS)) return true;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("processUnResExtTracesOfExtProjects", PendingError().description);
    return false;
  }
}

bool InsPkgReqTraceInfo::ResolveExtProjTraces(const std::shared_ptr<Project>& oExtProj,
                                              const std::string& sBLGUID,
                                              const std::string& sNewProjGUID, DataServices& oDS) {
  const std::string sFolder = GetParentFolderName(oExtProj->GetProjectPath());
  // A project that recorded nothing unresolved has no file: nothing to do.
  if (FindFileNoCase(sFolder, kUnResExtTracesFile).empty()) return true;
  pugi::xml_document doc;
  XmlLoadResult loaded = LoadXmlFile(doc, sFolder, kUnResExtTracesFile);
  if (!loaded || !doc.document_element())
    throw VlError(err::kFileNotFound, "processUnResExtTracesOfExtProjects",
                  "The file " + AddTrailingSlash(sFolder) + kUnResExtTracesFile +
                      " cannot be read: " + loaded.message);

  std::vector<pugi::xml_node> traces;
  for (const pugi::xml_node& t : DescendantsNamed(doc.document_element(), "URTRACE"))
    if (sBLGUID == t.attribute("EPGUID").value()) traces.push_back(t);

  // The new project's row in the external project: registered by this run
  // (written when the run completes that project), or there already.
  std::optional<int32_t> lRowID;
  if (const int32_t* pending = ctx_.new_project_rows.Find(oExtProj->GetProjectGUID()))
    lRowID = *pending;
  // The traces found now are written into the external project when the
  // run completes it, and taken out of its file then.
  bool bGoOn = true;
  bool bChanged = false;
  for (size_t i = traces.size(); i-- > 0;) {
    pugi::xml_node trace = traces[i];
    const std::string sTRID = trace.attribute("TRID").value();
    const bool bDirection = std::strcmp(trace.attribute("DIR").value(), "TFROM") == 0;
    const std::string sTRVer = trace.attribute("TRVer").value();
    const int32_t lState = CLng(trace.attribute("State").value());

    pugi::xml_node rcpt = trace.parent();
    // The message names the trace that waits, and the project it waits in.
    if (!IsReqGUIDTranslated(sTRID)) {
      ShowInfoMessage(ResString(kResNotCopied) + " " +
                      ResFormat(kResTraceWaitsFor, {rcpt.attribute("OLDGUID").value(),
                                                    oExtProj->GetProjectName(), sTRID}));
      bGoOn = false;
      break;
    }
    const int32_t lNewReqID = GetNewReqID(oDS, sTRID);
    if (lNewReqID == -1) {
      bGoOn = false;
      break;
    }
    const int32_t lExtReqID = CLng(rcpt.attribute("NEWREQID").value());
    const std::string sOldGUID = rcpt.attribute("OLDGUID").value();
    if (!tables().gdictExtTraces.Exists(sOldGUID)) tables().gdictExtTraces.Add(sOldGUID, lExtReqID);

    if (!lRowID) {
      int32_t lExisting = 0;
      if (!getExtProjID(lExisting, sNewProjGUID, *oExtProj))
        throw VlError(err::kObjectVariableNotSet, "processUnResExtTracesOfExtProjects",
                      "The new project " + sNewProjGUID +
                          " is not registered as an external project in the project " +
                          oExtProj->GetProjectPath());
      lRowID = lExisting;
    }
    pending_traces_.push_back(
        {oExtProj, BuildTraceInsertSQL(lExtReqID, lNewReqID, *lRowID, lState, sTRVer, bDirection)});
    rcpt.remove_child(trace);
    if (!HasElementChild(rcpt)) rcpt.parent().remove_child(rcpt);
    bChanged = true;
  }
  if (bChanged) {
    if (HasElementChild(doc.document_element()))
      ctx_.others.ReplaceFile(loaded.path, doc);
    else
      ctx_.others.RemoveFile(loaded.path);
  }
  return bGoOn;
}

void InsPkgReqTraceInfo::ApplyPendingExtTraces() {
  for (const PendingTrace& t : pending_traces_) {
    ctx_.others.Begin(t.project);
    DataServicesOf(*t.project)->ExecuteSQL(t.statement);
  }
}

bool InsPkgReqTraceInfo::getExtProjID(int32_t& lID, const std::string& sProjGUID, Project& oProj) {
  std::shared_ptr<DataServices> ds = DataServicesOf(oProj);
  std::unique_ptr<Recordset> rs = ds->ExecuteSQL(
      std::string("SELECT VlExternalProjects.VlGUID, VlExternalProjects.ID ") +
      "FROM VlExternalProjects " + "WHERE VlExternalProjects.VlGUID = " + SqlText(sProjGUID));
  if (!rs || rs->IsEOF()) return false;
  rs->MoveFirst();
  lID = IdOf(rs->GetFieldValue("ID"));
  return true;
}

}  // namespace vl
