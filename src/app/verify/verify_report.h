// A verification's report for people (a table of counts per kind, then
// each difference naming the object, its old and new GUID, the field, the
// baseline's value and the database's) and for programs (JSON).
#pragma once

#include <ostream>

#include "app/verify/verification.h"

namespace vl::verify {

void WriteTextReport(const VerifyReport& report, std::ostream& out);

// One JSON object: "result" ("match", "differences" or "error"), "error",
// "baseline", "project", "choices", "kinds" (one object per kind with its
// counts), "differences" (one object per difference: "what" = "differs",
// "missing", "extra" or "pending", "kind", "name", "old_guid",
// "new_guid", "table", "field", "baseline", "database"),
// "differences_left_out", "notes", "rows_read", "seconds".
void WriteJsonReport(const VerifyReport& report, std::ostream& out);

}  // namespace vl::verify
