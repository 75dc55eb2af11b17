// Reading another baseline folder, so that a baseline can refer to that
// project's real requirements, requirement types and attributes, and
// mirror the cross-project traces that baseline holds towards it.
#pragma once

#include <string>
#include <vector>

namespace vl::gen {

struct ExternalAttribute {
  std::string guid;
  int data_type = 1;
  std::vector<std::string> list_items;  // GUIDs, in file order
};

struct ExternalReqType {
  std::string guid;
  std::vector<int> attributes;  // indexes into ExternalBaseline::attributes
};

struct ExternalRequirement {
  std::string guid;
  std::string tag;  // RPre followed by Tag
};

// A cross-project trace found in the other baseline.
struct ExternalTrace {
  std::string requirement_guid;  // the other baseline's requirement
  std::string requirement_tag;
  bool is_from = false;    // found under TFrom (else TTo)
  std::string ep_guid;     // EPGUID: the project at the other end
  std::string other_guid;  // TRID
  std::string version;     // TRVer
  int state = 0;
};

struct ExternalBaseline {
  std::string project_guid;  // the GUID of BaselineList.xml
  std::string name;          // Project.xml "Name"
  std::string prefix;        // Project.xml "Prefix"
  std::vector<ExternalAttribute> attributes;
  std::vector<ExternalReqType> req_types;
  std::vector<ExternalRequirement> requirements;  // in package walk order
  std::vector<ExternalTrace> traces;              // cross-project only
};

// Reads the baseline in `folder`. File names are matched without regard
// to letter case; UTF-8, UTF-16 and windows-1252 files are read. Throws
// std::runtime_error naming the file when a required file is missing or
// not well formed, or BaselineList.xml holds no GUID. Package files that
// are missing are skipped.
ExternalBaseline ReadExternalBaseline(const std::string& folder);

}  // namespace vl::gen
