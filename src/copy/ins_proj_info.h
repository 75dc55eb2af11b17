// Copies the project-level settings of the baseline (Project.xml) into the
// new project's own vlProjects row and gives the project its version
// history: the baseline's (ProjectHistory.xml) when history is copied,
// otherwise one record that names the baseline it came from.
#pragma once

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

class InsProjInfo : public Copier {
 public:
  using Copier::Copier;

  // Removes the history rows the new project was born with, then edits
  // the project row (prefix, Word format, security, RSDS, flags and the
  // current version) and writes the history. True when the row was
  // updated. False after a message when Project.xml or ProjectHistory.xml
  // lacks its root element, when a history version cannot be copied, or
  // (text 20072) when the default history record cannot be written; false
  // after a report ("frmWizard.CopyXMLProjInfo") on any other error. On
  // every false return after the deletion the project row is left as it
  // was; deleted and inserted history rows are not undone.
  bool CopyXMLProjInfo(DataServices& oDS, Project& oProj);
};

}  // namespace vl
