// ProjectStructure.XML (attributes, requirement types, document types) and
// Permissions.XML (the groups' rights on them).
#include "gen-baseline/baseline_files.h"

namespace vl::gen {

namespace {

void WriteAttributes(XmlWriter& xml, const BaselinePlan& plan) {
  xml.Start("Attributes");
  for (size_t a = 0; a < plan.attributes.size(); ++a) {
    const AttributePlan& attr = plan.attributes[a];
    xml.Start("Attribute")
        .Attr("ID", attr.guid)
        .Attr("Label", attr.label)
        .Attr("Rank", static_cast<long long>(a + 1))
        .Attr("AutoSuspect", a % 2 == 0 ? "True" : "False")
        .Attr("Required", a == 0 ? "True" : "False")
        .Attr("DataType", attr.data_type)
        .Attr("DefaultValue", attr.default_value)
        .Attr("Flags", "0")
        .Attr("Description", "The " + attr.label + " of a requirement")
        .Attr("FieldProperties", attr.data_type == kDataTypeText ? "MaxLength=4000;" : "");
    if (attr.IsList()) {
      xml.Start("ListItems");
      for (size_t i = 0; i < attr.items.size(); ++i) {
        const ListItemPlan& item = attr.items[i];
        xml.Start("ListItem")
            .Attr("ItemRank", static_cast<long long>(i + 1))
            .Attr("ItemText", item.text)
            .Attr("Default", item.is_default ? "True" : "False")
            .Attr("ID", item.guid)
            .End();
      }
      xml.End();
    }
    xml.End();
  }
  xml.End();
}

void WriteReqTypes(XmlWriter& xml, const BaselinePlan& plan) {
  xml.Start("RequirementTypes");
  for (size_t t = 0; t < plan.req_types.size(); ++t) {
    const ReqTypePlan& type = plan.req_types[t];
    xml.Start("RequirementType")
        .Attr("ID", type.guid)
        .Attr("Name", type.name)
        .Attr("Description", type.name + " requirements")
        .Attr("RequirementPrefix", type.prefix)
        .Attr("RequirementStyle", static_cast<long long>(t))
        .Attr("RequirementColor", 0x0000FF << (8 * (t % 3)))
        .Attr("RequirementMustContain", t == 0 ? "shall" : "")
        .Attr("InitialReqNumber", 1)
        .Attr("LastReqNumber", type.last_number)
        .Attr("AllowExternalReferences", t == 0 ? "True" : "False");
    xml.Start("Attributes");
    for (int a : type.attributes) xml.Start("Attribute").Attr("ID", plan.attributes[a].guid).End();
    xml.End().End();
  }
  xml.End();
}

void WriteDocTypes(XmlWriter& xml, const BaselinePlan& plan) {
  xml.Start("DocumentTypes");
  for (const DocTypePlan& type : plan.doc_types) {
    bool has_default = type.default_req_type >= 0;
    xml.Start("DocumentType")
        .Attr("ID", type.guid)
        .Attr("Name", type.name)
        .Attr("Description", type.name + " documents")
        .Attr("FileExtension", type.extension)
        .Attr("DefaultRequirementTypeGUID",
              has_default ? plan.req_types[type.default_req_type].guid : "")
        .Attr("TemplateName", type.name + " template")
        .Attr("TemplateDescription", "Outline of a " + type.name)
        .Attr("TemplateFileName", type.name.substr(0, 4) + "." + type.extension)
        .Attr("TemplateHelpFile", "")
        .Attr("DefaultRequirementName",
              has_default ? plan.req_types[type.default_req_type].name : "")
        .End();
  }
  xml.End();
}

// Rights on requirement types, with every section present (the copier
// needs them even when empty): attribute rights and, below each, the list
// item rights (empty for attributes without list items).
void WriteReqTypeRights(XmlWriter& xml, const BaselinePlan& plan, const GroupPlan& group) {
  xml.Start("RequirementTypeRights");
  for (const ReqTypePlan& type : plan.req_types) {
    xml.Start("RequirementTypeRight")
        .Attr("ID", type.guid)
        .Attr("AccessRights", group.rights & 0x1F)
        .Attr("RequirementTextAccessRights", group.rights & 0x07)
        .Attr("RequirementTraceabilityAccessRights", group.rights & 0x03)
        .Attr("RequirementNameAccessRights", group.rights & 0x07);
    xml.Start("AttributeRights");
    for (int a : type.attributes) {
      const AttributePlan& attr = plan.attributes[a];
      xml.Start("AttributeRight").Attr("ID", attr.guid).Attr("AccessRights", group.rights & 0x07);
      xml.Start("ListItemRights");
      for (const ListItemPlan& item : attr.items) {
        xml.Start("ListItemRight")
            .Attr("ID", item.guid)
            .Attr("AccessRights", group.rights & 0x03)
            .End();
      }
      xml.End().End();
    }
    xml.End().End();
  }
  xml.End();
}

}  // namespace

void WriteProjectStructure(WriteContext& ctx) {
  XmlWriter xml = ctx.Open("ProjectStructure.XML");
  xml.Start("PROJECT");
  WriteAttributes(xml, ctx.plan);
  WriteReqTypes(xml, ctx.plan);
  WriteDocTypes(xml, ctx.plan);
  xml.Close();
}

void WritePermissions(WriteContext& ctx) {
  const BaselinePlan& plan = ctx.plan;
  XmlWriter xml = ctx.Open("Permissions.XML");
  xml.Start("Project").Start("Groups");
  for (const GroupPlan& group : plan.groups) {
    xml.Start("Group").Attr("ID", group.guid).Attr("Name", group.name);
    if (!group.rights_listed) {
      xml.Start("DocumentTypeRights").End().Start("RequirementTypeRights").End().End();
      continue;
    }
    xml.Start("DocumentTypeRights");
    for (const DocTypePlan& type : plan.doc_types) {
      xml.Start("DocumentTypeRight")
          .Attr("ID", type.guid)
          .Attr("AccessRights", group.rights & 0x0F)
          .End();
    }
    xml.End();
    WriteReqTypeRights(xml, plan, group);
    xml.End();
  }
  xml.Close();
}

}  // namespace vl::gen
