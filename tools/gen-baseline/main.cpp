// gen-baseline: writes a valid baseline folder of any size, the same bytes
// for the same options. See README.md beside this file.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "gen-baseline/generator.h"

namespace {

using vl::gen::Options;

const char kUsage[] =
    "usage: gen-baseline --out DIR [options]\n"
    "\n"
    "Writes a baseline folder; the same options give the same files.\n"
    "\n"
    "  --out DIR                    folder to write (created when missing)\n"
    "  --seed N                     seed of every name, GUID and text (1)\n"
    "  --requirements N             requirements in all packages (40)\n"
    "  --packages N                 packages, the root included (4)\n"
    "  --depth N                    deepest package level below the root (2)\n"
    "  --docs-per-package N         documents per package (1)\n"
    "  --views-per-package N        views per package (1)\n"
    "  --history-versions N         versions per document and requirement; 0: no history (2)\n"
    "  --traces-per-req N           internal traces starting at each requirement (1)\n"
    "  --child-percent N            share of child requirements, in percent (25)\n"
    "  --late-children N            share of the other requirements made children of\n"
    "                               a requirement of a later package, in percent (0)\n"
    "  --users N                    users, admin included (5)\n"
    "  --discussions N              discussion threads (3)\n"
    "  --query-defs N               query definitions on the project's own types (4)\n"
    "  --ext-query-defs N           query definitions per external project (1)\n"
    "  --attributes N               attributes beyond the seven every baseline has,\n"
    "                               used by no requirement (0)\n"
    "  --list-items N               list items of one more list attribute (0)\n"
    "  --req-types N                requirement types beyond the four, without\n"
    "                               requirements (0)\n"
    "  --groups N                   groups beyond the three (0)\n"
    "  --text-size N                characters of a requirement text (80)\n"
    "  --long-text-every N          every Nth requirement has texts over 2000 / 255\n"
    "                               characters (0: never)\n"
    "  --project-guid G             the project's GUID (derived from the seed)\n"
    "  --name NAME                  the project's name (Generated Project)\n"
    "  --prefix P                   the project's prefix (GEN)\n"
    "  --external GUID:NAME:PREFIX  an external project; may be repeated\n"
    "  --cross-traces N             traces to requirements of an external project (0)\n"
    "  --external-req-guids-from DIR\n"
    "                               another baseline: its project becomes external,\n"
    "                               cross traces and external query definitions use its\n"
    "                               requirements and types, its traces to this project\n"
    "                               are mirrored\n"
    "  --encoding E                 utf-8, utf-16 or windows-1252 (utf-8)\n"
    "  --file-case C                exact, lower or upper spelling of file names (exact)\n"
    "  --date-style S               plain (yyyy-mm-dd hh:mm:ss), iso or us (plain)\n"
    "  --help                       this text\n";

int ToCount(const std::string& name, const std::string& value) {
  size_t used = 0;
  long long n = 0;
  try {
    n = std::stoll(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != value.size() || n < 0 || n > 100000000) {
    throw std::invalid_argument(name + " needs a whole number from 0, got \"" + value + "\"");
  }
  return static_cast<int>(n);
}

template <typename T>
T Choice(const std::string& name, const std::string& value,
         const std::map<std::string, T>& choices) {
  auto it = choices.find(value);
  if (it == choices.end()) throw std::invalid_argument("unknown " + name + " \"" + value + "\"");
  return it->second;
}

// Applies one option with its value to `o` (or `out`).
void Apply(const std::string& name, const std::string& value, Options& o, std::string& out) {
  using vl::gen::DateStyle;
  using vl::gen::FileEncoding;
  using vl::gen::FileNameCase;
  const std::map<std::string, int*> counts = {{"--requirements", &o.requirements},
                                              {"--packages", &o.packages},
                                              {"--depth", &o.depth},
                                              {"--docs-per-package", &o.docs_per_package},
                                              {"--views-per-package", &o.views_per_package},
                                              {"--history-versions", &o.history_versions},
                                              {"--traces-per-req", &o.traces_per_req},
                                              {"--child-percent", &o.child_percent},
                                              {"--late-children", &o.late_child_percent},
                                              {"--users", &o.users},
                                              {"--discussions", &o.discussions},
                                              {"--query-defs", &o.query_defs},
                                              {"--ext-query-defs", &o.ext_query_defs},
                                              {"--text-size", &o.text_size},
                                              {"--long-text-every", &o.long_text_every},
                                              {"--cross-traces", &o.cross_traces},
                                              {"--attributes", &o.extra_attributes},
                                              {"--list-items", &o.extra_list_items},
                                              {"--req-types", &o.extra_req_types},
                                              {"--groups", &o.extra_groups}};
  if (auto it = counts.find(name); it != counts.end()) {
    *it->second = ToCount(name, value);
  } else if (name == "--out") {
    out = value;
  } else if (name == "--seed") {
    size_t used = 0;
    o.seed = std::stoull(value, &used);
    if (used != value.size()) throw std::invalid_argument("--seed needs a number");
  } else if (name == "--project-guid") {
    o.project_guid = value;
  } else if (name == "--name") {
    o.name = value;
  } else if (name == "--prefix") {
    o.prefix = value;
  } else if (name == "--external") {
    o.externals.push_back(vl::gen::ParseExternalProject(value));
  } else if (name == "--external-req-guids-from") {
    o.external_baseline = value;
  } else if (name == "--encoding") {
    o.encoding = Choice<FileEncoding>(name, value,
                                      {{"utf-8", FileEncoding::kUtf8},
                                       {"utf-16", FileEncoding::kUtf16},
                                       {"windows-1252", FileEncoding::kWindows1252}});
  } else if (name == "--file-case") {
    o.file_case = Choice<FileNameCase>(name, value,
                                       {{"exact", FileNameCase::kExact},
                                        {"lower", FileNameCase::kLower},
                                        {"upper", FileNameCase::kUpper}});
  } else if (name == "--date-style") {
    o.date_style = Choice<DateStyle>(
        name, value,
        {{"plain", DateStyle::kPlain}, {"iso", DateStyle::kIso}, {"us", DateStyle::kUs}});
  } else {
    throw std::invalid_argument("unknown option " + name);
  }
}

void PrintSummary(const vl::gen::Summary& s, const std::string& out) {
  std::printf("folder=%s\nproject_guid=%s\nfiles=%d\npackages=%d\ndocuments=%d\n", out.c_str(),
              s.project_guid.c_str(), s.files, s.packages, s.documents);
  std::printf("requirements=%d\ninternal_traces=%d\ncross_traces=%d\nmirrored_traces=%d\n",
              s.requirements, s.internal_traces, s.cross_traces, s.mirrored_traces);
  std::printf("query_defs=%d\nviews=%d\ndiscussions=%d\n", s.query_defs, s.views, s.discussions);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string out;
  try {
    for (int i = 1; i < argc; ++i) {
      std::string name = argv[i];
      if (name == "--help" || name == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
      }
      if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
      Apply(name, argv[++i], options, out);
    }
    if (out.empty()) throw std::invalid_argument("--out DIR is required");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gen-baseline: %s\n\n%s", e.what(), kUsage);
    return 2;
  }
  try {
    PrintSummary(vl::gen::WriteBaseline(options, out), out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gen-baseline: %s\n", e.what());
    return 1;
  }
  return 0;
}
