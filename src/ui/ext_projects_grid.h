// The grid of the external-projects step: one heading row and one row per
// external project of the baseline (name, prefix, location). A location is
// chosen with the "..." button of its cell and cleared with Delete; each
// row keeps its own copy of the project's record, which is stored in the
// descriptor only when the step is completed and the location checked.
// Enter in the grid stays in the grid: it never presses the window's
// default button.
#pragma once

#include <QTableWidget>
#include <functional>
#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"

namespace vl {

class ExtProjectsGrid : public QTableWidget {
 public:
  static constexpr int kNameColumn = 0, kPrefixColumn = 1, kLocColumn = 2;
  // Resource id of the location cells' tool tip.
  static constexpr long kResLocationTip = 4006;

  explicit ExtProjectsGrid(QWidget* parent = nullptr);

  // Columns and headings (resource ids 4003, 4004, 4005).
  void SetUp();
  // Removes the data rows and adds one per record of colExtProjs, in order.
  // Errors are reported under "frmWizard.UpdateExtProjFlexGrid".
  void UpdateExtProjFlexGrid();

  // The rows' records, in row order.
  const std::vector<clsExtProjInfo>& row_records() const { return records_; }

  // The "..." button of `row`: opens the location browser at the cell's
  // text; when it returns true, the cell and the row's record take the
  // chosen path.
  void BrowseLocation(int row);
  // Empties the location of `row` (cell and record).
  void ClearLocation(int row);

  // The location browser: true with the path replaced, false to cancel.
  std::function<bool(std::string& path)> location_browser;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FillRow(int row);
  void SetLocation(int row, const std::string& path);

  std::vector<clsExtProjInfo> records_;
};

}  // namespace vl
