#include "host/xml/xml_encoding.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "host/text/windows_1252.h"

namespace vl {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerAscii(c);
  return r;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool IsWindows1252Name(const std::string& lower) {
  return lower == "windows-1252" || lower == "cp1252" || lower == "x-cp1252" ||
         lower == "iso-8859-1" || lower == "iso8859-1" || lower == "iso_8859-1" ||
         lower == "latin1" || lower == "latin-1" || lower == "l1";
}

bool IsUtf8Name(const std::string& lower) {
  return lower.empty() || lower == "utf-8" || lower == "utf8" || lower == "us-ascii" ||
         lower == "ascii";
}

bool IsUtf16Name(const std::string& lower) {
  return lower == "utf-16" || lower == "utf-16le" || lower == "utf-16be" || lower == "ucs-2";
}

// True when the file starts with a byte-order mark or with "<" as UTF-16.
bool HasUnicodeSignature(std::string_view b) {
  return StartsWith(b, "\xFF\xFE") || StartsWith(b, "\xFE\xFF") ||
         StartsWith(b, std::string_view("\x00\x00\xFE\xFF", 4)) ||
         StartsWith(b, std::string_view("<\x00", 2)) || StartsWith(b, std::string_view("\x00<", 2));
}

// A code point of any size as UTF-8; one that is no character as U+FFFD.
void AppendCodePoint(std::string& out, uint32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x10000) {
    AppendUtf8(out, cp);
    return;
  }
  out += static_cast<char>(0xF0 | (cp >> 18));
  out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (cp & 0x3F));
}

// The code unit of `size` bytes at `p`, little- or big-endian.
uint32_t CodeUnitAt(const unsigned char* p, size_t size, bool little) {
  uint32_t unit = 0;
  for (size_t i = 0; i < size; ++i) unit |= uint32_t{p[little ? i : size - 1 - i]} << (8 * i);
  return unit;
}

}  // namespace

std::string UnicodeBytesToUtf8(std::string_view bytes) {
  size_t unit = 0, skip = 0;
  bool little = true;
  if (StartsWith(bytes, std::string_view("\xFF\xFE\x00\x00", 4)) ||
      StartsWith(bytes, std::string_view("<\x00\x00\x00", 4))) {
    unit = 4, skip = StartsWith(bytes, "\xFF") ? 4 : 0;
  } else if (StartsWith(bytes, std::string_view("\x00\x00\xFE\xFF", 4))) {
    unit = 4, skip = 4, little = false;
  } else if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, std::string_view("<\x00", 2))) {
    unit = 2, skip = StartsWith(bytes, "\xFF\xFE") ? 2 : 0;
  } else if (StartsWith(bytes, "\xFE\xFF") || StartsWith(bytes, std::string_view("\x00<", 2))) {
    unit = 2, skip = StartsWith(bytes, "\xFE\xFF") ? 2 : 0, little = false;
  } else {
    return std::string(bytes);
  }
  std::string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t i = skip; i + unit <= bytes.size(); i += unit) {
    uint32_t cp = CodeUnitAt(p + i, unit, little);
    if (unit == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 2 * unit <= bytes.size()) {
      const uint32_t low = CodeUnitAt(p + i + unit, unit, little);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += unit;
      }
    }
    AppendCodePoint(out, cp);
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b < 0x80)
      out += ch;
    else
      AppendUtf8(out, Windows1252CodePoint(b));
  }
  return out;
}

namespace {

// The length of the well-formed UTF-8 character starting at `i` (a byte
// of 0x80 or more), 0 when none starts there.
size_t Utf8CharAt(std::string_view s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  size_t len = c >= 0xC2 && c <= 0xDF   ? 2
               : c >= 0xE0 && c <= 0xEF ? 3
               : c >= 0xF0 && c <= 0xF4 ? 4
                                        : 0;
  if (len == 0 || i + len > s.size()) return 0;
  uint32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
  for (size_t k = 1; k < len; ++k) {
    auto cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

}  // namespace

namespace {
// True when the eight bytes at `p` are all ASCII.
bool EightAscii(const char* p) {
  uint64_t block;
  std::memcpy(&block, p, sizeof block);
  return (block & 0x8080808080808080ull) == 0;
}
}  // namespace

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      // Baseline files are mostly ASCII: pass it eight bytes at a time.
      ++i;
      while (i + 8 <= s.size() && EightAscii(s.data() + i)) i += 8;
      continue;
    }
    const size_t len = Utf8CharAt(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

bool MostlyUtf8(std::string_view s) {
  size_t chars = 0, strays = 0;
  for (size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t len = Utf8CharAt(s, i);
    len ? ++chars : ++strays;
    i += len ? len : 1;
  }
  return chars >= strays;
}

void RepairUtf8(std::string_view raw, PreparedXmlBytes& out, size_t from) {
  out.bytes.clear();
  out.bytes.reserve(raw.size() + 16);
  size_t line = 1;
  for (size_t i = from; i < raw.size();) {
    const char ch = raw[i];
    if (static_cast<unsigned char>(ch) < 0x80) {
      line += ch == '\n';
      out.bytes += ch;
      ++i;
    } else if (const size_t len = Utf8CharAt(raw, i)) {
      out.bytes.append(raw.substr(i, len));
      i += len;
    } else {
      if (out.replaced.size() < kMaxReplacedOffsets) out.replaced.push_back({line, i});
      ++out.replaced_count;
      out.bytes += "\xEF\xBF\xBD";
      ++i;
    }
  }
}

std::string EncodingNote(const PreparedXmlBytes& prepared) {
  if (prepared.guessed_windows1252) return "the file is not UTF-8 and was read as windows-1252";
  if (prepared.replaced_count == 0) return "";
  std::string places;
  for (const PreparedXmlBytes::Place& at : prepared.replaced)
    places += (places.empty() ? "" : ", ") + std::string("line ") + std::to_string(at.line) +
              " offset " + std::to_string(at.offset);
  if (prepared.replaced_count > prepared.replaced.size()) places += ", ...";
  return std::to_string(prepared.replaced_count) +
         (prepared.replaced_count == 1 ? " byte that is" : " bytes that are") +
         " not UTF-8 replaced by U+FFFD (" + places + ")";
}

std::string DeclaredXmlEncoding(std::string_view bytes) {
  if (!StartsWith(bytes, "<?xml")) return "";
  size_t end = bytes.find("?>");
  if (end == std::string_view::npos || end > 1024) return "";
  std::string_view decl = bytes.substr(0, end);
  size_t pos = decl.find("encoding");
  if (pos == std::string_view::npos) return "";
  pos += 8;
  auto skipBlanks = [&] {
    while (pos < decl.size() &&
           (decl[pos] == ' ' || decl[pos] == '\t' || decl[pos] == '\r' || decl[pos] == '\n'))
      ++pos;
  };
  skipBlanks();
  if (pos >= decl.size() || decl[pos] != '=') return "";
  ++pos;
  skipBlanks();
  if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return "";
  char quote = decl[pos++];
  size_t close = decl.find(quote, pos);
  if (close == std::string_view::npos) return "";
  return std::string(decl.substr(pos, close - pos));
}

namespace {

// The length of the character reference to U+0000 at `i` ("&#0;",
// "&#x00;", ...), 0 when there is none.
size_t NulReferenceAt(std::string_view s, size_t i) {
  size_t p = i + 2;
  if (s.substr(i, 2) != "&#") return 0;
  const bool hex = p < s.size() && (s[p] == 'x' || s[p] == 'X');
  p += hex;
  const size_t digits = p;
  while (p < s.size() && s[p] == '0') ++p;
  return p > digits && p < s.size() && s[p] == ';' ? p + 1 - i : 0;
}

// Takes the character references to U+0000 out of the UTF-8 text of an
// XML file, outside CDATA sections and comments: the parser would end
// the text at the NUL and lose the rest of it.
void DropNulReferences(std::string& text) {
  if (text.find("&#") == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    for (const auto& [open, close] :
         {std::pair<std::string_view, std::string_view>{"<![CDATA[", "]]>"}, {"<!--", "-->"}}) {
      if (std::string_view(text).substr(i, open.size()) != open) continue;
      const size_t end = text.find(close, i + open.size());
      const size_t stop = end == std::string::npos ? text.size() : end + close.size();
      out.append(text, i, stop - i);
      i = stop;
      break;
    }
    if (i >= text.size()) break;
    if (const size_t len = NulReferenceAt(text, i)) {
      i += len;
      continue;
    }
    out += text[i++];
  }
  text = std::move(out);
}

PreparedXmlBytes DecideEncoding(std::string raw);

}  // namespace

PreparedXmlBytes PrepareXmlBytes(std::string raw) {
  PreparedXmlBytes out = DecideEncoding(std::move(raw));
  if (!out.error.empty()) return out;
  // UTF-16 and UTF-32 too are handed to the parser as UTF-8, so that one
  // pass over the text can drop what the parser would cut it at.
  if (out.encoding != pugi::encoding_utf8) {
    out.bytes = UnicodeBytesToUtf8(out.bytes);
    out.encoding = pugi::encoding_utf8;
  }
  DropNulReferences(out.bytes);
  return out;
}

namespace {

PreparedXmlBytes DecideEncoding(std::string raw) {
  PreparedXmlBytes out;
  if (StartsWith(raw, "\xEF\xBB\xBF")) {
    if (IsValidUtf8(raw))
      out.bytes = raw.substr(3);
    else
      RepairUtf8(raw, out, 3);
    return out;
  }
  if (HasUnicodeSignature(raw)) {
    out.bytes = std::move(raw);
    out.encoding = pugi::encoding_auto;
    return out;
  }
  std::string name = LowerAscii(DeclaredXmlEncoding(raw));
  if (IsWindows1252Name(name)) {
    out.bytes = Windows1252ToUtf8(raw);
  } else if (IsUtf8Name(name) && !IsValidUtf8(raw)) {
    if (MostlyUtf8(raw)) {
      RepairUtf8(raw, out);
    } else {
      out.bytes = Windows1252ToUtf8(raw);
      out.guessed_windows1252 = true;
    }
  } else if (IsUtf8Name(name) || IsValidUtf8(raw)) {
    out.bytes = std::move(raw);
  } else if (IsUtf16Name(name)) {
    out.bytes = std::move(raw);
    out.encoding = pugi::encoding_auto;
  } else {
    out.error = "unsupported encoding \"" + name + "\"";
  }
  return out;
}

}  // namespace

}  // namespace vl
