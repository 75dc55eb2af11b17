// Work that would freeze the window (a check that reads a whole baseline,
// a connection to a database server) runs on a worker thread while a
// progress dialog over the window says what is being done and lets the
// user cancel it. The work must touch nothing the window uses.
#pragma once

#include <QString>
#include <atomic>
#include <functional>

class QWidget;

namespace vl {

class TaskProgress {
 public:
  // Set when the user cancelled: the work should stop soon.
  bool cancelled() const { return cancelled_.load(); }
  // From the worker thread: `done` of `total` (total 0 when not known),
  // and what is being done.
  void Report(long long done, long long total, const QString& text);

  // The dialog's side.
  std::function<void(long long, long long, const QString&)> on_report;
  std::atomic<bool> cancelled_{false};
};

// Runs `work` on a worker thread and returns when it has ended. Meanwhile
// a modal progress dialog over `owner` (shown only when the work takes
// more than a moment) shows `label` and what the work reports, with a
// Cancel button that sets the progress's cancelled flag. Returns false
// when the user cancelled.
bool RunInBackground(QWidget* owner, const QString& label,
                     const std::function<void(TaskProgress&)>& work);

}  // namespace vl
