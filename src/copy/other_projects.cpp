#include "copy/other_projects.h"

#include "copy/db_conventions.h"
#include "host/xml/xml_file.h"

namespace vl {

OtherProjects::~OtherProjects() { Rollback(); }

OtherProjects::FileChange& OtherProjects::ChangeOf(const std::string& path) {
  for (FileChange& change : files_)
    if (change.path == path) return change;
  files_.push_back({path, false, ""});
  return files_.back();
}

void OtherProjects::ReplaceFile(const std::string& path, const pugi::xml_document& doc) {
  FileChange& change = ChangeOf(path);
  change.remove = false;
  change.content = XmlDocumentText(doc);
}

void OtherProjects::RemoveFile(const std::string& path) {
  FileChange& change = ChangeOf(path);
  change.remove = true;
  change.content.clear();
}

std::vector<std::pair<std::string, std::string>> ReadKeyTable(DataServices& ds) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::unique_ptr<Recordset> rs =
      ds.QueryRecordset("SELECT KeyClass, LastKey FROM " + Tbl("VlKeys") + " ORDER BY KeyClass");
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
    keys.emplace_back(rs->GetFieldValue("KeyClass").ToText(),
                      rs->GetFieldValue("LastKey").ToText());
  return keys;
}

void OtherProjects::Begin(const std::shared_ptr<Project>& project) {
  for (const Work& w : work_)
    if (w.project == project) return;
  Work work;
  work.project = project;
  work.ds = DataServicesOf(*project);
  // What the run read there so far stays read: the writes start afresh,
  // after anything others committed meanwhile.
  work.ds->Commit();
  work.ds->HoldCommits(true);
  work.keys_before = ReadKeyTable(*work.ds);
  work_.push_back(std::move(work));
  Work& added = work_.back();
  std::vector<std::string>* statements = &added.statements;
  added.ds->SetStatementObserver([statements](const std::string& statement) {
    // The transaction's own frame is the caller's to repeat.
    if (statement.rfind("BEGIN", 0) == 0 || statement == "COMMIT" || statement == "ROLLBACK")
      return;
    if (statement.rfind("SELECT", 0) == 0 || statement.rfind("select", 0) == 0) return;
    statements->push_back(statement);
  });
}

void OtherProjects::EndRecording() {
  for (Work& w : work_) w.ds->SetStatementObserver(nullptr);
}

std::string OtherProjects::Rollback() {
  std::string failure;
  for (Work& w : work_) {
    try {
      w.ds->SetStatementObserver(nullptr);
      w.ds->HoldCommits(false);
      w.ds->Rollback();
    } catch (const std::exception& e) {
      if (failure.empty()) failure = e.what();
    }
  }
  work_.clear();
  files_.clear();
  return failure;
}

}  // namespace vl
