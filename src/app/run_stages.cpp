#include "app/run_stages.h"

#include <map>

namespace vl {

std::string RunStageText(const Messenger& messages, const std::string& stage) {
  static const std::map<std::string, long> texts = {
      {"CreateProject", 6100},      {"CopyXMLGroupInfo", 6101},       {"Reopen", 6102},
      {"CopyXMLUserInfo", 6103},    {"CopyXMLProjInfo", 6104},        {"CopyXMLAttrInfo", 6105},
      {"CopyXMLReqTypeInfo", 6106}, {"ConnectXMLReqTypeAttrs", 6107}, {"CopyXMLDocTypeInfo", 6108},
      {"CopyXMLExtProjInfo", 6109}, {"CopyXMLGroupSecInfo", 6110},    {"CopyXMLQueryDefs", 6111},
      {"CopyXMLPkgInfo", 6112},     {"CopyXMLPkgTraceInfo", 6113},    {"CopyXMLDiscInfo", 6114},
      {"WriteGUIDMapFiles", 6115},  {"CompleteOtherProjects", 6116},  {"Commit", 6117},
      {"CheckBaseline", 4200}};
  const auto it = texts.find(stage);
  return it == texts.end() ? stage : messages.ResString(it->second);
}

}  // namespace vl
