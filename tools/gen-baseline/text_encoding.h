// Conversions between UTF-8 (the generator's own form) and the encodings a
// baseline file may be written in.
#pragma once

#include <string>
#include <string_view>

namespace vl::gen {

enum class FileEncoding { kUtf8, kUtf16, kWindows1252 };

// The name written in the XML declaration: "UTF-8", "UTF-16",
// "windows-1252".
const char* EncodingName(FileEncoding encoding);

// UTF-8 to UTF-16 little endian (no byte-order mark). Invalid bytes become
// U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);
// UTF-8 to Windows-1252. A character the code page lacks becomes "?".
std::string Utf8To1252(std::string_view utf8);
// Windows-1252 to UTF-8 (the five bytes the code page leaves undefined
// are kept as the C1 control characters of the same value).
std::string W1252ToUtf8(std::string_view bytes);

}  // namespace vl::gen
