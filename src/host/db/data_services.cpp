#include "host/db/data_services.h"

#include <algorithm>
#include <vector>

namespace vl {

namespace {

// Open databases in the order they were opened. A plain vector: a run has
// a handful of databases open at once.
std::vector<DataServices*>& OpenDatabases() {
  static std::vector<DataServices*> open;
  return open;
}

}  // namespace

void RegisterOpenDatabase(DataServices* ds) {
  if (!ds) return;
  auto& open = OpenDatabases();
  if (std::find(open.begin(), open.end(), ds) == open.end()) open.push_back(ds);
}

void UnregisterOpenDatabase(DataServices* ds) {
  auto& open = OpenDatabases();
  open.erase(std::remove(open.begin(), open.end(), ds), open.end());
}

void CommitOpenDatabases() {
  // A copy: committing must not be disturbed by a database that closes
  // itself meanwhile.
  const std::vector<DataServices*> open = OpenDatabases();
  for (DataServices* ds : open) {
    try {
      ds->Commit();
    } catch (...) {
      // The report that asked for the commit must still be shown.
    }
  }
}

}  // namespace vl
