// Moving through the wizard's first steps: what each step shows and when
// Next lets the user go on.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "wizard_fixture.h"

namespace vl {
namespace {

TEST_F(WizardTest, StartsOnTheBaselineStepWithBackHiddenAndNextDisabled) {
  EXPECT_EQ(form_->current_step(), 0);
  EXPECT_FALSE(Shown(frmWizard::kBack));
  EXPECT_TRUE(Shown(frmWizard::kNext));
  EXPECT_FALSE(Enabled(frmWizard::kNext));
  EXPECT_TRUE(Enabled(frmWizard::kHelp));
  EXPECT_TRUE(Enabled(frmWizard::kCancel));
  EXPECT_EQ(form_->lblStep->text().toStdString(), AppSession().messages.ResString(1000));
  EXPECT_EQ(form_->lblStepInfo->text().toStdString(), AppSession().messages.ResString(1001));
  EXPECT_EQ(form_->windowTitle().toStdString(), "Create Project from Baseline");
  EXPECT_EQ(AppSession().messages.title(), "Create Project from Baseline");
  EXPECT_EQ(Nav(frmWizard::kNext)->text().toStdString(), AppSession().messages.ResString(103));
  EXPECT_EQ(form_->cmdBLBrowse->text().toStdString(), AppSession().messages.ResString(1003));
}

TEST_F(WizardTest, ARejectedFolderIsNotTakenAndAValidOneEnablesNext) {
  ChooseBaseline(scratch_.path().string());  // holds no baseline
  EXPECT_EQ(sink_.infos.size(), 1u);
  EXPECT_TRUE(form_->txtBLLoc->text().isEmpty());
  EXPECT_TRUE(form_->txtBLLabel->text().isEmpty());
  EXPECT_FALSE(Enabled(frmWizard::kNext));

  ChooseBaseline(SampleBaseline());
  EXPECT_EQ(form_->txtBLLoc->text().toStdString(), SampleBaseline());
  EXPECT_EQ(form_->txtBLLabel->text().toStdString(), "Brewmate 1.0 release");
  EXPECT_EQ(form_->txtBLTimeStamp->text().toStdString(), "2024-05-14 16:42:10");
  EXPECT_EQ(form_->txtBLIncOptions->text().toStdString(),
            AppSession().goBLProjInfo->BLXMLOptionsList());
  EXPECT_TRUE(Enabled(frmWizard::kNext));
  EXPECT_TRUE(Nav(frmWizard::kNext)->isDefault());
  EXPECT_EQ(folder_prompts_.back(), AppSession().messages.ResString(1100));
  EXPECT_EQ(folder_starts_.back(), "");

  // A cancelled dialog changes nothing; a later bad folder empties the
  // details and disables Next, but the box keeps the last good folder.
  ChooseBaseline("");
  EXPECT_EQ(form_->txtBLLoc->text().toStdString(), SampleBaseline());
  EXPECT_TRUE(Enabled(frmWizard::kNext));
  ChooseBaseline(scratch_.path().string());
  EXPECT_EQ(form_->txtBLLoc->text().toStdString(), SampleBaseline());
  EXPECT_TRUE(form_->txtBLLabel->text().isEmpty());
  EXPECT_FALSE(Enabled(frmWizard::kNext));
  EXPECT_EQ(folder_starts_.back(), SampleBaseline());
}

TEST_F(WizardTest, TypingInTheBaselineBoxesChangesNothing) {
  ChooseBaseline(SampleBaseline());
  for (QLineEdit* box : {form_->txtBLLoc, form_->txtBLLabel, form_->txtBLTimeStamp}) {
    QString before = box->text();
    box->setFocus();
    QTest::keyClicks(box, "typed");
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), before);
  }
  EXPECT_EQ(AppSession().goBLProjInfo->BLXMLLoc(), SampleBaseline());
}

TEST_F(WizardTest, ClearingTheProjectNameDisablesNextAtOnce) {
  ChooseBaseline(SampleBaseline());
  form_->ClickNav(frmWizard::kNext);
  ASSERT_EQ(form_->current_step(), 1);
  EXPECT_TRUE(Shown(frmWizard::kBack));
  EXPECT_EQ(form_->txtProjName->text().toStdString(), AppSession().goBLProjInfo->VLPName());
  EXPECT_FALSE(form_->txtProjName->text().isEmpty());
  EXPECT_TRUE(Enabled(frmWizard::kNext));

  form_->txtProjName->selectAll();
  QTest::keyClick(form_->txtProjName, Qt::Key_Delete);
  EXPECT_FALSE(Enabled(frmWizard::kNext));
  QTest::keyClicks(form_->txtProjName, "X");
  EXPECT_TRUE(Enabled(frmWizard::kNext));
  // The folder box counts the same way.
  form_->txtProjLoc->clear();
  EXPECT_FALSE(Enabled(frmWizard::kNext));
}

TEST_F(WizardTest, TheProjectFolderBrowserStartsAtTheStoredFolderAndMayEmptyTheBox) {
  ChooseBaseline(SampleBaseline());
  form_->ClickNav(frmWizard::kNext);
  std::string stored = AppSession().goBLProjInfo->VLPFolder();
  folder_answers_.push_back("");
  form_->BrowseProjectFolder();
  EXPECT_EQ(folder_prompts_.back(), AppSession().messages.ResString(2200));
  EXPECT_EQ(folder_starts_.back(), stored);
  EXPECT_TRUE(form_->txtProjLoc->text().isEmpty());
  EXPECT_FALSE(Enabled(frmWizard::kNext));
}

TEST_F(WizardTest, AProjectStepThatFailsValidationKeepsTheUserThere) {
  ChooseBaseline(SampleBaseline());
  form_->ClickNav(frmWizard::kNext);
  form_->txtProjLoc->setText("relative/folder");  // no place to create it
  form_->ClickNav(frmWizard::kNext);
  EXPECT_EQ(form_->current_step(), 1);
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_EQ(sink_.infos[0], AppSession().messages.ResString(11005));
  EXPECT_TRUE(Enabled(frmWizard::kNext));
  EXPECT_TRUE(Enabled(frmWizard::kCancel));
}

TEST_F(WizardTest, BackStoresNothingAndNextFromTheProjectStepStoresEverything) {
  ReachOptionsStep(SampleBaseline(), "Alpha");
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  EXPECT_EQ(d.VLPFolder(), (scratch_.path() / "Alpha").string());
  EXPECT_EQ(d.VLPDBType(), 1);
  EXPECT_EQ(d.VLPDBDisplayName(), "SQLite");
  EXPECT_EQ(AppSession().goNewProjDef->GetProjectFolder(), d.VLPFolder());
  EXPECT_EQ(AppSession().goNewProjDef->GetConnection().GetDriver(), "SQLite3");
  ASSERT_EQ(sink_.questions.size(), 1u);  // may the folder be created?
  EXPECT_TRUE(std::filesystem::is_directory(scratch_.path() / "Alpha"));

  form_->ClickNav(frmWizard::kBack);
  EXPECT_EQ(form_->current_step(), 1);
  form_->txtProjName->setText("Changed");
  form_->ClickNav(frmWizard::kBack);
  EXPECT_EQ(form_->current_step(), 0);
  EXPECT_FALSE(Shown(frmWizard::kBack));
  EXPECT_NE(d.VLPName(), "Changed");
}

TEST_F(WizardTest, UncheckingTracesDisablesExternalTracesAndKeepsItsMark) {
  std::string baseline = CopyOfSample();
  ReachOptionsStep(baseline, "Alpha");
  ASSERT_TRUE(AppSession().goBLProjInfo->isBLXMLContainsExtTraces());
  EXPECT_TRUE(form_->chkTraces->isEnabled());
  EXPECT_FALSE(form_->chkTraces->isChecked());
  EXPECT_FALSE(form_->chkExtTraces->isEnabled());

  form_->chkTraces->click();
  EXPECT_TRUE(form_->chkExtTraces->isEnabled());
  form_->chkExtTraces->click();
  form_->chkTraces->click();
  EXPECT_FALSE(form_->chkExtTraces->isEnabled());
  EXPECT_TRUE(form_->chkExtTraces->isChecked());

  // A box that cannot be used chooses nothing: the plan must not promise
  // traces to external projects without the traces themselves.
  form_->ClickNav(frmWizard::kNext);
  EXPECT_FALSE(AppSession().goBLProjInfo->CreateTraces());
  EXPECT_FALSE(AppSession().goBLProjInfo->CreateExtTraces());

  form_->ClickNav(frmWizard::kBack);
  form_->chkTraces->click();
  EXPECT_TRUE(form_->chkExtTraces->isEnabled());
  form_->chkExtTraces->setChecked(true);
  form_->chkHistory->setChecked(true);
  form_->ClickNav(frmWizard::kNext);
  EXPECT_TRUE(AppSession().goBLProjInfo->CreateTraces());
  EXPECT_TRUE(AppSession().goBLProjInfo->CreateExtTraces());
  EXPECT_TRUE(AppSession().goBLProjInfo->CreateHist());
  EXPECT_FALSE(AppSession().goBLProjInfo->CreateDisc());

  // Shown again, the boxes follow the stored choices.
  form_->ClickNav(frmWizard::kBack);
  EXPECT_TRUE(form_->chkExtTraces->isChecked());
  EXPECT_TRUE(form_->chkHistory->isChecked());
  EXPECT_FALSE(form_->chkDisc->isChecked());
}

TEST_F(WizardTest, OptionsTheBaselineDoesNotHoldCannotBeChosen) {
  std::string baseline = CopyOfSample();
  std::ofstream(baseline + "/BaselineList.xml") << R"(<?xml version="1.0"?>
<PROJECT><BaselineType>Project</BaselineType><GUID>{FEFF5554-6761-4663-ABED-E7420207FC9A}</GUID>
<IncludeTraces>1</IncludeTraces><IncludeCPT>0</IncludeCPT><IncludeDiscs>0</IncludeDiscs>
<IncludeHistory>0</IncludeHistory></PROJECT>)";
  ReachOptionsStep(baseline, "Alpha");
  EXPECT_TRUE(form_->chkTraces->isEnabled());
  EXPECT_FALSE(form_->chkHistory->isEnabled());
  EXPECT_FALSE(form_->chkDisc->isEnabled());
  form_->chkTraces->click();
  EXPECT_FALSE(form_->chkExtTraces->isEnabled()) << "the baseline holds no external traces";
}

// An installation offering an enterprise database besides SQLite.
class WizardWithEnterpriseDBTest : public WizardTest {
 protected:
  WizardWithEnterpriseDBTest() {
    settings_.Write("Corvane Software/Velloq.conf",
                    "[4.0]\nInstallDirectory=" + install_.path().string() + "\n");
    install_.Write("Bin/DB Drivers.dat", "[Enterprise Drivers]\nPostgreSQL=PostgreSQL\n");
  }
  // The button as the project step shows it.
  bool ConfigAvailable() { return form_->cmdDBConfig->isEnabledTo(form_->fraStep[1]); }
  ScratchDir install_;
};

TEST_F(WizardWithEnterpriseDBTest, TheDatabaseListCarriesTypeCodesAndDisablesConfigForSQLite) {
  ASSERT_EQ(form_->cboDBType->count(), 2);
  EXPECT_EQ(form_->cboDBType->itemText(0).toStdString(), "SQLite");
  EXPECT_EQ(form_->cboDBType->itemData(0).toLongLong(), 1);
  EXPECT_EQ(form_->cboDBType->itemText(1).toStdString(), "PostgreSQL");
  EXPECT_EQ(form_->cboDBType->itemData(1).toLongLong(), 2);
  EXPECT_EQ(form_->cboDBType->currentIndex(), 0);
  EXPECT_FALSE(ConfigAvailable());
  form_->cboDBType->setCurrentIndex(1);
  EXPECT_TRUE(ConfigAvailable());
  form_->SelectDBType(7);  // no such code: the selection stays
  EXPECT_EQ(form_->cboDBType->currentIndex(), 1);
  form_->SelectDBType(1);
  EXPECT_EQ(form_->cboDBType->currentIndex(), 0);
  EXPECT_FALSE(ConfigAvailable());
}

TEST_F(WizardWithEnterpriseDBTest, TheConfigButtonHandsTheChosenTypeAndDriverToTheDialog) {
  ChooseBaseline(SampleBaseline());
  form_->ClickNav(frmWizard::kNext);
  form_->cboDBType->setCurrentIndex(1);
  form_->cmdDBConfig->click();
  ASSERT_EQ(configured_types_.size(), 1u);
  EXPECT_EQ(configured_types_[0], "PostgreSQL");
  EXPECT_EQ(configured_drivers_[0], "PostgreSQL");
}

TEST_F(WizardWithEnterpriseDBTest, GoingToOptionsAndBackRestoresTheDatabaseEntry) {
  ChooseBaseline(SampleBaseline());
  form_->ClickNav(frmWizard::kNext);
  form_->txtProjLoc->setText(QString::fromStdString((scratch_.path() / "Alpha").string()));
  form_->cboDBType->setCurrentIndex(1);
  form_->ClickNav(frmWizard::kNext);
  ASSERT_EQ(form_->current_step(), 2) << sink_.AllInfos();
  EXPECT_EQ(AppSession().goBLProjInfo->VLPDBType(), 2);
  EXPECT_EQ(AppSession().goNewProjDef->GetDBType(), "PostgreSQL");

  form_->cboDBType->setCurrentIndex(0);  // changed behind the user's back
  form_->ClickNav(frmWizard::kBack);
  EXPECT_EQ(form_->current_step(), 1);
  EXPECT_EQ(form_->cboDBType->currentText().toStdString(), "PostgreSQL");
  EXPECT_TRUE(form_->cmdDBConfig->isEnabled());
  EXPECT_EQ(form_->txtProjLoc->text().toStdString(), (scratch_.path() / "Alpha").string());
}

}  // namespace
}  // namespace vl
