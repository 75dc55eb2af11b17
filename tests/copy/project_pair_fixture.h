// Shared set-up of the structure, group rights, discussion, trace, view
// and external project tests: the resource texts they compare messages
// against, and the rows and statements they read back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "copy/copy_test_support.h"
#include "copy/other_projects.h"

namespace vl::testing {

class ProjectPairTest : public CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    AddTexts({{11011, " lacks the node "},
              {20052, "External project %1"},
              {20083, "Error in %1: %2 %3 [%4]"},
              {20084, "The translated object is not in the database."},
              {20085, "No translation for this object."},
              {20150, "Query %1 into %2"},
              {20151, "View %1 into %2"},
              {20152, "(view %1 in %2: %3)"},
              {20153, "(trace of %1 in %2: %3)"}});
  }

  // Every row of a SELECT, each value in its text form.
  static std::vector<std::vector<std::string>> Rows(DataServices& ds, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    std::unique_ptr<Recordset> rs = ds.ExecuteSQL(sql);
    if (!rs) return rows;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
      std::vector<std::string> row;
      for (size_t i = 0; i < rs->GetFields().size(); ++i)
        row.push_back(rs->GetFieldValue(i).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  // What a successful run does last: the other projects' held work is
  // committed and their files take the content the run left for them.
  void CommitOtherProjects() {
    for (OtherProjects::Work& w : ctx().others.work()) {
      w.ds->HoldCommits(false);
      w.ds->Commit();
    }
    for (const OtherProjects::FileChange& f : ctx().others.files()) {
      if (f.remove)
        fs::remove(f.path);
      else
        WriteFile(f.path, f.content);
    }
    ctx().others.Forget();
  }
};

}  // namespace vl::testing
