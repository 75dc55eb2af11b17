#include "app/verify/expectations.h"

#include <algorithm>
#include <filesystem>

#include "copy/db_conventions.h"
#include "copy/xml_elements.h"
#include "host/project/query_parser.h"
#include "host/text/convert.h"
#include "host/xml/xml_file.h"

namespace vl::verify {

Expectations::Expectations(VerifyInputs& in, std::function<void(const ExpectedRow&)> sink)
    : in_(in), db_(*in.db), sink_(std::move(sink)) {
  project_guid_ = in.file.guid;
  project_id_ = db_.IdOf("vlProjects", project_guid_);
  admin_id_ = UnknownCell("(no user admin)");
  for (size_t u : db_.RowsWhere("vlUsers", "LoginName", "admin"))
    admin_id_ = db_.Rows("vlUsers").Get(u, ColumnIndex(LayoutOf("vlUsers"), "ID"));
  pending_traces_ = in.pending.traces;
}

void Expectations::Build() {
  Project();
  Groups();
  Users();
  Attributes();
  RequirementTypes();
  DocumentTypes();
  ExternalProjects();
  Rights();
  QueryDefinitions();
  Packages();
  if (in_.choices.discussions) Discussions();
}

void Expectations::Add(const std::string& table, const ObjectRef& obj, Cells cells, bool pending,
                       const std::string& summary) {
  sink_(ExpectedRow{table, obj, std::move(cells), pending, summary});
}

void Expectations::Note(const std::string& note) {
  if (!note.empty()) notes_.push_back(note);
}

Cell Expectations::Ref(const std::string& table, const std::string& oldGuid) const {
  const std::string g = in_.ps.New(oldGuid);
  if (g.empty()) return UnknownCell("(" + oldGuid + " not copied)");
  return db_.IdOf(table, g);
}

Cell Expectations::ReqRef(const std::string& oldGuid) const {
  const std::string g = in_.req.New(oldGuid);
  if (g.empty()) return UnknownCell("(requirement " + oldGuid + " not copied)");
  return db_.IdOf("vlRequirements", g);
}

std::string Expectations::NewGuidAnywhere(const std::string& oldGuid,
                                          const LinkedProject** by) const {
  if (by) *by = nullptr;
  std::string g = in_.ps.New(oldGuid);
  if (!g.empty()) return g;
  for (const LinkedProject& l : *in_.linked) {
    g = l.ps.New(oldGuid);
    // Only objects whose row is here: the linked project's own objects
    // are in its own database.
    if (!g.empty() && (db_.Has("VlQueryDefinitions", g) || db_.Has("VlViews", g))) {
      if (by) *by = &l;
      return g;
    }
  }
  return "";
}

LinkedProject* Expectations::LinkedFor(const std::string& baselineGuid) const {
  for (LinkedProject& l : *in_.linked)
    if (l.baseline_guid == baselineGuid || l.guid == baselineGuid) return &l;
  return nullptr;
}

Cell Expectations::OtherRequirementId(const std::string& epGuid, const std::string& trid) const {
  LinkedProject* l = LinkedFor(epGuid);
  if (!l) return UnknownCell("(project " + epGuid + " not linked)");
  if (!l->requirements_read && !(in_.read_linked_requirements && in_.read_linked_requirements(*l)))
    return UnknownCell("(the database of " + l->project_file + " cannot be read)");
  const std::string g = l->req.New(trid);
  auto it = l->requirement_ids.find(g);
  if (g.empty() || it == l->requirement_ids.end())
    return UnknownCell("(requirement " + trid + " not in " + l->project_file + ")");
  return TextCell(it->second);
}

namespace {

// The query string as the query services keep it; "" when they refuse it.
std::string Canonical(const std::string& query) {
  if (query.empty()) return query;
  QueryTree tree;
  std::string error;
  return ParseQueryText(query, tree, error) ? tree.Canonical() : "";
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The pairs of a project's ResRTGUIDs.xml: its attributes, list items and
// requirement types.
std::unordered_map<std::string, std::string> ResolvedTypes(const std::string& projectFile) {
  std::unordered_map<std::string, std::string> pairs;
  pugi::xml_document doc;
  const std::string path =
      (std::filesystem::path(projectFile).parent_path() / "ResRTGUIDs.xml").string();
  if (!std::filesystem::exists(path) || !LoadXmlPath(doc, path)) return pairs;
  for (pugi::xml_node g : DescendantsNamed(doc.last_child(), "GUID"))
    pairs.emplace(g.attribute("OLDGUID").value(), g.attribute("NEWGUID").value());
  return pairs;
}

}  // namespace

void Expectations::QueryDefinitions() {
  pugi::xml_node root = in_.baseline->Root("QueryDefs.XML");
  if (!root) return Note(in_.baseline->Problem("QueryDefs.XML"));
  for (const pugi::xml_node& q : DescendantsNamed(root.child("QUERYDEFS"), "QUERYDEF")) {
    const std::string old = q.attribute("ID").value();
    const std::string query = ElementText(q, "QUERYSTRING");
    const std::string external = ExternalProjectOfQuery(query);
    if (!external.empty()) external_queries_[old] = external;
    const LinkedProject* completedBy = nullptr;
    ObjectRef obj{"query definition", q.attribute("Name").value(), old,
                  NewGuidAnywhere(old, &completedBy)};
    const bool waits = in_.pending.query_definitions.count(old) != 0 && obj.new_guid.empty();
    std::string renewed;
    Cells cells = {{"VLGUID", TextCell(obj.new_guid)}, {"PROJECTID", project_id_}};
    if (completedBy) {
      // Completed by the run of the project it refers to: that project's
      // new GUID stands in the scope and its objects' GUIDs in the
      // conditions; the owner could not be translated there.
      renewed = RenewQueryGuids(ReplaceAll(query, external, completedBy->ps.project_guid),
                                [&](const std::string& g) { return completedBy->ps.New(g); });
    } else {
      const std::string owner = in_.ps.New(q.attribute("queryuserid").value());
      cells.push_back(
          {"QUERYUSERID", db_.Has("vlUsers", owner) ? db_.IdOf("vlUsers", owner) : admin_id_});
      if (external.empty()) {
        renewed = RenewQueryGuids(query, [&](const std::string& g) { return in_.ps.New(g); });
      } else if (LinkedProject* l = LinkedFor(external)) {
        // Renewed through the external project's own translations.
        std::unordered_map<std::string, std::string> types = ResolvedTypes(l->project_file);
        types[external] = l->guid;
        renewed = RenewQueryGuids(query, [&](const std::string& g) {
          auto it = types.find(g);
          return it == types.end() ? std::string() : it->second;
        });
      }
    }
    const std::string canonical = Canonical(renewed);
    if (!renewed.empty() || query.empty()) {
      if (canonical.empty() && !query.empty() && !db_.Has("VlQueryDefinitions", obj.new_guid)) {
        Note("query definition \"" + obj.name + "\" (" + old +
             ") is not copied: the query services refuse its query string");
        continue;
      }
      cells.push_back({"QUERYSTRING", TextCell(ExactText(canonical))});
    }
    Cell date, baseType;
    try {
      date = TextCell(FormatDateTime(CDate(q.attribute("querydatetime").value())));
      baseType = IntCell(CLng(q.attribute("querybasetype").value()));
    } catch (const std::exception&) {
      Note("query definition " + old + " has a date or base type that does not convert");
      continue;
    }
    cells.insert(cells.end(), {{"QUERYNAME", StoredCell(obj.name)},
                               {"QUERYDESCRIPTION", StoredCell(ElementText(q, "QUERYDESCRIPTION"))},
                               {"QUERYDATETIME", date},
                               {"QUERYREASON", StoredCell(q.attribute("queryreason").value())},
                               {"QUERYBASETYPE", baseType}});
    Add("VlQueryDefinitions", obj, std::move(cells), waits);
  }
}

void Expectations::Discussions() {
  pugi::xml_node root = in_.baseline->Root("Discussions.XML");
  if (!root) return Note(in_.baseline->Problem("Discussions.XML"));
  // Discussions carry no GUID: the n-th discussion of a subject is the
  // n-th row with that subject, in the order of their IDs.
  const TableLayout& layout = LayoutOf("VLDISCUSSIONS");
  const size_t subjectCol = ColumnIndex(layout, "SUBJECT");
  const TableRows& rows = db_.Rows("VLDISCUSSIONS");
  for (size_t i = 0; i < rows.size(); ++i)
    discussion_ids_[std::string(rows.Text(i, subjectCol))].push_back(rows.Get(i, 0));
  for (auto& [subject, ids] : discussion_ids_)
    std::sort(ids.begin(), ids.end(),
              [](const Cell& a, const Cell& b) { return std::stoll(a.text) < std::stoll(b.text); });
  std::unordered_map<std::string, size_t> seen;
  for (pugi::xml_node d : root.child("Discs").children("Disc"))
    Discussion(d, Cell{}, IntCell(0), seen);
}

void Expectations::Discussion(const pugi::xml_node& disc, const Cell& rootId, const Cell& parentId,
                              std::unordered_map<std::string, size_t>& seen) {
  const std::string subject = StoredText(ElementText(disc, "Subj"));
  const std::vector<Cell>& ids = discussion_ids_[subject];
  const size_t n = seen[subject]++;
  const Cell id = n < ids.size() ? ids[n] : UnknownCell("(no discussion row)");
  const Cell root = rootId.text.empty() && !rootId.unknown ? id : rootId;
  ObjectRef obj{"discussion", ElementText(disc, "Subj"), "", ""};
  auto number = [&](const char* name, int32_t fallback) {
    pugi::xml_node child = disc.child(name);
    try {
      return IntCell(child ? CLng(NodeText(child)) : fallback);
    } catch (const std::exception&) {
      return IntCell(fallback);
    }
  };
  Cells cells = {{"ID", id},
                 {"ROOTID", root},
                 {"PARENTID", parentId},
                 {"SUBJECT", TextCell(subject)},
                 {"MESSAGE", StoredCell(ElementText(disc, "Desc"))},
                 {"AUTHORID", Ref("vlUsers", ElementText(disc, "AID"))},
                 {"PRIORITY", number("Priority", 2)},
                 {"STATUS", number("Status", 1)},
                 {"HASRESPONSES", BoolCell(static_cast<bool>(disc.child("Replies")))},
                 {"RESTRICTED", number("Restrict", 0)}};
  // Without a date of its own a discussion gets the time it was copied.
  if (ParseDate(ElementText(disc, "Date")))
    cells.push_back({"SUBMITDATETIME", DateCell(ElementText(disc, "Date"))});
  Add("VLDISCUSSIONS", obj, std::move(cells));
  Add("VLPROJECTDISCUSSIONS", obj, {{"PROJECTID", project_id_}, {"DISCUSSIONID", id}});
  for (const pugi::xml_node& u : DescendantsNamed(disc.child("DUsers"), "DUsr")) {
    const Cell user = Ref("vlUsers", ElementText(u, "DUID"));
    Add("VLDISCUSSIONUSERS", obj, {{"DISCUSSIONID", id}, {"USERID", user}});
    Add("VLDISCUSSIONSREAD", obj, {{"DISCUSSIONID", id}, {"USERID", user}});
  }
  for (const pugi::xml_node& g : DescendantsNamed(disc.child("DGroups"), "DGroup"))
    Add("VLDISCUSSIONGROUPS", obj,
        {{"DISCUSSIONID", id}, {"GROUPID", Ref("vlUserGroups", ElementText(g, "DGID"))}});
  for (const pugi::xml_node& r : DescendantsNamed(disc.child("DiscReqs"), "DiscReq"))
    Add("VLDISCUSSIONREQUIREMENTS", obj,
        {{"DISCUSSIONID", id}, {"REQUIREMENTID", ReqRef(ElementText(r, "GUID"))}});
  for (pugi::xml_node reply : disc.child("Replies").children("Disc"))
    Discussion(reply, root, id, seen);
}

}  // namespace vl::verify
