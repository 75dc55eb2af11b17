#include "gen-baseline/plan_links.h"

#include <set>
#include <stdexcept>
#include <unordered_map>

#include "gen-baseline/gen_random.h"

namespace vl::gen {

namespace {

std::string TraceKey(const CrossTracePlan& t) {
  return std::to_string(t.requirement) + (t.is_from ? "F" : "T") + UpperAscii(t.ep_guid) +
         UpperAscii(t.other_guid);
}

// Traces the external baseline holds towards this project, seen from this
// side: its TTo is our TFrom and the other way round.
void MirrorTraces(BaselinePlan& plan, const ExternalBaseline& external,
                  std::set<std::string>& seen) {
  std::unordered_map<std::string, int> by_guid;
  for (size_t i = 0; i < plan.requirements.size(); ++i) {
    by_guid.emplace(plan.requirements[i].guid, static_cast<int>(i));
  }
  for (const ExternalTrace& t : external.traces) {
    if (UpperAscii(t.ep_guid) != plan.project_guid) continue;
    auto it = by_guid.find(UpperAscii(t.other_guid));
    if (it == by_guid.end()) continue;  // a requirement this baseline does not have
    CrossTracePlan trace{it->second,
                         !t.is_from,
                         UpperAscii(external.project_guid),
                         t.requirement_guid,
                         t.requirement_tag,
                         t.version,
                         t.state,
                         true};
    if (seen.insert(TraceKey(trace)).second) plan.cross_traces.push_back(std::move(trace));
  }
}

void AddOwnCrossTraces(BaselinePlan& plan, const Options& options, const ExternalBaseline* external,
                       std::set<std::string>& seen) {
  int total = static_cast<int>(plan.requirements.size());
  if (options.cross_traces == 0 || total == 0) return;
  if (plan.externals.empty()) {
    throw std::invalid_argument("cross-project traces need an external project");
  }
  for (int k = 0; k < options.cross_traces; ++k) {
    Rng rng(plan.base, kStreamCrossTrace, k);
    CrossTracePlan trace;
    trace.requirement = rng.Below(total);
    trace.is_from = k % 2 == 1;
    trace.version = "1." + std::to_string(rng.Below(10)) + "000";
    trace.state = rng.Below(2);
    if (external != nullptr) {
      trace.ep_guid = UpperAscii(external->project_guid);
    } else {
      trace.ep_guid = plan.externals[k % plan.externals.size()].guid;
    }
    if (external != nullptr && !external->requirements.empty()) {
      const ExternalRequirement& other =
          external->requirements[rng.Below(static_cast<int>(external->requirements.size()))];
      trace.other_guid = other.guid;
      trace.other_tag = other.tag;
    } else {
      // No baseline of the other project at hand: a requirement GUID of
      // its own stream stands for one of its requirements.
      trace.other_guid =
          GuidFrom(plan.base, kStreamExtRequirement, Mix(HashText(trace.ep_guid), k));
      trace.other_tag = "EXT" + std::to_string(k + 1);
    }
    if (seen.insert(TraceKey(trace)).second) plan.cross_traces.push_back(std::move(trace));
  }
}

// A condition on one attribute: the operator and value fit its data type.
std::string Condition(Rng& rng, const std::string& attr_guid, int data_type,
                      const std::vector<std::string>& items) {
  static const char* kTexts[] = {"'Ann'", "'O''Neil'", "'R&D team'", "'Web'"};
  static const char* kCompare[] = {"=", "<>", "<", ">", "<=", ">="};
  switch (data_type) {
    case kDataTypeList:
    case kDataTypeMultiList:
      if (items.empty()) break;
      return attr_guid + (rng.Chance(70) ? " = " : " <> ") +
             items[rng.Below(static_cast<int>(items.size()))];
    case kDataTypeInteger:
      return attr_guid + " " + kCompare[rng.Below(6)] + " " + std::to_string(rng.Between(1, 99));
    case kDataTypeReal:
      return attr_guid + " >= " + std::to_string(rng.Between(0, 9)) + ".5";
    default:
      break;
  }
  return attr_guid + (rng.Chance(50) ? " = " : " CONTAINS ") + kTexts[rng.Below(4)];
}

std::string Conditions(Rng& rng, const BaselinePlan& plan, const ReqTypePlan& type) {
  std::string out;
  int n = type.attributes.empty() ? 0 : rng.Below(3);
  for (int c = 0; c < n; ++c) {
    const AttributePlan& attr =
        plan.attributes[type.attributes[rng.Below(static_cast<int>(type.attributes.size()))]];
    std::vector<std::string> items;
    for (const ListItemPlan& item : attr.items) items.push_back(item.guid);
    out += c == 0 ? " WHERE " : (rng.Chance(60) ? " AND " : " OR ");
    out += Condition(rng, attr.guid, attr.data_type, items);
  }
  return out;
}

QueryDefPlan ExternalQueryDef(const BaselinePlan& plan, const ExternalProject& project, int k,
                              const ExternalBaseline* external, int index) {
  Rng rng(plan.base, kStreamQueryContent, static_cast<uint64_t>(index));
  QueryDefPlan q;
  q.guid = GuidFrom(plan.base, kStreamQueryDef, index);
  q.name = project.name + " query " + std::to_string(k + 1);
  q.user = rng.Below(static_cast<int>(plan.users.size()));
  q.external = true;
  std::string condition;
  bool known = external != nullptr && UpperAscii(external->project_guid) == project.guid &&
               !external->req_types.empty();
  if (known) {
    const ExternalReqType& type =
        external->req_types[rng.Below(static_cast<int>(external->req_types.size()))];
    q.req_type_guid = type.guid;
    if (!type.attributes.empty() && rng.Chance(60)) {
      const ExternalAttribute& attr =
          external
              ->attributes[type.attributes[rng.Below(static_cast<int>(type.attributes.size()))]];
      condition = " WHERE " + Condition(rng, attr.guid, attr.data_type, attr.list_items);
    }
  } else {
    q.req_type_guid = GuidFrom(plan.base, kStreamExtReqType, Mix(HashText(project.guid), k));
  }
  q.query = "(" + project.guid + "." + q.req_type_guid + ")" + condition;
  return q;
}

}  // namespace

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

bool IsGuidText(const std::string& text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    char c = text[i];
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (dash ? c != '-' : !hex) return false;
  }
  return true;
}

void PlanCrossTraces(BaselinePlan& plan, const Options& options, const ExternalBaseline* external) {
  std::set<std::string> seen;
  if (external != nullptr) MirrorTraces(plan, *external, seen);
  AddOwnCrossTraces(plan, options, external, seen);
  for (size_t t = 0; t < plan.cross_traces.size(); ++t) {
    plan.requirements[plan.cross_traces[t].requirement].cross.push_back(static_cast<int>(t));
  }
}

void PlanQueryDefs(BaselinePlan& plan, const Options& options, const ExternalBaseline* external) {
  for (int q = 0; q < options.query_defs; ++q) {
    Rng rng(plan.base, kStreamQueryContent, q);
    QueryDefPlan def;
    def.guid = GuidFrom(plan.base, kStreamQueryDef, q);
    def.name = "Query " + std::to_string(q + 1) + ": " + MakeWords(rng, 1, 3);
    const ReqTypePlan& type = plan.req_types[rng.Below(static_cast<int>(plan.req_types.size()))];
    def.req_type_guid = type.guid;
    def.user = rng.Below(static_cast<int>(plan.users.size()));
    def.query = "(" + type.guid + ")" + Conditions(rng, plan, type);
    plan.query_defs.push_back(std::move(def));
  }
  int index = options.query_defs;
  for (const ExternalProject& project : plan.externals) {
    for (int k = 0; k < options.ext_query_defs; ++k) {
      plan.query_defs.push_back(ExternalQueryDef(plan, project, k, external, index++));
    }
  }
}

void PlanViews(BaselinePlan& plan, const Options& options) {
  int total = static_cast<int>(plan.query_defs.size());
  int local = options.query_defs;
  if (total == 0) return;  // a view cannot stand without a query definition
  for (int p = 0; p < static_cast<int>(plan.packages.size()); ++p) {
    for (int k = 0; k < options.views_per_package; ++k) {
      int g = static_cast<int>(plan.views.size());
      ViewPlan view;
      view.guid = GuidFrom(plan.base, kStreamView, g);
      view.package = p;
      view.query = (g + local) % total;
      if (g % 3 == 2 && local > 0) {
        view.second_query = (g / 3) % local;
        if (view.second_query == view.query && local > 1)
          view.second_query = (view.second_query + 1) % local;
      }
      plan.packages[p].views.push_back(g);
      plan.views.push_back(view);
    }
  }
}

}  // namespace vl::gen
