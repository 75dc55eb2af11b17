#include "baseline/check/package_items_check.h"

#include <cstring>
#include <filesystem>

#include "baseline/baseline_names.h"
#include "errors/vl_error.h"
#include "host/project/sql_project.h"
#include "host/text/convert.h"
#include "host/text/user_text.h"
#include "host/xml/named_elements.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {

constexpr const char* kViewNotCopied = "the view cannot be copied";
constexpr const char* kRequirementNotCopied = "the requirement cannot be copied";
constexpr const char* kTracesStop = "the traces cannot be copied";

// The key by which the project finds a requirement: prefix and tag number.
std::string TagKey(const std::string& prefix, int32_t number) {
  return prefix + '\x1F' + std::to_string(number);
}

// The first child element of `node` among `names` whose text the copier
// cannot convert, or nullptr.
template <typename Convert>
const char* FirstNotConverted(const pugi::xml_node& node, std::initializer_list<const char*> names,
                              Convert convert) {
  for (const char* name : names) {
    try {
      convert(ChildElementText(node, name));
    } catch (const VlError&) {
      return name;
    }
  }
  return nullptr;
}

// The element `name` of `node` when there is one, else `node`.
pugi::xml_node ChildOr(const pugi::xml_node& node, const char* name) {
  pugi::xml_node child = node.child(name);
  return child ? child : node;
}

}  // namespace

// One walk of a package's requirements, each element handed to its check:
// a package file holds thousands of requirements, and a walk per kind of
// element below each of them would read the tree many times over.
class PackageItemsCheck::RequirementsWalk : public pugi::xml_tree_walker {
 public:
  RequirementsWalk(PackageItemsCheck& check, const CheckedXmlFile& file)
      : check_(check), file_(file) {}
  bool for_each(pugi::xml_node& node) override {
    const char* name = node.name();
    // Nearly every node is a value of one of these; its first letter tells
    // most of them apart without comparing whole names.
    switch (name[0]) {
      case 'R':
      case 'L':
      case 'F':
      case 'T':
        break;
      default:
        return true;
    }
    if (node.type() != pugi::node_element) return true;
    if (std::strcmp(name, "Req") == 0) {
      check_.CheckRequirement(file_, node, children_);
      ++requirement_;
      traces_ = 0;
    } else if (std::strcmp(name, "LV") == 0 || std::strcmp(name, "FV") == 0) {
      check_.CheckValues(file_, node, name[0] == 'L');
    } else if (std::strcmp(name, "RVer") == 0 && check_.run_.input().history) {
      check_.run_.ResolveChild(file_, node, "VUGUID", GuidKind::kUser, CheckSeverity::kStopsRun,
                               "the history of the version cannot be copied");
    } else if (std::strcmp(name, "TReq") == 0 && check_.run_.input().traces) {
      const bool from = std::strcmp(node.parent().name(), "TFrom") == 0;
      check_.CheckTrace(file_, node, from, requirement_, from ? 0 : ++traces_);
    }
    return true;
  }
  const std::vector<pugi::xml_node>& children() const { return children_; }

 private:
  PackageItemsCheck& check_;
  const CheckedXmlFile& file_;
  std::vector<pugi::xml_node> children_;  // requirements whose prefix names a parent
  size_t requirement_ = 0, traces_ = 0;
};

void PackageItemsCheck::CheckPackage(const CheckedXmlFile& file, const pugi::xml_node& pkg) {
  files_.push_back(file.name());
  for (const pugi::xml_node& doc : DescendantsNamed(pkg.child("Docs"), "Doc"))
    CheckDocument(file, doc);
  for (const pugi::xml_node& view : DescendantsNamed(pkg.child("Views"), "View"))
    CheckView(file, view);
  RequirementsWalk walk(*this, file);
  if (pugi::xml_node reqs = pkg.child("Requirements")) reqs.traverse(walk);
  CheckParents(file, walk.children());
}

void PackageItemsCheck::CheckDocument(const CheckedXmlFile& file, const pugi::xml_node& doc) {
  const std::string name = ChildElementText(doc, "FileName");
  const std::string extension = ChildElementText(doc, "FileExtension");
  run_.guids().Record(ChildElementText(doc, "GUID"), GuidKind::kDocument);
  if (name.empty() || !IsSafeNamePart(name) || !IsSafeNamePart(extension)) {
    run_.Report(CheckSeverity::kStopsRun, file, ChildOr(doc, "FileName"),
                "the file name \"" + NameForMessage(name) + "\" and extension \"" +
                    NameForMessage(extension) + "\" do not name a file inside one folder");
    return;
  }
  run_.ResolveChild(file, doc, "DocTypeGUID", GuidKind::kDocumentType, CheckSeverity::kStopsRun,
                    "the document cannot be copied");
  const std::string source = FindFileNoCase(run_.input().folder, name + ".DOC");
  std::error_code ec;
  if (source.empty() || !std::filesystem::is_regular_file(source, ec))
    run_.Report(CheckSeverity::kStopsRun, file, ChildOr(doc, "FileName"),
                "the document's file " + name +
                    ".DOC is missing from the baseline folder, or is not a regular file");
  if (IsProjectOwnFileName(name + "." + extension, run_.input().project_title))
    run_.Report(CheckSeverity::kStopsRun, file, ChildOr(doc, "FileName"),
                "the document's file " + name + "." + extension +
                    " would take the place of a file the new project keeps for itself");
  if (!document_files_.insert(name + "." + extension).second)
    run_.Report(CheckSeverity::kLosesData, file, ChildOr(doc, "FileName"),
                "an earlier document is copied to " + name + "." + extension +
                    " too: its file is written over");
  run_.CheckHistoryUsers(file, doc);
}

void PackageItemsCheck::CheckView(const CheckedXmlFile& file, const pugi::xml_node& view) {
  const QueryDefinitionFates& queries = run_.queries();
  const std::string second = ChildElementText(view, "SecQueryID");
  const bool waits = queries.waiting.count(ChildElementText(view, "ViewQueryDefGUID")) ||
                     (!Trim(second).empty() && queries.waiting.count(second));
  if (!waits) {
    CheckResolvedView(file, view);
    return;
  }
  if (!run_.ResolveChild(file, view, "ViewUserGUID", GuidKind::kUser, CheckSeverity::kLosesData,
                         "the view waits for an external project, without a user it is dropped"))
    return;
  // A first query that does not wait must be copied, as for any view.
  if (!queries.waiting.count(ChildElementText(view, "ViewQueryDefGUID")) &&
      !ResolveQuery(file, view, "ViewQueryDefGUID", CheckSeverity::kStopsRun, kViewNotCopied))
    return;
  run_.Report(CheckSeverity::kNote, file, view,
              "a query definition of the view waits for an external project: the view waits "
              "in UnResViews.xml");
}

bool PackageItemsCheck::ResolveQuery(const CheckedXmlFile& file, const pugi::xml_node& view,
                                     const char* name, CheckSeverity severity,
                                     const std::string& consequence) {
  if (!run_.ResolveChild(file, view, name, GuidKind::kQueryDefinition, severity, consequence))
    return false;
  const std::string guid = ChildElementText(view, name);
  if (!run_.queries().lost.count(guid)) return true;
  run_.Report(severity, file, ChildOr(view, name),
              "names the query definition " + guid + ", which is not copied: " + consequence);
  return false;
}

void PackageItemsCheck::CheckResolvedView(const CheckedXmlFile& file, const pugi::xml_node& view) {
  const QueryDefinitionFates& queries = run_.queries();
  const std::string second = ChildElementText(view, "SecQueryID");
  const bool hasSecond = !Trim(second).empty();
  // A query on an external project gives the view its requirement type.
  if (!queries.external.count(ChildElementText(view, "ViewQueryDefGUID")))
    run_.ResolveChild(file, view, "ReqTypeID", GuidKind::kRequirementType,
                      CheckSeverity::kLosesData,
                      "the view is written without its requirement type");
  if (Trim(ChildElementText(view, "SecReqTypeID")).size() > 1 &&
      !(hasSecond && queries.external.count(second)))
    run_.ResolveChild(file, view, "SecReqTypeID", GuidKind::kRequirementType,
                      CheckSeverity::kLosesData,
                      "the view is written without its second requirement type");
  run_.ResolveChild(file, view, "ViewUserGUID", GuidKind::kUser, CheckSeverity::kStopsRun,
                    kViewNotCopied);
  ResolveQuery(file, view, "ViewQueryDefGUID", CheckSeverity::kStopsRun, kViewNotCopied);
  if (hasSecond)
    ResolveQuery(file, view, "SecQueryID", CheckSeverity::kLosesData,
                 "the view is written without its second query");
  const char* bad = FirstNotConverted(view, {"Visibility", "Type"}, CInt);
  if (!bad) bad = FirstNotConverted(view, {"ViewDateTime"}, CDate);
  if (bad) {
    run_.Report(CheckSeverity::kLosesData, file, ChildOr(view, bad),
                std::string(1, '"').append(ChildElementText(view, bad)) +
                    "\" cannot be read as the view's " + bad + ": the view is not copied");
    return;
  }
  run_.guids().Record(ChildElementText(view, "GUID"), GuidKind::kView);
}

void PackageItemsCheck::CheckRequirement(const CheckedXmlFile& file, const pugi::xml_node& req,
                                         std::vector<pugi::xml_node>& children) {
  std::string holder;
  run_.guids().RecordRequirement(ChildTextView(req, "GUID", holder));
  run_.ResolveChild(file, req, "RTID", GuidKind::kRequirementType, CheckSeverity::kStopsRun,
                    kRequirementNotCopied);
  pugi::xml_node info = req.child("RDInfo");
  const std::string document = ChildElementText(info, "BMDoc");
  if (!Trim(document).empty()) {
    if (!run_.guids().KindOf(document))
      run_.Report(
          CheckSeverity::kStopsRun, file, info.child("BMDoc"),
          "names the document " + document +
              ", which no package copied before the requirement holds: " + kRequirementNotCopied);
    else
      run_.Resolve(file, info.child("BMDoc"), document, GuidKind::kDocument,
                   CheckSeverity::kStopsRun, kRequirementNotCopied);
  }
  const std::string prefix = ChildElementText(req, "RPre");
  const std::string tag = TagKey(prefix, ToLongOrZero(ChildElementText(req, "Tag")));
  tags_.Insert(tag, true, tag_texts_);
  if (prefix.find('.') != std::string::npos) children.push_back(req);
}

void PackageItemsCheck::CheckValues(const CheckedXmlFile& file, const pugi::xml_node& value,
                                    bool list) {
  run_.ResolveChild(file, value, list ? "UDF" : "FGUID", GuidKind::kAttribute,
                    CheckSeverity::kStopsRun, kRequirementNotCopied);
  if (list)
    run_.ResolveChild(file, value, "LGUID", GuidKind::kListItem, CheckSeverity::kStopsRun,
                      kRequirementNotCopied);
}

void PackageItemsCheck::CheckParents(const CheckedXmlFile& file,
                                     const std::vector<pugi::xml_node>& children) {
  // A child's prefix is its parent's tag and a "."; the parent may be
  // copied in a later package, so those not copied yet are kept until the
  // walk ends.
  for (const pugi::xml_node& child : children) {
    const std::string prefix = ChildElementText(child, "RPre");
    const std::string parent = prefix.substr(0, prefix.rfind('.'));
    if (!IsCopiedTag(parent))
      unlinked_children_.push_back({parent, CheckRun::PlaceOf(file, ChildOr(child, "RPre"))});
  }
}

bool PackageItemsCheck::IsCopiedTag(const std::string& tag) const {
  std::string prefix;
  int32_t number = 0;
  return SqlProject::SplitTag(tag, prefix, number) && tags_.Find(TagKey(prefix, number));
}

void PackageItemsCheck::CheckTrace(const CheckedXmlFile& file, const pugi::xml_node& trace,
                                   bool from, size_t requirement, size_t position) {
  std::string holder;
  if (!ChildTextView(trace, "EPGUID", holder).empty()) {
    CheckExternalTrace(file, trace);
    return;
  }
  // Internal traces are copied from the requirement they start at.
  if (from) return;
  if (FirstNotConverted(trace, {"State"}, CLng))
    run_.Report(CheckSeverity::kStopsRun, file, ChildOr(trace, "State"),
                "the state \"" + ChildElementText(trace, "State") +
                    "\" is not a whole number: " + kTracesStop);
  const std::string_view other = ChildTextView(trace, "TRID", holder);
  if (!run_.guids().IsRequirement(other))
    pending_traces_.push_back({std::string(other), files_.size() - 1,
                               file.LineOf(ChildOr(trace, "TRID")), requirement, position});
}

void PackageItemsCheck::CheckExternalTrace(const CheckedXmlFile& file,
                                           const pugi::xml_node& trace) {
  const BaselineCheckInput& in = run_.input();
  const std::string project = ChildElementText(trace, "EPGUID");
  if (project == in.baseline_guid) {
    run_.Report(CheckSeverity::kLosesData, file, ChildOr(trace, "EPGUID"),
                "the trace names the baseline's own project as an external project: it is "
                "reported and not copied");
    return;
  }
  for (const std::string& located : in.located_external_projects)
    if (located == project) return;
  ++waiting_traces_[project];
}

void PackageItemsCheck::Finish() {
  for (const auto& [parent, place] : unlinked_children_)
    if (!IsCopiedTag(parent))
      run_.Report(
          CheckSeverity::kLosesData, place,
          "no requirement tagged " + parent + " is copied: the link to its parent is not written");
  for (const PendingTrace& trace : pending_traces_) {
    if (run_.guids().IsRequirement(trace.guid)) continue;
    run_.Report(CheckSeverity::kStopsRun, files_[trace.file], trace.line,
                "PROJECT/Pkg/Requirements/Req[" + std::to_string(trace.requirement) +
                    "]/TTo/TReq[" + std::to_string(trace.trace) + "]/TRID",
                (trace.guid.empty() ? std::string("names no requirement")
                                    : "names the requirement " + trace.guid +
                                          ", which the baseline does not hold") +
                    ": " + kTracesStop);
  }
  for (const auto& [project, count] : waiting_traces_)
    run_.Report(CheckSeverity::kNote, "", 0, "",
                CountText(static_cast<long long>(count), "trace", "traces") +
                    " to the external project " + project + ", which is not located, " +
                    (count == 1 ? "waits" : "wait") + " in UnResExtTraces.xml");
}

}  // namespace vl
