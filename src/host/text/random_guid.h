// GUIDs: random version-4 GUIDs from the system's secure random source,
// written in their 38-character form.
#pragma once

#include <cstdint>
#include <string>

namespace vl {

// 16 bytes as a GUID text: braces around 8-4-4-4-12 upper-case
// hexadecimal digits.
std::string FormatGuid(const uint8_t (&bytes)[16]);

// A new random GUID. Throws VlError(err::kGuidGenerate, `errorSource`,
// "Error generating GUID") when the system gives no random bytes.
std::string MakeRandomGuid(const char* errorSource = "VlProject");

}  // namespace vl
