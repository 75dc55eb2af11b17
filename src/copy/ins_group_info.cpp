#include "copy/ins_group_info.h"

#include <cstdint>
#include <pugixml.hpp>

#include "copy/db_conventions.h"
#include "copy/xml_elements.h"
#include "host/text/char_codes.h"
#include "host/text/messages.h"
#include "host/xml/xml_encoding.h"

namespace vl {
namespace {

constexpr const char* kUserGroupsFile = "ProjectUserGroups.XML";
constexpr const char* kGroupProc = "CopyXMLGroupInfo";
// The trailing blank belongs to the name under which user errors have
// always been reported.
constexpr const char* kUserProc = "CopyXMLUserInfo ";
constexpr long kResPasswordCodesRefused = 20059;

// The group of that name, or nullptr; a failing lookup counts as none.
std::shared_ptr<Group> FindGroupOrNone(Project& oProj, const std::string& name) {
  try {
    return oProj.FindGroup(name);
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::shared_ptr<User> FindUserOrNone(Project& oProj, const std::string& login) {
  try {
    return oProj.FindUser(login);
  } catch (const std::exception&) {
    return nullptr;
  }
}

struct BaselineGroup {
  std::string name, description, guid;
  int32_t projectRights = 0, docTypeRights = 0, reqTypeRights = 0, attributeRights = 0,
          listItemRights = 0;
};

BaselineGroup ReadGroup(const pugi::xml_node& el) {
  BaselineGroup g;
  g.name = RequiredAttr(el, "NAME");
  g.description = RequiredAttr(el, "DESCRIPTION");
  g.projectRights = RequiredLong(el, "ProjectAccessRights");
  g.docTypeRights = RequiredLong(el, "DocTypeAccessRights");
  g.reqTypeRights = RequiredLong(el, "ReqTypeAccessRights");
  g.attributeRights = RequiredLong(el, "AttributeAccessRights");
  g.listItemRights = RequiredLong(el, "ListItemAccessRights");
  g.guid = RequiredAttr(el, "ID");
  return g;
}

// A group the new project already has takes the baseline's description
// and rights, so that the copy grants what the baseline granted.
void OverwriteGroup(Group& group, const BaselineGroup& g) {
  group.SetGroupDescription(g.description);
  group.SetProjectAccessRights(g.projectRights);
  group.SetDocTypeAccessRights(g.docTypeRights);
  group.SetReqTypeAccessRights(g.reqTypeRights);
  group.SetAttributeAccessRights(g.attributeRights);
  group.SetListItemAccessRights(g.listItemRights);
}

void CopyOneGroup(RunContext& ctx, const pugi::xml_node& el, Project& oProj) {
  const BaselineGroup g = ReadGroup(el);
  ctx.messages().AddTextResultsLine(ctx.messages().ResFormat(20055, {g.name}));
  ctx.copied.Copying(CopiedKind::kGroup, g.name, g.guid);
  std::shared_ptr<Group> group = FindGroupOrNone(oProj, g.name);
  if (!group) {
    group = oProj.GetGroups().AddGroup(g.name, g.projectRights, g.description, g.projectRights,
                                       g.docTypeRights, g.reqTypeRights, g.attributeRights,
                                       g.listItemRights);
    if (!group)
      throw VlError(err::kObjectVariableNotSet, "AddGroup",
                    "The group \"" + g.name + "\" was not created");
    // Two baseline groups with one GUID: the second one stops the copier.
    if (!ctx.AddGUIDTranslation(g.guid, group->GetGroupGUID()))
      throw VlError(err::kKeyAlreadyExists, "Dictionary",
                    "The group GUID " + g.guid + " is already translated");
    return;
  }
  OverwriteGroup(*group, g);
  if (!ctx.AddGUIDTranslation(g.guid, group->GetGroupGUID()))
    ctx.messages().ShowInfoMessage(ctx.messages().ResString(20056));
}

struct BaselineUser {
  std::string login, password, fullName, email, groupName, guid;
  bool active = false;
};

BaselineUser ReadUser(const pugi::xml_node& el) {
  BaselineUser u;
  u.login = RequiredAttr(el, "LoginName");
  u.password = RequiredAttr(el, "Password");
  u.active = RequiredBool(el, "Active");
  u.fullName = RequiredAttr(el, "FullName");
  u.email = RequiredAttr(el, "EmailAddress");
  u.groupName = RequiredAttr(el, "GroupName");
  u.guid = RequiredAttr(el, "ID");
  return u;
}

void InsertUser(RunContext& ctx, DataServices& oDS, const BaselineUser& u,
                const std::string& password, int32_t lGroupID) {
  const int32_t lID = NextKey(oDS, "User");
  const std::string newGuid = ctx.AssignNewGUID(u.guid);
  oDS.ExecuteSQL("INSERT INTO " + Tbl("vlUsers") +
                 " (ID,VLGUID,LoginName,Password,Active,FullName,EmailAddress,GroupID) VALUES (" +
                 SqlLong(lID) + "," + SqlText(newGuid) + "," + SqlText(u.login) + "," +
                 SqlText(password) + "," + SqlBool(u.active) + "," + SqlText(u.fullName) + "," +
                 SqlText(u.email) + "," + SqlLong(lGroupID) + ")");
}

void UpdateUser(RunContext& ctx, DataServices& oDS, const BaselineUser& u,
                const std::string& password, int32_t lGroupID, const User& existing) {
  oDS.ExecuteSQL("UPDATE " + Tbl("vlUsers") + " SET Password=" + SqlText(password) +
                 ",Active=" + SqlBool(u.active) + ",FullName=" + SqlText(u.fullName) +
                 ",EmailAddress=" + SqlText(u.email) + ",GroupID=" + SqlLong(lGroupID) +
                 " WHERE LoginName  = " + SqlText(u.login) +
                 " AND GroupID  = " + SqlLong(existing.GetUserGroupID()));
  if (!ctx.AddGUIDTranslation(u.guid, existing.GetUserGUID()))
    ctx.messages().ShowInfoMessage(ctx.messages().ResString(20058));
}

void CopyOneUser(RunContext& ctx, const pugi::xml_node& el, DataServices& oDS, Project& oProj) {
  const BaselineUser u = ReadUser(el);
  ctx.messages().AddTextResultsLine(ctx.messages().ResFormat(20057, {u.login}) + u.login);
  ctx.copied.Copying(CopiedKind::kUser, u.login, u.guid);
  std::shared_ptr<Group> group = oProj.FindGroup(u.groupName);
  if (!group)
    throw VlError(err::kObjectVariableNotSet, "FindGroup",
                  "The group \"" + u.groupName + "\" of the user \"" + u.login +
                      "\" does not exist in the new project");
  const int32_t lGroupID = group->GetGroupID();
  // Codes that stand for no character are left out: the user learns that
  // the password is not the one the baseline held.
  size_t refused = 0;
  const std::string password = InsGroupInfo::CongealPWD(u.password, &refused);
  if (refused > 0)
    ctx.messages().AddTextResultsLine(
        ctx.messages().ResFormat(kResPasswordCodesRefused, {u.login, std::to_string(refused)}));
  std::shared_ptr<User> existing = FindUserOrNone(oProj, u.login);
  if (existing)
    UpdateUser(ctx, oDS, u, password, lGroupID, *existing);
  else
    InsertUser(ctx, oDS, u, password, lGroupID);
}

}  // namespace

std::string InsGroupInfo::CongealPWD(const std::string& sPassword, size_t* refused) {
  const CharCodesText decoded = DecodeCharCodes(sPassword);
  if (refused) *refused = decoded.refused;
  return Windows1252ToUtf8(decoded.bytes);
}

bool InsGroupInfo::CopyXMLGroupInfo(DataServices& /*oDS*/, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kUserGroupsFile);
    if (!root) return false;
    for (const pugi::xml_node& el : DescendantsNamed(root, "Group")) {
      CopyOneGroup(ctx_, el, oProj);
      Breathe();
    }
    oProj.CommitUsersAndGroups();
    return true;
  } catch (const std::exception&) {
    ReportProcError(kGroupProc, "");
    return false;
  }
}

bool InsGroupInfo::CopyXMLUserInfo(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kUserGroupsFile);
    if (!root) return false;
    for (const pugi::xml_node& el : DescendantsNamed(root, "User")) {
      CopyOneUser(ctx_, el, oDS, oProj);
      Breathe();
    }
    oProj.CommitUsersAndGroups();
    return true;
  } catch (const std::exception&) {
    ReportProcError(kUserProc, "");
    return false;
  }
}

}  // namespace vl
