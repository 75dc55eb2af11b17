#include "app/report_writers.h"

#include <string>
#include <tuple>
#include <vector>

#include "host/text/json_writer.h"
#include "host/text/user_text.h"

namespace vl {

namespace {

CopiedKind KindAt(size_t i) { return static_cast<CopiedKind>(i); }

// "first, second and third".
std::string JoinedList(const std::vector<std::string>& parts) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return text;
}

void WriteMessages(const RunReport& r, std::ostream& out, size_t most) {
  out << "  Messages: " << (r.messages.empty() ? "none" : MessageCountsText(r)) << "\n";
  for (size_t i = 0; i < r.messages.size() && i < most; ++i)
    out << "    " << MessageLine(r.messages[i]) << "\n";
  if (r.messages.size() > most)
    out << "    ... and " << CountText(r.messages.size() - most, "more", "more")
        << (r.results_page.empty() ? "\n" : " on the results page\n");
}

void WritePending(const RunReport& r, std::ostream& out) {
  if (r.pending.empty()) return;
  out << "  Waiting for other projects:\n";
  for (const PendingReferences& p : r.pending) {
    out << "    " << (p.name.empty() ? "another project" : "\"" + p.name + "\"") << " "
        << p.project_guid << (p.location.empty() ? " (not located)" : " (" + p.location + ")")
        << ": " << PendingText(p) << "\n";
    out << "      " << CompletionAdvice(p) << ":\n";
    out << "        " << CompletionCommand(r.project.file, r.baseline_guid) << "\n";
  }
}

}  // namespace

std::string MessageLine(const ReportMessage& m) {
  std::string place = m.file;
  if (!place.empty() && m.line > 0) place.append(":").append(std::to_string(m.line));
  if (!m.element.empty()) place.append(place.empty() ? "" : ": ").append(m.element);
  if (!place.empty()) place += ": ";
  return m.severity + ": " + place + m.text;
}

std::string MessageCountsText(const RunReport& r) {
  std::vector<std::string> kinds;
  for (const auto& [severity, one, many] : {std::tuple{"error", "error", "errors"},
                                            {"warning", "warning", "warnings"},
                                            {"note", "note", "notes"}})
    if (size_t n = r.Count(severity)) kinds.push_back(CountText(n, one, many));
  return kinds.empty() ? "no messages" : JoinedList(kinds);
}

std::string CopiedText(const CopiedObjects& copied) {
  std::vector<std::string> parts;
  for (size_t i = 0; i < kCopiedKinds; ++i)
    if (long n = copied.count(KindAt(i)))
      parts.push_back(
          CountText(n, CopiedKindName(KindAt(i), false), CopiedKindName(KindAt(i), true)));
  return parts.empty() ? "nothing" : JoinedList(parts);
}

void WriteSummaryText(const RunReport& r, std::ostream& out, size_t maxMessages) {
  const std::string project = "\"" + r.project.name + "\"";
  if (r.status == "created") {
    out << "Created the project " << project << ": " << r.project.file << "\n";
    out << "  Database: " << r.project.Describe() << "\n";
  } else if (r.status == "interrupted") {
    out << "The creation of the project " << project << " was interrupted: nothing was created\n";
  } else {
    out << "The project " << project << " was not created"
        << (r.reason.empty() ? "" : ": " + r.reason) << "\n";
  }
  if (r.run)
    out << (r.status == "created" ? "  Copied: " : "  Copied before it stopped, then removed: ")
        << CopiedText(r.copied) << "\n";
  WritePending(r, out);
  WriteMessages(r, out, maxMessages);
  if (!r.results_page.empty()) out << "  Results page: " << r.results_page << "\n";
}

void WriteReportJson(const RunReport& r, std::ostream& out) {
  JsonWriter j(out, true);
  j.BeginObject();
  j.Member("command", r.command).Member("status", r.status);
  j.Member("exit_status", static_cast<int64_t>(r.exit_status)).Member("reason", r.reason);
  j.Key("baseline").BeginObject();
  j.Member("folder", r.baseline_folder).Member("guid", r.baseline_guid);
  j.Member("label", r.baseline_label);
  j.EndObject();
  if (r.command != "validate") {
    const ProjectPlace& p = r.project;
    j.Key("project").BeginObject();
    j.Member("name", p.name).Member("file", p.file).Member("database", p.database);
    if (!p.database_file.empty()) j.Member("database_file", p.database_file);
    if (!p.schema.empty())
      j.Member("server", p.server)
          .Member("server_database", p.server_database)
          .Member("schema", p.schema);
    j.EndObject();
  }
  if (r.run) {
    j.Key("counts").BeginObject();
    for (size_t i = 0; i < kCopiedKinds; ++i) {
      std::string key = CopiedKindName(KindAt(i), true);
      for (char& c : key)
        if (c == ' ') c = '_';
      j.Member(key, static_cast<int64_t>(r.copied.count(KindAt(i))));
    }
    j.EndObject();
  }
  j.Key("messages").BeginArray();
  for (const ReportMessage& m : r.messages) {
    j.BeginObject().Member("id", static_cast<int64_t>(m.id)).Member("severity", m.severity);
    j.Member("text", m.text).Member("file", m.file).Member("line", static_cast<int64_t>(m.line));
    j.Member("element", m.element).EndObject();
  }
  j.EndArray();
  if (r.run) {
    j.Key("pending").BeginArray();
    for (const PendingReferences& p : r.pending) {
      j.BeginObject().Member("project_guid", p.project_guid).Member("name", p.name);
      j.Member("prefix", p.prefix).Member("location", p.location);
      j.Member("registration", p.registration);
      j.Member("query_definitions", static_cast<int64_t>(p.query_definitions));
      j.Member("views", static_cast<int64_t>(p.views));
      j.Member("traces", static_cast<int64_t>(p.traces));
      j.Member("completed_by", CompletionAdvice(p));
      j.Member("command", CompletionCommand(r.project.file, r.baseline_guid));
      j.EndObject();
    }
    j.EndArray();
    j.Member("results_page", r.results_page);
    j.Member("results_lines", static_cast<int64_t>(r.results_lines));
  }
  if (!r.review_page.empty()) j.Member("review_page", r.review_page);
  if (r.verified >= 0) j.Member("verified", r.verified == 1);
  j.Key("seconds").Number(r.seconds);
  j.EndObject();
  out << "\n";
}

}  // namespace vl
