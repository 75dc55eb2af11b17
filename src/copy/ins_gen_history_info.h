// The shared history writer: turns the "History" element of the baseline
// (under the project, a document or a requirement) into rows of a history
// table, and gives the current-version columns of an object's own row.
//
// A "History" holds "RVer" elements, one per version, oldest first; each
// has the children "VNum", "VLbl", "VUGUID" (the baseline user who made
// the version), "VDate" and "VResn".
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"
#include "host/text/variant.h"

namespace vl {

// Holds no state; callers create one when they need it.
class InsGenHistoryInfo : public Copier {
 public:
  using Copier::Copier;

  // Does nothing and returns true when history is not copied. Otherwise
  // inserts one row into sTableName for every "RVer" under the "History"
  // child of oSource, in document order, for the object lRelatedID.
  // True when all were inserted, or when there is no "History" (a results
  // line says so). False when a version's user has no new user (the
  // look-up has shown its message) or a row cannot be written; versions
  // inserted before stay. Unexpected errors are reported
  // ("CopyXMLDetailHistoryInfo").
  bool CopyXMLDetailHistoryInfo(const pugi::xml_node& oSource, const std::string& sTableName,
                                int32_t lRelatedID, DataServices& oDS, Project& oProj);

  // " VERSIONNUMBER, VERSIONLABEL, VERSIONUSERID, VERSIONDATETIME,
  // VERSIONREASON": the columns CreateDefaultHistValuesSQL fills.
  std::string CreateDefaultHistFieldsSQL() const;

  // The five literals of the object's current version, joined with ", ":
  // those of the last "RVer" of oSource's "History" when history is copied;
  // otherwise (or when there is no "History" or no "RVer") version
  // "1.000", an empty label, the current user, the run's start time and
  // text 20054. "" when the last version's user has no new user (after the
  // look-up's message) or on an unexpected error (reported,
  // "CreateDefaultHistValuesSQL").
  std::string CreateDefaultHistValuesSQL(const pugi::xml_node& oSource, Project& oProj,
                                         DataServices& oDS);

  // Inserts one history row (ID, VERSIONNUMBER, VERSIONLABEL,
  // VERSIONUSERID, VERSIONDATETIME, VERSIONREASON, OVERFLOWIND) into
  // sTableName. A reason longer than the project's overflow size is cut
  // to it and its whole text goes to the overflow history table first.
  // dVDate is a date, or Null when the version has none. True when the row
  // was inserted; false when the split or the overflow row failed (no
  // history row then) or on an error (reported, "InsertSingleHistRecord").
  bool InsertSingleHistRecord(const std::string& sTableName, DataServices& oDS, int32_t lRelatedID,
                              const std::string& sVNum, const std::string& sVLabel, int32_t lUID,
                              const Variant& dVDate, const std::string& sVReason, Project& oProj);
};

}  // namespace vl
