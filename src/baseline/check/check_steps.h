// The checks of the baseline's files, in the order the creation run reads
// them: each records in the run's registry what the run will have
// translated by then, so that later files are checked against it.
#pragma once

#include "baseline/check/check_run.h"

namespace vl {

// ProjectUserGroups.XML: groups, then users.
void CheckUsersAndGroups(CheckRun& run);
// Project.xml's project record and, with history, ProjectHistory.xml.
void CheckProjectRecord(CheckRun& run);
// ProjectStructure.XML: attributes and list items, requirement types and
// their attributes, document types.
void CheckProjectStructure(CheckRun& run);
// Permissions.XML: the rights of each group.
void CheckGroupRights(CheckRun& run);
// QueryDefs.XML: what becomes of each query definition.
void CheckQueryDefinitions(CheckRun& run);
// PackageList.XML and the package files reached from it, with their
// documents, views, requirements and (with traces) traces.
void CheckPackages(CheckRun& run);
// Discussions.XML, with discussions.
void CheckDiscussions(CheckRun& run);

}  // namespace vl
