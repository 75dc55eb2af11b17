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
#include <unordered_map>
#include <unordered_set>

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

// Hashes texts of any kind alike, so that a set of strings is searched
// with a view into a document, without a copy.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;

class GuidRegistry {
 public:
  // Records `guid` for `kind` unless it is recorded already (the first
  // object keeps the GUID's translation). True when recorded now.
  bool Record(const std::string& guid, GuidKind kind);
  // The kind `guid` was first recorded for; nullopt when it was not.
  std::optional<GuidKind> KindOf(std::string_view guid) const;

  // Requirements have a translation table of their own.
  void RecordRequirement(std::string_view guid) {
    if (!IsRequirement(guid)) requirements_.emplace(guid);
  }
  bool IsRequirement(std::string_view guid) const {
    return requirements_.find(guid) != requirements_.end();
  }

 private:
  std::unordered_map<std::string, GuidKind, TextHash, std::equal_to<>> kinds_;
  TextSet requirements_;
};

// Why a reference to `guid` does not resolve to an object of `expected`,
// or "" when it does: "names the user {..}, which the baseline does not
// hold" or "names {..}, which is a group, not a user".
std::string UnresolvedReason(const GuidRegistry& guids, std::string_view guid, GuidKind expected);

}  // namespace vl
