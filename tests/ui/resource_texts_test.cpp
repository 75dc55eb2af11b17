// Resource texts, fonts and pictures applied to a window by control kind.
#include "ui/resource_texts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>

#include "wizard_fixture.h"

namespace vl {
namespace {

class ResourceTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUiGlobals();
    AppSession().goResource = std::make_unique<Resource>();
    AppSession().goResource->InitResources(std::string(VL_BINARY_DIR) + "/" + kResourceFileName,
                                           kAppName);
  }
  void TearDown() override { ResetUiGlobals(); }
  template <typename W>
  W* Add(W* control, QVariant tag = {}) {
    control->setParent(&form_);
    if (tag.isValid()) control->setProperty(kTagProperty, tag);
    return control;
  }
  static std::string Res(long id) { return AppSession().messages.ResString(id); }

  QtApplicationFirst qt_;
  QWidget form_;
};

TEST_F(ResourceTextsTest, EachKindOfControlTakesItsTextFromItsTag) {
  form_.setProperty(kTagProperty, 200);
  auto* button = Add(new QPushButton("design"), 103);
  button->setProperty(kToolTipTagProperty, 100);
  auto* label = Add(new QLabel("design"), 1002);
  auto* check = Add(new QCheckBox("design"), 3002);
  auto* group = Add(new QGroupBox("design"), 5100);
  auto* tabs = Add(new QTabWidget);
  auto* page = new QWidget;
  page->setProperty(kTagProperty, 5100);
  page->setProperty(kToolTipTagProperty, 5101);
  tabs->addTab(page, "design");
  QAction* tool = Add(new QToolBar)->addAction("design");
  tool->setProperty(kTagProperty, 102);
  auto* grid = Add(new QTableWidget(0, 2));
  grid->setHorizontalHeaderItem(0, new QTableWidgetItem("design"));
  grid->horizontalHeaderItem(0)->setData(kTagRole, 4003);
  QAction* entry = Add(new QMenu)->addAction("101");
  // Controls that keep what they have.
  auto* text = Add(new QLineEdit("typed"), 1002);
  auto* untagged = Add(new QLabel("design"));
  auto* not_numeric = Add(new QLabel("design"), "3O");

  ApplyResourceTexts(&form_);
  const QString got[] = {button->text(),      button->toolTip(), label->text(),
                         check->text(),       group->title(),    tabs->tabText(0),
                         tabs->tabToolTip(0), tool->toolTip(),   entry->text()};
  const long ids[] = {103, 100, 1002, 3002, 5100, 5100, 5101, 102, 101};
  for (size_t i = 0; i < std::size(ids); ++i) EXPECT_EQ(got[i].toStdString(), Res(ids[i])) << i;
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text().toStdString(), Res(4003));
  EXPECT_EQ(AppSession().messages.title(), Res(200));
  EXPECT_EQ(text->text() + untagged->text() + not_numeric->text(), "typeddesigndesign");
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST_F(ResourceTextsTest, ImagesTakeTheirBitmapAndSimpleDisplaysTheSimpleOne) {
  auto* image = Add(new ImageControl, 30);
  auto* unknown = Add(new ImageControl, 31);  // no such bitmap
  ApplyResourceTexts(&form_, -1);
  const QImage rich = image->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_FALSE(rich.isNull());
  EXPECT_TRUE(unknown->pixmap().isNull());
  ApplyResourceTexts(&form_, 16);
  const QImage simple = image->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_NE(simple, rich);
  EXPECT_EQ(simple, QImage(QString::fromStdString(AppSession().goResource->GetBitmapPath(530)))
                        .convertToFormat(QImage::Format_ARGB32));
}

TEST_F(ResourceTextsTest, TheResourceFontReplacesOnlyTheFamily) {
  auto* label = Add(new QLabel("x"));
  QFont bold = label->font();
  bold.setBold(true);
  bold.setPointSize(15);
  label->setFont(bold);
  ApplyResourceFont(&form_);  // the shipped file names no font
  EXPECT_EQ(label->font(), bold);
  ScratchDir dir;
  AppSession().goResource->InitResources(
      dir.Write("res.ini", "[Strings]\n200=T\n[Font]\nName=DejaVu Serif\n"), kAppName);
  ApplyResourceFont(&form_);
  bold.setFamily("DejaVu Serif");
  EXPECT_EQ(label->font(), bold);
}

}  // namespace
}  // namespace vl
