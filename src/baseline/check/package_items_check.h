// The items of the package files as the document, view, requirement and
// trace copiers read them, package by package in the order of the run's
// walk. What the run can only resolve once every package is copied (trace
// ends, parents) is kept until the walk ends.
#pragma once

#include <map>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "baseline/check/check_run.h"
#include "host/text/text_table.h"

namespace vl {

class PackageItemsCheck {
 public:
  explicit PackageItemsCheck(CheckRun& run) : run_(run) {}

  // The documents, views and requirements of the package element `pkg`,
  // and with traces their traces.
  void CheckPackage(const CheckedXmlFile& file, const pugi::xml_node& pkg);
  // After the last package: the children whose parent no package holds,
  // the trace ends that name no requirement, and the traces that wait for
  // other projects.
  void Finish();

 private:
  // A trace whose other end was not yet copied where it was read: the
  // package file (by its index in files_), the line, and the positions of
  // the requirement and of the trace, to name the element.
  struct PendingTrace {
    std::string guid;
    size_t file = 0;
    int line = 0;
    size_t requirement = 0, trace = 0;
  };

  void CheckDocument(const CheckedXmlFile& file, const pugi::xml_node& doc);
  void CheckView(const CheckedXmlFile& file, const pugi::xml_node& view);
  void CheckResolvedView(const CheckedXmlFile& file, const pugi::xml_node& view);
  bool ResolveQuery(const CheckedXmlFile& file, const pugi::xml_node& view, const char* name,
                    CheckSeverity severity, const std::string& consequence);
  class RequirementsWalk;
  void CheckRequirement(const CheckedXmlFile& file, const pugi::xml_node& req,
                        std::vector<pugi::xml_node>& children);
  void CheckValues(const CheckedXmlFile& file, const pugi::xml_node& value, bool list);
  // Keeps the children whose parent is not copied yet; Finish names those
  // whose parent no package holds.
  void CheckParents(const CheckedXmlFile& file, const std::vector<pugi::xml_node>& children);
  // Whether a requirement tagged `tag` ("FEAT1") was copied so far.
  bool IsCopiedTag(const std::string& tag) const;
  void CheckTrace(const CheckedXmlFile& file, const pugi::xml_node& trace, bool from,
                  size_t requirement, size_t position);
  void CheckExternalTrace(const CheckedXmlFile& file, const pugi::xml_node& trace);

  CheckRun& run_;
  // The files the documents are copied to ("name.extension").
  std::unordered_set<std::string> document_files_;
  // The requirements copied so far, by prefix and tag number, as the
  // project finds a parent.
  TextArena tag_texts_;
  TextTable<bool> tags_;
  std::vector<std::string> files_;  // the package files read
  std::vector<PendingTrace> pending_traces_;
  // Children read before their parent: the parent's tag, and where the
  // child's prefix names it.
  std::vector<std::pair<std::string, CheckPlace>> unlinked_children_;
  // Traces that wait in UnResExtTraces.xml, by external project.
  std::map<std::string, size_t> waiting_traces_;
};

}  // namespace vl
