#include "ui/frm_wizard.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "app/mod_wizard.h"
#include "app/resource_location.h"
#include "host/text/convert.h"
#include "ui/db_config_dialog.h"
#include "ui/ext_projects_grid.h"
#include "ui/folder_browse.h"
#include "ui/help_window.h"
#include "ui/qt_text.h"
#include "ui/resource_texts.h"
#include "ui/ui_session.h"

namespace vl {

frmWizard* gfrmWizard = nullptr;

namespace {
constexpr long kResBaselinePrompt = 1100, kResProjectFolderPrompt = 2200;
}  // namespace

WizardDialogs WizardDialogs::Standard() {
  return {&BrowseForFolder, &BrowseForProjectFile, &ShowConfigDialog};
}

frmWizard::frmWizard(WizardDialogs dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(std::move(dialogs)) {
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  BuildControls();
  ConnectEvents();
  fgExtProjects->location_browser = [this](std::string& path) {
    bool chosen = dialogs_.browse_for_project_file(this, path);
    if (chosen) UpdateNavButtons(current_step_);
    return chosen;
  };
  fgExtProjects->edit_started = [this] {
    for (int b : {kBack, kNext, kCancel}) cmdNav[b]->setEnabled(false);
  };
  // The edit is over whatever the browser said: the step's buttons come
  // back as the step allows them.
  fgExtProjects->edit_ended = [this] { UpdateNavButtons(current_step_); };
}

frmWizard::~frmWizard() {
  if (gfrmWizard == this) gfrmWizard = nullptr;
}

void frmWizard::Load() {
  if (loaded_) return;
  loaded_ = true;
  CenterOnScreen();
  ApplyResourceTexts(this);
  ApplyResourceFont(this);
  ShowStep(0, 0);
}

void frmWizard::CenterOnScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->availableGeometry();
  resize(std::min(width(), area.width()), std::min(height(), area.height()));
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void frmWizard::init() {
  Load();
  OrderedMap<std::string> drivers = RetrieveDrivers(AppSession().shipped_files_folder());
  cboDBType->clear();
  long code = 0;
  for (const std::string& name : drivers.Keys())
    cboDBType->addItem(Q(name), QVariant::fromValue(++code));
  cboDBType->setCurrentIndex(0);
  DatabaseTypeChosen();
  fgExtProjects->SetUp();
}

void frmWizard::SelectDBType(long code) {
  int index = cboDBType->findData(QVariant::fromValue(code));
  if (index >= 0) cboDBType->setCurrentIndex(index);
}

void frmWizard::DatabaseTypeChosen() {
  long code = cboDBType->currentData().toLongLong();
  cmdDBConfig->setEnabled(code != kEmbeddedDBTypeCode);
  ProcessPendingEvents();
}

void frmWizard::ConfigureDatabase() {
  if (!AppSession().goNewProjDef) return;
  const std::string entry = S(cboDBType->currentText());
  AppSession().goNewProjDef->SetDBType(entry);
  const std::string* driver = AppSession().gdictDBDrivers.Find(entry);
  AppSession().goNewProjDef->GetConnection().SetDriver(driver ? *driver : std::string());
  dialogs_.configure_database(this, *AppSession().goNewProjDef);
}

void frmWizard::BrowseBaseline() {
  std::string path = dialogs_.browse_for_folder(
      this, AppSession().messages.ResString(kResBaselinePrompt), S(txtBLLoc->text()));
  if (!Trim(path).empty() && AppSession().goBLProjInfo->ValidateBLProj(path))
    txtBLLoc->setText(Q(path));
  ShowBaselineDetails();
  UpdateNavButtons(current_step_);
}

void frmWizard::BrowseProjectFolder() {
  std::string path =
      dialogs_.browse_for_folder(this, AppSession().messages.ResString(kResProjectFolderPrompt),
                                 AppSession().goBLProjInfo->VLPFolder());
  txtProjLoc->setText(Q(path));
  UpdateNavButtons(current_step_);
}

void frmWizard::ShowBaselineDetails() {
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  bool valid = d.isXMLValid();
  txtBLLabel->setText(valid ? Q(d.BLXMLLabel()) : QString());
  txtBLTimeStamp->setText(valid ? Q(d.BLXMLTimestamp()) : QString());
  txtBLDesc->setPlainText(valid ? Q(d.BLXMLDesc()) : QString());
  txtBLIncOptions->setText(valid ? Q(d.BLXMLOptionsList()) : QString());
}

void frmWizard::closeEvent(QCloseEvent* event) {
  if (unloaded_) {
    event->accept();
    return;
  }
  // The run holds the new project open through the project application,
  // which unloading would shut down under it.
  if (run_in_progress_) {
    event->ignore();
    if (cancel_.load() == 0) {
      AskToStopRun();
    } else {
      AppSession().messages.ShowInfoMessage(AppSession().messages.ResString(kResCloseDuringRun));
    }
    return;
  }
  unloaded_ = true;
  if (gbHelpShown) CloseHelp();
  AppSession().ReleaseProjectApplication();
  event->accept();
  if (on_unloaded) on_unloaded();
}

void frmWizard::AskToStopRun() {
  Messenger& messages = AppSession().messages;
  if (messages.AskUser(messages.ResString(kResStopRun), vbYesNo) != vbYes) return;
  // The run looks at the request between objects, undoes what it made
  // and ends; the run page then says that nothing was created.
  cancel_.store(kCancelledByUser);
  cmdNav[kCancel]->setEnabled(false);
}

void frmWizard::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) MakeNextDefault();
  QDialog::changeEvent(event);
}

void frmWizard::MakeNextDefault() {
  QPushButton* next = cmdNav[kNext];
  if (next->isVisibleTo(this) && next->isEnabled()) next->setDefault(true);
}

void frmWizard::ProcessPendingEvents() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

}  // namespace vl
