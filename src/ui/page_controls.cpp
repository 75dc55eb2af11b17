#include "ui/page_controls.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>

#include "ui/resource_texts.h"

namespace vl {

QWidget* Tag(QWidget* control, long id) {
  control->setProperty(kTagProperty, static_cast<int>(id));
  return control;
}

QLabel* Caption(long id, QWidget* buddy) {
  auto* label = Tagged(new QLabel, id);
  label->setBuddy(buddy);
  return label;
}

QPushButton* Button(long id) {
  auto* button = Tagged(new QPushButton, id);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* ShownText(const char* name) {
  auto* box = new QLineEdit;
  box->setObjectName(name);
  box->setReadOnly(true);
  return box;
}

QPlainTextEdit* MultiLineText(const char* name, bool readOnly, int lines) {
  auto* box = new QPlainTextEdit;
  box->setObjectName(name);
  box->setReadOnly(readOnly);
  box->setTabChangesFocus(true);
  const int frame = 2 * box->frameWidth() + 2 * static_cast<int>(box->document()->documentMargin());
  const int line = box->fontMetrics().lineSpacing();
  box->setMinimumHeight(2 * line + frame);
  box->setMaximumHeight(lines * line + frame);
  return box;
}

ProblemNote::ProblemNote(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* sign = new QLabel;
  const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
  sign->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
  sign->setAlignment(Qt::AlignTop);
  text_ = new QLabel;
  text_->setTextFormat(Qt::PlainText);
  text_->setWordWrap(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(sign);
  layout->addWidget(text_, 1);
  hide();
}

void ProblemNote::Show(const QString& text) {
  text_->setText(text);
  setVisible(!text.isEmpty());
}

}  // namespace vl
