// Moving through the wizard's first steps: what each step shows, when Next
// lets the user go on, what Back keeps, and how the window is left.
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include "app/version.h"
#include "host/text/path_utils.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

TEST_F(WizardTest, OnlyAFolderHoldingABaselineEnablesNext) {
  EXPECT_EQ(form_->current_step(), 0);
  EXPECT_FALSE(Shown(kBack));
  EXPECT_FALSE(Enabled(kNext));
  EXPECT_TRUE(Enabled(kHelp) && Enabled(kCancel));
  EXPECT_EQ(form_->windowTitle().toStdString(),
            std::string("Create Project from Baseline ") + kVersion);
  for (int button : {kHelp, kBack, kNext, kFinish, kCancel})
    EXPECT_TRUE(Nav(button)->text().contains('&')) << "mnemonic on " << button;

  ChooseBaseline(scratch_.path().string());  // holds no baseline
  EXPECT_EQ(sink_.infos.size(), 1u);
  EXPECT_TRUE(Box("txtBLLoc")->text().isEmpty());
  EXPECT_FALSE(Enabled(kNext));
  ChooseBaseline(SampleBaseline());
  EXPECT_EQ(Text("txtBLLoc"), SampleBaseline());
  EXPECT_EQ(Text("txtBLLabel"), "Brewmate 1.0 release");
  EXPECT_EQ(Text("txtBLTimeStamp"), "2024-05-14 16:42:10");
  EXPECT_TRUE(Enabled(kNext));
  // A later bad folder empties the details; the box keeps the last good
  // folder, where the dialog starts.
  ChooseBaseline(scratch_.path().string());
  EXPECT_EQ(Text("txtBLLoc"), SampleBaseline());
  EXPECT_TRUE(Box("txtBLLabel")->text().isEmpty());
  EXPECT_FALSE(Enabled(kNext));
  EXPECT_EQ(folder_starts_.back(), SampleBaseline());
}

// Without an installation the project goes below the Documents folder; a
// place that cannot take the project is said beside the folder, with Next
// disabled; a usable one is made absolute and normal.
TEST_F(WizardTest, TheProjectStepChecksNameAndPlace) {
  const auto docs = scratch_.path() / "Docs";
  user_settings_.Write("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + docs.string() + "\"\n");
  std::filesystem::create_directories(docs);
  ChooseBaseline(SampleBaseline());
  Click(kNext);
  const std::string name = AppSession().goBLProjInfo->VLPName();
  EXPECT_EQ(Text("txtProjName"), name);
  EXPECT_EQ(Text("txtProjLoc"), (docs / "Velloq Projects" / FolderNameFrom(name)).string());
  EXPECT_TRUE(Enabled(kNext));
  for (const char* box : {"txtProjName", "txtProjLoc"}) {
    const QString before = Box(box)->text();
    Box(box)->clear();
    EXPECT_FALSE(Enabled(kNext)) << box;
    Box(box)->setText(before);
  }

  Box("txtProjName")->setText("Alpha");
  scratch_.Write("Old/Old.vlp", "[Project]\n");  // a project named after its folder
  QWidget* note = Find("noteProjLoc");
  for (const std::string& refused :
       std::vector<std::string>{"rel/Alpha", "rel/..", (scratch_.path() / "Old").string()}) {
    Box("txtProjLoc")->setText(QString::fromStdString(refused));
    EXPECT_TRUE(note->isVisibleTo(form_.get())) << refused;
    EXPECT_FALSE(Enabled(kNext)) << refused;
    Click(kNext);
    EXPECT_EQ(form_->current_step(), 1) << refused;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "rel"));
  EXPECT_TRUE(sink_.questions.empty()) << "nothing is asked for a refused place";
  Box("txtProjLoc")->setText(QString::fromStdString((scratch_.path() / "x/../Beta").string()));
  EXPECT_FALSE(note->isVisibleTo(form_.get()));
  Click(kNext);
  ASSERT_EQ(form_->current_step(), 2);
  EXPECT_EQ(AppSession().goBLProjInfo->VLPFolder(), (scratch_.path() / "Beta").string());
  EXPECT_EQ(Text("txtProjLoc"), (scratch_.path() / "Beta").string());
}

// The window fits the screens it may open on, whatever the scale factor.
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

// Contents the baseline does not hold cannot be chosen, external traces go
// only with traces; Back keeps what the user entered and stores nothing.
TEST_F(WizardTest, TheOptionsStepAndBack) {
  ReachOptionsStep(CopyOfSample("BaselineList.xml", R"(<?xml version="1.0"?>
<PROJECT><BaselineType>Project</BaselineType><GUID>{FEFF5554-6761-4663-ABED-E7420207FC9A}</GUID>
<IncludeTraces>1</IncludeTraces><IncludeCPT>1</IncludeCPT><IncludeDiscs>0</IncludeDiscs>
<IncludeHistory>0</IncludeHistory></PROJECT>)"));
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  EXPECT_EQ(d.VLPFolder(), (scratch_.path() / "Alpha").string());
  EXPECT_EQ(AppSession().goNewProjDef->GetConnection().GetDriver(), "SQLite3");
  ASSERT_EQ(sink_.questions.size(), 1u);  // may the folder be created?
  EXPECT_NE(sink_.questions[0].find((scratch_.path() / "Alpha").string()), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(scratch_.path() / "Alpha"));

  EXPECT_FALSE(Find<QCheckBox>("chkHistory")->isEnabled());
  EXPECT_FALSE(Find<QCheckBox>("chkDisc")->isEnabled());
  auto* traces = Find<QCheckBox>("chkTraces");
  auto* external = Find<QCheckBox>("chkExtTraces");
  EXPECT_FALSE(external->isEnabled());
  traces->click();
  external->click();
  traces->click();
  EXPECT_FALSE(external->isEnabled());
  traces->click();
  Click(kBack);
  Box("txtProjName")->setText("Changed");
  Click(kBack);
  EXPECT_EQ(form_->current_step(), 0);
  EXPECT_NE(d.VLPName(), "Changed");
  Click(kNext);
  EXPECT_EQ(Text("txtProjName"), "Changed");
  Box("txtProjName")->setText(QString::fromStdString(d.VLPName()));
  Click(kNext);
  ASSERT_EQ(form_->current_step(), 2);
  EXPECT_TRUE(traces->isChecked());
  EXPECT_TRUE(external->isChecked());
  traces->click();
  Click(kNext);  // a box that cannot be used chooses nothing
  EXPECT_FALSE(d.CreateExtTraces());
}

// Cancel and Escape leave the window; they ask first once a baseline has
// been chosen, and a No keeps the window open.
TEST_F(WizardTest, LeavingAtOnceAsksNothing) {
  form_->show();
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_TRUE(sink_.questions.empty());
  EXPECT_TRUE(form_->isUnloaded().toBool());
}

TEST_F(WizardTest, LeavingAfterChoosingAsksFirst) {
  bool ended = false;
  form_->on_unloaded = [&] { ended = true; };
  form_->show();
  ChooseBaseline(SampleBaseline());
  sink_.answer = vbNo;
  Click(kCancel);
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_EQ(sink_.questions.size(), 2u);
  EXPECT_FALSE(ended || form_->isUnloaded().toBool());
  sink_.answer = vbYes;
  Click(kCancel);
  EXPECT_EQ(sink_.questions.size(), 3u);
  EXPECT_TRUE(ended && form_->isUnloaded().toBool());
}

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
  EXPECT_FALSE(config->isEnabled());
  list->setCurrentIndex(1);
  config->click();
  EXPECT_EQ(configured_, std::vector<std::string>{"PostgreSQL/PostgreSQL"});
  list->setCurrentIndex(0);
  EXPECT_FALSE(config->isEnabled());
}

}  // namespace
}  // namespace vl
