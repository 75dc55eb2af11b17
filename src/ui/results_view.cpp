#include "ui/results_view.h"

#include <QScrollBar>
#include <QTextBlock>

#include "ui/qt_text.h"

namespace vl {

ResultsView::ResultsView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  setTabStopDistance(4 * fontMetrics().horizontalAdvance(QLatin1Char(' ')));
}

void ResultsView::QueueLine(const std::string& line) {
  QString text = Q(line);
  text.replace("\r\n", "\n");
  for (QChar breaking : {QChar('\n'), QChar('\r'), QChar('\v'), QChar('\f'),
                         QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
    text.replace(breaking, QString::fromUtf8(" \u21B5 "));
  queued_.append(text);
}

void ResultsView::ShowQueuedLines() {
  if (queued_.isEmpty()) return;
  appendPlainText(queued_.join(QLatin1Char('\n')));
  queued_.clear();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void ResultsView::resizeEvent(QResizeEvent* event) {
  QScrollBar* bar = verticalScrollBar();
  const bool at_end = bar->value() == bar->maximum();
  QPlainTextEdit::resizeEvent(event);
  if (at_end) bar->setValue(bar->maximum());
}

QStringList ResultsView::ShownLines() const {
  QStringList lines;
  if (document()->isEmpty()) return lines;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) lines.append(b.text());
  return lines;
}

}  // namespace vl
