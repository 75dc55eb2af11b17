#include "gen-baseline/write_context.h"

#include <algorithm>
#include <cstdio>

#include "gen-baseline/text_encoding.h"

namespace vl::gen {

namespace {

// Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

}  // namespace

std::string FormatDate(int64_t seconds_since_1970, DateStyle style) {
  int64_t days = seconds_since_1970 / 86400;
  int secs = static_cast<int>(seconds_since_1970 % 86400);
  int y, m, d;
  CivilFromDays(days, y, m, d);
  int hh = secs / 3600, mm = secs / 60 % 60, ss = secs % 60;
  char buf[40];
  switch (style) {
    case DateStyle::kIso:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, m, d, hh, mm, ss);
      break;
    case DateStyle::kUs:
      std::snprintf(buf, sizeof buf, "%d/%d/%04d %d:%02d:%02d %s", m, d, y,
                    hh % 12 == 0 ? 12 : hh % 12, mm, ss, hh < 12 ? "AM" : "PM");
      break;
    case DateStyle::kPlain:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mm, ss);
      break;
  }
  return buf;
}

std::filesystem::path WriteContext::PathOf(const std::string& name) const {
  std::string spelt = name;
  for (char& c : spelt) {
    if (options.file_case == FileNameCase::kLower && c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
    if (options.file_case == FileNameCase::kUpper && c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
  }
  return folder / spelt;
}

XmlWriter WriteContext::Open(const std::string& name) {
  ++files;
  return XmlWriter(PathOf(name), options.encoding);
}

std::string WriteContext::Date(int days, int seconds) const {
  return FormatDate(epoch + int64_t{days} * 86400 + seconds, options.date_style);
}

std::vector<VersionRecord> MakeVersions(const WriteContext& ctx, Rng& rng, int versions,
                                        int first_day, bool long_reason) {
  std::vector<VersionRecord> out;
  const std::vector<UserPlan>& users = ctx.plan.users;
  for (int v = 0; v < versions; ++v) {
    bool last = v == versions - 1;
    VersionRecord record;
    record.number = std::to_string(v + 1) + ".000";
    record.label = v == 0 ? "Initial" : (rng.Chance(30) ? "Review " + std::to_string(v) : "");
    record.user_guid = users[rng.Below(static_cast<int>(users.size()))].guid;
    record.date = ctx.Date(first_day + v * 7, rng.Below(86400));
    int size = last && long_reason ? 256 + rng.Below(200) : rng.Between(8, 60);
    record.reason = MakeText(rng, size, false);
    out.push_back(std::move(record));
  }
  return out;
}

void WriteHistory(XmlWriter& xml, const std::vector<VersionRecord>& versions) {
  xml.Start("History");
  for (const VersionRecord& v : versions) {
    xml.Start("RVer");
    xml.Element("VNum", v.number);
    xml.Element("VLbl", v.label);
    xml.Element("VUGUID", v.user_guid);
    xml.Element("VDate", v.date);
    xml.Element("VResn", v.reason);
    xml.End();
  }
  xml.End();
}

int BaselineDay(const Options& options) {
  return kLastCreationDay + 7 * std::max(1, options.history_versions) + 1;
}

std::string EncodePassword(const std::string& password) {
  std::string out;
  for (unsigned char c : Utf8To1252(password)) out += std::to_string(c) + ";";
  return out;
}

}  // namespace vl::gen
