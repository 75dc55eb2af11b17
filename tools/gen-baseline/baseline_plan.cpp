#include "gen-baseline/baseline_plan.h"

#include <algorithm>
#include <stdexcept>

#include "gen-baseline/gen_random.h"
#include "gen-baseline/plan_links.h"

namespace vl::gen {

namespace {

struct AttributeSpec {
  const char* label;
  int data_type;
  std::vector<const char*> items;
  int default_item;  // -1: none
  const char* default_value;
};

void PlanStructure(BaselinePlan& plan) {
  const std::vector<AttributeSpec> attributes = {
      {"Priority", kDataTypeList, {"High", "Medium", "Low"}, 1, ""},
      {"Status", kDataTypeList, {"Proposed", "Approved", "Incorporated", "Validated"}, 0, ""},
      {"Owner", kDataTypeText, {}, -1, ""},
      {"Effort", kDataTypeInteger, {}, -1, "0"},
      {"Cost (€)", kDataTypeReal, {}, -1, "0.5"},
      {"Platforms", kDataTypeMultiList, {"Windows", "Linux", "macOS", "Web"}, -1, ""},
      {"Notes & Remarks", kDataTypeText, {}, -1, "None"},
  };
  int item_index = 0;
  for (size_t a = 0; a < attributes.size(); ++a) {
    const AttributeSpec& spec = attributes[a];
    AttributePlan attr;
    attr.guid = GuidFrom(plan.base, kStreamAttribute, a);
    attr.label = spec.label;
    attr.data_type = spec.data_type;
    attr.default_value = spec.default_value;
    for (size_t i = 0; i < spec.items.size(); ++i) {
      ListItemPlan item{GuidFrom(plan.base, kStreamListItem, item_index++), spec.items[i],
                        static_cast<int>(i) == spec.default_item};
      // A list attribute's default names its default item (the copier
      // replaces it by the item's new key).
      if (item.is_default) attr.default_value = item.text;
      attr.items.push_back(std::move(item));
    }
    plan.attributes.push_back(std::move(attr));
  }
  // The glossary type has no attributes at all: an empty "Attributes".
  const std::vector<std::pair<const char*, const char*>> types = {
      {"Feature", "FEAT"},
      {"Use Case", "UC"},
      {"Supplementary Requirement", "SUPL"},
      {"Glossary Term", "TERM"}};
  const std::vector<std::vector<int>> type_attributes = {
      {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 6}, {0, 3, 4, 5}, {}};
  for (size_t t = 0; t < types.size(); ++t) {
    plan.req_types.push_back({GuidFrom(plan.base, kStreamReqType, t), types[t].first,
                              types[t].second, type_attributes[t], 0});
  }
  const std::vector<DocTypePlan> doc_types = {{"", "Vision", "doc", 0},
                                              {"", "Use-Case Model", "doc", 1},
                                              {"", "Supplementary Requirements", "doc", 2},
                                              {"", "Glossary", "txt", -1}};
  for (size_t d = 0; d < doc_types.size(); ++d) {
    plan.doc_types.push_back(doc_types[d]);
    plan.doc_types.back().guid = GuidFrom(plan.base, kStreamDocType, d);
  }
}

void PlanUsers(BaselinePlan& plan, const Options& options) {
  const std::vector<std::pair<const char*, int>> groups = {
      {"Administrators", 255}, {"Analysts", 15}, {"Reviewers", 3}};
  for (size_t g = 0; g < groups.size(); ++g) {
    plan.groups.push_back(
        {GuidFrom(plan.base, kStreamGroup, g), groups[g].first, groups[g].second});
  }
  // Every project has "admin" with an empty password.
  plan.users.push_back({GuidFrom(plan.base, kStreamUser, 0), "admin", "", "Administrator", 0});
  for (int u = 1; u < options.users; ++u) {
    Rng rng(plan.base, kStreamUser, static_cast<uint64_t>(u) + 1000000);
    char login[16];
    std::snprintf(login, sizeof login, "user%02d", u);
    // One password holds characters that need care when decoded and quoted.
    std::string password = u == 2 ? "O'k&<pw>" : "pw" + std::to_string(u);
    plan.users.push_back({GuidFrom(plan.base, kStreamUser, u), login, password,
                          MakeWords(rng, 2, 2), u % static_cast<int>(plan.groups.size())});
  }
}

// Parent of each package, as made: a chain down to `depth` first (so the
// tree has that depth), the others below random packages above `depth`.
std::vector<int> PackageParents(const BaselinePlan& plan, int count, int depth) {
  std::vector<int> parent(count, -1), level(count, 0);
  Rng rng(plan.base, kStreamPackageTree, 0);
  for (int i = 1; i < count; ++i) {
    int p = i - 1;
    if (i > depth) {
      p = 0;
      for (int attempt = 0; attempt < 8; ++attempt) {
        int candidate = rng.Below(i);
        if (level[candidate] < depth) {
          p = candidate;
          break;
        }
      }
    }
    parent[i] = p;
    level[i] = level[p] + 1;
  }
  return parent;
}

void PlanPackages(BaselinePlan& plan, const Options& options) {
  int count = std::max(1, options.packages);
  int depth = std::max(count > 1 ? 1 : 0, options.depth);
  std::vector<int> parent = PackageParents(plan, count, depth);
  std::vector<std::vector<int>> children(count);
  for (int i = 1; i < count; ++i) children[parent[i]].push_back(i);
  // Number the packages in walk order (depth first, pre-order), the order
  // in which the baseline is read, so "earlier" means "read before".
  std::vector<int> walk_index(count, -1), order;
  std::vector<int> stack = {0};
  while (!stack.empty()) {
    int p = stack.back();
    stack.pop_back();
    walk_index[p] = static_cast<int>(order.size());
    order.push_back(p);
    for (auto it = children[p].rbegin(); it != children[p].rend(); ++it) stack.push_back(*it);
  }
  plan.packages.resize(count);
  for (int w = 0; w < count; ++w) {
    int old = order[w];
    PackagePlan& pkg = plan.packages[w];
    pkg.guid = GuidFrom(plan.base, kStreamPackage, w);
    pkg.parent = old == 0 ? -1 : walk_index[parent[old]];
    pkg.depth = pkg.parent < 0 ? 0 : plan.packages[pkg.parent].depth + 1;
    for (int c : children[old]) pkg.children.push_back(walk_index[c]);
  }
}

void PlanDocs(BaselinePlan& plan, const Options& options) {
  static const char* kFilePrefix[] = {"Vision", "UseCaseSpec", "SuppSpec", "Glossary"};
  for (int p = 0; p < static_cast<int>(plan.packages.size()); ++p) {
    for (int k = 0; k < options.docs_per_package; ++k) {
      int d = static_cast<int>(plan.docs.size());
      DocPlan doc;
      doc.guid = GuidFrom(plan.base, kStreamDocument, d);
      doc.type = d % static_cast<int>(plan.doc_types.size());
      char name[64];
      std::snprintf(name, sizeof name, "%s_%05d", kFilePrefix[doc.type], d + 1);
      doc.file_name = name;
      doc.package = p;
      plan.packages[p].docs.push_back(d);
      plan.docs.push_back(std::move(doc));
    }
  }
}

// A child requirement stands below an earlier requirement of its own
// package (so its parent is always read first), at most three levels deep.
int PickParent(const BaselinePlan& plan, Rng& rng, int first, int index) {
  int candidate = first + rng.Below(index - first);
  while (plan.requirements[candidate].depth >= 2) candidate = plan.requirements[candidate].parent;
  return candidate;
}

void PlanRequirement(BaselinePlan& plan, const Options& options, int p, int i) {
  PackagePlan& pkg = plan.packages[p];
  ReqPlan& req = plan.requirements[i];
  Rng rng(plan.base, kStreamReqPlan, i);
  req.guid = GuidFrom(plan.base, kStreamRequirement, i);
  req.package = p;
  if (i > pkg.first_req && rng.Chance(options.child_percent)) {
    req.parent = PickParent(plan, rng, pkg.first_req, i);
    ReqPlan& parent = plan.requirements[req.parent];
    req.type = parent.type;
    req.depth = parent.depth + 1;
    req.tag = ++parent.child_count;
    req.prefix = parent.Tag() + ".";
    req.long_tag = parent.long_tag + "." + std::to_string(req.tag);
  } else {
    req.type = rng.Below(static_cast<int>(plan.req_types.size()));
    req.tag = ++plan.req_types[req.type].last_number;
    req.prefix = plan.req_types[req.type].prefix;
    req.long_tag = std::to_string(req.tag);
  }
  if (!pkg.docs.empty() && rng.Chance(80)) {
    req.doc = pkg.docs[rng.Below(static_cast<int>(pkg.docs.size()))];
    plan.docs[req.doc].requirements.push_back(i);
    req.doc_position = static_cast<int>(plan.docs[req.doc].requirements.size());
  }
}

void PlanRequirements(BaselinePlan& plan, const Options& options) {
  int total = options.requirements;
  int count = static_cast<int>(plan.packages.size());
  plan.requirements.resize(total);
  int next = 0;
  for (int p = 0; p < count; ++p) {
    PackagePlan& pkg = plan.packages[p];
    pkg.first_req = next;
    pkg.req_count = total / count + (p < total % count ? 1 : 0);
    for (int i = next; i < next + pkg.req_count; ++i) PlanRequirement(plan, options, p, i);
    next += pkg.req_count;
  }
}

// Makes a share of the childless top-level requirements children of a
// requirement of a later package (at most three levels deep), taking the
// parent's type, as a requirement moved to another package would stand.
void PlanLateChildren(BaselinePlan& plan, const Options& options) {
  const int total = static_cast<int>(plan.requirements.size());
  if (options.late_child_percent == 0 || plan.packages.size() < 2) return;
  const int last_first = plan.packages.back().first_req;
  for (int i = 0; i < last_first; ++i) {
    ReqPlan& req = plan.requirements[i];
    Rng rng(plan.base, kStreamLateChild, i);
    if (req.parent >= 0 || req.child_count > 0 || !rng.Chance(options.late_child_percent)) continue;
    const int later = plan.packages[req.package + 1].first_req;
    if (later >= total) continue;
    int parent = later + rng.Below(total - later);
    while (plan.requirements[parent].depth >= 2) parent = plan.requirements[parent].parent;
    ReqPlan& p = plan.requirements[parent];
    req.parent = parent;
    req.type = p.type;
    req.depth = p.depth + 1;
    req.tag = ++p.child_count;
    req.prefix = p.Tag() + ".";
    req.long_tag = p.long_tag + "." + std::to_string(req.tag);
  }
}

void PlanTraces(BaselinePlan& plan, const Options& options) {
  int total = static_cast<int>(plan.requirements.size());
  if (total < 2) return;
  for (int i = 0; i < total; ++i) {
    Rng rng(plan.base, kStreamTrace, i);
    std::vector<int>& to = plan.requirements[i].trace_to;
    for (int k = 0; k < options.traces_per_req; ++k) {
      for (int attempt = 0; attempt < 4; ++attempt) {
        int j = rng.Below(total);
        if (j == i || std::find(to.begin(), to.end(), j) != to.end()) continue;
        to.push_back(j);
        plan.requirements[j].trace_from.push_back(i);
        ++plan.internal_traces;
        break;
      }
    }
  }
}

// Letters for a number (0 -> "A", 25 -> "Z", 26 -> "BA"): a prefix that
// never ends in a digit.
std::string Letters(int n) {
  std::string out;
  do {
    out.insert(out.begin(), static_cast<char>('A' + n % 26));
    n /= 26;
  } while (n > 0);
  return out;
}

// The extra definitions come after everything else is planned, so that
// they change no other part of a baseline generated with the same seed.
void PlanExtraDefinitions(BaselinePlan& plan, const Options& options) {
  static const int kTypes[] = {kDataTypeText, kDataTypeInteger, kDataTypeReal, kDataTypeList,
                               kDataTypeMultiList};
  int item_index = 0;
  for (const AttributePlan& a : plan.attributes) item_index += static_cast<int>(a.items.size());
  const int extra_lists = options.extra_list_items > 0 ? 1 : 0;
  for (int i = 0; i < options.extra_attributes + extra_lists; ++i) {
    AttributePlan attr;
    attr.guid = GuidFrom(plan.base, kStreamAttribute, plan.attributes.size());
    attr.label = "Attribute " + std::to_string(plan.attributes.size() + 1);
    attr.data_type = i < options.extra_attributes ? kTypes[i % 5] : kDataTypeList;
    if (i == options.extra_attributes) {
      attr.label = "Category";
      for (int k = 0; k < options.extra_list_items; ++k) {
        attr.items.push_back({GuidFrom(plan.base, kStreamListItem, item_index++),
                              "Category " + std::to_string(k + 1),
                              k == options.extra_list_items / 2});
        if (attr.items.back().is_default) attr.default_value = attr.items.back().text;
      }
    }
    plan.attributes.push_back(std::move(attr));
  }
  for (int i = 0; i < options.extra_req_types; ++i) {
    const size_t t = plan.req_types.size();
    plan.req_types.push_back({GuidFrom(plan.base, kStreamReqType, t),
                              "Type " + std::to_string(t + 1),
                              "X" + Letters(i),
                              {},
                              0});
  }
  for (int i = 0; i < options.extra_groups; ++i) {
    const size_t g = plan.groups.size();
    plan.groups.push_back(
        {GuidFrom(plan.base, kStreamGroup, g), "Group " + std::to_string(g + 1), i % 16, false});
  }
}

void CheckOptions(const Options& o) {
  const std::vector<std::pair<const char*, int>> counts = {
      {"requirements", o.requirements},
      {"packages", o.packages},
      {"depth", o.depth},
      {"docs-per-package", o.docs_per_package},
      {"views-per-package", o.views_per_package},
      {"history-versions", o.history_versions},
      {"traces-per-req", o.traces_per_req},
      {"child-percent", o.child_percent},
      {"late-children", o.late_child_percent},
      {"users", o.users},
      {"discussions", o.discussions},
      {"query-defs", o.query_defs},
      {"ext-query-defs", o.ext_query_defs},
      {"text-size", o.text_size},
      {"long-text-every", o.long_text_every},
      {"cross-traces", o.cross_traces},
      {"attributes", o.extra_attributes},
      {"list-items", o.extra_list_items},
      {"req-types", o.extra_req_types},
      {"groups", o.extra_groups}};
  for (const auto& [name, value] : counts) {
    if (value < 0) throw std::invalid_argument(std::string(name) + " must not be negative");
  }
  if (o.child_percent > 100) throw std::invalid_argument("child-percent must be at most 100");
  if (o.late_child_percent > 100) throw std::invalid_argument("late-children must be at most 100");
  if (o.users < 1) throw std::invalid_argument("users must be at least 1 (admin)");
  if (!o.project_guid.empty() && !IsGuidText(o.project_guid)) {
    throw std::invalid_argument("project GUID is not a braced GUID: " + o.project_guid);
  }
  for (const ExternalProject& e : o.externals) {
    if (!IsGuidText(e.guid)) throw std::invalid_argument("external GUID is not a GUID: " + e.guid);
  }
}

// The external projects of the options, plus the project of the external
// baseline when it is not listed.
void PlanExternals(BaselinePlan& plan, const Options& options, const ExternalBaseline* external) {
  for (const ExternalProject& e : options.externals) {
    plan.externals.push_back({UpperAscii(e.guid), e.name, e.prefix});
  }
  if (external == nullptr) return;
  std::string guid = UpperAscii(external->project_guid);
  for (const ExternalProject& e : plan.externals) {
    if (e.guid == guid) return;
  }
  plan.externals.push_back({guid, external->name, external->prefix});
}

}  // namespace

uint64_t PlanBase(uint64_t seed, const std::string& project_guid) {
  return Mix(seed, HashText(project_guid));
}

BaselinePlan BuildPlan(const Options& options, const ExternalBaseline* external) {
  CheckOptions(options);
  BaselinePlan plan;
  plan.project_guid = options.project_guid.empty()
                          ? GuidFrom(Mix(options.seed, 0x9B0A7), kStreamProject, 0)
                          : UpperAscii(options.project_guid);
  plan.base = PlanBase(options.seed, plan.project_guid);
  PlanExternals(plan, options, external);
  PlanStructure(plan);
  PlanUsers(plan, options);
  PlanPackages(plan, options);
  PlanDocs(plan, options);
  PlanRequirements(plan, options);
  PlanLateChildren(plan, options);
  PlanTraces(plan, options);
  PlanCrossTraces(plan, options, external);
  PlanQueryDefs(plan, options, external);
  PlanViews(plan, options);
  PlanExtraDefinitions(plan, options);
  return plan;
}

}  // namespace vl::gen
