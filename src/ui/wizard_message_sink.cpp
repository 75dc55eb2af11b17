#include "ui/wizard_message_sink.h"

#include <QApplication>

#include "ui/qt_text.h"

namespace vl {

namespace {

struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton escape;
};

ButtonSet ButtonsOf(int buttons) {
  switch (buttons % 16) {
    case vbOKCancel:
      return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel};
    case vbAbortRetryIgnore:
      return {QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Abort};
    case vbYesNoCancel:
      return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel};
    case vbYesNo:
      return {QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    case vbRetryCancel:
      return {QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Cancel};
    default:
      return {QMessageBox::Ok, QMessageBox::Ok};
  }
}

int AnswerOf(int pressed) {
  switch (pressed) {
    case QMessageBox::Ok:
      return vbOK;
    case QMessageBox::Cancel:
      return vbCancel;
    case QMessageBox::Abort:
      return vbAbort;
    case QMessageBox::Retry:
      return vbRetry;
    case QMessageBox::Ignore:
      return vbIgnore;
    case QMessageBox::Yes:
      return vbYes;
    case QMessageBox::No:
      return vbNo;
    default:
      return vbCancel;
  }
}

// Runs a message box as the user's current window's child, with the arrow
// pointer while it is up. Texts are plain: a baseline's texts may hold "<".
// A long text (a list of problems) shows its head and the whole text
// behind "Show Details...", so that the box fits on the screen.
int RunBox(QMessageBox::Icon icon, const std::string& title, const std::string& text,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton escape) {
  QMessageBox box(icon, Q(title), QString(), buttons, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  const QString all = Q(text);
  const QStringList lines = all.split('\n');
  if (lines.size() > WizardMessageSink::kLinesShownInBox) {
    box.setText(lines.mid(0, WizardMessageSink::kLinesShownInBox).join('\n') + "\n...");
    box.setDetailedText(all);
  } else {
    box.setText(all);
  }
  box.setEscapeButton(escape);
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int pressed = box.exec();
  QApplication::restoreOverrideCursor();
  return pressed;
}

}  // namespace

ResultsView* WizardMessageSink::box() const { return run_ ? run_->results() : results_.data(); }

void WizardMessageSink::ShowBox(QMessageBox::Icon icon, const std::string& title,
                                const std::string& text) {
  RunBox(icon, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

int WizardMessageSink::AskBox(const std::string& title, const std::string& text,
                              QMessageBox::StandardButtons buttons,
                              QMessageBox::StandardButton escape) {
  return RunBox(QMessageBox::Question, title, text, buttons, escape);
}

void WizardMessageSink::ShowMessage(bool error, const std::string& title, const std::string& text) {
  if (ResultsView* lines = box()) lines->ShowQueuedLines();
  if (run_)
    run_->ShowRunMessage(error, text);
  else
    ShowBox(error ? QMessageBox::Critical : QMessageBox::Warning, title, text);
}

void WizardMessageSink::ShowInfo(const std::string& title, const std::string& text) {
  ShowMessage(false, title, text);
}

void WizardMessageSink::ShowError(const std::string& title, const std::string& text) {
  ShowMessage(true, title, text);
}

int WizardMessageSink::Ask(const std::string& title, const std::string& text, int buttons) {
  if (ResultsView* lines = box()) lines->ShowQueuedLines();
  const ButtonSet set = ButtonsOf(buttons);
  return AnswerOf(AskBox(title, text, set.buttons, set.escape));
}

void WizardMessageSink::AddResultsLine(const std::string& line) {
  if (ResultsView* lines = box()) lines->QueueLine(line);
  Breathe();
}

void WizardMessageSink::Progress(const std::string& stage, long done, long total) {
  if (run_) run_->ShowProgress(stage, done, total);
  Breathe();
}

void WizardMessageSink::Breathe() {
  if (std::chrono::steady_clock::now() - last_refresh_ >= kRefreshInterval) Refresh();
}

void WizardMessageSink::Refresh() {
  if (ResultsView* lines = box()) lines->ShowQueuedLines();
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
  last_refresh_ = std::chrono::steady_clock::now();
}

}  // namespace vl
