// The wizard's sink: results lines into the results box in batches.
#include "ui/wizard_message_sink.h"

#include <QScrollBar>
#include <QTextBlock>

#include "host/text/messages.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

class WizardMessageSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    ResetUiGlobals();
    sink_.SetResultsBox(&box_);
    AppSession().messages.SetSink(&sink_);
  }
  void TearDown() override { ResetUiGlobals(); }

  QtApplicationFirst qt_;
  ResultsView box_;
  WizardMessageSink sink_;
};

TEST_F(WizardMessageSinkTest, LinesAreShownInOrderOnceTheyAreRefreshed) {
  AppSession().messages.AddTextResultsLine("first");
  AppSession().messages.AddTextResultsLine("   ");  // blank lines are dropped
  AppSession().messages.AddTextResultsLine("\tindented");
  AppSession().messages.AddTextResultsLine("<b>not markup</b> & more");
  sink_.Refresh();
  EXPECT_FALSE(box_.has_queued_lines());
  QStringList lines = box_.ShownLines();
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "first");
  EXPECT_EQ(lines[1], "\tindented");
  EXPECT_EQ(lines[2], "<b>not markup</b> & more");
}

TEST_F(WizardMessageSinkTest, ManyLinesAreAppendedInBatchesAndTheLastStaysInView) {
  box_.resize(400, 200);
  box_.show();
  constexpr int kLines = 200000;
  for (int i = 1; i <= kLines; ++i)
    AppSession().messages.AddTextResultsLine("Copying requirement: SR" + std::to_string(i));
  sink_.Refresh();
  EXPECT_EQ(box_.document()->blockCount(), kLines);
  EXPECT_EQ(box_.document()->lastBlock().text().toStdString(), "Copying requirement: SR200000");
  EXPECT_EQ(box_.verticalScrollBar()->value(), box_.verticalScrollBar()->maximum());
}

TEST_F(WizardMessageSinkTest, LinesWithoutABoxAreDropped) {
  sink_.SetResultsBox(nullptr);
  AppSession().messages.AddTextResultsLine("nowhere");
  sink_.Refresh();
  EXPECT_TRUE(box_.ShownLines().isEmpty());
}

// Each kind of message in the box with the icon that fits it.
TEST(WizardMessageIconsTest, MessagesErrorsAndQuestionsHaveTheirIcons) {
  TestApplication();
  ResetUiGlobals();
  RecordingWizardSink sink;
  AppSession().messages.SetSink(&sink);
  AppSession().messages.ShowInfoMessage("a warning");
  try {
    throw std::runtime_error("broken");
  } catch (...) {
    AppSession().messages.ReportProcError("Test.Proc", "");
  }
  EXPECT_EQ(AppSession().messages.AskUser("go on?", vbYesNo), vbYes);
  ASSERT_EQ(sink.icons.size(), 2u);
  EXPECT_EQ(sink.icons[0], QMessageBox::Warning);
  EXPECT_EQ(sink.icons[1], QMessageBox::Critical);
  EXPECT_NE(sink.infos[1].find("broken"), std::string::npos) << sink.infos[1];
  EXPECT_EQ(sink.questions, std::vector<std::string>{"go on?"});
  ResetUiGlobals();
}

}  // namespace
}  // namespace vl
