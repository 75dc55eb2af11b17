// The review and creation steps: the page shown, the run started by the
// timer, its progress and outcome, stopping it, trying again; and help.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/creation_run.h"
#include "ui/help_window.h"
#include "ui/results_view.h"
#include "ui/run_page.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

class WizardRunTest : public WizardTest {
 protected:
  // Steps 0 to 3 done; the window shows the review.
  void ReachReviewStep(const std::string& baseline) {
    ReachOptionsStep(baseline, "Alpha");
    Find<QCheckBox>("chkTraces")->setChecked(true);
    Find<QCheckBox>("chkHistory")->setChecked(true);
    Click(kNext);  // options
    Click(kNext);  // external projects
    ASSERT_EQ(form_->current_step(), 4) << sink_.AllInfos();
  }
  // Steps 0 to 4 done; the window shows step 5 with the run armed.
  void ReachRunStep(const std::string& baseline) {
    ReachReviewStep(baseline);
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 5);
  }
  bool WaitForRun() {
    return QTest::qWaitFor([this] { return form_->run_page().run_finished(); }, 120000);
  }
  QStringList Results() { return Find<ResultsView>("txtResults")->ShownLines(); }
  std::string Outcome() { return form_->run_page().outcome().toStdString(); }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path Project() const { return scratch_.path() / "Alpha" / "Alpha.vlp"; }
};

TEST_F(WizardRunTest, TheReviewStepWritesThePageShowsItAndOffersCreate) {
  std::string baseline = CopyOfSample();
  std::string project = ReadFile(baseline + "/Project.xml");
  const std::string description = "Brewmate home espresso machine";
  project.replace(project.find(description), description.size(),
                  "Pumps &lt;15 bar&gt; &amp; Mühlen für 5 €");
  std::ofstream(baseline + "/Project.xml") << project;
  ReachReviewStep(baseline);
  const std::string page = AppSession().goBLProjInfo->ReviewHTMLLoc();
  ASSERT_TRUE(std::filesystem::exists(page)) << page;
  auto* shown = Find<QTextBrowser>("webReview");
  EXPECT_EQ(shown->source().toLocalFile().toStdString(), page);
  EXPECT_TRUE(shown->toPlainText().contains(QString::fromUtf8("Pumps <15 bar> & Mühlen für 5 €")));
  EXPECT_NE(ReadFile(page).find("Pumps &lt;15 bar&gt; &amp; Mühlen für 5 €"), std::string::npos);
  EXPECT_EQ(Nav(kNext)->text().toStdString(), AppSession().messages.ResString(104));
}

TEST_F(WizardRunTest, AWholeRunShowsItsProgressAndEndsWithFinish) {
  ReachReviewStep(SampleBaseline());
  Find<QCheckBox>("chkVerify")->setChecked(true);
  Click(kNext);
  ASSERT_EQ(form_->current_step(), 5);
  EXPECT_FALSE(Shown(kBack));
  EXPECT_TRUE(Enabled(kCancel));
  EXPECT_FALSE(Enabled(kFinish));
  EXPECT_EQ(Find<QTimer>("tmrExecuteActions")->interval(), 100);
  std::vector<std::string> stages;
  sink_.on_results_line = [&](const std::string&) {
    const std::string stage = Find<QLabel>("lblStage")->text().toStdString();
    if (!stage.empty() && (stages.empty() || stages.back() != stage)) stages.push_back(stage);
  };

  ASSERT_TRUE(WaitForRun());
  EXPECT_TRUE(sink_.infos.empty()) << sink_.AllInfos();
  const QStringList lines = Results();
  ASSERT_GE(lines.size(), 4);
  EXPECT_EQ(lines[0].toStdString(), AppSession().messages.ResString(kResRunAnnounce));
  const std::string results_page = lines[1].toStdString();
  EXPECT_TRUE(
      lines.contains(QString::fromStdString(AppSession().messages.ResString(kResRunSucceeded))));
  // The verification asked for on the review comes last, on the page too.
  EXPECT_TRUE(lines.back().startsWith("Result: the project holds its baseline"))
      << lines.back().toStdString();
  EXPECT_NE(ReadFile(results_page).find("Result: the project holds its baseline"),
            std::string::npos);
  EXPECT_GE(stages.size(), 5u) << "the stages are named as the run goes";
  auto* bar = Find<QProgressBar>("prgRun");
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_NE(Outcome().find(Project().string()), std::string::npos) << Outcome();
  EXPECT_TRUE(Enabled(kFinish));
  EXPECT_FALSE(Shown(kCancel));
  EXPECT_FALSE(Shown(kBack));
  EXPECT_EQ(AppSession().goProjApp, nullptr) << "released after the run";
  EXPECT_NE(ReadFile(results_page).find(AppSession().messages.ResString(kResRunSucceeded)),
            std::string::npos);

  bool ended = false;
  form_->on_unloaded = [&] { ended = true; };
  Click(kFinish);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(sink_.questions.size() == 1u) << "only the folder was asked about";
}

// Cancel, or closing the window, during the run asks whether to stop it
// (the run goes on meanwhile): No lets it go on to its end; Yes stops it,
// and nothing is left behind.
struct StopCase {
  bool by_closing;
  int answer;
};
class WizardStopTest : public WizardRunTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(WizardStopTest, DuringTheRunAsksAndThenCreatesNothing) {
  const StopCase c = GetParam();
  ReachRunStep(SampleBaseline());
  sink_.answer = c.answer;
  bool tried = false, closed_during_run = true;
  int lines = 0;
  sink_.on_results_line = [&](const std::string&) {
    if (tried || ++lines < 8) return;  // once the copy has begun
    tried = true;
    if (c.by_closing)
      closed_during_run = form_->close();
    else
      Click(kCancel);
  };
  bool ended = false;
  form_->on_unloaded = [&] { ended = true; };
  ASSERT_TRUE(WaitForRun());
  ASSERT_TRUE(tried);
  EXPECT_FALSE(closed_during_run && c.by_closing);
  EXPECT_EQ(sink_.questions.back(), AppSession().messages.ResString(6011));
  EXPECT_FALSE(ended);
  const std::string last = Results().back().toStdString();
  if (c.answer == vbYes) {
    EXPECT_EQ(last, "Interrupted: nothing was created.");
    EXPECT_EQ(Outcome(), AppSession().messages.ResString(6022));
    EXPECT_FALSE(std::filesystem::exists(Project()));
    EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "Alpha" / ".vlbaseline-partial"));
    EXPECT_TRUE(Enabled(kBack)) << "the choices may be changed and the run tried again";
  } else {
    EXPECT_EQ(last, AppSession().messages.ResString(kResRunSucceeded));
    EXPECT_TRUE(Enabled(kFinish));
  }
  EXPECT_FALSE(Enabled(kFinish) && Shown(kCancel));
  EXPECT_TRUE(form_->close());
  EXPECT_TRUE(ended);
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardStopTest,
                         ::testing::Values(StopCase{false, vbNo}, StopCase{true, vbNo},
                                           StopCase{false, vbYes}, StopCase{true, vbYes}),
                         [](const auto& info) {
                           return std::string(info.param.by_closing ? "Closing" : "Cancel") +
                                  (info.param.answer == vbYes ? "Yes" : "No");
                         });

TEST_F(WizardRunTest, AFailedRunIsShownOnThePageAndBackLetsItBeTriedAgain) {
  std::string baseline = CopyOfSample();
  ReachRunStep(baseline);
  const std::string groups = baseline + "/ProjectUserGroups.XML";
  const std::string good = ReadFile(groups);
  std::ofstream(groups) << "<Other/>";
  ASSERT_TRUE(WaitForRun());
  EXPECT_TRUE(sink_.infos.empty()) << "the run's messages stay on its page";
  EXPECT_EQ(Results().back().toStdString(), "Nothing was created.");
  EXPECT_EQ(Outcome().rfind(AppSession().messages.ResString(6021), 0), 0u) << Outcome();
  EXPECT_FALSE(std::filesystem::exists(Project()));
  EXPECT_FALSE(Enabled(kFinish));
  ASSERT_TRUE(Enabled(kBack));

  std::ofstream(groups) << good;
  Click(kBack);
  ASSERT_EQ(form_->current_step(), 4);
  Click(kNext);
  ASSERT_EQ(form_->current_step(), 5);
  EXPECT_TRUE(Outcome().empty());
  ASSERT_TRUE(WaitForRun());
  EXPECT_EQ(Results().back().toStdString(), AppSession().messages.ResString(kResRunSucceeded));
  EXPECT_TRUE(std::filesystem::exists(Project()));
  EXPECT_TRUE(Enabled(kFinish));
}

TEST_F(WizardRunTest, F1OpensTheHelpAtTheStepShownAndLeavingClosesIt) {
  form_->SetHelpFile(std::string(VL_BINARY_DIR) + "/HELP/velloq.html");
  form_->show();
  ChooseBaseline(SampleBaseline());
  for (int step = 0; step <= 4; ++step) {
    if (step == 2) {
      Box("txtProjLoc")->setText(QString::fromStdString((scratch_.path() / "Alpha").string()));
    }
    if (step > 0) Click(kNext);
    ASSERT_EQ(form_->current_step(), step) << sink_.AllInfos();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_F1);
    QTextBrowser* help = OpenHelpBrowser();
    ASSERT_NE(help, nullptr) << sink_.AllInfos();
    EXPECT_EQ(help->source().fragment().toStdString(), "step" + std::to_string(step + 1));
  }
  form_->close();
  EXPECT_EQ(OpenHelpBrowser(), nullptr);
}

TEST_F(WizardRunTest, AMissingHelpFileIsNamedInAMessage) {
  form_->SetHelpFile((scratch_.path() / "nowhere.html").string());
  Click(kHelp);
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("nowhere.html"), std::string::npos);
  EXPECT_EQ(OpenHelpBrowser(), nullptr);
}

}  // namespace
}  // namespace vl
