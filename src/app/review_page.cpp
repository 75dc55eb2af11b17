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

const BLProjInfo& Descriptor() {
  if (!goBLProjInfo)
    throw VlError(err::kObjectRequired, "frmWizard.CreateReviewHTML", "Object required");
  return *goBLProjInfo;
}

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

std::string OptionText(bool holds, bool chosen) {
  if (!holds) return ResString(kResOptionNotHeld);
  return ResString(chosen ? kResOptionCopied : kResOptionNotCopied);
}

std::string BuildBaselineFragment() {
  const BLProjInfo& d = Descriptor();
  return BuildHtmlTable(ResString(kResReviewBaseline), {{ResString(5101), d.BLXMLLoc()},
                                                        {ResString(5102), d.BLXMLLabel()},
                                                        {ResString(5103), d.BLXMLTimestamp()},
                                                        {ResString(5104), d.BLXMLDesc()},
                                                        {ResString(5105), d.BLXMLOptionsList()}});
}

std::string BuildNewProjectFragment() {
  const BLProjInfo& d = Descriptor();
  return BuildHtmlTable(ResString(kResReviewNewProject), {{ResString(5201), d.VLPName()},
                                                          {ResString(5202), d.VLPFolder()},
                                                          {ResString(5203), d.VLPDesc()}});
}

std::string BuildOptionsFragment() {
  const BLProjInfo& d = Descriptor();
  return BuildHtmlTable(
      ResString(kResReviewOptions),
      {{ResString(5301), OptionText(d.isBLXMLContainsTraces(), d.CreateTraces())},
       {ResString(5302), OptionText(d.isBLXMLContainsExtTraces(), d.CreateExtTraces())},
       {ResString(5303), OptionText(d.isBLXMLContainsHist(), d.CreateHist())},
       {ResString(5304), OptionText(d.isBLXMLContainsDisc(), d.CreateDisc())}});
}

std::string BuildExtProjectsFragment() {
  const BLProjInfo& d = Descriptor();
  Rows rows = {{ResString(4003), ResString(4004), ResString(4005)}};
  d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) {
    rows.push_back({p.Name, p.Prefix, p.Loc.empty() ? ResString(kResReviewNotLocated) : p.Loc});
  });
  return BuildHtmlTable(ResString(kResReviewExtProjects), rows);
}

std::string BuildReviewPage() {
  std::string page;
  for (auto* fragment : {&BuildBaselineFragment, &BuildNewProjectFragment, &BuildOptionsFragment,
                         &BuildExtProjectsFragment})
    page += "<p>" + fragment() + "<br>";
  return page;
}

bool CreateReviewHTML() {
  try {
    Descriptor();
    const std::string path = GetReviewFileName();
    goBLProjInfo->SetReviewHTMLLoc(path);
    const std::string page = BuildReviewPage();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out << kUtf8ByteOrderMark << page;
    out.close();
    if (!out)
      throw VlError(err::kPathNotFound, "frmWizard.CreateReviewHTML",
                    "Cannot write " + path + ": " + std::strerror(errno));
    return true;
  } catch (...) {
    ReportProcError("frmWizard.CreateReviewHTML", "");
    return false;
  }
}

}  // namespace vl
