// The command-line tool `vlbaseline`: validate a baseline folder, or create
// a project from it the way the wizard's steps would, without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/console_sink.h"
#include "errors/run_cancelled.h"

namespace vl {

// Exit codes. A run stopped by a signal ends with 128 + its number (130
// after SIGINT, 143 after SIGTERM).
constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2;

struct CommandLineOptions {
  std::string command;  // "validate", "create", "review", "verify"
  std::string baseline;
  std::string project;  // verify: the project file
  bool json = false;    // the report as one JSON document on standard output
  std::string folder, name, description, database;
  bool has_folder = false, has_name = false, has_description = false;
  bool traces = false, external_traces = false, history = false, discussions = false;
  bool all = false, yes = false, quiet = false, verbose = false, help = false, version = false;
  bool stage_times = false;
  bool verify = false;  // create: verify the project after the run
  std::string sql_log;  // file for the statements of the run, "" for none
  // GUID (upper case, in braces), project file.
  std::vector<std::pair<std::string, std::string>> externals;
  // PostgreSQL server settings (--pg-host, --pg-port, --pg-db, --pg-user,
  // --pg-schema, --pg-conninfo); empty ones take their defaults.
  std::string pg_host, pg_port, pg_db, pg_user, pg_schema, pg_conninfo;
  bool HasPgSettings() const;
  // Options given that do nothing with the command (or without another
  // option), each as a note: "--verify does nothing with review".
  std::vector<std::string> notes;
};

// `text` as a GUID in its usual form (upper case, in braces) when it is
// one, with or without braces and in any letter case; "" otherwise.
std::string NormalGuid(const std::string& text);

// Parses the arguments after the program name. On a usage error returns
// false with `error` set.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& options,
                      std::string& error);

std::string CommandLineHelp();

// Runs the tool. `programDir` is where the resource file lies; `interactive`
// tells whether questions may be asked on `in`.
// `cancel`, when given, stops a creation run when it is set (a signal).
// `terminals` tells which of `out` and `err` are terminals.
int RunCommandLine(const std::vector<std::string>& args, const std::string& programDir,
                   std::ostream& out, std::ostream& err, std::istream& in, bool interactive,
                   const CancelRequest* cancel = nullptr, ConsoleTerminals terminals = {});

}  // namespace vl
