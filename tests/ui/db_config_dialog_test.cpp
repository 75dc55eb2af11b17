#include "ui/db_config_dialog.h"

#include <QLabel>
#include <QTest>

#include "wizard_fixture.h"

namespace vl {
namespace {

// The fields show and store the connection but not its driver; the port
// takes digits only and a failed test says so.
TEST(DBConfigDialogTest, TheFieldsShowAndStoreTheConnection) {
  TestApplication();
  ConnectionSettings c;
  c.SetDriver("PostgreSQL");
  c.host = "db.example";
  c.user = "velloq";
  DBConfigDialog dialog(nullptr, "Alpha");
  dialog.Load(c);
  EXPECT_EQ(dialog.txtHost->text().toStdString(), "db.example");
  dialog.txtDatabase->setText("  projects ");
  dialog.txtSchema->setText("brew");
  dialog.txtPort->setFocus();
  QTest::keyClicks(dialog.txtPort, "54x32");
  ConnectionSettings stored;
  stored.SetDriver("Other");
  dialog.Store(stored);
  EXPECT_EQ(stored.host + "|" + stored.port + "|" + stored.database + "|" + stored.user + "|" +
                stored.schema + "|" + stored.GetDriver(),
            "db.example|5432|projects|velloq|brew|Other");

  dialog.txtHost->setText("127.0.0.1");
  dialog.txtPort->setText("1");  // nothing listens there
  dialog.TestConnection();
  EXPECT_FALSE(dialog.lblTest->text().isEmpty());
  EXPECT_NE(dialog.lblTest->text().toStdString(), AppSession().messages.ResString(2110));
}

}  // namespace
}  // namespace vl
