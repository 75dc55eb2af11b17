#include "app/create_command.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>

#include "app/command_line_checks.h"
#include "app/creation_run.h"
#include "app/ext_project_locations.h"
#include "app/report_writers.h"
#include "app/results_page.h"
#include "app/review_page.h"
#include "app/run_recovery.h"
#include "app/run_sql_log.h"
#include "app/verify/verify_command.h"
#include "host/db/pg_pipeline.h"
#include "host/text/convert.h"
#include "host/text/user_text.h"

namespace vl {

namespace {

namespace fs = std::filesystem;

// Prints `text` as a problem of the command and adds it to the report.
void Problem(RunReport& report, std::ostream& err, const std::string& text,
             const char* severity = "error") {
  err << "vlbaseline: " << (std::string(severity) == "note" ? "note: " : "") << text << "\n";
  report.messages.push_back({0, severity, text, "", 0, ""});
}

// The new project's place as the options and the baseline give it, before
// anything is checked or created. A database entry given in another letter
// case than the list's is the list's entry.
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
    c.folder = (fs::current_path() / FolderNameFrom(c.name)).string();
  c.databases = session.gdictDBDrivers.Keys();
  c.database = o.database.empty()
                   ? (o.HasPgSettings() ? kPostgreSQLDisplayName : kSQLiteDisplayName)
                   : o.database;
  for (const std::string& entry : c.databases)
    if (EqualsNoCase(entry, c.database)) c.database = entry;
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

// Step 2: the options the baseline holds. Traces to external projects are
// copied with the traces only.
void CompleteOptionsStep(Session& session, const CommandLineOptions& o, std::ostream& err,
                         RunReport& report) {
  BLProjInfo& d = *session.goBLProjInfo;
  auto choose = [&](bool asked, bool held, const char* what, void (BLProjInfo::*set)(bool)) {
    if (asked && !held && !o.all)
      Problem(report, err, std::string("the baseline holds no ") + what, "note");
    (d.*set)((asked || o.all) && held);
  };
  choose(o.traces, d.isBLXMLContainsTraces(), "traces", &BLProjInfo::SetCreateTraces);
  choose(o.history, d.isBLXMLContainsHist(), "history", &BLProjInfo::SetCreateHist);
  choose(o.discussions, d.isBLXMLContainsDisc(), "discussions", &BLProjInfo::SetCreateDisc);
  bool ext_possible = d.CreateTraces() && d.isBLXMLContainsExtTraces();
  if (o.external_traces && d.CreateTraces() && !ext_possible && !o.all)
    Problem(report, err, "the baseline holds no traces to external projects", "note");
  d.SetCreateExtTraces((o.external_traces || o.all) && ext_possible);
}

// Step 3: the external projects' locations. A GUID the baseline does not
// name, or a file that is not there, is a usage error.
int CompleteExternalStep(Session& session, const CommandLineOptions& o, std::ostream& err,
                         RunReport& report) {
  BLProjInfo& d = *session.goBLProjInfo;
  std::vector<clsExtProjInfo> rows;
  d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) { rows.push_back(p); });
  std::vector<std::string> located;
  for (const auto& [guid, file] : o.externals) {
    // Named for the lambda: some compilers cannot capture a structured binding.
    auto row = std::find_if(rows.begin(), rows.end(),
                            [&wanted = guid](auto& r) { return NormalGuid(r.GUID) == wanted; });
    if (row == rows.end()) {
      Problem(report, err, "--external " + guid + ": the baseline has no external project " + guid);
      return kExitUsage;
    }
    std::error_code ec;
    if (!fs::exists(file, ec)) {
      Problem(report, err, "--external " + guid + " (" + row->Name + "): no such file: " + file);
      return kExitUsage;
    }
    row->Loc = fs::absolute(file).lexically_normal().string();
    located.push_back(row->GUID);
  }
  if (!SaveExtProjLocations(rows, d, session.messages)) return kExitFailed;
  // The user sees where each accepted location leads before the run
  // connects to it.
  for (const std::string& guid : located)
    if (const clsExtProjInfo* p = d.colExtProjs().Find(guid); p && !o.quiet)
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
// server. Exact seconds: benchmarks read them.
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
                        RunReport& report, bool& finishedBefore) {
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
      Problem(report, err, left.description, "note");
      if (left.kind == LeftoverOutcome::Kind::kFinished && left.baseline_guid == d.BLXMLGUID() &&
          left.final_project == project_file) {
        out << "Project created: " << project_file
            << " (by the run that was stopped; this run finished putting it in place)" << std::endl;
        report.status = "created";
        report.project.file = project_file;
        finishedBefore = true;
      }
    }
  } catch (const VlError& e) {
    Problem(report, err, e.description());
    return kExitFailed;
  } catch (const RunCancelled& c) {
    err << "vlbaseline: interrupted: nothing was created\n";
    return 128 + c.reason;
  }
  return kExitOk;
}

// The line that ends the tool's output for a creation.
void PrintStatusLine(const RunReport& r, bool created, const CreationRun& run, double seconds,
                     std::ostream& out) {
  if (created)
    out << "Project created: " << run.created_project();
  else
    out << (run.cancelled() ? "Interrupted: nothing was created"
                            : "Project creation stopped: nothing was created")
        << "; the results page is " << run.results_file_name();
  // The count without separators: scripts read it.
  out << " (" << r.results_lines << " results " << (r.results_lines == 1 ? "line" : "lines") << ", "
      << MessageCountsText(r) << ", " << SecondsText(seconds) << ")" << std::endl;
}

// The checks passed and the steps are complete: the creation run, its
// results page, the summary and the status line.
int RunCreation(Session& session, const CommandLineOptions& o, const std::string& programDir,
                ConsoleMessageSink& sink, std::ostream& out, std::ostream& err,
                const CancelRequest* cancel, RunReport& report, bool folderExisted,
                double checkSeconds) {
  // Outlives the run: the databases report their last statements when
  // the run closes them.
  RunSqlLog sql_log;
  if (!o.sql_log.empty() && !OpenSqlLog(o.sql_log, sql_log, err)) return kExitFailed;
  if (!o.sql_log.empty() || o.stage_times) AttachRunSqlLog(session.goProjApp.get(), &sql_log);
  auto start = std::chrono::steady_clock::now();
  const long round_trips_before = PgPipeline::TotalRoundTrips();
  CreationRun run(session, cancel);
  run.SetFolderMadeForRun(!folderExisted);
  session.verify_after_run = o.verify;
  bool verified = true;
  // The run's messages reach the report through its results page.
  sink.SetLog(nullptr);
  bool ok = ExecuteActionsAndWriteResultsPage(
      session, run, nullptr,
      [&] {
        if (session.verify_after_run && !run.created_project().empty())
          verified = AddVerificationResults(session, run.created_project(), programDir);
      },
      &report);
  sink.SetLog(&report.messages);
  sink.EndProgress();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  AttachRunSqlLog(session.goProjApp.get(), nullptr);
  if (o.verify && ok) report.verified = verified ? 1 : 0;
  out.flush();
  if (!o.quiet) WriteSummaryText(report, out);
  PrintStatusLine(report, ok, run, seconds, out);
  if (o.stage_times)
    PrintStageTimes(checkSeconds, run, sql_log, PgPipeline::TotalRoundTrips() - round_trips_before,
                    o.json ? err : out);
  std::string log_error;
  if (!sql_log.Close(log_error)) {
    Problem(report, err, log_error);
    return kExitFailed;
  }
  // A signal ends the tool as it would have ended it: 128 + its number.
  if (!ok && run.cancelled() > 0) return 128 + run.cancelled();
  if (ok && !verified) {
    report.reason = "the verification of the new project found differences";
    Problem(report, err, report.reason);
  }
  return ok && verified ? kExitOk : kExitFailed;
}

}  // namespace

int RunCreateCommand(Session& session, const CommandLineOptions& o, const std::string& programDir,
                     ConsoleMessageSink& sink, std::ostream& out, std::ostream& err,
                     const CancelRequest* cancel, RunReport& report) {
  // Everything is checked before anything is asked or created.
  const TargetChoice target = ChooseTarget(session, o);
  report.project.name = target.name;
  report.project.database = target.database;
  if (o.HasPgSettings() && target.database != kPostgreSQLDisplayName) {
    Problem(report, err, std::string("the --pg options need --database ") + kPostgreSQLDisplayName);
    return kExitUsage;
  }
  bool finished_before = false;
  if (int status =
          ClearLeftoversFirst(session, o, target, cancel, out, err, report, finished_before);
      status != kExitOk || finished_before)
    return status;
  TargetCheckResult checked;
  if (!ReportTargetCheck(target, checked, err, report)) return TargetFaultStatus(o, checked);
  report.project.file = (fs::path(checked.folder) / (checked.file_name + ".vlp")).string();
  CompleteOptionsStep(session, o, err, report);
  if (int ext = CompleteExternalStep(session, o, err, report); ext != kExitOk) return ext;
  double check_seconds = 0;
  if (!CheckBaselineBeforeRun(session, checked.file_name, o.command == "create", o.quiet, err,
                              check_seconds, report, cancel))
    return cancel && cancel->load() != 0 ? 128 + cancel->load() : kExitFailed;
  std::error_code ec;
  const bool folder_existed = fs::exists(checked.folder, ec);
  if (!CompleteProjectStep(session, o, target, checked)) return kExitFailed;
  report.project = PlannedProjectPlace(session);
  if (o.command == "review") {
    if (!CreateReviewHTML(session)) return kExitFailed;
    report.review_page = session.goBLProjInfo->ReviewHTMLLoc();
    out << report.review_page << std::endl;
    return kExitOk;
  }
  return RunCreation(session, o, programDir, sink, out, err, cancel, report, folder_existed,
                     check_seconds);
}

}  // namespace vl
