#include "app/review_page.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "app/html_text.h"
#include "app/mod_wizard.h"

namespace vl {

namespace {

constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";

using Rows = std::vector<std::vector<std::string>>;

}  // namespace

std::string BuildHtmlTable(const std::string& caption, const Rows& rows) {
  std::string html = "<table border=\"1\"><caption>" + HtmlText(caption) + "</caption><tbody>";
  for (const auto& row : rows) {
    html += "<tr>";
    for (const auto& cell : row) html += "<td>" + HtmlText(cell) + "</td>";
    html += "</tr>";
  }
  return html + "</tbody></table>";
}

std::string OptionText(const Messenger& m, bool holds, bool chosen) {
  if (!holds) return m.ResString(kResOptionNotHeld);
  return m.ResString(chosen ? kResOptionCopied : kResOptionNotCopied);
}

std::string BuildBaselineFragment(const BLProjInfo& d, const Messenger& m) {
  return BuildHtmlTable(m.ResString(kResReviewBaseline),
                        {{m.ResString(5101), d.BLXMLLoc()},
                         {m.ResString(5102), d.BLXMLLabel()},
                         {m.ResString(5103), d.BLXMLTimestamp()},
                         {m.ResString(5104), d.BLXMLDesc()},
                         {m.ResString(5105), d.BLXMLOptionsList()}});
}

std::string BuildNewProjectFragment(const BLProjInfo& d, const Messenger& m,
                                    const ProjectPlace& place) {
  std::string where = place.database_file;
  if (!place.schema.empty())
    where = "server " + (place.server.empty() ? "(the default)" : place.server) + ", database " +
            (place.server_database.empty() ? "(the default)" : place.server_database) +
            ", schema " + place.schema;
  return BuildHtmlTable(m.ResString(kResReviewNewProject),
                        {{m.ResString(5201), d.VLPName()},
                         {m.ResString(5202), d.VLPFolder()},
                         {m.ResString(5203), d.VLPDesc()},
                         {m.ResString(kResReviewDatabase), place.database},
                         {m.ResString(kResReviewDatabasePlace), where}});
}

std::string BuildOptionsFragment(const BLProjInfo& d, const Messenger& m) {
  return BuildHtmlTable(
      m.ResString(kResReviewOptions),
      {{m.ResString(5301), OptionText(m, d.isBLXMLContainsTraces(), d.CreateTraces())},
       {m.ResString(5302), OptionText(m, d.isBLXMLContainsExtTraces(), d.CreateExtTraces())},
       {m.ResString(5303), OptionText(m, d.isBLXMLContainsHist(), d.CreateHist())},
       {m.ResString(5304), OptionText(m, d.isBLXMLContainsDisc(), d.CreateDisc())}});
}

std::string BuildExtProjectsFragment(const BLProjInfo& d, const Messenger& m) {
  Rows rows = {{m.ResString(4003), m.ResString(4004), m.ResString(4005)}};
  d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) {
    rows.push_back({p.Name, p.Prefix, p.Loc.empty() ? m.ResString(kResReviewNotLocated) : p.Loc});
  });
  return BuildHtmlTable(m.ResString(kResReviewExtProjects), rows);
}

std::string BuildReviewPage(const BLProjInfo& d, const Messenger& m, const ProjectPlace& place) {
  std::string page;
  for (const std::string& fragment :
       {BuildBaselineFragment(d, m), BuildNewProjectFragment(d, m, place),
        BuildOptionsFragment(d, m), BuildExtProjectsFragment(d, m)})
    page += "<p>" + fragment + "<br>";
  return page;
}

bool CreateReviewHTML(Session& session) {
  try {
    const std::string path = session.GetReviewFileName();
    session.goBLProjInfo->SetReviewHTMLLoc(path);
    const std::string page =
        BuildReviewPage(*session.goBLProjInfo, session.messages, PlannedProjectPlace(session));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out << kUtf8ByteOrderMark << page;
    out.close();
    if (!out)
      throw VlError(err::kPathNotFound, "frmWizard.CreateReviewHTML",
                    "Cannot write " + path + ": " + std::strerror(errno));
    return true;
  } catch (const std::exception&) {
    session.messages.ReportProcError("frmWizard.CreateReviewHTML", "");
    return false;
  }
}

}  // namespace vl
