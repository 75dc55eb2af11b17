// What every baseline file writer shares: the folder, the plan, the
// options, the spelling of file names and the form of dates.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gen-baseline/baseline_plan.h"
#include "gen-baseline/gen_random.h"
#include "gen-baseline/xml_writer.h"

namespace vl::gen {

struct WriteContext {
  std::filesystem::path folder;
  const Options& options;
  const BaselinePlan& plan;
  int64_t epoch = 0;  // seconds since 1970-01-01 of the project's first version
  int files = 0;      // files written so far

  // The path of a baseline file, its name spelt as the options ask.
  std::filesystem::path PathOf(const std::string& name) const;
  // A writer for the baseline file `name`, counted in `files`.
  XmlWriter Open(const std::string& name);
  // The date `days` (and `seconds`) after the epoch, in the options' style.
  std::string Date(int days, int seconds = 0) const;
};

// A date and time in one of the three styles.
std::string FormatDate(int64_t seconds_since_1970, DateStyle style);

// Objects are made on days 1 to kLastCreationDay after the epoch; their
// versions follow a week apart.
constexpr int kLastCreationDay = 300;

// One version of a project, document or requirement ("RVer").
struct VersionRecord {
  std::string number;  // "1.000", "2.000", ...
  std::string label;
  std::string user_guid;
  std::string date;
  std::string reason;
};

// `versions` versions, the first made on day `first_day`; with
// `long_reason` the last reason is longer than 255 characters (over the
// history overflow size).
std::vector<VersionRecord> MakeVersions(const WriteContext& ctx, Rng& rng, int versions,
                                        int first_day, bool long_reason);
// A "History" element with one "RVer" per version.
void WriteHistory(XmlWriter& xml, const std::vector<VersionRecord>& versions);

// The day of the baseline's time stamp: after every date in the baseline.
int BaselineDay(const Options& options);

// A password as the baseline writes it: the Windows-1252 code of each
// character in decimal, each followed by ";" ("abc" is "97;98;99;").
std::string EncodePassword(const std::string& password);

}  // namespace vl::gen
