// The external-projects step: the grid, the location browser and the check
// made when the step is completed.
#include <QTest>
#include <QToolButton>

#include "ui/ext_projects_grid.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

constexpr const char* kServiceAppGuid = "{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}";
constexpr const char* kToolGuid = "{6A0C7B5E-1F2D-4C3B-9A8E-7D6C5B4A3F21}";

class ExtProjectsStepTest : public WizardTest {
 protected:
  // A project whose folder says it was made from `projectGuid` and waits
  // for the sample baseline's project.
  std::string WaitingProject(const std::string& name, const std::string& projectGuid) {
    scratch_.Write(
        name + "/UnResExtProjs.xml",
        "<PROJECT GUID=\"" + projectGuid +
            "\"><ExternalProject GUID=\"{FEFF5554-6761-4663-ABED-E7420207FC9A}\"/></PROJECT>");
    return scratch_.Write(name + "/" + name + ".vlp", "[Project]\n");
  }
  void ReachExternalsStep(const std::string& baseline) {
    ReachOptionsStep(baseline);
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 3);
  }
  ExtProjectsGrid& Grid() { return *Find<ExtProjectsGrid>("fgExtProjects"); }
  std::string Cell(int row, int column) { return Grid().item(row, column)->text().toStdString(); }
  QWidget* LocCell(int row) { return Grid().cellWidget(row, ExtProjectsGrid::kLocColumn); }
  QLineEdit* PathBox(int row) { return LocCell(row)->findChild<QLineEdit*>(); }
  void Browse(int row, std::optional<std::string> answer) {
    file_answers_.push_back(answer);
    LocCell(row)->findChild<QToolButton*>("ellipsis")->click();
  }
  std::string Stored(const char* guid) {
    return AppSession().goBLProjInfo->colExtProjs().Find(guid)->Loc;
  }
};

TEST_F(ExtProjectsStepTest, ABaselineWithoutExternalProjectsShowsAnEmptyGrid) {
  ReachExternalsStep(CopyOfSample("ExternalProjects.xml", "<PROJECT/>"));
  EXPECT_EQ(Grid().rowCount(), 0);
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 4);
}

// The grid lists the projects; a refused location keeps the step, names
// the fault and stores no location; emptied, every location passes.
TEST_F(ExtProjectsStepTest, ARefusedLocationStopsTheCheck) {
  ReachExternalsStep(CopyOfSample("ExternalProjects.xml", R"(<PROJECT>
  <ExternalProject GUID="{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}" Name="Brewmate Service App" Prefix="SVC"/>
  <ExternalProject GUID="{6A0C7B5E-1F2D-4C3B-9A8E-7D6C5B4A3F21}" Name="Grinder &amp; Tools" Prefix="GRT"/>
</PROJECT>)"));
  ASSERT_EQ(Grid().rowCount(), 2);
  EXPECT_EQ(Cell(0, 0), "Brewmate Service App");
  EXPECT_EQ(Cell(1, 0), "Grinder & Tools");
  EXPECT_EQ(Cell(1, 1), "GRT");
  const std::string good = WaitingProject("Tools", kToolGuid);
  Browse(1, good);
  const struct {
    std::string file, named;
  } refused[] = {
      {scratch_.Write("notes.txt", "not a project"), "notes.txt"},
      {WaitingProject("Other", kToolGuid), "Brewmate Service App"}};  // made from another
  for (const auto& r : refused) {
    sink_.infos.clear();
    Browse(0, r.file);
    EXPECT_EQ(Grid().row_records()[0].Loc, r.file);
    Click(kNext);
    EXPECT_EQ(form_->current_step(), 3);
    ASSERT_EQ(sink_.infos.size(), 1u);
    EXPECT_NE(sink_.infos[0].find(r.named), std::string::npos) << sink_.infos[0];
    EXPECT_EQ(Stored(kToolGuid), "") << "the rows after a refused one are not examined";
    EXPECT_TRUE(Enabled(kNext) && Enabled(kBack));
  }
  PathBox(0)->setFocus();
  QTest::keyClick(PathBox(0), Qt::Key_Delete);
  EXPECT_EQ(Cell(0, 2), "");
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 4);
  EXPECT_EQ(Stored(kServiceAppGuid), "");
  EXPECT_EQ(Stored(kToolGuid), good);
}

// A cancelled file dialog leaves cell and record; Enter in the grid stays
// on the step, elsewhere it goes on; coming back refills the grid from the
// stored locations.
TEST_F(ExtProjectsStepTest, CancellingTheFileDialogKeepsTheLocationAndBackShowsIt) {
  form_->show();
  ReachExternalsStep(SampleBaseline());
  std::string good = WaitingProject("Service", kServiceAppGuid);
  Browse(0, good);
  Browse(0, std::nullopt);
  EXPECT_EQ(Cell(0, 2), good);
  for (QWidget* target : {static_cast<QWidget*>(PathBox(0)), static_cast<QWidget*>(&Grid())}) {
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_EQ(form_->current_step(), 3);
  }
  QTest::keyClick(form_.get(), Qt::Key_Return);
  EXPECT_EQ(form_->current_step(), 4);
  EXPECT_EQ(Stored(kServiceAppGuid), good);
  Click(kBack);
  ASSERT_EQ(form_->current_step(), 3);
  EXPECT_EQ(Cell(0, 2), good);
  EXPECT_EQ(Grid().rowCount(), 1);
}

}  // namespace
}  // namespace vl
