#include "app/results_page.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "app/html_text.h"
#include "app/mod_wizard.h"
#include "app/report_writers.h"
#include "host/text/markup_escape.h"
#include "host/text/user_text.h"

namespace vl {

namespace {

// Resource ids of the texts that mark a message among the results lines.
constexpr long kResWarningLine = 6013, kResErrorLine = 6014;
// Messages listed in the summary; the detail holds all of them.
constexpr size_t kMessagesListed = 1000;
// The results lines are written to their file in pieces of about this size.
constexpr size_t kSpoolPiece = 1 << 16;

std::string Row(const std::string& heading, const std::string& value) {
  return "<tr><th>" + HtmlEscape(heading) + "</th><td>" + HtmlEscape(value) + "</td></tr>\n";
}

std::string StatusHtml(const RunReport& r) {
  if (r.status == "created")
    return "<p><strong>Created.</strong> The project is ready: " + HtmlEscape(r.project.file) +
           "</p>\n";
  if (r.status == "interrupted")
    return "<p><strong>Interrupted.</strong> The run was stopped; nothing was created, and the "
           "projects it would have completed are as they were.</p>\n";
  return "<p><strong>Not created.</strong> " +
         HtmlEscape(r.reason.empty() ? std::string("The run stopped.") : r.reason) +
         " Nothing was created, and the projects it would have completed are as they were.</p>\n";
}

std::string PlaceHtml(const ProjectPlace& p) {
  std::string html = "<table>\n" + Row("Project file", p.file) + Row("Database", p.database);
  if (!p.database_file.empty()) html += Row("Database file", p.database_file);
  if (!p.schema.empty())
    html += Row("Server", p.server.empty() ? "(the default)" : p.server) +
            Row("Database on the server",
                p.server_database.empty() ? "(the default)" : p.server_database) +
            Row("Schema", p.schema);
  return html + "</table>\n";
}

std::string CountsHtml(const CopiedObjects& copied, bool created) {
  std::string html = created ? "<h2>Copied</h2>\n<table>\n"
                             : "<h2>Copied before the run stopped, then removed</h2>\n<table>\n";
  for (size_t i = 0; i < kCopiedKinds; ++i) {
    const auto kind = static_cast<CopiedKind>(i);
    std::string heading = CopiedKindName(kind, true);
    heading[0] = static_cast<char>(heading[0] - 'a' + 'A');
    if (long n = copied.count(kind)) html += Row(heading, GroupedNumber(n));
  }
  return html + "</table>\n";
}

std::string PendingHtml(const RunReport& r) {
  if (r.pending.empty()) return "";
  std::string html = "<h2>Waiting for other projects</h2>\n<ul>\n";
  for (const PendingReferences& p : r.pending)
    html += "<li>" +
            HtmlEscape((p.name.empty() ? "Another project" : "\"" + p.name + "\"") + " " +
                       p.project_guid + (p.location.empty() ? " (not located)" : "") + ": " +
                       PendingText(p) + ".") +
            "<br>" + HtmlEscape(CompletionAdvice(p)) + ":<br><code>" +
            HtmlEscape(CompletionCommand(r.project.file, r.baseline_guid)) + "</code></li>\n";
  return html + "</ul>\n";
}

std::string MessagesHtml(const RunReport& r) {
  std::string html = "<h2>Messages</h2>\n";
  if (r.messages.empty()) return html + "<p>None.</p>\n";
  html += "<ol>\n";
  for (size_t i = 0; i < r.messages.size() && i < kMessagesListed; ++i) {
    html += "<li>" + HtmlEscape(MessageLine(r.messages[i])) + "</li>\n";
  }
  html += "</ol>\n";
  if (r.messages.size() > kMessagesListed)
    html += "<p>" +
            HtmlEscape(
                CountText(r.messages.size() - kMessagesListed, "more message", "more messages")) +
            " in the results lines below.</p>\n";
  return html;
}

}  // namespace

std::string ResultsSummaryHtml(const RunReport& r) {
  std::string html = "<h1>" + HtmlEscape("Project \"" + r.project.name + "\"") + "</h1>\n";
  html += StatusHtml(r);
  if (r.status != "created") html += "<p>The project was to be:</p>\n";
  html += PlaceHtml(r.project);
  if (r.run) html += CountsHtml(r.copied, r.status == "created");
  html += PendingHtml(r) + MessagesHtml(r);
  html += "<p>" + HtmlEscape("Baseline: " + r.baseline_folder) + "</p>\n";
  return html;
}

ResultsPageRecorder::ResultsPageRecorder(MessageSink& inner, const Messenger* messages,
                                         std::vector<ReportMessage>* log)
    : inner_(inner),
      messages_(messages),
      log_(log),
      spool_(std::tmpfile()),
      spool_failed_(spool_ == nullptr) {}

ResultsPageRecorder::~ResultsPageRecorder() {
  if (spool_) std::fclose(spool_);
}

void ResultsPageRecorder::Record(const char* severity, const std::string& text) {
  const bool error = std::strcmp(severity, "error") == 0;
  (error ? last_error_ : last_message_) = text;
  if (log_) log_->push_back({messages_ ? messages_->shown_id() : 0, severity, text, "", 0, ""});
  // Among the lines, a message stays one line too.
  std::string one = text;
  for (char& c : one)
    if (c == '\n' || c == '\r') c = ' ';
  const long id = error ? kResErrorLine : kResWarningLine;
  Spool(messages_ ? messages_->ResFormat(id, {one}) : std::string(severity) + ": " + one);
}

void ResultsPageRecorder::ShowInfo(const std::string& title, const std::string& text) {
  Record("warning", text);
  inner_.ShowInfo(title, text);
}

void ResultsPageRecorder::ShowError(const std::string& title, const std::string& text) {
  Record("error", text);
  inner_.ShowError(title, text);
}

int ResultsPageRecorder::Ask(const std::string& title, const std::string& text, int buttons) {
  return inner_.Ask(title, text, buttons);
}

void ResultsPageRecorder::Breathe() { inner_.Breathe(); }

void ResultsPageRecorder::Progress(const std::string& stage, long done, long total) {
  inner_.Progress(stage, done, total);
}

void ResultsPageRecorder::Spool(const std::string& line) {
  if (spool_failed_) return;
  // Inside the page's preformatted block a line break stays a line break.
  AppendMarkupEscaped(spooled_, line);
  spooled_ += '\n';
  if (spooled_.size() >= kSpoolPiece) FlushSpool();
}

void ResultsPageRecorder::FlushSpool() {
  if (!spool_failed_ && !spooled_.empty() &&
      std::fwrite(spooled_.data(), 1, spooled_.size(), spool_) != spooled_.size())
    spool_failed_ = true;
  spooled_.clear();
}

void ResultsPageRecorder::AddResultsLine(const std::string& line) {
  ++lines_;
  Spool(line);
  inner_.AddResultsLine(line);
}

void ResultsPageRecorder::WritePage(const std::string& path, const RunReport& report) {
  FlushSpool();
  if (spool_failed_ || std::fflush(spool_) != 0)
    throw VlError(err::kUnspecified, "ResultsPageRecorder.WritePage",
                  "The results lines could not be kept for the results page");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>"
      << HtmlEscape("Project \"" + report.project.name + "\": " + report.status)
      << "</title>\n<style>body{font-family:sans-serif}th{text-align:left;padding-right:1em}"
         "pre{font-size:90%}</style>\n</head>\n<body>\n"
      << ResultsSummaryHtml(report) << "<details>\n<summary>"
      << HtmlEscape(CountText(lines_, "results line", "results lines") +
                    ", in the order of the run")
      << "</summary>\n<pre>\n";
  std::rewind(spool_);
  char buffer[1 << 16];
  size_t n;
  while (out && (n = std::fread(buffer, 1, sizeof buffer, spool_)) > 0) out.write(buffer, n);
  std::fseek(spool_, 0, SEEK_END);
  out << "</pre>\n</details>\n</body>\n</html>\n";
  out.close();
  if (!out)
    throw VlError(err::kPathNotFound, "ResultsPageRecorder.WritePage",
                  "Cannot write " + path + ": " + std::strerror(errno));
}

namespace {

// What the run has to tell when its page is written (before the project
// application is released).
void CompleteReport(Session& session, const CreationRun& run, const ResultsPageRecorder& recorder,
                    RunReport& r) {
  const BLProjInfo& d = *session.goBLProjInfo;
  if (r.command.empty()) r.command = "create";
  r.run = true;
  r.baseline_folder = d.BLXMLLoc();
  r.baseline_guid = d.BLXMLGUID();
  r.baseline_label = d.BLXMLLabel();
  r.project = PlannedProjectPlace(session);
  r.copied = run.copied();
  r.results_page = run.results_file_name();
  r.results_lines = recorder.lines();
  r.pending.clear();
  if (!run.created_project().empty()) {
    r.status = "created";
    r.reason.clear();
    r.project.file = run.created_project();
    r.pending = ReadPendingReferences(GetParentFolderName(run.created_project()), d);
  } else if (run.cancelled()) {
    r.status = "interrupted";
    r.reason = "the run was stopped";
  } else {
    r.status = "failed";
    r.reason = recorder.last_message();
  }
}

}  // namespace

bool ExecuteActionsAndWriteResultsPage(Session& session, CreationRun& run,
                                       const std::function<void()>& beforeRelease,
                                       const std::function<void()>& beforePage, RunReport* report) {
  Messenger& messages = session.messages;
  MessageSink& inner = messages.sink();
  RunReport own;
  RunReport& r = report ? *report : own;
  ResultsPageRecorder recorder(inner, &messages, &r.messages);
  bool written = false;
  auto write_page = [&] {
    if (written || run.results_file_name().empty()) return;
    written = true;
    if (beforePage) beforePage();
    // Messages about the page go to the window or terminal, not into it.
    messages.SetSink(&inner);
    CompleteReport(session, run, recorder, r);
    try {
      recorder.WritePage(run.results_file_name(), r);
    } catch (const std::exception&) {
      messages.ReportProcError("modResultsPage.WriteResultsPage", "");
    }
  };
  messages.SetSink(&recorder);
  bool result = run.ExecuteActions([&] {
    write_page();
    if (beforeRelease) beforeRelease();
  });
  messages.SetSink(&inner);
  write_page();
  // A run that never got as far as the page still tells what it knows.
  if (!written) CompleteReport(session, run, recorder, r);
  return result;
}

}  // namespace vl
