// The baseline generator: writes a complete, valid baseline folder of any
// size, the same bytes for the same options. Used by tests (small
// baselines, pairs of projects that refer to each other) and benchmarks
// (100,000 requirements).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gen-baseline/text_encoding.h"

namespace vl::gen {

// An external project the baseline refers to (ExternalProjects.xml).
struct ExternalProject {
  std::string guid;
  std::string name;
  std::string prefix;
};

// How the names of the files on disk are spelt; baselines copied from a
// case-insensitive file system may have any spelling.
enum class FileNameCase { kExact, kLower, kUpper };

// How dates are written: "yyyy-mm-dd hh:mm:ss", ISO 8601 with "T", or the
// US form "m/d/yyyy h:mm:ss AM".
enum class DateStyle { kPlain, kIso, kUs };

struct Options {
  uint64_t seed = 1;
  int requirements = 40;  // in all packages together
  int packages = 4;       // the root package included
  int depth = 2;          // deepest package level below the root
  int docs_per_package = 1;
  int views_per_package = 1;
  int history_versions = 2;  // versions per document and requirement; 0: no history
  int traces_per_req = 1;    // internal traces starting at each requirement
  int child_percent = 25;    // share of requirements that are children
  int users = 5;             // "admin" included
  int discussions = 3;       // threads, each with replies 2-3 levels deep
  int query_defs = 4;        // on the project's own requirement types
  int ext_query_defs = 1;    // per external project, scope "(" project "." type ")"
  // Share of the childless top-level requirements of every package but the
  // last that become children of a requirement of a later package: a
  // package walk meets them before their parent.
  int late_child_percent = 0;
  // Definitions beyond the built-in seven attributes, four requirement
  // types and three groups, used by no requirement: they grow one kind of
  // definition alone. Extra attributes cycle through the data types; the
  // extra list items all belong to one more list attribute.
  int extra_attributes = 0;
  int extra_list_items = 0;
  int extra_req_types = 0;
  int extra_groups = 0;
  int text_size = 80;  // characters of a requirement text
  // Every Nth requirement gets a text over 2000 characters, an attribute
  // value and a version reason over 255 characters (0: never).
  int long_text_every = 0;
  std::string project_guid;  // "" derives one from the seed
  std::string name = "Generated Project";
  std::string prefix = "GEN";
  std::vector<ExternalProject> externals;
  // Traces whose other end lies in an external project (half in TTo, half
  // in TFrom). Needs an external project.
  int cross_traces = 0;
  // Folder of another baseline: its project becomes (if not listed yet)
  // an external project; cross-project traces and external query
  // definitions then point at its real requirements and requirement types,
  // and its traces towards this project are mirrored here.
  std::string external_baseline;
  FileEncoding encoding = FileEncoding::kUtf8;
  FileNameCase file_case = FileNameCase::kExact;
  DateStyle date_style = DateStyle::kPlain;
};

// What was written, for the command's report and for tests.
struct Summary {
  std::string project_guid;
  int files = 0;  // XML files and document files
  int packages = 0;
  int documents = 0;
  int requirements = 0;
  int internal_traces = 0;
  int cross_traces = 0;     // generated here
  int mirrored_traces = 0;  // taken over from the external baseline
  int query_defs = 0;
  int views = 0;
  int discussions = 0;  // every Disc element, replies included
};

// Parses "GUID:NAME:PREFIX" (the name may hold ":"); the GUID is
// upper-cased. Throws std::invalid_argument when a part is missing or the
// GUID is not braced 8-4-4-4-12 hexadecimal.
ExternalProject ParseExternalProject(const std::string& spec);

// Writes the baseline into `folder` (created when missing; files of the
// same names are replaced, other files are left alone). Throws
// std::invalid_argument for unusable options (negative counts, a bad
// GUID, cross traces without an external project) and std::runtime_error
// when a file cannot be written or the external baseline cannot be read;
// files written before the failure stay.
Summary WriteBaseline(const Options& options, const std::string& folder);

}  // namespace vl::gen
