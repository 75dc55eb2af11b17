#include "copy/guid_map_file.h"

#include "copy/db_conventions.h"
#include "host/xml_file.h"

namespace vl {

pugi::xml_node StartGUIDMapDocument(pugi::xml_document& doc, const std::string& baselineGuid,
                                    const std::string& newProjectGuid) {
  doc.reset();
  AddXmlDeclaration(doc);
  pugi::xml_node root = doc.append_child("PROJECT");
  root.append_attribute("GUID") = baselineGuid.c_str();
  root.append_attribute("NEWGUID") = newProjectGuid.c_str();
  return root;
}

bool AppendGUIDMapEntry(pugi::xml_node root, const std::string& oldGuid,
                        const std::string& newGuid) {
  if (newGuid.empty()) return false;
  pugi::xml_node entry = root.append_child("GUID");
  entry.append_attribute("OLDGUID") = oldGuid.c_str();
  entry.append_attribute("NEWGUID") = newGuid.c_str();
  return true;
}

void BuildGUIDMapDocument(pugi::xml_document& doc, const std::string& baselineGuid,
                          const std::string& newProjectGuid, const OrderedMap<std::string>& table) {
  pugi::xml_node root = StartGUIDMapDocument(doc, baselineGuid, newProjectGuid);
  ForEachTranslation(table, [&](const std::string& oldGuid, const std::string& newGuid) {
    AppendGUIDMapEntry(root, oldGuid, newGuid);
  });
}

void WriteGUIDMapFile(const std::string& path, const std::string& baselineGuid,
                      const std::string& newProjectGuid, const OrderedMap<std::string>& table) {
  pugi::xml_document doc;
  BuildGUIDMapDocument(doc, baselineGuid, newProjectGuid, table);
  SaveXmlFile(doc, path);
}

}  // namespace vl
