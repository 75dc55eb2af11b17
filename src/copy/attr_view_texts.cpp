// The CREATE VIEW texts of the attribute value views, one builder per
// database kind.
#include <string>

#include "copy/db_conventions.h"
#include "copy/mod_attr_views.h"

namespace vl {
namespace {

enum class ValueKind { kNone, kList, kText, kWholeNumber, kNumeric };

ValueKind ValueKindOf(int32_t dataType) {
  switch (dataType) {
    case 0:
    case 10:
      return ValueKind::kList;
    case 1:
      return ValueKind::kText;
    case 2:
    case 4:
    case 5:
      return ValueKind::kWholeNumber;
    case 3:
      return ValueKind::kNumeric;
    default:
      return ValueKind::kNone;
  }
}

std::string LV() { return Tbl("vlUserDefinedListValues"); }
std::string LI() { return Tbl("vlUserDefinedListItems"); }
std::string FV() { return Tbl("vlUserDefinedFieldValues"); }

std::string ViewHead(const std::string& a) {
  return "Create View " + Tbl("VlAttrValuesView_") + a + " as";
}

// The list view reads the same on every database kind.
std::string ListView(const std::string& a) {
  return ViewHead(a) + " Select " + LV() + ".RequirementID, " + LV() + ".ListItemID, " + LI() +
         ".ItemRank" + " from " + LV() + ", " + LI() + " Where " + LV() + ".FieldID = " + LI() +
         ".FieldID and " + LV() + ".ListItemID = " + LI() + ".ItemId And " + LV() +
         ".FieldId = " + a;
}

// The blanks a whole-number conversion ignores around a value.
constexpr const char* kSQLiteBlanks = "' ' || char(9) || char(10) || char(13)";
constexpr const char* kPostgresBlanks = "' ' || chr(9) || chr(10) || chr(13)";

// SQLite has no numeric test of its own that any client could use, so the
// shape of a number is checked with GLOB, step by step in nested selects:
// t the trimmed text, u without its sign, m the mantissa, x the exponent's
// digits (NULL without exponent), v the value when numeric, i its whole
// part when in range, r the value rounded half to even.
std::string SQLiteWholeNumberView(const std::string& a) {
  const std::string trimmed = "Select RequirementID, trim(CAST(FieldValue AS TEXT), " +
                              std::string(kSQLiteBlanks) + ") AS t from " + FV() +
                              " Where FieldID = " + a;
  const std::string unsigned_ =
      "Select RequirementID, t, CASE WHEN substr(t, 1, 1) IN ('+', '-') THEN substr(t, 2) "
      "ELSE t END AS u from (" +
      trimmed + ")";
  const std::string exponentAt =
      "Select RequirementID, t, u, instr(lower(u), 'e') AS p from (" + unsigned_ + ")";
  const std::string parts =
      "Select RequirementID, t, CASE WHEN p > 0 THEN substr(u, 1, p - 1) ELSE u END AS m, "
      "CASE WHEN p = 0 THEN NULL WHEN substr(u, p + 1, 1) IN ('+', '-') THEN substr(u, p + 2) "
      "ELSE substr(u, p + 1) END AS x from (" +
      exponentAt + ")";
  const std::string value =
      "Select RequirementID, t, CASE WHEN m GLOB '*[0-9]*' AND m NOT GLOB '*[^0-9.]*' "
      "AND m NOT GLOB '*.*.*' AND (x IS NULL OR (x <> '' AND x NOT GLOB '*[^0-9]*')) "
      "THEN CAST(t AS REAL) END AS v from (" +
      parts + ")";
  const std::string whole =
      "Select RequirementID, t, v, CASE WHEN v > -2147483649.0 AND v < 2147483648.0 "
      "THEN CAST(v AS INTEGER) END AS i from (" +
      value + ")";
  const std::string rounded =
      "Select RequirementID, CASE WHEN t IS NULL THEN NULL WHEN i IS NULL THEN 0 "
      "ELSE i + CASE WHEN abs(v - i) > 0.5 THEN CASE WHEN v < 0 THEN -1 ELSE 1 END "
      "WHEN abs(v - i) = 0.5 THEN i % 2 ELSE 0 END END AS r from (" +
      whole + ")";
  return ViewHead(a) +
         " Select RequirementID, CASE WHEN r < -2147483648 OR r > 2147483647 THEN 0 ELSE r END"
         " as FieldValue from (" +
         rounded + ")";
}

// PostgreSQL checks the shape with a regular expression and computes in
// NUMERIC, which is exact; its input refuses very large exponents, hence
// the limit of three significant exponent digits.
std::string PostgresWholeNumberView(const std::string& a) {
  const std::string trimmed = "Select RequirementID, btrim(CAST(FieldValue AS TEXT), " +
                              std::string(kPostgresBlanks) + ") AS t from " + FV() +
                              " Where FieldID = " + a;
  const std::string value =
      "Select RequirementID, t, CASE WHEN t ~ "
      "'^[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?0*[0-9]{1,3})?$' "
      "THEN CAST(t AS NUMERIC) END AS v from (" +
      trimmed + ") AS s1";
  const std::string rounded =
      "Select RequirementID, t, CASE WHEN abs(v - trunc(v)) = 0.5 "
      "THEN trunc(v) + mod(trunc(v), 2) ELSE round(v) END AS r from (" +
      value + ") AS s2";
  return ViewHead(a) +
         " Select RequirementID, CASE WHEN t IS NULL THEN NULL WHEN r IS NULL "
         "OR r < -2147483648 OR r > 2147483647 THEN 0 ELSE CAST(r AS INTEGER) END"
         " as FieldValue from (" +
         rounded + ") AS s3";
}

// Text and stored numbers read the same on SQLite and PostgreSQL.
std::string PortableTextView(const std::string& a) {
  return ViewHead(a) + " Select RequirementID, CAST(FieldValue AS TEXT) as FieldValue from " +
         FV() + " Where FieldID = " + a;
}

std::string NumericValueView(const std::string& a) {
  return ViewHead(a) + " Select RequirementID, NumericValue as FieldValue" + " from " + FV() +
         " Where FieldID = " + a;
}

// Oracle and DB2 share one form: head, select piece, tail.
std::string SelectPieceView(const std::string& a, const std::string& selectPiece) {
  return ViewHead(a) + selectPiece + " As FieldValue from " + FV() + " Where FieldID = " + a;
}

// SQLite and PostgreSQL share every form but the whole-number one.
std::string PortableAttrView(const std::string& a, int32_t dataType,
                             std::string (*wholeNumberView)(const std::string&)) {
  switch (ValueKindOf(dataType)) {
    case ValueKind::kList:
      return ListView(a);
    case ValueKind::kText:
      return PortableTextView(a);
    case ValueKind::kWholeNumber:
      return wholeNumberView(a);
    case ValueKind::kNumeric:
      return NumericValueView(a);
    case ValueKind::kNone:
      break;
  }
  return "";
}

}  // namespace

std::string BuildAttrViewForSQLite_(int32_t attrId, int32_t dataType) {
  return PortableAttrView(std::to_string(attrId), dataType, &SQLiteWholeNumberView);
}

std::string BuildAttrViewForPostgreSQL_(int32_t attrId, int32_t dataType) {
  return PortableAttrView(std::to_string(attrId), dataType, &PostgresWholeNumberView);
}

std::string BuildAttrViewForAccess_(int32_t attrId, int32_t dataType) {
  const std::string a = std::to_string(attrId);
  switch (ValueKindOf(dataType)) {
    case ValueKind::kList:
      return ListView(a);
    case ValueKind::kText:
      return ViewHead(a) + " Select RequirementID, iif(NOT isnull(" + FV() + ".FieldValue), cstr(" +
             FV() + ".FieldValue), NULL) as FieldValue from " + FV() + " Where FieldID = " + a;
    case ValueKind::kWholeNumber:
      return ViewHead(a) + " Select RequirementID, iif(NOT isnull(" + FV() +
             ".FieldValue), iif(isnumeric(" + FV() + ".FieldValue), clng(" + FV() +
             ".FieldValue), 0), NULL) as fieldvalue" + " from " + FV() + " Where FieldID = " + a;
    case ValueKind::kNumeric:
      return NumericValueView(a);
    case ValueKind::kNone:
      break;
  }
  return "";
}

std::string BuildAttrViewForOracle_(int32_t attrId, int32_t dataType) {
  const std::string a = std::to_string(attrId);
  switch (ValueKindOf(dataType)) {
    case ValueKind::kList:
      return ListView(a);
    case ValueKind::kText:
      return SelectPieceView(a, " Select RequirementID, VL_STR_TO_STRING(FieldValue) ");
    case ValueKind::kWholeNumber:
      return SelectPieceView(a, " Select RequirementID, VL_STR_TO_NUMBER(FieldValue) ");
    case ValueKind::kNumeric:
      return SelectPieceView(a, " Select RequirementID, NumericValue");
    case ValueKind::kNone:
      break;
  }
  return "";
}

std::string BuildAttrViewForDB2_(int32_t attrId, int32_t dataType) {
  const std::string a = std::to_string(attrId);
  switch (ValueKindOf(dataType)) {
    case ValueKind::kList:
      return ListView(a);
    case ValueKind::kText:
      return SelectPieceView(a, " Select RequirementID, FieldValue ");
    case ValueKind::kWholeNumber:
      return SelectPieceView(a, " Select RequirementID, DECIMAL(FieldValue) ");
    case ValueKind::kNumeric:
      return SelectPieceView(a, " Select RequirementID, NumericValue");
    case ValueKind::kNone:
      break;
  }
  return "";
}

std::string BuildAttrViewForSQLServer_(int32_t attrId, int32_t dataType) {
  const std::string a = std::to_string(attrId);
  const std::string tail = " as FieldValue from " + FV() + " Where FieldID = " + a;
  switch (ValueKindOf(dataType)) {
    case ValueKind::kList:
      return ListView(a);
    case ValueKind::kText:
      return ViewHead(a) + " Select RequirementID,  CASE when " +
             "FieldValue is NULL Then NULL Else " + " CONVERT(VARCHAR(255), FieldValue) END" + tail;
    case ValueKind::kWholeNumber:
      return ViewHead(a) + " Select RequirementID,  CASE when " +
             "FieldValue is NULL Then NULL Else " + " COALESCE(NULLIF(ISNUMERIC(FieldValue), 1), " +
             " CONVERT(INT, FieldValue)) END" + tail;
    case ValueKind::kNumeric:
      return ViewHead(a) + " Select RequirementID, NumericValue" + tail;
    case ValueKind::kNone:
      break;
  }
  return "";
}

std::string BuildAttrSortViewForMultiAttr_(int32_t attrId) {
  const std::string a = std::to_string(attrId);
  return "CREATE VIEW " + Tbl("VlAttrValuesSortView_") + a + " AS" + " SELECT " + LV() +
         ".RequirementID," + " Min(" + LV() + ".ListItemID) AS ListItemID," + " Min(" + LI() +
         ".ItemRank) AS ItemRank" + " FROM " + LV() + ", " + LI() + " WHERE " + LV() +
         ".FieldID = " + LI() + ".FieldID" + " AND " + LV() + ".ListItemID = " + LI() + ".ItemID" +
         " AND " + LV() + ".FieldID = " + a + " GROUP BY " + LV() + ".RequirementID";
}

}  // namespace vl
