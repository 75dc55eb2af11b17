#include "ui/resource_texts.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>

#include "app/mod_wizard.h"
#include "host/text/convert.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

void ApplyTabTexts(QTabWidget* tabs) {
  for (int i = 0; i < tabs->count(); ++i) {
    QWidget* page = tabs->widget(i);
    if (long id = NumericTag(page->property(kTagProperty))) tabs->setTabText(i, QRes(id));
    if (long id = NumericTag(page->property(kToolTipTagProperty))) tabs->setTabToolTip(i, QRes(id));
  }
}

void ApplyToolBarTips(QToolBar* bar) {
  for (QAction* action : bar->actions())
    if (long id = NumericTag(action->property(kTagProperty))) action->setToolTip(QRes(id));
}

void ApplyHeadings(QWidget* grid) {
  if (auto* table = qobject_cast<QTableWidget*>(grid)) {
    for (int c = 0; c < table->columnCount(); ++c)
      if (QTableWidgetItem* item = table->horizontalHeaderItem(c))
        if (long id = NumericTag(item->data(kTagRole))) item->setText(QRes(id));
  } else if (auto* tree = qobject_cast<QTreeWidget*>(grid)) {
    QTreeWidgetItem* header = tree->headerItem();
    for (int c = 0; header && c < header->columnCount(); ++c)
      if (long id = NumericTag(header->data(c, kTagRole))) header->setText(c, QRes(id));
  }
}

void ApplyPicture(ImageControl* image, long id, long colors) {
  bool simple = colors != -1 && colors <= kSimpleDisplayColors;
  std::string path =
      AppSession().goResource
          ? AppSession().goResource->GetBitmapPath(simple ? id + kSimpleBitmapOffset : id)
          : std::string();
  QPixmap picture;
  if (!path.empty() && picture.load(Q(path))) image->setPixmap(picture);
}

// The caption of a control that has one.
void ApplyCaption(QWidget* control, long id, long colors) {
  if (auto* image = dynamic_cast<ImageControl*>(control)) {
    ApplyPicture(image, id, colors);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(QRes(id));
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setTextFormat(Qt::PlainText);
    label->setText(QRes(id));
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(QRes(id));
  }
}

void ApplyControlTexts(QWidget* control, long colors) {
  if (auto* tabs = qobject_cast<QTabWidget*>(control)) ApplyTabTexts(tabs);
  if (auto* bar = qobject_cast<QToolBar*>(control)) ApplyToolBarTips(bar);
  ApplyHeadings(control);
  if (long id = NumericTag(control->property(kTagProperty))) ApplyCaption(control, id, colors);
  if (long id = NumericTag(control->property(kToolTipTagProperty))) control->setToolTip(QRes(id));
}

}  // namespace

long GetDisplayColorCount() {
  QScreen* screen = QGuiApplication::primaryScreen();
  int depth = screen ? screen->depth() : 32;
  if (depth > 8) return -1;
  return 1L << depth;
}

long NumericTag(const QVariant& value) {
  if (!value.isValid()) return 0;
  std::string text = Trim(S(value.toString()));
  if (text.empty() || !IsNumeric(text)) return 0;
  return ToLongOrZero(text);
}

void ApplyResourceTexts(QWidget* form) { ApplyResourceTexts(form, GetDisplayColorCount()); }

void ApplyResourceTexts(QWidget* form, long displayColors) {
  for (QWidget* control : form->findChildren<QWidget*>()) {
    try {
      ApplyControlTexts(control, displayColors);
    } catch (...) {
      // A control that cannot take its text keeps the one it has.
    }
  }
  for (QAction* action : form->findChildren<QAction*>()) {
    long id = NumericTag(action->text());
    if (id) action->setText(QRes(id));
  }
  if (long id = NumericTag(form->property(kTagProperty)))
    AppSession().messages.SetTitle(AppSession().messages.ResString(id));
}

void ApplyResourceFont(QWidget* form) {
  std::string name =
      AppSession().goResource ? AppSession().goResource->GetFontName() : std::string();
  if (Trim(name).empty()) return;
  for (QWidget* control : form->findChildren<QWidget*>()) {
    QFont font = control->font();
    font.setFamily(Q(name));
    control->setFont(font);
  }
}

}  // namespace vl
