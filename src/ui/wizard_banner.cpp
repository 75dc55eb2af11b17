#include "ui/wizard_banner.h"

#include <QPainter>

namespace vl {

namespace {
const QColor kBannerColour(0x1d, 0x3f, 0x6e);
}

WizardBanner::WizardBanner(QWidget* parent) : ImageControl(parent) {
  setObjectName("imgWizard");
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void WizardBanner::SetWidth(int width) {
  width_ = width;
  setFixedWidth(width);
  updateGeometry();
}

void WizardBanner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBannerColour);
  const QPixmap picture = pixmap();
  if (picture.isNull() || height() <= 0) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  // Scaled to the height, centred: a narrow banner shows the middle.
  const QSizeF source = picture.deviceIndependentSize();
  const double scale = std::max(height() / source.height(), width() / source.width());
  const QSizeF shown = source * scale;
  const QRectF target((width() - shown.width()) / 2, 0, shown.width(), shown.height());
  painter.drawPixmap(target, picture, QRectF(picture.rect()));
}

}  // namespace vl
