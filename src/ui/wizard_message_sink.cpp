#include "ui/wizard_message_sink.h"

#include <QApplication>
#include <QMessageBox>

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
int RunBox(QMessageBox::Icon icon, const std::string& title, const std::string& text,
           const ButtonSet& set) {
  QMessageBox box(icon, Q(title), Q(text), set.buttons, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setEscapeButton(set.escape);
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  int pressed = box.exec();
  QApplication::restoreOverrideCursor();
  return pressed;
}

}  // namespace

void WizardMessageSink::ShowInfo(const std::string& title, const std::string& text) {
  if (results_) results_->ShowQueuedLines();
  RunBox(QMessageBox::Information, title, text, {QMessageBox::Ok, QMessageBox::Ok});
}

int WizardMessageSink::Ask(const std::string& title, const std::string& text, int buttons) {
  if (results_) results_->ShowQueuedLines();
  return AnswerOf(RunBox(QMessageBox::Question, title, text, ButtonsOf(buttons)));
}

void WizardMessageSink::AddResultsLine(const std::string& line) {
  if (results_) results_->QueueLine(line);
  Breathe();
}

void WizardMessageSink::Breathe() {
  if (std::chrono::steady_clock::now() - last_refresh_ >= kRefreshInterval) Refresh();
}

void WizardMessageSink::Refresh() {
  if (results_) results_->ShowQueuedLines();
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
  last_refresh_ = std::chrono::steady_clock::now();
}

}  // namespace vl
