// The query definitions of the baseline, and the definitions that other
// projects left unresolved for this baseline's project.
#include "copy/ins_view_info.h"

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/view_info_xml.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

constexpr const char* kQueryDefsFile = "QueryDefs.XML";
constexpr const char* kResRTGUIDsFile = "ResRTGUIDs.xml";
constexpr const char* kUnResQDefPrefix = "UnResQDefName:";
constexpr long kResQueryRejected = 20080;
constexpr long kResCopyingQueryDefInto = 20150;

// The literal of a query string. Texts inside a query double their quotes,
// so every quote is doubled again here: taking "''" as an already doubled
// quote would store a query that no longer reads ("= ''" would become
// "= '").
std::string QueryStringLiteral(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '|')
      out += '\x1A';
    else if (c == '\'')
      out += "''";
    else if (c != '\0')
      out += c;
  }
  return out + "'";
}

// The fields of one QUERYDEF element.
struct BaselineQueryDef {
  std::string name, guid, userGuid, reason, description, queryString;
  VlDate dateTime;
  int32_t baseType = 0;
};

BaselineQueryDef ReadQueryDef(const pugi::xml_node& el) {
  BaselineQueryDef q;
  q.name = el.attribute("Name").value();
  q.guid = el.attribute("ID").value();
  q.userGuid = el.attribute("queryuserid").value();
  q.dateTime = CDate(el.attribute("querydatetime").value());
  q.reason = el.attribute("queryreason").value();
  q.baseType = CLng(el.attribute("querybasetype").value());
  q.description = ElementText(el, "QUERYDESCRIPTION");
  q.queryString = ElementText(el, "QUERYSTRING");
  return q;
}

std::string InsertQueryDefStatement(int32_t lID, int32_t lProjectID, int32_t lUserID,
                                    const BaselineQueryDef& q, const std::string& newGuid) {
  return "INSERT INTO " + Tbl("VlQueryDefinitions") +
         " (ID,PROJECTID, QUERYNAME, QUERYDESCRIPTION, QUERYUSERID, QUERYDATETIME, "
         "QUERYREASON, QUERYBASETYPE, QUERYSTRING, VLGUID) VALUES (" +
         SqlLong(lID) + "," + SqlLong(lProjectID) + "," + SqlText(q.name) + ", " +
         SqlText(q.description) + ", " + SqlLong(lUserID) + ", " + SqlDate(q.dateTime) + ", " +
         SqlText(q.reason) + ", " + SqlLong(q.baseType) + ", " + QueryStringLiteral(q.queryString) +
         ", " + SqlText(newGuid) + ")";
}

// Every occurrence of `from` in `s` replaced by `to` (exact comparison).
std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

}  // namespace

bool InsViewInfo::CopyXMLQueryDefs(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kQueryDefsFile);
    if (!root) return false;
    tables().gcolUnResQDefs.Clear();
    tables().gcolQDefs.Clear();
    pugi::xml_document unresolved;
    AddXmlDeclaration(unresolved);
    pugi::xml_node unresolvedRoot = unresolved.append_child("PROJECT");

    pugi::xml_node queryDefs = RequiredElement(root, "QUERYDEFS");
    for (pugi::xml_node qdef : DescendantsNamed(queryDefs, "QUERYDEF")) {
      const std::string queryString = ElementText(qdef, "QUERYSTRING");
      bool bExternal = false;
      std::string extProjGuid;
      if (GetExtProjRef(queryString, extProjGuid)) {
        const std::string* current = tables().gdictExtProjMap.Find(extProjGuid);
        if (!current || current->empty()) {
          const std::string id = qdef.attribute("ID").value();
          tables().gcolUnResQDefs[id] =
              kUnResQDefPrefix + std::string(qdef.attribute("Name").value());
          const std::string newUser = TranslateGUID(qdef.attribute("queryuserid").value());
          if (!newUser.empty()) qdef.attribute("queryuserid").set_value(newUser.c_str());
          WriteUnResQueryDef(unresolvedRoot, qdef);
          continue;
        }
        LoadExtProjRTGUIDs(extProjGuid, *current);
        bExternal = true;
      }
      if (InsertQueryDefSQL(oDS, oProj, qdef, bExternal))
        ctx_.copied.Count(CopiedKind::kQueryDefinition);
    }
    if (unresolvedRoot.first_child())
      SaveXmlFile(unresolved, BesideProjectFile(oProj, kUnResQueryDefsFile));
    // The definitions and views other projects left for this baseline's
    // project are completed when the run has copied everything else
    // (CompleteUnResQueryDefs, CompleteUnResViews); the stage goes on as it
    // would after they succeeded.
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLQDInfo", "");
    return false;
  }
}

namespace {
// The ID of the user whose GUID is `guid` in the database, or -1.
int32_t UserIDByOwnGUID(DataServices& oDS, const std::string& guid) {
  auto rs =
      oDS.QueryRecordset("SELECT ID FROM " + Tbl("vlUsers") + " WHERE VLGUID = " + SqlText(guid));
  if (rs->IsEOF()) return -1;
  return static_cast<int32_t>(rs->GetFieldValue("ID").AsInt());
}
}  // namespace

bool InsViewInfo::InsertQueryDefSQL(DataServices& oDS, Project& oProj, pugi::xml_node oQDef,
                                    bool bExternal, bool bOwnerIsOwnUser) {
  try {
    const int32_t lID = NextKey(oDS, "Query");
    BaselineQueryDef q = ReadQueryDef(oQDef);
    ctx_.copied.About(CopiedKind::kQueryDefinition, q.name, q.guid);
    // A definition written into another project is named with it, so that
    // what follows (a rejected query) is known to concern that project.
    if (!into_project_.empty())
      AddTextResultsLine(ResFormat(kResCopyingQueryDefInto, {q.name, into_project_}));
    const std::string newGuid = AssignNewGUID(q.guid);
    // A definition left by another project's run already names that
    // project's own user: translating it through this run's table would
    // fail with a message and give the owner of the wrong project.
    int32_t lUserID =
        bOwnerIsOwnUser ? UserIDByOwnGUID(oDS, q.userGuid) : GetNewUserID(oDS, q.userGuid);
    if (lUserID == -1) lUserID = oProj.GetCurrentUserID();
    if (!RenewQStringIDs(q.guid, q.queryString, oProj, bExternal)) return false;
    oDS.ExecuteSQL(InsertQueryDefStatement(lID, oProj.GetProjectID(), lUserID, q, newGuid));
    return true;
  } catch (const std::exception&) {
    ReportProcError("InsertQueryDefSQL", "");
    return false;
  }
}

bool InsViewInfo::RenewQStringIDs(const std::string& sQDefGUID, std::string& sQString,
                                  Project& oProj, bool bExternal) {
  try {
    if (sQString.empty()) return true;
    if (bExternal) {
      RenewGUIDs(sQString, [this](const std::string& guid) {
        if (const std::string* found = ext_translations_.Find(guid)) return *found;
        if (ext_keeps_guids_) return guid;
        throw VlError(err::kInvalidProcedureCall, "RenewQStringIDs",
                      "The external project has no translation for " + guid + ".");
      });
    } else {
      RenewGUIDs(sQString, [this](const std::string& guid) { return TranslateGUID(guid); });
    }
    ProjectApplication& app = oProj.GetApplication();
    std::shared_ptr<QueryServices> services =
        oProj.GetQueryServices(app.GetContextInfo().GetContextKey());
    oProj.PrepareQueryParsing(true);
    std::string errorText;
    ParsedQuery parsed;
    if (!services->ParseQueryString(oProj, sQString, errorText, parsed)) {
      ctx_.messages().ShowInfoMessage(
          ResFormat(kResQueryRejected, {errorText}) + " It is the " + ctx_.copied.subject() + ".",
          kResQueryRejected);
      return false;
    }
    sQString = parsed.QueryString;
    if (parsed.ProjStructSpec && !parsed.ProjStructSpec->ExternalProjectID.empty())
      tables().gcolQDefs[sQDefGUID] = parsed.ProjStructSpec;
    return true;
  } catch (const std::exception&) {
    ReportProcError("RenewQStringIDs", "");
    return false;
  }
}

void InsViewInfo::LoadExtProjRTGUIDs(const std::string& sExtProjGUID,
                                     const std::string& sCurrGUID) {
  ext_translations_.Clear();
  ext_translations_.Add(sExtProjGUID, sCurrGUID);
  // A project that was not created from a baseline has no such file: its
  // objects still carry the GUIDs the baseline knows.
  ext_keeps_guids_ = true;
  const std::shared_ptr<Project>* opened = tables().gcolExtProjs.Find(sCurrGUID);
  if (!opened || !*opened) return;
  pugi::xml_document doc;
  if (!LoadXmlFile(doc, GetParentFolderName((*opened)->GetProjectPath()), kResRTGUIDsFile)) return;
  ext_keeps_guids_ = false;
  pugi::xml_node last = doc.last_child();
  if (!last || !last.first_child()) return;
  for (pugi::xml_node pair : DescendantsNamed(last, "GUID")) {
    const std::string oldGuid = pair.attribute("OLDGUID").value();
    if (!ext_translations_.Exists(oldGuid))
      ext_translations_.Add(oldGuid, pair.attribute("NEWGUID").value());
  }
}

void InsViewInfo::WriteUnResQueryDef(pugi::xml_node oRoot, pugi::xml_node oQDef) {
  MoveElement(oRoot, oQDef);
}

bool InsViewInfo::CompleteUnResQueryDefs(Project& oProj) {
  try {
    const std::string baselineGuid = BaselineDescriptor().BLXMLGUID();
    const std::string newGuid = oProj.GetProjectGUID();
    CompleteExtProjFiles(
        ctx_, kUnResQueryDefsFile, [&](pugi::xml_document& doc, Project& other, DataServices& ds) {
          into_project_ = other.GetProjectName();
          for (pugi::xml_node qdef : DescendantsNamed(doc, "QUERYDEF")) {
            const std::string original = ElementText(qdef, "QUERYSTRING");
            std::string ref;
            if (!GetExtProjRef(original, ref) || ref != baselineGuid) continue;
            SetElementText(qdef, "QUERYSTRING", ReplaceAll(original, baselineGuid, newGuid));
            if (InsertQueryDefSQL(ds, other, qdef, false, true))
              qdef.parent().remove_child(qdef);
            else  // kept for another try, as it was
              SetElementText(qdef, "QUERYSTRING", original);
          }
        });
    into_project_.clear();
    return true;
  } catch (const std::exception&) {
    into_project_.clear();
    ReportProcError("CompleteUnResQueryDefs", "");
    return false;
  }
}

}  // namespace vl
