#include "copy/ins_group_sec_info.h"

#include <string>

#include "copy/db_conventions.h"
#include "host/convert.h"
#include "host/host_globals.h"
#include "host/messages.h"

namespace vl {
namespace {

constexpr const char* kPermissionsFile = "Permissions.XML";
// Reading what is not there fails as a missing object or value does.
constexpr long kObjectVariableNotSet = 91;
constexpr long kInvalidUseOfNull = 94;

// The child element `name` of `parent`. Every section element is required,
// even an empty one: a baseline without it is damaged, and copying on
// would silently drop rights.
pugi::xml_node RequiredSection(const pugi::xml_node& parent, const char* name) {
  pugi::xml_node section = parent.child(name);
  if (!section)
    throw VlError(kObjectVariableNotSet, "selectSingleNode",
                  std::string("Object variable not set: \"") + parent.name() +
                      "\" has no element \"" + name + "\"");
  return section;
}

std::string RequiredAttr(const pugi::xml_node& node, const char* name) {
  pugi::xml_attribute attr = node.attribute(name);
  if (!attr)
    throw VlError(kInvalidUseOfNull, "getAttribute",
                  std::string("Invalid use of Null: attribute \"") + name + "\" of \"" +
                      node.name() + "\" is missing");
  return attr.value();
}

// A rights value as written in the baseline; the project component alone
// knows what it means.
int32_t RightOf(const pugi::xml_node& node, const char* name) {
  return CLng(RequiredAttr(node, name));
}

}  // namespace

bool InsGroupSecInfo::CopyXMLGroupSecInfo(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kPermissionsFile, "//Project", "Project");
    if (!root) return false;
    pugi::xml_node groups = doc.select_node("//Groups").node();
    if (!groups)
      throw VlError(kObjectVariableNotSet, "selectSingleNode",
                    "Object variable not set: the document has no element \"Groups\"");
    for (const pugi::xpath_node& n : groups.select_nodes(".//Group")) {
      const pugi::xml_node group = n.node();
      const int32_t lGroupID = GetNewGroupID(oDS, RequiredAttr(group, "ID"));
      if (lGroupID == -1) return false;
      if (!CopyGroupDocTypeRights(group, lGroupID, oDS, oProj)) return false;
      if (!CopyGroupReqTypeRights(group, lGroupID, oDS, oProj)) return false;
      Messages().Breathe();
    }
    return true;
  } catch (...) {
    ReportProcError("CopyXMLGroupSecInfo", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupDocTypeRights(const pugi::xml_node& oGroup, int32_t lGroupID,
                                             DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_node section = RequiredSection(oGroup, "DocumentTypeRights");
    for (const pugi::xpath_node& n : section.select_nodes(".//DocumentTypeRight")) {
      const pugi::xml_node right = n.node();
      const int32_t lAccess = RightOf(right, "AccessRights");
      const int32_t lDocTypeID = GetNewDocTypeID(oDS, RequiredAttr(right, "ID"));
      if (lDocTypeID == -1) return false;
      oDS.ExecuteSQL("INSERT INTO " + Tbl("vlDocumentTypeUsers") +
                     " (PROJECTID, DOCUMENTTYPEID, USERGROUPID, ACCESSRIGHTS) VALUES (" +
                     SqlLong(oProj.GetProjectID()) + ", " + SqlLong(lDocTypeID) + ", " +
                     SqlLong(lGroupID) + ", " + SqlLong(lAccess) + ")");
    }
    return true;
  } catch (...) {
    ReportProcError("CopyGroupDocTypeRights", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupReqTypeRights(const pugi::xml_node& oGroup, int32_t lGroupID,
                                             DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_node section = RequiredSection(oGroup, "RequirementTypeRights");
    for (const pugi::xpath_node& n : section.select_nodes(".//RequirementTypeRight")) {
      const pugi::xml_node right = n.node();
      const int32_t lAccess = RightOf(right, "AccessRights");
      const int32_t lTextAccess = RightOf(right, "RequirementTextAccessRights");
      const int32_t lTraceAccess = RightOf(right, "RequirementTraceabilityAccessRights");
      const int32_t lNameAccess = RightOf(right, "RequirementNameAccessRights");
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
  } catch (...) {
    ReportProcError("CopyGroupReqTypeRights", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupRTAttrRights(const pugi::xml_node& oReqTypeRight, int32_t lGroupID,
                                            DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_node section = RequiredSection(oReqTypeRight, "AttributeRights");
    for (const pugi::xpath_node& n : section.select_nodes(".//AttributeRight")) {
      const pugi::xml_node right = n.node();
      const int32_t lAccess = RightOf(right, "AccessRights");
      const int32_t lAttrID = GetNewAttrID(oDS, RequiredAttr(right, "ID"));
      if (lAttrID == -1) return false;
      oDS.ExecuteSQL("INSERT INTO " + Tbl("vlUserDefinedFieldUsers") +
                     " (PROJECTID, USERGROUPID, FIELDID, ACCESSRIGHTS) VALUES (" +
                     SqlLong(oProj.GetProjectID()) + ", " + SqlLong(lGroupID) + ", " +
                     SqlLong(lAttrID) + ", " + SqlLong(lAccess) + ")");
      if (!CopyGroupAttrLVRights(right, lGroupID, oDS, oProj)) return false;
    }
    return true;
  } catch (...) {
    ReportProcError("CopyGroupRTAttrRights", "");
    return false;
  }
}

bool InsGroupSecInfo::CopyGroupAttrLVRights(const pugi::xml_node& oAttrRight, int32_t lGroupID,
                                            DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_node section = RequiredSection(oAttrRight, "ListItemRights");
    for (const pugi::xpath_node& n : section.select_nodes(".//ListItemRight")) {
      const pugi::xml_node right = n.node();
      const int32_t lAccess = RightOf(right, "AccessRights");
      const int32_t lItemID = GetNewLVID(oDS, RequiredAttr(right, "ID"));
      if (lItemID == -1) return false;
      oDS.ExecuteSQL("INSERT INTO " + Tbl("vlUserDefinedListItemUsers") +
                     " (PROJECTID, USERGROUPID, LISTITEMID, ACCESSRIGHTS) VALUES (" +
                     SqlLong(oProj.GetProjectID()) + ", " + SqlLong(lGroupID) + ", " +
                     SqlLong(lItemID) + ", " + SqlLong(lAccess) + ")");
    }
    return true;
  } catch (...) {
    ReportProcError("CopyGroupAttrLVRights", "");
    return false;
  }
}

}  // namespace vl
