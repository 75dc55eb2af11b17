#include "copy/ins_proj_info.h"

#include <optional>
#include <pugixml.hpp>
#include <string>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/ins_gen_history_info.h"
#include "host/text/convert.h"
#include "host/text/messages.h"

namespace vl {
namespace {

// An attribute as read: its text, or Null when it is missing.
Variant AttrAsRead(const pugi::xml_node& el, const char* name) {
  pugi::xml_attribute attr = el.attribute(name);
  return attr ? Variant::String(attr.value()) : Variant::Null();
}

// A Boolean attribute as the literal "1" or "0"; a missing or unreadable
// one stops the copier.
Variant BoolFlag(const pugi::xml_node& el, const char* name) {
  return Variant::String(SqlBool(CBool(el.attribute(name).value())));
}

// A date attribute in any of the forms baselines use; Null when it is
// missing or in none of them.
Variant DateAsRead(const pugi::xml_node& el, const char* name) {
  std::optional<VlDate> d = ParseDate(el.attribute(name).value());
  return d ? Variant::Date(*d) : Variant::Null();
}

void SetProjectSettings(Recordset& row, const pugi::xml_node& project) {
  row.SetFieldValue("PREFIX", AttrAsRead(project, "Prefix"));
  row.SetFieldValue("DOCUMENTWORDFORMAT", BoolFlag(project, "DocumentWordFormat"));
  row.SetFieldValue("SECURITYENABLED", BoolFlag(project, "SecurityEnabled"));
  Variant rsds = AttrAsRead(project, "RSDS");
  row.SetFieldValue("RSDS", Trim(rsds.ToText()).empty() ? Variant::Null() : rsds);
  row.SetFieldValue("FLAGS", AttrAsRead(project, "Flags"));
}

// History chosen: the current version from Project.xml, the versions from
// ProjectHistory.xml.
bool CopyBaselineHistory(RunContext& ctx, Recordset& row, const pugi::xml_node& project, DataServices& oDS,
                         Project& oProj) {
  row.SetFieldValue("VERSIONNUMBER", AttrAsRead(project, "VersionNumber"));
  row.SetFieldValue("VERSIONLABEL", AttrAsRead(project, "VersionLabel"));
  row.SetFieldValue("VERSIONDATETIME", DateAsRead(project, "VersionDateTime"));
  row.SetFieldValue("VERSIONREASON", AttrAsRead(project, "VersionReason"));
  pugi::xml_document histDoc;
  pugi::xml_node histRoot = ctx.LoadBaselineFile(histDoc, "ProjectHistory.xml");
  if (!histRoot) return false;
  InsGenHistoryInfo history(ctx);
  if (!history.CopyXMLDetailHistoryInfo(histRoot, Tbl("vlProjectHistory"), oProj.GetProjectID(),
                                        oDS, oProj))
    return false;
  row.Update();
  return true;
}

// History not chosen: one record that says which baseline the project
// was made from, at the time the run started.
bool WriteDefaultHistory(RunContext& ctx, Recordset& row, DataServices& oDS, Project& oProj) {
  const BLProjInfo& bl = ctx.baseline();
  const std::string reason = ctx.messages().ResFormat(20071, {bl.BLXMLLoc(), bl.BLXMLLabel(), bl.BLXMLDesc()});
  row.SetFieldValue("VERSIONNUMBER", Variant::String("1.000"));
  row.SetFieldValue("VERSIONDATETIME", Variant::Date(bl.StartDateTime()));
  row.SetFieldValue("VERSIONREASON", Variant::String(reason));
  InsGenHistoryInfo history(ctx);
  if (!history.InsertSingleHistRecord("VLPROJECTHISTORY", oDS, oProj.GetProjectID(), "1.000", "",
                                      oProj.GetCurrentUserID(), Variant::Date(bl.StartDateTime()),
                                      reason, oProj)) {
    ctx.messages().ShowInfoMessage(ctx.messages().ResString(20072));
    return false;
  }
  row.Update();
  return true;
}

}  // namespace

bool InsProjInfo::CopyXMLProjInfo(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node project = LoadBaselineFile(doc, "Project.xml", "//Project", "PROJECT");
    if (!project) return false;
    AddTextResultsLine(ResString(20070));
    oDS.ExecuteSQL("DELETE FROM VLPROJECTHISTORY WHERE ID=" + SqlLong(oProj.GetProjectID()));
    std::unique_ptr<Recordset> row = oDS.QueryRecordset(
        "SELECT * FROM " + Tbl("vlProjects") + " WHERE vlGUID = '" + oProj.GetProjectGUID() + "'",
        true);
    if (!row) throw VlError(91, "QueryRecordset", "No recordset for the project row");
    row->MoveFirst();
    SetProjectSettings(*row, project);
    if (BaselineDescriptor().CreateHist()) return CopyBaselineHistory(ctx_, *row, project, oDS, oProj);
    return WriteDefaultHistory(ctx_, *row, oDS, oProj);
  } catch (const std::exception&) {
    ReportProcError("frmWizard.CopyXMLProjInfo", "");
    return false;
  }
}

}  // namespace vl
