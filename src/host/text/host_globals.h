// Process-wide objects of the host layer, with their classic names. They
// live from start-up to the end of the process; ResetHostGlobals() brings
// them back to their state before start-up so each test starts clean.
#pragma once

#include <memory>
#include <string>

#include "errors/message_sink.h"
#include "host/project/new_project_definition.h"
#include "host/project/project.h"
#include "host/text/ordered_map.h"
#include "host/text/resource.h"

namespace vl {

extern std::unique_ptr<Resource> goResource;
extern std::shared_ptr<ProjectApplication> goProjApp;
extern std::unique_ptr<NewProjectDefinition> goNewProjDef;
extern std::unique_ptr<ProjectDefinitionFactory> goProjDefFactory;
// The database types offered: display name to driver name, in order.
extern OrderedMap<std::string> gdictDBDrivers;
// The title of every message box.
extern std::string gsMsgTitle;
// Where messages, questions and results lines go. Never null: a
// NullMessageSink until someone sets one.
MessageSink& Messages();
void SetMessageSink(MessageSink* sink);

void ResetHostGlobals();

}  // namespace vl
