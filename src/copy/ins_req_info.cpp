#include "copy/ins_req_info.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "copy/db_conventions.h"
#include "copy/element_values.h"
#include "copy/ins_gen_history_info.h"
#include "copy/ins_overflow_info.h"
#include "copy/insert_sql.h"
#include "copy/xml_elements.h"
#include "host/db/sql_rewrite.h"
#include "host/project/sql_project.h"
#include "host/text/convert.h"
#include "host/text/messages.h"

namespace vl {
namespace {

constexpr long kResCopyingRequirement = 20078;
constexpr long kResParentNotFound = 20143;
// The progress line shows at most this many characters of a requirement.
constexpr size_t kProgressChars = 50;

// One "Req" as read. A missing child or a text that does not convert
// leaves its field empty (0 for numbers).
struct ReqRecord {
  std::string guid, longTag, prefix, text, name, reqTypeGuid;
  int32_t tag = 0, lastChildTag = 0;
  int16_t flags = 0;
};

ReqRecord ReadRequirement(const pugi::xml_node& req) {
  ReqRecord r;
  r.guid = ElementText(req, "GUID");
  r.tag = ElementLong(req, "Tag");
  r.lastChildTag = ElementLong(req, "LCTag");
  r.longTag = ElementText(req, "LTNum");
  r.prefix = ElementText(req, "RPre");
  r.text = ElementText(req, "RText");
  r.name = ElementText(req, "RName");
  r.flags = ElementInt(req, "Flags");
  r.reqTypeGuid = ElementText(req, "RTID");
  return r;
}

// The name, a colon and the start of the text, or the text alone for a
// requirement without a name; at most 50 characters (never cut inside
// one), and "..." after a display text of exactly 50.
std::string ProgressDisplayText(const std::string& name, const std::string& text) {
  std::string display =
      Trim(name).empty()
          ? CharLeft(text, kProgressChars)
          : CharLeft(CharLeft(name, kProgressChars) + ":" + CharLeft(text, kProgressChars),
                     kProgressChars);
  if (CharCount(display) == kProgressChars) display += "...";
  return display;
}

// The bookmark of a requirement in its document.
struct DocPosition {
  std::string bookmark;
  int32_t documentId = 0, position = 0, lastDocText = 0;
};

// The text an SQL text literal ('...' with doubled quotes) stands for.
std::string TextOfLiteral(const std::string& literal) {
  std::string text;
  for (size_t i = 1; i + 1 < literal.size(); ++i) {
    text += literal[i];
    if (literal[i] == '\'') ++i;
  }
  return text;
}

int32_t IdOf(const Variant& v) {
  if (v.type() == vbInteger || v.type() == vbLong) return static_cast<int32_t>(v.AsInt());
  return CLng(v.ToText());
}

// The number of an attribute value: the value itself when it is numeric,
// otherwise 0.
double NumericValueOf(const std::string& text) {
  if (!IsNumeric(text)) return 0;
  std::optional<double> number = ParseNumber(text);
  return number && std::isfinite(*number) ? *number : 0;
}

std::string RequirementInsertSQL(int32_t id, int32_t reqTypeId, const ReqRecord& r, bool textIsCut,
                                 const DocPosition& pos, const std::string& newGuid,
                                 const std::string& historyFields,
                                 const std::string& historyValues) {
  static const char* const kColumnsBeforeHistory[] = {"REQUIREMENTTYPEID",
                                                      "TAG",
                                                      "LASTCHILDTAG",
                                                      "LONGTAGNUMBER",
                                                      "REQUIREMENTPREFIX",
                                                      "REQUIREMENTNAME",
                                                      "REQUIREMENTTEXT",
                                                      "OVERFLOWIND",
                                                      "DELETED",
                                                      "BOOKMARKNAME",
                                                      "BOOKMARKDOCUMENTID",
                                                      "DOCUMENTPOSITION",
                                                      "LASTDOCTEXT"};
  const std::vector<std::string> valuesBeforeHistory = {
      SqlLong(id),           SqlLong(reqTypeId),
      SqlLong(r.tag),        SqlLong(r.lastChildTag),
      SqlText(r.longTag),    SqlText(r.prefix),
      SqlText(r.name),       SqlText(r.text),
      SqlBool(textIsCut),    SqlBool(false),
      SqlText(pos.bookmark), SqlLong(pos.documentId),
      SqlLong(pos.position), SqlLong(pos.lastDocText)};

  // Built in one string: one per requirement, hundreds of thousands in a run.
  std::string sql;
  sql.reserve(512 + r.text.size() + r.name.size() + historyValues.size());
  sql.append("INSERT INTO ").append(Tbl("vlRequirements")).append(" (ID,").append(kCrLf);
  for (const char* column : kColumnsBeforeHistory) sql.append(column).append(", ").append(kCrLf);
  sql.append(historyFields).append(", ").append(kCrLf).append("FLAGS, ").append(kCrLf);
  sql.append("VLGUID").append(kCrLf).append(") VALUES (");
  for (const std::string& value : valuesBeforeHistory) sql.append(value).append(", ").append(kCrLf);
  sql.append(historyValues).append(", ").append(kCrLf).append(SqlLong(r.flags)).append(", ");
  sql.append(kCrLf).append(SqlText(newGuid)).append(kCrLf).append(")");
  return sql;
}

}  // namespace

bool InsReqInfo::CopyXMLPkgReqInfo(pugi::xml_node oPkg, int32_t lPkgID, DataServices& oDS,
                                   Project& oProj) {
  try {
    if (!oPkg)
      throw VlError(err::kObjectVariableNotSet, "selectSingleNode",
                    "Object variable not set: the package file has no package element "
                    "(PROJECT/Pkg)");
    pugi::xml_node requirements = oPkg.child("Requirements");
    if (!requirements) return true;
    for (const pugi::xml_node& oReq : DescendantsNamed(requirements, "Req"))
      if (!CopyRequirement(oReq, lPkgID, oDS, oProj)) return false;
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLPkgReqInfo", "");
    return false;
  }
}

bool InsReqInfo::CopyRequirement(const pugi::xml_node& oReq, int32_t lPkgID, DataServices& oDS,
                                 Project& oProj) {
  const int32_t id = NextKey(oDS, "Requirement");
  ReqRecord r = ReadRequirement(oReq);
  // The tag first: it is what a user knows a requirement by.
  const std::string tag = r.prefix + std::to_string(r.tag);
  AddTextResultsLine(
      ResFormat(kResCopyingRequirement, {tag + " " + ProgressDisplayText(r.name, r.text)}));
  ctx_.copied.Copying(CopiedKind::kRequirement, tag, r.guid);
  const std::string newGuid = AssignNewReqGUID(r.guid);
  const int32_t reqTypeId = GetNewReqTypeID(oDS, r.reqTypeGuid);
  if (reqTypeId == -1) return false;
  DocPosition pos;
  if (!GetReqDocInfo(oReq, oDS, pos.bookmark, pos.documentId, pos.position, pos.lastDocText))
    return false;

  InsOverflowInfo overflow(ctx_);
  std::string overflowText;
  bool textIsCut = false;
  if (!overflow.SplitOverflowText(oProj.GetReqTextOverflowSize(), r.text, overflowText, textIsCut))
    return false;
  InsGenHistoryInfo history(ctx_);
  const std::string historyValues = history.CreateDefaultHistValuesSQL(oReq, oProj, oDS);
  // Without the current version's values the row cannot be written; the
  // reason has been shown already.
  if (historyValues.empty()) return false;
  oDS.ExecuteSQL(RequirementInsertSQL(id, reqTypeId, r, textIsCut, pos, newGuid,
                                      history.CreateDefaultHistFieldsSQL(), historyValues));
  RememberNewReqID(oDS, r.guid, newGuid, id);
  ctx_.RememberNewReqTag(oDS, TextOfLiteral(SqlText(r.prefix)), r.tag, id);
  oDS.ExecuteSQL(LinkRowInsertSQL(Tbl("vlProjectRequirements"), "PROJECTID", "REQUIREMENTID",
                                  oProj.GetProjectID(), id));
  oDS.ExecuteSQL(LinkRowInsertSQL("VLPACKAGEELEMENTS", "PACKAGEID", "REQUIREMENTID", lPkgID, id));
  if (textIsCut && !overflow.SaveReqOverflowText(id, overflowText, oDS)) return false;
  // Both kinds of values are found by one walk of the requirement.
  const auto [lvs, fvs] = DescendantsNamed(oReq, "LV", "FV");
  if (!CopyReqLVInfo(lvs, id, oDS, oProj)) return false;
  if (!CopyReqFVInfo(fvs, id, oDS, oProj)) return false;
  if (!history.CopyXMLDetailHistoryInfo(oReq, Tbl("vlRequirementHistory"), id, oDS, oProj))
    return false;

  // A child's prefix is its parent's tag and a "."; "A.B." names "A.B".
  const size_t dot = r.prefix.rfind('.');
  if (dot == std::string::npos) return true;
  const std::string parentTag = r.prefix.substr(0, dot);
  const int32_t parentId = getReqID(parentTag, oProj);
  if (parentId == 0) {
    ctx_.unlinked_children.push_back({parentTag, r.prefix + std::to_string(r.tag), id});
    return true;
  }
  return CopyHierarchyInfo(parentId, id, oDS, oProj);
}

bool InsReqInfo::LinkPendingChildren(DataServices& oDS, Project& oProj) {
  std::vector<UnlinkedChild> pending;
  pending.swap(ctx_.unlinked_children);
  for (const UnlinkedChild& child : pending) {
    const int32_t parentId = getReqID(child.parentTag, oProj);
    if (parentId == 0) {
      AddTextResultsLine(ResFormat(kResParentNotFound, {child.parentTag, child.childTag}));
      continue;
    }
    if (!CopyHierarchyInfo(parentId, child.childId, oDS, oProj)) return false;
  }
  return true;
}

bool InsReqInfo::GetReqDocInfo(const pugi::xml_node& oReq, DataServices& oDS,
                               std::string& sBookmark, int32_t& lBookmarkDocID,
                               int32_t& lDocPosition, int32_t& lLastDocText) {
  try {
    const pugi::xml_node info = oReq.child("RDInfo");
    sBookmark = ElementText(info, "BM");
    const std::string documentGuid = ElementText(info, "BMDoc");
    lDocPosition = ElementLong(info, "DPos");
    lLastDocText = ElementLong(info, "LDText");
    lBookmarkDocID = 0;
    if (Trim(documentGuid).empty()) return true;
    lBookmarkDocID = GetNewDocID(oDS, documentGuid);
    return lBookmarkDocID != -1;
  } catch (const std::exception&) {
    ReportProcError("GetReqDocInfo", "");
    return false;
  }
}

bool InsReqInfo::CopyReqLVInfo(const std::vector<pugi::xml_node>& lvs, int32_t lReqID,
                               DataServices& oDS, Project&) {
  try {
    for (const pugi::xml_node& lv : lvs) {
      const int32_t fieldId = GetNewAttrID(oDS, ElementText(lv, "UDF"));
      const int32_t itemId = GetNewLVID(oDS, ElementText(lv, "LGUID"));
      if (fieldId == -1 || itemId == -1) return false;
      oDS.ExecuteSQL(ColumnPerLineInsertSQL(Tbl("vlUserDefinedListValues"),
                                            {"REQUIREMENTID", "FIELDID", "LISTITEMID"},
                                            {SqlLong(lReqID), SqlLong(fieldId), SqlLong(itemId)}));
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyReqLVInfo", "");
    return false;
  }
}

bool InsReqInfo::CopyReqFVInfo(const std::vector<pugi::xml_node>& fvs, int32_t lReqID,
                               DataServices& oDS, Project& oProj) {
  try {
    InsOverflowInfo overflow(ctx_);
    for (const pugi::xml_node& fv : fvs) {
      std::string value = ElementText(fv, "FTxt");
      // The number is that of the whole value, before it is cut.
      const double number = NumericValueOf(value);
      const int32_t fieldId = GetNewAttrID(oDS, ElementText(fv, "FGUID"));
      if (fieldId == -1) return false;
      std::string overflowText;
      bool valueIsCut = false;
      if (!overflow.SplitOverflowText(oProj.GetFieldValueOverflowSize(), value, overflowText,
                                      valueIsCut))
        return false;
      oDS.ExecuteSQL(ColumnPerLineInsertSQL(
          Tbl("vlUserDefinedFieldValues"),
          {"REQUIREMENTID", "FIELDID", "FIELDVALUE", "OVERFLOWIND", "NUMERICVALUE"},
          {SqlLong(lReqID), SqlLong(fieldId), SqlText(value), SqlBool(valueIsCut),
           FormatSQLValue(Variant::Double(number))}));
      if (valueIsCut && !overflow.SaveReqOverflowAttrValue(lReqID, fieldId, overflowText, oDS))
        return false;
    }
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyReqFVInfo", "");
    return false;
  }
}

bool InsReqInfo::CopyHierarchyInfo(int32_t lParentID, int32_t lChildID, DataServices& oDS,
                                   Project&) {
  try {
    oDS.ExecuteSQL(ColumnPerLineInsertSQL(Tbl("VlToRelationships"),
                                          {"REQUIREMENTID", "EXTERNALPROJECTID", "TOID",
                                           "EXTERNALPROJECTTOID", "TYPE", "STATE", "VERSIONNUMBER"},
                                          {SqlLong(lParentID), SqlLong(0), SqlLong(lChildID),
                                           SqlLong(0), SqlLong(1), SqlLong(0), SqlText("1.0000")}));
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyHierarchyInfo", "");
    return false;
  }
}

int32_t InsReqInfo::getReqID(const std::string& sParentTag, Project& oProj) {
  try {
    std::shared_ptr<DataServices> ds = DataServicesOf(oProj);
    // A parent this copier wrote is known without asking the database.
    std::string prefix;
    int32_t number = 0;
    if (ds && SqlProject::SplitTag(sParentTag, prefix, number))
      if (int32_t id = ctx_.FindNewReqIDByTag(*ds, TextOfLiteral(QuoteSqlText(prefix)), number))
        return id;
    std::shared_ptr<Requirement> parent = oProj.GetRequirement(sParentTag);
    if (!ds || !parent) return 0;
    std::unique_ptr<Recordset> rs = ds->ExecuteSQL(
        "SELECT VlRequirements.VlGUID, VlRequirements.ID FROM VlRequirements WHERE "
        "VlRequirements.VlGUID = " +
        SqlText(parent->GetRequirementGUID()));
    if (!rs || rs->IsEOF()) return 0;
    rs->MoveFirst();
    return IdOf(rs->GetFieldValue(size_t{1}));
  } catch (const std::exception&) {
    ReportProcError("getReqID", "");
    return 0;
  }
}

}  // namespace vl
