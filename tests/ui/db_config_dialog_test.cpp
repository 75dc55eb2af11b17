#include "ui/db_config_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "ui/ui_session.h"
#include "wizard_fixture.h"

namespace vl {
namespace {

TEST(DBConfigDialogTest, TheFieldsShowAndStoreTheConnectionButNotItsDriver) {
  TestApplication();
  ConnectionSettings c;
  c.SetDriver("PostgreSQL");
  c.host = "db.example";
  c.port = "5433";
  c.user = "velloq";
  DBConfigDialog dialog;
  dialog.Load(c);
  EXPECT_EQ(dialog.txtHost->text().toStdString(), "db.example");
  EXPECT_EQ(dialog.txtPort->text().toStdString(), "5433");
  EXPECT_TRUE(dialog.txtDatabase->text().isEmpty());

  dialog.txtDatabase->setText("  projects ");
  dialog.txtSchema->setText("brew");
  dialog.txtPort->clear();
  ConnectionSettings stored;
  stored.SetDriver("Other");
  dialog.Store(stored);
  EXPECT_EQ(stored.host, "db.example");
  EXPECT_EQ(stored.port, "");
  EXPECT_EQ(stored.database, "projects");
  EXPECT_EQ(stored.user, "velloq");
  EXPECT_EQ(stored.schema, "brew");
  EXPECT_EQ(stored.GetDriver(), "Other");
}

TEST(DBConfigDialogTest, EmptyFieldsSayWhatTheyStandForThePortTakesNumbersAndTheTestNamesAFault) {
  TestApplication();
  DBConfigDialog dialog(nullptr, "Alpha");
  for (QLineEdit* field : {dialog.txtHost, dialog.txtPort, dialog.txtDatabase, dialog.txtUser,
                           dialog.txtSchema, dialog.txtConnInfo})
    EXPECT_FALSE(field->placeholderText().isEmpty()) << field->objectName().toStdString();
  dialog.txtPort->setFocus();
  QTest::keyClicks(dialog.txtPort, "54x32");
  EXPECT_EQ(dialog.txtPort->text().toStdString(), "5432");
  dialog.txtHost->setText("127.0.0.1");
  dialog.txtPort->setText("1");  // nothing listens there
  dialog.TestConnection();
  EXPECT_FALSE(dialog.lblTest->text().isEmpty());
  EXPECT_NE(dialog.lblTest->text().toStdString(), AppSession().messages.ResString(2110));
}

}  // namespace
}  // namespace vl
