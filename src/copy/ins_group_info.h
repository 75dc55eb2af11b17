// Copies the baseline's security groups and users (ProjectUserGroups.XML)
// into the new project, reusing a group or user of the same name that the
// new project already has, and records the GUID translations later copiers
// use to find them.
#pragma once

#include <cstddef>
#include <string>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// Holds no state between calls. Groups must be copied before users.
class InsGroupInfo : public Copier {
 public:
  using Copier::Copier;

  // Creates every "Group" of the baseline through the project's group
  // collection, or reuses the group of that name (its description and
  // rights are then set from the baseline), records old GUID -> new GUID,
  // and commits users and groups. True when every group was handled.
  // False after a message when the file has no "PROJECT" element (nothing
  // written), or after a procedure-error report ("CopyXMLGroupInfo") on a
  // missing or unreadable attribute, a GUID already translated for a new
  // group, or a failure of the project; groups handled before stay.
  bool CopyXMLGroupInfo(DataServices& oDS, Project& oProj);

  // Inserts a vlUsers row for every "User" of the baseline, or updates the
  // user of the same login name (which keeps its ID and GUID), and records
  // old GUID -> new GUID. A password with codes that stand for no
  // character is stored without them, after a results line (20059) naming
  // the user. True when every user was handled. False after a
  // message when the file has no "PROJECT" element, or after a
  // procedure-error report ("CopyXMLUserInfo ") when a user's group does
  // not exist, an attribute is missing or unreadable, or a statement
  // fails; users written before stay.
  bool CopyXMLUserInfo(DataServices& oDS, Project& oProj);

  // Decodes a "Password" attribute: decimal Windows-1252 codes, each
  // followed by ";" ("97;98;99;" is "abc"), into UTF-8. Digits after the
  // last ";" are dropped; a group that is not a number, or whose code is
  // not 1 to 255, adds nothing; the latter are counted in `refused` when
  // given. Never fails.
  static std::string CongealPWD(const std::string& sPassword, size_t* refused = nullptr);
};

}  // namespace vl
