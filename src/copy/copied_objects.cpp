#include "copy/copied_objects.h"

namespace vl {

const char* CopiedKindName(CopiedKind kind, bool plural) {
  static const char* const kNames[kCopiedKinds][2] = {
      {"group", "groups"},
      {"user", "users"},
      {"attribute", "attributes"},
      {"list item", "list items"},
      {"requirement type", "requirement types"},
      {"document type", "document types"},
      {"external project", "external projects"},
      {"query definition", "query definitions"},
      {"package", "packages"},
      {"document", "documents"},
      {"view", "views"},
      {"requirement", "requirements"},
      {"trace", "traces"},
      {"discussion", "discussions"},
  };
  return kNames[static_cast<size_t>(kind)][plural ? 1 : 0];
}

void CopiedObjects::About(CopiedKind kind, const std::string& name, const std::string& guid) {
  subject_ = CopiedKindName(kind, false);
  if (!name.empty()) {
    // A message about the object stays one line.
    std::string one = name;
    for (char& c : one)
      if (c == '\r' || c == '\n') c = ' ';
    subject_ += " \"" + one + "\"";
  }
  if (!guid.empty()) subject_ += " " + guid;
}

}  // namespace vl
