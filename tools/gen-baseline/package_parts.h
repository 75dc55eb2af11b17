// The elements of a package file: documents, views and requirements.
#pragma once

#include <string>

#include "gen-baseline/write_context.h"

namespace vl::gen {

// The bookmark name of requirement `index` in its document.
std::string BookmarkName(int index);
// The bytes of a document's file: a heading and one line per bookmarked
// requirement. The "FileSize" of the document is their number.
std::string DocFileContent(const BaselinePlan& plan, int doc);
// The name of a document's file in the baseline folder: FileName + ".DOC",
// whatever the document's own extension.
std::string DocFileName(const DocPlan& doc);

void WriteDoc(XmlWriter& xml, const WriteContext& ctx, int doc);
void WriteView(XmlWriter& xml, const WriteContext& ctx, int view);
void WriteRequirement(XmlWriter& xml, const WriteContext& ctx, int req);

}  // namespace vl::gen
