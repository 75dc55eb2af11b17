// The wizard program's one session (its resource texts, descriptor,
// project application, new-project definition and messages) and its
// window-side state, from start-up to the end of the program.
#pragma once

#include "app/mod_wizard.h"

namespace vl {

// The session of the running wizard. Start-up makes it (StartSession);
// every part of the window reaches it here.
Session& AppSession();
// Makes a new session whose messages go to `sink`, replacing any earlier
// one; EndSession ends it.
Session& StartSession(MessageSink* sink);
void EndSession();

// The help file has been opened since start-up.
extern bool gbHelpShown;

}  // namespace vl
