// `vlbaseline verify BASELINE PROJECT.vlp`: the verification on the
// command line.
#pragma once

#include <iosfwd>
#include <string>

#include "app/command_line.h"
#include "app/mod_wizard.h"

namespace vl {

// Verifies `o.project` against `o.baseline` and prints the report (text,
// or JSON with --json) to `out`. The run's choices are those given
// (--history, --traces, --discussions, --all: exactly those) or, with
// none given, what the project records. Returns kExitOk when everything
// matches, kExitFailed on a difference or when the project cannot be
// verified (the reason on `err`).
int RunVerifyCommand(const CommandLineOptions& o, const std::string& programDir, std::ostream& out,
                     std::ostream& err);

// Verifies the project a run of `session` has just created at
// `projectFile`, with the choices that run took, and adds the report (the
// counts per kind, then each difference) as results lines. `resourceDir`
// holds the resource file. True when the project matches its baseline.
bool AddVerificationResults(Session& session, const std::string& projectFile,
                            const std::string& resourceDir);

}  // namespace vl
