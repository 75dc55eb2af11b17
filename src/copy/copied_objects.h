// What a creation run has copied, kind by kind, and the object it works on
// at the moment: the summary of a run counts the first, and a message about
// a reference that cannot be followed names the second.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace vl {

// The kinds in the order a summary lists them (the order of the run).
enum class CopiedKind {
  kGroup,
  kUser,
  kAttribute,
  kListItem,
  kRequirementType,
  kDocumentType,
  kExternalProject,
  kQueryDefinition,
  kPackage,
  kDocument,
  kView,
  kRequirement,
  kTrace,
  kDiscussion,
};
inline constexpr size_t kCopiedKinds = 14;

// "group" / "groups", "list item" / "list items", ...
const char* CopiedKindName(CopiedKind kind, bool plural);

class CopiedObjects {
 public:
  // One more object of `kind` is being copied; `name` and `guid` (the
  // baseline's; either may be empty) name it in later messages.
  void Copying(CopiedKind kind, const std::string& name, const std::string& guid) {
    Count(kind);
    About(kind, name, guid);
  }
  // The object worked on is `name` (`guid`) of `kind`; nothing is counted.
  void About(CopiedKind kind, const std::string& name, const std::string& guid);
  // One more object of `kind`, without changing the object worked on
  // (traces are counted one by one under their requirement).
  void Count(CopiedKind kind) { ++counts_[static_cast<size_t>(kind)]; }

  long count(CopiedKind kind) const { return counts_[static_cast<size_t>(kind)]; }
  // The object worked on, as a message names it: `view "Open issues"
  // {GUID}`; "" before the first.
  const std::string& subject() const { return subject_; }

 private:
  std::array<long, kCopiedKinds> counts_{};
  std::string subject_;
};

}  // namespace vl
