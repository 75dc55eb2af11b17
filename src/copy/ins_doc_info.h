// Copies the documents of one package: for every "Doc" below the package
// element's "Docs", a new document ID and GUID, the document type
// translated, the document's file copied from the baseline folder into the
// new project's folder, and the rows in vlDocuments, vlProjectDocuments,
// VLPACKAGEELEMENTS and vlDocumentHistory.
//
// A document's file lies in the baseline folder as FileName + ".DOC"
// (found without regard to letter case), whatever its real extension, and
// is written into the new project's folder as FileName + "." +
// FileExtension, replacing a file of that name.
#pragma once

#include <cstdint>
#include <pugixml.hpp>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// Holds no state; the package copier creates one when it needs it.
class InsDocInfo : public Copier {
 public:
  using Copier::Copier;

  // Copies the "Doc" elements below oPkg's "Docs" in document order, each
  // linked to package lPkgID. True when all were copied, and at once when
  // there is no "Docs". The file of a document is copied before any of its
  // rows is written; a copy made writable unless FileFlags holds a
  // lower-case "r" (then it keeps the attributes of the baseline file).
  // On failure returns false at the first document that fails; documents
  // copied before stay, and the failing document's key is spent:
  //  - document type not translated, or its row missing: a message
  //    ("Unable to locate translated document type GUID", "Unable to
  //    locate document type information."), nothing of the document
  //    written;
  //  - FileName or FileExtension that would name a file outside the
  //    baseline or project folder (a "/", "\", NUL, ".", ".." or an empty
  //    FileName): a message naming the document and the name, nothing of
  //    the document written;
  //  - the current version's user not copied: the look-up's message, the
  //    file copied but no row written;
  //  - the history not copied (its own message): the document's rows stay;
  //  - a null oPkg (a package file without its package element), a file
  //    that cannot be copied, or any other error: a procedure-error report
  //    ("CopyXMLPkgDocInfo").
  bool CopyXMLPkgDocInfo(pugi::xml_node oPkg, int32_t lPkgID, DataServices& oDS, Project& oProj);

 private:
  // One document: key, progress line, new GUID, type, file, rows, history.
  // False after a message; throws on unexpected errors.
  bool CopyDocument(const pugi::xml_node& oDoc, int32_t lPkgID, DataServices& oDS, Project& oProj);
  // The new ID of the document type; -1 after a message when the type was
  // not copied.
  int32_t DocumentTypeID(DataServices& oDS, const std::string& docTypeGuid);
};

}  // namespace vl
