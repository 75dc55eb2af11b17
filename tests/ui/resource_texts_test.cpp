// Resource texts, fonts and pictures applied to a window by control kind.
#include "ui/resource_texts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "wizard_fixture.h"

namespace vl {
namespace {

class ResourceTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    ResetUiGlobals();
    AppSession().goResource = std::make_unique<Resource>();
    AppSession().goResource->InitResources(std::string(VL_BINARY_DIR) + "/" + kResourceFileName,
                                           kAppName);
  }
  void TearDown() override { ResetUiGlobals(); }

  template <typename W>
  W* Add(W* control, const char* property, int id) {
    control->setParent(&form_);
    if (property) control->setProperty(property, id);
    return control;
  }

  QtApplicationFirst qt_;
  QWidget form_;
};

TEST_F(ResourceTextsTest, CaptionsAndToolTipsComeFromTheTagsByKind) {
  form_.setProperty(kTagProperty, 200);
  auto* button = Add(new QPushButton("design"), kTagProperty, 103);
  button->setProperty(kToolTipTagProperty, 100);
  auto* label = Add(new QLabel("design"), kTagProperty, 1002);
  auto* check = Add(new QCheckBox("design"), kTagProperty, 3002);
  auto* group = Add(new QGroupBox("design"), kTagProperty, 5100);
  auto* text = Add(new QLineEdit("typed"), kTagProperty, 1002);  // no caption to take
  auto* untagged = Add(new QLabel("design"), nullptr, 0);
  auto* not_numeric = Add(new QLabel("design"), nullptr, 0);
  not_numeric->setProperty(kTagProperty, "Alpha");

  ApplyResourceTexts(&form_);
  EXPECT_EQ(button->text().toStdString(), AppSession().messages.ResString(103));
  EXPECT_EQ(button->toolTip().toStdString(), AppSession().messages.ResString(100));
  EXPECT_EQ(label->text().toStdString(), AppSession().messages.ResString(1002));
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(check->text().toStdString(), AppSession().messages.ResString(3002));
  EXPECT_EQ(group->title().toStdString(), AppSession().messages.ResString(5100));
  EXPECT_EQ(text->text().toStdString(), "typed");
  EXPECT_EQ(untagged->text().toStdString(), "design");
  EXPECT_EQ(not_numeric->text().toStdString(), "design");
  EXPECT_EQ(AppSession().messages.title(), AppSession().messages.ResString(200));
}

TEST_F(ResourceTextsTest, TabsToolBarsHeadingsAndMenusTakeTheirTexts) {
  auto* tabs = Add(new QTabWidget, nullptr, 0);
  auto* page = new QWidget;
  page->setProperty(kTagProperty, 5100);
  page->setProperty(kToolTipTagProperty, 5101);
  tabs->addTab(page, "design");
  auto* bar = Add(new QToolBar, nullptr, 0);
  QAction* tool = bar->addAction("design");
  tool->setProperty(kTagProperty, 102);
  auto* grid = Add(new QTableWidget(0, 2), nullptr, 0);
  auto* heading = new QTableWidgetItem("design");
  heading->setData(kTagRole, 4003);
  grid->setHorizontalHeaderItem(0, heading);
  auto* menu = Add(new QMenu, nullptr, 0);
  QAction* entry = menu->addAction("101");

  ApplyResourceTexts(&form_);
  EXPECT_EQ(tabs->tabText(0).toStdString(), AppSession().messages.ResString(5100));
  EXPECT_EQ(tabs->tabToolTip(0).toStdString(), AppSession().messages.ResString(5101));
  EXPECT_EQ(tool->toolTip().toStdString(), AppSession().messages.ResString(102));
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text().toStdString(),
            AppSession().messages.ResString(4003));
  EXPECT_EQ(entry->text().toStdString(), AppSession().messages.ResString(101));
}

TEST_F(ResourceTextsTest, ImagesTakeTheirBitmapAndSimpleDisplaysTheSimpleOne) {
  auto* image = Add(new ImageControl, kTagProperty, 30);
  ApplyResourceTexts(&form_, -1);
  ASSERT_FALSE(image->pixmap().isNull());
  QImage rich = image->pixmap().toImage();

  auto* simple = Add(new ImageControl, kTagProperty, 30);
  ApplyResourceTexts(&form_, 16);
  ASSERT_FALSE(simple->pixmap().isNull());
  QImage expected(QString::fromStdString(AppSession().goResource->GetBitmapPath(530)));
  EXPECT_EQ(simple->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
            expected.convertToFormat(QImage::Format_ARGB32));
  EXPECT_NE(simple->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
            rich.convertToFormat(QImage::Format_ARGB32));

  auto* unknown = Add(new ImageControl, kTagProperty, 31);  // no such bitmap
  ApplyResourceTexts(&form_, 256);
  EXPECT_TRUE(unknown->pixmap().isNull());
}

TEST_F(ResourceTextsTest, TheResourceFontReplacesOnlyTheFamily) {
  auto* label = Add(new QLabel("x"), nullptr, 0);
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
  EXPECT_EQ(label->font().family().toStdString(), "DejaVu Serif");
  EXPECT_TRUE(label->font().bold());
  EXPECT_EQ(label->font().pointSize(), 15);
}

TEST_F(ResourceTextsTest, TheDisplayColourCountFollowsTheScreenDepth) {
  // The offscreen screen shows millions of colours.
  EXPECT_EQ(GetDisplayColorCount(), -1);
  EXPECT_EQ(NumericTag(QVariant(" 30 ")), 30);
  EXPECT_EQ(NumericTag(QVariant("3O")), 0);
  EXPECT_EQ(NumericTag(QVariant()), 0);
}

}  // namespace
}  // namespace vl
