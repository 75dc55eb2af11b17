#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "app/command_line_checks.h"
#include "app/console_sink.h"
#include "app/create_command.h"
#include "app/mod_wizard.h"
#include "app/report_writers.h"
#include "app/verify/verify_command.h"
#include "app/version.h"

namespace vl {

namespace {

bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value,
               std::string& error) {
  if (i + 1 >= args.size()) {
    error = "option " + args[i] + " needs a value";
    return false;
  }
  value = args[++i];
  return true;
}

bool ParseExternal(const std::string& spec, CommandLineOptions& options, std::string& error) {
  size_t eq = spec.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == spec.size()) {
    error = "--external needs GUID=PROJECT.vlp, got \"" + spec + "\"";
    return false;
  }
  const std::string guid = NormalGuid(spec.substr(0, eq));
  if (guid.empty()) {
    error = "--external needs GUID=PROJECT.vlp: \"" + spec.substr(0, eq) + "\" is no GUID";
    return false;
  }
  options.externals.emplace_back(guid, spec.substr(eq + 1));
  return true;
}

// The commands each option acts in; an option given to another command
// does nothing, and the user is told so.
const std::map<std::string, std::set<std::string>>& OptionCommands() {
  static const std::set<std::string> kPlan = {"create", "review"};
  static const std::set<std::string> kChoices = {"create", "review", "verify"};
  static const std::set<std::string> kOutput = {"validate", "create", "review"};
  static const std::map<std::string, std::set<std::string>> kCommands = {
      {"--folder", kPlan},       {"--name", kPlan},
      {"--description", kPlan},  {"--database", kPlan},
      {"--pg-host", kPlan},      {"--pg-port", kPlan},
      {"--pg-db", kPlan},        {"--pg-user", kPlan},
      {"--pg-schema", kPlan},    {"--pg-conninfo", kPlan},
      {"--external", kPlan},     {"--yes", kPlan},
      {"--traces", kChoices},    {"--external-traces", kChoices},
      {"--history", kChoices},   {"--discussions", kChoices},
      {"--all", kChoices},       {"--verify", {"create"}},
      {"--sql-log", {"create"}}, {"--stage-times", {"create"}},
      {"--quiet", kOutput},      {"--verbose", kOutput}};
  return kCommands;
}

// Notes on the options `given` that do nothing with the command, or
// without another option.
void NoteIdleOptions(const std::set<std::string>& given, CommandLineOptions& o) {
  for (const std::string& option : given) {
    auto it = OptionCommands().find(option);
    if (it != OptionCommands().end() && !it->second.contains(o.command))
      o.notes.push_back(option + " does nothing with " + o.command);
  }
  if (o.external_traces && !o.traces && !o.all && o.command != "validate")
    o.notes.push_back("--external-traces does nothing without --traces: no traces are copied");
  if (o.verbose && o.quiet)
    o.notes.push_back("--verbose does nothing with --quiet: only problems are printed");
}

// The PostgreSQL server options; true when args[i] is one of them (with
// `error` set when its value is missing).
bool TakePgOption(const std::vector<std::string>& args, size_t& i, CommandLineOptions& o,
                  std::string& error) {
  const std::pair<const char*, std::string CommandLineOptions::*> options[] = {
      {"--pg-host", &CommandLineOptions::pg_host},
      {"--pg-port", &CommandLineOptions::pg_port},
      {"--pg-db", &CommandLineOptions::pg_db},
      {"--pg-user", &CommandLineOptions::pg_user},
      {"--pg-schema", &CommandLineOptions::pg_schema},
      {"--pg-conninfo", &CommandLineOptions::pg_conninfo}};
  for (const auto& [name, field] : options) {
    if (args[i] != name) continue;
    TakeValue(args, i, o.*field, error);
    return true;
  }
  return false;
}

}  // namespace

std::string NormalGuid(const std::string& text) {
  std::string hex = text;
  if (hex.size() == 38 && hex.front() == '{' && hex.back() == '}') hex = hex.substr(1, 36);
  if (hex.size() != 36) return "";
  for (size_t i = 0; i < hex.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? hex[i] != '-' : !std::isxdigit(static_cast<unsigned char>(hex[i]))) return "";
    hex[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(hex[i])));
  }
  return "{" + hex + "}";
}

bool CommandLineOptions::HasPgSettings() const {
  return !pg_host.empty() || !pg_port.empty() || !pg_db.empty() || !pg_user.empty() ||
         !pg_schema.empty() || !pg_conninfo.empty();
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& o,
                      std::string& error) {
  std::vector<std::string> positional;
  std::set<std::string> given;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
    if (a == "-y" || a == "-q" || a == "-v")
      given.insert(a == "-y" ? "--yes" : a == "-q" ? "--quiet" : "--verbose");
    else if (a.starts_with("--"))
      given.insert(a);
    if (a == "--help" || a == "-h")
      o.help = true;
    else if (a == "--version" || a == "-V")
      o.version = true;
    else if (a == "--traces")
      o.traces = true;
    else if (a == "--external-traces")
      o.external_traces = true;
    else if (a == "--history")
      o.history = true;
    else if (a == "--discussions")
      o.discussions = true;
    else if (a == "--all")
      o.all = true;
    else if (a == "--yes" || a == "-y")
      o.yes = true;
    else if (a == "--quiet" || a == "-q")
      o.quiet = true;
    else if (a == "--verbose" || a == "-v")
      o.verbose = true;
    else if (a == "--stage-times")
      o.stage_times = true;
    else if (a == "--json")
      o.json = true;
    else if (a == "--verify")
      o.verify = true;
    else if (a == "--sql-log") {
      if (!TakeValue(args, i, o.sql_log, error)) return false;
    } else if (a == "--folder") {
      if (!TakeValue(args, i, o.folder, error)) return false;
      o.has_folder = true;
    } else if (a == "--name") {
      if (!TakeValue(args, i, o.name, error)) return false;
      o.has_name = true;
    } else if (a == "--description") {
      if (!TakeValue(args, i, o.description, error)) return false;
      o.has_description = true;
    } else if (a == "--database") {
      if (!TakeValue(args, i, o.database, error)) return false;
    } else if (TakePgOption(args, i, o, error)) {
      if (!error.empty()) return false;
    } else if (a == "--external") {
      if (!TakeValue(args, i, v, error) || !ParseExternal(v, o, error)) return false;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else
      positional.push_back(a);
  }
  if (o.help || o.version) return true;
  if (positional.empty()) {
    error = "no command given";
    return false;
  }
  o.command = positional[0];
  if (o.command != "validate" && o.command != "create" && o.command != "review" &&
      o.command != "verify") {
    error = "unknown command \"" + o.command + "\"";
    return false;
  }
  if (o.command == "verify") {
    if (positional.size() != 3) {
      error = "verify needs a BASELINE folder and a PROJECT.vlp file";
      return false;
    }
    o.baseline = positional[1];
    o.project = positional[2];
    NoteIdleOptions(given, o);
    return true;
  }
  if (positional.size() != 2) {
    error = o.command + " needs exactly one BASELINE folder";
    return false;
  }
  o.baseline = positional[1];
  NoteIdleOptions(given, o);
  return true;
}

std::string CommandLineHelp() {
  return R"(Usage:
  vlbaseline validate BASELINE [--json] [--quiet | --verbose]
  vlbaseline create BASELINE [options]
  vlbaseline review BASELINE [options]
  vlbaseline verify BASELINE PROJECT.vlp [--json] [choices]

Commands:
  validate   Checks the baseline folder and prints its label, time stamp,
             description, GUID, contents and external projects; then
             checks every file a creation run would read, every document
             file and every reference, and lists each problem with its
             file, line and element. Exit status 0 when the baseline is
             valid, 1 when a problem would stop a run or lose data.
  create     Creates a new project from the baseline, as the wizard does.
             First the new project's place (folder, name, database,
             schema) and then the baseline are checked, before anything
             is asked or created: a problem of the place is a usage error,
             a problem that would stop the run ends the tool with nothing
             created, and when parts of the baseline would not be copied
             the tool asks whether to go on. Then the creation run: on
             a terminal a progress line on standard error, then a
             summary (the project and its database, what was copied per
             kind, what waits for which other project and how it gets
             completed, the messages) and a status line on standard
             output. Messages go to standard error; the results lines
             (one per object) to the results page, and to standard
             output with --verbose. The project appears only when the
             whole run has
             succeeded; a run that fails or is interrupted (Ctrl-C,
             SIGTERM) removes what it made and changes no other project.
             What a killed run left is cleared by the next create into
             the same folder, or that names a project it was completing.
  review     Writes the review page of the planned project beside its
             project file, as the wizard's review step does, and prints
             the page's path, after the same checks as create. Nothing is
             created but the folder.
  verify     Proves that a project created from the baseline holds it:
             every object the run was to copy is looked for in the
             project's database with every field, as the copy rules give
             it. Prints a summary per kind and each difference (object,
             old and new GUID, field, baseline's and database's value).
             The run's choices are read from the project, or given with
             --history, --traces, --discussions, --all (then exactly
             those). --json prints the report as JSON. Exit status 0 when
             everything matches, 1 on a difference or when the project
             cannot be verified.

Options of create and review:
  --folder DIR          Folder of the new project (default: the Projects
                        folder of the installation, or the current folder,
                        followed by the baseline project's name); a relative
                        folder is taken from the current folder. The project
                        file is named after the folder's last part. It must
                        not be, or lie inside, the baseline folder, nor hold
                        a project of that name.
  --name NAME           Name of the new project (default: the baseline's).
  --description TEXT    Description (default: the baseline's).
  --database ENTRY      Database type, an entry of the database list
                        (default: SQLite, or PostgreSQL with a --pg option).
  --pg-host HOST        PostgreSQL server: host name, or socket folder.
  --pg-port PORT        PostgreSQL server port.
  --pg-db NAME          Database on the server.
  --pg-user USER        User to connect as. The password is never given
                        here: libpq takes it from ~/.pgpass, a service
                        file or PGPASSWORD.
  --pg-schema NAME      Schema that receives the project's tables (default:
                        made from the project name); it must not hold a
                        project yet, nor be a system schema
                        (information_schema, pg_...).
  --pg-conninfo TEXT    A libpq connection string ("host=H dbname=D" or
                        "postgresql://U@H:P/D"); the options above win.
                        Fields left out take libpq's defaults (PGHOST, ...).
  --verify              After the run, verify the new project against the
                        baseline (as verify does) and add the summary to
                        the results; exit status 1 when it differs.
  --traces              Copy traces.
  --external-traces     Copy traces to external projects (with --traces).
  --history             Copy version history.
  --discussions         Copy discussions.
  --all                 Copy everything the baseline holds.
  --external GUID=FILE  Location of the project file that stands for the
                        baseline's external project GUID (repeatable; the
                        GUID in any letter case, with or without braces).
  --yes                 Answer yes to every question (for scripts).
  --stage-times         After the summary, print the time of each stage (the
                        baseline check first) and the number of statements
                        the new database ran.
  --sql-log FILE        Write every statement the new database ran, each
                        followed by ";", to FILE: its own shell replays it
                        (sqlite3 NEW.db < FILE).

Options of validate, create and review:
  --json                Print one JSON document on standard output instead
                        of text: the status, the project and its database,
                        counts per kind, every message, what waits for
                        other projects, the exit status (see README.md).
  --quiet, -q           Print only the problems and the final status line.
  --verbose, -v         Print every results line, and name the procedure
                        and the error number in error reports.
  --help                This text.
  --version, -V         Print the program's name and version.

Options the baseline does not hold are ignored with a note, and so are
options that do nothing with the command given or without another option.
Exit status: 0 success, 1 stopped or invalid, 2 usage error (also a new
project's place that cannot be used), 130 or 143 when SIGINT or SIGTERM
stopped the run (nothing was created).
)";
}

namespace {

void PrintBaseline(const Session& session, std::ostream& out) {
  const BLProjInfo& d = *session.goBLProjInfo;
  out << "Label:       " << d.BLXMLLabel() << "\n"
      << "Time stamp:  " << d.BLXMLTimestamp() << "\n"
      << "Description: " << d.BLXMLDesc() << "\n"
      << "GUID:        " << d.BLXMLGUID() << "\n"
      << "Contains:    " << d.BLXMLOptionsList() << "\n";
  out << "External projects: " << d.colExtProjs().Count() << "\n";
  d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) {
    out << "  " << p.GUID << "  " << p.Prefix << "  " << p.Name << "\n";
  });
}

// The status word of a command's report from its exit status.
std::string StatusOf(const std::string& command, int status) {
  if (status == kExitUsage) return "usage_error";
  if (status > 128) return "interrupted";
  if (command == "validate") return status == kExitOk ? "valid" : "invalid";
  if (command == "review") return status == kExitOk ? "reviewed" : "failed";
  return status == kExitOk ? "created" : "failed";
}

// The text of the last error in `report` (else of the last warning).
std::string LastProblem(const RunReport& report) {
  for (const char* severity : {"error", "warning"})
    for (auto m = report.messages.rbegin(); m != report.messages.rend(); ++m)
      if (m->severity == severity) return m->text;
  return "";
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, const std::string& programDir,
                   std::ostream& out, std::ostream& err, std::istream& in, bool interactive,
                   const CancelRequest* cancel, ConsoleTerminals terminals) {
  const auto start = std::chrono::steady_clock::now();
  CommandLineOptions o;
  std::string error;
  if (!ParseCommandLine(args, o, error)) {
    err << "vlbaseline: " << error << "\n"
        << "Try 'vlbaseline --help'.\n";
    return kExitUsage;
  }
  if (o.help) {
    out << CommandLineHelp();
    return kExitOk;
  }
  if (o.version) {
    out << "vlbaseline " << kVersion << "\n";
    return kExitOk;
  }
  // Said also with --quiet: the command line itself asks for what is not done.
  for (const std::string& note : o.notes) err << "vlbaseline: note: " << note << "\n";
  if (o.command == "verify") return RunVerifyCommand(o, programDir, out, err);
  // With --json, standard output holds the JSON document alone.
  std::ostream discard(nullptr);
  std::ostream& text = o.json ? discard : out;
  ConsoleMessageSink sink(text, err, in, interactive, o.yes, o.quiet, terminals);
  sink.ShowResultsLines(o.verbose && !o.quiet, o.json);
  Session session(&sink);
  session.messages.SetProcedureDetails(o.verbose);
  sink.UseMessenger(&session.messages);
  RunReport report;
  report.command = o.command;
  for (const std::string& note : o.notes) report.messages.push_back({0, "note", note, "", 0, ""});
  sink.SetLog(&report.messages);
  int status = kExitFailed;
  if (session.CreateGlobalObjects() && session.InitGlobalObjects(programDir)) {
    const BLProjInfo& d = *session.goBLProjInfo;
    std::string folder = std::filesystem::absolute(o.baseline).lexically_normal().string();
    report.baseline_folder = StripTrailingSlash(folder);
    if (session.goBLProjInfo->ValidateBLProj(StripTrailingSlash(folder))) {
      report.baseline_guid = d.BLXMLGUID();
      report.baseline_label = d.BLXMLLabel();
      if (o.command == "validate") {
        if (!o.quiet) PrintBaseline(session, text);
        status =
            CheckWholeBaseline(session, text, err, report, o.quiet, cancel) ? kExitOk : kExitFailed;
        if (cancel && cancel->load() != 0) status = 128 + cancel->load();
      } else {
        status = RunCreateCommand(session, o, programDir, sink, text, err, cancel, report);
      }
    }
  }
  sink.EndProgress();
  text.flush();
  report.exit_status = status;
  if (report.status.empty() || (status > 128 && report.status != "interrupted") ||
      (status == kExitUsage))
    report.status = StatusOf(o.command, status);
  if (status != kExitOk && report.reason.empty()) report.reason = LastProblem(report);
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (o.json) WriteReportJson(report, out);
  out.flush();
  return status;
}

}  // namespace vl
