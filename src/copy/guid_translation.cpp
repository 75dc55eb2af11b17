// New GUIDs and the translation of the baseline's GUIDs to them.
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "host/text/random_guid.h"

namespace vl {

namespace {

// Records `newGuid` under `oldGuid`. A translation already there is kept;
// an entry left empty by an earlier look-up is filled in, because the
// object is being copied now.
void RecordTranslation(OrderedMap<std::string>& table, const std::string& oldGuid,
                       const std::string& newGuid) {
  std::string* item = table.Find(oldGuid);
  if (!item)
    table.Add(oldGuid, newGuid);
  else if (item->empty())
    *item = newGuid;
}

}  // namespace

std::string GenerateGUID() { return MakeRandomGuid("modWizardGenerateGUID"); }

std::string RunContext::AssignNewGUID(const std::string& oldGuid) {
  std::string newGuid = GenerateGUID();
  RecordTranslation(tables.gdictPSGUIDs, oldGuid, newGuid);
  return newGuid;
}

std::string RunContext::AssignNewReqGUID(const std::string& oldGuid) {
  std::string newGuid = GenerateGUID();
  RecordTranslation(tables.gdictReqGUIDs, oldGuid, newGuid);
  return newGuid;
}

bool RunContext::AddGUIDTranslation(const std::string& oldGuid, const std::string& newGuid) {
  if (tables.gdictPSGUIDs.Exists(oldGuid)) return false;
  tables.gdictPSGUIDs.Add(oldGuid, newGuid);
  return true;
}

std::string RunContext::TranslateGUID(const std::string& oldGuid) {
  return tables.gdictPSGUIDs[oldGuid];
}

bool RunContext::IsGUIDTranslated(const std::string& oldGuid) {
  return !tables.gdictPSGUIDs[oldGuid].empty();
}

bool RunContext::IsReqGUIDTranslated(const std::string& oldGuid) {
  return !tables.gdictReqGUIDs[oldGuid].empty();
}

void ForEachTranslation(const OrderedMap<std::string>& table,
                        const std::function<void(const std::string&, const std::string&)>& f) {
  table.ForEach([&](const std::string& oldGuid, const std::string& newGuid) {
    if (!newGuid.empty()) f(oldGuid, newGuid);
  });
}

}  // namespace vl
