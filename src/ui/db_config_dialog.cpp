#include "ui/db_config_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qt_text.h"

namespace vl {

namespace {

QLineEdit* AddField(QFormLayout* form, long captionId) {
  auto* field = new QLineEdit;
  field->setMinimumWidth(280);
  form->addRow(QRes(captionId), field);
  return field;
}

}  // namespace

DBConfigDialog::DBConfigDialog(QWidget* owner) : QDialog(owner) {
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
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QRes(kResDBConfigOK));
  buttons->button(QDialogButtonBox::Cancel)->setText(QRes(101));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
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

void ShowConfigDialog(QWidget* owner, NewProjectDefinition& definition) {
  DBConfigDialog dialog(owner);
  dialog.Load(definition.GetConnection());
  if (dialog.exec() == QDialog::Accepted) dialog.Store(definition.GetConnection());
}

}  // namespace vl
