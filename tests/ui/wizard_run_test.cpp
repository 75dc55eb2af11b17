// The review and creation steps: the page shown, the run started by the
// timer, its progress and outcome, stopping it, trying again; and help.
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTextBrowser>

#include "app/creation_run.h"
#include "ui/help_window.h"
#include "ui/results_view.h"
#include "ui/run_page.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

class WizardRunTest : public WizardTest {
 protected:
  // Steps 0 to 3 done with traces and history; the window shows the review,
  // or with `run` the creation step with the run armed.
  void ReachReviewStep(const std::string& baseline, bool run = false) {
    ReachOptionsStep(baseline);
    Find<QCheckBox>("chkTraces")->setChecked(true);
    Find<QCheckBox>("chkHistory")->setChecked(true);
    Click(kNext);
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 4);
    if (run) Click(kNext);
  }
  bool WaitForRun() {
    return QTest::qWaitFor([this] { return form_->run_page().run_finished(); }, 120000);
  }
  QStringList Results() { return Find<ResultsView>("txtResults")->ShownLines(); }
  std::string Last() { return Results().back().toStdString(); }
  std::string Outcome() { return form_->run_page().outcome().toStdString(); }
  std::string Res(long id) { return AppSession().messages.ResString(id); }
  std::filesystem::path Project() const { return scratch_.path() / "Alpha" / "Alpha.vlp"; }
};

// The review page shows the baseline's texts, marked up once; the run
// shows its progress and ends with Finish.
TEST_F(WizardRunTest, AWholeRunShowsItsProgressAndEndsWithFinish) {
  std::string project = testing::ReadBytes(SampleBaseline() + "/Project.xml");
  const std::string description = "Brewmate home espresso machine";
  project.replace(project.find(description), description.size(),
                  "Pumps &lt;15 bar&gt; &amp; Mühlen für 5 €");
  const std::string baseline = CopyOfSample("Project.xml", project);
  ReachReviewStep(baseline);
  auto* shown = Find<QTextBrowser>("webReview");
  EXPECT_EQ(shown->source().toLocalFile().toStdString(),
            AppSession().goBLProjInfo->ReviewHTMLLoc());
  EXPECT_TRUE(shown->toPlainText().contains(QString::fromUtf8("Pumps <15 bar> & Mühlen für 5 €")));
  EXPECT_NE(testing::ReadBytes(AppSession().goBLProjInfo->ReviewHTMLLoc())
                .find("Pumps &lt;15 bar&gt; &amp; Mühlen"),
            std::string::npos);
  EXPECT_EQ(Nav(kNext)->text().toStdString(), Res(104));
  Find<QCheckBox>("chkVerify")->setChecked(true);
  Click(kNext);
  ASSERT_EQ(form_->current_step(), 5);
  EXPECT_FALSE(Shown(kBack));
  EXPECT_TRUE(Enabled(kCancel));
  EXPECT_FALSE(Enabled(kFinish));
  std::vector<std::string> stages;
  sink_.on_results_line = [&](const std::string&) {
    const std::string stage = Find<QLabel>("lblStage")->text().toStdString();
    if (!stage.empty() && (stages.empty() || stages.back() != stage)) stages.push_back(stage);
  };

  ASSERT_TRUE(WaitForRun());
  EXPECT_TRUE(sink_.infos.empty());
  const QStringList lines = Results();
  ASSERT_GE(lines.size(), 4);
  EXPECT_EQ(lines[0].toStdString(), Res(kResRunAnnounce));
  EXPECT_TRUE(lines.contains(QString::fromStdString(Res(kResRunSucceeded))));
  // The verification asked for on the review comes last, on the page too.
  const std::string verified = "Result: the project holds its baseline";
  EXPECT_EQ(Last().rfind(verified, 0), 0u) << Last();
  const std::string results_page = testing::ReadBytes(lines[1].toStdString());
  EXPECT_NE(results_page.find(verified), std::string::npos);
  EXPECT_NE(results_page.find(Res(kResRunSucceeded)), std::string::npos);
  EXPECT_GE(stages.size(), 5u) << "the stages are named as the run goes";
  auto* bar = Find<QProgressBar>("prgRun");
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_NE(Outcome().find(Project().string()), std::string::npos) << Outcome();
  EXPECT_TRUE(Enabled(kFinish));
  EXPECT_FALSE(Shown(kCancel) || Shown(kBack));
  EXPECT_EQ(AppSession().goProjApp, nullptr) << "released after the run";

  bool ended = false;
  form_->on_unloaded = [&] { ended = true; };
  Click(kFinish);
  EXPECT_TRUE(ended);
  EXPECT_EQ(sink_.questions.size(), 1u) << "only the folder was asked about";
}

// Cancel, or closing the window, during the run asks whether to stop it
// (the run goes on meanwhile): No lets it go on to its end; Yes stops it,
// and nothing is left behind.
class WizardStopTest : public WizardRunTest,
                       public ::testing::WithParamInterface<std::tuple<bool, int>> {};

TEST_P(WizardStopTest, DuringTheRunAsksAndThenCreatesNothing) {
  const auto [by_closing, answer] = GetParam();
  ReachReviewStep(SampleBaseline(), true);
  sink_.answer = answer;
  bool tried = false, closed_during_run = true, ended = false;
  int lines = 0;
  sink_.on_results_line = [&](const std::string&) {
    if (tried || ++lines < 8) return;  // once the copy has begun
    tried = true;
    if (by_closing)
      closed_during_run = form_->close();
    else
      Click(kCancel);
  };
  form_->on_unloaded = [&] { ended = true; };
  ASSERT_TRUE(WaitForRun());
  ASSERT_TRUE(tried);
  EXPECT_FALSE(closed_during_run && by_closing);
  EXPECT_EQ(sink_.questions.back(), Res(6011));
  EXPECT_FALSE(ended);
  if (answer == vbYes) {
    EXPECT_EQ(Last(), "Interrupted: nothing was created.");
    EXPECT_EQ(Outcome(), Res(6022));
    EXPECT_FALSE(std::filesystem::exists(Project()));
    EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "Alpha" / ".vlbaseline-partial"));
    EXPECT_TRUE(Enabled(kBack)) << "the choices may be changed and the run tried again";
  } else {
    EXPECT_EQ(Last(), Res(kResRunSucceeded));
    EXPECT_TRUE(Enabled(kFinish));
  }
  EXPECT_FALSE(Enabled(kFinish) && Shown(kCancel));
  EXPECT_TRUE(form_->close());
  EXPECT_TRUE(ended);
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardStopTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(vbNo, vbYes)));

TEST_F(WizardRunTest, AFailedRunIsShownOnThePageAndBackLetsItBeTriedAgain) {
  const std::string groups = CopyOfSample() + "/ProjectUserGroups.XML";
  const std::string good = testing::ReadBytes(groups);
  ReachReviewStep((scratch_.path() / "baseline").string(), true);
  std::ofstream(groups) << "<Other/>";
  ASSERT_TRUE(WaitForRun());
  EXPECT_TRUE(sink_.infos.empty()) << "the run's messages stay on its page";
  EXPECT_EQ(Last(), "Nothing was created.");
  EXPECT_EQ(Outcome().rfind(Res(6021), 0), 0u) << Outcome();
  EXPECT_FALSE(std::filesystem::exists(Project()));
  EXPECT_FALSE(Enabled(kFinish));

  std::ofstream(groups) << good;
  Click(kBack);
  ASSERT_EQ(form_->current_step(), 4);
  Click(kNext);
  EXPECT_TRUE(Outcome().empty());
  ASSERT_TRUE(WaitForRun());
  EXPECT_EQ(Last(), Res(kResRunSucceeded));
  EXPECT_TRUE(std::filesystem::exists(Project()));
  EXPECT_TRUE(Enabled(kFinish));
}

// F1 opens the help at the step shown, a missing help file is named in a
// message, and leaving the window closes the help.
TEST_F(WizardRunTest, F1OpensTheHelpAtTheStepShown) {
  form_->SetHelpFile((scratch_.path() / "nowhere.html").string());
  Click(kHelp);
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("nowhere.html"), std::string::npos);
  EXPECT_EQ(OpenHelpBrowser(), nullptr);

  form_->SetHelpFile(std::string(VL_BINARY_DIR) + "/HELP/velloq.html");
  form_->show();
  ChooseBaseline(SampleBaseline());
  for (int step = 0; step <= 4; ++step) {
    if (step == 2)
      Box("txtProjLoc")->setText(QString::fromStdString((scratch_.path() / "Alpha").string()));
    if (step > 0) Click(kNext);
    ASSERT_EQ(form_->current_step(), step);
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_F1);
    QTextBrowser* help = OpenHelpBrowser();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->source().fragment().toStdString(), "step" + std::to_string(step + 1));
  }
  form_->close();
  EXPECT_EQ(OpenHelpBrowser(), nullptr);
}

}  // namespace
}  // namespace vl
