// QueryDefs.XML as the query definition copier reads it, and what becomes
// of each definition: copied, waiting in UnResQueryDefs.xml for an
// external project that is not located, or lost (the views that use a
// definition that is not copied stop the run).
#include <algorithm>

#include "baseline/check/check_steps.h"
#include "errors/vl_error.h"
#include "host/project/query_parser.h"
#include "host/text/convert.h"
#include "host/xml/named_elements.h"

namespace vl {

namespace {

constexpr const char* kNotCopied = "the query services refuse it and the definition is not copied";

// The text of the GUID token at `position` (1-based, in characters) as the
// query string writes it: the run translates GUIDs exactly as written,
// whereas tokens hold them in upper case.
std::string GuidAsWritten(const std::string& query, size_t position) {
  size_t chars = 0;
  for (size_t i = 0; i < query.size(); ++i) {
    if ((static_cast<unsigned char>(query[i]) & 0xC0) == 0x80) continue;
    if (++chars == position) return query.substr(i, 38);
  }
  return "";
}

// Why the query services refuse the local query `query`, or "".
std::string RefusalOf(const GuidRegistry& guids, const std::string& query) {
  QueryTree tree;
  std::string error;
  if (!ParseQueryText(query, tree, error))
    return "the query services refuse the query (" + error + "): the definition is not copied";
  auto check = [&](const QueryToken& token, GuidKind kind) {
    if (error.empty()) error = UnresolvedReason(guids, GuidAsWritten(query, token.position), kind);
  };
  check(tree.reqType, GuidKind::kRequirementType);
  for (const QueryCondition& c : tree.conditions) {
    check(c.attribute, GuidKind::kAttribute);
    if (c.value.kind == QueryTokenKind::kGuid) check(c.value, GuidKind::kListItem);
  }
  return error.empty() ? "" : "the query " + error + ": " + kNotCopied;
}

// The attributes the copier converts before it translates the definition.
bool ReadsAsTheCopierReadsIt(CheckRun& run, const CheckedXmlFile& file,
                             const pugi::xml_node& qdef) {
  const std::string date = qdef.attribute("querydatetime").value();
  const std::string type = qdef.attribute("querybasetype").value();
  const char* bad = !ParseDate(date) ? "querydatetime" : nullptr;
  if (!bad) {
    try {
      CLng(type);
    } catch (const VlError&) {
      bad = "querybasetype";
    }
  }
  if (!bad) return true;
  run.Report(CheckSeverity::kLosesData, file, qdef,
             std::string("\"") + qdef.attribute(bad).value() + "\" is not " +
                 (bad == std::string("querydatetime") ? "a date" : "a whole number") +
                 ": the definition is not copied",
             bad);
  return false;
}

void CheckQueryDefinition(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& qdef) {
  const BaselineCheckInput& in = run.input();
  QueryDefinitionFates& fates = run.queries();
  const std::string id = qdef.attribute("ID").value();
  const std::string query = ChildElementText(qdef, "QUERYSTRING");
  std::string project;
  const bool external = ExternalProjectOfQuery(query, project);
  const bool located =
      std::find(in.located_external_projects.begin(), in.located_external_projects.end(),
                project) != in.located_external_projects.end();
  if (external && project != in.baseline_guid && !located) {
    fates.waiting.insert(id);
    run.Report(CheckSeverity::kNote, file, qdef,
               "the query names the external project " + project +
                   ", which is not located: the definition waits in UnResQueryDefs.xml");
    return;
  }
  if (!ReadsAsTheCopierReadsIt(run, file, qdef)) return;
  run.guids().Record(id, GuidKind::kQueryDefinition);
  run.Resolve(file, qdef, qdef.attribute("queryuserid").value(), GuidKind::kUser,
              CheckSeverity::kNote, "the user running the creation becomes the owner",
              "queryuserid");
  std::string refusal;
  if (external && project == in.baseline_guid)
    refusal = std::string("the query names the baseline's own project as an external project: ") +
              kNotCopied;
  else if (external)
    fates.external.insert(id);
  else if (!query.empty())
    refusal = RefusalOf(run.guids(), query);
  if (refusal.empty()) return;
  fates.lost.insert(id);
  pugi::xml_node text = qdef.child("QUERYSTRING");
  run.Report(CheckSeverity::kLosesData, file, text ? text : qdef, refusal);
}

}  // namespace

void CheckQueryDefinitions(CheckRun& run) {
  CheckedXmlFile file;
  if (!run.Open(file, "QueryDefs.XML")) {
    run.DefinitionsUnread({GuidKind::kQueryDefinition}, "QueryDefs.XML");
    return;
  }
  pugi::xml_node root = run.Root(file, "//PROJECT", "PROJECT");
  if (!root) return;
  pugi::xml_node defs = run.RequireChild(file, root, "QUERYDEFS");
  for (const pugi::xml_node& qdef : DescendantsNamed(defs, "QUERYDEF"))
    CheckQueryDefinition(run, file, qdef);
}

}  // namespace vl
