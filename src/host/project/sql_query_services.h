// The query services over a project's database: a query string is read by
// the grammar of host/query_parser.h, every GUID in it is checked against
// the project that holds the queried requirements, and the canonical form
// and the project-structure specification are handed back.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/project/project.h"
#include "host/project/query_services.h"

namespace vl {

// A project already open in this process, found by its GUID; nullptr when
// there is none. A project found this way is used as it is and left open.
using OpenProjectFinder = std::function<std::shared_ptr<Project>(const std::string& projectGuid)>;

class SqlQueryServices : public QueryServices {
 public:
  // `findOpenProject` may be empty: external projects are then always
  // opened for the parse.
  explicit SqlQueryServices(OpenProjectFinder findOpenProject = nullptr);

  // Reads `query` and checks what its GUIDs name:
  //  - without a project GUID in the scope, the requirement type, the
  //    attributes (left of each operator) and the list items (GUID values)
  //    must be rows of `project`'s database;
  //  - with one, the project must have a row in `project`'s
  //    vlExternalProjects, and the requirement type, attributes and list
  //    items are looked up in that project's own database. It is reached
  //    through the finder, or opened from the row's DIRECTORY + "/" +
  //    FILENAME + ".vlp" through `project`'s application and closed again
  //    before returning.
  // On success fills `parsed` (the canonical QueryString; a ProjStructSpec
  // with the requirement type's ID in the project that holds it and, for
  // an external scope, the ID of the vlExternalProjects row) and returns
  // true. Returns false with `errorText` set when the query breaks the
  // grammar, a GUID names nothing of the kind expected, or the external
  // project cannot be opened or is another project than the one
  // registered. Throws VlError when a statement fails.
  bool ParseQueryString(Project& project, const std::string& query, std::string& errorText,
                        ParsedQuery& parsed) override;

 private:
  OpenProjectFinder find_open_project_;
};

}  // namespace vl
