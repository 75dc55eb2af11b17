#include "app/verify/run_record.h"

#include <filesystem>
#include <pugixml.hpp>

#include "copy/xml_elements.h"
#include "host/xml/xml_file.h"

namespace vl::verify {

std::string GuidMap::New(const std::string& old) const {
  auto it = pairs.find(old);
  return it == pairs.end() ? "" : it->second;
}

GuidMap ReadGuidMap(const std::string& path) {
  GuidMap map;
  pugi::xml_document doc;
  if (!std::filesystem::exists(path) || !LoadXmlPath(doc, path)) return map;
  pugi::xml_node root = doc.child("PROJECT");
  if (!root) return map;
  map.read = true;
  map.baseline_guid = root.attribute("GUID").value();
  map.project_guid = root.attribute("NEWGUID").value();
  for (pugi::xml_node g : root.children("GUID")) {
    const std::string newGuid = g.attribute("NEWGUID").value();
    if (!newGuid.empty()) map.pairs.emplace(g.attribute("OLDGUID").value(), newGuid);
  }
  return map;
}

std::string PendingTraceKey(const std::string& reqGuid, const std::string& otherGuid, bool tFrom) {
  return reqGuid + "|" + otherGuid + "|" + (tFrom ? "TFROM" : "TTO");
}

namespace {

// The root PROJECT of `name` in `folder`; null when the file is not there.
pugi::xml_node LoadUnRes(pugi::xml_document& doc, const std::string& folder, const char* name) {
  const std::string path = folder + "/" + name;
  if (!std::filesystem::exists(path) || !LoadXmlPath(doc, path)) return {};
  return doc.child("PROJECT");
}

}  // namespace

PendingItems ReadPendingItems(const std::string& folder) {
  PendingItems p;
  pugi::xml_document projs, qdefs, views, traces;
  for (pugi::xml_node e :
       DescendantsNamed(LoadUnRes(projs, folder, "UnResExtProjs.xml"), "ExternalProject"))
    p.external_projects.insert(e.attribute("GUID").value());
  for (pugi::xml_node q :
       DescendantsNamed(LoadUnRes(qdefs, folder, "UnResQueryDefs.xml"), "QUERYDEF"))
    p.query_definitions.insert(q.attribute("ID").value());
  for (pugi::xml_node v : DescendantsNamed(LoadUnRes(views, folder, "UnResViews.xml"), "View"))
    p.views.insert(NodeText(v.child("GUID")));
  for (pugi::xml_node r :
       DescendantsNamed(LoadUnRes(traces, folder, "UnResExtTraces.xml"), "REQURCPT"))
    for (pugi::xml_node t : r.children("URTRACE"))
      p.traces.insert(PendingTraceKey(r.attribute("OLDGUID").value(), t.attribute("TRID").value(),
                                      std::string(t.attribute("DIR").value()) == "TFROM"));
  return p;
}

}  // namespace vl::verify
