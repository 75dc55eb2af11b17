// The database configuration dialog: edits where an enterprise database
// lives (server, port, database, user, schema, or a whole connection
// string) in the connection of a new-project definition. Empty fields say
// in grey what they stand for. "Test connection" asks the server, on a
// worker thread, whether it answers and whether the project's schema is
// free, and says so in the dialog. It never asks for a password: that
// comes from the database's usual sources.
#pragma once

#include <QDialog>
#include <string>

#include "host/project/new_project_definition.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vl {

// Resource ids: title, the six field captions, the note, OK.
constexpr long kResDBConfigTitle = 2100, kResDBConfigNote = 2107, kResDBConfigOK = 2108;

class DBConfigDialog : public QDialog {
 public:
  // `projectName` names the schema when none is given.
  explicit DBConfigDialog(QWidget* owner = nullptr, std::string projectName = "");

  // The fields show `connection`.
  void Load(const ConnectionSettings& connection);
  // `connection` takes the fields' trimmed texts (the driver stays).
  void Store(ConnectionSettings& connection) const;
  // Test connection: the result in lblTest.
  void TestConnection();

  QLineEdit *txtHost, *txtPort, *txtDatabase, *txtUser, *txtSchema, *txtConnInfo;
  QPushButton* cmdTest;
  QLabel* lblTest;

 private:
  std::string project_name_;
};

// Shows the dialog modal over `owner` with the definition's connection;
// OK stores the fields into it, Cancel leaves it as it was.
void ShowConfigDialog(QWidget* owner, NewProjectDefinition& definition);

}  // namespace vl
