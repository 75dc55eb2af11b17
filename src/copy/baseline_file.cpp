// Reading a baseline file the way every copier does: the file in the
// baseline folder, found whatever the letter case of its name, and its
// root element.
#include "baseline/bl_proj_info.h"
#include "copy/db_conventions.h"
#include "errors/vl_error.h"
#include "host/text/messages.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {
constexpr long kResElementMissing = 11011;
}  // namespace

const BLProjInfo& BaselineDescriptor() {
  if (!goBLProjInfo)
    throw VlError(err::kObjectRequired, "goBLProjInfo", "Object required: no baseline descriptor");
  return *goBLProjInfo;
}

pugi::xml_node LoadBaselineFile(pugi::xml_document& doc, const std::string& fileName,
                                const char* rootPath, const char* elementName) {
  const std::string folder = goBLProjInfo ? goBLProjInfo->BLXMLLoc() : std::string();
  // A file that is missing or cannot be parsed leaves an empty document,
  // which has no root element either: the message below covers both.
  LoadXmlFile(doc, folder, fileName);
  pugi::xml_node root = doc.select_node(rootPath).node();
  if (!root) ShowInfoMessage(fileName + ResString(kResElementMissing) + elementName);
  return root;
}

std::string ElementText(const pugi::xml_node& node, const char* name) {
  return NodeText(node.child(name));
}

}  // namespace vl
