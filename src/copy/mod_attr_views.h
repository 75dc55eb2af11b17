// The attribute value views of a project database: for every attribute,
// "VlAttrValuesView_<id>" shows its values per requirement in one column,
// whatever table they are stored in, converted to suit the attribute's data
// type; multi-value list attributes also get "VlAttrValuesSortView_<id>",
// one row per requirement for sorting.
//
// Data type codes and what the value view holds:
//   0, 10     RequirementID, ListItemID, ItemRank (list values with their
//             items' ranks);
//   1         RequirementID, FieldValue as text (NULL when absent);
//   2, 4, 5   RequirementID, FieldValue as a whole number: the value when it
//             is numeric, 0 when it is not, NULL when absent;
//   3         RequirementID, NumericValue as FieldValue;
//   others    no view.
// The sort view is made for data type 10 only.
//
// The builders only assemble text. The two routines below trap their own
// errors, report them under their own names (ReportProcError) and give up
// the views of that attribute only: the caller always goes on.
#pragma once

#include <cstdint>
#include <string>

#include "host/db/data_services.h"
#include "host/text/messages.h"

namespace vl {

// Builds the view texts for the database kind of `oDS` and executes the
// value view; when that succeeds and a sort view text exists, executes the
// sort view too. Kinds and data types without a view execute nothing and
// show nothing. A failing statement (for example a view of that name that
// exists already) is reported as "g_CreateAttrView"; a view created before
// the failure stays.
void g_CreateAttrView(int32_t attrId, int32_t dataType, DataServices& oDS, Messenger& messages);

// Fills `view` from the builder of `dbKind` (empty when the kind or the
// data type has none) and `sortView` from BuildAttrSortViewForMultiAttr_
// when `dataType` is 10 (whatever the kind), otherwise empty. On an error
// (reported as "InsertAttrView_") both are left empty and false is
// returned.
bool InsertAttrView_(int32_t dataType, int32_t attrId, int dbKind, std::string& view,
                     std::string& sortView, Messenger& messages);

// The value view text for one database kind; "" for a data type without a
// view. Table and
// view names carry the table marker.
//
// Kinds 1 (file database) and 9: views that run on this program's SQLite
// and on PostgreSQL. A whole number is read from the value with blanks
// (space, tab, CR, LF) around it ignored; numeric means an optional sign,
// digits with at most one ".", and an optional exponent ("12", " 12 ",
// "-3", "+4", "12.5", ".5", "1e3"); the value is rounded half to even as
// the classic whole-number conversion does (12.5 -> 12, 13.5 -> 14,
// -2.5 -> -2); a value outside the 32-bit range gives 0, as does any text
// that is not numeric ("", "high", "1e"). The SQLite views use plain SQL
// only, so any SQLite client can query them. On PostgreSQL an exponent of
// four digits or more counts as not numeric.
std::string BuildAttrViewForSQLite_(int32_t attrId, int32_t dataType);
std::string BuildAttrViewForPostgreSQL_(int32_t attrId, int32_t dataType);
// The texts of the classic file database and of the enterprise databases
// (kinds 3, 5 and 7), kept for projects whose database is of those kinds.
std::string BuildAttrViewForAccess_(int32_t attrId, int32_t dataType);
std::string BuildAttrViewForOracle_(int32_t attrId, int32_t dataType);
std::string BuildAttrViewForSQLServer_(int32_t attrId, int32_t dataType);
std::string BuildAttrViewForDB2_(int32_t attrId, int32_t dataType);

// The sort view text of a multi-value list attribute: per requirement the
// smallest ListItemID and the smallest ItemRank.
std::string BuildAttrSortViewForMultiAttr_(int32_t attrId);

}  // namespace vl
