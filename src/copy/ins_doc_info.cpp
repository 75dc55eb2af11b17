#include "copy/ins_doc_info.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "baseline/baseline_names.h"
#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "copy/element_values.h"
#include "copy/ins_gen_history_info.h"
#include "copy/insert_sql.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"
#include "host/xml/xml_file.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

constexpr long kResCopyingDocument = 20051;
constexpr long kResUnsafeDocumentFile = 20140, kResProjectOwnDocumentFile = 20144;
constexpr const char* kDocTypeNotTranslated = "Unable to locate translated document type GUID";
constexpr const char* kDocTypeRowMissing = "Unable to locate document type information.";
constexpr const char* kDocumentTypesTable = "vlDocumentTypes";

// One "Doc" as read. A missing child or a text that does not convert
// leaves its field empty (0 for numbers, no date for the file date).
struct DocRecord {
  std::string guid, name, description, docTypeGuid, protectState, deferredRenumber, deferredRestyle,
      fileName, fileExtension, fileFlags;
  int16_t itemLabel = 0, unlockToRevise = 0;
  int32_t fileSize = 0, fileVersion = 0;
  Variant fileDateTime = Variant::Null();
};

DocRecord ReadDocument(const pugi::xml_node& doc) {
  DocRecord d;
  d.guid = ElementText(doc, "GUID");
  d.name = ElementText(doc, "DocName");
  d.description = ElementText(doc, "DocDescription");
  d.docTypeGuid = ElementText(doc, "DocTypeGUID");
  d.itemLabel = ElementInt(doc, "ItemLabel");
  d.protectState = ElementText(doc, "ProtectState");
  d.unlockToRevise = ElementInt(doc, "UnlockToRevise");
  d.deferredRenumber = ElementText(doc, "DeferredRenumber");
  d.deferredRestyle = ElementText(doc, "DeferredRestyle");
  d.fileName = ElementText(doc, "FileName");
  d.fileExtension = ElementText(doc, "FileExtension");
  d.fileDateTime = ElementDate(doc, "FileDateTime");
  d.fileSize = ElementLong(doc, "FileSize");
  d.fileFlags = ElementText(doc, "FileFlags");
  d.fileVersion = ElementLong(doc, "FileVersion");
  return d;
}

// The document's file names stay inside the baseline folder and the
// project folder.
bool HasSafeFileName(const DocRecord& d) {
  return !d.fileName.empty() && IsSafeNamePart(d.fileName) && IsSafeNamePart(d.fileExtension);
}

int32_t IdOf(const Variant& v) {
  if (v.type() == vbInteger || v.type() == vbLong) return static_cast<int32_t>(v.AsInt());
  return CLng(v.ToText());
}

}  // namespace

int32_t InsDocInfo::DocumentTypeID(DataServices& oDS, const std::string& docTypeGuid) {
  if (!IsGUIDTranslated(docTypeGuid)) {
    ShowInfoMessage(ctx_.AboutReference(kDocTypeNotTranslated, "document type", docTypeGuid));
    return -1;
  }
  // A package holds a few documents of the same few types: each type's
  // row is looked for once (its ID never changes), not once per document.
  const std::string newGuid = TranslateGUID(docTypeGuid);
  if (const int32_t* found = ctx_.found_ids.Find(oDS, kDocumentTypesTable, newGuid)) return *found;
  std::unique_ptr<Recordset> rs = oDS.QueryRecordset(
      "SELECT  ID  FROM " + Tbl(kDocumentTypesTable) + " WHERE  VLGUID=" + SqlText(newGuid));
  if (!rs || rs->IsEOF()) {
    ShowInfoMessage(ctx_.AboutReference(kDocTypeRowMissing, "document type", docTypeGuid));
    return -1;
  }
  rs->MoveFirst();
  const int32_t id = IdOf(rs->GetFieldValue("ID"));
  ctx_.found_ids.Remember(oDS, kDocumentTypesTable, newGuid, id);
  return id;
}

namespace {

[[noreturn]] void ThrowCopyError(const fs::filesystem_error& e) {
  long number = err::kUnspecified;
  if (e.code() == std::errc::no_such_file_or_directory) number = err::kPathNotFound;
  if (e.code() == std::errc::permission_denied) number = err::kPermissionDenied;
  throw VlError(number, "CopyFile", e.what());
}

// Copies the baseline file FileName + ".DOC" to FileName + "." +
// FileExtension in the project folder, with the attributes of the
// baseline file; the copy is made writable unless FileFlags holds a
// lower-case "r". Throws VlError when the file is missing or cannot be
// copied.
void CopyDocumentFile(const DocRecord& d, const std::string& blFolder,
                      const std::string& projectFolder) {
  const std::string source = FindFileNoCase(blFolder, d.fileName + ".DOC");
  if (source.empty())
    throw VlError(err::kFileNotFound, "CopyFile",
                  "File not found: " + (fs::path(blFolder) / (d.fileName + ".DOC")).string());
  const fs::path dest = fs::path(projectFolder) / (d.fileName + "." + d.fileExtension);
  try {
    // A file of that name is replaced even when it is read-only, and a
    // link of that name is replaced rather than followed out of the folder.
    const fs::file_status existing = fs::symlink_status(dest);
    if (fs::exists(existing) && !fs::is_directory(existing)) fs::remove(dest);
    fs::copy_file(source, dest, fs::copy_options::overwrite_existing);
    fs::permissions(dest, fs::status(source).permissions(), fs::perm_options::replace);
    if (d.fileFlags.find('r') == std::string::npos)
      fs::permissions(dest, fs::perms::owner_write, fs::perm_options::add);
  } catch (const fs::filesystem_error& e) {
    ThrowCopyError(e);
  }
}

std::string JoinedBy(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

std::string DocumentInsertSQL(int32_t id, const std::string& newGuid, int32_t docTypeId,
                              const DocRecord& d, const std::string& historyFields,
                              const std::string& historyValues) {
  const std::vector<std::string> values = {SqlLong(id),
                                           SqlText(newGuid),
                                           SqlText(d.name),
                                           SqlText(d.description),
                                           SqlLong(docTypeId),
                                           SqlLong(d.itemLabel),
                                           SqlText(d.protectState),
                                           SqlLong(d.unlockToRevise),
                                           SqlText(d.deferredRenumber),
                                           SqlText(d.deferredRestyle),
                                           SqlText(d.fileName),
                                           SqlText(d.fileExtension),
                                           FormatSQLValue(d.fileDateTime),
                                           SqlLong(d.fileSize),
                                           SqlText(d.fileFlags),
                                           SqlLong(d.fileVersion)};
  return "INSERT INTO " + Tbl("vlDocuments") +
         " (ID,VLGUID,NAME,DESCRIPTION,DOCUMENTTYPEID,ITEMLABEL,PROTECTSTATE,UNLOCKTOREVISE,"
         "DEFERREDRENUMBER,DEFERREDRESTYLE,FILENAME,FILEEXTENSION,FILEDATETIME,FILESIZE,"
         "FILEFLAGS,FILEVERSION," +
         historyFields + ") VALUES (" + JoinedBy(values, ",") + ", " + historyValues + ")";
}

}  // namespace

bool InsDocInfo::CopyDocument(const pugi::xml_node& oDoc, int32_t lPkgID, DataServices& oDS,
                              Project& oProj) {
  const int32_t id = NextKey(oDS, "Document");
  const DocRecord d = ReadDocument(oDoc);
  AddTextResultsLine(ResFormat(kResCopyingDocument, {d.name}));
  ctx_.copied.About(CopiedKind::kDocument, d.name, d.guid);
  if (!HasSafeFileName(d)) {
    ShowInfoMessage(ResFormat(kResUnsafeDocumentFile, {d.name, NameForMessage(d.fileName),
                                                       NameForMessage(d.fileExtension)}));
    return false;
  }
  // A document never takes the place of the project's own files.
  const std::string target = d.fileName + "." + d.fileExtension;
  if (IsProjectOwnFileName(target, fs::path(oProj.GetProjectPath()).stem().string())) {
    ShowInfoMessage(ResFormat(kResProjectOwnDocumentFile, {d.name, target}));
    return false;
  }
  const std::string newGuid = AssignNewGUID(d.guid);
  const int32_t docTypeId = DocumentTypeID(oDS, d.docTypeGuid);
  if (docTypeId == -1) return false;
  ctx_.copied.Count(CopiedKind::kDocument);
  CopyDocumentFile(d, BaselineDescriptor().BLXMLLoc(), GetParentFolderName(oProj.GetProjectPath()));

  InsGenHistoryInfo history(ctx_);
  const std::string historyValues = history.CreateDefaultHistValuesSQL(oDoc, oProj, oDS);
  // Without the current version's values the row cannot be written; the
  // reason has been shown already.
  if (historyValues.empty()) return false;
  oDS.ExecuteSQL(DocumentInsertSQL(id, newGuid, docTypeId, d, history.CreateDefaultHistFieldsSQL(),
                                   historyValues));
  ctx_.RememberNewDocID(oDS, newGuid, id);
  oDS.ExecuteSQL(LinkRowInsertSQL(Tbl("vlProjectDocuments"), "PROJECTID", "DOCUMENTID",
                                  oProj.GetProjectID(), id));
  oDS.ExecuteSQL(LinkRowInsertSQL("VLPACKAGEELEMENTS", "PACKAGEID", "DOCUMENTID", lPkgID, id));
  return history.CopyXMLDetailHistoryInfo(oDoc, Tbl("vlDocumentHistory"), id, oDS, oProj);
}

bool InsDocInfo::CopyXMLPkgDocInfo(pugi::xml_node oPkg, int32_t lPkgID, DataServices& oDS,
                                   Project& oProj) {
  try {
    if (!oPkg)
      throw VlError(err::kObjectVariableNotSet, "selectSingleNode",
                    "Object variable not set: the package file has no package element "
                    "(PROJECT/Pkg)");
    pugi::xml_node docs = oPkg.child("Docs");
    if (!docs) return true;
    for (const pugi::xml_node& oDoc : DescendantsNamed(docs, "Doc"))
      if (!CopyDocument(oDoc, lPkgID, oDS, oProj)) return false;
    return true;
  } catch (const std::exception&) {
    ReportProcError("CopyXMLPkgDocInfo", "");
    return false;
  }
}

}  // namespace vl
