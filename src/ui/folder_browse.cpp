#include "ui/folder_browse.h"

#include <QFileDialog>

#include "ui/qt_text.h"

namespace vl {

std::string BrowseForFolder(QWidget* owner, const std::string& prompt, const std::string& start) {
  return S(
      QFileDialog::getExistingDirectory(owner, Q(prompt), Q(start), QFileDialog::ShowDirsOnly));
}

bool BrowseForProjectFile(QWidget* owner, std::string& path) {
  const QString filters = QRes(kResProjectFiles) + ";;" + QRes(kResAllFiles);
  QString chosen =
      QFileDialog::getOpenFileName(owner, QRes(kResLocateProjectFile), Q(path), filters);
  if (chosen.isEmpty()) return false;
  path = S(chosen.trimmed());
  return true;
}

}  // namespace vl
