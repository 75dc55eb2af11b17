// BaselineList.xml, Project.xml, ProjectHistory.xml, ExternalProjects.xml
// and ProjectUserGroups.XML.
#include <algorithm>

#include "gen-baseline/baseline_files.h"

namespace vl::gen {

namespace {

// The project's versions: ProjectHistory.xml lists them, Project.xml
// carries the last one.
std::vector<VersionRecord> ProjectVersions(const WriteContext& ctx) {
  Rng rng(ctx.plan.base, kStreamProjectContent, 3);
  return MakeVersions(ctx, rng, std::max(1, ctx.options.history_versions), 0, false);
}

const char* Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

void WriteBaselineList(WriteContext& ctx) {
  const BaselinePlan& plan = ctx.plan;
  Rng rng(plan.base, kStreamProjectContent, 1);
  XmlWriter xml = ctx.Open("BaselineList.xml");
  xml.Start("PROJECT");
  xml.Element("Label", "Baseline " + std::to_string(ctx.options.seed));
  xml.Element("TimeStamp", ctx.Date(BaselineDay(ctx.options), 3600 * 9));
  xml.Element("BaselineDesc", MakeText(rng, 60, false));
  xml.Element("GUID", plan.project_guid);
  xml.Element("BaselineType", "Project");
  bool traces = plan.internal_traces > 0 || !plan.cross_traces.empty();
  xml.Element("IncludeTraces", Flag(traces));
  xml.Element("IncludeCPT", Flag(!plan.cross_traces.empty()));
  xml.Element("IncludeDiscs", Flag(ctx.options.discussions > 0));
  xml.Element("IncludeHistory", Flag(ctx.options.history_versions > 0));
  xml.Close();
}

void WriteProjectXml(WriteContext& ctx) {
  Rng rng(ctx.plan.base, kStreamProjectContent, 2);
  const VersionRecord last = ProjectVersions(ctx).back();
  XmlWriter xml = ctx.Open("Project.xml");
  xml.Start("Project")
      .Attr("Name", ctx.options.name)
      .Attr("Description", MakeText(rng, 80, true))
      .Attr("Prefix", ctx.options.prefix)
      .Attr("DocumentWordFormat", "True")
      .Attr("SecurityEnabled", "True")
      .Attr("RSDS", "")
      .Attr("Flags", "0")
      .Attr("VersionNumber", last.number)
      .Attr("VersionLabel", last.label)
      .Attr("VersionDateTime", last.date)
      .Attr("VersionReason", last.reason);
  xml.Close();
}

void WriteProjectHistory(WriteContext& ctx) {
  XmlWriter xml = ctx.Open("ProjectHistory.xml");
  xml.Start("PROJECT");
  WriteHistory(xml, ProjectVersions(ctx));
  xml.Close();
}

void WriteExternalProjects(WriteContext& ctx) {
  XmlWriter xml = ctx.Open("ExternalProjects.xml");
  // The root's first attribute names the project the baseline was taken
  // from: a project created from this baseline keeps the file (its
  // unresolved part) and is recognised by it when another project names
  // it as an external project.
  xml.Start("PROJECT").Attr("GUID", ctx.plan.project_guid);
  for (size_t e = 0; e < ctx.plan.externals.size(); ++e) {
    const ExternalProject& project = ctx.plan.externals[e];
    xml.Start("ExternalProject")
        .Attr("GUID", project.guid)
        .Attr("Name", project.name)
        .Attr("Prefix", project.prefix)
        .Attr("ConnectAtOpen", e == 0 ? "-1" : "0")
        .End();
  }
  xml.Close();
}

void WriteUserGroups(WriteContext& ctx) {
  const BaselinePlan& plan = ctx.plan;
  XmlWriter xml = ctx.Open("ProjectUserGroups.XML");
  xml.Start("PROJECT").Start("Groups");
  for (const GroupPlan& g : plan.groups) {
    xml.Start("Group")
        .Attr("NAME", g.name)
        .Attr("DESCRIPTION", g.name + " of the project")
        .Attr("ProjectAccessRights", g.rights)
        .Attr("DocTypeAccessRights", g.rights & 0x0F)
        .Attr("ReqTypeAccessRights", g.rights & 0x1F)
        .Attr("AttributeAccessRights", g.rights & 0x07)
        .Attr("ListItemAccessRights", g.rights & 0x03)
        .Attr("ID", g.guid)
        .End();
  }
  xml.End().Start("Users");
  for (size_t u = 0; u < plan.users.size(); ++u) {
    const UserPlan& user = plan.users[u];
    // The last of several users is inactive.
    bool active = u == 0 || u + 1 < plan.users.size();
    xml.Start("User")
        .Attr("LoginName", user.login)
        .Attr("Password", EncodePassword(user.password))
        .Attr("Active", active ? "-1" : "0")
        .Attr("FullName", user.full_name)
        .Attr("EmailAddress", user.login + "@example.com")
        .Attr("GroupName", plan.groups[user.group].name)
        .Attr("ID", user.guid)
        .End();
  }
  xml.Close();
}

}  // namespace vl::gen
