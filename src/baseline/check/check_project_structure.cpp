// ProjectStructure.XML as the structure copier reads it, in its four
// passes: attributes with their list items, requirement types, the
// attributes of each requirement type, document types.
#include "baseline/check/check_steps.h"
#include "host/xml/named_elements.h"

namespace vl {

namespace {

void CheckAttributes(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& root) {
  pugi::xml_node attributes = run.RequireChild(file, root, "Attributes");
  for (const pugi::xml_node& attr : DescendantsNamed(attributes, "Attribute")) {
    run.guids().Record(run.RequireAttr(file, attr, "ID"), GuidKind::kAttribute);
    for (const char* name : {"Label", "DefaultValue", "Description", "FieldProperties"})
      run.RequireAttr(file, attr, name);
    for (const char* name : {"Rank", "DataType", "Flags"}) run.RequireLong(file, attr, name);
    for (const char* name : {"AutoSuspect", "Required"}) run.RequireBool(file, attr, name);
    for (const pugi::xml_node& item : DescendantsNamed(attr.child("ListItems"), "ListItem")) {
      run.RequireAttr(file, item, "ItemText");
      run.RequireLong(file, item, "ItemRank");
      run.RequireBool(file, item, "Default");
      run.guids().Record(run.RequireAttr(file, item, "ID"), GuidKind::kListItem);
    }
  }
}

void CheckRequirementTypes(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& types) {
  for (const pugi::xml_node& type : DescendantsNamed(types, "RequirementType")) {
    run.guids().Record(run.RequireAttr(file, type, "ID"), GuidKind::kRequirementType);
    for (const char* name : {"Name", "Description", "RequirementPrefix", "RequirementMustContain"})
      run.RequireAttr(file, type, name);
    for (const char* name :
         {"RequirementStyle", "RequirementColor", "InitialReqNumber", "LastReqNumber"})
      run.RequireLong(file, type, name);
    run.RequireBool(file, type, "AllowExternalReferences");
  }
}

void CheckTypeAttributes(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& types) {
  for (const pugi::xml_node& type : DescendantsNamed(types, "RequirementType")) {
    pugi::xml_node attributes = run.RequireChild(file, type, "Attributes");
    for (const pugi::xml_node& attr : DescendantsNamed(attributes, "Attribute")) {
      run.ResolveAttr(file, attr, "ID", GuidKind::kAttribute, CheckSeverity::kStopsRun,
                      "the requirement type cannot take it");
    }
  }
}

void CheckDocumentTypes(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& root) {
  pugi::xml_node types = root.select_node("//DocumentTypes").node();
  if (!types) {
    run.Report(CheckSeverity::kStopsRun, file, root, "the element \"DocumentTypes\" is missing");
    return;
  }
  for (const pugi::xml_node& type : DescendantsNamed(types, "DocumentType")) {
    run.guids().Record(run.RequireAttr(file, type, "ID"), GuidKind::kDocumentType);
    for (const char* name :
         {"Name", "Description", "FileExtension", "TemplateName", "TemplateDescription",
          "TemplateFileName", "TemplateHelpFile", "DefaultRequirementName"})
      run.RequireAttr(file, type, name);
    const std::string defaultType = run.RequireAttr(file, type, "DefaultRequirementTypeGUID");
    if (!type.attribute("DefaultRequirementTypeGUID") || defaultType.empty()) continue;
    // A GUID the run has not translated gives the type no default; one it
    // translated to another kind of object stops it.
    if (!run.guids().KindOf(defaultType))
      run.Report(CheckSeverity::kNote, file, type,
                 "names the requirement type " + defaultType +
                     ", which the baseline does not hold: the document type gets no default "
                     "requirement type",
                 "DefaultRequirementTypeGUID");
    else
      run.Resolve(file, type, defaultType, GuidKind::kRequirementType, CheckSeverity::kStopsRun,
                  "the document type cannot take it", "DefaultRequirementTypeGUID");
  }
}

}  // namespace

void CheckProjectStructure(CheckRun& run) {
  CheckedXmlFile file;
  if (!run.Open(file, "ProjectStructure.XML")) {
    run.DefinitionsUnread({GuidKind::kAttribute, GuidKind::kListItem, GuidKind::kRequirementType,
                           GuidKind::kDocumentType},
                          "ProjectStructure.XML");
    return;
  }
  pugi::xml_node root = run.Root(file, "//PROJECT", "PROJECT");
  if (!root) return;
  CheckAttributes(run, file, root);
  pugi::xml_node types = run.RequireChild(file, root, "RequirementTypes");
  CheckRequirementTypes(run, file, types);
  CheckTypeAttributes(run, file, types);
  CheckDocumentTypes(run, file, root);
}

}  // namespace vl
