#include "host/project/sql_project.h"

#include "errors/vl_error.h"
#include "host/db/sql_rewrite.h"
#include "host/project/sql_query_services.h"
#include "host/text/convert.h"
#include "host/text/random_guid.h"

namespace vl {

namespace {

constexpr const char* kSource = "VlProject";

int32_t IntOf(const Variant& v) {
  if (v.IsNumber()) return static_cast<int32_t>(v.AsDouble());
  return ToLongOrZero(v.ToText());
}

std::string TextOf(const Variant& v) { return FromStoredText(v.ToText()); }

const char* kGroupColumns =
    "ID, VLGUID, NAME, DESCRIPTION, PROJECTACCESSRIGHTS, DOCTYPEACCESSRIGHTS, "
    "REQTYPEACCESSRIGHTS, ATTRIBUTEACCESSRIGHTS, LISTITEMACCESSRIGHTS";

}  // namespace

SqlProject::SqlProject(Setup setup) : setup_(std::move(setup)) {
  guid_ = setup_.file.guid;
  try {
    ReadProjectRow();
    auto rs = Db().ExecuteSQL(
        "SELECT ID FROM vlUsers WHERE LoginName = " + QuoteSqlText(setup_.login) + " ORDER BY ID");
    if (!rs || rs->IsEOF())
      throw VlError(err::kDatabaseOpen, kSource,
                    "The project file \"" + setup_.project_path + "\": \"" + setup_.login +
                        "\" is not a user of the project.");
    user_id_ = IntOf(rs->GetFieldValue("ID"));
  } catch (...) {
    open_ = false;
    try {
      if (setup_.close_database) setup_.close_database();
    } catch (...) {
      // The reason the project could not be opened is what matters.
    }
    throw;
  }
}

SqlProject::~SqlProject() {
  try {
    CloseProject();
  } catch (...) {
    // Close explicitly to see failures.
  }
}

DataServices& SqlProject::Db() {
  if (!open_)
    throw VlError(err::kObjectRequired, kSource,
                  "The project \"" + setup_.project_path + "\" is closed.");
  return *setup_.data_services;
}

void SqlProject::ReadProjectRow() {
  auto rs = Db().ExecuteSQL("SELECT ID, NAME, PREFIX FROM vlProjects WHERE VLGUID = " +
                            QuoteSqlText(guid_));
  if (!rs || rs->IsEOF())
    throw VlError(err::kDatabaseOpen, kSource,
                  "The database of the project file \"" + setup_.project_path +
                      "\" does not hold the project " + guid_ + ".");
  project_id_ = IntOf(rs->GetFieldValue("ID"));
  name_ = TextOf(rs->GetFieldValue("NAME"));
  prefix_ = TextOf(rs->GetFieldValue("PREFIX"));
}

ProjectApplication& SqlProject::GetApplication() {
  if (!setup_.application)
    throw VlError(err::kObjectRequired, kSource, "The project application has been shut down.");
  return *setup_.application;
}

void SqlProject::CloseProject() {
  if (!open_) return;
  std::exception_ptr failure;
  try {
    StoreChangedGroups();
  } catch (...) {
    failure = std::current_exception();
  }
  open_ = false;
  try {
    if (setup_.close_database) setup_.close_database();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

std::shared_ptr<DataServices> SqlProject::GetDataServices(const std::string& contextKey) {
  Db();
  if (contextKey != setup_.context_key)
    throw VlError(err::kInvalidProcedureCall, kSource,
                  "The context key \"" + contextKey + "\" is not this application's.");
  return setup_.data_services;
}

std::shared_ptr<QueryServices> SqlProject::GetQueryServices(const std::string& contextKey) {
  GetDataServices(contextKey);
  // Without a factory of the application's own, the services read the
  // project's database (and open external projects through its application).
  if (!setup_.query_services) return std::make_shared<SqlQueryServices>();
  return setup_.query_services(*this);
}

std::string SqlProject::GetProjectName() {
  if (open_) ReadProjectRow();
  return name_;
}

std::string SqlProject::GetProjectPrefix() {
  if (open_) ReadProjectRow();
  return prefix_;
}

std::shared_ptr<Package> SqlProject::GetRootPackage() {
  auto rs =
      Db().ExecuteSQL("SELECT ID FROM vlPackages WHERE PROJECTID = " + std::to_string(project_id_) +
                      " AND PARENTID = 0 ORDER BY ID");
  if (!rs || rs->IsEOF())
    throw VlError(err::kObjectRequired, kSource,
                  "The project \"" + setup_.project_path + "\" has no root package.");
  return std::make_shared<Package>(IntOf(rs->GetFieldValue("ID")));
}

bool SqlProject::SplitTag(const std::string& tag, std::string& prefix, int32_t& number) {
  size_t digits = tag.size();
  while (digits > 0 && tag[digits - 1] >= '0' && tag[digits - 1] <= '9') --digits;
  if (digits == tag.size()) return false;
  int64_t n = 0;
  for (size_t i = digits; i < tag.size(); ++i) {
    n = n * 10 + (tag[i] - '0');
    if (n > INT32_MAX) return false;
  }
  prefix = tag.substr(0, digits);
  number = static_cast<int32_t>(n);
  return true;
}

std::shared_ptr<Requirement> SqlProject::GetRequirement(const std::string& tag) {
  std::string prefix;
  int32_t number = 0;
  if (!SplitTag(tag, prefix, number)) return nullptr;
  auto rs = Db().ExecuteSQL(
      "SELECT ID, VLGUID FROM vlRequirements WHERE REQUIREMENTPREFIX = " + QuoteSqlText(prefix) +
      " AND TAG = " + std::to_string(number) + " ORDER BY ID");
  if (!rs || rs->IsEOF()) return nullptr;
  return std::make_shared<Requirement>(IntOf(rs->GetFieldValue("ID")),
                                       rs->GetFieldValue("VLGUID").ToText());
}

std::shared_ptr<Group> SqlProject::Remember(std::shared_ptr<Group> group) {
  auto [it, added] = known_groups_.emplace(group->GetGroupID(), group);
  return it->second;
}

std::shared_ptr<Group> SqlProject::FindGroup(const std::string& name) {
  auto rs =
      Db().ExecuteSQL(std::string("SELECT ") + kGroupColumns +
                      " FROM vlUserGroups WHERE NAME = " + QuoteSqlText(name) + " ORDER BY ID");
  if (!rs || rs->IsEOF()) return nullptr;
  const int32_t id = IntOf(rs->GetFieldValue("ID"));
  if (auto it = known_groups_.find(id); it != known_groups_.end()) return it->second;
  auto group = std::make_shared<Group>(id, rs->GetFieldValue("VLGUID").ToText(),
                                       TextOf(rs->GetFieldValue("NAME")));
  group->SetGroupDescription(TextOf(rs->GetFieldValue("DESCRIPTION")));
  group->SetProjectAccessRights(IntOf(rs->GetFieldValue("PROJECTACCESSRIGHTS")));
  group->SetDocTypeAccessRights(IntOf(rs->GetFieldValue("DOCTYPEACCESSRIGHTS")));
  group->SetReqTypeAccessRights(IntOf(rs->GetFieldValue("REQTYPEACCESSRIGHTS")));
  group->SetAttributeAccessRights(IntOf(rs->GetFieldValue("ATTRIBUTEACCESSRIGHTS")));
  group->SetListItemAccessRights(IntOf(rs->GetFieldValue("LISTITEMACCESSRIGHTS")));
  group->MarkClean();
  return Remember(group);
}

std::shared_ptr<User> SqlProject::FindUser(const std::string& loginName) {
  auto rs = Db().ExecuteSQL(
      "SELECT ID, VLGUID, LoginName, GroupID FROM vlUsers WHERE "
      "LoginName = " +
      QuoteSqlText(loginName) + " ORDER BY ID");
  if (!rs || rs->IsEOF()) return nullptr;
  return std::make_shared<User>(
      IntOf(rs->GetFieldValue("ID")), rs->GetFieldValue("VLGUID").ToText(),
      TextOf(rs->GetFieldValue("LoginName")), IntOf(rs->GetFieldValue("GroupID")));
}

void SqlProject::StoreChangedGroups() {
  for (auto& [id, group] : known_groups_) {
    if (!group->dirty()) continue;
    Db().ExecuteSQL(
        "UPDATE vlUserGroups SET DESCRIPTION = " + QuoteSqlText(group->GetGroupDescription()) +
        ", PROJECTACCESSRIGHTS = " + std::to_string(group->GetAccessRights(0)) +
        ", DOCTYPEACCESSRIGHTS = " + std::to_string(group->GetAccessRights(1)) +
        ", REQTYPEACCESSRIGHTS = " + std::to_string(group->GetAccessRights(2)) +
        ", ATTRIBUTEACCESSRIGHTS = " + std::to_string(group->GetAccessRights(3)) +
        ", LISTITEMACCESSRIGHTS = " + std::to_string(group->GetAccessRights(4)) +
        " WHERE ID = " + std::to_string(id));
    group->MarkClean();
  }
}

void SqlProject::CommitUsersAndGroups() {
  StoreChangedGroups();
  Db().Commit();
}

std::shared_ptr<Group> SqlGroupCollection::AddGroup(const std::string& name, int32_t projectRights,
                                                    const std::string& description,
                                                    int32_t /*projectRights2*/,
                                                    int32_t docTypeRights, int32_t reqTypeRights,
                                                    int32_t attributeRights,
                                                    int32_t listItemRights) {
  if (project_.FindGroup(name))
    throw VlError(err::kKeyAlreadyExists, kSource,
                  "The project already has a group named \"" + name + "\".");
  DataServices& db = project_.Db();
  const int32_t id = db.GetNextKey("VlKeys", "KeyClass", "UserGroup", "LastKey");
  const std::string guid = MakeRandomGuid();
  db.ExecuteSQL(std::string("INSERT INTO vlUserGroups (") + kGroupColumns + ") VALUES (" +
                std::to_string(id) + ", " + QuoteSqlText(guid) + ", " + QuoteSqlText(name) + ", " +
                QuoteSqlText(description) + ", " + std::to_string(projectRights) + ", " +
                std::to_string(docTypeRights) + ", " + std::to_string(reqTypeRights) + ", " +
                std::to_string(attributeRights) + ", " + std::to_string(listItemRights) + ")");
  auto group = std::make_shared<Group>(id, guid, name);
  group->SetGroupDescription(description);
  group->SetProjectAccessRights(projectRights);
  group->SetDocTypeAccessRights(docTypeRights);
  group->SetReqTypeAccessRights(reqTypeRights);
  group->SetAttributeAccessRights(attributeRights);
  group->SetListItemAccessRights(listItemRights);
  group->MarkClean();
  return project_.Remember(group);
}

}  // namespace vl
