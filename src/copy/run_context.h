// The state one creation run shares between its copiers: the baseline
// descriptor, the translation tables and the other run-wide tables, the
// look-up cache, the project application that opens external projects,
// the messages, and whether the run was asked to stop. One per run,
// created by whoever starts the run and handed to every copier; nothing of
// it outlives the run.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/copied_objects.h"
#include "copy/other_projects.h"
#include "errors/run_cancelled.h"
#include "host/db/data_services.h"
#include "host/project/project.h"
#include "host/project/query_services.h"
#include "host/text/messages.h"
#include "host/text/ordered_map.h"
#include "host/text/text_table.h"
#include "host/xml/read_ahead.h"
#include "host/xml/xml_file.h"

namespace vl {

// The run-wide tables, under their classic names.
struct RunTables {
  // Old GUID -> new GUID of every translated object except requirements.
  OrderedMap<std::string> gdictPSGUIDs;
  // Old requirement GUID -> new requirement GUID.
  OrderedMap<std::string> gdictReqGUIDs;
  // Baseline GUID of a project -> GUID of the project that stands for it
  // now.
  OrderedMap<std::string> gdictExtProjMap;
  // Opened external projects, keyed by their GUID as opened.
  OrderedMap<std::shared_ptr<Project>> gcolExtProjs;
  // Baseline GUID of an external project's requirement -> its ID there.
  OrderedMap<int32_t> gdictExtTraces;
  // Baseline GUID of an unresolved query definition -> "UnResQDefName:" +
  // its name.
  OrderedMap<std::string> gcolUnResQDefs;
  // Baseline GUID of a query definition -> its project-structure
  // specification (only those naming an external project).
  OrderedMap<std::shared_ptr<ProjStructSpec>> gcolQDefs;
};

// IDs found by new GUID, per database and table: look-ups run once per
// referenced object, hundreds of thousands of times on a large baseline,
// and a row never changes its ID.
class FoundIds {
 public:
  // The ID remembered under `key` for `table` of `ds`, or nullptr; a
  // database gone meanwhile (another one may have taken its place in
  // memory) has none.
  const int32_t* Find(const DataServices& ds, const char* table, const std::string& key);
  // Remembers one more; forgets everything first when too many are held.
  void Remember(const DataServices& ds, const char* table, const std::string& guid, int32_t id);
  // Remembers `id` under `key` unless a lower one is remembered there.
  void RememberLowest(const DataServices& ds, const char* table, const std::string& key,
                      int32_t id);
  // The same by where the new GUID stands in the translation table that
  // holds it (OrderedMap::PositionOf): a translation, once made, is never
  // changed, and a position is found with one look-up of the old GUID
  // where the new GUID takes a second. Held only while the table keeps
  // its layout.
  const int32_t* FindAt(const DataServices& ds, const char* table,
                        const OrderedMap<std::string>& translations, size_t position);
  void RememberAt(const DataServices& ds, const char* table,
                  const OrderedMap<std::string>& translations, size_t position, int32_t id);
  void Clear();

 private:
  struct Table {
    std::weak_ptr<const int> database;
    std::string table;
    TextArena keys;
    TextTable<int32_t> ids;
    // Where the database was when last asked for: while it lives, no
    // other can be at its address.
    const DataServices* address = nullptr;
    // The IDs by position in `translations` as of `layout`.
    const OrderedMap<std::string>* translations = nullptr;
    uint64_t layout = 0;
    std::vector<std::optional<int32_t>> by_position;
  };
  Table& Of(const DataServices& ds, const char* table);
  // `t`'s IDs by position, dropped when they are of another table's layout.
  static std::vector<std::optional<int32_t>>& ByPosition(
      Table& t, const OrderedMap<std::string>& translations);

  std::vector<Table> tables_;
  size_t remembered_ = 0;
};

// A child requirement whose parent was not found when it was copied: its
// parent may stand in a package copied later.
struct UnlinkedChild {
  std::string parentTag;  // "FEAT1" for the child prefixed "FEAT1."
  std::string childTag;
  int32_t childId;
};

class RunContext {
 public:
  // `baseline` and `messages` must outlive the context. `projects` opens
  // the external projects (none can be opened without it). `cancel`, when
  // given, is looked at by Breathe().
  RunContext(const BLProjInfo& baseline, Messenger& messages,
             ProjectApplication* projects = nullptr, const CancelRequest* cancel = nullptr);
  // Closes the external projects still open.
  ~RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  const BLProjInfo& baseline() const { return baseline_; }
  Messenger& messages() { return messages_; }
  // Throws VlError(err::kObjectRequired) when the run has none.
  ProjectApplication& projects();
  void SetProjectApplication(ProjectApplication* projects) { projects_ = projects; }

  RunTables tables;
  FoundIds found_ids;
  // What the copiers have copied, and the object they work on.
  CopiedObjects copied;
  // What the run changes in the projects it completes.
  OtherProjects others;
  // The ID of the new project's row in each opened external project (by
  // its GUID), once the run registers it there.
  OrderedMap<int32_t> new_project_rows;
  // The children copied before their parents, linked once every package
  // is in (InsReqInfo::LinkPendingChildren).
  std::vector<UnlinkedChild> unlinked_children;
  // The path the new project's file will have once the run has succeeded
  // (it is built elsewhere until then); other projects record this one.
  std::string published_project_path;

  // Lets the window breathe, then stops the run (throws RunCancelled)
  // when it was asked to stop.
  void Breathe();
  // Throws RunCancelled when the run was asked to stop.
  void CheckCancelled() const;

  // `text`, then what it is about: " It is the `kind` `guid`, referred to
  // by the " and the object being copied (copied.subject()), when there
  // is one, and ".".
  std::string AboutReference(const std::string& text, const char* kind,
                             const std::string& guid) const;

  // --- GUIDs and their translation ---

  // A new GUID recorded under `oldGuid` in gdictPSGUIDs (gdictReqGUIDs for
  // the Req variant). When `oldGuid` is already a key, the table keeps the
  // first translation and the new GUID is still returned.
  std::string AssignNewGUID(const std::string& oldGuid);
  std::string AssignNewReqGUID(const std::string& oldGuid);
  // Adds (old, new) to gdictPSGUIDs; false when `oldGuid` was present.
  bool AddGUIDTranslation(const std::string& oldGuid, const std::string& newGuid);
  // The new GUID of `oldGuid`, "" when there is none.
  std::string TranslateGUID(const std::string& oldGuid);
  bool IsGUIDTranslated(const std::string& oldGuid);
  bool IsReqGUIDTranslated(const std::string& oldGuid);
  // Reading an old GUID that is not in the table (TranslateGUID, the
  // Is...Translated tests, the look-ups) adds it with an empty new GUID.
  // Such an entry stands for an object that was referred to but never
  // copied; AssignNewGUID / AssignNewReqGUID fill it in when the object is
  // copied after all.

  // --- Old GUID -> the new row's integer ID ---

  // -1 after a message (20085 when the GUID has no translation, 20084 when
  // the translated row is missing, each followed by the kind of object
  // looked for, its GUID and the object being copied) or after a report
  // naming the routine.
  int32_t GetNewReqTypeID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewUserID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewGroupID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewQefID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewAttrID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewLVID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewDocID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewDocTypeID(DataServices& oDS, const std::string& oldGuid);
  int32_t GetNewReqID(DataServices& oDS, const std::string& oldGuid);
  // Remembers that the vlRequirements row of `oDS` carrying `newGuid`,
  // the GUID just assigned for `oldGuid`, has the ID `id`, as GetNewReqID
  // would find it: the requirement copier says so right after writing the
  // row, sparing the traces and discussions one SELECT per requirement.
  void RememberNewReqID(DataServices& oDS, const std::string& oldGuid, const std::string& newGuid,
                        int32_t id);
  // The same for the vlDocuments row the document copier just wrote: the
  // requirements placed in the document find it without a SELECT (one
  // fewer wait for the server per document).
  void RememberNewDocID(DataServices& oDS, const std::string& newGuid, int32_t id);
  // Remembers that the requirement copier wrote the vlRequirements row `id`
  // of `oDS` with the REQUIREMENTPREFIX `storedPrefix` (as the database
  // holds it) and the TAG `tag`. FindNewReqIDByTag gives the lowest such
  // ID, as the project component's look-up by tag would find it in a new
  // project, whose requirements are all written by that copier; 0 when
  // none was remembered (the database may still hold one).
  void RememberNewReqTag(DataServices& oDS, const std::string& storedPrefix, int32_t tag,
                         int32_t id);
  int32_t FindNewReqIDByTag(DataServices& oDS, const std::string& storedPrefix, int32_t tag);

  // --- Baseline files ---

  // Loads BLXMLLoc/`fileName` into `doc` and selects `rootPath`. When the
  // element is missing (or the file is missing or cannot be parsed), shows
  // `fileName` + text 11011 + `elementName` and returns an empty node.
  pugi::xml_node LoadBaselineFile(pugi::xml_document& doc, const std::string& fileName,
                                  const char* rootPath = "//PROJECT",
                                  const char* elementName = "PROJECT");

  // Loads the baseline file `fileName` (found as LoadXmlFile finds it)
  // into `doc`, and adds the results line "FILE: NOTE" the first time in
  // the run that reading it changed its text (bytes that were not UTF-8
  // replaced, or the file read as windows-1252). As LoadXmlFile.
  XmlLoadResult LoadBaselineXml(pugi::xml_document& doc, const std::string& fileName);
  // A package file was opened: the walk goes on to its first child
  // package, or to `nextIfLeaf` when it has none. That package's file is
  // read and parsed meanwhile, on another thread.
  void ExpectNextPackage(const std::vector<std::string>& children, const std::string& nextIfLeaf);

  // Closes the external projects (gcolExtProjs), last first, and empties
  // the collection. False after a report ("CopyXMLPkgTraceInfo") when one
  // could not be closed; the others are closed all the same.
  bool CloseExternalProjects();

 private:
  int32_t LookUpNewId(const char* procName, DataServices& oDS, OrderedMap<std::string>& table,
                      const char* tableName, const char* keyColumn, const std::string& oldGuid);

  const BLProjInfo& baseline_;
  Messenger& messages_;
  ProjectApplication* projects_;
  const CancelRequest* cancel_;
  std::set<std::string> encoding_reported_;
  struct LoadedXml {
    pugi::xml_document doc;
    XmlLoadResult result;
  };
  ReadAhead<LoadedXml> read_ahead_{
      [](const std::string& folder, const std::string& name, LoadedXml& f) {
        f.result = LoadXmlFile(f.doc, folder, name);
      }};
};

}  // namespace vl
