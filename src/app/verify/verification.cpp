#include "app/verify/verification.h"

#include <chrono>
#include <filesystem>

#include "app/verify/baseline_files.h"
#include "app/verify/compare.h"
#include "app/verify/expectations.h"
#include "app/verify/project_rows.h"
#include "app/verify/run_record.h"
#include "copy/db_conventions.h"
#include "errors/vl_error.h"
#include "host/project/project_application.h"
#include "host/project/project_file.h"
#include "host/text/resource.h"

namespace vl::verify {

namespace fs = std::filesystem;

bool VerifyReport::Matches() const {
  if (!error.empty()) return false;
  for (const KindSummary& k : kinds)
    if (k.differing || k.missing || k.extra) return false;
  return true;
}

namespace {

std::string TextOf(const std::string& resourceDir, long id) {
  const fs::path file = fs::path(resourceDir) / kResourceFileName;
  if (resourceDir.empty() || !fs::exists(file)) return "";
  try {
    Resource r;
    r.InitResources(file.string(), kAppName);
    return r.HasString(id) ? r.GetFormattedString(id, {}) : "";
  } catch (const VlError&) {
    return "";
  }
}

// The choices the run took, as the project's rows show them.
CopyChoices ChoicesRecorded(const ProjectRows& db, const PendingItems& pending) {
  CopyChoices c;
  c.history = db.Rows("vlRequirementHistory").size() || db.Rows("vlDocumentHistory").size() ||
              db.Rows("vlProjectHistory").size() != 1;
  c.traces = !db.RowsWhere("VlToRelationships", "TYPE", "0").empty() || !pending.traces.empty();
  c.discussions = db.Rows("VLDISCUSSIONS").size() != 0;
  return c;
}

// The projects registered as external projects of the verified one.
std::vector<LinkedProject> LinkedProjects(const ProjectRows& db) {
  std::vector<LinkedProject> linked;
  const TableLayout& layout = LayoutOf("vlExternalProjects");
  const TableRows& rows = db.Rows("vlExternalProjects");
  for (size_t i = 0; i < rows.size(); ++i) {
    LinkedProject l;
    l.guid = rows.Text(i, 0);
    l.row_id = rows.Text(i, ColumnIndex(layout, "ID"));
    l.baseline_guid = l.guid;
    const fs::path folder = rows.Text(i, ColumnIndex(layout, "DIRECTORY"));
    l.project_file =
        (folder / (std::string(rows.Text(i, ColumnIndex(layout, "FILENAME"))) + ".vlp")).string();
    try {
      ProjectFileInfo info = ReadProjectFile(l.project_file);
      l.file_found = info.guid == l.guid;
      l.name = info.name;
    } catch (const VlError&) {
    }
    l.ps = ReadGuidMap((folder / "PSGUIDMap.xml").string());
    l.req = ReadGuidMap((folder / "ReqGUIDMap.xml").string());
    if (l.ps.read && l.ps.project_guid == l.guid) l.baseline_guid = l.ps.baseline_guid;
    linked.push_back(std::move(l));
  }
  return linked;
}

bool ReadRequirementIds(SqlProjectApplication& app, LinkedProject& l) {
  l.requirements_read = true;
  try {
    std::shared_ptr<Project> p = app.OpenProject(l.project_file);
    std::unique_ptr<Recordset> rs =
        DataServicesOf(*p)->ExecuteSQL("SELECT VLGUID, ID FROM " + kTableMarker + "vlRequirements");
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
      l.requirement_ids.emplace(rs->GetFieldValue(size_t{0}).ToText(),
                                rs->GetFieldValue(size_t{1}).ToText());
    p->CloseProject();
    return true;
  } catch (const VlError&) {
    return false;
  }
}

void Verify(const VerifyRequest& request, VerifyReport& report) {
  const std::string vlp = ProjectFilePath(request.project_file);
  const std::string folder = fs::absolute(vlp).parent_path().string();
  SqlProjectApplication app([]() -> NewProjectDefinition* { return nullptr; });
  app.NameProjectFileForThisRun(vlp);
  std::shared_ptr<Project> project = app.OpenProject(vlp);
  ProjectRows db;
  db.Read(*DataServicesOf(*project));
  report.rows_read = db.RowCount();

  BaselineFiles baseline(request.baseline);
  std::vector<LinkedProject> linked = LinkedProjects(db);
  VerifyInputs in;
  in.baseline = &baseline;
  in.db = &db;
  in.ps = ReadGuidMap(folder + "/PSGUIDMap.xml");
  in.req = ReadGuidMap(folder + "/ReqGUIDMap.xml");
  if (!in.ps.read || !in.req.read)
    report.notes.push_back(
        "the GUID map files beside the project are missing: nothing the run "
        "copied can be found by its new GUID");
  // A project verified against another baseline would only show everything
  // missing: say what it was made from instead.
  const std::string baselineGuid = ElementText(baseline.Root("BaselineList.xml"), "GUID");
  if (in.ps.read && !baselineGuid.empty() && in.ps.baseline_guid != baselineGuid) {
    report.error = "the project was created from the baseline " + in.ps.baseline_guid +
                   ", not from this one (" + baselineGuid + ")";
    return;
  }
  in.pending = ReadPendingItems(folder);
  in.linked = &linked;
  in.read_linked_requirements = [&app](LinkedProject& l) { return ReadRequirementIds(app, l); };
  in.file = ReadProjectFile(vlp);
  in.folder = folder;
  in.default_reason = TextOf(request.resource_dir, 20054);

  const CopyChoices recorded = ChoicesRecorded(db, in.pending);
  in.choices.history = request.history.value_or(recorded.history);
  in.choices.traces = request.traces.value_or(recorded.traces);
  in.choices.discussions = request.discussions.value_or(recorded.discussions);
  report.choices = in.choices;
  report.choices_given = request.history && request.traces && request.discussions;

  Comparer comparer(db, request.max_differences);
  Expectations expectations(in, [&comparer](const ExpectedRow& row) { comparer.Compare(row); });
  expectations.Build();
  Comparison c = comparer.Finish();
  report.kinds = std::move(c.kinds);
  report.kinds.push_back(expectations.files());
  report.differences = std::move(c.differences);
  report.differences.insert(report.differences.end(), expectations.file_differences().begin(),
                            expectations.file_differences().end());
  report.differences_left_out = c.differences_left_out;
  report.notes.insert(report.notes.end(), expectations.notes().begin(), expectations.notes().end());
  project->CloseProject();
}

}  // namespace

VerifyReport VerifyProject(const VerifyRequest& request) {
  const auto start = std::chrono::steady_clock::now();
  VerifyReport report;
  report.baseline = request.baseline;
  report.project_file = request.project_file;
  try {
    if (!fs::is_directory(request.baseline))
      report.error = "the baseline folder " + request.baseline + " does not exist";
    else
      Verify(request, report);
  } catch (const VlError& e) {
    report.error = e.description();
  } catch (const std::exception& e) {
    report.error = e.what();
  }
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

VerifyReport VerifyCreatedProject(const std::string& baseline, const std::string& projectFile,
                                  const CopyChoices& choices, const std::string& resourceDir) {
  VerifyRequest r;
  r.baseline = baseline;
  r.project_file = projectFile;
  r.history = choices.history;
  r.traces = choices.traces;
  r.discussions = choices.discussions;
  r.resource_dir = resourceDir;
  return VerifyProject(r);
}

}  // namespace vl::verify
