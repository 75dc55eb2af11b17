// A project over its data services, in portable SQL: what the copiers read
// from the project object (its row, root package, requirements by tag,
// groups and users, the overflow sizes) and the groups they create.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/project/project.h"
#include "host/project/project_file.h"
#include "host/project/query_services.h"

namespace vl {

class SqlProject;

// Makes the query services of a project (they live with the query
// parser, elsewhere).
using QueryServicesFactory = std::function<std::shared_ptr<QueryServices>(Project&)>;

class SqlGroupCollection : public GroupCollection {
 public:
  explicit SqlGroupCollection(SqlProject& project) : project_(project) {}
  // Inserts the vlUserGroups row at once (key class "UserGroup", a GUID of
  // its own), so the group can be found by name right away. Throws VlError
  // when a group of that name exists or the row cannot be written.
  std::shared_ptr<Group> AddGroup(const std::string& name, int32_t projectRights,
                                  const std::string& description, int32_t projectRights2,
                                  int32_t docTypeRights, int32_t reqTypeRights,
                                  int32_t attributeRights, int32_t listItemRights) override;

 private:
  SqlProject& project_;
};

class SqlProject : public Project {
 public:
  struct Setup {
    ProjectApplication* application = nullptr;
    std::shared_ptr<DataServices> data_services;
    // Releases the database; called once, by CloseProject.
    std::function<void()> close_database;
    std::string project_path;  // the .vlp file
    ProjectFileInfo file;
    std::string context_key;
    std::string login;
    QueryServicesFactory query_services;
  };

  // Opens the project in the database: reads its vlProjects row (by the
  // GUID of the project file) and the user `login`. Throws VlError naming
  // the project file when the database does not hold that project or user;
  // the database is then released.
  explicit SqlProject(Setup setup);
  ~SqlProject() override;

  ProjectApplication& GetApplication() override;
  // Stores changed groups, commits and releases the database. A second
  // call does nothing.
  void CloseProject() override;
  std::shared_ptr<DataServices> GetDataServices(const std::string& contextKey) override;
  std::shared_ptr<QueryServices> GetQueryServices(const std::string& contextKey) override;

  std::string GetProjectGUID() override { return guid_; }
  std::string GetProjectName() override;
  std::string GetProjectPrefix() override;
  int32_t GetProjectID() override { return project_id_; }
  std::string GetProjectPath() override { return setup_.project_path; }
  int32_t GetCurrentUserID() override { return user_id_; }
  int32_t GetOverflowSize() override { return setup_.file.version_reason_size; }
  int32_t GetReqTextOverflowSize() override { return setup_.file.req_text_size; }
  int32_t GetFieldValueOverflowSize() override { return setup_.file.field_value_size; }

  std::shared_ptr<Package> GetRootPackage() override;
  std::shared_ptr<Requirement> GetRequirement(const std::string& tag) override;

  GroupCollection& GetGroups() override { return groups_; }
  std::shared_ptr<Group> FindGroup(const std::string& name) override;
  std::shared_ptr<User> FindUser(const std::string& loginName) override;
  void CommitUsersAndGroups() override;
  void PrepareQueryParsing(bool prepare) override { query_parsing_prepared_ = prepare; }

  bool IsOpen() const { return open_; }
  // The application is gone: GetApplication throws from now on.
  void DetachApplication() { setup_.application = nullptr; }

  // "FEAT1.2" -> "FEAT1." and 2; false when the tag ends in no digits or
  // its number does not fit.
  static bool SplitTag(const std::string& tag, std::string& prefix, int32_t& number);

 private:
  friend class SqlGroupCollection;
  DataServices& Db();
  void ReadProjectRow();
  void StoreChangedGroups();
  std::shared_ptr<Group> Remember(std::shared_ptr<Group> group);

  Setup setup_;
  bool open_ = true;
  std::string guid_;
  int32_t project_id_ = 0;
  std::string name_, prefix_;  // as last read
  int32_t user_id_ = 0;
  bool query_parsing_prepared_ = false;
  SqlGroupCollection groups_{*this};
  // The groups handed out, by ID: a group found twice is the same object,
  // so changes made through either are stored.
  std::map<int32_t, std::shared_ptr<Group>> known_groups_;
};

}  // namespace vl
