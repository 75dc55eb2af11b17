// GUIDs made by the project component itself (projects, root packages,
// groups): random version-4 GUIDs from the system's secure random source.
#pragma once

#include <string>

namespace vl {

// A new GUID in its 38-character form: braces around 8-4-4-4-12
// upper-case hexadecimal digits. Throws VlError(err::kGuidGenerate,
// "VlProject", ...) when the system gives no random bytes.
std::string MakeRandomGuid();

}  // namespace vl
