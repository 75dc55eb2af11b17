// The review and creation steps: the page shown, the run started by the
// timer, the window's end; and help.
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include "app/creation_run.h"
#include "ui/help_window.h"
#include "ui/results_view.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

class WizardRunTest : public WizardTest {
 protected:
  // Steps 0 to 4 done; the window shows step 5 with the run armed.
  void ReachRunStep(const std::string& baseline) {
    ReachOptionsStep(baseline, "Alpha");
    form_->chkTraces->setChecked(true);
    form_->chkHistory->setChecked(true);
    form_->ClickNav(frmWizard::kNext);  // options
    form_->ClickNav(frmWizard::kNext);  // external projects
    ASSERT_EQ(form_->current_step(), 4) << sink_.AllInfos();
    form_->ClickNav(frmWizard::kNext);  // review
    ASSERT_EQ(form_->current_step(), 5);
  }
  bool WaitForRun() {
    return QTest::qWaitFor([this] { return form_->run_finished(); }, 120000);
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(WizardRunTest, TheReviewStepWritesThePageAndShowsIt) {
  std::string baseline = CopyOfSample();
  std::string project = R"(<?xml version="1.0" encoding="UTF-8"?>
<Project Name="Brew &amp; Co" Description="Pumps &lt;15 bar&gt; &amp; Mühlen für 5 €"/>)";
  std::ofstream(baseline + "/Project.xml") << project;
  ReachOptionsStep(baseline, "Alpha");
  form_->ClickNav(frmWizard::kNext);
  form_->ClickNav(frmWizard::kNext);
  ASSERT_EQ(form_->current_step(), 4);
  const std::string page = AppSession().goBLProjInfo->ReviewHTMLLoc();
  ASSERT_TRUE(std::filesystem::exists(page)) << page;
  EXPECT_EQ(std::filesystem::path(page).parent_path(), scratch_.path() / "Alpha");
  EXPECT_EQ(form_->webReview->source().toLocalFile().toStdString(), page);
  QString shown = form_->webReview->toPlainText();
  EXPECT_TRUE(shown.contains(QString::fromUtf8("Pumps <15 bar> & Mühlen für 5 €")))
      << shown.toStdString();
  EXPECT_TRUE(shown.contains(QString::fromStdString(AppSession().messages.ResString(5400))));
  EXPECT_NE(ReadFile(page).find("Pumps &lt;15 bar&gt; &amp; Mühlen für 5 €"), std::string::npos);
}

TEST_F(WizardRunTest, AWholeRunEndsWithTheSuccessLineAndFinishEnabled) {
  ReachRunStep(SampleBaseline());
  EXPECT_FALSE(Shown(frmWizard::kBack));
  EXPECT_TRUE(Shown(frmWizard::kCancel));
  EXPECT_TRUE(Shown(frmWizard::kHelp));
  EXPECT_FALSE(Enabled(frmWizard::kNext));
  EXPECT_EQ(Nav(frmWizard::kNext)->text().toStdString(), AppSession().messages.ResString(105));
  EXPECT_TRUE(form_->tmrExecuteActions->isActive());
  EXPECT_EQ(form_->tmrExecuteActions->interval(), 100);

  ASSERT_TRUE(WaitForRun()) << sink_.AllInfos();
  EXPECT_TRUE(sink_.infos.empty()) << sink_.AllInfos();
  QStringList lines = form_->txtResults->ShownLines();
  ASSERT_GE(lines.size(), 6);
  EXPECT_EQ(lines[0].toStdString(), AppSession().messages.ResString(kResRunAnnounce));
  std::string results_page = lines[1].toStdString();
  EXPECT_EQ(lines[2].toStdString(), AppSession().messages.ResString(kResRunAnnounceEnd));
  EXPECT_EQ(lines[3].toStdString(), "\t" + AppSession().messages.ResString(kResCreatingProject));
  EXPECT_EQ(lines.back().toStdString(), AppSession().messages.ResString(kResRunSucceeded));
  EXPECT_TRUE(Enabled(frmWizard::kNext));
  EXPECT_FALSE(Shown(frmWizard::kCancel));
  EXPECT_TRUE(Nav(frmWizard::kNext)->isDefault());
  EXPECT_EQ(AppSession().goProjApp, nullptr) << "released after the run";

  // The results page holds every line, the last one too.
  std::string page = ReadFile(results_page);
  EXPECT_NE(page.find(AppSession().messages.ResString(kResRunSucceeded)), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(scratch_.path() / "Alpha" / "PSGUIDMap.xml"));

  // Help refreshes the buttons: Finish stays available after the run.
  form_->ClickNav(frmWizard::kHelp);
  EXPECT_TRUE(Enabled(frmWizard::kNext));

  bool ended = false;
  form_->on_unloaded = [&] { ended = true; };
  form_->ClickNav(frmWizard::kNext);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(form_->isUnloaded().toBool());
  EXPECT_EQ(OpenHelpBrowser(), nullptr) << "help is closed with the window";
}

// Cancel, or closing the window, during the run asks whether to stop it:
// no lets it go on to its end; yes stops it, and nothing is created.
struct StopCase {
  bool by_closing;
  int answer;
};
class WizardStopTest : public WizardRunTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(WizardStopTest, DuringTheRunAsksAndThenCreatesNothing) {
  const StopCase c = GetParam();
  {
    ReachRunStep(SampleBaseline());
    sink_.answer = c.answer;
    bool tried = false, closed_during_run = true;
    int lines = 0;
    sink_.on_results_line = [&](const std::string&) {
      // Once the copy has begun.
      if (tried || ++lines < 8) return;
      tried = true;
      if (c.by_closing)
        closed_during_run = form_->close();
      else
        form_->ClickNav(frmWizard::kCancel);
    };
    bool ended = false;
    form_->on_unloaded = [&] { ended = true; };
    ASSERT_TRUE(WaitForRun());
    ASSERT_TRUE(tried);
    EXPECT_FALSE(closed_during_run && c.by_closing);
    EXPECT_EQ(sink_.questions.back(), AppSession().messages.ResString(frmWizard::kResStopRun));
    EXPECT_FALSE(ended);
    const std::string last = form_->txtResults->ShownLines().back().toStdString();
    if (c.answer == vbYes) {
      EXPECT_EQ(last, "Interrupted: nothing was created.");
      EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "Alpha" / "Alpha.vlp"));
      EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "Alpha" / ".vlbaseline-partial"));
    } else {
      EXPECT_EQ(last, AppSession().messages.ResString(kResRunSucceeded));
    }
    EXPECT_TRUE(Enabled(frmWizard::kNext));
    EXPECT_FALSE(Shown(frmWizard::kCancel));
    EXPECT_TRUE(form_->close());
    EXPECT_TRUE(ended);
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardStopTest,
                         ::testing::Values(StopCase{false, vbNo}, StopCase{true, vbNo},
                                           StopCase{false, vbYes}, StopCase{true, vbYes}),
                         [](const auto& info) {
                           return std::string(info.param.by_closing ? "Closing" : "Cancel") +
                                  (info.param.answer == vbYes ? "Yes" : "No");
                         });

TEST_F(WizardRunTest, AFailingRunStillEndsWithFinishEnabled) {
  std::string baseline = CopyOfSample();
  ReachRunStep(baseline);
  std::ofstream(baseline + "/ProjectUserGroups.XML") << "<Other/>";
  ASSERT_TRUE(WaitForRun());
  EXPECT_EQ(sink_.infos.size(), 1u) << sink_.AllInfos();
  EXPECT_NE(form_->txtResults->ShownLines().back().toStdString(),
            AppSession().messages.ResString(kResRunSucceeded));
  EXPECT_TRUE(Enabled(frmWizard::kNext));
}

TEST_F(WizardRunTest, CancelUnloadsTheWindowWithoutCreatingAnything) {
  ChooseBaseline(SampleBaseline());
  bool ended = false;
  form_->on_unloaded = [&] { ended = true; };
  form_->ClickNav(frmWizard::kCancel);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(form_->isUnloaded().toBool());
  EXPECT_EQ(AppSession().goProjApp, nullptr);
}

TEST_F(WizardRunTest, HelpAndF1OpenTheHelpAtItsTopicAndUnloadingClosesIt) {
  form_->SetHelpFile(std::string(VL_BINARY_DIR) + "/HELP/velloq.html");
  EXPECT_FALSE(gbHelpShown);
  form_->ClickNav(frmWizard::kHelp);
  EXPECT_TRUE(gbHelpShown);
  QTextBrowser* help = OpenHelpBrowser();
  ASSERT_NE(help, nullptr) << sink_.AllInfos();
  EXPECT_EQ(help->source().fragment().toStdString(), "9601");
  EXPECT_TRUE(help->toPlainText().contains("Locate the external projects"));
  CloseHelp();
  ASSERT_EQ(OpenHelpBrowser(), nullptr);

  form_->show();
  QApplication::setActiveWindow(form_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  QTest::keyClick(form_->cmdNav[frmWizard::kCancel], Qt::Key_F1);
  EXPECT_NE(OpenHelpBrowser(), nullptr);
  EXPECT_FALSE(Enabled(frmWizard::kNext)) << "step 0 keeps its own buttons";
  form_->close();
  EXPECT_EQ(OpenHelpBrowser(), nullptr);
}

TEST_F(WizardRunTest, AMissingHelpFileIsNamedInAMessage) {
  form_->SetHelpFile((scratch_.path() / "nowhere.html").string());
  form_->ClickNav(frmWizard::kHelp);
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("nowhere.html"), std::string::npos);
  EXPECT_EQ(OpenHelpBrowser(), nullptr);
  EXPECT_TRUE(gbHelpShown);
}

}  // namespace
}  // namespace vl
