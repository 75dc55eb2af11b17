// The state one check of a baseline carries from file to file, and the
// reading rules every file's check shares: required elements and
// attributes, values converted as the copiers convert them, references
// resolved as the run resolves them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_set>

#include "baseline/check/baseline_check.h"
#include "baseline/check/checked_xml_file.h"
#include "baseline/check/guid_registry.h"
#include "host/xml/read_ahead.h"

namespace vl {

// What becomes of the query definitions, by their baseline GUID (ID).
struct QueryDefinitionFates {
  std::unordered_set<std::string> waiting;   // go to UnResQueryDefs.xml
  std::unordered_set<std::string> lost;      // translated, but no row is written
  std::unordered_set<std::string> external;  // scoped to a located external project
};

// Where a problem lies, when its node is no longer at hand.
struct CheckPlace {
  std::string file;
  int line = 0;
  std::string element;
};

class CheckRun {
 public:
  CheckRun(const BaselineCheckInput& input, const BaselineCheckProgressFn& progress);

  const BaselineCheckInput& input() const { return input_; }
  CheckProblems& problems() { return result_.problems; }
  GuidRegistry& guids() { return guids_; }
  QueryDefinitionFates& queries() { return queries_; }
  bool cancelled() const { return result_.cancelled; }
  // The result, with a note for each kind of reference left unchecked.
  BaselineCheckResult TakeResult();

  // The objects of `kinds` are defined in `file`, which cannot be read:
  // references to them are not reported one by one (they would all be
  // unknown), but counted, and said once at the end.
  void DefinitionsUnread(std::initializer_list<GuidKind> kinds, const std::string& file);

  // Loads the baseline file `name`; when it cannot be used, reports
  // `severity` with the reason (at `referrer`, the element that names the
  // file, when given and the reason has no line of its own) and returns
  // false. Then tells the progress function, which may cancel the check
  // (see cancelled()).
  bool Open(CheckedXmlFile& file, const std::string& name,
            CheckSeverity severity = CheckSeverity::kStopsRun,
            const CheckPlace* referrer = nullptr);
  // The file `name` is likely the next one opened: it is read meanwhile.
  void Expect(const std::string& name);
  // The first element `xpath` selects in the file ("//PROJECT"); reports
  // that the run stops when there is none.
  pugi::xml_node Root(const CheckedXmlFile& file, const char* xpath, const char* element);

  // A problem at `node` (and its attribute `attribute`, when given).
  void Report(CheckSeverity severity, const CheckedXmlFile& file, const pugi::xml_node& node,
              const std::string& text, const char* attribute = nullptr);
  // A problem at a place already described.
  void Report(CheckSeverity severity, const std::string& file, int line, const std::string& element,
              const std::string& text);
  void Report(CheckSeverity severity, const CheckPlace& place, const std::string& text) {
    Report(severity, place.file, place.line, place.element, text);
  }
  // The place of `node` in `file`.
  static CheckPlace PlaceOf(const CheckedXmlFile& file, const pugi::xml_node& node);

  // The child element `name` the copier requires; reports when missing.
  pugi::xml_node RequireChild(const CheckedXmlFile& file, const pugi::xml_node& node,
                              const char* name);
  // The attribute the copier requires, read as it is, as a whole number
  // (CLng) or as a Boolean (CBool); reports when missing or not convertible.
  std::string RequireAttr(const CheckedXmlFile& file, const pugi::xml_node& node, const char* name);
  void RequireLong(const CheckedXmlFile& file, const pugi::xml_node& node, const char* name);
  void RequireBool(const CheckedXmlFile& file, const pugi::xml_node& node, const char* name);

  // Reports `severity` with `consequence` at `at` when `guid` does not
  // resolve to an object of `kind`. True when it resolves.
  bool Resolve(const CheckedXmlFile& file, const pugi::xml_node& at, std::string_view guid,
               GuidKind kind, CheckSeverity severity, const std::string& consequence,
               const char* attribute = nullptr);
  // The same for the attribute `name` of `node`, reporting that the run
  // stops when the attribute is missing.
  bool ResolveAttr(const CheckedXmlFile& file, const pugi::xml_node& node, const char* name,
                   GuidKind kind, CheckSeverity severity, const std::string& consequence);
  // The same for the text of the child element `name` of `node`.
  bool ResolveChild(const CheckedXmlFile& file, const pugi::xml_node& node, const char* name,
                    GuidKind kind, CheckSeverity severity, const std::string& consequence);

  // With history copied: every version of `owner`'s History names a user.
  void CheckHistoryUsers(const CheckedXmlFile& file, const pugi::xml_node& owner);

 private:
  // Reports the attribute `name` missing, or not `what` when the copier
  // cannot convert it (`converts` false).
  void RequireConverted(const CheckedXmlFile& file, const pugi::xml_node& node, const char* name,
                        bool converts, const char* what);

  BaselineCheckInput input_;
  BaselineCheckProgressFn progress_;
  BaselineCheckProgress done_;
  BaselineCheckResult result_;
  GuidRegistry guids_;
  QueryDefinitionFates queries_;
  // Kinds whose defining file cannot be read: that file, and the
  // references to them not checked.
  std::map<GuidKind, std::pair<std::string, size_t>> unread_;
  struct LoadedFile {
    CheckedXmlFile file;
    bool loaded = false;
  };
  ReadAhead<LoadedFile> read_ahead_{[](const std::string& folder, const std::string& name,
                                       LoadedFile& f) { f.loaded = f.file.Load(folder, name); }};
};

// The text of the child element `name` of `node` as the copiers read it
// (all its character data); "" when missing.
std::string ChildElementText(const pugi::xml_node& node, const char* name);
// The same as a view: into the document when the child holds one piece of
// text (as nearly always), else into `holder`. Hundreds of thousands of
// references are read this way without a copy.
std::string_view ChildTextView(const pugi::xml_node& node, const char* name, std::string& holder);

}  // namespace vl
