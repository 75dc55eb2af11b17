// Copies the requirements of one package: for every "Req" below the
// package element's "Requirements", the requirement row (tag numbers,
// prefix, name, text, bookmark position, flags, current version), its
// links to the project and the package, its overflow text, its
// list-attribute and other attribute values, its history, and for a child
// requirement the parent-child relationship row.
//
// A child requirement's prefix is its parent's tag followed by "."
// ("FEAT1." for a child of FEAT1); the parent is found by that tag through
// the project object.
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// Keeps nothing between packages; the package copier creates one when it
// needs it.
class InsReqInfo : public Copier {
 public:
  using Copier::Copier;

  // Copies the "Req" elements below oPkg's "Requirements" in document
  // order, each linked to package lPkgID. True when all were copied, and
  // at once when there is no "Requirements". Each requirement adds the
  // results line 20078 with its tag (prefix and number), a blank, its
  // name and the start of its text (at most 50 characters, "..." after a
  // display text of exactly 50).
  // A child whose parent is not found when it is copied is added to the
  // run's unlinked children, linked by LinkPendingChildren once every
  // package is in.
  // False at the first requirement that fails, with the rows written so
  // far left in place and that requirement's key spent:
  //  - its requirement type, bookmark document, an attribute or a list
  //    item not copied (the look-up's message);
  //  - its current version's user not copied (the look-up's message), or
  //    its history not copied;
  //  - an overflow row not written (reported by the overflow writer);
  //  - any other error: a procedure-error report under the name of the
  //    routine where it happened ("CopyXMLPkgReqInfo", "GetReqDocInfo",
  //    "CopyReqLVInfo", "CopyReqFVInfo", "CopyHierarchyInfo").
  bool CopyXMLPkgReqInfo(pugi::xml_node oPkg, int32_t lPkgID, DataServices& oDS, Project& oProj);

  // Links the run's unlinked children, now that every package is in, and
  // empties the list. A parent that is still not found (the baseline does
  // not hold it) gets results line 20143 naming its tag and the child's,
  // no relationship row, and the copy goes on. False when a row cannot be
  // written (reported by CopyHierarchyInfo).
  bool LinkPendingChildren(DataServices& oDS, Project& oProj);

 private:
  // Copies one requirement; false after a message, throws on unexpected
  // errors. A child whose parent is not found yet is added to the run's
  // unlinked children.
  bool CopyRequirement(const pugi::xml_node& oReq, int32_t lPkgID, DataServices& oDS,
                       Project& oProj);

  // The bookmark name, the new ID of the bookmark document (0 when the
  // requirement lies in no document), the document position and the last
  // document text of oReq's "RDInfo"; a missing "RDInfo" or child gives
  // "" or 0. False after the look-up's message when the document was not
  // copied, after a report ("GetReqDocInfo") on an error.
  bool GetReqDocInfo(const pugi::xml_node& oReq, DataServices& oDS, std::string& sBookmark,
                     int32_t& lBookmarkDocID, int32_t& lDocPosition, int32_t& lLastDocText);

  // One vlUserDefinedListValues row per "LV" element of the requirement
  // (`lvs`, in document order). False after the
  // look-up's message when an attribute or list item was not copied (rows
  // before it stay), after a report ("CopyReqLVInfo") on an error.
  bool CopyReqLVInfo(const std::vector<pugi::xml_node>& lvs, int32_t lReqID, DataServices& oDS,
                     Project& oProj);

  // One vlUserDefinedFieldValues row per "FV" element (`fvs`): the value cut to
  // the project's attribute value size (the whole value in the overflow
  // table), its number (0 when it is not numeric). False after the
  // look-up's message when an attribute was not copied, when an overflow
  // row fails, after a report ("CopyReqFVInfo") on an error.
  bool CopyReqFVInfo(const std::vector<pugi::xml_node>& fvs, int32_t lReqID, DataServices& oDS,
                     Project& oProj);

  // The VlToRelationships row of a parent and its child. False after a
  // report ("CopyHierarchyInfo") when it cannot be written.
  bool CopyHierarchyInfo(int32_t lParentID, int32_t lChildID, DataServices& oDS, Project& oProj);

  // The ID of the requirement tagged sParentTag ("FEAT1"), found through
  // the project object; 0 when there is none. Errors are reported
  // ("getReqID") and give 0.
  int32_t getReqID(const std::string& sParentTag, Project& oProj);
};

}  // namespace vl
