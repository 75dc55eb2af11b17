#include "baseline/check/guid_registry.h"

namespace vl {

const char* KindText(GuidKind kind) {
  switch (kind) {
    case GuidKind::kGroup:
      return "group";
    case GuidKind::kUser:
      return "user";
    case GuidKind::kAttribute:
      return "attribute";
    case GuidKind::kListItem:
      return "list item";
    case GuidKind::kRequirementType:
      return "requirement type";
    case GuidKind::kDocumentType:
      return "document type";
    case GuidKind::kQueryDefinition:
      return "query definition";
    case GuidKind::kPackage:
      return "package";
    case GuidKind::kDocument:
      return "document";
    case GuidKind::kView:
      break;
  }
  return "view";
}

bool GuidRegistry::Record(std::string_view guid, GuidKind kind) {
  return kinds_.Insert(guid, kind, texts_).second;
}

std::optional<GuidKind> GuidRegistry::KindOf(std::string_view guid) const {
  const GuidKind* found = kinds_.Find(guid);
  if (!found) return std::nullopt;
  return *found;
}

std::string UnresolvedReason(const GuidRegistry& guids, std::string_view guid, GuidKind expected) {
  const std::optional<GuidKind> kind = guids.KindOf(guid);
  if (kind == expected) return "";
  const std::string wanted = KindText(expected);
  if (guid.empty()) return "names no " + wanted;
  const std::string text(guid);
  if (!kind) return "names the " + wanted + " " + text + ", which the baseline does not hold";
  return "names " + text + ", which is a " + KindText(*kind) + ", not a " + wanted;
}

}  // namespace vl
