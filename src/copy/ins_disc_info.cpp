#include "copy/ins_disc_info.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

constexpr const char* kDiscussionsFile = "Discussions.XML";
constexpr long kResDiscussion = 20050;

// Values a discussion gets when its element says nothing usable.
constexpr int32_t kDefaultStatus = 1;
constexpr int32_t kDefaultPriority = 2;
constexpr int32_t kDefaultRestricted = 0;

// The child element's text as a whole number; `fallback` when the child
// is missing or its text does not convert.
int32_t LongOr(const pugi::xml_node& node, const char* name, int32_t fallback) {
  pugi::xml_node child = node.child(name);
  if (!child) return fallback;
  try {
    return CLng(NodeText(child));
  } catch (const VlError&) {
    return fallback;
  }
}

// "INSERT INTO " + table + columns + ") VALUES (" + the literals, each
// but the last followed by ", " and a line break + ")". The table and
// column texts carry the blanks the statements have always had.
std::string DiscInsertSQL(const char* table, const char* columns,
                          const std::vector<std::string>& values) {
  std::string sql = std::string("INSERT INTO ") + table + columns + ") VALUES (";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) sql += ", \r\n";
    sql += values[i];
  }
  return sql + ")";
}

// One row (discussion ID, looked-up ID) per item of the discussion's list
// element; false at the first look-up that fails.
bool AddMemberRows(int32_t lDiscID, const pugi::xml_node& oDisc, const char* listName,
                   const char* itemName, const char* idName, const char* table, const char* columns,
                   const std::function<int32_t(DataServices&, const std::string&)>& lookUp,
                   DataServices& oDS) {
  pugi::xml_node list = oDisc.child(listName);
  if (!list) return true;
  for (const pugi::xml_node& item : DescendantsNamed(list, itemName)) {
    const int32_t lID = lookUp(oDS, ElementText(item, idName));
    if (lID == -1) return false;
    oDS.ExecuteSQL(DiscInsertSQL(table, columns, {SqlLong(lDiscID), SqlLong(lID)}));
  }
  return true;
}

pugi::xml_node NextDisc(pugi::xml_node n) { return n ? n.next_sibling("Disc") : pugi::xml_node(); }

}  // namespace

bool InsDiscInfo::CopyXMLDiscInfo(DataServices& oDS, Project& oProj) {
  try {
    if (!BaselineDescriptor().CreateDisc()) return true;
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kDiscussionsFile);
    if (!root) return false;
    // A baseline without discussions may leave the list out altogether.
    pugi::xml_node discs = root.child("Discs");
    if (!discs) return true;
    return AddXMLDiscs(0, 0, discs, oDS, oProj);
  } catch (const std::exception&) {
    ReportProcError("CopyXMLDiscInfo", "");
    return false;
  }
}

bool InsDiscInfo::AddXMLDiscs(int32_t lRootID, int32_t lParentID, const pugi::xml_node& oDiscs,
                              DataServices& oDS, Project& oProj) {
  try {
    // Each level is the next "Disc" still to copy of one list, with the
    // IDs its discussions answer. A discussion's replies are a level above
    // its own, so they are all done before its next sibling.
    struct Level {
      pugi::xml_node next;
      int32_t rootID;
      int32_t parentID;
    };
    std::vector<Level> pending{{oDiscs.child("Disc"), lRootID, lParentID}};
    while (!pending.empty()) {
      if (!pending.back().next) {
        pending.pop_back();
        continue;
      }
      const Level level = pending.back();
      pending.back().next = NextDisc(level.next);

      const int32_t lDiscID = NextKey(oDS, "Discussion");
      const int32_t lThreadID = level.parentID == 0 ? lDiscID : level.rootID;
      if (!AddOneDisc(lDiscID, lThreadID, level.parentID, level.next, oDS, oProj)) return false;
      if (pugi::xml_node replies = level.next.child("Replies"))
        pending.push_back({replies.child("Disc"), lThreadID, lDiscID});
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("AddXMLDiscs", "");
    return false;
  }
}

bool InsDiscInfo::AddOneDisc(int32_t lDiscID, int32_t lRootID, int32_t lParentID,
                             const pugi::xml_node& oDisc, DataServices& oDS, Project& oProj) {
  const std::string sSubject = ElementText(oDisc, "Subj");
  const std::string sMessage = ElementText(oDisc, "Desc");
  const std::string sAuthor = ElementText(oDisc, "AID");
  const std::optional<VlDate> submitted = ParseDate(ElementText(oDisc, "Date"));
  const int32_t lStatus = LongOr(oDisc, "Status", kDefaultStatus);
  const int32_t lPriority = LongOr(oDisc, "Priority", kDefaultPriority);
  const int32_t lRestricted = LongOr(oDisc, "Restrict", kDefaultRestricted);

  AddTextResultsLine(ResFormat(kResDiscussion, {sSubject}));
  ctx_.copied.Copying(CopiedKind::kDiscussion, sSubject, "");
  Breathe();
  // An empty "Replies" still marks the discussion as answered.
  const bool bHasResponses = static_cast<bool>(oDisc.child("Replies"));

  const int32_t lAuthorID = GetNewUserID(oDS, sAuthor);
  if (lAuthorID == -1) return false;

  oDS.ExecuteSQL(DiscInsertSQL(
      "VLDISCUSSIONS ",
      "(ID, ROOTID, PARENTID, SUBJECT, MESSAGE, AUTHORID, SUBMITDATETIME, "
      "PRIORITY, STATUS, HASRESPONSES, RESTRICTED ",
      {SqlLong(lDiscID), SqlLong(lRootID), SqlLong(lParentID), SqlText(sSubject), SqlText(sMessage),
       SqlLong(lAuthorID), SqlDate(submitted ? *submitted : Now()), SqlLong(lPriority),
       SqlLong(lStatus), SqlBool(bHasResponses), SqlLong(lRestricted)}));
  oDS.ExecuteSQL(DiscInsertSQL("VLPROJECTDISCUSSIONS ", "(PROJECTID, DISCUSSIONID ",
                               {SqlLong(oProj.GetProjectID()), SqlLong(lDiscID)}));

  return AddXMLDiscUsers(lDiscID, oDisc, oDS, oProj) &&
         AddXMLDiscGroups(lDiscID, oDisc, oDS, oProj) &&
         AddXMLDiscReadUsers(lDiscID, oDisc, oDS, oProj) &&
         AddXMLDiscReqs(lDiscID, oDisc, oDS, oProj);
}

bool InsDiscInfo::AddXMLDiscUsers(int32_t lDiscID, const pugi::xml_node& oDisc, DataServices& oDS,
                                  Project& /*oProj*/) {
  try {
    return AddMemberRows(lDiscID, oDisc, "DUsers", "DUsr", "DUID", "VLDISCUSSIONUSERS ",
                         "(DISCUSSIONID, USERID", [this](DataServices& ds, const std::string& g) { return GetNewUserID(ds, g); }, oDS);
  } catch (const std::exception&) {
    ReportProcError("AddXMLDiscUsers", "");
    return false;
  }
}

bool InsDiscInfo::AddXMLDiscGroups(int32_t lDiscID, const pugi::xml_node& oDisc, DataServices& oDS,
                                   Project& /*oProj*/) {
  try {
    return AddMemberRows(lDiscID, oDisc, "DGroups", "DGroup", "DGID", "VLDISCUSSIONGROUPS ",
                         "(DISCUSSIONID, GROUPID", [this](DataServices& ds, const std::string& g) { return GetNewGroupID(ds, g); }, oDS);
  } catch (const std::exception&) {
    ReportProcError("AddXMLDiscGroups", "");
    return false;
  }
}

bool InsDiscInfo::AddXMLDiscReadUsers(int32_t lDiscID, const pugi::xml_node& oDisc,
                                      DataServices& oDS, Project& /*oProj*/) {
  try {
    // Every user of a discussion counts as having read it.
    return AddMemberRows(lDiscID, oDisc, "DUsers", "DUsr", "DUID", "VLDISCUSSIONSREAD ",
                         "(DISCUSSIONID, USERID", [this](DataServices& ds, const std::string& g) { return GetNewUserID(ds, g); }, oDS);
  } catch (const std::exception&) {
    ReportProcError("AddXMLDiscReadUsers", "");
    return false;
  }
}

bool InsDiscInfo::AddXMLDiscReqs(int32_t lDiscID, const pugi::xml_node& oDisc, DataServices& oDS,
                                 Project& /*oProj*/) {
  try {
    return AddMemberRows(lDiscID, oDisc, "DiscReqs", "DiscReq", "GUID", "VLDISCUSSIONREQUIREMENTS ",
                         "(DISCUSSIONID, REQUIREMENTID ", [this](DataServices& ds, const std::string& g) { return GetNewReqID(ds, g); }, oDS);
  } catch (const std::exception&) {
    ReportProcError("AddXMLDiscReqs", "");
    return false;
  }
}

}  // namespace vl
