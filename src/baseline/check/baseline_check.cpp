#include "baseline/check/baseline_check.h"

#include <exception>

#include "baseline/bl_proj_info.h"
#include "baseline/check/check_steps.h"

namespace vl {

BaselineCheckInput CheckInputOf(const BLProjInfo& descriptor, bool chosen) {
  BaselineCheckInput input;
  input.folder = descriptor.BLXMLLoc();
  input.baseline_guid = descriptor.BLXMLGUID();
  descriptor.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& project) {
    if (!project.Loc.empty()) input.located_external_projects.push_back(project.GUID);
  });
  input.traces = chosen ? descriptor.CreateTraces() : descriptor.isBLXMLContainsTraces();
  input.history = chosen ? descriptor.CreateHist() : descriptor.isBLXMLContainsHist();
  input.discussions = chosen ? descriptor.CreateDisc() : descriptor.isBLXMLContainsDisc();
  return input;
}

BaselineCheckResult CheckBaseline(const BaselineCheckInput& input,
                                  const BaselineCheckProgressFn& progress) {
  CheckRun run(input, progress);
  // In the order the run reads the files: each step checks references
  // against what the steps before it recorded.
  using Step = void (*)(CheckRun&);
  const Step steps[] = {CheckUsersAndGroups, CheckProjectRecord,    CheckProjectStructure,
                        CheckGroupRights,    CheckQueryDefinitions, CheckPackages,
                        CheckDiscussions};
  try {
    for (Step step : steps) {
      if (run.cancelled()) break;
      step(run);
    }
  } catch (const std::exception& e) {
    run.Report(CheckSeverity::kStopsRun, "", 0, "",
               std::string("the check could not be completed: ") + e.what());
  }
  return run.TakeResult();
}

}  // namespace vl
