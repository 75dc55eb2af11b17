#include "copy/ins_proj_struct_info.h"

#include <string>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/guid_map_file.h"
#include "copy/mod_attr_views.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

constexpr const char* kStructureFile = "ProjectStructure.XML";
constexpr const char* kResRTGUIDsFile = "ResRTGUIDs.xml";

// The integer of the first column of the first row, as a SELECT ID by
// GUID gives it; false when there is no row.
bool SelectFirstId(DataServices& oDS, const std::string& sql, int32_t& id) {
  std::unique_ptr<Recordset> rs = oDS.QueryRecordset(sql);
  if (!rs || rs->IsEOF()) return false;
  rs->MoveFirst();
  id = CLng(rs->GetFieldValue("ID").ToText());
  return true;
}

void ShowProgress(RunContext& ctx, const std::string& line) {
  ctx.messages().AddTextResultsLine(line);
  ctx.Breathe();
}

struct BaselineAttribute {
  std::string guid, label, defaultValue, description, fieldProperties;
  int32_t rank = 0, dataType = 0, flags = 0;
  bool autoSuspect = false, required = false;
};

BaselineAttribute ReadAttribute(const pugi::xml_node& el) {
  BaselineAttribute a;
  a.guid = RequiredAttr(el, "ID");
  a.label = RequiredAttr(el, "Label");
  a.rank = RequiredLong(el, "Rank");
  a.autoSuspect = RequiredBool(el, "AutoSuspect");
  a.required = RequiredBool(el, "Required");
  a.dataType = RequiredLong(el, "DataType");
  a.defaultValue = RequiredAttr(el, "DefaultValue");
  a.flags = RequiredLong(el, "Flags");
  a.description = RequiredAttr(el, "Description");
  a.fieldProperties = RequiredAttr(el, "FieldProperties");
  return a;
}

void InsertAttribute(DataServices& oDS, int32_t lFieldID, const std::string& newGuid,
                     const BaselineAttribute& a) {
  oDS.ExecuteSQL("INSERT INTO " + Tbl("vlUserDefinedFields") +
                 " (ID, VLGUID, LABEL, RANK, AUTOSUSPECT, REQUIRED, DATATYPE, DEFAULTVALUE, "
                 "FLAGS, DESCRIPTION, FIELDPROPERTIES) VALUES (" +
                 SqlLong(lFieldID) + ", " + SqlText(newGuid) + ", " + SqlText(a.label) + ", " +
                 SqlLong(a.rank) + ", " + SqlBool(a.autoSuspect) + ", " + SqlBool(a.required) +
                 ", " + SqlLong(a.dataType) + ", " + SqlText(a.defaultValue) + ", " +
                 SqlLong(a.flags) + ", " + SqlText(a.description) + ", " +
                 SqlText(a.fieldProperties) + ")");
}

// A list attribute's default value holds the new ITEMID of its default
// item, as text.
void SetDefaultItem(DataServices& oDS, const std::string& newGuid, int32_t lDefaultItemID) {
  oDS.ExecuteSQL("UPDATE vlUserDefinedFields SET DEFAULTVALUE = '" + SqlLong(lDefaultItemID) +
                 "' WHERE VLGUID  = " + SqlText(newGuid));
}

struct BaselineListItem {
  std::string text, guid;
  int32_t rank = 0;
  bool isDefault = false;
};

BaselineListItem ReadListItem(const pugi::xml_node& el) {
  BaselineListItem item;
  item.text = RequiredAttr(el, "ItemText");
  item.rank = RequiredLong(el, "ItemRank");
  item.isDefault = RequiredBool(el, "Default");
  item.guid = RequiredAttr(el, "ID");
  return item;
}

void InsertListItem(DataServices& oDS, int32_t lItemID, int32_t lFieldID,
                    const std::string& newGuid, const BaselineListItem& item) {
  oDS.ExecuteSQL("INSERT INTO " + Tbl("vlUserDefinedListItems") +
                 " (ITEMID, FIELDID, ITEMRANK, ITEMTEXT, VLGUID) VALUES (" + SqlLong(lItemID) +
                 ", " + SqlLong(lFieldID) + ", " + SqlLong(item.rank) + ", " + SqlText(item.text) +
                 ", " + SqlText(newGuid) + ")");
}

struct BaselineReqType {
  std::string guid, name, description, prefix, mustContain;
  int32_t style = 0, color = 0, initialNumber = 0, lastNumber = 0;
  bool allowExternalReferences = false;
};

BaselineReqType ReadReqType(const pugi::xml_node& el) {
  BaselineReqType t;
  t.guid = RequiredAttr(el, "ID");
  t.name = RequiredAttr(el, "Name");
  t.description = RequiredAttr(el, "Description");
  t.prefix = RequiredAttr(el, "RequirementPrefix");
  t.style = RequiredLong(el, "RequirementStyle");
  t.color = RequiredLong(el, "RequirementColor");
  t.mustContain = RequiredAttr(el, "RequirementMustContain");
  t.initialNumber = RequiredLong(el, "InitialReqNumber");
  t.lastNumber = RequiredLong(el, "LastReqNumber");
  t.allowExternalReferences = RequiredBool(el, "AllowExternalReferences");
  return t;
}

void InsertReqType(DataServices& oDS, int32_t lTypeID, const std::string& newGuid,
                   const BaselineReqType& t) {
  oDS.ExecuteSQL("INSERT INTO " + Tbl("vlRequirementTypes") +
                 " (ID, VLGUID, NAME, DESCRIPTION, REQUIREMENTPREFIX, REQUIREMENTSTYLE, "
                 "REQUIREMENTCOLOR, REQUIREMENTMUSTCONTAIN, INITIALREQNUMBER, LASTREQNUMBER, "
                 "ALLOWEXTERNALREFERENCES) VALUES (" +
                 SqlLong(lTypeID) + ", " + SqlText(newGuid) + ", " + SqlText(t.name) + ", " +
                 SqlText(t.description) + ", " + SqlText(t.prefix) + ", " + SqlLong(t.style) +
                 ", " + SqlLong(t.color) + ", " + SqlText(t.mustContain) + ", " +
                 SqlLong(t.initialNumber) + ", " + SqlLong(t.lastNumber) + ", " +
                 SqlBool(t.allowExternalReferences) + ")");
}

void LinkReqTypeToProject(DataServices& oDS, Project& oProj, int32_t lTypeID) {
  oDS.ExecuteSQL("INSERT INTO " + Tbl("vlProjectRequirementTypes") +
                 " (PROJECTID, REQUIREMENTTYPEID) VALUES (" + SqlLong(oProj.GetProjectID()) + ", " +
                 SqlLong(lTypeID) + ")");
}

// Links the attributes listed under one requirement type; false after a
// message when one has no translation or no row.
bool ConnectTypeAttributes(RunContext& ctx, DataServices& oDS, const pugi::xml_node& reqType, int32_t lTypeID) {
  pugi::xml_node attributes = RequiredElement(reqType, "Attributes");
  for (const pugi::xml_node& el : DescendantsNamed(attributes, "Attribute")) {
    const std::string oldGuid = RequiredAttr(el, "ID");
    if (!ctx.IsGUIDTranslated(oldGuid)) {
      ctx.messages().ShowInfoMessage(
          ctx.AboutReference("ReqType Attribute not translated.", "attribute", oldGuid));
      return false;
    }
    int32_t lAttrID = 0;
    if (!SelectFirstId(
            oDS,
            "SELECT ID FROM vlUserDefinedFields WHERE VLGUID = " + SqlText(ctx.TranslateGUID(oldGuid)),
            lAttrID)) {
      ctx.messages().ShowInfoMessage(
          ctx.AboutReference("Cannot read inserted attr from database.", "attribute", oldGuid));
      return false;
    }
    oDS.ExecuteSQL("INSERT INTO " + Tbl("vlRequirementTypeFields") +
                   " (REQUIREMENTTYPEID, USERDEFINEDFIELDID) VALUES (" + SqlLong(lTypeID) + ", " +
                   SqlLong(lAttrID) + ")");
  }
  return true;
}

struct BaselineDocType {
  std::string guid, name, description, fileExtension, defaultReqTypeGuid, templateName,
      templateDescription, templateFileName, templateHelpFile, defaultRequirementName;
};

BaselineDocType ReadDocType(const pugi::xml_node& el) {
  BaselineDocType d;
  d.guid = RequiredAttr(el, "ID");
  d.name = RequiredAttr(el, "Name");
  d.description = RequiredAttr(el, "Description");
  d.fileExtension = RequiredAttr(el, "FileExtension");
  d.defaultReqTypeGuid = RequiredAttr(el, "DefaultRequirementTypeGUID");
  d.templateName = RequiredAttr(el, "TemplateName");
  d.templateDescription = RequiredAttr(el, "TemplateDescription");
  d.templateFileName = RequiredAttr(el, "TemplateFileName");
  d.templateHelpFile = RequiredAttr(el, "TemplateHelpFile");
  d.defaultRequirementName = RequiredAttr(el, "DefaultRequirementName");
  return d;
}

// The new ID of a document type's default requirement type: 0 when the
// baseline names none that was copied; false after a message when the
// copied type has no row.
bool DefaultReqTypeId(RunContext& ctx, DataServices& oDS, const std::string& oldGuid, int32_t& lReqTypeID) {
  lReqTypeID = 0;
  if (!ctx.IsGUIDTranslated(oldGuid)) return true;
  if (SelectFirstId(
          oDS,
          "SELECT ID FROM vlRequirementTypes WHERE VLGUID = " + SqlText(ctx.TranslateGUID(oldGuid)),
          lReqTypeID))
    return true;
  ctx.messages().ShowInfoMessage(ctx.AboutReference(
      "Cannot read inserted Requirement Type from database.", "requirement type", oldGuid));
  return false;
}

void InsertDocType(DataServices& oDS, int32_t lDocTypeID, const std::string& newGuid,
                   int32_t lReqTypeID, const BaselineDocType& d) {
  oDS.ExecuteSQL("INSERT INTO " + Tbl("vlDocumentTypes") +
                 " (ID, VLGUID, NAME, DESCRIPTION, FILEEXTENSION, DEFAULTREQUIREMENTTYPE, "
                 "TEMPLATENAME, TEMPLATEDESCRIPTION, TEMPLATEFILENAME, TEMPLATEHELPFILE) VALUES (" +
                 SqlLong(lDocTypeID) + ", " + SqlText(newGuid) + ", " + SqlText(d.name) + ", " +
                 SqlText(d.description) + ", " + SqlText(d.fileExtension) + ", " +
                 SqlLong(lReqTypeID) + ", " + SqlText(d.templateName) + ", " +
                 SqlText(d.templateDescription) + ", " + SqlText(d.templateFileName) + ", " +
                 SqlText(d.templateHelpFile) + ")");
}

void LinkDocTypeToProject(DataServices& oDS, Project& oProj, int32_t lDocTypeID) {
  oDS.ExecuteSQL("INSERT INTO " + Tbl("vlProjectDocumentTypes") +
                 " (PROJECTID, DOCUMENTTYPEID) VALUES (" + SqlLong(oProj.GetProjectID()) + ", " +
                 SqlLong(lDocTypeID) + ")");
}

}  // namespace

InsProjStruInfo::InsProjStruInfo(RunContext& ctx)
    : Copier(ctx), guid_map_doc_(std::make_unique<pugi::xml_document>()) {}
InsProjStruInfo::~InsProjStruInfo() = default;

bool InsProjStruInfo::CopyXMLAttrInfo(DataServices& oDS, Project& oProj) {
  try {
    guid_map_root_ =
        StartGUIDMapDocument(*guid_map_doc_, BaselineDescriptor().BLXMLGUID(), oProj.GetProjectGUID());

    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kStructureFile);
    if (!root) return false;
    pugi::xml_node attributes = RequiredElement(root, "Attributes");
    for (const pugi::xml_node& el : DescendantsNamed(attributes, "Attribute")) {
      const int32_t lFieldID = NextKey(oDS, "UserDefinedField");
      const BaselineAttribute a = ReadAttribute(el);
      ShowProgress(ctx_, ResFormat(20074, {a.label}));
      ctx_.copied.Copying(CopiedKind::kAttribute, a.label, a.guid);
      const std::string newGuid = AssignNewGUID(a.guid);
      InsertAttribute(oDS, lFieldID, newGuid, a);
      int32_t lDefaultItemID = 0;
      if (!CopyXMLListItemInfo(el, lFieldID, oDS, oProj, lDefaultItemID)) return false;
      if (lDefaultItemID > 0) SetDefaultItem(oDS, newGuid, lDefaultItemID);
      g_CreateAttrView(lFieldID, a.dataType, oDS, ctx_.messages());
      AppendGUIDMapEntry(guid_map_root_, a.guid, newGuid);
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLAttrInfo", "");
    return false;
  }
}

bool InsProjStruInfo::CopyXMLListItemInfo(const pugi::xml_node& oAttr, int32_t lFieldID,
                                          DataServices& oDS, Project& /*oProj*/,
                                          int32_t& lDefaultItemID) {
  lDefaultItemID = 0;
  pugi::xml_node listItems = oAttr.child("ListItems");
  if (!listItems) return true;
  for (const pugi::xml_node& el : DescendantsNamed(listItems, "ListItem")) {
    const int32_t lItemID = NextKey(oDS, "UserDefinedListItem");
    const BaselineListItem item = ReadListItem(el);
    ShowProgress(ctx_, ResFormat(20075, {item.text}));
    ctx_.copied.Copying(CopiedKind::kListItem, item.text, item.guid);
    if (item.isDefault) lDefaultItemID = lItemID;  // the last item marked wins
    const std::string newGuid = AssignNewGUID(item.guid);
    InsertListItem(oDS, lItemID, lFieldID, newGuid, item);
    AppendGUIDMapEntry(guid_map_root_, item.guid, newGuid);
  }
  return true;
}

bool InsProjStruInfo::CopyXMLReqTypeInfo(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kStructureFile);
    if (!root) return false;
    if (!guid_map_root_)
      throw VlError(err::kObjectVariableNotSet, "CopyXMLReqTypeInfo",
                    "Object variable not set: the attributes have not been copied");
    pugi::xml_node reqTypes = RequiredElement(root, "RequirementTypes");
    for (const pugi::xml_node& el : DescendantsNamed(reqTypes, "RequirementType")) {
      const int32_t lTypeID = NextKey(oDS, "RequirementType");
      const BaselineReqType t = ReadReqType(el);
      ShowProgress(ctx_, ResFormat(20076, {t.name}));
      ctx_.copied.Copying(CopiedKind::kRequirementType, t.name, t.guid);
      const std::string newGuid = AssignNewGUID(t.guid);
      InsertReqType(oDS, lTypeID, newGuid, t);
      LinkReqTypeToProject(oDS, oProj, lTypeID);
      AppendGUIDMapEntry(guid_map_root_, t.guid, newGuid);
    }
    const std::string folder = GetParentFolderName(oProj.GetProjectPath());
    SaveXmlFile(*guid_map_doc_, AddTrailingSlash(folder) + kResRTGUIDsFile);
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLReqTypeInfo", "");
    return false;
  }
}

bool InsProjStruInfo::ConnectXMLReqTypeAttrs(DataServices& oDS, Project& /*oProj*/) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kStructureFile);
    if (!root) return false;
    ShowProgress(ctx_, ResString(20077));
    pugi::xml_node reqTypes = RequiredElement(root, "RequirementTypes");
    for (const pugi::xml_node& el : DescendantsNamed(reqTypes, "RequirementType")) {
      ctx_.copied.About(CopiedKind::kRequirementType, el.attribute("Name").value(),
                        RequiredAttr(el, "ID"));
      const int32_t lTypeID = GetNewReqTypeID(oDS, RequiredAttr(el, "ID"));
      if (lTypeID == -1) return false;
      if (!ConnectTypeAttributes(ctx_, oDS, el, lTypeID)) return false;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("ConnectXMLReqTypeAttrs", "");
    return false;
  }
}

bool InsProjStruInfo::CopyXMLDocTypeInfo(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kStructureFile);
    if (!root) return false;
    pugi::xpath_node docTypes = root.select_node("//DocumentTypes");
    if (!docTypes)
      throw VlError(err::kObjectVariableNotSet, "selectSingleNode",
                    "Object variable not set: element \"DocumentTypes\" is missing");
    for (const pugi::xml_node& el : DescendantsNamed(docTypes.node(), "DocumentType")) {
      const int32_t lDocTypeID = NextKey(oDS, "DocumentType");
      const BaselineDocType d = ReadDocType(el);
      ShowProgress(ctx_, ResFormat(20073, {d.name}));
      ctx_.copied.Copying(CopiedKind::kDocumentType, d.name, d.guid);
      const std::string newGuid = AssignNewGUID(d.guid);
      int32_t lReqTypeID = 0;
      if (!DefaultReqTypeId(ctx_, oDS, d.defaultReqTypeGuid, lReqTypeID)) return false;
      InsertDocType(oDS, lDocTypeID, newGuid, lReqTypeID, d);
      LinkDocTypeToProject(oDS, oProj, lDocTypeID);
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLDocTypeInfo", "");
    return false;
  }
}

}  // namespace vl
