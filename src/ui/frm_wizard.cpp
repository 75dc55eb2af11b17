#include "ui/frm_wizard.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStyle>

#include "app/mod_wizard.h"
#include "app/resource_location.h"
#include "app/version.h"
#include "ui/baseline_page.h"
#include "ui/db_config_dialog.h"
#include "ui/ext_projects_page.h"
#include "ui/folder_browse.h"
#include "ui/help_window.h"
#include "ui/new_project_page.h"
#include "ui/options_page.h"
#include "ui/page_controls.h"
#include "ui/qt_text.h"
#include "ui/resource_texts.h"
#include "ui/review_step_page.h"
#include "ui/run_page.h"
#include "ui/ui_session.h"
#include "ui/wizard_banner.h"

namespace vl {

frmWizard* gfrmWizard = nullptr;

namespace {

constexpr long kResHelp = 100, kResCancel = 101, kResBack = 102, kResNext = 103, kResFinish = 105,
               kResLeave = 130;
// The banner's width on a screen too small for the whole of it.
constexpr int kSmallScreenHeight = 640, kSmallBannerWidth = 112;

QWidget* AskWithoutWaiting(QWidget* owner, const std::string& question,
                           std::function<void(bool)> answered) {
  auto* box = new QMessageBox(QMessageBox::Question, Q(AppSession().messages.title()), Q(question),
                              QMessageBox::Yes | QMessageBox::No, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setTextFormat(Qt::PlainText);
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  QObject::connect(box, &QMessageBox::finished, box,
                   [answered](int pressed) { answered(pressed == QMessageBox::Yes); });
  box->open();
  return box;
}

}  // namespace

WizardDialogs WizardDialogs::Standard() {
  return {&BrowseForFolder, &BrowseForProjectFile, &ShowConfigDialog, &AskWithoutWaiting};
}

QRect FitWindow(QSize wanted, const QRect& area) {
  const QSize size = wanted.boundedTo(area.size());
  return {area.x() + (area.width() - size.width()) / 2,
          area.y() + (area.height() - size.height()) / 2, size.width(), size.height()};
}

frmWizard::frmWizard(WizardDialogs dialogs, QWidget* parent)
    : QWizard(parent), dialogs_(std::move(dialogs)) {
  setObjectName("frmWizard");
  setProperty(kTagProperty, static_cast<int>(kResTitle));
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWizardStyle(QWizard::ModernStyle);
  setOptions(QWizard::HaveHelpButton | QWizard::NoBackButtonOnStartPage);
  setPage(kBaselineStep, new BaselinePage);
  setPage(kProjectStep, new NewProjectPage);
  setPage(kOptionsStep, new OptionsPage);
  setPage(kExtProjectsStep, new ExtProjectsPage);
  setPage(kReviewStep, new ReviewStepPage);
  setPage(kRunStep, new RunPage);
  // A child from the start: the wizard adopts its side widget only when it
  // lays itself out, after the resource texts and pictures are applied.
  banner_ = new WizardBanner(this);
  Tag(banner_, 30);
  setSideWidget(banner_);
  connect(this, &QWizard::helpRequested, this, [this] { ShowHelpForStep(); });
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] { ShowHelpForStep(); });
}

frmWizard::~frmWizard() {
  if (gfrmWizard == this) gfrmWizard = nullptr;
}

WizardStepPage& frmWizard::step_page(int step) const {
  return *static_cast<WizardStepPage*>(page(step));
}
NewProjectPage& frmWizard::project_page() const {
  return static_cast<NewProjectPage&>(step_page(kProjectStep));
}
RunPage& frmWizard::run_page() const { return static_cast<RunPage&>(step_page(kRunStep)); }

void frmWizard::Load() {
  if (loaded_) return;
  loaded_ = true;
  ApplyResourceTexts(this);
  ApplyResourceFont(this);
  // The version in the title tells a user which build a report comes from.
  setWindowTitle(Q(AppSession().messages.title() + " " + kVersion));
  const std::pair<WizardButton, long> buttons[] = {{HelpButton, kResHelp},
                                                   {BackButton, kResBack},
                                                   {NextButton, kResNext},
                                                   {FinishButton, kResFinish},
                                                   {CancelButton, kResCancel}};
  for (const auto& [which, id] : buttons) setButtonText(which, QRes(id));
  for (int step = 0; step < kStepCount; ++step) step_page(step).SetStepCaptions();
  FitOnScreen();
  restart();
}

void frmWizard::init() {
  Load();
  project_page().FillDatabaseList();
  static_cast<ExtProjectsPage&>(step_page(kExtProjectsStep)).SetUpGrid();
}

void frmWizard::FitOnScreen() {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->availableGeometry();
  // Room for the title bar the window manager adds.
  area.setTop(area.top() + style()->pixelMetric(QStyle::PM_TitleBarHeight));
  banner_->SetWidth(area.height() < kSmallScreenHeight ? kSmallBannerWidth
                                                       : WizardBanner::kFullWidth);
  if (const QSize least = minimumSizeHint(); least.isValid())
    setMinimumSize(least.boundedTo(area.size()));
  setGeometry(FitWindow(kWantedSize, area));
}

void frmWizard::BringToFront() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void frmWizard::ShowHelpForStep() {
  gbHelpShown = true;
  const std::string file = help_file_.empty() ? FindHelpFile(GetProgramDirectory()) : help_file_;
  const QWizardPage* shown = currentPage();
  ShowHelp(file, shown ? static_cast<const WizardStepPage*>(shown)->HelpAnchor().toStdString()
                       : std::to_string(kHelpContextWizard));
}

bool frmWizard::ChoicesWouldBeLost() const {
  if (run_page().run_succeeded()) return false;
  return AppSession().goBLProjInfo && AppSession().goBLProjInfo->isXMLValid();
}

void frmWizard::AskToLeaveDuringRun() { run_page().AskToStop(); }

void frmWizard::reject() {
  if (unloaded_) return;
  if (run_page().run_in_progress()) return AskToLeaveDuringRun();
  if (ChoicesWouldBeLost() &&
      AppSession().messages.AskUser(AppSession().messages.ResString(kResLeave), vbYesNo) != vbYes)
    return;
  QWizard::reject();
}

void frmWizard::done(int result) {
  QWizard::done(result);
  if (unloaded_) return;
  unloaded_ = true;
  if (gbHelpShown) CloseHelp();
  AppSession().ReleaseProjectApplication();
  if (on_unloaded) on_unloaded();
}

void frmWizard::closeEvent(QCloseEvent* event) {
  if (!unloaded_) reject();
  if (unloaded_)
    event->accept();
  else
    event->ignore();
}

}  // namespace vl
