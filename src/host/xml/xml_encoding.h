// Turning the bytes of an XML file into text the XML parser reads
// correctly. The parser knows UTF-8 and UTF-16, but not the single-byte
// code page that files written on Windows systems often declare, so those
// are converted to UTF-8 first.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

// The bytes to hand to the parser and the encoding to parse them with.
struct PreparedXmlBytes {
  std::string bytes;
  pugi::xml_encoding encoding = pugi::encoding_utf8;
  std::string error;  // not empty when the bytes cannot be read as XML text
  // Where the bytes are (line from 1, offset in the file from 0) that were
  // not UTF-8 in a file read as UTF-8 (each became U+FFFD), in order; at
  // most kMaxReplacedOffsets.
  struct Place {
    size_t line = 0, offset = 0;
  };
  std::vector<Place> replaced;
  size_t replaced_count = 0;  // all of them
  // True when a file said to be UTF-8 (or saying nothing) was read as
  // windows-1252 because it is not UTF-8 at all.
  bool guessed_windows1252 = false;
};
constexpr size_t kMaxReplacedOffsets = 10;

// Decides how `raw` (a whole file) is encoded:
//  - a byte-order mark wins (UTF-8, UTF-16, UTF-32), as do UTF-16 bytes
//    without one ("<" followed or preceded by a zero byte);
//  - otherwise the encoding the XML declaration names: windows-1252 and
//    ISO-8859-1 / latin1 (read as windows-1252, as their writers mean it)
//    are converted to UTF-8; UTF-8, US-ASCII or no name are read as UTF-8;
//  - a file said to be UTF-8 (or saying nothing) whose bytes are not all
//    valid UTF-8 is judged by its non-ASCII bytes: when the well-formed
//    UTF-8 characters are at least as many as the bytes that belong to
//    none, it is UTF-8 with damage and stays UTF-8, each such byte
//    replaced by U+FFFD (replaced); otherwise it was written in the
//    Windows code page and is converted from windows-1252
//    (guessed_windows1252). A file with a UTF-8 byte-order mark is UTF-8
//    in every case;
//  - any other named encoding is refused unless the bytes are valid UTF-8.
//  The text is handed on as UTF-8 in every case (UTF-16 and UTF-32
//  converted), without the character references to U+0000 outside CDATA
//  sections and comments: the parser would end a text at such a NUL.
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

// What a reader of the file should be told about how it was read ("" when
// nothing): the bytes replaced, with the line and offset of the first
// ones, or that the file was read as windows-1252.
std::string EncodingNote(const PreparedXmlBytes& prepared);

// True when the well-formed UTF-8 characters of `bytes` are at least as
// many as its bytes of 0x80 or more that belong to none.
bool MostlyUtf8(std::string_view bytes);
// `raw` from `from` on as UTF-8 into out.bytes, each byte that belongs to
// no well-formed character replaced by U+FFFD and recorded in out.replaced
// and out.replaced_count.
void RepairUtf8(std::string_view raw, PreparedXmlBytes& out, size_t from = 0);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The value of the encoding pseudo-attribute of the XML declaration at the
// start of `bytes`, "" when there is none.
std::string DeclaredXmlEncoding(std::string_view bytes);

}  // namespace vl
