// Turning the bytes of an XML file into text the XML parser reads
// correctly. The parser knows UTF-8 and UTF-16, but not the single-byte
// code page that files written on Windows systems often declare, so those
// are converted to UTF-8 first.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace vl {

// The bytes to hand to the parser and the encoding to parse them with.
struct PreparedXmlBytes {
  std::string bytes;
  pugi::xml_encoding encoding = pugi::encoding_utf8;
  std::string error;  // not empty when the bytes cannot be read as XML text
};

// Decides how `raw` (a whole file) is encoded:
//  - a byte-order mark wins (UTF-8, UTF-16, UTF-32), as do UTF-16 bytes
//    without one ("<" followed or preceded by a zero byte);
//  - otherwise the encoding the XML declaration names: windows-1252 and
//    ISO-8859-1 / latin1 (read as windows-1252, as their writers mean it)
//    are converted to UTF-8; UTF-8, US-ASCII or no name are read as UTF-8;
//  - a file said to be UTF-8 whose bytes are not valid UTF-8 was written
//    in the Windows code page and is converted from windows-1252;
//  - any other named encoding is refused unless the bytes are valid UTF-8.
PreparedXmlBytes PrepareXmlBytes(std::string raw);

// The text of bytes that PrepareXmlBytes leaves to the parser's own
// detection (a UTF-16 or UTF-32 byte-order mark, or "<" beside a zero
// byte), as UTF-8 without the byte-order mark; any other bytes unchanged.
// A code unit that is no character (a lone surrogate, a value above
// U+10FFFF) becomes U+FFFD. For readers that need the text in one
// encoding, such as to count its lines.
std::string UnicodeBytesToUtf8(std::string_view bytes);

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves
// undefined become the control characters of the same number.
std::string Windows1252ToUtf8(std::string_view bytes);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The value of the encoding pseudo-attribute of the XML declaration at the
// start of `bytes`, "" when there is none.
std::string DeclaredXmlEncoding(std::string_view bytes);

}  // namespace vl
