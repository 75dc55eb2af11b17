// QueryDefs.XML.
#include "gen-baseline/baseline_files.h"

namespace vl::gen {

void WriteQueryDefs(WriteContext& ctx) {
  const BaselinePlan& plan = ctx.plan;
  XmlWriter xml = ctx.Open("QueryDefs.XML");
  xml.Start("PROJECT").Start("QUERYDEFS");
  for (size_t q = 0; q < plan.query_defs.size(); ++q) {
    const QueryDefPlan& def = plan.query_defs[q];
    Rng rng(plan.base, kStreamQueryContent, q + 1000000);
    const UserPlan& owner = plan.users[def.user];
    xml.Start("QUERYDEF")
        .Attr("Name", def.name)
        .Attr("ID", def.guid)
        .Attr("queryuserid", owner.guid)
        .Attr("queryusername", owner.full_name)
        .Attr("querydatetime", ctx.Date(rng.Between(1, kLastCreationDay), rng.Below(86400)))
        .Attr("queryreason", MakeText(rng, rng.Between(5, 30), false))
        .Attr("querybasetype", def.external ? 1 : 0);
    xml.Element("QUERYDESCRIPTION", q % 3 == 1 ? "" : MakeText(rng, rng.Between(10, 60), false));
    xml.Element("QUERYSTRING", def.query);
    xml.End();
  }
  xml.Close();
}

}  // namespace vl::gen
