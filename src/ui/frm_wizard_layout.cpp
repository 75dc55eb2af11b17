// The wizard window's controls and their places.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/ext_projects_grid.h"
#include "ui/frm_wizard.h"
#include "ui/resource_texts.h"
#include "ui/results_view.h"

namespace vl {

namespace {

constexpr int kSideImageWidth = 164;
constexpr int kFieldSpacing = 8;
constexpr long kSideImageTag = 30;

template <typename W>
W* Tagged(W* control, long id) {
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

QFrame* Line() {
  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// A read-only text box: its text changes only through the program.
QLineEdit* ShownText() {
  auto* box = new QLineEdit;
  box->setReadOnly(true);
  return box;
}

// A multi-line text box about `lines` lines high.
QPlainTextEdit* MultiLineText(bool readOnly, int lines) {
  auto* box = new QPlainTextEdit;
  box->setReadOnly(readOnly);
  box->setTabChangesFocus(true);
  int frame = 2 * box->frameWidth() + 2 * static_cast<int>(box->document()->documentMargin());
  box->setFixedHeight(lines * box->fontMetrics().lineSpacing() + frame);
  return box;
}

}  // namespace

void frmWizard::BuildControls() {
  setProperty(kTagProperty, static_cast<int>(kResTitle));
  setMinimumSize(760, 540);
  resize(880, 620);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  root->addWidget(BuildMessageFrame());
  root->addWidget(Line());

  auto* body = new QHBoxLayout;
  body->setSpacing(0);
  imgWizard = Tagged(new ImageControl, kSideImageTag);
  imgWizard->setFixedWidth(kSideImageWidth);
  imgWizard->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  imgWizard->setAutoFillBackground(true);
  QPalette side = imgWizard->palette();
  side.setColor(QPalette::Window, QColor(0x1d, 0x3f, 0x6e));
  imgWizard->setPalette(side);
  body->addWidget(imgWizard);

  fraSteps = new QStackedWidget;
  QWidget* (frmWizard::*builders[kStepCount])() = {
      &frmWizard::BuildBaselineFrame, &frmWizard::BuildProjectFrame,
      &frmWizard::BuildOptionsFrame,  &frmWizard::BuildExtProjectsFrame,
      &frmWizard::BuildReviewFrame,   &frmWizard::BuildRunFrame};
  for (int i = 0; i < kStepCount; ++i) {
    fraStep[i] = (this->*builders[i])();
    fraStep[i]->setEnabled(false);
    fraSteps->addWidget(fraStep[i]);
  }
  auto* steps = new QVBoxLayout;
  steps->setContentsMargins(16, 16, 16, 12);
  steps->addWidget(fraSteps);
  body->addLayout(steps, 1);
  root->addLayout(body, 1);

  root->addWidget(Line());
  root->addWidget(BuildButtonRow());
  tmrExecuteActions = new QTimer(this);
  tmrExecuteActions->setSingleShot(true);
}

QWidget* frmWizard::BuildMessageFrame() {
  auto* frame = new QWidget;
  frame->setObjectName("fraMessage");
  frame->setAutoFillBackground(true);
  QPalette white = frame->palette();
  white.setColor(QPalette::Window, palette().color(QPalette::Base));
  frame->setPalette(white);
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(16, 12, 16, 12);
  lblStep = new QLabel;
  lblStep->setTextFormat(Qt::PlainText);
  QFont title = lblStep->font();
  title.setBold(true);
  title.setPointSizeF(title.pointSizeF() * 1.25);
  lblStep->setFont(title);
  lblStepInfo = new QLabel;
  lblStepInfo->setTextFormat(Qt::PlainText);
  lblStepInfo->setWordWrap(true);
  lblStepInfo->setMinimumHeight(2 * lblStepInfo->fontMetrics().lineSpacing());
  lblStepInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(lblStep);
  layout->addWidget(lblStepInfo);
  return frame;
}

QWidget* frmWizard::BuildBaselineFrame() {
  auto* frame = new QWidget;
  auto* grid = new QGridLayout(frame);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(kFieldSpacing);
  txtBLLoc = ShownText();
  cmdBLBrowse = Button(1003);
  grid->addWidget(Caption(1002, txtBLLoc), 0, 0);
  grid->addWidget(txtBLLoc, 0, 1);
  grid->addWidget(cmdBLBrowse, 0, 2);

  auto* details = new QGroupBox;
  auto* form = new QGridLayout(details);
  form->setVerticalSpacing(kFieldSpacing);
  txtBLLabel = ShownText();
  txtBLTimeStamp = ShownText();
  txtBLDesc = MultiLineText(true, 5);
  txtBLIncOptions = ShownText();
  form->addWidget(Caption(1005, txtBLLabel), 0, 0);
  form->addWidget(txtBLLabel, 0, 1);
  form->addWidget(Caption(1006, txtBLTimeStamp), 1, 0);
  form->addWidget(txtBLTimeStamp, 1, 1);
  form->addWidget(Caption(1007, txtBLDesc), 2, 0, Qt::AlignTop);
  form->addWidget(txtBLDesc, 2, 1);
  form->addWidget(Caption(1008, txtBLIncOptions), 3, 0);
  form->addWidget(txtBLIncOptions, 3, 1);
  grid->addWidget(details, 1, 0, 1, 3);
  grid->setRowStretch(2, 1);
  return frame;
}

QWidget* frmWizard::BuildProjectFrame() {
  auto* frame = new QWidget;
  auto* grid = new QGridLayout(frame);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(kFieldSpacing);
  txtProjName = new QLineEdit;
  txtProjLoc = new QLineEdit;
  cmdProjBrowse = Button(2006);
  cboDBType = new QComboBox;
  cboDBType->setMinimumContentsLength(16);
  cmdDBConfig = Button(2007);
  txtProjDesc = MultiLineText(false, 6);
  grid->addWidget(Caption(2002, txtProjName), 0, 0);
  grid->addWidget(txtProjName, 0, 1, 1, 2);
  grid->addWidget(Caption(2003, txtProjLoc), 1, 0);
  grid->addWidget(txtProjLoc, 1, 1);
  grid->addWidget(cmdProjBrowse, 1, 2);
  grid->addWidget(Caption(2004, cboDBType), 2, 0);
  auto* database = new QHBoxLayout;
  database->addWidget(cboDBType);
  database->addWidget(cmdDBConfig);
  database->addStretch(1);
  grid->addLayout(database, 2, 1, 1, 2);
  grid->addWidget(Caption(2005, txtProjDesc), 3, 0, Qt::AlignTop);
  grid->addWidget(txtProjDesc, 3, 1, 1, 2);
  grid->setRowStretch(4, 1);
  return frame;
}

QWidget* frmWizard::BuildOptionsFrame() {
  auto* frame = new QWidget;
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(kFieldSpacing + 4);
  chkTraces = Tagged(new QCheckBox, 3002);
  chkExtTraces = Tagged(new QCheckBox, 3003);
  chkHistory = Tagged(new QCheckBox, 3004);
  chkDisc = Tagged(new QCheckBox, 3005);
  layout->addWidget(chkTraces);
  auto* indented = new QHBoxLayout;
  indented->addSpacing(24);
  indented->addWidget(chkExtTraces, 1);
  layout->addLayout(indented);
  layout->addWidget(chkHistory);
  layout->addWidget(chkDisc);
  layout->addStretch(1);
  return frame;
}

QWidget* frmWizard::BuildExtProjectsFrame() {
  auto* frame = new QWidget;
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  fgExtProjects = new ExtProjectsGrid;
  layout->addWidget(fgExtProjects);
  return frame;
}

QWidget* frmWizard::BuildReviewFrame() {
  auto* frame = new QWidget;
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  webReview = new QTextBrowser;
  webReview->setOpenLinks(false);
  // How the page looks here; the file itself stays as it is written.
  webReview->document()->setDefaultStyleSheet(
      "table { border-style: solid; border-color: #9aa9bf; } td { padding: 2px 6px; }"
      "p { margin-top: 4px; margin-bottom: 0px; }");
  layout->addWidget(webReview);
  return frame;
}

QWidget* frmWizard::BuildRunFrame() {
  auto* frame = new QWidget;
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  txtResults = new ResultsView;
  layout->addWidget(txtResults);
  return frame;
}

QWidget* frmWizard::BuildButtonRow() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(16, 10, 16, 12);
  const long ids[4] = {100, 102, 103, 101};
  for (int i = 0; i < 4; ++i) {
    cmdNav[i] = Button(ids[i]);
    cmdNav[i]->setMinimumWidth(96);
  }
  layout->addWidget(cmdNav[kHelp]);
  layout->addStretch(1);
  layout->addWidget(cmdNav[kBack]);
  layout->addWidget(cmdNav[kNext]);
  layout->addSpacing(12);
  layout->addWidget(cmdNav[kCancel]);
  return row;
}

void frmWizard::ConnectEvents() {
  for (int i = 0; i < 4; ++i)
    connect(cmdNav[i], &QPushButton::clicked, this, [this, i] { ClickNav(i); });
  connect(cmdBLBrowse, &QPushButton::clicked, this, [this] { BrowseBaseline(); });
  connect(cmdProjBrowse, &QPushButton::clicked, this, [this] { BrowseProjectFolder(); });
  connect(cmdDBConfig, &QPushButton::clicked, this, [this] { ConfigureDatabase(); });
  connect(cboDBType, &QComboBox::currentIndexChanged, this, [this] { DatabaseTypeChosen(); });
  // Next needs both a name and a folder: either box may empty it.
  connect(txtProjName, &QLineEdit::textChanged, this, [this] { UpdateNavButtons(current_step_); });
  connect(txtProjLoc, &QLineEdit::textChanged, this, [this] { UpdateNavButtons(current_step_); });
  connect(chkTraces, &QCheckBox::toggled, this, [this] { UpdateExtTracesOption(); });
  connect(tmrExecuteActions, &QTimer::timeout, this, [this] { ExecuteActionsTimer(); });
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] { ClickNav(kHelp); });
}

}  // namespace vl
