// The project record of Project.xml and, with history, the versions of
// ProjectHistory.xml, as the project copier reads them.
#include "baseline/check/check_steps.h"

namespace vl {

void CheckProjectRecord(CheckRun& run) {
  CheckedXmlFile file;
  if (!run.Open(file, "Project.xml")) return;
  pugi::xml_node project = run.Root(file, "//Project", "Project");
  if (!project) return;
  run.RequireBool(file, project, "DocumentWordFormat");
  run.RequireBool(file, project, "SecurityEnabled");
  if (!run.input().history) return;

  CheckedXmlFile history;
  if (!run.Open(history, "ProjectHistory.xml")) return;
  pugi::xml_node root = run.Root(history, "//PROJECT", "PROJECT");
  if (root) run.CheckHistoryUsers(history, root);
}

}  // namespace vl
