#include "copy/ins_group_sec_info.h"

#include <string>

#include "copy/db_conventions.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"

namespace vl {
namespace {

constexpr const char* kPermissionsFile = "Permissions.XML";
// Every rights section element is required below its owner, even an empty
// one: a baseline without it is damaged, and copying on would silently
// drop rights.

}  // namespace

bool InsGroupSecInfo::CopyXMLGroupSecInfo(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kPermissionsFile, "//Project", "Project");
    if (!root) return false;
    pugi::xml_node groups = doc.select_node("//Groups").node();
    if (!groups)
      throw VlError(err::kObjectVariableNotSet, "selectSingleNode",
                    "Object variable not set: the document has no element \"Groups\"");
    for (const pugi::xml_node& group : DescendantsNamed(groups, "Group")) {
      const int32_t lGroupID = GetNewGroupID(oDS, RequiredAttr(group, "ID"));
      if (lGroupID == -1) return false;
      if (!CopyGroupDocTypeRights(group, lGroupID, oDS, oProj)) return false;
      if (!CopyGroupReqTypeRights(group, lGroupID, oDS, oProj)) return false;
      Breathe();
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLGroupSecInfo", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupDocTypeRights(const pugi::xml_node& oGroup, int32_t lGroupID,
                                             DataServices& oDS, Project& oProj) {
  try {
    const pugi::xml_node section = RequiredElement(oGroup, "DocumentTypeRights");
    for (const pugi::xml_node& right : DescendantsNamed(section, "DocumentTypeRight")) {
      const int32_t lAccess = RequiredLong(right, "AccessRights");
      const int32_t lDocTypeID = GetNewDocTypeID(oDS, RequiredAttr(right, "ID"));
      if (lDocTypeID == -1) return false;
      oDS.ExecuteSQL("INSERT INTO " + Tbl("vlDocumentTypeUsers") +
                     " (PROJECTID, DOCUMENTTYPEID, USERGROUPID, ACCESSRIGHTS) VALUES (" +
                     SqlLong(oProj.GetProjectID()) + ", " + SqlLong(lDocTypeID) + ", " +
                     SqlLong(lGroupID) + ", " + SqlLong(lAccess) + ")");
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyGroupDocTypeRights", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupReqTypeRights(const pugi::xml_node& oGroup, int32_t lGroupID,
                                             DataServices& oDS, Project& oProj) {
  try {
    const pugi::xml_node section = RequiredElement(oGroup, "RequirementTypeRights");
    for (const pugi::xml_node& right : DescendantsNamed(section, "RequirementTypeRight")) {
      const int32_t lAccess = RequiredLong(right, "AccessRights");
      const int32_t lTextAccess = RequiredLong(right, "RequirementTextAccessRights");
      const int32_t lTraceAccess = RequiredLong(right, "RequirementTraceabilityAccessRights");
      const int32_t lNameAccess = RequiredLong(right, "RequirementNameAccessRights");
      const int32_t lReqTypeID = GetNewReqTypeID(oDS, RequiredAttr(right, "ID"));
      if (lReqTypeID == -1) return false;
      oDS.ExecuteSQL("INSERT INTO " + Tbl("vlRequirementTypeUsers") +
                     " (PROJECTID, REQUIREMENTTYPEID, USERGROUPID, ACCESSRIGHTS, "
                     "REQTEXTACCESSRIGHTS, TRACEABILITYACCESSRIGHTS, REQNAMEACCESSRIGHTS) "
                     "VALUES (" +
                     SqlLong(oProj.GetProjectID()) + ", " + SqlLong(lReqTypeID) + ", " +
                     SqlLong(lGroupID) + ", " + SqlLong(lAccess) + ", " + SqlLong(lTextAccess) +
                     ", " + SqlLong(lTraceAccess) + ", " + SqlLong(lNameAccess) + ")");
      if (!CopyGroupRTAttrRights(right, lGroupID, oDS, oProj)) return false;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyGroupReqTypeRights", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupRTAttrRights(const pugi::xml_node& oReqTypeRight, int32_t lGroupID,
                                            DataServices& oDS, Project& oProj) {
  try {
    const pugi::xml_node section = RequiredElement(oReqTypeRight, "AttributeRights");
    for (const pugi::xml_node& right : DescendantsNamed(section, "AttributeRight")) {
      const int32_t lAccess = RequiredLong(right, "AccessRights");
      const int32_t lAttrID = GetNewAttrID(oDS, RequiredAttr(right, "ID"));
      if (lAttrID == -1) return false;
      oDS.ExecuteSQL("INSERT INTO " + Tbl("vlUserDefinedFieldUsers") +
                     " (PROJECTID, USERGROUPID, FIELDID, ACCESSRIGHTS) VALUES (" +
                     SqlLong(oProj.GetProjectID()) + ", " + SqlLong(lGroupID) + ", " +
                     SqlLong(lAttrID) + ", " + SqlLong(lAccess) + ")");
      if (!CopyGroupAttrLVRights(right, lGroupID, oDS, oProj)) return false;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyGroupRTAttrRights", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupAttrLVRights(const pugi::xml_node& oAttrRight, int32_t lGroupID,
                                            DataServices& oDS, Project& oProj) {
  try {
    const pugi::xml_node section = RequiredElement(oAttrRight, "ListItemRights");
    for (const pugi::xml_node& right : DescendantsNamed(section, "ListItemRight")) {
      const int32_t lAccess = RequiredLong(right, "AccessRights");
      const int32_t lItemID = GetNewLVID(oDS, RequiredAttr(right, "ID"));
      if (lItemID == -1) return false;
      oDS.ExecuteSQL("INSERT INTO " + Tbl("vlUserDefinedListItemUsers") +
                     " (PROJECTID, USERGROUPID, LISTITEMID, ACCESSRIGHTS) VALUES (" +
                     SqlLong(oProj.GetProjectID()) + ", " + SqlLong(lGroupID) + ", " +
                     SqlLong(lItemID) + ", " + SqlLong(lAccess) + ")");
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyGroupAttrLVRights", "");
    return false;
  }
}

}  // namespace vl
