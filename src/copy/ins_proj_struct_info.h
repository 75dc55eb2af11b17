// Copies the project structure of the baseline (ProjectStructure.XML):
// attributes with their list items and value views, requirement types with
// the attributes they hold, and document types. Every old/new GUID pair of
// an attribute, list item and requirement type is also kept in the
// copier's own GUID map, saved as "ResRTGUIDs.xml" beside the new project
// file, where later runs for other baselines look them up.
#pragma once

#include <memory>
#include <pugixml.hpp>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// One object per creation run; the four steps run on it in this order:
// CopyXMLAttrInfo, CopyXMLReqTypeInfo, ConnectXMLReqTypeAttrs,
// CopyXMLDocTypeInfo. Each returns true when it finished its part of the
// file. Each returns false without touching the database after a message
// when the file has no "PROJECT" element, and false after a
// procedure-error report under its own name when a collection element is
// missing, a required XML attribute is missing or cannot be converted, or
// a statement fails. Nothing written is undone.
class InsProjStruInfo : public Copier {
 public:
  explicit InsProjStruInfo(RunContext& ctx);
  ~InsProjStruInfo();

  // Starts the copier's GUID map (baseline GUID, new project GUID), then
  // for each "Attribute": inserts its vlUserDefinedFields row and its list
  // items, sets DEFAULTVALUE to the new ITEMID of the item marked
  // "Default" (the last one marked), creates its value views (a failure
  // there is reported and the copy goes on), and appends to the map the
  // pairs of its list items, then its own.
  bool CopyXMLAttrInfo(DataServices& oDS, Project& oProj);

  // Inserts every "RequirementType" with its vlProjectRequirementTypes
  // link and appends its pair to the GUID map, then saves the map as
  // "ResRTGUIDs.xml" in the folder of the project file (also when there
  // are no requirement types), replacing a file of that name. Needs
  // CopyXMLAttrInfo to have run on this object (a procedure error
  // otherwise). The file is not written when the step fails.
  bool CopyXMLReqTypeInfo(DataServices& oDS, Project& oProj);

  // Links each requirement type to the attributes listed in its
  // "Attributes" (vlRequirementTypeFields). False after a message when a
  // requirement type or one of its attributes has no translation or no row
  // in the new database; links written before stay.
  bool ConnectXMLReqTypeAttrs(DataServices& oDS, Project& oProj);

  // Inserts every "DocumentType" with its default requirement type (the
  // new ID when "DefaultRequirementTypeGUID" has a translation, otherwise
  // 0) and its vlProjectDocumentTypes link. False after a message when a
  // translated default requirement type has no row; document types written
  // before stay. Document types are not added to the GUID map.
  bool CopyXMLDocTypeInfo(DataServices& oDS, Project& oProj);

  // The copier's GUID map as it stands (empty before CopyXMLAttrInfo).
  const pugi::xml_document& GuidMapDocument() const { return *guid_map_doc_; }

 private:
  // Inserts the list items of one "Attribute" element and sets
  // `lDefaultItemID` to the new ITEMID of the item marked "Default", or 0.
  // Errors propagate to CopyXMLAttrInfo, which reports them.
  bool CopyXMLListItemInfo(const pugi::xml_node& oAttr, int32_t lFieldID, DataServices& oDS,
                           Project& oProj, int32_t& lDefaultItemID);

  std::unique_ptr<pugi::xml_document> guid_map_doc_;
  pugi::xml_node guid_map_root_;
};

}  // namespace vl
