#include "app/verify/table_columns.h"

#include <stdexcept>

namespace vl::verify {

namespace {

#define VL_VERSION_FIELDS \
  "VERSIONNUMBER", "VERSIONLABEL", "VERSIONUSERID", "VERSIONDATETIME", "VERSIONREASON"

TableLayout Object(const char* table, const char* kind, const char* id,
                   std::vector<std::string> fields) {
  fields.insert(fields.begin(), id);
  return {table, kind, {"VLGUID"}, std::move(fields), id, true};
}

TableLayout Link(const char* table, const char* kind, std::vector<std::string> key,
                 std::vector<std::string> fields = {}) {
  return {table, kind, std::move(key), std::move(fields), "", false};
}

std::vector<TableLayout> MakeTables() {
  const std::vector<std::string> history = {"VERSIONLABEL", "VERSIONUSERID", "VERSIONDATETIME",
                                            "VERSIONREASON", "OVERFLOWIND"};
  return {
      Object("vlProjects", "project", "ID",
             {"PREFIX", "DOCUMENTWORDFORMAT", "SECURITYENABLED", "RSDS", "FLAGS", "VERSIONNUMBER",
              "VERSIONLABEL", "VERSIONDATETIME", "VERSIONREASON"}),
      Link("vlProjectHistory", "history", {"ID", "VERSIONNUMBER"}, history),
      Object("vlUserGroups", "groups", "ID",
             {"NAME", "DESCRIPTION", "PROJECTACCESSRIGHTS", "DOCTYPEACCESSRIGHTS",
              "REQTYPEACCESSRIGHTS", "ATTRIBUTEACCESSRIGHTS", "LISTITEMACCESSRIGHTS"}),
      Object("vlUsers", "users", "ID",
             {"LoginName", "Password", "Active", "FullName", "EmailAddress", "GroupID"}),
      Object("vlUserDefinedFields", "attributes", "ID",
             {"LABEL", "RANK", "AUTOSUSPECT", "REQUIRED", "DATATYPE", "DEFAULTVALUE", "FLAGS",
              "DESCRIPTION", "FIELDPROPERTIES"}),
      Object("vlUserDefinedListItems", "attributes", "ITEMID", {"FIELDID", "ITEMRANK", "ITEMTEXT"}),
      Object("vlRequirementTypes", "requirement types", "ID",
             {"NAME", "DESCRIPTION", "REQUIREMENTPREFIX", "REQUIREMENTSTYLE", "REQUIREMENTCOLOR",
              "REQUIREMENTMUSTCONTAIN", "INITIALREQNUMBER", "LASTREQNUMBER",
              "ALLOWEXTERNALREFERENCES"}),
      Link("vlProjectRequirementTypes", "requirement types", {"PROJECTID", "REQUIREMENTTYPEID"}),
      Link("vlRequirementTypeFields", "requirement types",
           {"REQUIREMENTTYPEID", "USERDEFINEDFIELDID"}),
      Object("vlDocumentTypes", "document types", "ID",
             {"NAME", "DESCRIPTION", "FILEEXTENSION", "DEFAULTREQUIREMENTTYPE", "TEMPLATENAME",
              "TEMPLATEDESCRIPTION", "TEMPLATEFILENAME", "TEMPLATEHELPFILE"}),
      Link("vlProjectDocumentTypes", "document types", {"PROJECTID", "DOCUMENTTYPEID"}),
      Object("vlExternalProjects", "external projects", "ID", {"NAME", "DIRECTORY", "FILENAME"}),
      Link("vlProjectExternalProjects", "external projects", {"PROJECTID", "EXTERNALPROJECTID"},
           {"CONNECTATOPEN"}),
      Link("vlDocumentTypeUsers", "rights", {"PROJECTID", "DOCUMENTTYPEID", "USERGROUPID"},
           {"ACCESSRIGHTS"}),
      Link("vlRequirementTypeUsers", "rights", {"PROJECTID", "REQUIREMENTTYPEID", "USERGROUPID"},
           {"ACCESSRIGHTS", "REQTEXTACCESSRIGHTS", "TRACEABILITYACCESSRIGHTS",
            "REQNAMEACCESSRIGHTS"}),
      Link("vlUserDefinedFieldUsers", "rights", {"PROJECTID", "USERGROUPID", "FIELDID"},
           {"ACCESSRIGHTS"}),
      Link("vlUserDefinedListItemUsers", "rights", {"PROJECTID", "USERGROUPID", "LISTITEMID"},
           {"ACCESSRIGHTS"}),
      Object("VlQueryDefinitions", "query definitions", "ID",
             {"PROJECTID", "QUERYNAME", "QUERYDESCRIPTION", "QUERYUSERID", "QUERYDATETIME",
              "QUERYREASON", "QUERYBASETYPE", "QUERYSTRING"}),
      Object("vlPackages", "packages", "ID", {"PROJECTID", "PARENTID", "NAME", "DESCRIPTION"}),
      Link("VLPACKAGEELEMENTS", "package contents",
           {"PACKAGEID", "DOCUMENTID", "VIEWID", "REQUIREMENTID"}),
      Object("vlDocuments", "documents", "ID",
             {"NAME", "DESCRIPTION", "DOCUMENTTYPEID", "ITEMLABEL", "PROTECTSTATE",
              "UNLOCKTOREVISE", "DEFERREDRENUMBER", "DEFERREDRESTYLE", "FILENAME", "FILEEXTENSION",
              "FILEDATETIME", "FILESIZE", "FILEFLAGS", "FILEVERSION", VL_VERSION_FIELDS}),
      Link("vlProjectDocuments", "documents", {"PROJECTID", "DOCUMENTID"}),
      Link("vlDocumentHistory", "history", {"ID", "VERSIONNUMBER"}, history),
      Object("VlViews", "views", "ID",
             {"PROJECTID", "REQUIREMENTTYPEID", "SECONDARYREQTYPEID", "VIEWNAME", "VIEWDESCRIPTION",
              "VIEWTYPE", "VISIBILITY", "PROPERTIES", "QUERYID", "SECONDARYQUERYID", "VIEWUSERID",
              "VIEWDATETIME", "VIEWREASON"}),
      Object("vlRequirements", "requirements", "ID",
             {"REQUIREMENTTYPEID", "TAG", "LASTCHILDTAG", "LONGTAGNUMBER", "REQUIREMENTPREFIX",
              "REQUIREMENTNAME", "REQUIREMENTTEXT", "OVERFLOWIND", "DELETED", "BOOKMARKNAME",
              "BOOKMARKDOCUMENTID", "DOCUMENTPOSITION", "LASTDOCTEXT", VL_VERSION_FIELDS, "FLAGS"}),
      Link("vlProjectRequirements", "requirements", {"PROJECTID", "REQUIREMENTID"}),
      Link("VlOverflowText", "overflow texts", {"OVERFLOWID"}, {"OVERFLOWTEXT"}),
      Link("vlUserDefinedListValues", "attribute values",
           {"REQUIREMENTID", "FIELDID", "LISTITEMID"}),
      Link("vlUserDefinedFieldValues", "attribute values", {"REQUIREMENTID", "FIELDID"},
           {"FIELDVALUE", "OVERFLOWIND", "NUMERICVALUE"}),
      Link("VlOverflowValues", "overflow texts", {"OVERFLOWREQUIREMENTID", "OVERFLOWFIELDID"},
           {"OVERFLOWFIELDVALUE"}),
      Link("vlRequirementHistory", "history", {"ID", "VERSIONNUMBER"}, history),
      Link("VlOverflowHistory", "overflow texts",
           {"OVERFLOWTYPE", "OVERFLOWID", "OVERFLOWVERSIONNUMBER"}, {"OVERFLOWVERSIONREASON"}),
      Link("VlToRelationships", "traces",
           {"REQUIREMENTID", "EXTERNALPROJECTID", "TOID", "EXTERNALPROJECTTOID", "TYPE"},
           {"STATE", "VERSIONNUMBER"}),
      Link("VLDISCUSSIONS", "discussions", {"ID"},
           {"ROOTID", "PARENTID", "SUBJECT", "MESSAGE", "AUTHORID", "SUBMITDATETIME", "PRIORITY",
            "STATUS", "HASRESPONSES", "RESTRICTED"}),
      Link("VLPROJECTDISCUSSIONS", "discussions", {"PROJECTID", "DISCUSSIONID"}),
      Link("VLDISCUSSIONUSERS", "discussions", {"DISCUSSIONID", "USERID"}),
      Link("VLDISCUSSIONGROUPS", "discussions", {"DISCUSSIONID", "GROUPID"}),
      Link("VLDISCUSSIONSREAD", "discussions", {"DISCUSSIONID", "USERID"}),
      Link("VLDISCUSSIONREQUIREMENTS", "discussions", {"DISCUSSIONID", "REQUIREMENTID"}),
  };
}

#undef VL_VERSION_FIELDS

}  // namespace

const std::vector<TableLayout>& VerifiedTables() {
  static const std::vector<TableLayout> tables = MakeTables();
  return tables;
}

const TableLayout& LayoutOf(const std::string& table) {
  for (const TableLayout& layout : VerifiedTables())
    if (layout.table == table) return layout;
  throw std::out_of_range("no verified table " + table);
}

std::vector<std::string> ColumnsOf(const TableLayout& layout) {
  std::vector<std::string> columns = layout.key;
  columns.insert(columns.end(), layout.fields.begin(), layout.fields.end());
  return columns;
}

}  // namespace vl::verify
