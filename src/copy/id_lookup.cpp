// Old GUID -> new integer ID, and key allocation. Look-ups run once per
// referenced object, hundreds of thousands of times on a large baseline,
// so found IDs are remembered: a row never changes its ID.
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "copy/db_conventions.h"
#include "copy/run_tables.h"
#include "host/text/convert.h"
#include "host/text/messages.h"

namespace vl {

namespace {

constexpr long kResNotTranslated = 20085;
constexpr long kResRowMissing = 20084;
// Beyond this many remembered IDs the memory is worth more than the time.
constexpr size_t kMaxRemembered = 2000000;
constexpr const char* kRequirementsTable = "vlRequirements";
// The found IDs of requirements by prefix and tag.
constexpr const char* kRequirementTags = "vlRequirements REQUIREMENTPREFIX TAG";

// Found IDs by new GUID, one table of them per database object and table.
// The database object is named by its serial number, never by its
// address, which a later object may reuse. A run looks up a few tables of
// one or two databases: they are searched in turn.
struct FoundIdTable {
  uint64_t serial;
  std::string table;
  std::unordered_map<std::string, int32_t> ids;
};
struct FoundIdTables {
  std::vector<FoundIdTable> tables;
  size_t remembered = 0;
};
FoundIdTables& FoundIds() {
  static FoundIdTables found;
  return found;
}

std::unordered_map<std::string, int32_t>& FoundIdsOf(const DataServices& oDS, const char* table) {
  FoundIdTables& found = FoundIds();
  for (FoundIdTable& t : found.tables)
    if (t.serial == oDS.InstanceSerial() && t.table == table) return t.ids;
  found.tables.push_back({oDS.InstanceSerial(), table, {}});
  return found.tables.back().ids;
}

int32_t ToId(const Variant& v) {
  if (v.type() == vbString) return CLng(v.AsString());
  if (!v.IsNumber()) throw VlError(err::kTypeMismatch, "ToId", "Type mismatch");
  double d = std::nearbyint(v.AsDouble());
  if (d < -2147483648.0 || d > 2147483647.0) throw VlError(err::kOverflow, "ToId", "Overflow");
  return static_cast<int32_t>(d);
}

// The family's one algorithm: translate, then select the key column of the
// row that carries the new GUID. -1 after a message when either is missing.
int32_t LookUpNewId(const char* procName, DataServices& oDS, OrderedMap<std::string>& table,
                    const char* tableName, const char* keyColumn, const std::string& oldGuid) {
  try {
    const std::string newGuid = table[oldGuid];  // a missing GUID is added, empty
    if (newGuid.empty()) {
      ShowInfoMessage(ResString(kResNotTranslated));
      return -1;
    }
    std::unordered_map<std::string, int32_t>& ids = FoundIdsOf(oDS, tableName);
    auto found = ids.find(newGuid);
    if (found != ids.end()) return found->second;

    const std::string sql = std::string("SELECT ") + keyColumn + " " + " FROM " + Tbl(tableName) +
                            " WHERE " + "VLGUID" + " = " + SqlText(newGuid);
    std::unique_ptr<Recordset> rs = oDS.QueryRecordset(sql);
    if (!rs || rs->IsEOF()) {
      ShowInfoMessage(ResString(kResRowMissing));
      return -1;
    }
    rs->MoveFirst();
    const int32_t id = ToId(rs->GetFieldValue(keyColumn));
    if (FoundIds().remembered >= kMaxRemembered) ResetLookupCache();
    FoundIdsOf(oDS, tableName).emplace(newGuid, id);
    ++FoundIds().remembered;
    return id;
  } catch (...) {
    ReportProcError(procName, "");
    return -1;
  }
}

}  // namespace

void ResetLookupCache() {
  FoundIds().tables.clear();
  FoundIds().remembered = 0;
}

int32_t GetNewReqTypeID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewReqTypeID", oDS, gdictPSGUIDs, "vlRequirementTypes", "ID", oldGuid);
}
int32_t GetNewUserID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewUserID", oDS, gdictPSGUIDs, "vlUsers", "ID", oldGuid);
}
int32_t GetNewGroupID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewGroupID", oDS, gdictPSGUIDs, "vlUserGroups", "ID", oldGuid);
}
int32_t GetNewQefID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewQefID", oDS, gdictPSGUIDs, "VlQueryDefinitions", "ID", oldGuid);
}
int32_t GetNewAttrID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewAttrID", oDS, gdictPSGUIDs, "vlUserDefinedFields", "ID", oldGuid);
}
int32_t GetNewLVID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewLVID", oDS, gdictPSGUIDs, "vlUserDefinedListItems", "ITEMID", oldGuid);
}
int32_t GetNewDocID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewDocID", oDS, gdictPSGUIDs, "vlDocuments", "ID", oldGuid);
}
int32_t GetNewDocTypeID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewDocTypeID", oDS, gdictPSGUIDs, "vlDocumentTypes", "ID", oldGuid);
}
int32_t GetNewReqID(DataServices& oDS, const std::string& oldGuid) {
  return LookUpNewId("GetNewReqID", oDS, gdictReqGUIDs, kRequirementsTable, "ID", oldGuid);
}

void RememberNewReqID(DataServices& oDS, const std::string& newGuid, int32_t id) {
  if (FoundIds().remembered >= kMaxRemembered) ResetLookupCache();
  if (FoundIdsOf(oDS, kRequirementsTable).emplace(newGuid, id).second) ++FoundIds().remembered;
}

namespace {

std::string TagKey(const std::string& storedPrefix, int32_t tag) {
  return storedPrefix + '\0' + std::to_string(tag);
}

}  // namespace

void RememberNewReqTag(DataServices& oDS, const std::string& storedPrefix, int32_t tag,
                       int32_t id) {
  if (FoundIds().remembered >= kMaxRemembered) ResetLookupCache();
  auto [it, added] = FoundIdsOf(oDS, kRequirementTags).emplace(TagKey(storedPrefix, tag), id);
  if (added)
    ++FoundIds().remembered;
  else if (id < it->second)
    it->second = id;
}

int32_t FindNewReqIDByTag(DataServices& oDS, const std::string& storedPrefix, int32_t tag) {
  const std::unordered_map<std::string, int32_t>& ids = FoundIdsOf(oDS, kRequirementTags);
  auto it = ids.find(TagKey(storedPrefix, tag));
  return it == ids.end() ? 0 : it->second;
}

int32_t NextKey(DataServices& oDS, const std::string& keyClass) {
  return oDS.GetNextKey(Tbl("VlKeys"), "KeyClass", keyClass, "LastKey");
}

}  // namespace vl
