#include "ui/new_project_page.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>

#include "app/mod_wizard.h"
#include "host/text/convert.h"
#include "ui/background_task.h"
#include "ui/frm_wizard.h"
#include "ui/page_controls.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

constexpr long kResProjectFolderPrompt = 2200, kResWholePath = 2201, kResProjectsFolder = 2202,
               kResContactingServer = 2203;

// "~" stands for the home folder, as in a shell.
std::string ExpandHome(const std::string& folder) {
  if (folder == "~" || folder.rfind("~/", 0) == 0) return S(QDir::homePath()) + folder.substr(1);
  return folder;
}

}  // namespace

std::string DefaultProjectFolder(const std::string& projectName) {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QDir::homePath();
  return S(documents) + "/" + S(QRes(kResProjectsFolder)) + "/" + FolderNameFrom(projectName);
}

NewProjectPage::NewProjectPage() : WizardStepPage(frmWizard::kProjectStep) {
  auto* grid = new QGridLayout(body());
  grid->setContentsMargins(0, 0, 0, 0);
  txtProjName = new QLineEdit;
  txtProjName->setObjectName("txtProjName");
  txtProjLoc = new QLineEdit;
  txtProjLoc->setObjectName("txtProjLoc");
  cmdProjBrowse = Button(2006);
  cmdProjBrowse->setObjectName("cmdProjBrowse");
  cboDBType = new QComboBox;
  cboDBType->setObjectName("cboDBType");
  cboDBType->setMinimumContentsLength(12);
  cmdDBConfig = Button(2007);
  cmdDBConfig->setObjectName("cmdDBConfig");
  txtProjDesc = MultiLineText("txtProjDesc", false, 6);
  name_note_ = new ProblemNote;
  name_note_->setObjectName("noteProjName");
  folder_note_ = new ProblemNote;
  folder_note_->setObjectName("noteProjLoc");
  database_note_ = new ProblemNote;
  database_note_->setObjectName("noteDBType");

  grid->addWidget(Caption(2002, txtProjName), 0, 0);
  grid->addWidget(txtProjName, 0, 1, 1, 2);
  grid->addWidget(name_note_, 1, 1, 1, 2);
  grid->addWidget(Caption(2003, txtProjLoc), 2, 0);
  grid->addWidget(txtProjLoc, 2, 1);
  grid->addWidget(cmdProjBrowse, 2, 2);
  grid->addWidget(folder_note_, 3, 1, 1, 2);
  grid->addWidget(Caption(2004, cboDBType), 4, 0);
  auto* database = new QHBoxLayout;
  database->addWidget(cboDBType);
  database->addWidget(cmdDBConfig);
  database->addStretch(1);
  grid->addLayout(database, 4, 1, 1, 2);
  grid->addWidget(database_note_, 5, 1, 1, 2);
  grid->addWidget(Caption(2005, txtProjDesc), 6, 0, Qt::AlignTop);
  grid->addWidget(txtProjDesc, 6, 1, 1, 2);
  grid->setRowStretch(7, 1);

  connect(cmdProjBrowse, &QPushButton::clicked, this, [this] { BrowseProjectFolder(); });
  connect(cmdDBConfig, &QPushButton::clicked, this, [this] { ConfigureDatabase(); });
  connect(cboDBType, &QComboBox::currentIndexChanged, this, [this] { DatabaseTypeChosen(); });
  // Next needs both a name and a folder that can be used: either box may
  // change that.
  connect(txtProjName, &QLineEdit::textChanged, this, [this] { Recheck(); });
  connect(txtProjLoc, &QLineEdit::textChanged, this, [this] { Recheck(); });
}

void NewProjectPage::FillDatabaseList() {
  OrderedMap<std::string> drivers = RetrieveDrivers(AppSession().shipped_files_folder());
  const QSignalBlocker quiet(cboDBType);
  cboDBType->clear();
  long code = 0;
  for (const std::string& name : drivers.Keys())
    cboDBType->addItem(Q(name), QVariant::fromValue(++code));
  cboDBType->setCurrentIndex(0);
  DatabaseTypeChosen();
}

void NewProjectPage::SelectDBType(long code) {
  const int index = cboDBType->findData(QVariant::fromValue(code));
  if (index >= 0) cboDBType->setCurrentIndex(index);
}

void NewProjectPage::initializePage() {
  if (!FirstShownForThisBaseline()) return Recheck();
  const BLProjInfo& d = *AppSession().goBLProjInfo;
  std::string install;
  const std::string folder =
      ReadVelloqInstallDir(install) ? d.VLPFolder() : DefaultProjectFolder(d.VLPName());
  const QSignalBlocker quiet_name(txtProjName), quiet_folder(txtProjLoc);
  txtProjName->setText(Q(d.VLPName()));
  txtProjLoc->setText(Q(folder));
  txtProjDesc->setPlainText(Q(d.VLPDesc()));
  SelectDBType(d.VLPDBType());
  Recheck();
}

bool NewProjectPage::isComplete() const { return usable_; }

TargetChoice NewProjectPage::Choice() const {
  TargetChoice c;
  c.baseline_folder = AppSession().goBLProjInfo->BLXMLLoc();
  c.folder = ExpandHome(Trim(S(txtProjLoc->text())));
  c.name = S(txtProjName->text());
  c.database = S(cboDBType->currentText());
  for (int i = 0; i < cboDBType->count(); ++i) c.databases.push_back(S(cboDBType->itemText(i)));
  if (AppSession().goNewProjDef) c.connection = AppSession().goNewProjDef->GetConnection();
  c.contact_server = false;
  return c;
}

void NewProjectPage::Recheck() {
  const TargetChoice choice = Choice();
  std::vector<TargetProblem> problems;
  checked_folder_.clear();
  if (choice.name.empty() || choice.folder.empty()) {
    // Nothing to say yet: Next waits for both.
  } else if (choice.folder.front() != '/') {
    problems.push_back({TargetField::kFolder, S(QRes(kResWholePath))});
  } else {
    TargetCheckResult checked = CheckTarget(choice);
    checked_folder_ = checked.folder;
    problems = std::move(checked.problems);
  }
  ShowProblems(problems);
  usable_ = !choice.name.empty() && !checked_folder_.empty() && problems.empty();
  emit completeChanged();
}

void NewProjectPage::ShowProblems(const std::vector<TargetProblem>& problems) {
  QStringList name, folder, database;
  for (const TargetProblem& p : problems) {
    QStringList& list = p.field == TargetField::kName     ? name
                        : p.field == TargetField::kFolder ? folder
                                                          : database;
    list.append(Q(p.text));
  }
  name_note_->Show(name.join('\n'));
  folder_note_->Show(folder.join('\n'));
  database_note_->Show(database.join('\n'));
}

bool NewProjectPage::CheckWithServer() {
  TargetChoice choice = Choice();
  choice.contact_server = true;
  TargetCheckResult checked;
  if (!RunInBackground(&form(), QRes(kResContactingServer),
                       [&](TaskProgress&) { checked = CheckTarget(choice); }))
    return false;
  ShowProblems(checked.problems);
  return checked.ok();
}

bool NewProjectPage::validatePage() {
  Recheck();
  if (!usable_) return false;
  if (S(cboDBType->currentText()) == kPostgreSQLDisplayName && !CheckWithServer()) return false;
  try {
    return Store();
  } catch (...) {
    AppSession().messages.ReportProcError("frmWizard.CompleteStep", "");
    return false;
  }
}

bool NewProjectPage::Store() {
  BLProjInfo& d = *AppSession().goBLProjInfo;
  {
    // The folder as it will be used: absolute and normal.
    const QSignalBlocker quiet(txtProjLoc);
    txtProjLoc->setText(Q(checked_folder_));
  }
  d.SetVLPName(S(txtProjName->text()));
  d.SetVLPFolder(checked_folder_);
  d.SetVLPDBType(static_cast<int32_t>(cboDBType->currentData().toLongLong()));
  d.SetVLPDBDisplayName(S(cboDBType->currentText()));
  d.SetVLPDesc(S(txtProjDesc->toPlainText()));
  return d.ValidateVLPSettings(*AppSession().goNewProjDef, AppSession().gdictDBDrivers);
}

void NewProjectPage::BrowseProjectFolder() {
  const std::string start = Trim(S(txtProjLoc->text())).empty()
                                ? AppSession().goBLProjInfo->VLPFolder()
                                : ExpandHome(Trim(S(txtProjLoc->text())));
  std::string path = form().dialogs().browse_for_folder(
      &form(), AppSession().messages.ResString(kResProjectFolderPrompt), start);
  txtProjLoc->setText(Q(path));
}

void NewProjectPage::ConfigureDatabase() {
  NewProjectDefinition* definition = AppSession().goNewProjDef.get();
  if (!definition) return;
  const std::string entry = S(cboDBType->currentText());
  definition->SetDBType(entry);
  const std::string* driver = AppSession().gdictDBDrivers.Find(entry);
  definition->GetConnection().SetDriver(driver ? *driver : std::string());
  // The schema is named after the project unless given: the dialog's test
  // of the connection needs the name.
  definition->SetProjectName(S(txtProjName->text()));
  form().dialogs().configure_database(&form(), *definition);
  Recheck();
}

void NewProjectPage::DatabaseTypeChosen() {
  const long code = cboDBType->currentData().toLongLong();
  cmdDBConfig->setEnabled(code != kEmbeddedDBTypeCode);
  Recheck();
}

}  // namespace vl
