// The query services of the project component: parsing and rebuilding the
// query strings of query definitions.
#pragma once

#include <memory>
#include <string>

namespace vl {

class Project;

// What a parsed query says about the project structure it reads: the
// requirement type's ID in the project that holds it, and for an external
// scope the ID of the external project's vlExternalProjects row ("" when
// the scope is the parsing project).
struct ProjStructSpec {
  std::string RequirementTypeID;
  std::string ExternalProjectID;
};

struct ParsedQuery {
  std::string QueryString;  // canonical form
  std::shared_ptr<vl::ProjStructSpec> ProjStructSpec;
};

class QueryServices {
 public:
  virtual ~QueryServices() = default;
  // Parses `query` against `project`. On success fills `parsed` and returns
  // true; otherwise sets `errorText` (naming the token and what was
  // expected) and returns false.
  virtual bool ParseQueryString(Project& project, const std::string& query, std::string& errorText,
                                ParsedQuery& parsed) = 0;
};

}  // namespace vl
