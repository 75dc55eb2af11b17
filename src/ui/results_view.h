// The results box of the creation run: a read-only text that takes results
// lines at any rate and shows them in batches, always with the last line
// in view. Lines are appended, never rebuilt, so a run of millions of lines
// stays quick.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <string>

namespace vl {

class ResultsView : public QPlainTextEdit {
 public:
  explicit ResultsView(QWidget* parent = nullptr);

  // Keeps `line` for the next ShowQueuedLines. Line breaks inside it (a
  // requirement's text may hold some) are shown as "↵", so that one line
  // stays one line of the results.
  void QueueLine(const std::string& line);
  // Appends the kept lines in one go and scrolls to the last one.
  void ShowQueuedLines();

  bool has_queued_lines() const { return !queued_.isEmpty(); }
  // The lines shown, in order (for checks; costs a walk over the text).
  QStringList ShownLines() const;

 protected:
  // The last line stays in view when the box shrinks (the run's outcome
  // appears below it at the end).
  void resizeEvent(QResizeEvent* event) override;

 private:
  QStringList queued_;
};

}  // namespace vl
