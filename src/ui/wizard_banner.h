// The picture at the side of the wizard's steps. It fills the height of the
// window whatever its size: the picture is scaled to the height (keeping
// its proportions) and cut at the sides, on the banner's own colour.
#pragma once

#include "ui/resource_texts.h"

namespace vl {

class WizardBanner : public ImageControl {
 public:
  static constexpr int kFullWidth = 164;

  explicit WizardBanner(QWidget* parent = nullptr);
  // The banner's width: kFullWidth, less on a small screen.
  void SetWidth(int width);

  QSize sizeHint() const override { return {width_, 0}; }
  QSize minimumSizeHint() const override { return {width_, 0}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int width_ = kFullWidth;
};

}  // namespace vl
