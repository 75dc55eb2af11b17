#include "app/command_line.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/command_line_checks.h"
#include "app/console_sink.h"
#include "app/creation_run.h"
#include "app/ext_project_locations.h"
#include "app/mod_wizard.h"
#include "app/results_page.h"
#include "app/review_page.h"
#include "app/run_recovery.h"
#include "app/run_sql_log.h"
#include "app/verify/verify_command.h"
#include "app/version.h"
#include "host/db/pg_pipeline.h"

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
  options.externals.emplace_back(spec.substr(0, eq), spec.substr(eq + 1));
  return true;
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

bool CommandLineOptions::HasPgSettings() const {
  return !pg_host.empty() || !pg_port.empty() || !pg_db.empty() || !pg_user.empty() ||
         !pg_schema.empty() || !pg_conninfo.empty();
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& o,
                      std::string& error) {
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
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
    return true;
  }
  if (positional.size() != 2) {
    error = o.command + " needs exactly one BASELINE folder";
    return false;
  }
  o.baseline = positional[1];
  return true;
}

std::string CommandLineHelp() {
  return R"(Usage:
  vlbaseline validate BASELINE
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
             the tool asks whether to go on. Then the creation run.
             Results lines go to standard output, messages to standard
             error. The project appears only when the whole run has
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
                        baseline's external project GUID (repeatable).
  --yes                 Answer yes to every question (for scripts).
  --quiet               Print only a final summary instead of every line.
  --stage-times         After the summary, print the time of each stage (the
                        baseline check first) and the number of statements
                        the new database ran.
  --sql-log FILE        Write every statement the new database ran, each
                        followed by ";", to FILE: its own shell replays it
                        (sqlite3 NEW.db < FILE).
  --help                This text.
  --version, -V         Print the program's name and version.

Options the baseline does not hold are ignored with a note.
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

// The new project's place as the options and the baseline give it, before
// anything is checked or created.
TargetChoice ChooseTarget(Session& session, const CommandLineOptions& o) {
  const BLProjInfo& d = *session.goBLProjInfo;
  TargetChoice c;
  c.baseline_folder = d.BLXMLLoc();
  c.name = o.has_name ? o.name : d.VLPName();
  std::string install;
  if (o.has_folder)
    c.folder = o.folder;
  else if (ReadVelloqInstallDir(install))
    c.folder = d.VLPFolder();
  else
    c.folder = (std::filesystem::current_path() / FolderNameFrom(c.name)).string();
  c.database = o.database.empty()
                   ? (o.HasPgSettings() ? kPostgreSQLDisplayName : kSQLiteDisplayName)
                   : o.database;
  c.databases = session.gdictDBDrivers.Keys();
  c.connection.host = o.pg_host;
  c.connection.port = o.pg_port;
  c.connection.database = o.pg_db;
  c.connection.user = o.pg_user;
  c.connection.schema = o.pg_schema;
  c.connection.conninfo = o.pg_conninfo;
  return c;
}

// A place that cannot be used is a usage error, unless the fault lies only
// in the project name the baseline gave (no --name).
int TargetFaultStatus(const CommandLineOptions& o, const TargetCheckResult& checked) {
  for (const TargetProblem& p : checked.problems)
    if (p.field != TargetField::kName || o.has_name) return kExitUsage;
  return kExitFailed;
}

// Step 1 for a checked place: name, folder, description and database into
// the descriptor; then the settings check, which may ask to create the
// folder.
bool CompleteProjectStep(Session& session, const CommandLineOptions& o, const TargetChoice& c,
                         const TargetCheckResult& checked) {
  BLProjInfo& d = *session.goBLProjInfo;
  d.SetVLPName(c.name);
  d.SetVLPFolder(checked.folder);
  if (o.has_description) d.SetVLPDesc(o.description);
  const auto it = std::find(c.databases.begin(), c.databases.end(), c.database);
  d.SetVLPDBType(static_cast<int32_t>(it - c.databases.begin()) + 1);
  d.SetVLPDBDisplayName(c.database);
  if (o.HasPgSettings()) session.goNewProjDef->GetConnection() = c.connection;
  return d.ValidateVLPSettings(*session.goNewProjDef, session.gdictDBDrivers);
}

// Step 2: the options the baseline holds.
void CompleteOptionsStep(Session& session, const CommandLineOptions& o, std::ostream& err) {
  BLProjInfo& d = *session.goBLProjInfo;
  auto choose = [&](bool asked, bool held, const char* what, void (BLProjInfo::*set)(bool)) {
    if (asked && !held && !o.all) err << "vlbaseline: note: the baseline holds no " << what << "\n";
    (d.*set)((asked || o.all) && held);
  };
  choose(o.traces || o.external_traces, d.isBLXMLContainsTraces(), "traces",
         &BLProjInfo::SetCreateTraces);
  choose(o.history, d.isBLXMLContainsHist(), "history", &BLProjInfo::SetCreateHist);
  choose(o.discussions, d.isBLXMLContainsDisc(), "discussions", &BLProjInfo::SetCreateDisc);
  bool ext_possible = d.CreateTraces() && d.isBLXMLContainsExtTraces();
  if (o.external_traces && !ext_possible && !o.all)
    err << "vlbaseline: note: the baseline holds no traces to external projects\n";
  d.SetCreateExtTraces((o.external_traces || o.all) && ext_possible);
}

// Step 3: the external projects' locations.
int CompleteExternalStep(Session& session, const CommandLineOptions& o, std::ostream& err) {
  BLProjInfo& d = *session.goBLProjInfo;
  std::vector<clsExtProjInfo> rows;
  d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) { rows.push_back(p); });
  for (const auto& [guid, file] : o.externals) {
    // Named for the lambda: some compilers cannot capture a structured binding.
    auto row = std::find_if(rows.begin(), rows.end(),
                            [&wanted = guid](auto& r) { return r.GUID == wanted; });
    if (row == rows.end()) {
      err << "vlbaseline: the baseline has no external project " << guid << "\n";
      return kExitUsage;
    }
    row->Loc = std::filesystem::absolute(file).lexically_normal().string();
  }
  if (!SaveExtProjLocations(rows, d, session.messages)) return kExitFailed;
  // The user sees where each accepted location leads before the run
  // connects to it.
  for (const auto& [guid, file] : o.externals)
    if (const clsExtProjInfo* p = d.colExtProjs().Find(guid))
      err << "vlbaseline: external project " << p->Name << ": " << p->Loc << ", "
          << EscapeControls(DescribeProjectPlace(p->Loc), true) << "\n";
  return kExitOk;
}

bool OpenSqlLog(const std::string& path, RunSqlLog& log, std::ostream& err) {
  std::string error;
  if (log.Open(path, error)) return true;
  err << "vlbaseline: " << error << "\n";
  return false;
}

// One line per stage, in the order they ran (the baseline check first),
// then the statement count and the times the run waited for a database
// server.
void PrintStageTimes(double checkSeconds, const CreationRun& run, const RunSqlLog& log,
                     long roundTrips, std::ostream& out) {
  out << "Stage times:\n";
  out << "  CheckBaseline " << checkSeconds << " s\n";
  for (const CreationRun::StageTime& t : run.stage_times())
    out << "  " << t.stage << " " << t.seconds << " s\n";
  out << "Statements executed: " << log.statements() << "\n";
  out << "Server round trips: " << roundTrips << std::endl;
}

// What runs that were stopped left in the new project's folder and in the
// external projects' folders is finished or undone before anything is
// checked, so that the checks see the projects as they are. When a run of
// this very baseline into this very place had finished its work, that is
// said and `finishedBefore` set: there is nothing left to do.
// Returns the tool's status when it must stop, kExitOk otherwise.
int ClearLeftoversFirst(Session& session, const CommandLineOptions& o, const TargetChoice& target,
                        const CancelRequest* cancel, std::ostream& out, std::ostream& err,
                        bool& finishedBefore) {
  namespace fs = std::filesystem;
  if (o.command != "create") return kExitOk;
  const BLProjInfo& d = *session.goBLProjInfo;
  // The project file is named after its folder.
  const std::string folder = AbsoluteFolder(target.folder);
  const std::string project_file =
      (fs::path(folder) / (fs::path(folder).filename().string() + ".vlp")).string();
  std::vector<std::string> externals;
  for (const auto& [guid, file] : o.externals) {
    // What is no project file is refused by the checks that follow.
    std::error_code ec;
    if (fs::is_regular_file(file, ec))
      externals.push_back(fs::absolute(file).lexically_normal().string());
  }
  ProjectLocks locks;
  try {
    for (const LeftoverOutcome& left : ClearLeftoversAround(
             folder, externals, *session.goProjApp, locks, kLockWaitSeconds,
             [&](const std::string& other) {
               err << "vlbaseline: waiting for another creation run that works on the project \""
                   << other << "\" ..." << std::endl;
             },
             [&] {
               if (cancel && cancel->load() != 0) throw RunCancelled{cancel->load()};
             })) {
      err << "vlbaseline: " << left.description << "\n";
      if (left.kind == LeftoverOutcome::Kind::kFinished && left.baseline_guid == d.BLXMLGUID() &&
          left.final_project == project_file) {
        out << "Project created: " << project_file
            << " (by the run that was stopped; this run finished putting it in place)" << std::endl;
        finishedBefore = true;
      }
    }
  } catch (const VlError& e) {
    err << "vlbaseline: " << e.description() << "\n";
    return kExitFailed;
  } catch (const RunCancelled& c) {
    err << "vlbaseline: interrupted: nothing was created\n";
    return 128 + c.reason;
  }
  return kExitOk;
}

int RunCreate(Session& session, const CommandLineOptions& o, const std::string& programDir,
              ConsoleMessageSink& sink, std::ostream& out, std::ostream& err,
              const CancelRequest* cancel) {
  // Everything is checked before anything is asked or created.
  const TargetChoice target = ChooseTarget(session, o);
  TargetCheckResult checked;
  if (o.HasPgSettings() && target.database != kPostgreSQLDisplayName) {
    err << "vlbaseline: the --pg options need --database " << kPostgreSQLDisplayName << "\n";
    return kExitUsage;
  }
  bool finished_before = false;
  if (int status = ClearLeftoversFirst(session, o, target, cancel, out, err, finished_before);
      status != kExitOk || finished_before)
    return status;
  if (!ReportTargetCheck(target, checked, err)) return TargetFaultStatus(o, checked);
  CompleteOptionsStep(session, o, err);
  int ext = CompleteExternalStep(session, o, err);
  if (ext != kExitOk) return ext;
  double check_seconds = 0;
  if (!CheckBaselineBeforeRun(session, checked.file_name, o.command == "create", o.quiet, err,
                              check_seconds))
    return kExitFailed;
  std::error_code ec;
  const bool folder_existed = std::filesystem::exists(checked.folder, ec);
  if (!CompleteProjectStep(session, o, target, checked)) return kExitFailed;
  if (o.command == "review") {
    if (!CreateReviewHTML(session)) return kExitFailed;
    out << session.goBLProjInfo->ReviewHTMLLoc() << std::endl;
    return kExitOk;
  }
  // Outlives the run: the databases report their last statements when
  // the run closes them.
  RunSqlLog sql_log;
  if (!o.sql_log.empty() && !OpenSqlLog(o.sql_log, sql_log, err)) return kExitFailed;
  if (!o.sql_log.empty() || o.stage_times) AttachRunSqlLog(session.goProjApp.get(), &sql_log);
  auto start = std::chrono::steady_clock::now();
  const long round_trips_before = PgPipeline::TotalRoundTrips();
  CreationRun run(session, cancel);
  run.SetFolderMadeForRun(!folder_existed);
  session.verify_after_run = o.verify;
  bool verified = true;
  bool ok = ExecuteActionsAndWriteResultsPage(session, run, nullptr, [&] {
    if (session.verify_after_run && !run.created_project().empty())
      verified = AddVerificationResults(session, run.created_project(), programDir);
  });
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  AttachRunSqlLog(session.goProjApp.get(), nullptr);
  out.flush();
  if (ok) {
    out << "Project created: " << run.created_project();
  } else {
    out << (run.cancelled() ? "Interrupted: nothing was created"
                            : "Project creation stopped: "
                              "nothing was created")
        << "; the results page is " << run.results_file_name();
  }
  out << " (" << sink.results_lines() << " results lines, " << sink.messages_shown()
      << " messages, " << seconds << " s)" << std::endl;
  if (o.stage_times)
    PrintStageTimes(check_seconds, run, sql_log, PgPipeline::TotalRoundTrips() - round_trips_before,
                    out);
  std::string log_error;
  if (!sql_log.Close(log_error)) {
    err << "vlbaseline: " << log_error << "\n";
    return kExitFailed;
  }
  // A signal ends the tool as it would have ended it: 128 + its number.
  if (!ok && run.cancelled() > 0) return 128 + run.cancelled();
  if (ok && !verified) err << "vlbaseline: the verification of the new project found differences\n";
  return ok && verified ? kExitOk : kExitFailed;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, const std::string& programDir,
                   std::ostream& out, std::ostream& err, std::istream& in, bool interactive,
                   const CancelRequest* cancel, ConsoleTerminals terminals) {
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
  if (o.command == "verify") return RunVerifyCommand(o, programDir, out, err);
  ConsoleMessageSink sink(out, err, in, interactive, o.yes, o.quiet, terminals);
  Session session(&sink);
  int status = kExitFailed;
  if (session.CreateGlobalObjects() && session.InitGlobalObjects(programDir)) {
    std::string folder = std::filesystem::absolute(o.baseline).lexically_normal().string();
    if (session.goBLProjInfo->ValidateBLProj(StripTrailingSlash(folder))) {
      if (o.command == "validate") {
        PrintBaseline(session, out);
        status = CheckWholeBaseline(session, out, err) ? kExitOk : kExitFailed;
      } else {
        status = RunCreate(session, o, programDir, sink, out, err, cancel);
      }
    }
  }
  out.flush();
  return status;
}

}  // namespace vl
