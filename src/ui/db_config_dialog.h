// The database configuration dialog: edits where an enterprise database
// lives (server, port, database, user, schema, or a whole connection
// string) in the connection of a new-project definition. It never asks
// for a password: that comes from the database's usual sources.
#pragma once

#include <QDialog>

#include "host/project/new_project_definition.h"

class QLineEdit;

namespace vl {

// Resource ids: title, the six field captions, the note, OK.
constexpr long kResDBConfigTitle = 2100, kResDBConfigNote = 2107, kResDBConfigOK = 2108;

class DBConfigDialog : public QDialog {
 public:
  explicit DBConfigDialog(QWidget* owner = nullptr);

  // The fields show `connection`.
  void Load(const ConnectionSettings& connection);
  // `connection` takes the fields' trimmed texts (the driver stays).
  void Store(ConnectionSettings& connection) const;

  QLineEdit *txtHost, *txtPort, *txtDatabase, *txtUser, *txtSchema, *txtConnInfo;
};

// Shows the dialog modal over `owner` with the definition's connection;
// OK stores the fields into it, Cancel leaves it as it was.
void ShowConfigDialog(QWidget* owner, NewProjectDefinition& definition);

}  // namespace vl
