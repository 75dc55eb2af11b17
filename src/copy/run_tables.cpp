#include "copy/run_tables.h"

namespace vl {

OrderedMap<std::string> gdictPSGUIDs;
OrderedMap<std::string> gdictReqGUIDs;
OrderedMap<std::string> gdictExtProjMap;
OrderedMap<std::shared_ptr<Project>> gcolExtProjs;
OrderedMap<int32_t> gdictExtTraces;
OrderedMap<std::string> gcolUnResQDefs;
OrderedMap<std::shared_ptr<ProjStructSpec>> gcolQDefs;

void ResetCopyGlobals() {
  gdictPSGUIDs.Clear();
  gdictReqGUIDs.Clear();
  gdictExtProjMap.Clear();
  gcolExtProjs.Clear();
  gdictExtTraces.Clear();
  gcolUnResQDefs.Clear();
  gcolQDefs.Clear();
}

}  // namespace vl
