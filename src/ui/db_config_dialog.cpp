#include "ui/db_config_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "baseline/check/target_check.h"
#include "ui/background_task.h"
#include "ui/qt_text.h"

namespace vl {

namespace {

constexpr long kResCancel = 101, kResTest = 2109, kResTestPassed = 2110, kResTesting = 2111,
               kResFirstPlaceholder = 2112;

QLineEdit* AddField(QFormLayout* form, long captionId) {
  auto* field = new QLineEdit;
  field->setMinimumWidth(240);
  // The caption's mnemonic moves to the field.
  form->addRow(QRes(captionId), field);
  field->setPlaceholderText(QRes(kResFirstPlaceholder + form->rowCount() - 1));
  return field;
}

}  // namespace

DBConfigDialog::DBConfigDialog(QWidget* owner, std::string projectName)
    : QDialog(owner), project_name_(std::move(projectName)) {
  setWindowTitle(QRes(kResDBConfigTitle));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  txtHost = AddField(form, 2101);
  txtPort = AddField(form, 2102);
  txtPort->setValidator(new QIntValidator(1, 65535, txtPort));
  txtDatabase = AddField(form, 2103);
  txtUser = AddField(form, 2104);
  txtSchema = AddField(form, 2105);
  txtConnInfo = AddField(form, 2106);
  layout->addLayout(form);
  auto* note = new QLabel(QRes(kResDBConfigNote));
  note->setTextFormat(Qt::PlainText);
  note->setWordWrap(true);
  layout->addWidget(note);
  cmdTest = new QPushButton(QRes(kResTest));
  cmdTest->setAutoDefault(false);
  lblTest = new QLabel;
  lblTest->setTextFormat(Qt::PlainText);
  lblTest->setWordWrap(true);
  lblTest->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* test = new QHBoxLayout;
  test->addWidget(cmdTest, 0, Qt::AlignTop);
  test->addWidget(lblTest, 1);
  layout->addLayout(test);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QRes(kResDBConfigOK));
  buttons->button(QDialogButtonBox::Cancel)->setText(QRes(kResCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(cmdTest, &QPushButton::clicked, this, [this] { TestConnection(); });
  layout->addWidget(buttons);
}

void DBConfigDialog::Load(const ConnectionSettings& c) {
  txtHost->setText(Q(c.host));
  txtPort->setText(Q(c.port));
  txtDatabase->setText(Q(c.database));
  txtUser->setText(Q(c.user));
  txtSchema->setText(Q(c.schema));
  txtConnInfo->setText(Q(c.conninfo));
}

void DBConfigDialog::Store(ConnectionSettings& c) const {
  c.host = S(txtHost->text().trimmed());
  c.port = S(txtPort->text().trimmed());
  c.database = S(txtDatabase->text().trimmed());
  c.user = S(txtUser->text().trimmed());
  c.schema = S(txtSchema->text().trimmed());
  c.conninfo = S(txtConnInfo->text().trimmed());
}

void DBConfigDialog::TestConnection() {
  TargetChoice choice;
  choice.name = project_name_;
  choice.database = kPostgreSQLDisplayName;
  choice.databases = {kPostgreSQLDisplayName};
  Store(choice.connection);
  QStringList faults;
  lblTest->clear();
  const bool answered = RunInBackground(this, QRes(kResTesting), [&](TaskProgress&) {
    // Only what the server says counts here: the folder is step 1's.
    for (const TargetProblem& p : CheckTarget(choice).problems)
      if (p.field == TargetField::kServer || p.field == TargetField::kSchema)
        faults.append(Q(p.text));
  });
  if (!answered) return;
  lblTest->setText(faults.isEmpty() ? QRes(kResTestPassed) : faults.join('\n'));
}

void ShowConfigDialog(QWidget* owner, NewProjectDefinition& definition) {
  DBConfigDialog dialog(owner, definition.GetProjectName());
  dialog.Load(definition.GetConnection());
  if (dialog.exec() == QDialog::Accepted) dialog.Store(definition.GetConnection());
}

}  // namespace vl
