#include "gen-baseline/generator.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "gen-baseline/baseline_files.h"
#include "gen-baseline/baseline_plan.h"
#include "gen-baseline/external_baseline.h"
#include "gen-baseline/plan_links.h"

namespace vl::gen {

namespace {

// 2015-01-01 00:00:00, the earliest epoch of a generated project.
constexpr int64_t kEarliestEpoch = 1420070400;

int64_t EpochOf(uint64_t base) {
  int64_t days = static_cast<int64_t>(Mix(base, 0xDA7E) % 1500);
  return kEarliestEpoch + days * 86400 + 8 * 3600;
}

}  // namespace

ExternalProject ParseExternalProject(const std::string& spec) {
  size_t first = spec.find(':');
  size_t last = spec.rfind(':');
  if (first == std::string::npos || first == last) {
    throw std::invalid_argument("external project is not GUID:NAME:PREFIX: " + spec);
  }
  ExternalProject project{UpperAscii(spec.substr(0, first)),
                          spec.substr(first + 1, last - first - 1), spec.substr(last + 1)};
  if (!IsGuidText(project.guid)) {
    throw std::invalid_argument("external project GUID is not a braced GUID: " + project.guid);
  }
  if (project.name.empty()) throw std::invalid_argument("external project without a name: " + spec);
  return project;
}

Summary WriteBaseline(const Options& options, const std::string& folder) {
  std::unique_ptr<ExternalBaseline> external;
  if (!options.external_baseline.empty()) {
    external = std::make_unique<ExternalBaseline>(ReadExternalBaseline(options.external_baseline));
  }
  BaselinePlan plan = BuildPlan(options, external.get());
  std::filesystem::create_directories(folder);

  WriteContext ctx{folder, options, plan, EpochOf(plan.base), 0};
  Summary summary;
  summary.project_guid = plan.project_guid;
  WriteBaselineList(ctx);
  WriteProjectXml(ctx);
  WriteProjectHistory(ctx);
  WriteExternalProjects(ctx);
  WriteUserGroups(ctx);
  WriteProjectStructure(ctx);
  WritePermissions(ctx);
  WriteQueryDefs(ctx);
  WritePackages(ctx, summary);
  summary.discussions = WriteDiscussions(ctx);

  summary.files = ctx.files;
  summary.internal_traces = plan.internal_traces;
  for (const CrossTracePlan& t : plan.cross_traces) {
    ++(t.mirrored ? summary.mirrored_traces : summary.cross_traces);
  }
  summary.query_defs = static_cast<int>(plan.query_defs.size());
  summary.views = static_cast<int>(plan.views.size());
  return summary;
}

}  // namespace vl::gen
