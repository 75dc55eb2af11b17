// ProjectUserGroups.XML as the group and user copiers read it. A new
// project is born with the group "Administrators" and its user "admin": a
// baseline group or user of that name updates them instead of being added.
#include <unordered_set>

#include "baseline/check/check_steps.h"
#include "host/db/project_schema.h"
#include "host/text/char_codes.h"
#include "host/text/user_text.h"
#include "host/xml/named_elements.h"

namespace vl {

namespace {

constexpr const char* kUserGroupsFile = "ProjectUserGroups.XML";

void CheckGroup(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& group,
                std::unordered_set<std::string>& names) {
  const std::string name = run.RequireAttr(file, group, "NAME");
  run.RequireAttr(file, group, "DESCRIPTION");
  for (const char* rights : {"ProjectAccessRights", "DocTypeAccessRights", "ReqTypeAccessRights",
                             "AttributeAccessRights", "ListItemAccessRights"})
    run.RequireLong(file, group, rights);
  const std::string guid = run.RequireAttr(file, group, "ID");
  const bool recorded = run.guids().Record(guid, GuidKind::kGroup);
  if (names.insert(name).second) {
    if (!recorded)
      run.Report(CheckSeverity::kStopsRun, file, group,
                 "the GUID " + guid + " is already used by an earlier object of the baseline",
                 "ID");
  } else if (!recorded) {
    run.Report(CheckSeverity::kNote, file, group,
               "the group \"" + name + "\" exists already and keeps its GUID; a message says so",
               "ID");
  }
}

void CheckUser(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& user,
               const std::unordered_set<std::string>& groups,
               std::unordered_set<std::string>& logins) {
  const std::string login = run.RequireAttr(file, user, "LoginName");
  const size_t refused = DecodeCharCodes(run.RequireAttr(file, user, "Password")).refused;
  if (refused > 0)
    run.Report(CheckSeverity::kLosesData, file, user,
               "the password of the user \"" + login + "\" holds " +
                   CountText(static_cast<long long>(refused), "character code that stands",
                             "character codes that stand") +
                   " for no character; the rest of it is kept",
               "Password");
  run.RequireBool(file, user, "Active");
  run.RequireAttr(file, user, "FullName");
  run.RequireAttr(file, user, "EmailAddress");
  const std::string group = run.RequireAttr(file, user, "GroupName");
  const std::string guid = run.RequireAttr(file, user, "ID");
  if (user.attribute("GroupName") && !groups.count(group))
    run.Report(CheckSeverity::kStopsRun, file, user,
               "the group \"" + group + "\" is neither a group of the baseline nor \"" +
                   kAdminGroupName + "\"",
               "GroupName");
  const bool recorded = run.guids().Record(guid, GuidKind::kUser);
  if (!logins.insert(login).second && !recorded)
    run.Report(CheckSeverity::kNote, file, user,
               "the user \"" + login + "\" exists already and keeps its GUID; a message says so",
               "ID");
}

}  // namespace

void CheckUsersAndGroups(CheckRun& run) {
  CheckedXmlFile file;
  if (!run.Open(file, kUserGroupsFile)) {
    run.DefinitionsUnread({GuidKind::kUser, GuidKind::kGroup}, kUserGroupsFile);
    return;
  }
  pugi::xml_node root = run.Root(file, "//PROJECT", "PROJECT");
  if (!root) return;
  std::unordered_set<std::string> groups{kAdminGroupName};
  for (const pugi::xml_node& group : DescendantsNamed(root, "Group"))
    CheckGroup(run, file, group, groups);
  std::unordered_set<std::string> logins{kAdminLogin};
  for (const pugi::xml_node& user : DescendantsNamed(root, "User"))
    CheckUser(run, file, user, groups, logins);
}

}  // namespace vl
