// Copies the discussion threads of the baseline (Discussions.XML): every
// discussion with its replies at any depth, its users and groups, its
// read marks (every user of a discussion has read it) and the
// requirements it concerns.
//
// A thread is written depth first: a discussion, its member and link
// rows, then its replies, each with all of its own replies, before the
// next discussion of the same level. A discussion's ROOTID is the ID of
// its thread's top-level discussion (its own for a top-level one) and its
// PARENTID that of the discussion it answers (0 for a top-level one).
#pragma once

#include <cstdint>
#include <pugixml.hpp>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// Holds no state; the creation run creates one when it needs it.
class InsDiscInfo : public Copier {
 public:
  using Copier::Copier;

  // With CreateDisc off: true, nothing read. Otherwise copies every "Disc"
  // below "PROJECT/Discs" (true at once when there is no "Discs"). True
  // when all were copied. False, with nothing written, after a message
  // ("Discussions.XML" + text 11011 + "PROJECT") when the file has no
  // "PROJECT"; false when a discussion's author or one of its users,
  // groups or requirements was not copied (the look-up's message, the
  // copy stops there and the rows written before stay); false after a
  // report on any other error.
  bool CopyXMLDiscInfo(DataServices& oDS, Project& oProj);

 private:
  // Copies the "Disc" children of oDiscs (a "Discs" or "Replies" element)
  // and, below each, its replies; lRootID and lParentID are those of the
  // discussion the children answer (both 0 for the top level). Replies
  // nest to any depth without deepening the call stack. False at the first
  // discussion that fails; a report ("AddXMLDiscs") on an unexpected error.
  bool AddXMLDiscs(int32_t lRootID, int32_t lParentID, const pugi::xml_node& oDiscs,
                   DataServices& oDS, Project& oProj);
  // Writes one discussion's VLDISCUSSIONS and VLPROJECTDISCUSSIONS rows
  // and its member rows; `lDiscID` is its key, already drawn. False when a
  // look-up fails (its message shown). Throws VlError when a statement
  // fails.
  bool AddOneDisc(int32_t lDiscID, int32_t lRootID, int32_t lParentID, const pugi::xml_node& oDisc,
                  DataServices& oDS, Project& oProj);

  // One row per item of the discussion's list, in document order: users
  // (DUsers/DUsr/DUID), groups (DGroups/DGroup/DGID), read marks (the
  // users again), requirements (DiscReqs/DiscReq/GUID). True when there is
  // no list. False at the first item whose look-up fails (its message
  // shown), and after a report under the routine's name on any other
  // error; rows written before stay.
  bool AddXMLDiscUsers(int32_t lDiscID, const pugi::xml_node& oDisc, DataServices& oDS,
                       Project& oProj);
  bool AddXMLDiscGroups(int32_t lDiscID, const pugi::xml_node& oDisc, DataServices& oDS,
                        Project& oProj);
  bool AddXMLDiscReadUsers(int32_t lDiscID, const pugi::xml_node& oDisc, DataServices& oDS,
                           Project& oProj);
  bool AddXMLDiscReqs(int32_t lDiscID, const pugi::xml_node& oDisc, DataServices& oDS,
                      Project& oProj);
};

}  // namespace vl
