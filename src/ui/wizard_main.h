// The wizard program's start-up: one instance per user, the global
// objects, the message sink, then the wizard window until it ends.
#pragma once

namespace vl {

// The message shown to a second instance (it then ends at once).
inline constexpr const char* kAnotherInstanceMessage =
    "Another instance of the Create Project from Baseline application is already running.";

// The program's entry point. Returns the process's exit status: 0 when the
// window ran and ended, 1 when start-up failed. Errors are reported under
// "Modwizard.Main".
int Main(int argc, char** argv);

// Window-side globals back to their state before start-up (the help window
// closed, no form, no session).
void ResetUiGlobals();

}  // namespace vl
