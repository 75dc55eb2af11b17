#include "baseline/check/check_run.h"

#include <filesystem>

#include "errors/vl_error.h"
#include "host/text/convert.h"
#include "host/xml/named_elements.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {

namespace fs = std::filesystem;

// The bytes of the XML files in `folder`: what a full check reads at most.
uint64_t XmlBytesIn(const std::string& folder) {
  uint64_t total = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (LCase(it->path().extension().string()) != ".xml") continue;
    std::error_code size_ec;
    if (it->is_regular_file(size_ec)) total += it->file_size(size_ec);
  }
  return total;
}

// True when CLng or CBool takes `text`.
template <typename Convert>
bool Converts(const std::string& text, Convert convert) {
  try {
    convert(text);
    return true;
  } catch (const VlError&) {
    return false;
  }
}

}  // namespace

std::string ChildElementText(const pugi::xml_node& node, const char* name) {
  return NodeText(node.child(name));
}

std::string_view ChildTextView(const pugi::xml_node& node, const char* name, std::string& holder) {
  const pugi::xml_node child = node.child(name);
  const pugi::xml_node text = child.first_child();
  if (!text) return {};
  if (!text.next_sibling() && (text.type() == pugi::node_pcdata || text.type() == pugi::node_cdata))
    return text.value();
  holder = NodeText(child);
  return holder;
}

CheckRun::CheckRun(const BaselineCheckInput& input, const BaselineCheckProgressFn& progress)
    : input_(input), progress_(progress) {
  if (progress_) done_.bytes_total = XmlBytesIn(input.folder);
}

bool CheckRun::Open(CheckedXmlFile& file, const std::string& name, CheckSeverity severity,
                    const CheckPlace* referrer) {
  LoadedFile taken;
  read_ahead_.Take(input_.folder, name, taken);
  file = std::move(taken.file);
  const bool loaded = taken.loaded;
  if (!loaded && referrer && file.error_line() == 0)
    Report(severity, *referrer, "the file " + name + " cannot be used: " + file.error());
  else if (!loaded)
    Report(severity, file.name(), file.error_line(), "", file.error());
  if (loaded && !file.encoding_note().empty())
    Report(CheckSeverity::kNote, file.name(), file.encoding_line(), "", file.encoding_note());
  ++result_.files_read;
  done_.file = file.name();
  done_.files_read = result_.files_read;
  done_.bytes_read += file.size();
  if (progress_ && !progress_(done_)) result_.cancelled = true;
  return loaded;
}

void CheckRun::Expect(const std::string& name) { read_ahead_.Expect(input_.folder, name); }

pugi::xml_node CheckRun::Root(const CheckedXmlFile& file, const char* xpath, const char* element) {
  pugi::xml_node root = file.doc().select_node(xpath).node();
  if (!root)
    Report(CheckSeverity::kStopsRun, file.name(), 0, "",
           std::string("the file has no element \"") + element + "\"");
  return root;
}

CheckPlace CheckRun::PlaceOf(const CheckedXmlFile& file, const pugi::xml_node& node) {
  return CheckPlace{file.name(), file.LineOf(node), ElementPath(node)};
}

void CheckRun::Report(CheckSeverity severity, const CheckedXmlFile& file,
                      const pugi::xml_node& node, const std::string& text, const char* attribute) {
  pugi::xml_attribute attr = attribute ? node.attribute(attribute) : pugi::xml_attribute();
  std::string element = ElementPath(node);
  if (attribute) element += std::string("/@") + attribute;
  Report(severity, file.name(), attr ? file.LineOf(attr) : file.LineOf(node), element, text);
}

void CheckRun::Report(CheckSeverity severity, const std::string& file, int line,
                      const std::string& element, const std::string& text) {
  result_.problems.Add(CheckProblem{severity, file, line, element, text});
}

pugi::xml_node CheckRun::RequireChild(const CheckedXmlFile& file, const pugi::xml_node& node,
                                      const char* name) {
  pugi::xml_node child = node.child(name);
  if (!child)
    Report(CheckSeverity::kStopsRun, file, node,
           std::string("the element \"") + name + "\" is missing");
  return child;
}

std::string CheckRun::RequireAttr(const CheckedXmlFile& file, const pugi::xml_node& node,
                                  const char* name) {
  pugi::xml_attribute attr = node.attribute(name);
  if (!attr) Report(CheckSeverity::kStopsRun, file, node, "the attribute is missing", name);
  return attr.value();
}

void CheckRun::RequireLong(const CheckedXmlFile& file, const pugi::xml_node& node,
                           const char* name) {
  RequireConverted(file, node, name, Converts(node.attribute(name).value(), CLng),
                   "a whole number that fits 32 bits");
}

void CheckRun::RequireBool(const CheckedXmlFile& file, const pugi::xml_node& node,
                           const char* name) {
  RequireConverted(file, node, name, Converts(node.attribute(name).value(), CBool),
                   "a Boolean (True, False or a number)");
}

void CheckRun::RequireConverted(const CheckedXmlFile& file, const pugi::xml_node& node,
                                const char* name, bool converts, const char* what) {
  if (!node.attribute(name))
    RequireAttr(file, node, name);
  else if (!converts)
    Report(CheckSeverity::kStopsRun, file, node,
           std::string(1, '"').append(node.attribute(name).value()) + "\" is not " + what, name);
}

void CheckRun::DefinitionsUnread(std::initializer_list<GuidKind> kinds, const std::string& file) {
  for (GuidKind kind : kinds) unread_.emplace(kind, std::make_pair(file, size_t{0}));
}

BaselineCheckResult CheckRun::TakeResult() {
  for (const auto& [kind, unread] : unread_)
    if (unread.second > 0)
      Report(CheckSeverity::kNote, unread.first, 0, "",
             std::string("references to ") + KindText(kind) + "s not checked (" +
                 std::to_string(unread.second) +
                 "): this file, which defines them, cannot be read");
  unread_.clear();
  return std::move(result_);
}

bool CheckRun::Resolve(const CheckedXmlFile& file, const pugi::xml_node& at, std::string_view guid,
                       GuidKind kind, CheckSeverity severity, const std::string& consequence,
                       const char* attribute) {
  const std::string reason = UnresolvedReason(guids_, guid, kind);
  if (reason.empty()) return true;
  // What an unreadable file would have defined is unknown to the end.
  if (auto unread = unread_.find(kind);
      unread != unread_.end() && !guid.empty() && !guids_.KindOf(guid)) {
    ++unread->second.second;
    return false;
  }
  Report(severity, file, at, reason + ": " + consequence, attribute);
  return false;
}

bool CheckRun::ResolveAttr(const CheckedXmlFile& file, const pugi::xml_node& node, const char* name,
                           GuidKind kind, CheckSeverity severity, const std::string& consequence) {
  if (!node.attribute(name)) {
    RequireAttr(file, node, name);
    return false;
  }
  return Resolve(file, node, node.attribute(name).value(), kind, severity, consequence, name);
}

bool CheckRun::ResolveChild(const CheckedXmlFile& file, const pugi::xml_node& node,
                            const char* name, GuidKind kind, CheckSeverity severity,
                            const std::string& consequence) {
  std::string holder;
  const std::string_view guid = ChildTextView(node, name, holder);
  // Most references resolve: the element is only looked for when one does
  // not.
  if (guids_.KindOf(guid) == kind) return true;
  pugi::xml_node child = node.child(name);
  return Resolve(file, child ? child : node, guid, kind, severity, consequence);
}

void CheckRun::CheckHistoryUsers(const CheckedXmlFile& file, const pugi::xml_node& owner) {
  if (!input_.history) return;
  for (const pugi::xml_node& version : DescendantsNamed(owner.child("History"), "RVer"))
    ResolveChild(file, version, "VUGUID", GuidKind::kUser, CheckSeverity::kStopsRun,
                 "the history of the version cannot be copied");
}

}  // namespace vl
