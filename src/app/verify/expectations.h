// The rows a creation run was to write into a project, derived from the
// baseline by the copy rules on their own: every object with the new GUID
// the map files give it, every reference as the ID of the row that GUID
// names in the project database, every value as the rules store it.
#pragma once

#include <functional>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/verify/baseline_files.h"
#include "app/verify/project_rows.h"
#include "app/verify/run_record.h"
#include "app/verify/stored_text.h"
#include "app/verify/verify_types.h"
#include "host/project/project_file.h"

namespace vl::verify {

// What the expectations are derived from.
struct VerifyInputs {
  BaselineFiles* baseline = nullptr;
  const ProjectRows* db = nullptr;
  GuidMap ps, req;  // the project's own map files
  PendingItems pending;
  std::vector<LinkedProject>* linked = nullptr;
  // Reads the requirement IDs of a linked project (opening its database)
  // into it; false when its database cannot be opened.
  std::function<bool(LinkedProject&)> read_linked_requirements;
  CopyChoices choices;
  ProjectFileInfo file;        // the project file: GUID, overflow sizes
  std::string folder;          // the project file's folder
  std::string default_reason;  // the text a version without history gets; "" unknown
};

class Expectations {
 public:
  // Every row derived goes to `sink` at once, none is kept.
  Expectations(VerifyInputs& in, std::function<void(const ExpectedRow&)> sink);

  // Derives every row; notes say what could not be derived or checked.
  void Build();

  const std::vector<std::string>& notes() const { return notes_; }
  // The documents' files copied beside the project: how many were looked
  // for, and those missing or of another size than the baseline's.
  const KindSummary& files() const { return files_; }
  const std::vector<Difference>& file_differences() const { return file_differences_; }

 private:
  using Cells = std::vector<std::pair<const char*, Cell>>;

  // Kinds, in the order the run copies them.
  void Project();
  void Groups();
  void Users();
  void Attributes();
  void RequirementTypes();
  void DocumentTypes();
  void ExternalProjects();
  void Rights();
  void QueryDefinitions();
  void Packages();
  void Package(const BaselineFiles::Package& p);
  void Documents(const pugi::xml_node& pkg, const Cell& pkgId);
  void DocumentFile(const pugi::xml_node& doc, const ObjectRef& obj);
  void Views(const pugi::xml_node& pkg, const Cell& pkgId);
  void Requirements(const pugi::xml_node& pkg, const Cell& pkgId);
  void ParentLinks();
  void Traces(const pugi::xml_node& req, const Cell& reqId, const ObjectRef& obj);
  void Discussions();
  void Discussion(const pugi::xml_node& disc, const Cell& rootId, const Cell& parentId,
                  std::unordered_map<std::string, size_t>& seen);

  // History rows of `source`'s "History" into `table`, overflow type `type`.
  void History(const pugi::xml_node& source, const std::string& table, int type,
               const Cell& ownerId, const ObjectRef& obj);
  // The five current-version values of a document or requirement.
  void CurrentVersion(const pugi::xml_node& source, Cells& cells);

  void Add(const std::string& table, const ObjectRef& obj, Cells cells, bool pending = false,
           const std::string& summary = "");
  void Note(const std::string& note);

  // The ID of the object of `table` whose baseline GUID is `oldGuid`,
  // through the general map; unknown when it has no translation or row.
  Cell Ref(const std::string& table, const std::string& oldGuid) const;
  Cell ReqRef(const std::string& oldGuid) const;
  // A query definition's or view's new GUID: the project's own map, or
  // the map of a linked project whose run completed it later.
  std::string NewGuidAnywhere(const std::string& oldGuid, const LinkedProject** by) const;
  LinkedProject* LinkedFor(const std::string& baselineGuid) const;
  Cell OtherRequirementId(const std::string& epGuid, const std::string& trid) const;

  VerifyInputs& in_;
  const ProjectRows& db_;
  Cell project_id_, admin_id_;
  std::string project_guid_;
  std::function<void(const ExpectedRow&)> sink_;
  std::vector<std::string> notes_;
  KindSummary files_{"document files"};
  std::vector<Difference> file_differences_;
  // Requirements' IDs by prefix and tag ("FEAT1.#2"), first of each;
  // children waiting for their parent.
  std::unordered_map<std::string, Cell> tags_;
  struct Child {
    std::string parent_key;
    Cell id;
    ObjectRef obj;
  };
  std::vector<Child> children_;
  std::multiset<std::string> pending_traces_;
  // The IDs of the discussion rows by subject, in ID order.
  std::unordered_map<std::string, std::vector<Cell>> discussion_ids_;
  // Query definitions whose QUERYSTRING names an external project.
  std::unordered_map<std::string, std::string> external_queries_;  // old GUID -> project GUID
};

}  // namespace vl::verify
