// The "Req" element of a package file: the requirement, its document
// position, attribute values, history and traces.
#include <algorithm>

#include "gen-baseline/package_parts.h"

namespace vl::gen {

namespace {

constexpr int kReqTextOverflow = 2000;
constexpr int kValueOverflow = 255;

bool IsLong(const WriteContext& ctx, int req) {
  int every = ctx.options.long_text_every;
  return every > 0 && req % every == every - 1;
}

void WriteDocInfo(XmlWriter& xml, const WriteContext& ctx, const ReqPlan& r, int req, Rng& rng) {
  xml.Start("RDInfo");
  bool in_doc = r.doc >= 0;
  xml.Element("BM", in_doc ? BookmarkName(req) : "");
  xml.Element("BMDoc", in_doc ? ctx.plan.docs[r.doc].guid : "");
  xml.Element("DPos", in_doc ? r.doc_position * 100 : 0);
  xml.Element("LDText", in_doc ? rng.Below(2) : 0);
  xml.End();
}

// One "LV" per chosen list item: one for a single-choice list, one to
// three for a multi-choice list.
void WriteListValues(XmlWriter& xml, const BaselinePlan& plan, const ReqTypePlan& type, Rng& rng) {
  xml.Start("LVs");
  for (int a : type.attributes) {
    const AttributePlan& attr = plan.attributes[a];
    if (!attr.IsList() || attr.items.empty() || !rng.Chance(85)) continue;
    int n = static_cast<int>(attr.items.size());
    int first = rng.Below(n);
    int count = attr.data_type == kDataTypeMultiList ? rng.Between(1, std::min(3, n)) : 1;
    for (int k = 0; k < count; ++k) {
      xml.Start("LV")
          .Element("UDF", attr.guid)
          .Element("LGUID", attr.items[(first + k) % n].guid)
          .End();
    }
  }
  xml.End();
}

std::string ValueText(Rng& rng, int data_type, bool long_value) {
  switch (data_type) {
    case kDataTypeInteger:
      return std::to_string(rng.Between(0, 100));
    case kDataTypeReal: {
      static const char* kFractions[] = {"", ".25", ".5", ".75"};
      return std::to_string(rng.Between(0, 99)) + kFractions[rng.Below(4)];
    }
    default:
      return MakeText(rng, long_value ? kValueOverflow + 1 + rng.Below(200) : rng.Between(3, 40),
                      false);
  }
}

void WriteFieldValues(XmlWriter& xml, const BaselinePlan& plan, const ReqTypePlan& type, Rng& rng,
                      bool long_values) {
  xml.Start("FVs");
  for (int a : type.attributes) {
    const AttributePlan& attr = plan.attributes[a];
    if (attr.IsList() || !(long_values || rng.Chance(80))) continue;
    xml.Start("FV")
        .Element("FGUID", attr.guid)
        .Element("FTxt", ValueText(rng, attr.data_type, long_values))
        .End();
  }
  xml.End();
}

// The version and state of an internal trace, the same on both of its
// ends.
void WriteTraceDetails(XmlWriter& xml, const BaselinePlan& plan, int from, int to) {
  Rng rng(plan.base, kStreamTraceAttr, Mix(static_cast<uint64_t>(from), static_cast<uint64_t>(to)));
  xml.Element("TRVer", std::to_string(rng.Between(1, 3)) + ".000");
  xml.Element("State", rng.Below(2));
}

void WriteCrossTraces(XmlWriter& xml, const BaselinePlan& plan, const ReqPlan& r, bool from_side) {
  for (int c : r.cross) {
    const CrossTracePlan& t = plan.cross_traces[c];
    if (t.is_from != from_side) continue;
    xml.Start("TReq");
    xml.Element("EPGUID", t.ep_guid);
    xml.Element("TRID", t.other_guid);
    xml.Element("TRVer", t.version);
    xml.Element("State", t.state);
    xml.Element("TRTag", t.other_tag);
    xml.End();
  }
}

bool HasCross(const BaselinePlan& plan, const ReqPlan& r, bool from_side) {
  for (int c : r.cross) {
    if (plan.cross_traces[c].is_from == from_side) return true;
  }
  return false;
}

void WriteTraces(XmlWriter& xml, const BaselinePlan& plan, const ReqPlan& r, int req) {
  if (!r.trace_to.empty() || HasCross(plan, r, false)) {
    xml.Start("TTo");
    for (int other : r.trace_to) {
      xml.Start("TReq").Element("TRID", plan.requirements[other].guid);
      WriteTraceDetails(xml, plan, req, other);
      xml.Element("TRTag", plan.requirements[other].Tag()).End();
    }
    WriteCrossTraces(xml, plan, r, false);
    xml.End();
  }
  if (!r.trace_from.empty() || HasCross(plan, r, true)) {
    xml.Start("TFrom");
    for (int other : r.trace_from) {
      xml.Start("TReq").Element("TRID", plan.requirements[other].guid);
      WriteTraceDetails(xml, plan, other, req);
      xml.Element("TRTag", plan.requirements[other].Tag()).End();
    }
    WriteCrossTraces(xml, plan, r, true);
    xml.End();
  }
}

}  // namespace

void WriteRequirement(XmlWriter& xml, const WriteContext& ctx, int req) {
  const BaselinePlan& plan = ctx.plan;
  const ReqPlan& r = plan.requirements[req];
  const ReqTypePlan& type = plan.req_types[r.type];
  bool long_texts = IsLong(ctx, req);
  Rng rng(plan.base, kStreamReqContent, req);
  int text_size = long_texts ? kReqTextOverflow + 1 + rng.Below(500) : ctx.options.text_size;
  xml.Start("Req");
  xml.Element("GUID", r.guid);
  xml.Element("Tag", r.tag);
  xml.Element("LCTag", r.child_count);
  xml.Element("LTNum", r.long_tag);
  xml.Element("RPre", r.prefix);
  xml.Element("RText", MakeText(rng, text_size, true));
  // About one requirement in ten has no name.
  xml.Element("RName", rng.Chance(10) ? "" : MakeWords(rng, 1, 4));
  xml.Element("Flags", rng.Below(4));
  xml.Element("RTID", type.guid);
  WriteDocInfo(xml, ctx, r, req, rng);
  WriteListValues(xml, plan, type, rng);
  WriteFieldValues(xml, plan, type, rng, long_texts);
  if (ctx.options.history_versions > 0) {
    int day = rng.Between(1, kLastCreationDay);
    WriteHistory(xml, MakeVersions(ctx, rng, ctx.options.history_versions, day, long_texts));
  }
  WriteTraces(xml, plan, r, req);
  xml.End();
}

}  // namespace vl::gen
