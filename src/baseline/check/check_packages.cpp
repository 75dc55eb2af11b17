// The package tree as the package and trace copiers walk it: from the root
// package PackageList.XML names, through the package files, each package
// before its child packages (pre-order). Package files are read one at a
// time, once, for the copy and the traces together.
#include <algorithm>
#include <unordered_set>
#include <vector>

#include "baseline/baseline_names.h"
#include "baseline/check/check_steps.h"
#include "baseline/check/package_items_check.h"
#include "host/text/convert.h"
#include "host/xml/named_elements.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {

constexpr const char* kPackageListFile = "PackageList.XML";

// A package to visit, and the element that names it.
struct PackageRef {
  std::string guid;
  CheckPlace place;
};

// Checks one package and adds its child packages to `pending`, the first
// child on top. False when its file cannot be used.
bool VisitPackage(CheckRun& run, const PackageRef& ref, PackageItemsCheck& items,
                  std::vector<PackageRef>& pending) {
  CheckedXmlFile file;
  if (!run.Open(file, ref.guid + ".XML", CheckSeverity::kStopsRun, &ref.place)) return false;
  pugi::xml_node pkg = FirstChildElementOf(file.doc(), "PROJECT", "Pkg");
  if (!pkg) {
    run.Report(CheckSeverity::kStopsRun, file.name(), 0, "",
               "the file has no package element (PROJECT/Pkg)");
    return false;
  }
  std::vector<pugi::xml_node> children = DescendantsNamed(pkg.child("Pkgs"), "Pkg");
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    pugi::xml_node guid = child->child("GUID");
    pending.push_back({NodeText(guid), CheckRun::PlaceOf(file, guid ? guid : *child)});
  }
  // The next package's file is read while this one is checked.
  if (!pending.empty() && IsSafeNamePart(pending.back().guid) && !pending.back().guid.empty())
    run.Expect(pending.back().guid + ".XML");
  items.CheckPackage(file, pkg);
  return true;
}

// Walks the tree from the root package; returns the GUIDs reached, in upper
// case (as the copier compares them).
std::unordered_set<std::string> WalkPackages(CheckRun& run, const PackageRef& root) {
  PackageItemsCheck items(run);
  std::unordered_set<std::string> reached;
  std::vector<PackageRef> pending{root};
  while (!pending.empty() && !run.cancelled()) {
    const PackageRef ref = std::move(pending.back());
    pending.pop_back();
    if (!IsSafeNamePart(ref.guid) || ref.guid.empty()) {
      run.Report(CheckSeverity::kStopsRun, ref.place,
                 "the package GUID \"" + NameForMessage(ref.guid) +
                     "\" cannot name a file of the baseline folder");
      continue;
    }
    if (!reached.insert(UCase(ref.guid)).second) {
      run.Report(CheckSeverity::kStopsRun, ref.place,
                 "the package " + ref.guid +
                     " is reached a second time (package files refer to each other in a cycle)");
      continue;
    }
    run.guids().Record(ref.guid, GuidKind::kPackage);
    VisitPackage(run, ref, items, pending);
  }
  if (!run.cancelled()) items.Finish();
  return reached;
}

}  // namespace

void CheckPackages(CheckRun& run) {
  CheckedXmlFile list;
  if (!run.Open(list, kPackageListFile)) return;
  pugi::xml_node project = run.Root(list, "//PROJECT", "PROJECT");
  if (!project) return;
  pugi::xml_node root = project.select_node("Pkg[@ParentID='0']").node();
  if (!root) {
    run.Report(CheckSeverity::kStopsRun, list, project,
               "no package is the root package (a Pkg whose ParentID is 0)");
    return;
  }
  const std::unordered_set<std::string> reached =
      WalkPackages(run, {root.attribute("GUID").value(), CheckRun::PlaceOf(list, root)});
  if (run.cancelled()) return;
  // The run copies what the package files reach; a package only the list
  // names is left out.
  for (const pugi::xml_node& pkg : DescendantsNamed(project, "Pkg")) {
    const std::string guid = pkg.attribute("GUID").value();
    if (!guid.empty() && !reached.count(UCase(guid)))
      run.Report(CheckSeverity::kLosesData, list, pkg,
                 "no package file names the package " + guid +
                     " among its child packages: it is not copied",
                 "GUID");
  }
}

}  // namespace vl
