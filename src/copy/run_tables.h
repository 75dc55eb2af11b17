// The run-wide tables of the copy engine, with their classic names. They
// are filled during a creation run and read by later copiers and by the
// GUID map writer; ResetCopyGlobals() empties them so each test starts
// clean.
#pragma once

#include <memory>
#include <string>

#include "host/project/project.h"
#include "host/project/query_services.h"
#include "host/text/ordered_map.h"

namespace vl {

// Old GUID -> new GUID of every translated object except requirements.
extern OrderedMap<std::string> gdictPSGUIDs;
// Old requirement GUID -> new requirement GUID.
extern OrderedMap<std::string> gdictReqGUIDs;
// Baseline GUID of a project -> GUID of the project that stands for it now.
extern OrderedMap<std::string> gdictExtProjMap;
// Opened external projects, keyed by their GUID as opened.
extern OrderedMap<std::shared_ptr<Project>> gcolExtProjs;
// Baseline GUID of an external project's requirement -> its ID there.
extern OrderedMap<int32_t> gdictExtTraces;
// Baseline GUID of an unresolved query definition -> "UnResQDefName:" + name.
extern OrderedMap<std::string> gcolUnResQDefs;
// Baseline GUID of a query definition -> its project-structure specification
// (only those naming an external project).
extern OrderedMap<std::shared_ptr<ProjStructSpec>> gcolQDefs;

void ResetCopyGlobals();

}  // namespace vl
