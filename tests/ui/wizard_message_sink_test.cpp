// The wizard's sink: results lines into the results box in batches, and
// message boxes with the icon that fits each kind of message.
#include "ui/wizard_message_sink.h"

#include <QScrollBar>
#include <QTextBlock>

#include "host/text/messages.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

TEST(WizardMessageSinkTest, LinesAreShownInOrderInBatchesAndTheLastStaysInView) {
  TestApplication();
  ResetUiGlobals();
  ResultsView box;
  WizardMessageSink sink;
  sink.SetResultsBox(&box);
  AppSession().messages.SetSink(&sink);
  box.resize(400, 200);
  box.show();
  for (const char* line : {"first", "   ", "\tindented", "<b>not markup</b> & more"})
    AppSession().messages.AddTextResultsLine(line);  // blank lines are dropped
  constexpr int kLines = 200000;
  for (int i = 1; i <= kLines; ++i)
    AppSession().messages.AddTextResultsLine("Copying requirement: SR" + std::to_string(i));
  sink.Refresh();
  EXPECT_FALSE(box.has_queued_lines());
  const QStringList lines = box.ShownLines();
  ASSERT_EQ(lines.size(), kLines + 3);
  EXPECT_EQ(lines.mid(0, 3), QStringList({"first", "\tindented", "<b>not markup</b> & more"}));
  EXPECT_EQ(box.document()->lastBlock().text().toStdString(), "Copying requirement: SR200000");
  EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
  ResetUiGlobals();
}

TEST(WizardMessageSinkTest, MessagesErrorsAndQuestionsHaveTheirIcons) {
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
  EXPECT_EQ(sink.icons, (std::vector{QMessageBox::Warning, QMessageBox::Critical}));
  EXPECT_NE(sink.infos.at(1).find("broken"), std::string::npos) << sink.infos[1];
  EXPECT_EQ(sink.questions, std::vector<std::string>{"go on?"});
  ResetUiGlobals();
}

}  // namespace
}  // namespace vl
