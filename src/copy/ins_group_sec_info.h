// Copies the groups' access rights (Permissions.XML): for every group of
// the baseline its rights on document types, on requirement types (with
// the separate rights on a requirement's text, traceability and name), on
// the attributes under each requirement type and on their list items.
//
// Permissions.XML:
//   Project
//     Groups
//       Group ID
//         DocumentTypeRights
//           DocumentTypeRight ID AccessRights
//         RequirementTypeRights
//           RequirementTypeRight ID AccessRights RequirementTextAccessRights
//                                RequirementTraceabilityAccessRights
//                                RequirementNameAccessRights
//             AttributeRights
//               AttributeRight ID AccessRights
//                 ListItemRights
//                   ListItemRight ID AccessRights
// Every section element (Groups, DocumentTypeRights, RequirementTypeRights,
// AttributeRights, ListItemRights) is required, even when it is empty. The
// IDs are baseline GUIDs; the rights are whole numbers passed through.
#pragma once

#include <cstdint>
#include <pugixml.hpp>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// Holds no state; the groups, attributes, list items, requirement types
// and document types must have been copied before.
class InsGroupSecInfo : public Copier {
 public:
  using Copier::Copier;

  // Writes, group by group in document order, all document type rights
  // (vlDocumentTypeUsers), then for each requirement type right its row
  // (vlRequirementTypeUsers) followed, for each of its attribute rights,
  // by the attribute's row (vlUserDefinedFieldUsers) and that attribute's
  // list item rows (vlUserDefinedListItemUsers). True when every group was
  // copied.
  // False, with nothing written, after a message ("Permissions.XML" + text
  // 11011 + "Project") when the file has no "Project" element. False after
  // the look-up's message when a group, type, attribute or list item has no
  // new row; later groups are then not copied. False after a
  // procedure-error report naming the routine where it happened
  // ("CopyXMLGroupSecInfo", "CopyGroupDocTypeRights",
  // "CopyGroupReqTypeRights", "CopyGroupRTAttrRights",
  // "CopyGroupAttrLVRights") when a section element or an attribute is
  // missing, a right is not a whole number, or a statement fails. Rows
  // written before a failure stay.
  bool CopyXMLGroupSecInfo(DataServices& oDS, Project& oProj);

 private:
  // Each copies the rows of one section and returns true, or false after
  // a look-up's message or a report under its own name (see above).
  bool CopyGroupDocTypeRights(const pugi::xml_node& oGroup, int32_t lGroupID, DataServices& oDS,
                              Project& oProj);
  bool CopyGroupReqTypeRights(const pugi::xml_node& oGroup, int32_t lGroupID, DataServices& oDS,
                              Project& oProj);
  bool CopyGroupRTAttrRights(const pugi::xml_node& oReqTypeRight, int32_t lGroupID,
                             DataServices& oDS, Project& oProj);
  bool CopyGroupAttrLVRights(const pugi::xml_node& oAttrRight, int32_t lGroupID, DataServices& oDS,
                             Project& oProj);
};

}  // namespace vl
