// Rebuilds the baseline's package tree in the new project. PackageList.XML
// names the root package (the "Pkg" with ParentID "0"); every package has a
// file of its own, named after its GUID + ".XML", holding its name,
// description, documents, views, requirements and the GUIDs of its child
// packages ("Pkgs"/"Pkg"/"GUID").
//
// The tree is walked depth first in pre-order: a package's row, its
// documents, its views, its requirements, then each child package with
// everything below it, in the order of the "Pkg" elements under "Pkgs".
// The root package's row exists in a new project and is updated in place;
// every other package gets a vlPackages row.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

// One object per walk; it remembers only which packages the walk reached.
class InsPkgInfo : public Copier {
 public:
  using Copier::Copier;

  // Copies the whole package tree, reporting after each package how many
  // of those PackageList.XML lists are done, and then links the children
  // whose parents stand in packages copied after theirs. True when every
  // package and everything in it was copied. False:
  //  - with nothing done, after a message ("PackageList.XML" + text 11011
  //    + "PROJECT") when the file is missing or has no "PROJECT";
  //  - after a report ("CopyXMLPkgInfo") when no "Pkg" has ParentID "0";
  //  - when a package fails (see AddXMLPackage): the walk stops there, and
  //    later siblings and the siblings of every package above are not
  //    copied. Nothing written before is undone;
  //  - after text 20065 when a parent-child row cannot be written.
  bool CopyXMLPkgInfo(DataServices& oDS, Project& oProj);

 private:
  // Copies the package sPkgGUID below the package lParentID (0 for the
  // root) and then its child packages, one after the other, at any depth
  // (the walk does not recurse). The package's GUID is recorded in
  // gdictPSGUIDs under its baseline GUID. False:
  //  - after a message naming it, with nothing done, when sPkgGUID would
  //    name a file outside the baseline folder, or names a package this
  //    walk has reached already (package files that refer to each other
  //    in a cycle);
  //  - after text 20062 when the new project's root package row is
  //    missing;
  //  - after text 20063, 20064 or 20065 when its documents, views or
  //    requirements fail (a missing package file writes the row with an
  //    empty name, then fails in the document copier);
  //  - when a child package fails;
  //  - after a report ("AddXMLPackage") on any other error.
  bool AddXMLPackage(const std::string& sPkgGUID, int32_t lParentID, DataServices& oDS,
                     Project& oProj);

  // The work on one package itself (row, documents, views, requirements)
  // with its file open; fills `childGuids` with the GUIDs of its child
  // packages in document order. The walk goes on to its first child, or
  // to `nextIfLeaf` when it has none (that file is read meanwhile).
  // Returns false after the message of the step that failed; throws on
  // unexpected errors.
  bool CopyPackageContents(const std::string& sPkgGUID, int32_t lParentID, DataServices& oDS,
                           Project& oProj, int32_t& lPkgID, std::vector<std::string>& childGuids,
                           const std::string& nextIfLeaf);

  // The package GUIDs (upper case, as package files are found whatever the
  // letter case of their names) this walk has reached.
  std::unordered_set<std::string> reached_;
  // The packages PackageList.XML lists: what the walk's progress counts to.
  long listed_packages_ = 0;
};

}  // namespace vl
