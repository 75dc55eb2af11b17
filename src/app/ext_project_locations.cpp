#include "app/ext_project_locations.h"

#include <filesystem>

#include "host/project/new_project_definition.h"
#include "host/project/pg_projects.h"
#include "host/project/project_file.h"
#include "host/text/convert.h"
#include "host/text/path_utils.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {

void RefuseLocation(Messenger& messages, long resId, const clsExtProjInfo& record) {
  std::vector<std::string> inserts = {record.Loc};
  if (resId == kResExtLocNotWaiting) inserts.push_back(record.Name);
  messages.ReportProcError("frmWizard.validateExtProjectLoc", messages.ResFormat(resId, inserts),
                           ErrorState{});
}

// The project that wrote `doc` was waiting for the baseline's project.
bool ListsBaselineProject(const pugi::xml_document& doc, const std::string& recordGuid,
                          const std::string& own_guid) {
  pugi::xml_node root = doc.document_element();
  if (!root || root.first_attribute().value() != recordGuid) return false;
  for (pugi::xpath_node n : doc.select_nodes("//ExternalProject")) {
    if (own_guid == n.node().attribute("GUID").value()) return true;
  }
  return false;
}

}  // namespace

bool validateExtProjectLoc(const clsExtProjInfo& record, const BLProjInfo& baseline,
                           Messenger& messages) {
  try {
    if (record.Loc.empty()) return true;
    if (UCase(record.Loc).find(".VLP") == std::string::npos) {
      RefuseLocation(messages, kResExtLocNotProjectFile, record);
      return false;
    }
    const std::string folder = GetParentFolderName(record.Loc);
    const std::string unres = folder + "/UnResExtProjs.xml";
    if (!std::filesystem::is_regular_file(unres)) {
      RefuseLocation(messages, kResExtLocNotWaiting, record);
      return false;
    }
    pugi::xml_document doc;
    XmlLoadResult loaded = LoadXmlPath(doc, unres);
    if (!loaded) throw VlError(err::kUnspecified, "XML", unres + ": " + loaded.message);
    if (!ListsBaselineProject(doc, record.GUID, baseline.BLXMLGUID())) {
      RefuseLocation(messages, kResExtLocNotWaiting, record);
      return false;
    }
    return true;
  } catch (const std::exception&) {
    messages.ReportProcError("frmWizard.validateExtProjectLoc", "");
    return false;
  }
}

bool SaveExtProjLocations(const std::vector<clsExtProjInfo>& rows, BLProjInfo& baseline,
                          Messenger& messages) {
  try {
    for (const clsExtProjInfo& row : rows) {
      clsExtProjInfo* stored = baseline.colExtProjs().Find(row.GUID);
      if (!stored) continue;
      if (!validateExtProjectLoc(row, baseline, messages)) return false;
      stored->Loc = row.Loc;
    }
    return true;
  } catch (const std::exception&) {
    messages.ReportProcError("frmWizard.SaveExtProjLocations", "");
    return false;
  }
}

std::string DescribeProjectPlace(const std::string& vlp) {
  if (vlp.empty()) return "";
  try {
    const ProjectFileInfo info = ReadProjectFile(vlp);
    if (info.db_type != kPostgreSQLDisplayName)
      return info.db_type + " database " + DatabaseFilePath(vlp, info);
    return "PostgreSQL " + PgDatabasePool::NameOf(PgLocationOf(info)) +
           " (named by the project file: no password goes to it in clear)";
  } catch (const VlError& e) {
    return e.description();
  }
}

}  // namespace vl
