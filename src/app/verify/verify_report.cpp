#include "app/verify/verify_report.h"

#include <cstdio>
#include <iomanip>

#include "host/text/json_writer.h"
#include "host/text/user_text.h"

namespace vl::verify {

namespace {

const char* WhatText(Difference::What w) {
  switch (w) {
    case Difference::What::kDiffers:
      return "differs";
    case Difference::What::kMissing:
      return "missing";
    case Difference::What::kExtra:
      return "extra";
    case Difference::What::kPending:
      return "pending";
  }
  return "";
}

// A value on one line: control characters as \xNN, long ones shortened.
std::string Shown(const std::string& value) {
  std::string out = "\"";
  size_t shown = 0;
  for (char c : value) {
    if (++shown > 120) {
      out += "...";
      break;
    }
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string ObjectText(const ObjectRef& o) {
  std::string s = o.kind;
  if (!o.name.empty()) s += " " + Shown(o.name);
  if (!o.old_guid.empty() || !o.new_guid.empty())
    s += " " + (o.old_guid.empty() ? "?" : o.old_guid) + " -> " +
         (o.new_guid.empty() ? "?" : o.new_guid);
  return s;
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

}  // namespace

void WriteTextReport(const VerifyReport& r, std::ostream& out) {
  out << "Baseline: " << r.baseline << "\nProject:  " << r.project_file << "\n";
  if (!r.error.empty()) {
    out << "Cannot verify: " << r.error << "\n";
    return;
  }
  out << "Choices:  history " << YesNo(r.choices.history) << ", traces " << YesNo(r.choices.traces)
      << ", discussions " << YesNo(r.choices.discussions)
      << (r.choices_given ? " (as given)" : " (as the project records)") << "\n\n";
  out << std::left << std::setw(20) << "Kind" << std::right;
  for (const char* h : {"expected", "found", "differing", "missing", "extra", "pending"})
    out << std::setw(10) << h;
  out << "\n";
  for (const KindSummary& k : r.kinds) {
    out << std::left << std::setw(20) << k.kind << std::right;
    for (size_t n : {k.expected, k.found, k.differing, k.missing, k.extra, k.pending})
      out << std::setw(10) << n;
    out << "\n";
  }
  bool header = false, pendingHeader = false;
  for (const Difference& d : r.differences) {
    if (d.what == Difference::What::kPending) continue;
    if (!header) out << "\nDifferences:\n";
    header = true;
    out << "  " << std::left << std::setw(8) << WhatText(d.what) << std::right
        << ObjectText(d.object) << ": " << d.table;
    if (!d.field.empty()) out << "." << d.field;
    if (d.what == Difference::What::kDiffers)
      out << ": baseline " << Shown(d.expected) << ", database " << Shown(d.found);
    else if (d.what == Difference::What::kMissing)
      out << " (" << d.expected << ")";
    else
      out << " (" << d.found << ")";
    out << "\n";
  }
  if (r.differences_left_out)
    out << "  ... and "
        << CountText(static_cast<long long>(r.differences_left_out), "more difference",
                     "more differences")
        << "\n";
  for (const Difference& d : r.differences) {
    if (d.what != Difference::What::kPending) continue;
    if (!pendingHeader) out << "\nWaiting in UnRes files for projects not created yet:\n";
    pendingHeader = true;
    out << "  " << ObjectText(d.object) << ": " << d.table << " (" << d.expected << ")\n";
  }
  if (!r.notes.empty()) {
    out << "\nNotes:\n";
    for (const std::string& n : r.notes) out << "  " << n << "\n";
  }
  out << "\n"
      << (r.Matches() ? "Result: the project holds its baseline"
                      : "Result: the project differs from its baseline")
      << " (" << CountText(static_cast<long long>(r.rows_read), "row", "rows") << " read, "
      << SecondsText(r.seconds) << ")\n";
}

void WriteJsonReport(const VerifyReport& r, std::ostream& out) {
  JsonWriter j(out, true);
  j.BeginObject();
  j.Member("result", !r.error.empty() ? "error" : r.Matches() ? "match" : "differences");
  if (!r.error.empty()) j.Member("error", r.error);
  j.Member("baseline", r.baseline).Member("project", r.project_file);
  j.Key("choices").BeginObject();
  j.Member("history", r.choices.history)
      .Member("traces", r.choices.traces)
      .Member("discussions", r.choices.discussions)
      .Member("given", r.choices_given);
  j.EndObject();
  j.Key("kinds").BeginArray();
  for (const KindSummary& k : r.kinds) {
    j.BeginObject().Member("kind", k.kind);
    j.Member("expected", static_cast<int64_t>(k.expected))
        .Member("found", static_cast<int64_t>(k.found))
        .Member("differing", static_cast<int64_t>(k.differing))
        .Member("missing", static_cast<int64_t>(k.missing))
        .Member("extra", static_cast<int64_t>(k.extra))
        .Member("pending", static_cast<int64_t>(k.pending));
    j.EndObject();
  }
  j.EndArray();
  j.Key("differences").BeginArray();
  for (const Difference& d : r.differences) {
    j.BeginObject().Member("what", WhatText(d.what));
    j.Member("kind", d.object.kind).Member("name", d.object.name);
    j.Member("old_guid", d.object.old_guid).Member("new_guid", d.object.new_guid);
    j.Member("table", d.table).Member("field", d.field);
    j.Member("baseline", d.expected).Member("database", d.found);
    j.EndObject();
  }
  j.EndArray();
  j.Member("differences_left_out", static_cast<int64_t>(r.differences_left_out));
  j.Key("notes").BeginArray();
  for (const std::string& n : r.notes) j.String(n);
  j.EndArray();
  j.Member("rows_read", static_cast<int64_t>(r.rows_read));
  j.Key("seconds").Number(r.seconds);
  j.EndObject();
  out << "\n";
}

}  // namespace vl::verify
