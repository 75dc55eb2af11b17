#include "copy/ins_pkg_info.h"

#include <algorithm>
#include <pugixml.hpp>

#include "baseline/baseline_names.h"
#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/element_values.h"
#include "copy/ins_doc_info.h"
#include "copy/ins_req_info.h"
#include "copy/ins_view_info.h"
#include "copy/insert_sql.h"
#include "copy/package_walk.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/xml/named_elements.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

constexpr long kResCopyingPackage = 20060;
constexpr long kResRootPackageMissing = 20062;
constexpr long kResDocumentsFailed = 20063;
constexpr long kResViewsFailed = 20064;
constexpr long kResRequirementsFailed = 20065;
constexpr long kResUnsafePackageName = 20141;
constexpr long kResPackageReachedTwice = 20142;
constexpr const char* kPackageListFile = "PackageList.XML";
constexpr const char* kProgressStage = "CopyXMLPkgInfo";

// The views of one package, by the view copier.
bool CopyPackageViews(RunContext& ctx, pugi::xml_node oPkg, int32_t lPkgID, DataServices& oDS,
                      Project& oProj) {
  InsViewInfo views(ctx);
  return views.CopyXMLPkgViewInfo(oPkg, lPkgID, oDS, oProj);
}

// The new project was born with its root package: its row takes the
// baseline root's name, description and new GUID. False after text 20062
// when the row is missing.
bool UpdateRootPackage(RunContext& ctx, const std::string& name, const std::string& description,
                       const std::string& newGuid, DataServices& oDS, Project& oProj,
                       int32_t& lPkgID) {
  std::shared_ptr<Package> root = oProj.GetRootPackage();
  std::unique_ptr<Recordset> row;
  if (root) {
    lPkgID = root->GetPackageID();
    row = oDS.QueryRecordset(
        "SELECT  NAME, DESCRIPTION, VLGUID  FROM vlPackages  WHERE ID=" + SqlLong(lPkgID), true);
  }
  if (!row || row->IsEOF()) {
    ctx.messages().ShowInfoMessage(ctx.messages().ResString(kResRootPackageMissing));
    return false;
  }
  row->MoveFirst();
  row->SetFieldValue("NAME", Variant::String(name));
  row->SetFieldValue("DESCRIPTION", Variant::String(description));
  row->SetFieldValue("VLGUID", Variant::String(newGuid));
  row->Update();
  return true;
}

// The vlPackages row of a package below lParentID; returns its new ID.
int32_t InsertPackageRow(const std::string& name, const std::string& description,
                         const std::string& newGuid, int32_t lParentID, DataServices& oDS,
                         Project& oProj) {
  const int32_t id = NextKey(oDS, "Package");
  const std::string next = std::string(", ") + kCrLf;
  oDS.ExecuteSQL(
      "INSERT INTO vlPackages (ID, PROJECTID, PARENTID, NAME, DESCRIPTION, VLGUID) "
      "VALUES (" +
      SqlLong(id) + next + SqlLong(oProj.GetProjectID()) + next + SqlLong(lParentID) + next +
      SqlText(name) + next + SqlText(description) + next + SqlText(newGuid) + ")" + kCrLf);
  return id;
}

}  // namespace

bool InsPkgInfo::CopyXMLPkgInfo(DataServices& oDS, Project& oProj) {
  try {
    reached_.clear();
    ctx_.unlinked_children.clear();
    pugi::xml_document doc;
    pugi::xml_node project = LoadBaselineFile(doc, kPackageListFile);
    if (!project) return false;
    listed_packages_ = static_cast<long>(project.select_nodes("Pkg").size());
    pugi::xml_node root = project.select_node("Pkg[@ParentID='0']").node();
    if (!root)
      throw VlError(
          err::kObjectRequired, "selectSingleNode",
          std::string(kPackageListFile) + " names no root package (a Pkg with ParentID 0)");
    if (!AddXMLPackage(root.attribute("GUID").value(), 0, oDS, oProj)) return false;
    // A child may stand in a package copied before its parent's.
    InsReqInfo requirements(ctx_);
    if (!requirements.LinkPendingChildren(oDS, oProj)) {
      ShowInfoMessage(ResString(kResRequirementsFailed));
      return false;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLPkgInfo", "");
    return false;
  }
}

bool InsPkgInfo::AddXMLPackage(const std::string& sPkgGUID, int32_t lParentID, DataServices& oDS,
                               Project& oProj) {
  // One package: its checks, row and contents, with the trap of the
  // package's own walk step.
  struct Level {
    int32_t pkgId = 0;
    std::vector<std::string> children;  // the package file is closed by now
    size_t next = 0;
  };
  // Pre-order, kept on a list of levels rather than the call stack: a
  // baseline may chain tens of thousands of packages one below the other.
  std::vector<Level> pending;
  auto addOne = [&](const std::string& guid, int32_t parentId, Level& level) {
    try {
      // The GUID names the package file: it must not lead out of the
      // baseline folder.
      if (!IsSafeNamePart(guid)) {
        ShowInfoMessage(ResFormat(kResUnsafePackageName, {NameForMessage(guid)}));
        return false;
      }
      // A package reached a second time would be copied again, and package
      // files that refer to each other in a cycle would never end the walk.
      if (!reached_.insert(UCase(guid)).second) {
        ShowInfoMessage(ResFormat(kResPackageReachedTwice, {guid}));
        return false;
      }
      return CopyPackageContents(guid, parentId, oDS, oProj, level.pkgId, level.children,
                                 NextLeftInWalk(pending));
    } catch (const std::exception&) {
      ReportProcError("AddXMLPackage", "");
      return false;
    }
  };
  std::string guid = sPkgGUID;
  int32_t parentId = lParentID;
  for (;;) {
    Level level;
    if (!addOne(guid, parentId, level)) return false;
    // A package file may name packages the list does not: the count grows.
    const long done = static_cast<long>(reached_.size());
    ctx_.messages().Progress(kProgressStage, done, std::max(done, listed_packages_));
    pending.push_back(std::move(level));
    while (!pending.empty() && pending.back().next == pending.back().children.size())
      pending.pop_back();
    if (pending.empty()) return true;
    Level& top = pending.back();
    guid = top.children[top.next++];
    parentId = top.pkgId;
  }
}

bool InsPkgInfo::CopyPackageContents(const std::string& sPkgGUID, int32_t lParentID,
                                     DataServices& oDS, Project& oProj, int32_t& lPkgID,
                                     std::vector<std::string>& childGuids,
                                     const std::string& nextIfLeaf) {
  pugi::xml_document doc;
  // A missing or broken file leaves no package element; the document
  // copier then stops on it with its own report.
  ctx_.LoadBaselineXml(doc, sPkgGUID + ".XML");
  const pugi::xml_node oPkg = FirstChildElementOf(doc, "PROJECT", "Pkg");
  for (const pugi::xml_node& child : DescendantsNamed(oPkg.child("Pkgs"), "Pkg"))
    childGuids.push_back(ElementText(child, "GUID"));
  ctx_.ExpectNextPackage(childGuids, nextIfLeaf);
  const std::string name = ElementText(oPkg, "PkgName");
  const std::string description = ElementText(oPkg, "PkgDesc");
  AddTextResultsLine(ResFormat(kResCopyingPackage, {name}));
  ctx_.copied.Copying(CopiedKind::kPackage, name, sPkgGUID);
  const std::string newGuid = AssignNewGUID(sPkgGUID);

  if (lParentID < 1) {
    if (!UpdateRootPackage(ctx_, name, description, newGuid, oDS, oProj, lPkgID)) return false;
  } else {
    lPkgID = InsertPackageRow(name, description, newGuid, lParentID, oDS, oProj);
  }

  InsDocInfo documents(ctx_);
  if (!documents.CopyXMLPkgDocInfo(oPkg, lPkgID, oDS, oProj)) {
    ShowInfoMessage(ResString(kResDocumentsFailed));
    return false;
  }
  if (!CopyPackageViews(ctx_, oPkg, lPkgID, oDS, oProj)) {
    ShowInfoMessage(ResString(kResViewsFailed));
    return false;
  }
  InsReqInfo requirements(ctx_);
  if (!requirements.CopyXMLPkgReqInfo(oPkg, lPkgID, oDS, oProj)) {
    ShowInfoMessage(ResString(kResRequirementsFailed));
    return false;
  }
  return true;
}

}  // namespace vl
