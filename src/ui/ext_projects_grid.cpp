#include "ui/ext_projects_grid.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "app/ext_project_locations.h"
#include "app/mod_wizard.h"
#include "ui/qt_text.h"
#include "ui/resource_texts.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

bool IsEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// The location cell: the path (read-only) and the "..." button. Delete or
// Backspace on the path clears the location; Enter stays in the cell.
class LocationCell : public QWidget {
 public:
  LocationCell(const QString& path, std::function<void()> browse, std::function<void()> clear)
      : clear_(std::move(clear)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 0, 0);
    layout->setSpacing(2);
    path_ = new QLineEdit(this);
    path_->setReadOnly(true);
    path_->setFrame(false);
    path_->installEventFilter(this);
    auto* ellipsis = new QToolButton(this);
    ellipsis->setText("...");
    ellipsis->setObjectName("ellipsis");
    connect(ellipsis, &QToolButton::clicked, this, std::move(browse));
    layout->addWidget(path_, 1);
    layout->addWidget(ellipsis);
    SetPath(path);
  }

  void SetPath(const QString& path) {
    path_->setText(path);
    // Where the project file leads (a PostgreSQL server it names) shows
    // before anything connects to it.
    const std::string place = DescribeProjectPlace(S(path));
    path_->setToolTip(place.empty() ? path : path + "\n" + Q(place));
    path_->setCursorPosition(path.size());  // the file name is the telling part
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == path_ && event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
        clear_();
        return true;
      }
      if (IsEnter(key)) return true;
    }
    return QWidget::eventFilter(watched, event);
  }

 private:
  QLineEdit* path_;
  std::function<void()> clear_;
};

QTableWidgetItem* ReadOnlyItem(const std::string& text) {
  auto* item = new QTableWidgetItem(Q(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

ExtProjectsGrid::ExtProjectsGrid(QWidget* parent) : QTableWidget(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAlternatingRowColors(true);
  verticalHeader()->setVisible(false);
  horizontalHeader()->setHighlightSections(false);
}

void ExtProjectsGrid::SetUp() {
  setColumnCount(3);
  const long headings[] = {4003, 4004, 4005};
  for (int c = 0; c < 3; ++c) {
    auto* item = new QTableWidgetItem(QRes(headings[c]));
    item->setData(kTagRole, static_cast<int>(headings[c]));
    setHorizontalHeaderItem(c, item);
  }
  horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Interactive);
  horizontalHeader()->setSectionResizeMode(kPrefixColumn, QHeaderView::ResizeToContents);
  horizontalHeader()->setSectionResizeMode(kLocColumn, QHeaderView::Stretch);
  setColumnWidth(kNameColumn, 200);
}

void ExtProjectsGrid::UpdateExtProjFlexGrid() {
  try {
    while (rowCount() >= 1) removeRow(rowCount() - 1);
    records_.clear();
    AppSession().goBLProjInfo->colExtProjs().ForEach(
        [&](const std::string&, const clsExtProjInfo& record) {
          records_.push_back(record);
          insertRow(rowCount());
          FillRow(rowCount() - 1);
        });
  } catch (...) {
    AppSession().messages.ReportProcError("frmWizard.UpdateExtProjFlexGrid", "");
  }
}

void ExtProjectsGrid::FillRow(int row) {
  const clsExtProjInfo& r = records_[row];
  auto* location = ReadOnlyItem(r.Loc);
  location->setToolTip(QRes(kResLocationTip));
  setItem(row, kLocColumn, location);
  auto* cell = new LocationCell(
      Q(r.Loc), [this, row] { BrowseLocation(row); }, [this, row] { ClearLocation(row); });
  cell->setToolTip(QRes(kResLocationTip));
  setCellWidget(row, kLocColumn, cell);
  setItem(row, kPrefixColumn, ReadOnlyItem(r.Prefix));
  setItem(row, kNameColumn, ReadOnlyItem(r.Name));
}

// Changes the cell in place: the cell widget may be the one whose button or
// key brought us here.
void ExtProjectsGrid::SetLocation(int row, const std::string& path) {
  records_[row].Loc = path;
  item(row, kLocColumn)->setText(Q(path));
  if (auto* cell = dynamic_cast<LocationCell*>(cellWidget(row, kLocColumn))) cell->SetPath(Q(path));
}

void ExtProjectsGrid::BrowseLocation(int row) {
  if (row < 0 || row >= static_cast<int>(records_.size()) || !location_browser) return;
  std::string path = S(item(row, kLocColumn)->text());
  if (location_browser(path)) SetLocation(row, path);
}

void ExtProjectsGrid::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event)) {
    event->accept();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

void ExtProjectsGrid::ClearLocation(int row) {
  if (row < 0 || row >= static_cast<int>(records_.size())) return;
  SetLocation(row, "");
}

}  // namespace vl
