#include "host/text/host_globals.h"

#include "host/project/install_settings.h"

namespace vl {

std::unique_ptr<Resource> goResource;
std::shared_ptr<ProjectApplication> goProjApp;
std::unique_ptr<NewProjectDefinition> goNewProjDef;
std::unique_ptr<ProjectDefinitionFactory> goProjDefFactory;
OrderedMap<std::string> gdictDBDrivers;
std::string gsMsgTitle;

namespace {
NullMessageSink g_null_sink;
MessageSink* g_sink = &g_null_sink;
}  // namespace

MessageSink& Messages() { return *g_sink; }
void SetMessageSink(MessageSink* sink) { g_sink = sink ? sink : &g_null_sink; }

void ResetHostGlobals() {
  if (goProjApp) {
    try {
      goProjApp->Shutdown();
    } catch (...) {
    }
  }
  goProjApp.reset();
  goResource.reset();
  goNewProjDef.reset();
  goProjDefFactory.reset();
  gdictDBDrivers.Clear();
  SetShippedFilesFolder("");
  gsMsgTitle.clear();
  SetMessageSink(nullptr);
}

}  // namespace vl
