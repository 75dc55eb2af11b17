// The writers of the baseline files, one per file kind. Each writes its
// file(s) into ctx.folder from ctx.plan and throws std::runtime_error when
// a file cannot be written.
#pragma once

#include "gen-baseline/write_context.h"

namespace vl::gen {

void WriteBaselineList(WriteContext& ctx);
void WriteProjectXml(WriteContext& ctx);
void WriteProjectHistory(WriteContext& ctx);
void WriteExternalProjects(WriteContext& ctx);
void WriteUserGroups(WriteContext& ctx);
void WriteProjectStructure(WriteContext& ctx);
void WritePermissions(WriteContext& ctx);
// PackageList.XML, one package file per package and the document files.
// Adds to `summary` the documents and requirements written.
void WritePackages(WriteContext& ctx, Summary& summary);
void WriteQueryDefs(WriteContext& ctx);
// Returns the number of "Disc" elements written (replies included).
int WriteDiscussions(WriteContext& ctx);

}  // namespace vl::gen
