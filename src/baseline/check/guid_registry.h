// The baseline's GUIDs as the creation run will know them: what kind of
// object each GUID was first recorded for. The run translates a GUID to the
// new GUID of the first object recorded under it and then looks the row up
// in the table of the kind it expects, so a reference resolves only when
// its GUID was recorded before it is used, and for the kind expected.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/text/text_table.h"

namespace vl {

enum class GuidKind {
  kGroup,
  kUser,
  kAttribute,
  kListItem,
  kRequirementType,
  kDocumentType,
  kQueryDefinition,
  kPackage,
  kDocument,
  kView,
};

// "group", "user", "attribute", "list item", ...
const char* KindText(GuidKind kind);

class GuidRegistry {
 public:
  // Records `guid` for `kind` unless it is recorded already (the first
  // object keeps the GUID's translation). True when recorded now.
  bool Record(std::string_view guid, GuidKind kind);
  // The kind `guid` was first recorded for; nullopt when it was not.
  std::optional<GuidKind> KindOf(std::string_view guid) const;

  // Requirements have a translation table of their own.
  void RecordRequirement(std::string_view guid) { requirements_.Insert(guid, true, texts_); }
  bool IsRequirement(std::string_view guid) const { return requirements_.Find(guid) != nullptr; }

 private:
  // A large baseline records hundreds of thousands of GUIDs and looks
  // them up millions of times.
  TextArena texts_;
  TextTable<GuidKind> kinds_;
  TextTable<bool> requirements_;
};

// Why a reference to `guid` does not resolve to an object of `expected`,
// or "" when it does: "names the user {..}, which the baseline does not
// hold" or "names {..}, which is a group, not a user".
std::string UnresolvedReason(const GuidRegistry& guids, std::string_view guid, GuidKind expected);

}  // namespace vl
