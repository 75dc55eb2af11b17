// The views of a package, and the views that other projects left
// unresolved for this baseline's project.
#include <filesystem>

#include "copy/db_conventions.h"
#include "copy/ins_view_info.h"
#include "copy/view_info_xml.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

constexpr long kResCopyingView = 20079;
constexpr long kResViewsFailed = 20064;
constexpr long kResRowMissing = 20084;
constexpr long kResNotCopied = 20085;
constexpr long kResCopyingViewInto = 20151;
constexpr long kResViewWaitsFor = 20152;

// The specification kept for a query definition, or nullptr.
const ProjStructSpec* SpecOf(const RunTables& tables, const std::string& sQDefGUID) {
  const std::shared_ptr<ProjStructSpec>* spec = tables.gcolQDefs.Find(sQDefGUID);
  return spec ? spec->get() : nullptr;
}

bool IsUnresolved(const RunTables& tables, const std::string& sQDefGUID) {
  const std::string* name = tables.gcolUnResQDefs.Find(sQDefGUID);
  return name && !name->empty();
}

// The fields of one View element that InsertViewSQL writes as they are.
struct BaselineView {
  std::string guid, name, description, reason;
  int16_t visibility = 0, type = 0;
  VlDate dateTime;
};

BaselineView ReadView(const pugi::xml_node& el) {
  BaselineView v;
  v.guid = ElementText(el, "GUID");
  v.name = ElementText(el, "ViewName");
  v.description = ElementText(el, "ViewDescription");
  v.visibility = CInt(ElementText(el, "Visibility"));
  v.dateTime = CDate(ElementText(el, "ViewDateTime"));
  v.reason = ElementText(el, "ViewReason");
  v.type = CInt(ElementText(el, "Type"));
  return v;
}

// The IDs a view row refers to; a secondary ID of 0 or less leaves its
// column out.
struct ViewRefs {
  int32_t reqType = 0, secReqType = 0, user = 0, query = 0, secQuery = 0;
};

std::string InsertViewStatement(int32_t lID, int32_t lProjectID, const ViewRefs& r,
                                const BaselineView& v, const std::string& sProps,
                                const std::string& newGuid) {
  const bool secType = r.secReqType >= 1, secQuery = r.secQuery >= 1;
  return "INSERT INTO " + Tbl("VlViews") + " (ID,PROJECTID, REQUIREMENTTYPEID, " +
         (secType ? "SECONDARYREQTYPEID, " : "") +
         "VIEWNAME, VIEWDESCRIPTION, VIEWTYPE, VISIBILITY, PROPERTIES, QUERYID, " +
         (secQuery ? "SECONDARYQUERYID, " : "") +
         "VIEWUSERID, VIEWDATETIME, VIEWREASON, VLGUID) VALUES (" + SqlLong(lID) + "," +
         SqlLong(lProjectID) + "," + SqlLong(r.reqType) + ", " +
         (secType ? SqlLong(r.secReqType) + ", " : "") + SqlText(v.name) + ", " +
         SqlText(v.description) + ", " + SqlLong(v.type) + ", " + SqlLong(v.visibility) + ", " +
         SqlText(sProps) + ", " + SqlLong(r.query) + ", " +
         (secQuery ? SqlLong(r.secQuery) + ", " : "") + SqlLong(r.user) + ", " +
         SqlDate(v.dateTime) + ", " + SqlText(v.reason) + ", " + SqlText(newGuid) + ")";
}

std::string InsertPackageElementStatement(int32_t lPkgID, int32_t lViewID) {
  return "INSERT INTO VLPACKAGEELEMENTS(PACKAGEID,\r\nVIEWID\r\n) VALUES (" + SqlLong(lPkgID) +
         ", \r\n" + SqlLong(lViewID) + "\r\n)";
}

void SetDecimalText(pugi::xml_node view, const char* name, int32_t value) {
  SetElementText(view, name, std::to_string(value));
}

void MarkResolved(pugi::xml_node view, const char* name) {
  pugi::xml_node el = view.child(name);
  pugi::xml_attribute attr = el.attribute("RESOLVED");
  if (!attr) attr = el.append_attribute("RESOLVED");
  attr.set_value("True");
}

bool IsMarkedResolved(const pugi::xml_node& view, const char* name) {
  return std::string(view.child(name).attribute("RESOLVED").value()) == "True";
}

// How far one query definition of a view left unresolved by another
// project is found now.
struct QueryResolution {
  bool resolved = false;
  bool newly = false;    // found in this run, not recorded before
  bool missing = false;  // recorded as found, but its row is not there
  int32_t query = 0, reqType = 0;
};

// Whether the database holds the query definition row `id`.
bool QueryRowExists(DataServices& oDS, int32_t id) {
  if (id < 0) return false;
  std::unique_ptr<Recordset> rs = oDS.QueryRecordset("SELECT ID FROM " + Tbl("VlQueryDefinitions") +
                                                     " WHERE ID = " + SqlLong(id));
  return rs && !rs->IsEOF();
}

}  // namespace

bool InsViewInfo::CopyXMLPkgViewInfo(pugi::xml_node oPkg, int32_t lPkgID, DataServices& oDS,
                                     Project& oProj) {
  try {
    const std::string unresolvedPath = BesideProjectFile(oProj, kUnResViewsFile);
    pugi::xml_document unresolved;
    if (std::filesystem::exists(unresolvedPath))
      LoadXmlPath(unresolved, unresolvedPath);
    else
      AddXmlDeclaration(unresolved);
    pugi::xml_node root = unresolved.last_child();
    if (!root || std::string(root.name()) != "PROJECT") root = unresolved.append_child("PROJECT");
    auto saveUnresolved = [&] {
      if (root.first_child()) SaveXmlFile(unresolved, unresolvedPath);
    };

    pugi::xml_node views = oPkg.child("Views");
    if (!views) return true;
    for (pugi::xml_node view : DescendantsNamed(views, "View")) {
      ctx_.copied.About(CopiedKind::kView, ElementText(view, "ViewName"),
                        ElementText(view, "GUID"));
      bool queryMissing = false;
      const bool unresolved = ViewHasUnResQdefs(view, root, oDS, lPkgID, queryMissing);
      if (queryMissing) {
        saveUnresolved();
        return false;
      }
      if (unresolved) continue;
      const std::string reqTypeGuid = ElementText(view, "ReqTypeID");
      const std::string secReqTypeGuid = ElementText(view, "SecReqTypeID");
      std::string props = ElementText(view, "ViewProperties");
      const std::string queryGuid = ElementText(view, "ViewQueryDefGUID");
      const std::string secQueryGuid = ElementText(view, "SecQueryID");
      const std::string userGuid = ElementText(view, "ViewUserGUID");

      ViewRefs r;
      // A query on an external project names that project's requirement
      // type, which this project does not hold: its specification gives
      // the type, so the local look-up (and its "not copied" message) is
      // skipped.
      if (!SpecOf(tables(), queryGuid)) r.reqType = GetNewReqTypeID(oDS, reqTypeGuid);
      if (Trim(secReqTypeGuid).size() > 1 &&
          !(!Trim(secQueryGuid).empty() && SpecOf(tables(), secQueryGuid)))
        r.secReqType = GetNewReqTypeID(oDS, secReqTypeGuid);
      r.user = GetNewUserID(oDS, userGuid);
      if (r.user >= 0) r.query = GetNewQefID(oDS, queryGuid);
      if (r.user < 0 || r.query < 0) {
        // The views found unresolved so far are still recorded.
        saveUnresolved();
        return false;
      }
      if (const ProjStructSpec* spec = SpecOf(tables(), queryGuid))
        UpdatePropsExtProjID(r.reqType, props, *spec);
      if (!Trim(secQueryGuid).empty()) {
        r.secQuery = GetNewQefID(oDS, secQueryGuid);
        const ProjStructSpec* spec = SpecOf(tables(), secQueryGuid);
        if (r.secQuery != -1 && spec) UpdatePropsExtProjIDHoriz(r.secReqType, props, *spec);
      }
      if (InsertViewSQL(view, r.reqType, r.secReqType, r.user, r.query, r.secQuery, lPkgID, props,
                        oDS, oProj))
        ctx_.copied.Count(CopiedKind::kView);
    }
    saveUnresolved();
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLPkgViewInfo", "");
    return false;
  }
}

bool InsViewInfo::ViewHasUnResQdefs(pugi::xml_node oView, pugi::xml_node oUnResRoot,
                                    DataServices& oDS, int32_t lPkgID, bool& bQueryMissing) {
  bool result = false;
  bQueryMissing = false;
  try {
    const std::string queryGuid = ElementText(oView, "ViewQueryDefGUID");
    const std::string secQueryGuid = ElementText(oView, "SecQueryID");
    const bool hasSecond = !Trim(secQueryGuid).empty();
    const bool firstUnresolved = IsUnresolved(tables(), queryGuid);
    const bool secondUnresolved = hasSecond && IsUnresolved(tables(), secQueryGuid);
    if (!firstUnresolved && !secondUnresolved) return false;
    result = true;

    const int32_t lUserID = GetNewUserID(oDS, ElementText(oView, "ViewUserGUID"));
    if (lUserID < 0) return true;
    // A first query that neither waits nor was copied stops the package,
    // as it does for a view without waiting queries: the view must never
    // be completed later with a query that does not exist.
    const int32_t lQueryID = firstUnresolved ? 0 : GetNewQefID(oDS, queryGuid);
    if (lQueryID < 0) {
      bQueryMissing = true;
      return false;
    }
    if (lUserID > 0) SetDecimalText(oView, "ViewUserGUID", lUserID);
    pugi::xml_attribute pkg = oView.attribute("Pkg");
    if (!pkg) pkg = oView.append_attribute("Pkg");
    pkg.set_value(std::to_string(lPkgID).c_str());

    std::string props = ElementText(oView, "ViewProperties");
    // A query of the view that is found already is recorded as found, with
    // its requirement type; the second query is the horizontal one.
    auto recordFound = [&](const std::string& guid, const char* queryName, const char* reqTypeName,
                           bool second, int32_t queryId) {
      SetDecimalText(oView, queryName, queryId);
      int32_t reqType = 0;
      if (const ProjStructSpec* spec = SpecOf(tables(), guid)) {
        if (second)
          UpdatePropsExtProjIDHoriz(reqType, props, *spec);
        else
          UpdatePropsExtProjID(reqType, props, *spec);
      } else {
        reqType = GetNewReqTypeID(oDS, ElementText(oView, reqTypeName));
      }
      SetDecimalText(oView, reqTypeName, reqType);
      MarkResolved(oView, queryName);
    };
    if (!firstUnresolved) recordFound(queryGuid, "ViewQueryDefGUID", "ReqTypeID", false, lQueryID);
    if (hasSecond && !secondUnresolved)
      recordFound(secQueryGuid, "SecQueryID", "SecReqTypeID", true, GetNewQefID(oDS, secQueryGuid));
    if (props != ElementText(oView, "ViewProperties"))
      SetElementText(oView, "ViewProperties", props);
    MoveElement(oUnResRoot, oView);
    return true;
  } catch (const std::exception&) {
    ReportProcError("ViewHasUnResQdefs", "");
    return result;
  }
}

bool InsViewInfo::CompleteUnResViews() {
  try {
    bool stopped = false;
    CompleteExtProjFiles(ctx_, kUnResViewsFile,
                         [&](pugi::xml_document& doc, Project& other, DataServices& ds) {
                           into_project_ = other.GetProjectName();
                           for (pugi::xml_node view : DescendantsNamed(doc, "View"))
                             if (stopped || !CompleteUnResView(view, ds, other)) stopped = true;
                         });
    into_project_.clear();
    return !stopped;
  } catch (const std::exception&) {
    into_project_.clear();
    ReportProcError("CompleteUnResViews", "");
    return false;
  }
}

bool InsViewInfo::CompleteUnResView(pugi::xml_node oView, DataServices& oDS, Project& oProj) {
  std::string props = ElementText(oView, "ViewProperties");
  // A message names what it is about: the view waits in another project.
  auto showAbout = [&](long id, const std::string& query) {
    ShowInfoMessage(
        ResString(id) + " " +
        ResFormat(kResViewWaitsFor, {ElementText(oView, "ViewName"), into_project_, query}));
  };
  auto resolve = [&](const char* queryName, const char* reqTypeName, bool second) {
    QueryResolution r;
    const std::string text = ElementText(oView, queryName);
    if (IsMarkedResolved(oView, queryName)) {
      r.resolved = true;
      r.reqType = ToLongOrZero(ElementText(oView, reqTypeName));
      r.query = ToLongOrZero(text);
      // A query recorded as found whose row is not there (an earlier run
      // recorded -1 for a definition it never copied) is met as the
      // look-up of a view copied directly meets it.
      if (!QueryRowExists(oDS, r.query)) {
        showAbout(kResRowMissing, text);
        r.missing = true;
        r.query = 0;
      }
      return r;
    }
    if (!IsGUIDTranslated(text)) {
      showAbout(kResNotCopied, text);
      r.query = -1;
      return r;
    }
    r.query = GetNewQefID(oDS, text);
    if (r.query < 0) return r;
    r.resolved = r.newly = true;
    if (const ProjStructSpec* spec = SpecOf(tables(), text)) {
      if (second)
        UpdatePropsExtProjIDHoriz(r.reqType, props, *spec);
      else
        UpdatePropsExtProjID(r.reqType, props, *spec);
    }
    return r;
  };
  const QueryResolution first = resolve("ViewQueryDefGUID", "ReqTypeID", false);
  // A second query recorded as found holds its ID, which may be a single
  // digit: it is there all the same.
  const bool hasSecond =
      CharCount(ElementText(oView, "SecQueryID")) > 1 || IsMarkedResolved(oView, "SecQueryID");
  const QueryResolution second =
      hasSecond ? resolve("SecQueryID", "SecReqTypeID", true) : QueryResolution{};
  // Without its first query the view is not inserted and the completion
  // stops, as the package of such a view stops; without its second query
  // it goes in without one.
  if (first.missing) {
    ShowInfoMessage(ResString(kResViewsFailed));
    return false;
  }

  if (first.resolved && (!hasSecond || second.resolved)) {
    const int32_t lPkgID = ToLongOrZero(oView.attribute("Pkg").value());
    const int32_t lUserID = ToLongOrZero(ElementText(oView, "ViewUserGUID"));
    if (InsertViewSQL(oView, first.reqType, second.reqType, lUserID, first.query, second.query,
                      lPkgID, props, oDS, oProj)) {
      oView.parent().remove_child(oView);
      return true;
    }
  }
  // What was found now is recorded: the translations it came from are
  // gone after this run.
  if (first.newly) {
    SetDecimalText(oView, "ViewQueryDefGUID", first.query);
    SetDecimalText(oView, "ReqTypeID", first.reqType);
    MarkResolved(oView, "ViewQueryDefGUID");
  }
  if (second.newly) {
    SetDecimalText(oView, "SecQueryID", second.query);
    SetDecimalText(oView, "SecReqTypeID", second.reqType);
    MarkResolved(oView, "SecQueryID");
  }
  if (props != ElementText(oView, "ViewProperties")) SetElementText(oView, "ViewProperties", props);
  return true;
}

bool InsViewInfo::InsertViewSQL(pugi::xml_node oView, int32_t lReqTypeID, int32_t lSecReqTypeID,
                                int32_t lUserID, int32_t lQueryID, int32_t lSecQueryID,
                                int32_t lPkgID, const std::string& sProps, DataServices& oDS,
                                Project& oProj) {
  try {
    const int32_t lID = NextKey(oDS, "View");
    const BaselineView v = ReadView(oView);
    AddTextResultsLine(into_project_.empty()
                           ? ResFormat(kResCopyingView, {v.name})
                           : ResFormat(kResCopyingViewInto, {v.name, into_project_}));
    Breathe();
    const std::string newGuid = AssignNewGUID(v.guid);
    const ViewRefs r{lReqTypeID, lSecReqTypeID, lUserID, lQueryID, lSecQueryID};
    oDS.ExecuteSQL(InsertViewStatement(lID, oProj.GetProjectID(), r, v, sProps, newGuid));
    oDS.ExecuteSQL(InsertPackageElementStatement(lPkgID, lID));
    return true;
  } catch (const std::exception&) {
    ReportProcError("InsertViewSQL", "");
    return false;
  }
}

}  // namespace vl
