// Old GUID -> new integer ID, and key allocation. Look-ups run once per
// referenced object, hundreds of thousands of times on a large baseline,
// so found IDs are remembered: a row never changes its ID.
#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>

#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "host/text/convert.h"

namespace vl {

namespace {

constexpr long kResNotTranslated = 20085;
constexpr long kResRowMissing = 20084;
// Beyond this many remembered IDs the memory is worth more than the time.
constexpr size_t kMaxRemembered = 2000000;
constexpr const char* kRequirementsTable = "vlRequirements";
constexpr const char* kDocumentsTable = "vlDocuments";
// The found IDs of requirements by prefix and tag.
constexpr const char* kRequirementTags = "vlRequirements REQUIREMENTPREFIX TAG";

// What a table holds, as a message names it.
const char* KindOfTable(const char* table) {
  static const std::pair<const char*, const char*> kKinds[] = {
      {"vlRequirementTypes", "requirement type"},
      {"vlUsers", "user"},
      {"vlUserGroups", "group"},
      {"VlQueryDefinitions", "query definition"},
      {"vlUserDefinedFields", "attribute"},
      {"vlUserDefinedListItems", "list item"},
      {"vlDocuments", "document"},
      {"vlDocumentTypes", "document type"},
      {"vlRequirements", "requirement"}};
  for (const auto& [name, kind] : kKinds)
    if (std::string_view(name) == table) return kind;
  return "object";
}

}  // namespace

std::string RunContext::AboutReference(const std::string& text, const char* kind,
                                       const std::string& guid) const {
  std::string about = text + " It is the " + kind + " " + guid;
  if (!copied.subject().empty()) about += ", referred to by the " + copied.subject();
  return about + ".";
}

namespace {

int32_t ToId(const Variant& v) {
  if (v.type() == vbString) return CLng(v.AsString());
  if (!v.IsNumber()) throw VlError(err::kTypeMismatch, "ToId", "Type mismatch");
  double d = std::nearbyint(v.AsDouble());
  if (d < -2147483648.0 || d > 2147483647.0) throw VlError(err::kOverflow, "ToId", "Overflow");
  return static_cast<int32_t>(d);
}

}  // namespace

FoundIds::Table& FoundIds::Of(const DataServices& ds, const char* table) {
  // Asked for hundreds of thousands of times, mostly of the same database
  // as the time before.
  for (Table& t : tables_)
    if (t.address == &ds && !t.database.expired() && t.table == table) return t;
  // A run looks up a few tables of one or two databases: they are
  // searched in turn. A weak copy keeps its database's identity allocated,
  // so a later database never compares equal to one that is gone.
  const std::weak_ptr<const int> database = ds.Identity();
  auto same = [&](const Table& t) {
    return !t.database.owner_before(database) && !database.owner_before(t.database);
  };
  for (Table& t : tables_)
    if (same(t) && t.table == table) {
      t.address = &ds;
      return t;
    }
  std::erase_if(tables_, [](const Table& t) { return t.database.expired(); });
  Table added;
  added.database = database;
  added.table = table;
  added.address = &ds;
  tables_.push_back(std::move(added));
  return tables_.back();
}

const int32_t* FoundIds::Find(const DataServices& ds, const char* table, const std::string& key) {
  return Of(ds, table).ids.Find(key);
}

void FoundIds::Remember(const DataServices& ds, const char* table, const std::string& guid,
                        int32_t id) {
  if (remembered_ >= kMaxRemembered) Clear();
  Table& t = Of(ds, table);
  if (t.ids.Insert(guid, id, t.keys).second) ++remembered_;
}

std::vector<std::optional<int32_t>>& FoundIds::ByPosition(
    Table& t, const OrderedMap<std::string>& translations) {
  if (t.translations != &translations || t.layout != translations.layout()) {
    t.by_position.clear();
    t.translations = &translations;
    t.layout = translations.layout();
  }
  return t.by_position;
}

const int32_t* FoundIds::FindAt(const DataServices& ds, const char* table,
                                const OrderedMap<std::string>& translations, size_t position) {
  const std::vector<std::optional<int32_t>>& ids = ByPosition(Of(ds, table), translations);
  return position < ids.size() && ids[position] ? &*ids[position] : nullptr;
}

void FoundIds::RememberAt(const DataServices& ds, const char* table,
                          const OrderedMap<std::string>& translations, size_t position,
                          int32_t id) {
  std::vector<std::optional<int32_t>>& ids = ByPosition(Of(ds, table), translations);
  if (position >= ids.size()) ids.resize(position + 1);
  ids[position] = id;
}

void FoundIds::RememberLowest(const DataServices& ds, const char* table, const std::string& key,
                              int32_t id) {
  if (remembered_ >= kMaxRemembered) Clear();
  Table& t = Of(ds, table);
  auto [known, added] = t.ids.Insert(key, id, t.keys);
  if (added)
    ++remembered_;
  else if (id < *known)
    *known = id;
}

void FoundIds::Clear() {
  tables_.clear();
  remembered_ = 0;
}

// The family's one algorithm: translate, then select the key column of the
// row that carries the new GUID. -1 after a message when either is missing.
int32_t RunContext::LookUpNewId(const char* procName, DataServices& oDS,
                                OrderedMap<std::string>& table, const char* tableName,
                                const char* keyColumn, const std::string& oldGuid) {
  // The message text first, then what was looked for and for what.
  auto show = [&](long id) {
    messages_.ShowInfoMessage(
        AboutReference(messages_.ResString(id), KindOfTable(tableName), oldGuid), id);
  };
  try {
    // A missing GUID is added, empty. The entry stays where it is while
    // the table grows, so it is read where it lies.
    const size_t at = table.PositionOf(oldGuid);
    const std::string& newGuid = table.ItemAt(at);
    if (newGuid.empty()) {
      show(kResNotTranslated);
      return -1;
    }
    if (const int32_t* known = found_ids.FindAt(oDS, tableName, table, at)) return *known;
    if (const int32_t* found = found_ids.Find(oDS, tableName, newGuid)) {
      const int32_t id = *found;
      found_ids.RememberAt(oDS, tableName, table, at, id);
      return id;
    }

    const std::string sql = std::string("SELECT ") + keyColumn + " " + " FROM " + Tbl(tableName) +
                            " WHERE " + "VLGUID" + " = " + SqlText(newGuid);
    std::unique_ptr<Recordset> rs = oDS.QueryRecordset(sql);
    if (!rs || rs->IsEOF()) {
      show(kResRowMissing);
      return -1;
    }
    rs->MoveFirst();
    const int32_t id = ToId(rs->GetFieldValue(keyColumn));
    found_ids.Remember(oDS, tableName, newGuid, id);
    found_ids.RememberAt(oDS, tableName, table, at, id);
    return id;
  } catch (const std::exception&) {
    messages_.ReportProcError(procName, "");
    return -1;
  }
}

int32_t RunContext::GetNewReqTypeID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewReqTypeID", oDS, tables.gdictPSGUIDs, "vlRequirementTypes", "ID",
                     oldGuid);
}
int32_t RunContext::GetNewUserID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewUserID", oDS, tables.gdictPSGUIDs, "vlUsers", "ID", oldGuid);
}
int32_t RunContext::GetNewGroupID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewGroupID", oDS, tables.gdictPSGUIDs, "vlUserGroups", "ID", oldGuid);
}
int32_t RunContext::GetNewQefID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewQefID", oDS, tables.gdictPSGUIDs, "VlQueryDefinitions", "ID", oldGuid);
}
int32_t RunContext::GetNewAttrID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewAttrID", oDS, tables.gdictPSGUIDs, "vlUserDefinedFields", "ID",
                     oldGuid);
}
int32_t RunContext::GetNewLVID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewLVID", oDS, tables.gdictPSGUIDs, "vlUserDefinedListItems", "ITEMID",
                     oldGuid);
}
int32_t RunContext::GetNewDocID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewDocID", oDS, tables.gdictPSGUIDs, kDocumentsTable, "ID", oldGuid);
}
int32_t RunContext::GetNewDocTypeID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewDocTypeID", oDS, tables.gdictPSGUIDs, "vlDocumentTypes", "ID", oldGuid);
}
int32_t RunContext::GetNewReqID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewReqID", oDS, tables.gdictReqGUIDs, kRequirementsTable, "ID", oldGuid);
}

void RunContext::RememberNewReqID(DataServices& oDS, const std::string& oldGuid,
                                  const std::string& newGuid, int32_t id) {
  // Looked up by the old GUID's translation, so held where it stands (the
  // translation was recorded just before: the look-up adds nothing); a
  // GUID the baseline gives twice keeps the first object's translation,
  // and the later object's row is found by its own GUID.
  OrderedMap<std::string>& translations = tables.gdictReqGUIDs;
  const size_t at = translations.PositionOf(oldGuid);
  if (translations.ItemAt(at) == newGuid)
    found_ids.RememberAt(oDS, kRequirementsTable, translations, at, id);
  else
    found_ids.Remember(oDS, kRequirementsTable, newGuid, id);
}

void RunContext::RememberNewDocID(DataServices& oDS, const std::string& newGuid, int32_t id) {
  found_ids.Remember(oDS, kDocumentsTable, newGuid, id);
}

namespace {

std::string TagKey(const std::string& storedPrefix, int32_t tag) {
  return storedPrefix + '\0' + std::to_string(tag);
}

}  // namespace

void RunContext::RememberNewReqTag(DataServices& oDS, const std::string& storedPrefix, int32_t tag,
                                   int32_t id) {
  found_ids.RememberLowest(oDS, kRequirementTags, TagKey(storedPrefix, tag), id);
}

int32_t RunContext::FindNewReqIDByTag(DataServices& oDS, const std::string& storedPrefix,
                                      int32_t tag) {
  const int32_t* found = found_ids.Find(oDS, kRequirementTags, TagKey(storedPrefix, tag));
  return found ? *found : 0;
}

int32_t NextKey(DataServices& oDS, const std::string& keyClass) {
  return oDS.GetNextKey(Tbl("VlKeys"), "KeyClass", keyClass, "LastKey");
}

}  // namespace vl
