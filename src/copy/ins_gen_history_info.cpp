#include "copy/ins_gen_history_info.h"

#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/element_values.h"
#include "copy/ins_overflow_info.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"

namespace vl {
namespace {

// One "RVer" as read. Each version is read on its own: a missing child
// gives an empty text and a missing or unreadable date gives no date,
// rather than silently repeating what the version before said.
struct VersionRecord {
  std::string num, label, userGuid, reason;
  Variant date = Variant::Null();
};

VersionRecord ReadVersion(const pugi::xml_node& rver) {
  VersionRecord v;
  v.num = ElementText(rver, "VNum");
  v.label = ElementText(rver, "VLbl");
  v.userGuid = ElementText(rver, "VUGUID");
  v.date = ElementDate(rver, "VDate");
  v.reason = ElementText(rver, "VResn");
  return v;
}

bool HistoryIsCopied(RunContext& ctx) {
  return ctx.baseline().CreateHist();
}

std::string NoHistoryLine(RunContext& ctx) { return ctx.messages().ResString(11011) + "History"; }

std::string DefaultValuesSQL(RunContext& ctx, Project& oProj) {
  return std::string("'1.000'") + ", " + "''" + ", " + SqlLong(oProj.GetCurrentUserID()) + ", " +
         SqlDate(ctx.baseline().StartDateTime()) + ", " + SqlText(ctx.messages().ResFormat(20054, {}));
}

std::string JoinValues(const std::vector<std::string>& values) {
  size_t size = 0;
  for (const std::string& v : values) size += v.size() + 2;
  std::string out;
  out.reserve(size);
  for (const std::string& v : values) {
    if (!out.empty()) out.append(", ");
    out.append(v);
  }
  return out;
}

}  // namespace

bool InsGenHistoryInfo::CopyXMLDetailHistoryInfo(const pugi::xml_node& oSource,
                                                 const std::string& sTableName, int32_t lRelatedID,
                                                 DataServices& oDS, Project& oProj) {
  try {
    if (!HistoryIsCopied(ctx_)) return true;
    pugi::xml_node history = oSource.child("History");
    if (!history) {
      AddTextResultsLine(NoHistoryLine(ctx_));
      return true;
    }
    AddTextResultsLine(ResString(20053));
    for (const pugi::xml_node& rver : DescendantsNamed(history, "RVer")) {
      const VersionRecord v = ReadVersion(rver);
      const int32_t lUID = GetNewUserID(oDS, v.userGuid);
      if (lUID == -1) return false;
      if (!InsertSingleHistRecord(sTableName, oDS, lRelatedID, v.num, v.label, lUID, v.date,
                                  v.reason, oProj))
        return false;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLDetailHistoryInfo", "");
    return false;
  }
}

std::string InsGenHistoryInfo::CreateDefaultHistFieldsSQL() const {
  return " VERSIONNUMBER, VERSIONLABEL, VERSIONUSERID, VERSIONDATETIME, VERSIONREASON";
}

std::string InsGenHistoryInfo::CreateDefaultHistValuesSQL(const pugi::xml_node& oSource,
                                                          Project& oProj, DataServices& oDS) {
  try {
    if (!HistoryIsCopied(ctx_)) return DefaultValuesSQL(ctx_, oProj);
    pugi::xml_node history = oSource.child("History");
    if (!history) {
      AddTextResultsLine(NoHistoryLine(ctx_));
      return DefaultValuesSQL(ctx_, oProj);
    }
    // The newest version is the last one the history copier writes.
    const std::vector<pugi::xml_node> versions = DescendantsNamed(history, "RVer");
    if (versions.empty()) return DefaultValuesSQL(ctx_, oProj);
    const VersionRecord v = ReadVersion(versions.back());
    const int32_t lUID = GetNewUserID(oDS, v.userGuid);
    if (lUID == -1) return "";
    return JoinValues({SqlText(v.num), SqlText(v.label), SqlLong(lUID), FormatSQLValue(v.date),
                       SqlText(v.reason)});
  } catch (const std::exception&) {
    ReportProcError("CreateDefaultHistValuesSQL", "");
    return "";
  }
}

bool InsGenHistoryInfo::InsertSingleHistRecord(const std::string& sTableName, DataServices& oDS,
                                               int32_t lRelatedID, const std::string& sVNum,
                                               const std::string& sVLabel, int32_t lUID,
                                               const Variant& dVDate, const std::string& sVReason,
                                               Project& oProj) {
  try {
    InsOverflowInfo overflow(ctx_);
    std::string reason = sVReason, overflowText;
    bool bIsOverflow = false;
    if (!overflow.SplitOverflowText(oProj.GetOverflowSize(), reason, overflowText, bIsOverflow))
      return false;
    const std::string sql =
        "INSERT INTO " + sTableName +
        " (ID, VERSIONNUMBER, VERSIONLABEL, VERSIONUSERID, VERSIONDATETIME, VERSIONREASON, "
        "OVERFLOWIND) VALUES (" +
        JoinValues({SqlLong(lRelatedID), SqlText(sVNum), SqlText(sVLabel), SqlLong(lUID),
                    FormatSQLValue(dVDate), SqlText(reason), SqlBool(bIsOverflow)}) +
        ")";
    if (bIsOverflow &&
        !overflow.SaveReqOverflowHistRec(sTableName, lRelatedID, sVNum, overflowText, oDS))
      return false;
    oDS.ExecuteSQL(sql);
    return true;
  } catch (const std::exception&) {
    ReportProcError("InsertSingleHistRecord", "");
    return false;
  }
}

}  // namespace vl
