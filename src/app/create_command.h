// `vlbaseline create` and `vlbaseline review`: the wizard's steps taken
// from the command line's options, the checks before anything is asked or
// created, then the review page or the creation run.
#pragma once

#include <iosfwd>
#include <string>

#include "app/command_line.h"
#include "app/console_sink.h"
#include "app/mod_wizard.h"
#include "app/run_report.h"

namespace vl {

// Runs `o.command` ("create" or "review") for the baseline the session's
// descriptor has validated. Text for people goes to `out`, messages and
// problems to `err`; `report` receives what the command did. `cancel`,
// when set (a signal), stops the check or the run. Returns the exit
// status.
int RunCreateCommand(Session& session, const CommandLineOptions& o, const std::string& programDir,
                     ConsoleMessageSink& sink, std::ostream& out, std::ostream& err,
                     const CancelRequest* cancel, RunReport& report);

}  // namespace vl
