#include "host/db/project_schema.h"

#include <cctype>

#include "host/db/sql_rewrite.h"

namespace vl {

namespace {

struct TableDef {
  const char* name;
  const char* columns;
};

// The five columns of an object's current version and of a history row.
#define VL_VERSION_COLUMNS                                                         \
  "VERSIONNUMBER TEXT, VERSIONLABEL TEXT, VERSIONUSERID INTEGER, VERSIONDATETIME " \
  "TIMESTAMP, VERSIONREASON TEXT"
#define VL_HISTORY_COLUMNS "ID INTEGER, " VL_VERSION_COLUMNS ", OVERFLOWIND INTEGER"

const TableDef kTables[] = {
    {"VlKeys", "KeyClass TEXT NOT NULL PRIMARY KEY, LastKey INTEGER NOT NULL"},
    {"vlProjects",
     "ID INTEGER PRIMARY KEY, VLGUID TEXT, NAME TEXT, DESCRIPTION TEXT, PREFIX TEXT, "
     "DOCUMENTWORDFORMAT INTEGER, SECURITYENABLED INTEGER, RSDS TEXT, FLAGS INTEGER, "
     "VERSIONNUMBER TEXT, VERSIONLABEL TEXT, VERSIONDATETIME TIMESTAMP, VERSIONREASON TEXT"},
    {"vlProjectHistory", VL_HISTORY_COLUMNS},
    {"vlUserGroups",
     "ID INTEGER PRIMARY KEY, VLGUID TEXT, NAME TEXT, DESCRIPTION TEXT, "
     "PROJECTACCESSRIGHTS INTEGER, DOCTYPEACCESSRIGHTS INTEGER, REQTYPEACCESSRIGHTS INTEGER, "
     "ATTRIBUTEACCESSRIGHTS INTEGER, LISTITEMACCESSRIGHTS INTEGER"},
    {"vlUsers",
     "ID INTEGER PRIMARY KEY, VLGUID TEXT, LoginName TEXT, Password TEXT, Active INTEGER, "
     "FullName TEXT, EmailAddress TEXT, GroupID INTEGER"},
    {"vlUserDefinedFields",
     "ID INTEGER PRIMARY KEY, VLGUID TEXT, LABEL TEXT, RANK INTEGER, AUTOSUSPECT INTEGER, "
     "REQUIRED INTEGER, DATATYPE INTEGER, DEFAULTVALUE TEXT, FLAGS INTEGER, DESCRIPTION TEXT, "
     "FIELDPROPERTIES TEXT"},
    {"vlUserDefinedListItems",
     "ITEMID INTEGER PRIMARY KEY, FIELDID INTEGER, ITEMRANK INTEGER, ITEMTEXT TEXT, "
     "VLGUID TEXT"},
    {"vlRequirementTypes",
     "ID INTEGER PRIMARY KEY, VLGUID TEXT, NAME TEXT, DESCRIPTION TEXT, "
     "REQUIREMENTPREFIX TEXT, REQUIREMENTSTYLE INTEGER, REQUIREMENTCOLOR INTEGER, "
     "REQUIREMENTMUSTCONTAIN TEXT, INITIALREQNUMBER INTEGER, LASTREQNUMBER INTEGER, "
     "ALLOWEXTERNALREFERENCES INTEGER"},
    {"vlProjectRequirementTypes", "PROJECTID INTEGER, REQUIREMENTTYPEID INTEGER"},
    {"vlRequirementTypeFields", "REQUIREMENTTYPEID INTEGER, USERDEFINEDFIELDID INTEGER"},
    {"vlDocumentTypes",
     "ID INTEGER PRIMARY KEY, VLGUID TEXT, NAME TEXT, DESCRIPTION TEXT, FILEEXTENSION TEXT, "
     "DEFAULTREQUIREMENTTYPE INTEGER, TEMPLATENAME TEXT, TEMPLATEDESCRIPTION TEXT, "
     "TEMPLATEFILENAME TEXT, TEMPLATEHELPFILE TEXT"},
    {"vlProjectDocumentTypes", "PROJECTID INTEGER, DOCUMENTTYPEID INTEGER"},
    {"VlOverflowText", "OVERFLOWID INTEGER, OVERFLOWTEXT TEXT"},
    {"VlOverflowValues",
     "OVERFLOWREQUIREMENTID INTEGER, OVERFLOWFIELDID INTEGER, OVERFLOWFIELDVALUE TEXT"},
    {"VlOverflowHistory",
     "OVERFLOWTYPE INTEGER, OVERFLOWID INTEGER, OVERFLOWVERSIONNUMBER TEXT, "
     "OVERFLOWVERSIONREASON TEXT"},
    {"vlPackages",
     "ID INTEGER PRIMARY KEY, PROJECTID INTEGER, PARENTID INTEGER, NAME TEXT, "
     "DESCRIPTION TEXT, VLGUID TEXT"},
    {"VLPACKAGEELEMENTS",
     "PACKAGEID INTEGER, DOCUMENTID INTEGER, VIEWID INTEGER, REQUIREMENTID INTEGER"},
    {"vlDocuments",
     "ID INTEGER PRIMARY KEY, VLGUID TEXT, NAME TEXT, DESCRIPTION TEXT, DOCUMENTTYPEID "
     "INTEGER, ITEMLABEL INTEGER, PROTECTSTATE TEXT, UNLOCKTOREVISE INTEGER, "
     "DEFERREDRENUMBER TEXT, DEFERREDRESTYLE TEXT, FILENAME TEXT, FILEEXTENSION TEXT, "
     "FILEDATETIME TIMESTAMP, FILESIZE INTEGER, FILEFLAGS TEXT, FILEVERSION "
     "INTEGER, " VL_VERSION_COLUMNS},
    {"vlProjectDocuments", "PROJECTID INTEGER, DOCUMENTID INTEGER"},
    {"vlDocumentHistory", VL_HISTORY_COLUMNS},
    {"vlRequirements",
     "ID INTEGER PRIMARY KEY, REQUIREMENTTYPEID INTEGER, TAG INTEGER, LASTCHILDTAG INTEGER, "
     "LONGTAGNUMBER TEXT, REQUIREMENTPREFIX TEXT, REQUIREMENTNAME TEXT, REQUIREMENTTEXT TEXT, "
     "OVERFLOWIND INTEGER, DELETED INTEGER, BOOKMARKNAME TEXT, BOOKMARKDOCUMENTID INTEGER, "
     "DOCUMENTPOSITION INTEGER, LASTDOCTEXT INTEGER, " VL_VERSION_COLUMNS
     ", FLAGS INTEGER, VLGUID TEXT"},
    {"vlProjectRequirements", "PROJECTID INTEGER, REQUIREMENTID INTEGER"},
    {"vlRequirementHistory", VL_HISTORY_COLUMNS},
    {"vlUserDefinedListValues", "REQUIREMENTID INTEGER, FIELDID INTEGER, LISTITEMID INTEGER"},
    {"vlUserDefinedFieldValues",
     "REQUIREMENTID INTEGER, FIELDID INTEGER, FIELDVALUE TEXT, OVERFLOWIND INTEGER, "
     "NUMERICVALUE DOUBLE PRECISION"},
    {"VlToRelationships",
     "REQUIREMENTID INTEGER, EXTERNALPROJECTID INTEGER, TOID INTEGER, EXTERNALPROJECTTOID "
     "INTEGER, TYPE INTEGER, STATE INTEGER, VERSIONNUMBER TEXT"},
    {"VlQueryDefinitions",
     "ID INTEGER PRIMARY KEY, PROJECTID INTEGER, QUERYNAME TEXT, QUERYDESCRIPTION TEXT, "
     "QUERYUSERID INTEGER, QUERYDATETIME TIMESTAMP, QUERYREASON TEXT, QUERYBASETYPE INTEGER, "
     "QUERYSTRING TEXT, VLGUID TEXT"},
    {"VlViews",
     "ID INTEGER PRIMARY KEY, PROJECTID INTEGER, REQUIREMENTTYPEID INTEGER, "
     "SECONDARYREQTYPEID INTEGER, VIEWNAME TEXT, VIEWDESCRIPTION TEXT, VIEWTYPE INTEGER, "
     "VISIBILITY INTEGER, PROPERTIES TEXT, QUERYID INTEGER, SECONDARYQUERYID INTEGER, "
     "VIEWUSERID INTEGER, VIEWDATETIME TIMESTAMP, VIEWREASON TEXT, VLGUID TEXT"},
    {"VLDISCUSSIONS",
     "ID INTEGER PRIMARY KEY, ROOTID INTEGER, PARENTID INTEGER, SUBJECT TEXT, MESSAGE TEXT, "
     "AUTHORID INTEGER, SUBMITDATETIME TIMESTAMP, PRIORITY INTEGER, STATUS INTEGER, "
     "HASRESPONSES INTEGER, RESTRICTED INTEGER"},
    {"VLPROJECTDISCUSSIONS", "PROJECTID INTEGER, DISCUSSIONID INTEGER"},
    {"VLDISCUSSIONUSERS", "DISCUSSIONID INTEGER, USERID INTEGER"},
    {"VLDISCUSSIONGROUPS", "DISCUSSIONID INTEGER, GROUPID INTEGER"},
    {"VLDISCUSSIONSREAD", "DISCUSSIONID INTEGER, USERID INTEGER"},
    {"VLDISCUSSIONREQUIREMENTS", "DISCUSSIONID INTEGER, REQUIREMENTID INTEGER"},
    {"vlDocumentTypeUsers",
     "PROJECTID INTEGER, DOCUMENTTYPEID INTEGER, USERGROUPID INTEGER, ACCESSRIGHTS INTEGER"},
    {"vlRequirementTypeUsers",
     "PROJECTID INTEGER, REQUIREMENTTYPEID INTEGER, USERGROUPID INTEGER, ACCESSRIGHTS "
     "INTEGER, REQTEXTACCESSRIGHTS INTEGER, TRACEABILITYACCESSRIGHTS INTEGER, "
     "REQNAMEACCESSRIGHTS INTEGER"},
    {"vlUserDefinedFieldUsers",
     "PROJECTID INTEGER, USERGROUPID INTEGER, FIELDID INTEGER, ACCESSRIGHTS INTEGER"},
    {"vlUserDefinedListItemUsers",
     "PROJECTID INTEGER, USERGROUPID INTEGER, LISTITEMID INTEGER, ACCESSRIGHTS INTEGER"},
    {"vlExternalProjects",
     "ID INTEGER PRIMARY KEY, NAME TEXT, VLGUID TEXT, PREFIX TEXT, DIRECTORY TEXT, "
     "FILENAME TEXT"},
    {"vlProjectExternalProjects",
     "PROJECTID INTEGER, EXTERNALPROJECTID INTEGER, CONNECTATOPEN INTEGER"},
};

#undef VL_HISTORY_COLUMNS
#undef VL_VERSION_COLUMNS

struct IndexDef {
  const char* table;
  const char* columns;
};

// Every VLGUID column (objects are found by GUID throughout a run), and
// the columns rows are looked up or joined by.
const IndexDef kIndexes[] = {
    {"vlProjects", "VLGUID"},
    {"vlProjectHistory", "ID"},
    {"vlUserGroups", "VLGUID"},
    {"vlUserGroups", "NAME"},
    {"vlUsers", "VLGUID"},
    {"vlUsers", "LoginName"},
    {"vlUserDefinedFields", "VLGUID"},
    {"vlUserDefinedListItems", "VLGUID"},
    {"vlUserDefinedListItems", "FIELDID"},
    {"vlRequirementTypes", "VLGUID"},
    {"vlDocumentTypes", "VLGUID"},
    {"vlPackages", "VLGUID"},
    {"vlPackages", "PROJECTID, PARENTID"},
    {"VLPACKAGEELEMENTS", "PACKAGEID"},
    {"vlDocuments", "VLGUID"},
    {"vlDocumentHistory", "ID"},
    {"vlRequirements", "VLGUID"},
    {"vlRequirements", "REQUIREMENTPREFIX, TAG"},
    {"vlRequirementHistory", "ID"},
    {"vlUserDefinedListValues", "FIELDID"},
    {"vlUserDefinedListValues", "REQUIREMENTID"},
    {"vlUserDefinedFieldValues", "FIELDID"},
    {"vlUserDefinedFieldValues", "REQUIREMENTID"},
    {"VlToRelationships", "REQUIREMENTID"},
    {"VlQueryDefinitions", "VLGUID"},
    {"VlViews", "VLGUID"},
    {"vlExternalProjects", "VLGUID"},
};

std::string IndexName(const IndexDef& ix) {
  std::string name = std::string("IX_") + ix.table + "_";
  for (const char* c = ix.columns; *c; ++c)
    if (std::isalnum(static_cast<unsigned char>(*c)))
      name += *c;
    else if (*c == ',')
      name += '_';
  return name;
}

}  // namespace

const std::vector<std::string>& ProjectTableNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const TableDef& t : kTables) v.emplace_back(t.name);
    return v;
  }();
  return names;
}

const std::vector<std::string>& ProjectKeyClasses() {
  static const std::vector<std::string> classes = {"Project",
                                                   "UserGroup",
                                                   "User",
                                                   "UserDefinedField",
                                                   "UserDefinedListItem",
                                                   "RequirementType",
                                                   "DocumentType",
                                                   "Package",
                                                   "Document",
                                                   "Requirement",
                                                   "View",
                                                   "Query",
                                                   "Discussion"};
  return classes;
}

std::vector<std::string> ProjectSchemaStatements() {
  std::vector<std::string> out;
  for (const TableDef& t : kTables)
    out.push_back(std::string("CREATE TABLE ") + t.name + " (" + t.columns + ")");
  for (const IndexDef& ix : kIndexes)
    out.push_back("CREATE INDEX " + IndexName(ix) + " ON " + ix.table + " (" + ix.columns + ")");
  return out;
}

void CreateProjectSchema(DataServices& ds) {
  for (const std::string& statement : ProjectSchemaStatements()) ds.ExecuteDDL(statement);
}

std::string DefaultProjectPrefix(const std::string& name) {
  std::string prefix;
  for (char c : name) {
    if (prefix.size() == 8) break;
    if (c >= 'a' && c <= 'z')
      prefix += static_cast<char>(c - 'a' + 'A');
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
      prefix += c;
  }
  return prefix.empty() ? "PRJ" : prefix;
}

ProjectStartingIDs InsertStartingRows(DataServices& ds, const ProjectStartingValues& v) {
  for (const std::string& cls : ProjectKeyClasses())
    ds.ExecuteSQL("INSERT INTO VlKeys (KeyClass, LastKey) VALUES (" + QuoteSqlText(cls) + ", 0)");
  auto key = [&ds](const char* cls) { return ds.GetNextKey("VlKeys", "KeyClass", cls, "LastKey"); };
  ProjectStartingIDs ids;
  ids.project_id = key("Project");
  ids.admin_group_id = key("UserGroup");
  ids.admin_user_id = key("User");
  ids.root_package_id = key("Package");

  const std::string pid = std::to_string(ids.project_id);
  const std::string created = TimestampLiteral(v.created);
  const std::string reason = QuoteSqlText("Project created.");
  ds.ExecuteSQL(
      "INSERT INTO vlProjects (ID, VLGUID, NAME, DESCRIPTION, PREFIX, DOCUMENTWORDFORMAT, "
      "SECURITYENABLED, RSDS, FLAGS, VERSIONNUMBER, VERSIONLABEL, VERSIONDATETIME, "
      "VERSIONREASON) VALUES (" +
      pid + ", " + QuoteSqlText(v.guid) + ", " + QuoteSqlText(v.name) + ", " +
      QuoteSqlText(v.description) + ", " + QuoteSqlText(v.prefix) +
      ", 0, 0, NULL, 0, '1.000', '', " + created + ", " + reason + ")");
  ds.ExecuteSQL(
      "INSERT INTO vlPackages (ID, PROJECTID, PARENTID, NAME, DESCRIPTION, VLGUID) "
      "VALUES (" +
      std::to_string(ids.root_package_id) + ", " + pid + ", 0, " + QuoteSqlText(v.name) + ", '', " +
      QuoteSqlText(v.root_package_guid) + ")");
  const std::string all = std::to_string(kAllRights);
  ds.ExecuteSQL(
      "INSERT INTO vlUserGroups (ID, VLGUID, NAME, DESCRIPTION, PROJECTACCESSRIGHTS, "
      "DOCTYPEACCESSRIGHTS, REQTYPEACCESSRIGHTS, ATTRIBUTEACCESSRIGHTS, LISTITEMACCESSRIGHTS) "
      "VALUES (" +
      std::to_string(ids.admin_group_id) + ", " + QuoteSqlText(v.admin_group_guid) + ", " +
      QuoteSqlText(kAdminGroupName) + ", " + QuoteSqlText("Project administrators") + ", " + all +
      ", " + all + ", " + all + ", " + all + ", " + all + ")");
  ds.ExecuteSQL(
      "INSERT INTO vlUsers (ID, VLGUID, LoginName, Password, Active, FullName, EmailAddress, "
      "GroupID) VALUES (" +
      std::to_string(ids.admin_user_id) + ", " + QuoteSqlText(v.admin_user_guid) + ", " +
      QuoteSqlText(kAdminLogin) + ", '', 1, " + QuoteSqlText(kAdminFullName) + ", '', " +
      std::to_string(ids.admin_group_id) + ")");
  ds.ExecuteSQL(
      "INSERT INTO vlProjectHistory (ID, VERSIONNUMBER, VERSIONLABEL, VERSIONUSERID, "
      "VERSIONDATETIME, VERSIONREASON, OVERFLOWIND) VALUES (" +
      pid + ", '1.000', '', " + std::to_string(ids.admin_user_id) + ", " + created + ", " + reason +
      ", 0)");
  return ids;
}

}  // namespace vl
