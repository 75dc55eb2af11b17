// Permissions.XML as the group rights copier reads it: per group its
// document type rights, then its requirement type rights with their
// attribute rights and those attributes' list item rights. Every section
// element is required, even an empty one.
#include "baseline/check/check_steps.h"
#include "host/xml/named_elements.h"

namespace vl {

namespace {

constexpr const char* kNotCopied = "the rights cannot be copied";

// The rights entries of one section: `entry` elements below `owner`'s
// required `section`, each with its access rights, its `rights` and the
// GUID of an object of `kind`.
std::vector<pugi::xml_node> CheckRights(CheckRun& run, const CheckedXmlFile& file,
                                        const pugi::xml_node& owner, const char* section,
                                        const char* entry, GuidKind kind,
                                        std::initializer_list<const char*> rights) {
  pugi::xml_node list = run.RequireChild(file, owner, section);
  std::vector<pugi::xml_node> entries = DescendantsNamed(list, entry);
  for (const pugi::xml_node& right : entries) {
    for (const char* name : rights) run.RequireLong(file, right, name);
    run.ResolveAttr(file, right, "ID", kind, CheckSeverity::kStopsRun, kNotCopied);
  }
  return entries;
}

}  // namespace

void CheckGroupRights(CheckRun& run) {
  CheckedXmlFile file;
  if (!run.Open(file, "Permissions.XML")) return;
  if (!run.Root(file, "//Project", "Project")) return;
  pugi::xml_node groups = run.Root(file, "//Groups", "Groups");
  for (const pugi::xml_node& group : DescendantsNamed(groups, "Group")) {
    run.ResolveAttr(file, group, "ID", GuidKind::kGroup, CheckSeverity::kStopsRun, kNotCopied);
    CheckRights(run, file, group, "DocumentTypeRights", "DocumentTypeRight",
                GuidKind::kDocumentType, {"AccessRights"});
    for (const pugi::xml_node& type :
         CheckRights(run, file, group, "RequirementTypeRights", "RequirementTypeRight",
                     GuidKind::kRequirementType,
                     {"AccessRights", "RequirementTextAccessRights",
                      "RequirementTraceabilityAccessRights", "RequirementNameAccessRights"}))
      for (const pugi::xml_node& attr :
           CheckRights(run, file, type, "AttributeRights", "AttributeRight", GuidKind::kAttribute,
                       {"AccessRights"}))
        CheckRights(run, file, attr, "ListItemRights", "ListItemRight", GuidKind::kListItem,
                    {"AccessRights"});
  }
}

}  // namespace vl
