// Discussions.XML as the discussion copier reads it: the "Disc" elements
// of "Discs" and, below each, of its "Replies", with their author, users,
// groups and requirements.
#include <vector>

#include "baseline/check/check_steps.h"
#include "host/xml/named_elements.h"

namespace vl {

namespace {

constexpr const char* kNotCopied = "the discussion cannot be copied";

// The members of one list of a discussion: `item` elements below its
// `list`, each naming an object of `kind` in its `id` element.
void CheckMembers(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& disc,
                  const char* list, const char* item, const char* id, GuidKind kind) {
  for (const pugi::xml_node& member : DescendantsNamed(disc.child(list), item))
    run.ResolveChild(file, member, id, kind, CheckSeverity::kStopsRun, kNotCopied);
}

void CheckDiscussion(CheckRun& run, const CheckedXmlFile& file, const pugi::xml_node& disc) {
  run.ResolveChild(file, disc, "AID", GuidKind::kUser, CheckSeverity::kStopsRun, kNotCopied);
  CheckMembers(run, file, disc, "DUsers", "DUsr", "DUID", GuidKind::kUser);
  CheckMembers(run, file, disc, "DGroups", "DGroup", "DGID", GuidKind::kGroup);
  for (const pugi::xml_node& req : DescendantsNamed(disc.child("DiscReqs"), "DiscReq")) {
    const std::string guid = ChildElementText(req, "GUID");
    if (!run.guids().IsRequirement(guid))
      run.Report(
          CheckSeverity::kStopsRun, file, req.child("GUID") ? req.child("GUID") : req,
          (guid.empty() ? std::string("names no requirement")
                        : "names the requirement " + guid + ", which the baseline does not hold") +
              ": " + kNotCopied);
  }
}

}  // namespace

void CheckDiscussions(CheckRun& run) {
  if (!run.input().discussions) return;
  CheckedXmlFile file;
  if (!run.Open(file, "Discussions.XML")) return;
  pugi::xml_node root = run.Root(file, "//PROJECT", "PROJECT");
  if (!root) return;
  // Replies are walked on a list of their own, not the call stack: a
  // hostile file may nest them a million levels deep.
  std::vector<pugi::xml_node> pending{root.child("Discs").child("Disc")};
  while (!pending.empty()) {
    const pugi::xml_node disc = pending.back();
    pending.pop_back();
    if (!disc) continue;
    CheckDiscussion(run, file, disc);
    pending.push_back(disc.next_sibling("Disc"));
    pending.push_back(disc.child("Replies").child("Disc"));
  }
}

}  // namespace vl
