#include "copy/ins_overflow_info.h"

#include "copy/db_conventions.h"
#include "host/text/convert.h"
#include "host/text/messages.h"

namespace vl {

int32_t OverflowTypeOfHistoryTable(const std::string& sTableName) {
  // Callers may hand over the marked table constant or the bare name.
  std::string name = sTableName;
  if (name.compare(0, kTableMarker.size(), kTableMarker) == 0) name.erase(0, kTableMarker.size());
  name = LCase(name);
  if (name == "vlrequirementhistory") return 1;
  if (name == "vldocumenthistory") return 2;
  if (name == "vlprojecthistory") return 3;
  return 0;
}

bool InsOverflowInfo::SplitOverflowText(int32_t lOverflowSize, std::string& sText,
                                        std::string& sOverflowText, bool& bIsOverflow) {
  try {
    bIsOverflow = false;
    if (lOverflowSize == -1) return true;
    if (lOverflowSize < 0)
      throw VlError(err::kInvalidProcedureCall, "SplitOverflowText",
                    "Invalid overflow size " + std::to_string(lOverflowSize));
    const size_t limit = static_cast<size_t>(lOverflowSize);
    if (CharCount(sText) > limit) {
      bIsOverflow = true;
      sOverflowText = sText;
      sText = CharLeft(sText, limit);
    }
    return true;
  } catch (const std::exception&) {
    bIsOverflow = false;
    ReportProcError("SplitOverflowText", "");
    return false;
  }
}

bool InsOverflowInfo::SaveReqOverflowText(int32_t lReqID, const std::string& sOverflowText,
                                          DataServices& oDS) {
  try {
    oDS.ExecuteSQL("INSERT INTO " + Tbl("VlOverflowText") + " (OVERFLOWID, OVERFLOWTEXT) VALUES (" +
                   SqlLong(lReqID) + ", " + SqlText(sOverflowText) + ")");
    return true;
  } catch (const std::exception&) {
    ReportProcError("SaveReqOverflowText", "");
    return false;
  }
}

bool InsOverflowInfo::SaveReqOverflowAttrValue(int32_t lReqID, int32_t lFieldID,
                                               const std::string& sOverflowText,
                                               DataServices& oDS) {
  try {
    oDS.ExecuteSQL("INSERT INTO " + Tbl("VlOverflowValues") +
                   " (OVERFLOWREQUIREMENTID, OVERFLOWFIELDID, OVERFLOWFIELDVALUE) VALUES (" +
                   SqlLong(lReqID) + ", " + SqlLong(lFieldID) + ", " + SqlText(sOverflowText) +
                   ")");
    return true;
  } catch (const std::exception&) {
    ReportProcError("SaveReqOverflowAttrValue", "");
    return false;
  }
}

bool InsOverflowInfo::SaveReqOverflowHistRec(const std::string& sTableName, int32_t lID,
                                             const std::string& sVerNbr,
                                             const std::string& sOverflowText, DataServices& oDS) {
  try {
    const int32_t type = OverflowTypeOfHistoryTable(sTableName);
    if (type == 0) return false;
    oDS.ExecuteSQL("INSERT INTO " + Tbl("VlOverflowHistory") +
                   " (OVERFLOWTYPE, OVERFLOWID, OVERFLOWVERSIONNUMBER, OVERFLOWVERSIONREASON)"
                   " VALUES (" +
                   SqlLong(type) + ", " + SqlLong(lID) + ", " + SqlText(sVerNbr) + ", " +
                   SqlText(sOverflowText) + ")");
    return true;
  } catch (const std::exception&) {
    ReportProcError("SaveReqOverflowHistRec", "");
    return false;
  }
}

}  // namespace vl
