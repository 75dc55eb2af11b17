// Reading a baseline file the way every copier does: the file in the
// baseline folder, found whatever the letter case of its name, and its
// root element.
#include <filesystem>

#include "baseline/baseline_names.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {
constexpr long kResElementMissing = 11011;
}  // namespace

pugi::xml_node RunContext::LoadBaselineFile(pugi::xml_document& doc, const std::string& fileName,
                                            const char* rootPath, const char* elementName) {
  // A file that is missing or cannot be parsed leaves an empty document,
  // which has no root element either: the message below covers both.
  LoadBaselineXml(doc, fileName);
  pugi::xml_node root = doc.select_node(rootPath).node();
  if (!root)
    messages_.ShowInfoMessage(fileName + messages_.ResString(kResElementMissing) + elementName);
  return root;
}

XmlLoadResult RunContext::LoadBaselineXml(pugi::xml_document& doc, const std::string& fileName) {
  LoadedXml taken;
  read_ahead_.Take(baseline_.BLXMLLoc(), fileName, taken);
  doc = std::move(taken.doc);
  XmlLoadResult loaded = std::move(taken.result);
  // A file read several times in a run is reported once.
  if (!loaded.encoding_note.empty() && encoding_reported_.insert(loaded.path).second)
    messages_.AddTextResultsLine(std::filesystem::path(loaded.path).filename().string() + ": " +
                                 loaded.encoding_note);
  return loaded;
}

void RunContext::ExpectNextPackage(const std::vector<std::string>& children,
                                   const std::string& nextIfLeaf) {
  const std::string& next = children.empty() ? nextIfLeaf : children.front();
  // The walk refuses a GUID that cannot name a file of the baseline
  // folder; nothing is read for it either.
  if (next.empty() || !IsSafeNamePart(next)) return;
  read_ahead_.Expect(baseline_.BLXMLLoc(), next + ".XML");
}

std::string ElementText(const pugi::xml_node& node, const char* name) {
  return NodeText(node.child(name));
}

}  // namespace vl
