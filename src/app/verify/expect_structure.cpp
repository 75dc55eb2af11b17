// The project record, its history, users and groups, attributes and their
// list items, requirement and document types, external projects and group
// rights, as the run was to write them.
#include <filesystem>

#include "app/verify/expectations.h"
#include "copy/db_conventions.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"

namespace vl::verify {

namespace {

// A baseline attribute read as the copiers read a required number or
// Boolean; unknown when it does not convert (the copier stops there).
Cell LongAttr(const pugi::xml_node& el, const char* name) {
  try {
    return IntCell(CLng(el.attribute(name).value()));
  } catch (const std::exception&) {
    return UnknownCell(std::string("(\"") + name + "\" is no number)");
  }
}

Cell BoolAttr(const pugi::xml_node& el, const char* name) {
  try {
    return BoolCell(CBool(el.attribute(name).value()));
  } catch (const std::exception&) {
    return UnknownCell(std::string("(\"") + name + "\" is no Boolean)");
  }
}

Cell TextAttr(const pugi::xml_node& el, const char* name) {
  return StoredCell(el.attribute(name).value());
}

// An attribute as a recordset field gets it: the text as it is, NULL when
// the attribute is missing.
Cell RawAttr(const pugi::xml_node& el, const char* name) {
  pugi::xml_attribute a = el.attribute(name);
  return a ? TextCell(a.value()) : NullCell();
}

}  // namespace

void Expectations::Project() {
  pugi::xml_node p = in_.baseline->Root("Project.xml", "Project");
  if (!p) return Note(in_.baseline->Problem("Project.xml"));
  ObjectRef obj{"project", p.attribute("Name").value(), in_.ps.baseline_guid, project_guid_};
  Cells cells = {
      {"VLGUID", TextCell(project_guid_)},
      {"PREFIX", RawAttr(p, "Prefix")},
      {"DOCUMENTWORDFORMAT", BoolAttr(p, "DocumentWordFormat")},
      {"SECURITYENABLED", BoolAttr(p, "SecurityEnabled")},
      {"RSDS", Trim(p.attribute("RSDS").value()).empty() ? NullCell() : RawAttr(p, "RSDS")},
      {"FLAGS", RawAttr(p, "Flags")}};
  if (in_.choices.history) {
    cells.push_back({"VERSIONNUMBER", RawAttr(p, "VersionNumber")});
    cells.push_back({"VERSIONLABEL", RawAttr(p, "VersionLabel")});
    cells.push_back({"VERSIONDATETIME", DateCell(p.attribute("VersionDateTime").value())});
    cells.push_back({"VERSIONREASON", RawAttr(p, "VersionReason")});
    pugi::xml_node history = in_.baseline->Root("ProjectHistory.xml");
    if (!history) Note(in_.baseline->Problem("ProjectHistory.xml"));
    History(history, "vlProjectHistory", 3, project_id_, obj);
  } else {
    // One version made at the start of the run: its time and the reason
    // naming the baseline folder are the run's own, not the baseline's.
    cells.push_back({"VERSIONNUMBER", TextCell("1.000")});
    Add("vlProjectHistory", obj,
        {{"ID", project_id_},
         {"VERSIONNUMBER", TextCell("1.000")},
         {"VERSIONLABEL", TextCell("")},
         {"VERSIONUSERID", admin_id_},
         {"OVERFLOWIND", BoolCell(false)}});
  }
  Add("vlProjects", obj, std::move(cells));
}

void Expectations::History(const pugi::xml_node& source, const std::string& table, int type,
                           const Cell& ownerId, const ObjectRef& obj) {
  pugi::xml_node history = source.child("History");
  if (!in_.choices.history || !history) return;
  for (const pugi::xml_node& v : DescendantsNamed(history, "RVer")) {
    const std::string number = ElementText(v, "VNum");
    const SplitText reason = SplitAtLimit(ElementText(v, "VResn"), in_.file.version_reason_size);
    Add(table, obj,
        {{"ID", ownerId},
         {"VERSIONNUMBER", StoredCell(number)},
         {"VERSIONLABEL", StoredCell(ElementText(v, "VLbl"))},
         {"VERSIONUSERID", Ref("vlUsers", ElementText(v, "VUGUID"))},
         {"VERSIONDATETIME", DateCell(ElementText(v, "VDate"))},
         {"VERSIONREASON", StoredCell(reason.row)},
         {"OVERFLOWIND", BoolCell(reason.cut)}});
    if (reason.cut)
      Add("VlOverflowHistory", obj,
          {{"OVERFLOWTYPE", IntCell(type)},
           {"OVERFLOWID", ownerId},
           {"OVERFLOWVERSIONNUMBER", StoredCell(number)},
           {"OVERFLOWVERSIONREASON", StoredCell(reason.whole)}});
  }
}

void Expectations::CurrentVersion(const pugi::xml_node& source, Cells& cells) {
  pugi::xml_node history = source.child("History");
  std::vector<pugi::xml_node> versions;
  if (in_.choices.history && history) versions = DescendantsNamed(history, "RVer");
  if (versions.empty()) {
    // The default version: its time is the run's start, which the
    // baseline does not hold.
    cells.push_back({"VERSIONNUMBER", TextCell("1.000")});
    cells.push_back({"VERSIONLABEL", TextCell("")});
    cells.push_back({"VERSIONUSERID", admin_id_});
    if (!in_.default_reason.empty())
      cells.push_back({"VERSIONREASON", StoredCell(in_.default_reason)});
    return;
  }
  const pugi::xml_node& v = versions.back();
  cells.push_back({"VERSIONNUMBER", StoredCell(ElementText(v, "VNum"))});
  cells.push_back({"VERSIONLABEL", StoredCell(ElementText(v, "VLbl"))});
  cells.push_back({"VERSIONUSERID", Ref("vlUsers", ElementText(v, "VUGUID"))});
  cells.push_back({"VERSIONDATETIME", DateCell(ElementText(v, "VDate"))});
  cells.push_back({"VERSIONREASON", StoredCell(ElementText(v, "VResn"))});
}

void Expectations::Groups() {
  pugi::xml_node root = in_.baseline->Root("ProjectUserGroups.XML");
  if (!root) return Note(in_.baseline->Problem("ProjectUserGroups.XML"));
  for (const pugi::xml_node& g : DescendantsNamed(root, "Group")) {
    const std::string old = g.attribute("ID").value();
    ObjectRef obj{"group", g.attribute("NAME").value(), old, in_.ps.New(old)};
    Add("vlUserGroups", obj,
        {{"VLGUID", TextCell(obj.new_guid)},
         {"NAME", TextCell(ExactText(obj.name))},
         {"DESCRIPTION", TextCell(ExactText(g.attribute("DESCRIPTION").value()))},
         {"PROJECTACCESSRIGHTS", LongAttr(g, "ProjectAccessRights")},
         {"DOCTYPEACCESSRIGHTS", LongAttr(g, "DocTypeAccessRights")},
         {"REQTYPEACCESSRIGHTS", LongAttr(g, "ReqTypeAccessRights")},
         {"ATTRIBUTEACCESSRIGHTS", LongAttr(g, "AttributeAccessRights")},
         {"LISTITEMACCESSRIGHTS", LongAttr(g, "ListItemAccessRights")}});
  }
}

void Expectations::Users() {
  pugi::xml_node root = in_.baseline->Root("ProjectUserGroups.XML");
  if (!root) return;
  // Users find their group by name; the first group of that name.
  std::unordered_map<std::string, Cell> groupIds;
  const TableLayout& groups = LayoutOf("vlUserGroups");
  const size_t nameCol = ColumnIndex(groups, "NAME"), idCol = ColumnIndex(groups, "ID");
  const TableRows& rows = db_.Rows("vlUserGroups");
  for (size_t i = 0; i < rows.size(); ++i) {
    const Cell id = rows.Get(i, idCol);
    auto [it, added] = groupIds.emplace(std::string(rows.Text(i, nameCol)), id);
    if (!added && std::stoll(id.text) < std::stoll(it->second.text)) it->second = id;
  }
  for (const pugi::xml_node& u : DescendantsNamed(root, "User")) {
    const std::string old = u.attribute("ID").value();
    ObjectRef obj{"user", u.attribute("LoginName").value(), old, in_.ps.New(old)};
    auto group = groupIds.find(ExactText(u.attribute("GroupName").value()));
    Add("vlUsers", obj,
        {{"VLGUID", TextCell(obj.new_guid)},
         {"LoginName", StoredCell(obj.name)},
         {"Password", StoredCell(DecodePassword(u.attribute("Password").value()))},
         {"Active", BoolAttr(u, "Active")},
         {"FullName", TextAttr(u, "FullName")},
         {"EmailAddress", TextAttr(u, "EmailAddress")},
         {"GroupID",
          group == groupIds.end() ? UnknownCell("(no group of that name)") : group->second}});
  }
}

void Expectations::Attributes() {
  pugi::xml_node root = in_.baseline->Root("ProjectStructure.XML");
  if (!root) return Note(in_.baseline->Problem("ProjectStructure.XML"));
  for (const pugi::xml_node& a : DescendantsNamed(root.child("Attributes"), "Attribute")) {
    const std::string old = a.attribute("ID").value();
    ObjectRef obj{"attribute", a.attribute("Label").value(), old, in_.ps.New(old)};
    const Cell fieldId = db_.IdOf("vlUserDefinedFields", obj.new_guid);
    Cell defaultValue = TextAttr(a, "DefaultValue");
    for (const pugi::xml_node& li : DescendantsNamed(a.child("ListItems"), "ListItem")) {
      const std::string oldItem = li.attribute("ID").value();
      ObjectRef item{"list item", li.attribute("ItemText").value(), oldItem, in_.ps.New(oldItem)};
      const Cell itemId = db_.IdOf("vlUserDefinedListItems", item.new_guid);
      // The default value of a list attribute is its default item's ID.
      if (BoolAttr(li, "Default") == BoolCell(true)) defaultValue = itemId;
      Add("vlUserDefinedListItems", item,
          {{"VLGUID", TextCell(item.new_guid)},
           {"FIELDID", fieldId},
           {"ITEMRANK", LongAttr(li, "ItemRank")},
           {"ITEMTEXT", StoredCell(item.name)}});
    }
    Add("vlUserDefinedFields", obj,
        {{"VLGUID", TextCell(obj.new_guid)},
         {"LABEL", StoredCell(obj.name)},
         {"RANK", LongAttr(a, "Rank")},
         {"AUTOSUSPECT", BoolAttr(a, "AutoSuspect")},
         {"REQUIRED", BoolAttr(a, "Required")},
         {"DATATYPE", LongAttr(a, "DataType")},
         {"DEFAULTVALUE", defaultValue},
         {"FLAGS", LongAttr(a, "Flags")},
         {"DESCRIPTION", TextAttr(a, "Description")},
         {"FIELDPROPERTIES", TextAttr(a, "FieldProperties")}});
  }
}

void Expectations::RequirementTypes() {
  pugi::xml_node root = in_.baseline->Root("ProjectStructure.XML");
  for (const pugi::xml_node& t :
       DescendantsNamed(root.child("RequirementTypes"), "RequirementType")) {
    const std::string old = t.attribute("ID").value();
    ObjectRef obj{"requirement type", t.attribute("Name").value(), old, in_.ps.New(old)};
    const Cell typeId = db_.IdOf("vlRequirementTypes", obj.new_guid);
    Add("vlRequirementTypes", obj,
        {{"VLGUID", TextCell(obj.new_guid)},
         {"NAME", StoredCell(obj.name)},
         {"DESCRIPTION", TextAttr(t, "Description")},
         {"REQUIREMENTPREFIX", TextAttr(t, "RequirementPrefix")},
         {"REQUIREMENTSTYLE", LongAttr(t, "RequirementStyle")},
         {"REQUIREMENTCOLOR", LongAttr(t, "RequirementColor")},
         {"REQUIREMENTMUSTCONTAIN", TextAttr(t, "RequirementMustContain")},
         {"INITIALREQNUMBER", LongAttr(t, "InitialReqNumber")},
         {"LASTREQNUMBER", LongAttr(t, "LastReqNumber")},
         {"ALLOWEXTERNALREFERENCES", BoolAttr(t, "AllowExternalReferences")}});
    Add("vlProjectRequirementTypes", obj,
        {{"PROJECTID", project_id_}, {"REQUIREMENTTYPEID", typeId}});
    for (const pugi::xml_node& a : DescendantsNamed(t.child("Attributes"), "Attribute"))
      Add("vlRequirementTypeFields", obj,
          {{"REQUIREMENTTYPEID", typeId},
           {"USERDEFINEDFIELDID", Ref("vlUserDefinedFields", a.attribute("ID").value())}});
  }
}

void Expectations::DocumentTypes() {
  pugi::xml_node root = in_.baseline->Root("ProjectStructure.XML");
  pugi::xml_node types = root ? root.select_node("//DocumentTypes").node() : pugi::xml_node();
  for (const pugi::xml_node& t : DescendantsNamed(types, "DocumentType")) {
    const std::string old = t.attribute("ID").value();
    ObjectRef obj{"document type", t.attribute("Name").value(), old, in_.ps.New(old)};
    const std::string defaultType = t.attribute("DefaultRequirementTypeGUID").value();
    Add("vlDocumentTypes", obj,
        {{"VLGUID", TextCell(obj.new_guid)},
         {"NAME", StoredCell(obj.name)},
         {"DESCRIPTION", TextAttr(t, "Description")},
         {"FILEEXTENSION", TextAttr(t, "FileExtension")},
         {"DEFAULTREQUIREMENTTYPE",
          in_.ps.New(defaultType).empty() ? IntCell(0) : Ref("vlRequirementTypes", defaultType)},
         {"TEMPLATENAME", TextAttr(t, "TemplateName")},
         {"TEMPLATEDESCRIPTION", TextAttr(t, "TemplateDescription")},
         {"TEMPLATEFILENAME", TextAttr(t, "TemplateFileName")},
         {"TEMPLATEHELPFILE", TextAttr(t, "TemplateHelpFile")}});
    Add("vlProjectDocumentTypes", obj,
        {{"PROJECTID", project_id_},
         {"DOCUMENTTYPEID", db_.IdOf("vlDocumentTypes", obj.new_guid)}});
  }
}

void Expectations::ExternalProjects() {
  pugi::xml_node root = in_.baseline->Root("ExternalProjects.xml");
  if (!root) return Note(in_.baseline->Problem("ExternalProjects.xml"));
  for (pugi::xml_node e = root.first_child(); e; e = e.next_sibling()) {
    if (e.type() != pugi::node_element) continue;
    const std::string old = e.attribute("GUID").value();
    LinkedProject* linked = LinkedFor(old);
    ObjectRef obj{"external project", e.attribute("Name").value(), old, linked ? linked->guid : ""};
    const bool waits = in_.pending.external_projects.count(old) != 0 && !linked;
    const std::optional<double> connect = ParseNumber(e.attribute("ConnectAtOpen").value());
    Cells row = {{"VLGUID", TextCell(obj.new_guid)}};
    if (linked && linked->file_found) {
      const std::filesystem::path file(linked->project_file);
      row.push_back({"NAME", StoredCell(linked->name)});
      row.push_back({"DIRECTORY", StoredCell(file.parent_path().string())});
      row.push_back({"FILENAME", StoredCell(file.stem().string())});
    }
    Add("vlExternalProjects", obj, std::move(row), waits);
    Add("vlProjectExternalProjects", obj,
        {{"PROJECTID", project_id_},
         {"EXTERNALPROJECTID",
          linked ? IntCell(std::stoll(linked->row_id)) : UnknownCell("(not registered)")},
         {"CONNECTATOPEN", BoolCell(connect && *connect == -1)}},
        waits);
  }
}

void Expectations::Rights() {
  pugi::xml_node root = in_.baseline->Root("Permissions.XML", "Project");
  if (!root) return Note(in_.baseline->Problem("Permissions.XML"));
  pugi::xml_node groups = root.select_node("//Groups").node();
  for (const pugi::xml_node& g : DescendantsNamed(groups, "Group")) {
    const std::string old = g.attribute("ID").value();
    const Cell groupId = Ref("vlUserGroups", old);
    ObjectRef obj{"rights of group", "", old, in_.ps.New(old)};
    for (const pugi::xml_node& r :
         DescendantsNamed(g.child("DocumentTypeRights"), "DocumentTypeRight"))
      Add("vlDocumentTypeUsers", obj,
          {{"PROJECTID", project_id_},
           {"DOCUMENTTYPEID", Ref("vlDocumentTypes", r.attribute("ID").value())},
           {"USERGROUPID", groupId},
           {"ACCESSRIGHTS", LongAttr(r, "AccessRights")}});
    for (const pugi::xml_node& r :
         DescendantsNamed(g.child("RequirementTypeRights"), "RequirementTypeRight")) {
      Add("vlRequirementTypeUsers", obj,
          {{"PROJECTID", project_id_},
           {"REQUIREMENTTYPEID", Ref("vlRequirementTypes", r.attribute("ID").value())},
           {"USERGROUPID", groupId},
           {"ACCESSRIGHTS", LongAttr(r, "AccessRights")},
           {"REQTEXTACCESSRIGHTS", LongAttr(r, "RequirementTextAccessRights")},
           {"TRACEABILITYACCESSRIGHTS", LongAttr(r, "RequirementTraceabilityAccessRights")},
           {"REQNAMEACCESSRIGHTS", LongAttr(r, "RequirementNameAccessRights")}});
      for (const pugi::xml_node& a :
           DescendantsNamed(r.child("AttributeRights"), "AttributeRight")) {
        Add("vlUserDefinedFieldUsers", obj,
            {{"PROJECTID", project_id_},
             {"USERGROUPID", groupId},
             {"FIELDID", Ref("vlUserDefinedFields", a.attribute("ID").value())},
             {"ACCESSRIGHTS", LongAttr(a, "AccessRights")}});
        for (const pugi::xml_node& li :
             DescendantsNamed(a.child("ListItemRights"), "ListItemRight"))
          Add("vlUserDefinedListItemUsers", obj,
              {{"PROJECTID", project_id_},
               {"USERGROUPID", groupId},
               {"LISTITEMID", Ref("vlUserDefinedListItems", li.attribute("ID").value())},
               {"ACCESSRIGHTS", LongAttr(li, "AccessRights")}});
      }
    }
  }
}

}  // namespace vl::verify
