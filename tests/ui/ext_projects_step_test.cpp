// The external-projects step: the grid, the location browser and the check
// made when the step is completed.
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "ui/ext_projects_grid.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

constexpr const char* kSampleGuid = "{FEFF5554-6761-4663-ABED-E7420207FC9A}";
constexpr const char* kServiceAppGuid = "{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}";
constexpr const char* kToolGuid = "{6A0C7B5E-1F2D-4C3B-9A8E-7D6C5B4A3F21}";

class ExtProjectsStepTest : public WizardTest {
 protected:
  // A baseline that refers to two external projects.
  std::string BaselineWithTwoExternals() {
    std::string baseline = CopyOfSample();
    std::ofstream(baseline + "/ExternalProjects.xml") << R"(<?xml version="1.0"?>
<PROJECT>
  <ExternalProject GUID="{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}" Name="Brewmate Service App" Prefix="SVC"/>
  <ExternalProject GUID="{6A0C7B5E-1F2D-4C3B-9A8E-7D6C5B4A3F21}" Name="Grinder &amp; Tools" Prefix="GRT"/>
</PROJECT>)";
    return baseline;
  }
  // A project file whose folder says it was made from `projectGuid` and
  // waits for the sample baseline's project.
  std::string WaitingProject(const std::string& name, const std::string& projectGuid) {
    scratch_.Write(name + "/UnResExtProjs.xml", "<PROJECT GUID=\"" + projectGuid +
                                                    "\"><ExternalProject GUID=\"" + kSampleGuid +
                                                    "\"/></PROJECT>");
    return scratch_.Write(name + "/" + name + ".vlp", "[Project]\n");
  }
  void ReachExternalsStep(const std::string& baseline) {
    ReachOptionsStep(baseline, "New");
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 3);
  }
  ExtProjectsGrid& Grid() { return *Find<ExtProjectsGrid>("fgExtProjects"); }
  QString CellText(int row, int column) { return Grid().item(row, column)->text(); }
  void ClickEllipsis(int row) {
    QWidget* cell = Grid().cellWidget(row, ExtProjectsGrid::kLocColumn);
    ASSERT_NE(cell, nullptr);
    cell->findChild<QToolButton*>("ellipsis")->click();
  }
  const clsExtProjInfo& Stored(const char* guid) {
    return *AppSession().goBLProjInfo->colExtProjs().Find(guid);
  }
};

TEST_F(ExtProjectsStepTest, TheGridListsTheProjectsAndEmptyLocationsPass) {
  ReachExternalsStep(BaselineWithTwoExternals());
  ASSERT_EQ(Grid().rowCount(), 2);
  EXPECT_EQ(Grid().horizontalHeaderItem(0)->text().toStdString(),
            AppSession().messages.ResString(4003));
  EXPECT_EQ(Grid().horizontalHeaderItem(2)->text().toStdString(),
            AppSession().messages.ResString(4005));
  EXPECT_EQ(CellText(0, 0).toStdString(), "Brewmate Service App");
  EXPECT_EQ(CellText(1, 0).toStdString(), "Grinder & Tools");
  EXPECT_EQ(CellText(1, 1).toStdString(), "GRT");
  EXPECT_TRUE(CellText(0, 2).isEmpty());
  EXPECT_TRUE(Enabled(kNext));
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 4) << sink_.AllInfos();
  EXPECT_TRUE(sink_.infos.empty());
}

TEST_F(ExtProjectsStepTest, AnInvalidFirstLocationStopsTheCheckBeforeTheSecondRow) {
  ReachExternalsStep(BaselineWithTwoExternals());
  std::string good = WaitingProject("Tools", kToolGuid);
  file_answers_.push_back(scratch_.Write("notes.txt", "not a project"));
  file_answers_.push_back(good);
  ClickEllipsis(0);
  ClickEllipsis(1);
  EXPECT_EQ(Grid().row_records()[1].Loc, good);
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 3);
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("notes.txt"), std::string::npos) << sink_.infos[0];
  EXPECT_EQ(Stored(kServiceAppGuid).Loc, "");
  EXPECT_EQ(Stored(kToolGuid).Loc, "") << "the second row is not examined";
  EXPECT_TRUE(Enabled(kNext));
  EXPECT_TRUE(Enabled(kBack));

  // Cleared, the first row passes and the second is stored.
  QWidget* path = Grid().cellWidget(0, ExtProjectsGrid::kLocColumn)->findChild<QLineEdit*>();
  path->setFocus();
  QTest::keyClick(path, Qt::Key_Delete);
  EXPECT_TRUE(CellText(0, 2).isEmpty());
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 4) << sink_.AllInfos();
  EXPECT_EQ(Stored(kToolGuid).Loc, good);
}

TEST_F(ExtProjectsStepTest, AProjectNotWaitingForThisOneIsRefused) {
  ReachExternalsStep(SampleBaseline());
  // Made from another project than the one the row stands for.
  file_answers_.push_back(WaitingProject("Other", kToolGuid));
  ClickEllipsis(0);
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 3);
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("Brewmate Service App"), std::string::npos) << sink_.infos[0];
}

// A cancelled file dialog leaves cell and record; coming back refills the
// grid from the stored locations.
TEST_F(ExtProjectsStepTest, CancellingTheFileDialogKeepsTheLocationAndBackShowsIt) {
  ReachExternalsStep(SampleBaseline());
  std::string good = WaitingProject("Service", kServiceAppGuid);
  file_answers_.push_back(good);
  ClickEllipsis(0);
  file_answers_.push_back(std::nullopt);
  ClickEllipsis(0);
  EXPECT_EQ(CellText(0, 2).toStdString(), good);
  EXPECT_EQ(Grid().row_records()[0].Loc, good);
  EXPECT_TRUE(Enabled(kNext)) << "the step always allows Next";
  EXPECT_TRUE(Enabled(kCancel));
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 4) << sink_.AllInfos();
  EXPECT_EQ(Stored(kServiceAppGuid).Loc, good);
  Click(kBack);
  ASSERT_EQ(form_->current_step(), 3);
  EXPECT_EQ(CellText(0, 2).toStdString(), good);
  EXPECT_EQ(Grid().rowCount(), 1);
}

TEST_F(ExtProjectsStepTest, ABaselineWithoutExternalProjectsShowsAnEmptyGrid) {
  std::string baseline = CopyOfSample();
  std::ofstream(baseline + "/ExternalProjects.xml") << "<PROJECT/>";
  ReachExternalsStep(baseline);
  EXPECT_EQ(Grid().rowCount(), 0);
  EXPECT_EQ(Grid().columnCount(), 3);
  Click(kNext);
  EXPECT_EQ(form_->current_step(), 4);
}

TEST_F(ExtProjectsStepTest, EnterInTheGridStaysOnTheStep) {
  form_->show();
  ReachExternalsStep(SampleBaseline());
  ASSERT_TRUE(Nav(kNext)->isVisible());
  auto* path = Grid().cellWidget(0, ExtProjectsGrid::kLocColumn)->findChild<QLineEdit*>();
  for (QWidget* target : {static_cast<QWidget*>(path), static_cast<QWidget*>(&Grid())}) {
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_EQ(form_->current_step(), 3);
  }
  // Elsewhere, Enter presses Next as ever.
  QTest::keyClick(form_.get(), Qt::Key_Return);
  EXPECT_EQ(form_->current_step(), 4) << sink_.AllInfos();
}

}  // namespace
}  // namespace vl
