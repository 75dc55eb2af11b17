// Moving through the wizard's first steps: what each step shows, when Next
// lets the user go on, what Back keeps, and how the window is left.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/version.h"
#include "host/text/path_utils.h"
#include "ui/new_project_page.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

TEST_F(WizardTest, StartsOnTheBaselineStepWithBackHiddenAndNextDisabled) {
  EXPECT_EQ(form_->current_step(), 0);
  EXPECT_FALSE(Shown(kBack));
  EXPECT_FALSE(Enabled(kNext));
  EXPECT_TRUE(Enabled(kHelp));
  EXPECT_TRUE(Enabled(kCancel));
  EXPECT_EQ(form_->currentPage()->title().toStdString(), AppSession().messages.ResString(1000));
  EXPECT_EQ(form_->currentPage()->subTitle().toStdString(), AppSession().messages.ResString(1001));
  EXPECT_EQ(form_->windowTitle().toStdString(),
            std::string("Create Project from Baseline ") + kVersion);
  // Every button carries a mnemonic.
  for (int button : {kHelp, kBack, kNext, kFinish, kCancel})
    EXPECT_TRUE(Nav(button)->text().contains('&')) << Nav(button)->text().toStdString();
}

TEST_F(WizardTest, ARejectedFolderIsNotTakenAndAValidOneEnablesNext) {
  ChooseBaseline(scratch_.path().string());  // holds no baseline
  EXPECT_EQ(sink_.infos.size(), 1u);
  EXPECT_TRUE(Box("txtBLLoc")->text().isEmpty());
  EXPECT_FALSE(Enabled(kNext));

  ChooseBaseline(SampleBaseline());
  EXPECT_EQ(Box("txtBLLoc")->text().toStdString(), SampleBaseline());
  EXPECT_EQ(Box("txtBLLabel")->text().toStdString(), "Brewmate 1.0 release");
  EXPECT_EQ(Box("txtBLTimeStamp")->text().toStdString(), "2024-05-14 16:42:10");
  EXPECT_TRUE(Enabled(kNext));
  EXPECT_EQ(folder_prompts_.back(), AppSession().messages.ResString(1100));

  // A later bad folder empties the details and disables Next; the box
  // keeps the last good folder, where the dialog starts.
  ChooseBaseline(scratch_.path().string());
  EXPECT_EQ(Box("txtBLLoc")->text().toStdString(), SampleBaseline());
  EXPECT_TRUE(Box("txtBLLabel")->text().isEmpty());
  EXPECT_FALSE(Enabled(kNext));
  EXPECT_EQ(folder_starts_.back(), SampleBaseline());
}

TEST_F(WizardTest, WithoutAnInstallationTheProjectGoesBelowTheDocumentsFolder) {
  user_settings_.Write("user-dirs.dirs",
                       "XDG_DOCUMENTS_DIR=\"" + (scratch_.path() / "Docs").string() + "\"\n");
  std::filesystem::create_directories(scratch_.path() / "Docs");
  ChooseBaseline(SampleBaseline());
  Click(kNext);
  const std::string name = AppSession().goBLProjInfo->VLPName();
  EXPECT_EQ(Box("txtProjName")->text().toStdString(), name);
  EXPECT_EQ(Box("txtProjLoc")->text().toStdString(),
            (scratch_.path() / "Docs" / "Velloq Projects" / FolderNameFrom(name)).string());
  EXPECT_TRUE(Enabled(kNext));

  // Either box emptied disables Next at once.
  for (const char* box : {"txtProjName", "txtProjLoc"}) {
    const QString before = Box(box)->text();
    Box(box)->clear();
    EXPECT_FALSE(Enabled(kNext)) << box;
    Box(box)->setText(before);
    EXPECT_TRUE(Enabled(kNext)) << box;
  }
}

// The window fits the screens it may open on, whatever the scale factor:
// the free area in logical pixels is the screen divided by the factor.
TEST(FitWindowTest, StaysWithinTheFreeAreaAndCentred) {
  for (const QSize screen : {QSize(1280, 1024), QSize(1366, 768)}) {
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
      const QRect area(0, 30, int(screen.width() / scale), int(screen.height() / scale) - 30);
      const QRect placed = FitWindow(frmWizard::kWantedSize, area);
      EXPECT_TRUE(area.contains(placed)) << screen.width() << " at " << scale;
      EXPECT_EQ(placed.center().x(), area.center().x());
    }
  }
}

// A place that cannot take the project is said beside the folder on step 1,
// with Next disabled; a usable one is made absolute and normal.
struct PlaceCase {
  const char* name;
  std::function<std::string(const ScratchDir&)> folder;
  bool usable;
};

class ProjectPlaceTest : public WizardTest, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(ProjectPlaceTest, IsCheckedBesideTheFolder) {
  const PlaceCase& c = GetParam();
  ChooseBaseline(SampleBaseline());
  Click(kNext);
  Box("txtProjName")->setText("Alpha");
  Box("txtProjLoc")->setText(QString::fromStdString(c.folder(scratch_)));
  QWidget* note = Find("noteProjLoc");
  EXPECT_EQ(note->isVisibleTo(form_.get()), !c.usable);
  EXPECT_EQ(Enabled(kNext), c.usable);
  Click(kNext);
  EXPECT_EQ(form_->current_step(), c.usable ? 2 : 1);
  if (c.usable) {
    EXPECT_EQ(AppSession().goBLProjInfo->VLPFolder(), (scratch_.path() / "Beta").string());
    EXPECT_EQ(Box("txtProjLoc")->text().toStdString(), (scratch_.path() / "Beta").string());
  } else {
    EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "rel"));
    EXPECT_TRUE(sink_.questions.empty()) << "nothing is asked for a refused place";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Places, ProjectPlaceTest,
    ::testing::Values(
        PlaceCase{"Relative", [](const ScratchDir&) { return std::string("rel/Alpha"); }, false},
        PlaceCase{"RelativeUp", [](const ScratchDir&) { return std::string("rel/.."); }, false},
        PlaceCase{"HoldsTheProject",
                  [](const ScratchDir& s) {
                    s.Write("Old/Old.vlp", "[Project]\n");  // named after its folder
                    return (s.path() / "Old").string();
                  },
                  false},
        PlaceCase{"Normalised",
                  [](const ScratchDir& s) { return (s.path() / "x" / ".." / "Beta").string(); },
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WizardTest, BackKeepsWhatTheUserEnteredAndStoresNothing) {
  ReachOptionsStep(CopyOfSample(), "Alpha");
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  EXPECT_EQ(d.VLPFolder(), (scratch_.path() / "Alpha").string());
  EXPECT_EQ(d.VLPDBDisplayName(), "SQLite");
  EXPECT_EQ(AppSession().goNewProjDef->GetConnection().GetDriver(), "SQLite3");
  ASSERT_EQ(sink_.questions.size(), 1u);  // may the folder be created?
  EXPECT_NE(sink_.questions[0].find((scratch_.path() / "Alpha").string()), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(scratch_.path() / "Alpha"));

  auto* traces = Find<QCheckBox>("chkTraces");
  auto* history = Find<QCheckBox>("chkHistory");
  traces->click();
  history->click();
  const bool traced = traces->isChecked(), historied = history->isChecked();
  Click(kBack);
  Box("txtProjName")->setText("Changed");
  Click(kBack);
  EXPECT_EQ(form_->current_step(), 0);
  EXPECT_NE(d.VLPName(), "Changed");
  Click(kNext);
  EXPECT_EQ(Box("txtProjName")->text().toStdString(), "Changed");
  Box("txtProjName")->setText(QString::fromStdString(d.VLPName()));
  Click(kNext);
  ASSERT_EQ(form_->current_step(), 2);
  EXPECT_EQ(traces->isChecked(), traced);
  EXPECT_EQ(history->isChecked(), historied);
}

TEST_F(WizardTest, ExternalTracesGoOnlyWithTraces) {
  ReachOptionsStep(SampleBaseline(), "Alpha");
  auto* traces = Find<QCheckBox>("chkTraces");
  auto* external = Find<QCheckBox>("chkExtTraces");
  EXPECT_FALSE(external->isEnabled());
  traces->click();
  external->click();
  traces->click();
  EXPECT_FALSE(external->isEnabled());
  EXPECT_TRUE(external->isChecked());
  // A box that cannot be used chooses nothing.
  Click(kNext);
  EXPECT_FALSE(AppSession().goBLProjInfo->CreateExtTraces());
}

TEST_F(WizardTest, ContentsTheBaselineDoesNotHoldCannotBeChosen) {
  std::string baseline = CopyOfSample();
  std::ofstream(baseline + "/BaselineList.xml") << R"(<?xml version="1.0"?>
<PROJECT><BaselineType>Project</BaselineType><GUID>{FEFF5554-6761-4663-ABED-E7420207FC9A}</GUID>
<IncludeTraces>1</IncludeTraces><IncludeCPT>0</IncludeCPT><IncludeDiscs>0</IncludeDiscs>
<IncludeHistory>0</IncludeHistory></PROJECT>)";
  ReachOptionsStep(baseline, "Alpha");
  EXPECT_TRUE(Find<QCheckBox>("chkTraces")->isEnabled());
  EXPECT_FALSE(Find<QCheckBox>("chkHistory")->isEnabled());
  EXPECT_FALSE(Find<QCheckBox>("chkDisc")->isEnabled());
}

// Cancel and Escape leave the window; they ask first once a baseline has
// been chosen, and a No keeps the window open.
struct LeaveCase {
  bool by_escape, baseline_chosen;
  int answer;
  bool asked, left;
};

class WizardLeaveTest : public WizardTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(WizardLeaveTest, AsksOnlyWhenChoicesWouldBeLost) {
  const LeaveCase& c = GetParam();
  if (c.baseline_chosen) ChooseBaseline(SampleBaseline());
  sink_.answer = c.answer;
  bool ended = false;
  form_->on_unloaded = [&] { ended = true; };
  if (c.by_escape) {
    form_->show();
    QTest::keyClick(form_.get(), Qt::Key_Escape);
  } else {
    Click(kCancel);
  }
  EXPECT_EQ(sink_.questions.size(), c.asked ? 1u : 0u);
  EXPECT_EQ(ended, c.left);
  EXPECT_EQ(form_->isUnloaded().toBool(), c.left);
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardLeaveTest,
                         ::testing::Values(LeaveCase{false, false, vbNo, false, true},
                                           LeaveCase{true, false, vbNo, false, true},
                                           LeaveCase{false, true, vbNo, true, false},
                                           LeaveCase{true, true, vbNo, true, false},
                                           LeaveCase{true, true, vbYes, true, true}),
                         [](const auto& info) {
                           const LeaveCase& c = info.param;
                           return std::string(c.by_escape ? "Escape" : "Cancel") +
                                  (c.baseline_chosen ? "AfterChoosing" : "AtOnce") +
                                  (c.answer == vbYes ? "Yes" : "No");
                         });

// An installation offering an enterprise database besides SQLite.
class WizardWithEnterpriseDBTest : public WizardTest {
 protected:
  WizardWithEnterpriseDBTest() {
    settings_.Write("Corvane Software/Velloq.conf",
                    "[4.0]\nInstallDirectory=" + install_.path().string() + "\n");
    install_.Write("Bin/DB Drivers.dat", "[Enterprise Drivers]\nPostgreSQL=PostgreSQL\n");
  }
  ScratchDir install_;
};

TEST_F(WizardWithEnterpriseDBTest, TheConfigButtonServesTheEnterpriseEntryOnly) {
  ChooseBaseline(SampleBaseline());
  Click(kNext);
  auto* list = Find<QComboBox>("cboDBType");
  auto* config = Find<QPushButton>("cmdDBConfig");
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->itemText(1).toStdString(), "PostgreSQL");
  EXPECT_EQ(list->itemData(1).toLongLong(), 2);
  EXPECT_FALSE(config->isEnabled());
  list->setCurrentIndex(1);
  config->click();
  ASSERT_EQ(configured_types_.size(), 1u);
  EXPECT_EQ(configured_types_[0], "PostgreSQL");
  EXPECT_EQ(configured_drivers_[0], "PostgreSQL");
  form_->project_page().SelectDBType(7);  // no such code: the selection stays
  EXPECT_EQ(list->currentIndex(), 1);
  form_->project_page().SelectDBType(1);
  EXPECT_FALSE(config->isEnabled());
}

}  // namespace
}  // namespace vl
