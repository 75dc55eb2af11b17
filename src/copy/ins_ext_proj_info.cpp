#include "copy/ins_ext_proj_info.h"

#include <filesystem>
#include <optional>
#include <string>

#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/view_info_xml.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"
#include "host/text/resource.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

constexpr const char* kExtProjsFile = "ExternalProjects.xml";

// The connect-at-open setting of an ExternalProject element: true exactly
// when its value as a number is -1 (a classic True); anything else, or no
// attribute, is false.
bool ConnectAtOpenOf(const pugi::xml_node& el) {
  pugi::xml_attribute attr = el.attribute("ConnectAtOpen");
  if (!attr) return false;
  try {
    return CLng(attr.value()) == -1;
  } catch (const VlError&) {
    return false;
  }
}

// The name of a project file without its extension. Project files are
// "NAME.vlp", so the last four characters go; a name without such an
// extension is kept whole rather than losing part of the name itself.
std::string ProjectFileTitle(const std::string& path) {
  const std::string name = GetFileName(path);
  if (name.size() > 4 && name[name.size() - 4] == '.') return name.substr(0, name.size() - 4);
  return name;
}

ExtProjRow DescribeProject(Project& described, int32_t key, const std::string& filePath) {
  ExtProjRow row;
  row.key = key;
  row.name = described.GetProjectName();
  row.guid = described.GetProjectGUID();
  row.prefix = described.GetProjectPrefix();
  row.directory = GetParentFolderName(filePath);
  row.fileTitle = ProjectFileTitle(filePath);
  return row;
}

// Writes `row` and its link to the project lOwnerID into `ds`.
void InsertExtProjRows(DataServices& ds, int32_t lOwnerID, const ExtProjRow& row,
                       bool bConnectAtOpen) {
  ds.ExecuteSQL("INSERT INTO " + Tbl("vlExternalProjects") +
                " (ID, NAME, VLGUID, PREFIX, DIRECTORY, FILENAME) VALUES (" + SqlLong(row.key) +
                ", " + SqlText(row.name) + ", " + SqlText(row.guid) + ", " + SqlText(row.prefix) +
                ", " + SqlText(row.directory) + ", " + SqlText(row.fileTitle) + ")");
  ds.ExecuteSQL("INSERT INTO " + Tbl("vlProjectExternalProjects") +
                " (PROJECTID, EXTERNALPROJECTID, CONNECTATOPEN) VALUES (" + SqlLong(lOwnerID) +
                ", " + SqlLong(row.key) + ", " + SqlBool(bConnectAtOpen) + ")");
}

// The ID of the vlExternalProjects row of `ds` that describes the project
// sProjGUID, if there is one.
std::optional<int32_t> ExistingExtProjKey(DataServices& ds, const std::string& sProjGUID) {
  std::unique_ptr<Recordset> rs = ds.QueryRecordset("SELECT ID FROM " + Tbl("vlExternalProjects") +
                                                    " WHERE VLGUID = " + SqlText(sProjGUID));
  if (!rs || rs->IsEOF()) return std::nullopt;
  rs->MoveFirst();
  return static_cast<int32_t>(rs->GetFieldValue("ID").AsDouble());
}

// The opened project that stands for an external project. A project file
// named twice in one run is opened once: the second opening is closed and
// the first one used.
std::shared_ptr<Project> OpenExternalProject(RunContext& ctx, const std::string& sExtProjLoc) {
  std::shared_ptr<Project> proj =
      ctx.projects().OpenProjectAs(kAppName, sExtProjLoc, "", "admin", "", true, true, "");
  if (!proj)
    throw VlError(err::kObjectVariableNotSet, "OpenProjectAs",
                  "Object variable not set: the project \"" + sExtProjLoc + "\" was not opened");
  const std::string guid = proj->GetProjectGUID();
  if (std::shared_ptr<Project>* open = ctx.tables.gcolExtProjs.Find(guid)) {
    proj->CloseProject();
    return *open;
  }
  ctx.tables.gcolExtProjs.Add(guid, proj);
  return proj;
}

// The last key drawn of `keyClass`; none when the class has no row yet.
std::optional<int32_t> LastKeyOf(DataServices& ds, const std::string& keyClass) {
  std::unique_ptr<Recordset> rs = ds.QueryRecordset("SELECT LastKey FROM " + Tbl("VlKeys") +
                                                    " WHERE KeyClass = " + SqlText(keyClass));
  if (!rs || rs->IsEOF()) return std::nullopt;
  rs->MoveFirst();
  return CLng(rs->GetFieldValue("LastKey").ToText());
}

// The key the next draw of `keyClass` would give, drawing none.
int32_t PeekNextKey(DataServices& ds, const std::string& keyClass) {
  return LastKeyOf(ds, keyClass).value_or(0) + 1;
}

// Makes the counter of `keyClass` stand at `key`, the key a pair of rows
// shares. When the project has drawn that key meanwhile, the pair cannot
// have it in both databases: the run stops rather than write a row that
// another may already use.
void RaiseKeyTo(DataServices& ds, const std::string& keyClass, int32_t key, Project& project) {
  const std::optional<int32_t> last = LastKeyOf(ds, keyClass);
  if (last && *last >= key)
    throw VlError(err::kKeyAlreadyExists, "addCurrProjectAsExtProj",
                  "The project " + project.GetProjectPath() + " has used the key " +
                      std::to_string(key) +
                      " during this run, so the new project cannot be registered in it with "
                      "that key; run the creation again.");
  if (!last)
    ds.ExecuteSQL("INSERT INTO " + Tbl("VlKeys") + " (KeyClass, LastKey) VALUES (" +
                  SqlText(keyClass) + ", " + SqlLong(key) + ")");
  else
    ds.ExecuteDDL("UPDATE " + Tbl("VlKeys") + " SET " + "LastKey = " + SqlLong(key) + " WHERE " +
                  "KeyClass = " + SqlText(keyClass));
}

// The ExternalProject element below `root` whose GUID is sGUID, or null.
pugi::xml_node FindExtProjEntry(const pugi::xml_node& root, const std::string& sGUID) {
  for (const pugi::xml_node& entry : DescendantsNamed(root, "ExternalProject"))
    if (sGUID == entry.attribute("GUID").value()) return entry;
  return pugi::xml_node();
}

}  // namespace

bool InsExtProjInfo::CopyXMLExtProjInfo(DataServices& oDS, Project& oProj) {
  try {
    pugi::xml_document doc;
    pugi::xml_node root = LoadBaselineFile(doc, kExtProjsFile);
    if (!root) return false;
    const BLProjInfo& bl = BaselineDescriptor();
    tables().gdictExtProjMap.Clear();
    tables().gdictExtProjMap.Add(bl.BLXMLGUID(), oProj.GetProjectGUID());

    bool bUnresolved = false;
    for (pugi::xml_node el = root.first_child(); el;) {
      pugi::xml_node next = el.next_sibling();
      if (el.type() == pugi::node_element) {
        const std::string sGUID = el.attribute("GUID").value();
        AddTextResultsLine(ResFormat(20052, {el.attribute("Name").value()}));
        ctx_.copied.Copying(CopiedKind::kExternalProject, el.attribute("Name").value(), sGUID);
        const clsExtProjInfo* info = bl.colExtProjs().Find(sGUID);
        if (!info)
          throw VlError(err::kInvalidProcedureCall, "colExtProjs",
                        "Invalid procedure call or argument: the external project " + sGUID +
                            " is not among the baseline's external projects");
        if (!info->Loc.empty()) {
          openAndProcessExtProjInfo(info->Loc, el, oDS, oProj);
          root.remove_child(el);
        } else {
          bUnresolved = true;
        }
        Breathe();
      }
      el = next;
    }
    if (bUnresolved) SaveXmlFile(doc, BesideProjectFile(oProj, kUnResExtProjsFile));
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLExtProjInfo", "");
    return false;
  }
}

bool InsExtProjInfo::openAndProcessExtProjInfo(const std::string& sExtProjLoc,
                                               const pugi::xml_node& a_oXMLExtProj,
                                               DataServices& oDS, Project& oProj) {
  try {
    const std::string sBaselineGUID = a_oXMLExtProj.attribute("GUID").value();
    const bool bConnectAtOpen = ConnectAtOpenOf(a_oXMLExtProj);
    std::shared_ptr<Project> ext = OpenExternalProject(ctx_, sExtProjLoc);
    std::shared_ptr<DataServices> extDS = DataServicesOf(*ext);
    const std::string sExtGUID = ext->GetProjectGUID();

    int32_t lKey = 0;
    bool bSameDB = false;
    if (!isExtProjExists(oDS, sExtGUID)) {
      bSameDB = areProjectsFromSameDB(oDS, *extDS, *ext);
      lKey = bSameDB ? ext->GetProjectID() : getNextExtProjKey(oDS, *extDS);
      InsertExtProjRows(oDS, oProj.GetProjectID(), DescribeProject(*ext, lKey, sExtProjLoc),
                        bConnectAtOpen);
    } else {
      // Known already (named twice): the new project's row in it gets the
      // ID of the existing row, so the pair keeps one key, exactly as a
      // first registration would have given it; a new key only if that
      // row has gone meanwhile.
      bSameDB = areProjectsFromSameDB(oDS, *extDS, *ext);
      std::optional<int32_t> existing = ExistingExtProjKey(oDS, sExtGUID);
      lKey = existing ? *existing : getNextExtProjKey(oDS, *extDS);
    }
    tables().gdictExtProjMap[sBaselineGUID] = sExtGUID;
    addCurrProjectAsExtProj(ext, oProj, lKey, bSameDB);
    return true;
  } catch (const std::exception&) {
    ReportProcError("openAndProcessExtProjInfo", "");
    return false;
  }
}

bool InsExtProjInfo::areProjectsFromSameDB(DataServices& oCurrProjDS, DataServices& oExtProjDS,
                                           Project& oExtProj) {
  try {
    if (oCurrProjDS.GetDBType() == kDBAccessFile || oExtProjDS.GetDBType() == kDBAccessFile)
      return false;
    std::unique_ptr<Recordset> rs = oCurrProjDS.QueryRecordset(
        std::string("SELECT vlProjects.VlGUID, vlProjects.ID ") + "FROM vlProjects " +
        "WHERE vlProjects.ID = " + SqlLong(oExtProj.GetProjectID()) +
        " AND vlProjects.VlGUID = " + SqlText(oExtProj.GetProjectGUID()));
    return rs && !rs->IsEOF();
  } catch (const std::exception&) {
    ReportProcError("areProjectsFromSameDB", "");
    return false;
  }
}

int32_t InsExtProjInfo::getNextExtProjKey(DataServices& oCurrProjDS, DataServices& oExtProjDS) {
  const int32_t kC = NextKey(oCurrProjDS, "Project");
  // The external project is only read now: its counter is raised when the
  // run completes it.
  const int32_t kE = PeekNextKey(oExtProjDS, "Project");
  if (kE > kC) {
    oCurrProjDS.ExecuteDDL("UPDATE " + Tbl("VlKeys") + " SET " + "LastKey = " + SqlLong(kE) +
                           " WHERE " + "KeyClass = " + SqlText("Project"));
    return kE;
  }
  return kC;
}

bool InsExtProjInfo::addCurrProjectAsExtProj(const std::shared_ptr<Project>& oExtProj,
                                             Project& oCurrProj, int32_t lExtProjKey,
                                             bool bAreProjFromSameDB) {
  try {
    const std::string sExtFolder = GetParentFolderName(oExtProj->GetProjectPath());
    std::shared_ptr<DataServices> extDS = DataServicesOf(*oExtProj);

    pugi::xml_document doc;
    XmlLoadResult loaded = LoadXmlFile(doc, sExtFolder, kUnResExtProjsFile);
    if (!loaded)
      throw VlError(err::kFileNotFound, "addCurrProjectAsExtProj",
                    "File not found: " + AddTrailingSlash(sExtFolder) + kUnResExtProjsFile + " (" +
                        loaded.message + ")");
    pugi::xml_node root = doc.select_node("//PROJECT").node();
    const std::string& sBaselineGUID = BaselineDescriptor().BLXMLGUID();
    pugi::xml_node entry = root ? FindExtProjEntry(root, sBaselineGUID) : pugi::xml_node();
    if (!entry)
      throw VlError(err::kObjectVariableNotSet, "addCurrProjectAsExtProj",
                    "Object variable not set: " + loaded.path + " has no entry for the project " +
                        sBaselineGUID);

    // Written when the run completes the external project, with the path
    // the new project will have by then.
    PendingRegistration pending;
    pending.project = oExtProj;
    pending.connect_at_open = ConnectAtOpenOf(entry);
    pending.key = bAreProjFromSameDB ? oCurrProj.GetProjectID() : lExtProjKey;
    pending.raise_key = !bAreProjFromSameDB;
    pending.rows = !isExtProjExists(*extDS, oCurrProj.GetProjectGUID());
    pending.row =
        DescribeProject(oCurrProj, pending.key,
                        ctx_.published_project_path.empty() ? oCurrProj.GetProjectPath()
                                                            : ctx_.published_project_path);
    ctx_.new_project_rows[oExtProj->GetProjectGUID()] = pending.key;
    pending_.push_back(std::move(pending));

    entry.parent().remove_child(entry);
    if (!root.find_child([](const pugi::xml_node& n) { return n.type() == pugi::node_element; }))
      ctx_.others.RemoveFile(loaded.path);
    else
      ctx_.others.ReplaceFile(loaded.path, doc);
    return true;
  } catch (const std::exception&) {
    ReportProcError("addCurrProjectAsExtProj", "");
    return false;
  }
}

void InsExtProjInfo::ApplyPendingRegistrations() {
  for (const PendingRegistration& p : pending_) {
    ctx_.others.Begin(p.project);
    DataServices& ds = *DataServicesOf(*p.project);
    if (p.raise_key) RaiseKeyTo(ds, "Project", p.key, *p.project);
    if (p.rows) InsertExtProjRows(ds, p.project->GetProjectID(), p.row, p.connect_at_open);
  }
}

bool InsExtProjInfo::isExtProjExists(DataServices& ds, const std::string& sProjGUID) {
  std::unique_ptr<Recordset> rs = ds.QueryRecordset(
      std::string("SELECT ") + "VlExternalProjects.VlGUID as ExtProjectGUID, " +
      "VlExternalProjects.Prefix, " + "VlExternalProjects.Name, " +
      "VlExternalProjects.Directory, " + "VlExternalProjects.Filename " +
      "FROM VlExternalProjects " + "WHERE VlExternalProjects.VlGUID = " + SqlText(sProjGUID));
  return rs && !rs->IsEOF();
}

}  // namespace vl
