// The project component: the project application, which creates and opens
// projects, and the project object with what the copiers read from it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/db/data_services.h"

namespace vl {

class ProjectApplication;
class NewProjectDefinition;

// A security group of a project. Setters change the object; the database
// is written by Project::CommitUsersAndGroups.
class Group {
 public:
  Group(int32_t id, std::string guid, std::string name)
      : id_(id), guid_(std::move(guid)), name_(std::move(name)) {}
  int32_t GetGroupID() const { return id_; }
  const std::string& GetGroupGUID() const { return guid_; }
  const std::string& GetGroupName() const { return name_; }
  const std::string& GetGroupDescription() const { return description_; }
  void SetGroupDescription(const std::string& v) {
    description_ = v;
    dirty_ = true;
  }
  void SetProjectAccessRights(int32_t v) {
    rights_[0] = v;
    dirty_ = true;
  }
  void SetDocTypeAccessRights(int32_t v) {
    rights_[1] = v;
    dirty_ = true;
  }
  void SetReqTypeAccessRights(int32_t v) {
    rights_[2] = v;
    dirty_ = true;
  }
  void SetAttributeAccessRights(int32_t v) {
    rights_[3] = v;
    dirty_ = true;
  }
  void SetListItemAccessRights(int32_t v) {
    rights_[4] = v;
    dirty_ = true;
  }
  // 0 project, 1 document types, 2 requirement types, 3 attributes, 4 list items.
  int32_t GetAccessRights(int which) const { return rights_[which]; }
  bool dirty() const { return dirty_; }
  void MarkClean() { dirty_ = false; }

 private:
  int32_t id_;
  std::string guid_;
  std::string name_;
  std::string description_;
  int32_t rights_[5] = {0, 0, 0, 0, 0};
  bool dirty_ = false;
};

class User {
 public:
  User(int32_t id, std::string guid, std::string login, int32_t groupId)
      : id_(id), guid_(std::move(guid)), login_(std::move(login)), group_id_(groupId) {}
  int32_t GetUserID() const { return id_; }
  const std::string& GetUserGUID() const { return guid_; }
  const std::string& GetLoginName() const { return login_; }
  int32_t GetUserGroupID() const { return group_id_; }

 private:
  int32_t id_;
  std::string guid_;
  std::string login_;
  int32_t group_id_;
};

class Requirement {
 public:
  Requirement(int32_t id, std::string guid) : id_(id), guid_(std::move(guid)) {}
  int32_t GetRequirementID() const { return id_; }
  const std::string& GetRequirementGUID() const { return guid_; }

 private:
  int32_t id_;
  std::string guid_;
};

class Package {
 public:
  explicit Package(int32_t id) : id_(id) {}
  int32_t GetPackageID() const { return id_; }

 private:
  int32_t id_;
};

// The group collection of a project.
class GroupCollection {
 public:
  virtual ~GroupCollection() = default;
  // Creates a group with a GUID of its own; the arguments in the order the
  // copiers pass them (project rights twice).
  virtual std::shared_ptr<Group> AddGroup(const std::string& name, int32_t projectRights,
                                          const std::string& description, int32_t projectRights2,
                                          int32_t docTypeRights, int32_t reqTypeRights,
                                          int32_t attributeRights, int32_t listItemRights) = 0;
};

class QueryServices;

// The project object. Every operation may throw VlError.
class Project {
 public:
  virtual ~Project() = default;

  virtual ProjectApplication& GetApplication() = 0;
  // Closes the project: commits, releases the database. Afterwards only the
  // getters of cached values may be used. A second call does nothing.
  virtual void CloseProject() = 0;
  virtual std::shared_ptr<DataServices> GetDataServices(const std::string& contextKey) = 0;
  virtual std::shared_ptr<QueryServices> GetQueryServices(const std::string& contextKey) = 0;

  virtual std::string GetProjectGUID() = 0;
  virtual std::string GetProjectName() = 0;
  virtual std::string GetProjectPrefix() = 0;
  virtual int32_t GetProjectID() = 0;
  // Full path of the project file ("/dir/NAME.vlp").
  virtual std::string GetProjectPath() = 0;
  virtual int32_t GetCurrentUserID() = 0;
  // Overflow sizes in characters; -1 means no limit.
  virtual int32_t GetOverflowSize() = 0;
  virtual int32_t GetReqTextOverflowSize() = 0;
  virtual int32_t GetFieldValueOverflowSize() = 0;

  virtual std::shared_ptr<Package> GetRootPackage() = 0;
  // The requirement with that tag (prefix and number, "FEAT1", "FEAT1.2"),
  // found through an index; nullptr when there is none.
  virtual std::shared_ptr<Requirement> GetRequirement(const std::string& tag) = 0;

  virtual GroupCollection& GetGroups() = 0;
  // nullptr when there is no group / user of that name.
  virtual std::shared_ptr<Group> FindGroup(const std::string& name) = 0;
  virtual std::shared_ptr<User> FindUser(const std::string& loginName) = 0;
  // Stores the groups created or changed through the component.
  virtual void CommitUsersAndGroups() = 0;

  virtual void PrepareQueryParsing(bool prepare) = 0;
};

class ContextInfo {
 public:
  explicit ContextInfo(std::string key) : key_(std::move(key)) {}
  const std::string& GetContextKey() const { return key_; }

 private:
  std::string key_;
};

// Creates and opens projects. One per process.
class ProjectApplication {
 public:
  virtual ~ProjectApplication() = default;

  // Opens the project at `path` logged in as `user`. `path` may name the
  // project file ("X.vlp") or its path without extension. When no project
  // file exists there and a new-project definition has been prepared for
  // that path (NewProjectDefinition::PrepareNewProject), the project file
  // and its database are created first. Throws VlError naming the file and
  // the reason when the project cannot be created or opened.
  virtual std::shared_ptr<Project> OpenProjectAs(const std::string& appName,
                                                 const std::string& path,
                                                 const std::string& projectName,
                                                 const std::string& user,
                                                 const std::string& password, bool flag1,
                                                 bool flag2, const std::string& extra) = 0;
  // Opens an existing project file (path with or without ".vlp").
  virtual std::shared_ptr<Project> OpenProject(const std::string& path) = 0;
  virtual ContextInfo& GetContextInfo() = 0;
  // Closes every project still open. A second call does nothing.
  virtual void Shutdown() noexcept = 0;
  // Closes the databases kept open after their last project closed, so
  // that their files can be moved or removed. All are closed; the first
  // failure (such as the last commit of one) is thrown after that.
  virtual void CloseIdleDatabases() {}
};

// The data services of a project, reached the way the copiers reach them:
// application, context, context key.
std::shared_ptr<DataServices> DataServicesOf(Project& project);

}  // namespace vl
