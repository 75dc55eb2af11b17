#include "host/xml/xml_encoding.h"

#include <cstdint>
#include <cstring>

namespace vl {

namespace {

// Code points of the bytes 0x80..0x9F in windows-1252; the undefined ones
// keep their own number.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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
      AppendUtf8(out, b < 0xA0 ? kCp1252High[b - 0x80] : b);
  }
  return out;
}

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
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      // Baseline files are mostly ASCII: pass it eight bytes at a time.
      ++i;
      while (i + 8 <= s.size() && EightAscii(s.data() + i)) i += 8;
      continue;
    }
    size_t len = c >= 0xC2 && c <= 0xDF   ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (len == 0 || i + len > s.size()) return false;
    uint32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < len; ++k) {
      auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
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

PreparedXmlBytes PrepareXmlBytes(std::string raw) {
  PreparedXmlBytes out;
  if (StartsWith(raw, "\xEF\xBB\xBF")) {
    out.bytes = raw.substr(3);
    return out;
  }
  if (HasUnicodeSignature(raw)) {
    out.bytes = std::move(raw);
    out.encoding = pugi::encoding_auto;
    return out;
  }
  std::string name = LowerAscii(DeclaredXmlEncoding(raw));
  if (IsWindows1252Name(name) || (IsUtf8Name(name) && !IsValidUtf8(raw))) {
    out.bytes = Windows1252ToUtf8(raw);
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

}  // namespace vl
