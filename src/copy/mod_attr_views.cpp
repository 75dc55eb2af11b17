// Choosing the view builder of the project's database kind and executing
// the attribute value views.
#include "copy/mod_attr_views.h"

#include <optional>

#include "errors/mod_preserve_error.h"

namespace vl {
namespace {

constexpr int32_t kMultiValueListType = 10;

std::string BuildViewForKind(int dbKind, int32_t attrId, int32_t dataType) {
  switch (dbKind) {
    case kDBSQLite:
      return BuildAttrViewForSQLite_(attrId, dataType);
    case kDBOracle:
      return BuildAttrViewForOracle_(attrId, dataType);
    case kDBSqlServer:
      return BuildAttrViewForSQLServer_(attrId, dataType);
    case kDBDB2:
      return BuildAttrViewForDB2_(attrId, dataType);
    case kDBPostgreSQL:
      return BuildAttrViewForPostgreSQL_(attrId, dataType);
    default:
      return "";
  }
}

// Makes durable what the database holds before the report is shown: the
// value view may exist already when the sort view fails. The commit may
// fail too; the error reported stays the one that stopped the views.
ErrorState SettleAfterFailure(DataServices& oDS) {
  PreservedError saved;
  ErrorState failure = saved.Preserve();
  try {
    oDS.Commit();
  } catch (const std::exception&) {
    // The error that stopped the views is the one to report.
  }
  if (std::optional<VlError> restored = saved.Restore())
    return ErrorState{restored->number(), restored->source(), restored->description()};
  return failure;
}

}  // namespace

bool InsertAttrView_(int32_t dataType, int32_t attrId, int dbKind, std::string& view,
                     std::string& sortView, Messenger& messages) {
  view.clear();
  sortView.clear();
  try {
    view = BuildViewForKind(dbKind, attrId, dataType);
    if (dataType == kMultiValueListType) sortView = BuildAttrSortViewForMultiAttr_(attrId);
    return true;
  } catch (const std::exception&) {
    view.clear();
    sortView.clear();
    messages.ReportProcError("InsertAttrView_", "");
    return false;
  }
}

void g_CreateAttrView(int32_t attrId, int32_t dataType, DataServices& oDS, Messenger& messages) {
  try {
    std::string view, sortView;
    InsertAttrView_(dataType, attrId, oDS.GetDBType(), view, sortView, messages);
    // A sort view reads like its value view; it is only made after one.
    if (view.empty()) return;
    oDS.ExecuteDDL(view);
    if (!sortView.empty()) oDS.ExecuteDDL(sortView);
  } catch (const std::exception&) {
    messages.ReportProcError("g_CreateAttrView", "", SettleAfterFailure(oDS));
  }
}

}  // namespace vl
