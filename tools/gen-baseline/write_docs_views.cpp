// The "Doc" and "View" elements of a package file.
#include <cstdio>

#include "gen-baseline/package_parts.h"

namespace vl::gen {

std::string BookmarkName(int index) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "VLReq%06d", index + 1);
  return buf;
}

std::string DocFileContent(const BaselinePlan& plan, int doc) {
  const DocPlan& d = plan.docs[doc];
  std::string out = "Document " + d.file_name + " (" + plan.doc_types[d.type].name + ")\r\n";
  for (int r : d.requirements) {
    // Appended piece by piece: cheaper, and "literal" + string trips a
    // false -Wrestrict warning of GCC 12 at -O2.
    out += '[';
    out += BookmarkName(r);
    out += "] ";
    out += plan.requirements[r].Tag();
    out += "\r\n";
  }
  return out;
}

std::string DocFileName(const DocPlan& doc) { return doc.file_name + ".DOC"; }

void WriteDoc(XmlWriter& xml, const WriteContext& ctx, int doc) {
  const BaselinePlan& plan = ctx.plan;
  const DocPlan& d = plan.docs[doc];
  Rng rng(plan.base, kStreamDocContent, doc);
  int day = rng.Between(1, kLastCreationDay);
  xml.Start("Doc");
  xml.Element("GUID", d.guid);
  xml.Element("DocName", plan.doc_types[d.type].name + " " + MakeWords(rng, 1, 2));
  xml.Element("DocDescription", doc % 4 == 1 ? "" : MakeText(rng, rng.Between(20, 80), false));
  xml.Element("DocTypeGUID", plan.doc_types[d.type].guid);
  xml.Element("ItemLabel", rng.Below(4));
  xml.Element("ProtectState", std::to_string(rng.Below(2)));
  xml.Element("UnlockToRevise", rng.Below(2));
  xml.Element("DeferredRenumber", "0");
  xml.Element("DeferredRestyle", "0");
  xml.Element("FileName", d.file_name);
  xml.Element("FileExtension", plan.doc_types[d.type].extension);
  xml.Element("FileDateTime", ctx.Date(day, rng.Below(86400)));
  xml.Element("FileSize", static_cast<long long>(DocFileContent(plan, doc).size()));
  // Every fourth document is marked read-only ("r").
  xml.Element("FileFlags", doc % 4 == 3 ? "r" : "");
  xml.Element("FileVersion", rng.Between(1, 5));
  if (ctx.options.history_versions > 0) {
    WriteHistory(xml, MakeVersions(ctx, rng, ctx.options.history_versions, day, false));
  }
  xml.End();
}

void WriteView(XmlWriter& xml, const WriteContext& ctx, int view) {
  const BaselinePlan& plan = ctx.plan;
  const ViewPlan& v = plan.views[view];
  const QueryDefPlan& query = plan.query_defs[v.query];
  const QueryDefPlan* second = v.second_query >= 0 ? &plan.query_defs[v.second_query] : nullptr;
  Rng rng(plan.base, kStreamViewContent, view);
  xml.Start("View");
  xml.Element("GUID", v.guid);
  xml.Element("ViewName", "View " + std::to_string(view + 1) + " " + MakeWords(rng, 1, 2));
  xml.Element("ViewDescription", MakeText(rng, rng.Between(10, 50), false));
  xml.Element("Visibility", rng.Below(3));
  xml.Element("ViewDateTime", ctx.Date(rng.Between(1, kLastCreationDay), rng.Below(86400)));
  xml.Element("ViewReason", MakeText(rng, rng.Between(5, 30), false));
  xml.Element("Type", second != nullptr ? 2 : rng.Below(2));
  xml.Element("ReqTypeID", query.req_type_guid);
  xml.Element("SecReqTypeID", second != nullptr ? second->req_type_guid : "");
  // The external project markers are rewritten by the copier when the
  // view's query definition names another project.
  xml.Element("ViewProperties",
              "viewVersion=/i2;externalProjectID=/i0;externalProjectIDHoriz=/i0;columnCount=/i" +
                  std::to_string(rng.Between(3, 9)) + ";");
  xml.Element("ViewQueryDefGUID", query.guid);
  xml.Element("SecQueryID", second != nullptr ? second->guid : "");
  xml.Element("ViewUserGUID", plan.users[rng.Below(static_cast<int>(plan.users.size()))].guid);
  xml.End();
}

}  // namespace vl::gen
