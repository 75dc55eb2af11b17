// The shape of a generated baseline, decided before any file is written:
// the project structure, the package tree, which requirement lives where,
// its parent, document and traces, the query definitions and views. The
// texts of each object are made while it is written (from its own random
// stream), so a plan of 100,000 requirements stays small.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gen-baseline/external_baseline.h"
#include "gen-baseline/generator.h"

namespace vl::gen {

// Data type codes of attributes.
enum DataType {
  kDataTypeList = 0,
  kDataTypeText = 1,
  kDataTypeInteger = 2,
  kDataTypeReal = 3,
  kDataTypeMultiList = 10
};

struct ListItemPlan {
  std::string guid;
  std::string text;
  bool is_default = false;
};

struct AttributePlan {
  std::string guid;
  std::string label;
  int data_type = kDataTypeText;
  std::string default_value;
  std::vector<ListItemPlan> items;
  bool IsList() const { return data_type == kDataTypeList || data_type == kDataTypeMultiList; }
};

struct ReqTypePlan {
  std::string guid;
  std::string name;
  std::string prefix;  // never ends in a digit: a tag is prefix + number
  std::vector<int> attributes;
  int last_number = 0;  // tags of top-level requirements are 1..last_number
};

struct DocTypePlan {
  std::string guid;
  std::string name;
  std::string extension;
  int default_req_type = -1;
};

struct GroupPlan {
  std::string guid;
  std::string name;
  int rights = 0;
  // Permissions.XML lists the group's rights on every type, attribute and
  // list item; the extra groups have their sections, empty.
  bool rights_listed = true;
};

struct UserPlan {
  std::string guid;
  std::string login;
  std::string password;  // clear text; written encoded
  std::string full_name;
  int group = 0;
};

struct PackagePlan {
  std::string guid;
  int parent = -1;
  int depth = 0;
  std::vector<int> children;
  int first_req = 0;  // requirements first_req .. first_req + req_count - 1
  int req_count = 0;
  std::vector<int> docs;
  std::vector<int> views;
};

struct DocPlan {
  std::string guid;
  std::string file_name;  // without extension; unique in the baseline
  int type = 0;
  int package = 0;
  std::vector<int> requirements;  // bookmarked in it, in document order
};

struct ReqPlan {
  std::string guid;
  int type = 0;
  int package = 0;
  int parent = -1;
  int depth = 0;
  int tag = 0;
  int child_count = 0;  // the last child's tag
  std::string prefix;   // RPre: the type prefix, or the parent's tag and "."
  std::string long_tag;
  int doc = -1;
  int doc_position = 0;
  std::vector<int> trace_to;    // internal traces starting here
  std::vector<int> trace_from;  // internal traces ending here
  std::vector<int> cross;       // indexes into BaselinePlan::cross_traces
  std::string Tag() const { return prefix + std::to_string(tag); }
};

struct CrossTracePlan {
  int requirement = 0;
  bool is_from = false;  // written under TFrom (this requirement is the end)
  std::string ep_guid;
  std::string other_guid;
  std::string other_tag;
  std::string version;
  int state = 0;
  bool mirrored = false;
};

struct QueryDefPlan {
  std::string guid;
  std::string name;
  std::string query;
  std::string req_type_guid;  // the type of the scope (an external one too)
  int user = 0;
  bool external = false;
};

struct ViewPlan {
  std::string guid;
  int package = 0;
  int query = 0;
  int second_query = -1;
};

struct BaselinePlan {
  uint64_t base = 0;  // the seed mixed with the project GUID
  std::string project_guid;
  std::vector<ExternalProject> externals;
  std::vector<AttributePlan> attributes;
  std::vector<ReqTypePlan> req_types;
  std::vector<DocTypePlan> doc_types;
  std::vector<GroupPlan> groups;
  std::vector<UserPlan> users;
  std::vector<PackagePlan> packages;  // in package walk order (depth first)
  std::vector<DocPlan> docs;
  std::vector<ReqPlan> requirements;  // in package walk order
  std::vector<CrossTracePlan> cross_traces;
  std::vector<QueryDefPlan> query_defs;
  std::vector<ViewPlan> views;
  int internal_traces = 0;
};

// Decides the whole plan. `external` is the other baseline read for
// --external-req-guids-from (nullptr when none). Throws
// std::invalid_argument for unusable options.
BaselinePlan BuildPlan(const Options& options, const ExternalBaseline* external);

// The base every GUID and random stream of a baseline derives from.
uint64_t PlanBase(uint64_t seed, const std::string& project_guid);

}  // namespace vl::gen
