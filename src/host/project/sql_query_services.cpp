#include "host/project/sql_query_services.h"

#include "errors/vl_error.h"
#include "host/db/data_services.h"
#include "host/db/sql_rewrite.h"
#include "host/project/query_parser.h"
#include "host/text/path_utils.h"

namespace vl {
namespace {

// The project that holds the queried requirements for one parse, and
// whether the parse opened it (and so must close it).
struct HoldingProject {
  std::shared_ptr<Project> project;
  bool opened_here = false;

  HoldingProject() = default;
  HoldingProject(const HoldingProject&) = delete;
  HoldingProject& operator=(const HoldingProject&) = delete;
  ~HoldingProject() {
    if (!opened_here || !project) return;
    try {
      project->CloseProject();
    } catch (...) {
      // Only read from: nothing of the parse is lost when closing fails.
    }
  }
};

// The key column of the row whose VLGUID is `guid`, as text; "" when
// there is none.
std::string IdByGuid(DataServices& ds, const char* keyColumn, const char* table,
                     const std::string& guid) {
  std::unique_ptr<Recordset> rs =
      ds.ExecuteSQL(std::string("SELECT ") + keyColumn + " FROM " + kTableMarker + table +
                    " WHERE VLGUID = " + QuoteSqlText(guid));
  if (!rs || rs->IsEOF()) return "";
  rs->MoveFirst();
  return rs->GetFieldValue(keyColumn).ToText();
}

// Checks that `token` names a row of `table` in the holding project; sets
// `errorText` otherwise.
bool Names(DataServices& ds, const char* keyColumn, const char* table, const QueryToken& token,
           const std::string& what, const std::string& where, std::string& id,
           std::string& errorText) {
  id = IdByGuid(ds, keyColumn, table, token.text);
  if (!id.empty()) return true;
  errorText = DescribeQueryToken(token) + " is not " + what + " of " + where +
              ": expected the GUID of " + what + ".";
  return false;
}

struct ExternalRow {
  std::string id, directory, fileName;
};

bool FindExternalRow(DataServices& ds, const std::string& guid, ExternalRow& row) {
  std::unique_ptr<Recordset> rs =
      ds.ExecuteSQL("SELECT ID, DIRECTORY, FILENAME FROM " + kTableMarker +
                    "vlExternalProjects WHERE VLGUID = " + QuoteSqlText(guid));
  if (!rs || rs->IsEOF()) return false;
  rs->MoveFirst();
  row.id = rs->GetFieldValue("ID").ToText();
  row.directory = FromStoredText(rs->GetFieldValue("DIRECTORY").ToText());
  row.fileName = FromStoredText(rs->GetFieldValue("FILENAME").ToText());
  return true;
}

}  // namespace

SqlQueryServices::SqlQueryServices(OpenProjectFinder findOpenProject)
    : find_open_project_(std::move(findOpenProject)) {}

bool SqlQueryServices::ParseQueryString(Project& project, const std::string& query,
                                        std::string& errorText, ParsedQuery& parsed) {
  QueryTree tree;
  if (!ParseQueryText(query, tree, errorText)) return false;

  Project* holder = &project;
  HoldingProject external;
  std::string externalRowID;
  if (tree.project) {
    const QueryToken& guid = *tree.project;
    ExternalRow row;
    if (!FindExternalRow(*DataServicesOf(project), guid.text, row)) {
      errorText = DescribeQueryToken(guid) +
                  " is not an external project of this project: expected the GUID of a project "
                  "registered in vlExternalProjects.";
      return false;
    }
    externalRowID = row.id;
    if (guid.text == project.GetProjectGUID()) {
      holder = &project;
    } else {
      if (find_open_project_) external.project = find_open_project_(guid.text);
      if (!external.project) {
        const std::string path = AddTrailingSlash(row.directory) + row.fileName + ".vlp";
        try {
          external.project = project.GetApplication().OpenProject(path);
          external.opened_here = external.project != nullptr;
        } catch (const VlError& e) {
          errorText = "The external project " + DescribeQueryToken(guid) +
                      " could not be opened from \"" + path + "\": " + e.description();
          return false;
        }
        if (!external.project) {
          errorText = "The external project " + DescribeQueryToken(guid) +
                      " could not be opened from \"" + path + "\".";
          return false;
        }
        if (external.project->GetProjectGUID() != guid.text) {
          errorText = "The external project " + DescribeQueryToken(guid) + " is not at \"" + path +
                      "\": that file holds the project " + external.project->GetProjectGUID() + ".";
          return false;
        }
      }
      holder = external.project.get();
    }
  }

  std::shared_ptr<DataServices> ds = DataServicesOf(*holder);
  const std::string where = tree.project ? "the external project" : "the project";
  std::string reqTypeID, ignored;
  if (!Names(*ds, "ID", "vlRequirementTypes", tree.reqType, "a requirement type", where, reqTypeID,
             errorText))
    return false;
  for (const QueryCondition& c : tree.conditions) {
    if (!Names(*ds, "ID", "vlUserDefinedFields", c.attribute, "an attribute", where, ignored,
               errorText))
      return false;
    if (c.value.kind == QueryTokenKind::kGuid &&
        !Names(*ds, "ITEMID", "vlUserDefinedListItems", c.value, "a list item", where, ignored,
               errorText))
      return false;
  }

  parsed.QueryString = tree.Canonical();
  parsed.ProjStructSpec =
      std::make_shared<ProjStructSpec>(ProjStructSpec{reqTypeID, externalRowID});
  return true;
}

}  // namespace vl
