// GUID map files: which GUID each copied object had in the baseline and
// which it has in the new project. "ReqGUIDMap.xml", "PSGUIDMap.xml" and
// "ResRTGUIDs.xml" share one form:
//
//   <?xml version="1.0" standalone="yes"?>
//   <PROJECT GUID="{baseline}" NEWGUID="{new project}">
//     <GUID OLDGUID="{old}" NEWGUID="{new}"/>   one per pair, in order
//   </PROJECT>
//
// Later runs for other baselines read these files to complete references
// into the project, so a pair is written only for an object that was
// really copied (never with an empty NEWGUID), and there is no limit on
// the number of pairs.
#pragma once

#include <pugixml.hpp>
#include <string>

#include "host/text/ordered_map.h"

namespace vl {

// Makes `doc` a GUID map without pairs: the declaration and the root
// "PROJECT" with "GUID" and then "NEWGUID". Anything `doc` held before is
// discarded. Returns the root, to which pairs are appended.
pugi::xml_node StartGUIDMapDocument(pugi::xml_document& doc, const std::string& baselineGuid,
                                    const std::string& newProjectGuid);

// Appends one "GUID" element with "OLDGUID" and then "NEWGUID" to `root`.
// A pair with an empty new GUID is not written; returns whether it was.
bool AppendGUIDMapEntry(pugi::xml_node root, const std::string& oldGuid,
                        const std::string& newGuid);

// A whole GUID map from a translation table (gdictPSGUIDs, gdictReqGUIDs):
// one pair per entry in the table's order, leaving out entries whose new
// GUID is empty.
void BuildGUIDMapDocument(pugi::xml_document& doc, const std::string& baselineGuid,
                          const std::string& newProjectGuid, const OrderedMap<std::string>& table);

// Builds the map of `table` and saves it to `path` (UTF-8, replacing a
// file of that name). Throws VlError naming the path when it cannot be
// written; an existing file is then left as it was.
void WriteGUIDMapFile(const std::string& path, const std::string& baselineGuid,
                      const std::string& newProjectGuid, const OrderedMap<std::string>& table);

}  // namespace vl
