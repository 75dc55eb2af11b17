#include "ui/background_task.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QThread>

#include "ui/qt_text.h"

namespace vl {

namespace {
constexpr long kResCancel = 101;
constexpr int kShowAfterMs = 400;
}  // namespace

void TaskProgress::Report(long long done, long long total, const QString& text) {
  if (on_report) on_report(done, total, text);
}

bool RunInBackground(QWidget* owner, const QString& label,
                     const std::function<void(TaskProgress&)>& work) {
  QProgressDialog dialog(label, QRes(kResCancel), 0, 0, owner);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(kShowAfterMs);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  TaskProgress progress;
  QObject::connect(&dialog, &QProgressDialog::canceled, [&] { progress.cancelled_ = true; });
  // Reports cross to the window's thread. The dialog outlives the worker;
  // reports still queued when it goes are dropped with it.
  QProgressDialog* shown = &dialog;
  progress.on_report = [shown](long long done, long long total, const QString& text) {
    QMetaObject::invokeMethod(
        shown,
        [shown, done, total, text] {
          // The bar counts in thousandths: counts may exceed an int.
          shown->setMaximum(total > 0 ? 1000 : 0);
          shown->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
          if (!text.isEmpty()) shown->setLabelText(text);
        },
        Qt::QueuedConnection);
  };
  QEventLoop loop;
  QThread* worker = QThread::create([&] { work(progress); });
  QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  worker->start();
  loop.exec();
  worker->wait();
  delete worker;
  QGuiApplication::restoreOverrideCursor();
  return !progress.cancelled();
}

}  // namespace vl
