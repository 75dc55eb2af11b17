// What creation runs left beside a project file, read back: the GUID map
// files (old GUID -> new GUID of every copied object), the UnRes files
// (what still waits for a project not created yet), and the projects the
// project is linked to, whose runs may have completed references in it.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/db/data_services.h"

namespace vl::verify {

// One GUID map file.
struct GuidMap {
  bool read = false;                                   // the file was there and had its root
  std::string baseline_guid;                           // "GUID" of the root
  std::string project_guid;                            // "NEWGUID" of the root
  std::unordered_map<std::string, std::string> pairs;  // old -> new

  // The new GUID of `old`, "" when the map has none.
  std::string New(const std::string& old) const;
};

// Reads the GUID map file at `path`; an unreadable file gives a map with
// `read` false.
GuidMap ReadGuidMap(const std::string& path);

// What still waits in the UnRes files of one project folder.
struct PendingItems {
  std::set<std::string> external_projects;  // baseline GUIDs
  std::set<std::string> query_definitions;  // baseline GUIDs
  std::set<std::string> views;              // baseline GUIDs
  // requirement's baseline GUID + "|" + other end's GUID + "|" + "TTO"/"TFROM"
  std::multiset<std::string> traces;
};
PendingItems ReadPendingItems(const std::string& projectFolder);

std::string PendingTraceKey(const std::string& reqGuid, const std::string& otherGuid, bool tFrom);

// A project registered as external project of the verified one.
struct LinkedProject {
  std::string guid;          // as registered (vlExternalProjects.VLGUID)
  std::string row_id;        // that row's ID
  std::string project_file;  // DIRECTORY/FILENAME.vlp
  bool file_found = false;
  std::string name;           // from its project file
  std::string baseline_guid;  // of the baseline it was created from (its own GUID otherwise)
  GuidMap ps, req;            // its map files
  // Its requirements' IDs by their GUID, read on first need.
  bool requirements_read = false;
  std::unordered_map<std::string, std::string> requirement_ids;
};

}  // namespace vl::verify
