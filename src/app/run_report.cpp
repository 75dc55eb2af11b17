#include "app/run_report.h"

#include <filesystem>
#include <map>
#include <pugixml.hpp>

#include "copy/db_conventions.h"
#include "copy/ins_ext_proj_info.h"
#include "copy/ins_pkg_req_trace_info.h"
#include "copy/ins_view_info.h"
#include "copy/xml_elements.h"
#include "host/project/pg_projects.h"
#include "host/text/convert.h"
#include "host/text/user_text.h"
#include "host/xml/xml_file.h"

namespace vl {

std::string ProjectPlace::Describe() const {
  if (!database_file.empty()) return database + " database " + database_file;
  if (schema.empty() && server.empty()) return database;
  std::string text = database + " server " + (server.empty() ? "(the default)" : server);
  if (!server_database.empty()) text += ", database " + server_database;
  return text + ", schema " + schema;
}

ProjectPlace PlannedProjectPlace(const Session& session) {
  const BLProjInfo& d = *session.goBLProjInfo;
  ProjectPlace p;
  p.name = d.VLPName();
  p.database = d.VLPDBDisplayName();
  if (d.VLPFolder().empty()) return p;
  p.file = d.CompleteVLPPathName() + ".vlp";
  if (p.database != kPostgreSQLDisplayName || !session.goNewProjDef) {
    // The database file is the project file's name with ".db", beside it.
    p.database_file = d.CompleteVLPPathName() + ".db";
    return p;
  }
  try {
    const PgLocation where =
        PgLocationOfDefinition(session.goNewProjDef->GetConnection(), d.VLPName());
    p.server = where.host.empty() && where.port.empty() ? ""
               : where.port.empty()                     ? where.host
                                                        : where.host + ":" + where.port;
    p.server_database = where.database;
    p.schema = where.schema;
  } catch (const std::exception&) {
    // Settings the server cannot take were refused before; nothing to show.
  }
  return p;
}

namespace {

pugi::xml_node LoadUnRes(pugi::xml_document& doc, const std::string& folder, const char* name) {
  const std::string path = folder + "/" + name;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) || !LoadXmlPath(doc, path)) return {};
  return doc.child("PROJECT");
}

}  // namespace

std::vector<PendingReferences> ReadPendingReferences(const std::string& folder,
                                                     const BLProjInfo& baseline) {
  std::vector<PendingReferences> all;
  auto entry = [&](const std::string& guid) -> PendingReferences& {
    for (PendingReferences& p : all)
      if (EqualsNoCase(p.project_guid, guid)) return p;
    PendingReferences& p = all.emplace_back();
    p.project_guid = guid;
    return p;
  };
  baseline.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& e) {
    PendingReferences& p = entry(e.GUID);
    p.name = e.Name, p.prefix = e.Prefix, p.location = e.Loc;
  });
  pugi::xml_document projects, qdefs, views, traces;
  for (pugi::xml_node e :
       DescendantsNamed(LoadUnRes(projects, folder, kUnResExtProjsFile), "ExternalProject")) {
    PendingReferences& p = entry(e.attribute("GUID").value());
    p.registration = true;
    if (p.name.empty()) p.name = e.attribute("Name").value();
  }
  // A view waits for the project of the query definition it uses.
  std::map<std::string, std::string> project_of_query;
  for (pugi::xml_node q :
       DescendantsNamed(LoadUnRes(qdefs, folder, kUnResQueryDefsFile), "QUERYDEF")) {
    std::string project;
    InsViewInfo::GetExtProjRef(ElementText(q, "QUERYSTRING"), project);
    project_of_query[q.attribute("ID").value()] = project;
    ++entry(project).query_definitions;
  }
  for (pugi::xml_node v : DescendantsNamed(LoadUnRes(views, folder, kUnResViewsFile), "View")) {
    auto it = project_of_query.find(ElementText(v, "ViewQueryDefGUID"));
    if (it == project_of_query.end()) it = project_of_query.find(ElementText(v, "SecQueryID"));
    ++entry(it == project_of_query.end() ? "" : it->second).views;
  }
  for (pugi::xml_node r :
       DescendantsNamed(LoadUnRes(traces, folder, kUnResExtTracesFile), "REQURCPT"))
    for (pugi::xml_node t : r.children("URTRACE")) ++entry(t.attribute("EPGUID").value()).traces;
  std::erase_if(all, [](const PendingReferences& p) {
    return !p.registration && p.query_definitions == 0 && p.views == 0 && p.traces == 0;
  });
  return all;
}

size_t RunReport::Count(const std::string& severity) const {
  size_t n = 0;
  for (const ReportMessage& m : messages) n += m.severity == severity;
  return n;
}

std::string PendingText(const PendingReferences& p) {
  std::vector<std::string> parts;
  if (p.registration) parts.push_back("its entry as an external project");
  if (p.query_definitions)
    parts.push_back(CountText(p.query_definitions, "query definition", "query definitions"));
  if (p.views) parts.push_back(CountText(p.views, "view", "views"));
  if (p.traces) parts.push_back(CountText(p.traces, "trace", "traces"));
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return text;
}

std::string CompletionAdvice(const PendingReferences& p) {
  const std::string who = p.name.empty() ? "the project " + p.project_guid : "\"" + p.name + "\"";
  return "Completed when " + who +
         " is created from its baseline with this project as its external project (in the "
         "wizard: this project file as that external project's location)";
}

std::string CompletionCommand(const std::string& projectFile, const std::string& baselineGuid) {
  // The file as a shell takes it.
  std::string file = projectFile;
  if (file.find_first_of(" \t'\"$`\\;&|<>()*?") != std::string::npos) {
    file = "'";
    for (char c : projectFile) file += c == '\'' ? std::string("'\\''") : std::string(1, c);
    file += "'";
  }
  return "vlbaseline create BASELINE --external " + baselineGuid + "=" + file;
}

}  // namespace vl
